#pragma once
// Pieces made from values, for tests, fuzz seeds, the demo and the benchmark:
// small constructors for the parts of a PIECE and a fixture piece. Store one
// with StorePiece (store/grading_library.h).

#include <optional>
#include <string_view>
#include <vector>

#include "store/grading_library.h"

namespace tsln2xml::grading {

SizeName NumericSizeName(int16_t value);
// The text's first 8 bytes, NUL-padded (an Alpha name keeps at most 7).
SizeName TextSizeName(std::string_view text);
RuleNode MakeRule(int16_t id, std::string_view code, std::optional<std::string_view> comment,
                  std::vector<GrowthPair> growth);
PiecePoint MakePoint(int16_t id, int32_t x, int32_t y, uint8_t type, std::vector<uint8_t> attributes = {});

// A test and benchmark fixture (the demo's garment is demo/shirt.h): a
// shirt front with Alpha sizes, two rules, a perimeter of ten points with
// smooth stretches, a closure point and two points marked for alignment, and
// two internals: a grain line with a line name off whole units and an
// internal-1 record, and a drill mark with neither.
PIECE DemoPiece();

}  // namespace tsln2xml::grading
