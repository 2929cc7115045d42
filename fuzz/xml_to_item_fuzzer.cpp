// XML text -> item for every data type with a writer. The first byte picks
// the type; the rest is the document as UTF-8.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"
#include "tsln2xml/tsln2xml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsln2xml;
  const auto& types = fuzz::TypesWith(false);
  if (size < 1 || types.empty()) return 0;
  const int16_t code = types[data[0] % types.size()];
  const std::u16string text =
      platform::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  ConvertXMLStringToDataItem(code, text.c_str(), 0, "", fuzz::ScratchArea().c_str(), "FUZZ");
  return 0;
}
