// XML text -> item -> XML -> item for every data type with a writer, into an
// item held in memory. The input is a document as UTF-8; its root's
// namespace names the type (fuzz_support.h).
//
// A document the writer accepts must come back: the item it writes is read
// to a document, which the writer must accept again and turn into the same
// item bytes. This holds for the types that normalise (upper-cased names,
// left-out zero amounts, values snapped to their scale) too, since the first
// import has normalised already. Types whose reader puts the records of an
// item in an order of its own (kReordering) are held to the next round: the
// first import keeps the document's order, so from the second on the items
// must be byte-identical.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"

namespace {

struct Reordering {
  int16_t code;
  const char* what;
};
constexpr Reordering kReordering[] = {
    {23, "the rules are read in the order of their ids"},
};

bool Reorders(int16_t code) {
  return std::ranges::any_of(kReordering, [code](const Reordering& r) { return r.code == code; });
}

}  // namespace

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
  if (again == written) return 0;
  if (!Reorders(code)) fuzz::Finding("import, export, import changes the item", code, text, document);
  std::u16string reordered;
  std::vector<uint8_t> third;
  if (fuzz::ItemToXml(code, again, reordered) != 0 || fuzz::XmlToItem(code, reordered, third) != 0 || third != again)
    fuzz::Finding("a document in the reader's order does not import byte-identical", code, document, reordered);
  return 0;
}
