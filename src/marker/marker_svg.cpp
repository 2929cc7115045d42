#include "marker/marker_svg.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/exception.h"
#include "framework/output_file.h"
#include "marker/marker_export.h"
#include "platform/number_text.h"
#include "xml/svg_text.h"

namespace tsln2xml::marker {
namespace {

using xml::SvgBounds;
using xml::SvgEscaped;
using xml::SvgNumber;
using xml::SvgPointList;

SvgBounds BoundsOf(const std::vector<PlanPoint>& points) {
  SvgBounds b{points[0].x, points[0].y, points[0].x, points[0].y};
  for (const auto& p : points) b.Add(p.x, p.y);
  return b;
}

}  // namespace

Picture MarkerPicture::Draw() const {
  Picture picture;
  const PlacedMarker marker = plan_.Place();
  picture.skippedValues = marker.skippedValues;
  const double width = marker.width, length = marker.length;
  const std::vector<PlacedPiece>& placed = marker.pieces;
  SvgBounds bounds{0, 0, width, length};
  for (const auto& p : placed) {
    for (const auto& point : p.outline) bounds.Add(point.x, point.y);
    for (const auto& line : p.lines)
      for (const auto& point : line) bounds.Add(point.x, point.y);
  }

  // A marker longer than it is wide lies across the page.
  const bool turned = bounds.maxY - bounds.minY > bounds.maxX - bounds.minX;
  const xml::SvgPage page(bounds, 0.07, 0.07, turned);
  const double e = page.Extent();
  std::string& s = picture.svg;
  s = page.Begin(SvgEscaped(plan_.Name()), kPageColour);
  s += "<g id=\"fabric\"><rect x=\"0\" y=\"0\" width=\"" + SvgNumber(width) + "\" height=\"" + SvgNumber(length) +
       "\" fill=\"" + kFabricColour + "\" stroke=\"#6e6a5e\" stroke-width=\"" + SvgNumber(0.002 * e) + "\"/></g>\n";

  double pieceArea = 0;
  s += "<g id=\"outline\" stroke=\"#2e2e2e\" stroke-width=\"" + SvgNumber(0.0015 * e) +
       "\" stroke-linejoin=\"round\">\n";
  for (const auto& p : placed) {
    const char* fill = kPieceFills[p.index % kPieceFills.size()];
    if (p.outline.size() >= 3) {
      pieceArea += std::fabs(xml::SvgSignedArea(p.outline));
      s += "<polygon points=\"" + SvgPointList(p.outline) + "\" fill=\"" + fill + "\"/>\n";
    } else if (p.outline.size() == 2) {
      s += "<polyline points=\"" + SvgPointList(p.outline) + "\" fill=\"none\"/>\n";
    } else if (p.outline.size() == 1) {
      s += "<circle cx=\"" + SvgNumber(p.outline[0].x) + "\" cy=\"" + SvgNumber(p.outline[0].y) + "\" r=\"" +
           SvgNumber(0.004 * e) + "\" fill=\"" + fill + "\"/>\n";
    }
  }
  s += "</g>\n";

  s += "<g id=\"internal\" fill=\"none\" stroke=\"#4a4a4a\" stroke-width=\"" + SvgNumber(0.001 * e) + "\">\n";
  for (const auto& p : placed) {
    for (const auto& line : p.lines) {
      if (line.size() >= 2)
        s += "<polyline points=\"" + SvgPointList(line) + "\"/>\n";
      else if (line.size() == 1)
        s += "<circle cx=\"" + SvgNumber(line[0].x) + "\" cy=\"" + SvgNumber(line[0].y) + "\" r=\"" +
             SvgNumber(0.003 * e) + "\"/>\n";
    }
  }
  s += "</g>\n";

  // A notch is a short tick from its outline point into the piece, across
  // the outline's direction there: 0.015 of the extent long, or less in a
  // piece whose narrower side is shorter than 12 ticks.
  std::string ticks;
  for (const auto& p : placed) {
    const size_t n = p.outline.size();
    if (n < 3) continue;
    const double inward = xml::SvgSignedArea(p.outline) >= 0 ? 1 : -1;
    const SvgBounds b = BoundsOf(p.outline);
    const double tick = std::min(0.015 * e, std::min(b.maxX - b.minX, b.maxY - b.minY) / 12);
    for (size_t i = 0; i < n; ++i) {
      if (!p.outline[i].notch || n < 3) continue;
      const auto& before = p.outline[(i + n - 1) % n];
      const auto& after = p.outline[(i + 1) % n];
      const double tx = after.x - before.x, ty = after.y - before.y, len = std::hypot(tx, ty);
      if (len == 0) continue;
      const double depth = tick * inward / len;
      ticks += "M" + SvgNumber(p.outline[i].x) + " " + SvgNumber(p.outline[i].y) + "l" + SvgNumber(-ty * depth) +
               " " + SvgNumber(tx * depth);
    }
  }
  s += "<g id=\"notches\" fill=\"none\" stroke=\"#b03a2e\" stroke-width=\"" + SvgNumber(0.002 * e) + "\">";
  if (!ticks.empty()) s += "<path d=\"" + ticks + "\"/>";
  s += "</g>\n";

  // Each label at most 0.02 of the extent high, and no wider than 0.9 of its
  // piece as the page shows it (a character taken as 0.6 of the text's
  // height) nor higher than 0.4 of it over two lines.
  s += "<g id=\"names\" font-family=\"sans-serif\" text-anchor=\"middle\" fill=\"#1a1a1a\">\n";
  for (const auto& p : placed) {
    if (p.outline.empty() || p.piece->name.empty()) continue;
    const SvgBounds b = BoundsOf(p.outline);
    const double cx = (b.minX + b.maxX) / 2, cy = (b.minY + b.maxY) / 2;
    const double across = turned ? b.maxY - b.minY : b.maxX - b.minX;
    const double down = turned ? b.maxX - b.minX : b.maxY - b.minY;
    const size_t chars = std::max(p.piece->name.size(), p.piece->size.size());
    const double height =
        std::min({0.02 * e, 0.9 * across / (0.6 * static_cast<double>(chars)), 0.2 * down});
    const std::string font = "font-size=\"" + SvgNumber(height) + "\"";
    if (p.piece->size.empty()) {
      s += page.Label(cx, cy, SvgEscaped(p.piece->name), font + " dy=\"0.35em\"");
      continue;
    }
    // The name just above the middle as the page shows it, the size under it.
    const double upX = turned ? -0.1 * height : 0, upY = turned ? 0 : 0.1 * height;
    s += page.Label(cx + upX, cy + upY, SvgEscaped(p.piece->name), font);
    s += page.Label(cx - upX, cy - upY, SvgEscaped(p.piece->size), font + " dy=\"0.8em\"");
  }
  s += "</g>\n";
  s += page.ScaleBar(unit_);

  // A fabric of no area (or one so small that the share overflows) has no
  // utilisation to show: "-", never "inf%" or "nan%".
  const double fabricArea = width * length;
  const double percent = fabricArea > 0 ? 100 * pieceArea / fabricArea : std::numeric_limits<double>::quiet_NaN();
  std::string utilisation = "-";
  if (std::isfinite(percent)) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, percent, std::chars_format::fixed, 1);
    utilisation = std::string(buf, res.ptr) + "%";
  }
  // The title no wider than the drawing as the page shows it (a drawing of
  // no width keeps the full height).
  const std::string title = SvgEscaped(plan_.Name()) + " - width " + SvgNumber(width) + ", length " + SvgNumber(length) +
                            ", utilisation " + utilisation;
  const double across = turned ? bounds.maxY - bounds.minY : bounds.maxX - bounds.minX;
  const double titleHeight =
      across > 0 ? std::min(0.035 * e, across / (0.6 * static_cast<double>(title.size()))) : 0.035 * e;
  s += "<g id=\"title\" font-family=\"sans-serif\" font-size=\"" + SvgNumber(titleHeight) + "\" fill=\"#1a1a1a\">\n";
  const auto [titleX, titleY] = page.TitleAt();
  s += page.Label(titleX, titleY, title);
  s += "</g>\n" + xml::SvgPage::End();
  return picture;
}

size_t RenderMarker(std::string_view areaRoot, std::string_view areaName, std::string_view markerName,
                    const std::string& svgFileName, std::string_view unit) {
  MarkerPicture picture{std::string(MarkerItemName(markerName)), std::string(unit)};
  WalkMarker(areaRoot, areaName, markerName, picture);
  const Picture drawn = picture.Draw();
  WriteOutputFile(svgFileName, drawn.svg);
  return drawn.skippedValues;
}

}  // namespace tsln2xml::marker
