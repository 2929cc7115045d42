#include "converters/grading/piece_svg.h"

#include <cctype>
#include <cmath>

#include "converters/grading/piece.h"
#include "core/exception.h"
#include "framework/output_file.h"
#include "xml/svg_text.h"

namespace tsln2xml {
namespace {

using xml::SvgNumber;

constexpr double kScale = 10000.0;
constexpr uint8_t kMarkPoint = 6;
constexpr uint8_t kNotchPoint = 8;

using Point = DrawnPoint;

// An arrowhead at `tip`, coming from `from`.
std::string Arrowhead(const Point& from, const Point& tip, double size) {
  const double dx = tip.x - from.x, dy = tip.y - from.y, len = std::hypot(dx, dy);
  if (len == 0) return "";
  const double ux = dx / len * size, uy = dy / len * size;
  return "M" + SvgNumber(tip.x - ux - uy / 2) + " " + SvgNumber(tip.y - uy + ux / 2) + "L" + SvgNumber(tip.x) + " " +
         SvgNumber(tip.y) + "L" + SvgNumber(tip.x - ux + uy / 2) + " " + SvgNumber(tip.y - uy - ux / 2);
}

}  // namespace

std::vector<DrawnPoint> DrawnPoints(const std::vector<grading::PiecePoint>& points) {
  std::vector<DrawnPoint> out;
  for (const OutlinePoint& d : DrawnOutline(points)) {
    if (d.source < 0) {
      out.push_back({d.x / kScale, d.y / kScale, false, grading::kSmoothPoint});
      continue;
    }
    const grading::PiecePoint& p = points[static_cast<size_t>(d.source)];
    out.push_back({d.x / kScale, d.y / kScale, p.type == kNotchPoint, p.type, p.id});
  }
  return out;
}

std::string DrawPiece(const grading::PIECE& piece, std::string_view name, std::string_view unit) {
  const std::vector<Point> outline = DrawnPoints(piece.perimeter);
  std::vector<std::vector<Point>> internals;
  xml::SvgBounds bounds{};
  bool first = true;
  auto extend = [&](const std::vector<Point>& points) {
    for (const Point& p : points) {
      if (first) bounds = {p.x, p.y, p.x, p.y};
      first = false;
      bounds.Add(p.x, p.y);
    }
  };
  extend(outline);
  for (const auto& internal : piece.internals) extend(internals.emplace_back(DrawnPoints(internal.points)));

  const xml::SvgPage page(bounds, 0.02, 0.07);
  const double e = page.Extent();
  const std::string escapedName = xml::SvgEscaped(name);
  std::string size = grading::BaseSizeText(piece);
  size.erase(0, size.find_first_not_of(' '));
  std::string s = page.Begin(escapedName, kPiecePageColour);

  s += "<g id=\"outline\" stroke=\"#2e2e2e\" stroke-width=\"" + SvgNumber(0.002 * e) +
       "\" stroke-linejoin=\"round\">\n";
  if (outline.size() >= 3)
    s += "<polygon points=\"" + xml::SvgPointList(outline) + "\" fill=\"" + kPieceFillColour + "\"/>\n";
  else if (!outline.empty())
    s += "<polyline points=\"" + xml::SvgPointList(outline) + "\" fill=\"none\"/>\n";
  s += "</g>\n";

  std::string internalLines, drills, grain;
  const double r = 0.008 * e;
  for (size_t i = 0; i < internals.size(); ++i) {
    const std::vector<Point>& points = internals[i];
    const auto& source = piece.internals[i].points;
    if (points.size() >= 2 && IsGrainLine(piece.internals[i])) {
      grain += "<polyline points=\"" + xml::SvgPointList(points) + "\"/>\n<path d=\"" +
               Arrowhead(points[1], points[0], 0.03 * e) + Arrowhead(points[points.size() - 2], points.back(), 0.03 * e) +
               "\"/>\n";
    } else if (points.size() >= 2) {
      internalLines += "<polyline points=\"" + xml::SvgPointList(points) + "\"/>\n";
    }
    for (const auto& p : source) {
      if (points.size() != 1 && p.type != kMarkPoint) continue;
      const double x = p.x / kScale, y = p.y / kScale;
      drills += "<circle cx=\"" + SvgNumber(x) + "\" cy=\"" + SvgNumber(y) + "\" r=\"" + SvgNumber(r) + "\"/>" +
                "<path d=\"M" + SvgNumber(x - r) + " " + SvgNumber(y) + "h" + SvgNumber(2 * r) + "M" + SvgNumber(x) +
                " " + SvgNumber(y - r) + "v" + SvgNumber(2 * r) + "\"/>\n";
    }
  }
  s += "<g id=\"internal\" fill=\"none\" stroke=\"#4a4a4a\" stroke-width=\"" + SvgNumber(0.0015 * e) + "\">\n" +
       internalLines + "</g>\n";
  s += "<g id=\"drill\" fill=\"none\" stroke=\"#1a1a1a\" stroke-width=\"" + SvgNumber(0.0015 * e) + "\">\n" + drills +
       "</g>\n";

  // A notch is a short tick from its outline point into the piece.
  std::string ticks;
  const size_t n = outline.size();
  const double inward = xml::SvgSignedArea(outline) >= 0 ? 1 : -1;
  for (size_t i = 0; n >= 3 && i < n; ++i) {
    if (!outline[i].notch) continue;
    const Point& before = outline[(i + n - 1) % n];
    const Point& after = outline[(i + 1) % n];
    const double tx = after.x - before.x, ty = after.y - before.y, len = std::hypot(tx, ty);
    if (len == 0) continue;
    const double depth = 0.03 * e * inward / len;
    ticks += "M" + SvgNumber(outline[i].x) + " " + SvgNumber(outline[i].y) + "l" + SvgNumber(-ty * depth) + " " +
             SvgNumber(tx * depth);
  }
  s += "<g id=\"notches\" fill=\"none\" stroke=\"#b03a2e\" stroke-width=\"" + SvgNumber(0.003 * e) + "\">";
  if (!ticks.empty()) s += "<path d=\"" + ticks + "\"/>";
  s += "</g>\n";
  s += "<g id=\"grain\" fill=\"none\" stroke=\"#1f618d\" stroke-width=\"" + SvgNumber(0.003 * e) + "\">\n" + grain +
       "</g>\n";

  const double cx = (bounds.minX + bounds.maxX) / 2, cy = (bounds.minY + bounds.maxY) / 2;
  const std::string text = "font-family=\"sans-serif\" text-anchor=\"middle\" fill=\"#1a1a1a\" font-size=\"";
  s += "<g id=\"name\" " + text + SvgNumber(0.04 * e) + "\">\n" + xml::SvgLabel(cx, cy, escapedName) + "</g>\n";
  s += "<g id=\"size\" " + text + SvgNumber(0.03 * e) + "\">\n" +
       xml::SvgLabel(cx, cy - 0.045 * e, "size " + xml::SvgEscaped(size)) + "</g>\n";
  s += page.ScaleBar(unit);
  return s + xml::SvgPage::End();
}

void RenderPiece(std::string_view areaRoot, std::string_view areaName, std::string_view itemName,
                 const std::string& svgFileName, std::string_view unit) {
  PieceReader reader(areaRoot, areaName, itemName);
  const std::string svg = DrawPiece(*reader.PreparedPiece(), reader.ItemName(), unit);
  WriteOutputFile(svgFileName, svg);
}

}  // namespace tsln2xml
