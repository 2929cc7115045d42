// Item bytes -> XML -> item -> XML for every data type with a reader, over an
// item held in memory. The first byte names the type (fuzz_support.h), the
// rest is the item as stored.
//
// Whatever the reader turns into a document, the writer must take back, and
// reading the item it writes must give the same document text: a difference
// is data a user loses by exporting and importing. Types whose writer
// normalises on purpose (kNormalising) are held to the next step instead:
// the item written from the second document is byte-identical to the first
// one written, so the normalisation loses nothing further.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"

namespace {

using namespace tsln2xml;

// Data types whose writer normalises what a reader can produce.
constexpr int16_t kNormalising[] = {0};

bool Normalises(int16_t code) { return std::ranges::find(kNormalising, code) != std::end(kNormalising); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietFailures();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  const int16_t code = fuzz::ItemInputType(input);
  if (!code) return 0;
  std::u16string first;
  if (fuzz::ItemToXml(code, input.subspan(1), first) != 0 || !HasWriter(code)) return 0;
  std::vector<uint8_t> written;
  if (fuzz::XmlToItem(code, first, written) != 0) fuzz::Finding("the writer refuses the reader's document", code, first);
  std::u16string second;
  if (fuzz::ItemToXml(code, written, second) != 0) fuzz::Finding("the reader refuses the writer's item", code, first);
  if (!Normalises(code)) {
    if (second != first) fuzz::Finding("export, import, export changes the document", code, first, second);
    return 0;
  }
  std::vector<uint8_t> again;
  if (fuzz::XmlToItem(code, second, again) != 0 || again != written)
    fuzz::Finding("a normalised document does not come back byte-identical", code, first, second);
  return 0;
}
