#pragma once
// The demo's marker: the shirt of demo/shirt.h cut for one order (S 1, M 2,
// L 2, XL 1) on fabric 150 cm wide. Every piece of every garment is placed
// with its model count (as drawn and mirrored) by the greedy bottom-left
// placement of demo/placement.h, turned 0 or 180 degrees along the grain.
// The outlines are the pieces' smoothed outlines as the piece export and its
// picture compute them (curve points included); the marker's length, areas,
// perimeters and utilisation come from the placement.
//
// The marker holds one piece record per piece, size and side (a mirrored
// copy is a record of its own, named as the piece and described as
// mirrored), one bundle per garment, one cartoon per placed piece, and only
// record kinds that the marker export converts.

#include <array>
#include <cstdint>
#include <string_view>

#include "marker/marker_builder.h"

namespace tsln2xml::demo {

struct ShirtOrderLine {
  std::string_view size;
  int16_t quantity;
};

inline constexpr std::array<ShirtOrderLine, 4> kShirtOrder = {{{"S", 1}, {"M", 2}, {"L", 2}, {"XL", 1}}};
inline constexpr double kShirtFabricWidth = 150;

// The marker named `name` (its names record; the item name is the caller's).
marker::MarkerBuilder ShirtMarker(std::string_view name);

}  // namespace tsln2xml::demo
