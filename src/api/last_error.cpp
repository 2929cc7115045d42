#include "api/last_error.h"

#include <mutex>

#include "platform/code_page.h"

namespace tsln2xml {
namespace {
std::mutex gMutex;
LastError& Record() {
  static LastError record;
  return record;
}
}  // namespace

void RecordLastError(int32_t code, int32_t secondary, const std::string& message) {
  std::u16string wide = platform::AnsiToUtf16(message);
  std::lock_guard lock(gMutex);
  Record() = {code, secondary, std::move(wide)};
}

LastError GetLastError() {
  std::lock_guard lock(gMutex);
  return Record();
}

}  // namespace tsln2xml
