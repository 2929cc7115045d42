#pragma once
// A placed marker as plain DXF R12 for nesting and cutting-room programs
// (docs/dxf.md): the fabric frame as four LINEs on layer FABRIC, each placed
// piece's outline as a closed POLYLINE on PIECES, internal lines on INTERNAL,
// notches (POINT, group 50 the direction into the piece) on NOTCHES, drill
// holes (one-point internal lines) on DRILL, piece names as TEXT on NAMES,
// and the Units text. Coordinates are the marker's, from the same placement
// as the picture (marker/placed_marker.h), in the output unit.

#include <string>

#include "dxf/piece_dxf.h"
#include "marker/placed_marker.h"

namespace tsln2xml::dxf {

// `unit` is the marker's unit (cm written in mm).
std::string BuildMarkerDxf(const marker::PlacedMarker& marker, Unit unit, size_t& replacedCharacters);

}  // namespace tsln2xml::dxf
