#include "dxf/marker_dxf.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "dxf/group_writer.h"
#include "xml/svg_text.h"

namespace tsln2xml::dxf {

using marker::PlanPoint;

std::string BuildMarkerDxf(const marker::PlacedMarker& marker, Unit unit, size_t& replacedCharacters) {
  const double scale = unit == Unit::kCentimetre ? 10.0 : 1.0;
  auto at = [&](const PlanPoint& p) { return XY{p.x * scale, p.y * scale}; };
  const double width = marker.width * scale, length = marker.length * scale;
  double extent = std::max(width, length);
  for (const auto& piece : marker.pieces)
    for (const PlanPoint& p : piece.outline) extent = std::max({extent, std::fabs(p.x * scale), std::fabs(p.y * scale)});
  const double height = extent > 0 ? extent / 100 : 1.0;

  GroupWriter w;
  Header(w);
  BeginSection(w, "ENTITIES");
  const XY corners[4] = {{0, 0}, {width, 0}, {width, length}, {0, length}};
  for (int k = 0; k < 4; ++k) Line(w, "FABRIC", corners[k], corners[(k + 1) % 4]);

  for (const marker::PlacedPiece& piece : marker.pieces) {
    std::vector<XY> outline;
    for (const PlanPoint& p : piece.outline) outline.push_back(at(p));
    if (outline.size() >= 2) Polyline(w, "PIECES", outline, outline.size() >= 3);
    else if (outline.size() == 1) Point(w, "PIECES", outline[0]);

    const size_t n = piece.outline.size();
    const double inward = xml::SvgSignedArea(piece.outline) >= 0 ? 1 : -1;
    for (size_t i = 0; n >= 3 && i < n; ++i) {
      if (!piece.outline[i].notch) continue;
      const PlanPoint& before = piece.outline[(i + n - 1) % n];
      const PlanPoint& after = piece.outline[(i + 1) % n];
      const double tx = after.x - before.x, ty = after.y - before.y;
      double degrees = (tx == 0 && ty == 0) ? 0 : std::atan2(inward * tx, -inward * ty) * 180 / std::numbers::pi;
      if (degrees < 0) degrees += 360;
      if (degrees >= 360) degrees -= 360;
      PointWithAngle(w, "NOTCHES", outline[i], degrees);
    }

    for (const auto& line : piece.lines) {
      std::vector<XY> points;
      for (const PlanPoint& p : line) points.push_back(at(p));
      if (points.size() >= 2) Polyline(w, "INTERNAL", points, false);
      else if (points.size() == 1) Point(w, "DRILL", points[0]);
    }

    if (!outline.empty() && !piece.piece->name.empty()) {
      double minX = outline[0].x, maxX = minX, minY = outline[0].y, maxY = minY;
      for (const XY& p : outline) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
      }
      TextEntity(w, "NAMES", {(minX + maxX) / 2, (minY + maxY) / 2}, height, piece.piece->name);
    }
  }
  TextEntity(w, "NAMES", {0, -2 * height}, height, std::string("Units: ") + UnitsText(unit));
  EndSection(w);
  EndOfFile(w);
  replacedCharacters += w.Replaced();
  return w.Take();
}

}  // namespace tsln2xml::dxf
