// Item bytes -> XML -> item -> XML for every data type with a reader, over an
// item held in memory. The first byte names the type (fuzz_support.h), the
// rest is the item as stored.
//
// Whatever the reader turns into a document, the writer must take back, and
// reading the item it writes must give the same document text: a difference
// is data a user loses by exporting and importing. Types whose writer
// normalises on purpose (kNormalising, with what each one does) are held to
// the next step instead: the normalised document imports, reads back to
// itself and imports again to byte-identical item bytes, so the
// normalisation loses nothing further.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "dxf/piece_dxf.h"
#include "fuzz/dxf_check.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace tsln2xml;

// Every type: a control character in a text of the item cannot stand in a
// document, so the reader writes U+FFFD, which the code page turns into "?"
// on import. The first document is compared with that already applied.
std::u16string AsImported(std::u16string text) {
  std::ranges::replace(text, u'\xFFFD', u'?');
  return text;
}

// Data types whose writer normalises more than that, and how.
struct Normalisation {
  int16_t code;
  const char* what;
};
constexpr Normalisation kNormalising[] = {
    {2, "categories and constant texts are upper-cased"},
    {4, "LabelChar keeps its first character only"},
    {12, "a size name loses the characters its cleaning rule does not allow"},
    {13, "an order without models is stored with one empty model"},
    {14, "an internal code mapped to the tool None is left out (it is the same as no map)"},
    {22, "PlotName is cut to 20 characters and NumBytesPc to 10; the counts of the header are those of the elements"},
    {23, "an empty rule comment is left out; the flags of a point are written in their table order"},
};

constexpr int16_t kPieceType = 20;

// A piece that decodes also goes out as DXF, graded in every size, in both
// flavours.
void PieceDxf(std::span<const uint8_t> bytes) {
  grading::PIECE piece;
  if (!grading::DecodePiece(bytes, piece)) return;
  for (const dxf::Flavour flavour : {dxf::Flavour::kAama, dxf::Flavour::kAstm}) {
    dxf::PieceDxfOptions options;
    options.flavour = flavour;
    options.sizes = dxf::SizeSet::kAll;
    options.method = flavour == dxf::Flavour::kAama ? grading::GradeMethod::kIncremental : grading::GradeMethod::kCumulative;
    fuzz::CheckDxfExport([&] { return dxf::BuildPieceDxf({{"FUZZ", piece}}, options).dxf; });
  }
}

bool Normalises(int16_t code) {
  return std::ranges::any_of(kNormalising, [code](const Normalisation& n) { return n.code == code; });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietFailures();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  const int16_t code = fuzz::ItemInputType(input);
  if (!code) return 0;
  if (code == kPieceType) PieceDxf(input.subspan(1));
  std::u16string first;
  if (fuzz::ItemToXml(code, input.subspan(1), first) != 0 || !HasWriter(code)) return 0;
  std::vector<uint8_t> written;
  if (fuzz::XmlToItem(code, first, written) != 0) fuzz::Finding("the writer refuses the reader's document", code, first);
  std::u16string second;
  if (fuzz::ItemToXml(code, written, second) != 0) fuzz::Finding("the reader refuses the writer's item", code, first);
  if (!Normalises(code)) {
    if (second != AsImported(first)) fuzz::Finding("export, import, export changes the document", code, first, second);
    return 0;
  }
  // Normalised once, a document stays as it is: its item reads back to the
  // same document, which imports to the same bytes. (The second item may
  // still differ from the first in what no document shows, such as the
  // place number of the model an order without models is given.)
  std::vector<uint8_t> normalised;
  if (fuzz::XmlToItem(code, second, normalised) != 0) fuzz::Finding("the writer refuses a normalised document", code, second);
  std::u16string third;
  if (fuzz::ItemToXml(code, normalised, third) != 0 || third != second)
    fuzz::Finding("a normalised document does not come back", code, second, third);
  std::vector<uint8_t> again;
  if (fuzz::XmlToItem(code, third, again) != 0 || again != normalised)
    fuzz::Finding("a normalised document does not import byte-identical", code, second, third);
  return 0;
}
