#pragma once
// Pieces (data type 20), exported only: the piece is taken from our grading
// library at its base size (not opened as an item), copied, smoothed and
// aligned, and written as a "Piece" document with the shared grading data.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "converters/grading/rule_table_base.h"
#include "store/grading_library.h"

namespace tsln2xml {

class PieceReader : public RuleTableBaseReader {
 public:
  PieceReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  // A reader of `piece` as given rather than as the grading library
  // delivers it from a storage area.
  PieceReader(std::string_view itemName, const grading::PIECE& piece);
  // The grading library opens and releases the piece itself.
  void Open() override {}
  void Close() override {}
  void Convert() override;
  // The piece as the document shows it: obtained from the grading library,
  // smoothed and aligned. Pictures of the piece draw this same value.
  std::shared_ptr<grading::PIECE> PreparedPiece();
  // The piece as stored, neither smoothed nor aligned (the grading works on
  // it).
  std::shared_ptr<grading::PIECE> ObtainPiece();
  std::optional<grading::PIECE> given_;
};

// The document the export writes for `piece` under the name `itemName`,
// built and validated by the export's own steps; fails as that export
// would. What `raw put` checks a piece with before it stores it.
std::u16string PieceDocument(const grading::PIECE& piece, std::string_view itemName);

const xml::EnumNameTable<uint8_t>& PieceTypeNames();
const xml::EnumNameTable<uint8_t>& RuleSourceTypeNames();
const xml::EnumNameTable<uint8_t>& PointTypeNames();

// Curve points for every stretch of smooth points of the perimeter and of
// each internal (lists of more than two points), walked up to the first
// closure point or the end: each stretch's curve, by repeated halving of the
// polygon from the point before the stretch to the point after it, is
// attached to the point before it (the stretch's own first point at the start
// of a list), replacing its curve points. Storage that cannot be obtained
// fails with code 5 "Piece smoothing error.".
void SmoothPiece(grading::PIECE& piece);

// Turns the piece about the middle of its first internal, by at most 90
// degrees either way, so that the line through its first two points marked
// with an attribute of kind 3 (perimeter first, then the internals) is level;
// curve points turn too. Unturned
// without two such points, without an internal with points, or when the two
// points coincide. A shown coordinate that leaves 32 bits fails with code 1.
void AlignPiece(grading::PIECE& piece);
// The turn AlignPiece gives a piece (about the centre, in 1/10000 units), or
// nullopt when it leaves the piece as it is.
struct Alignment {
  double cos = 1.0, sin = 0.0;
  int64_t centreX = 0, centreY = 0;
};
std::optional<Alignment> AlignmentOf(const grading::PIECE& piece);
// Turns `piece` as AlignPiece would turn `reference` (its graded sizes turn as
// the base size does).
void AlignPieceAs(grading::PIECE& piece, const grading::PIECE& reference);

// A list of points as pictures and exchange files draw it: up to its first
// Closure point, each smooth stretch replaced by the curve attached to the
// point before it. `source` is the index of the stored point, -1 for a curve
// point.
struct OutlinePoint {
  int32_t x = 0, y = 0;  // 1/10000 units
  int source = -1;
};
std::vector<OutlinePoint> DrawnOutline(const std::vector<grading::PiecePoint>& points);

// True for the internal whose line name is GRAIN (without regard to case or
// trailing spaces): the piece's grain line.
bool IsGrainLine(const grading::PieceInternal& internal);

}  // namespace tsln2xml
