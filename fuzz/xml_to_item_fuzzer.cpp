// XML text -> item -> XML -> item for every data type with a writer, into an
// item held in memory. The input is a document as UTF-8; its root's
// namespace names the type (fuzz_support.h).
//
// A document the writer accepts must come back: the item it writes is read
// to a document, which the writer must accept again and turn into the same
// item bytes. This holds for the types that normalise (upper-cased names,
// left-out zero amounts, values snapped to their scale) too, since the first
// import has normalised already.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tsln2xml::fuzz::QuietFailures();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsln2xml;
  const std::string_view utf8(reinterpret_cast<const char*>(data), size);
  const int16_t code = fuzz::DocumentInputType(utf8);
  if (!code) return 0;
  const std::u16string text = platform::Utf8ToUtf16(utf8);
  std::vector<uint8_t> written;
  if (fuzz::XmlToItem(code, text, written) != 0 || !HasReader(code)) return 0;
  std::u16string document;
  if (fuzz::ItemToXml(code, written, document) != 0) fuzz::Finding("the reader refuses the writer's item", code, text);
  std::vector<uint8_t> again;
  if (fuzz::XmlToItem(code, document, again) != 0) fuzz::Finding("the writer refuses the reader's document", code, document);
  if (again != written) fuzz::Finding("import, export, import changes the item", code, text, document);
  return 0;
}
