#pragma once
// Pieces as AAMA / ASTM DXF (ASCII R12) with a grade rule (.rul) file
// (docs/dxf.md). One BLOCK per piece and size, named "<piece>_<size>", with
// the piece's own coordinates (as its XML export shows them: smoothed and
// aligned) in the output unit; the ENTITIES section has one INSERT per block,
// side by side so that nothing overlaps, and the style text. Layers are the
// convention's numbers: 1 boundary and piece text, 2 turn points (and the
// "# n" grade text), 3 curve points, 4 notches, 6 mirror line, 7 grain line,
// 8 internal lines, 13 drill holes, 15 annotation text.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "grading/graded_piece.h"
#include "store/grading_library.h"

namespace tsln2xml::dxf {

enum class Flavour { kAama, kAstm };
// The unit of the area's coordinates: metric areas are written in
// millimetres, imperial ones in inches.
enum class Unit { kMillimetre, kCentimetre, kInch };
enum class SizeSet { kBase, kAll };

struct PieceDxfOptions {
  Flavour flavour = Flavour::kAama;
  Unit unit = Unit::kCentimetre;
  SizeSet sizes = SizeSet::kBase;
  grading::GradeMethod method = grading::GradeMethod::kIncremental;
  std::time_t created = 0;  // the creation date and time written (local time)
};

struct NamedPiece {
  std::string name;
  grading::PIECE piece;  // as stored: neither smoothed nor aligned
};

struct PieceDxf {
  std::string dxf;
  std::string rul;
  size_t replacedCharacters = 0;  // characters of names and texts written as "_"
};

// Output units per stored 1/10000 unit, and the Units text of the unit.
double UnitScale(Unit unit);
const char* UnitsText(Unit unit);  // "METRIC" or "ENGLISH"

// The DXF and .rul texts of `pieces` (at least one). Pieces in one file share
// one size list and base size, since they share the .rul file: pieces whose
// size names or base index differ fail with code 1. The grading's failures
// (docs/grading.md) come through as they are.
PieceDxf BuildPieceDxf(const std::vector<NamedPiece>& pieces, const PieceDxfOptions& options);

}  // namespace tsln2xml::dxf
