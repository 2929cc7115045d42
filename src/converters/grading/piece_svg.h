#pragma once
// Pictures of pieces: an SVG drawing of a piece as its document shows it
// (obtained, smoothed and aligned by PieceReader), in the piece's own
// coordinates, y growing upwards, under one viewBox and one flip. Each layer
// is a group of its own:
//   outline   the perimeter up to its first Closure point, smooth stretches
//             drawn through their curve points, filled;
//   internal  the internals of two or more points, likewise through curves;
//   drill     drill holes: internals of one point, and Mark points;
//   notches   a tick into the piece at every TemporaryNotch point of the
//             perimeter;
//   grain     the internal whose line name is GRAIN, with arrowheads;
//   name, size  the piece's name and base size at its middle;
//   page, scale the background and a scale bar in the piece's units.
// A perimeter of fewer than three points is drawn as a line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/grading_library.h"

namespace tsln2xml {

inline constexpr const char* kPiecePageColour = "#ffffff";
inline constexpr const char* kPieceFillColour = "#cfe3f1";

// A point of a list as drawn, in the piece's units.
struct DrawnPoint {
  double x = 0, y = 0;
  bool notch = false;  // a TemporaryNotch point
  uint8_t type = 0;    // the point's type code; Smooth for a curve point
  int16_t id = -1;     // the point's id; -1 for a curve point
};

// A list of points (perimeter or internal) of a smoothed piece as drawn: up
// to its first Closure point (included), each smooth stretch replaced by the
// curve attached to the point before it.
std::vector<DrawnPoint> DrawnPoints(const std::vector<grading::PiecePoint>& points);

// The picture of `piece`, named `name`; the scale bar names `unit`.
std::string DrawPiece(const grading::PIECE& piece, std::string_view name, std::string_view unit = "units");

// Writes the picture of the piece `itemName` of a storage area to
// `svgFileName` (code page), through a file beside it that is renamed into
// place. Failures throw Tsln2XmlException as the piece export does (code 5
// "Could not open file", "Unable to load Piece", ...), and code 5 "could not
// write output file" with the errno as secondary code.
void RenderPiece(std::string_view areaRoot, std::string_view areaName, std::string_view itemName,
                 const std::string& svgFileName, std::string_view unit = "units");

}  // namespace tsln2xml
