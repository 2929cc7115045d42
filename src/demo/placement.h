#pragma once
// A greedy bottom-left placement of outlines on a fabric of a given width,
// each either as drawn or turned by 180 degrees (turns that keep the grain
// along the fabric's length). Outlines are rasterised on a square grid,
// conservatively: a cell is taken when the outline, grown by `gap`, touches
// it. Pieces go down largest first, each at the lowest and then leftmost
// position where its cells meet no taken cell, in whichever turn lies lower.
// Placed outlines therefore keep at least `gap` from each other and from the
// fabric's sides (x = 0 and x = width) and its start (y = 0).

#include <cstddef>
#include <vector>

namespace tsln2xml::demo {

struct Vec2 {
  double x = 0, y = 0;
};

struct Placement {
  bool turned = false;  // turned by 180 degrees about the middle of its bounding box
  double centreX = 0, centreY = 0;  // where the middle of its bounding box goes
};

struct PlacementOptions {
  double width = 150;  // the fabric's width (x runs across it)
  double cell = 0.5;   // the grid's cell
  double gap = 0.05;   // the least distance kept between outlines
};

// The placement of every outline (polygons of three points or more), in
// the order given. Throws std::invalid_argument when an outline does not fit
// the width.
std::vector<Placement> PlaceBottomLeft(const std::vector<std::vector<Vec2>>& outlines, const PlacementOptions& options);

// An outline placed: turned about the middle of its bounding box, which then
// goes to the placement's centre.
std::vector<Vec2> Placed(const std::vector<Vec2>& outline, const Placement& placement);

// The area of a polygon (positive either way round).
double PolygonArea(const std::vector<Vec2>& polygon);

}  // namespace tsln2xml::demo
