#pragma once
// The demo's garment: a men's shirt in the sizes S M L XL XXL (base M) with
// the pieces FRONT, BACK, YOKE, SLEEVE, COLLAR, COLLAR-STAND, CUFF and POCKET,
// in centimetres at full scale (coordinates in 1/10000 cm).
//
// Every size of every piece is drafted from that size's body measurements
// (chest, length, neck, ...), which grow by a fixed step per size within each
// of the two grade segments (S to L, L to XXL). A piece's grading rules are
// the moves of its grade points from one size to the next: one growth pair per
// segment, the same for every step inside it. A rule's id is the id of the
// point it grades, and point ids are unique across the garment (FRONT 101...,
// BACK 201..., ...), so the rule table SHIRT (examples/Grading/SHIRT.xml)
// holds every piece's rules under the same ids.
//
// The demo lives above the converters and the marker: it uses both.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/grading_library.h"

namespace tsln2xml::demo {

inline constexpr std::array<std::string_view, 5> kShirtSizes = {"S", "M", "L", "XL", "XXL"};
inline constexpr size_t kShirtBaseSize = 1;  // M
// The sizes that end a grade segment (L ends the first, XXL the second).
inline constexpr std::array<uint8_t, 5> kShirtBreakFlags = {0, 0, 1, 0, 1};
inline constexpr std::string_view kShirtRuleTable = "SHIRT";

// What the model SHIRT cuts of a piece per garment: copies as drawn and
// copies mirrored across the grain line (the left and right fronts).
struct ShirtPieceCount {
  std::string_view name;
  std::string_view description;
  int16_t asDrawn = 0;
  int16_t mirrored = 0;
};

// The eight pieces in the model's order.
const std::vector<ShirtPieceCount>& ShirtPieceCounts();

// The piece `name` (one of ShirtPieceCounts) drafted in size `sizeIndex`
// (an index into kShirtSizes), with the range's sizes, break flags and the
// piece's rules; its base size is the size drafted. Throws
// std::invalid_argument for an unknown name or size.
grading::PIECE ShirtPiece(std::string_view name, size_t sizeIndex = kShirtBaseSize);

// The grade step of size t to size t + 1 lies in this segment: the number of
// break-flagged sizes among the sizes 1..t (docs/grading.md), at most 1.
size_t ShirtSegment(size_t step);

}  // namespace tsln2xml::demo
