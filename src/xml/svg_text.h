#pragma once
// The text of SVG pictures of items, shared by every picture: numbers in a
// locale-independent form, item text escaped, labels drawn upright, and the
// page that holds a drawing in the item's own coordinates.
//
// A drawing keeps its item's coordinates, y growing upwards: the page's
// viewBox and one group with scale(1,-1) map them onto the picture, and
// labels turn themselves upright where they stand. Every stroke width and
// text size follows the page's extent, so pictures look alike whatever the
// item's unit.

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

namespace tsln2xml::xml {

// Up to 7 significant digits, the shortest form ("12.5", "1e+09").
std::string SvgNumber(double v);
// Narrow item text (code page) as escaped UTF-8 character data; characters
// that XML cannot carry become U+FFFD.
std::string SvgEscaped(std::string_view narrow);
// Text drawn upright at (x, y) of the flipped drawing; `escaped` as made by
// SvgEscaped.
std::string SvgLabel(double x, double y, std::string_view escaped, std::string_view attributes = {});
// The largest 1, 2 or 5 times a power of ten that is at most `v` (v > 0).
double SvgRoundLength(double v);

// "x,y x,y ..." of points with members x and y.
template <class Points>
std::string SvgPointList(const Points& points) {
  std::string s;
  for (const auto& p : points) {
    if (!s.empty()) s += ' ';
    s += SvgNumber(p.x) + "," + SvgNumber(p.y);
  }
  return s;
}

// The signed area of the polygon through points with members x and y:
// positive when they run anticlockwise (y growing upwards).
template <class Points>
double SvgSignedArea(const Points& points) {
  double twice = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto& a = points[i];
    const auto& b = points[(i + 1) % points.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return twice / 2;
}

struct SvgBounds {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  void Add(double x, double y) {
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
};

// The page around a drawing: a margin all round, a band above (a title) and
// one below (a scale bar), each a fraction of the extent, the larger side of
// the drawing (1 for a drawing of no size).
//
// A turned page shows the drawing a quarter turn clockwise: its y runs to the
// right and its x downwards (a long marker lies across the page). Its bands
// lie before the drawing's least x (above) and after its greatest x (below).
class SvgPage {
 public:
  SvgPage(const SvgBounds& drawing, double bandAbove, double bandBelow, bool turned = false);

  double Extent() const { return extent_; }
  const SvgBounds& Drawing() const { return drawing_; }
  // The declaration, the svg element (a picture 1200 pixels on its larger
  // side), the title, the opening of the flipped group and the page's
  // background (group "page").
  std::string Begin(std::string_view escapedTitle, const char* background) const;
  // A scale bar of a round length in the item's units under the drawing
  // (group "scale"), labelled with the unit's name.
  std::string ScaleBar(std::string_view unit = "units") const;
  // SvgLabel, upright on this page.
  std::string Label(double x, double y, std::string_view escaped, std::string_view attributes = {}) const;
  // Where a title's baseline starts: at the left of the band above.
  std::pair<double, double> TitleAt() const;
  bool Turned() const { return turned_; }
  static std::string End() { return "</g>\n</svg>\n"; }

 private:
  SvgBounds drawing_, page_;
  double extent_ = 1, margin_ = 0;
  bool turned_ = false;
};

}  // namespace tsln2xml::xml
