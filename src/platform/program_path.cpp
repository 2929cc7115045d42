#include "platform/program_path.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace tsln2xml::platform {

std::filesystem::path ProgramPath() {
#ifdef _WIN32
  // The buffer grows until the whole name fits (long paths exceed MAX_PATH).
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) return std::filesystem::path(std::wstring(name.data(), n));
    if (name.size() >= 32768) return {};
    name.resize(name.size() * 2);
  }
#else
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe;
#endif
}

}  // namespace tsln2xml::platform
