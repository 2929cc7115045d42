#include "marker/marker_svg.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include "core/exception.h"
#include "marker/marker_export.h"
#include "platform/number_text.h"
#include "platform/paths.h"
#include "platform/replace_file.h"
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

  const xml::SvgPage page(bounds, 0.07, 0.07);
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
  // the outline's direction there.
  std::string ticks;
  for (const auto& p : placed) {
    const size_t n = p.outline.size();
    const double inward = xml::SvgSignedArea(p.outline) >= 0 ? 1 : -1;
    for (size_t i = 0; i < n; ++i) {
      if (!p.outline[i].notch || n < 3) continue;
      const auto& before = p.outline[(i + n - 1) % n];
      const auto& after = p.outline[(i + 1) % n];
      const double tx = after.x - before.x, ty = after.y - before.y, len = std::hypot(tx, ty);
      if (len == 0) continue;
      const double depth = 0.015 * e * inward / len;
      ticks += "M" + SvgNumber(p.outline[i].x) + " " + SvgNumber(p.outline[i].y) + "l" + SvgNumber(-ty * depth) +
               " " + SvgNumber(tx * depth);
    }
  }
  s += "<g id=\"notches\" fill=\"none\" stroke=\"#b03a2e\" stroke-width=\"" + SvgNumber(0.002 * e) + "\">";
  if (!ticks.empty()) s += "<path d=\"" + ticks + "\"/>";
  s += "</g>\n";

  s += "<g id=\"names\" font-family=\"sans-serif\" font-size=\"" + SvgNumber(0.02 * e) +
       "\" text-anchor=\"middle\" fill=\"#1a1a1a\">\n";
  for (const auto& p : placed) {
    if (p.outline.empty() || p.piece->name.empty()) continue;
    const SvgBounds b = BoundsOf(p.outline);
    s += xml::SvgLabel((b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2, SvgEscaped(p.piece->name), "dy=\"0.35em\"");
  }
  s += "</g>\n";
  s += page.ScaleBar();

  const double fabricArea = width * length;
  std::string utilisation = "none";
  if (fabricArea > 0 && std::isfinite(fabricArea)) {
    char buf[64];
    const double percent = 100 * pieceArea / fabricArea;
    const auto res = std::to_chars(buf, buf + sizeof buf, percent, std::chars_format::fixed, 1);
    utilisation = std::string(buf, res.ptr) + "%";
  }
  s += "<g id=\"title\" font-family=\"sans-serif\" font-size=\"" + SvgNumber(0.035 * e) + "\" fill=\"#1a1a1a\">\n";
  s += xml::SvgLabel(bounds.minX, bounds.maxY + 0.055 * e,
                     SvgEscaped(plan_.Name()) + " - width " + SvgNumber(width) + ", length " + SvgNumber(length) +
                         ", utilisation " + utilisation);
  s += "</g>\n" + xml::SvgPage::End();
  return picture;
}

size_t RenderMarker(std::string_view areaRoot, std::string_view areaName, std::string_view markerName,
                    const std::string& svgFileName) {
  MarkerPicture picture{std::string(MarkerItemName(markerName))};
  WalkMarker(areaRoot, areaName, markerName, picture);
  const Picture drawn = picture.Draw();
  if (const int error = platform::ReplaceFile(platform::HostPath(svgFileName), drawn.svg))
    throw Tsln2XmlException(kItemOpenFailure, error, "could not write output file");
  return drawn.skippedValues;
}

}  // namespace tsln2xml::marker
