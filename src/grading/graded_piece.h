#pragma once
// Graded sizes of a piece: how far every point of a piece moves in each of
// its sizes, from the piece's own sizes, break flags, base index and rules
// (docs/grading.md is the reading, with a worked example per method).
//
//   grading::GradedPiece graded = grading::GradePiece(piece, grading::GradeMethod::kIncremental);
//   grading::PIECE large = grading::SizedPiece(piece, graded.sizes.back());
//
// Deltas are in 1/10000 units, in the piece's stored directions (before any
// smoothing or alignment), relative to the base size.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/grading_library.h"

namespace tsln2xml::grading {

enum class GradeMethod { kSmallToLarge, kCumulative, kIncremental };

// "SmallToLarge", "Cumulative", "Incremental" (the user environment's names),
// without regard to case; nullopt for anything else.
std::optional<GradeMethod> ParseGradeMethod(std::string_view text);
std::string_view GradeMethodName(GradeMethod method);

struct Delta {
  int64_t x = 0, y = 0;
  bool operator==(const Delta&) const = default;
};

struct GradedSize {
  std::string name;  // the size as text: the number, or the stored name
  bool base = false;
  std::vector<Delta> perimeter;               // one per perimeter point
  std::vector<std::vector<Delta>> internals;  // one list per internal, one per point
};

struct GradedRule {
  int16_t id = 0;
  std::vector<Delta> sizes;  // one per size, the base size's 0, 0
};

struct GradedPiece {
  std::vector<GradedSize> sizes;  // in the piece's size order
  size_t baseIndex = 0;
  std::vector<GradedRule> rules;  // in the piece's rule order
  // The grade points (perimeter indices) in outline order, and the rule each
  // one follows (-1: none, so it does not move).
  std::vector<size_t> gradePoints;
  std::vector<int> gradeRule;
};

// A size name as text: the signed number for Numeric, else the stored
// characters up to the first NUL (at most 7 for Alpha, 8 for LongAlpha),
// without surrounding spaces.
std::string SizeText(const SizeName& name, uint8_t sizeIdType);

// Grades `piece`. A piece without size records has one size, its base size,
// where nothing moves. Fails (Tsln2XmlException, code 1) when the base index
// is not one of the sizes. Of several rules with one id, the first grades.
GradedPiece GradePiece(const PIECE& piece, GradeMethod method);

// The sizes (names and base flag, no point deltas), the rules' deltas and the
// grade points of GradePiece, without moving any point: all that a piece
// written at its base size needs.
GradedPiece GradeRules(const PIECE& piece, GradeMethod method);

// The piece in one of its graded sizes: every point moved by its delta (the
// stored curve points of a point with it). A coordinate that leaves 32 bits
// fails with code 1 "Graded piece coordinate out of range".
PIECE SizedPiece(const PIECE& piece, const GradedSize& size);

}  // namespace tsln2xml::grading
