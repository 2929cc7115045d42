#pragma once
// A marker's pieces where the marker places them, made from the elements
// that the marker walk produces: what the SVG picture (marker_svg.h) and the
// DXF export (dxf/marker_dxf.h) both draw, so they show the same geometry as
// the XML export.
//
// Coordinates are the marker's own: x runs across the fabric from 0 to its
// width, y along it from 0 to its length. A piece is placed by its cartoon:
// turned by the cartoon's rotation (degrees, counterclockwise) about the
// centre of its outline's bounding box, which is then moved to the cartoon's
// centre.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "marker/marker_writer.h"

namespace tsln2xml::marker {

// Coordinates farther than this from the origin are left out: no fabric is
// that large.
inline constexpr double kLargestCoordinate = 1e9;

struct PlanPoint {
  double x = 0, y = 0;
  bool notch = false;
};

struct PlanPiece {
  std::string name;
  std::vector<PlanPoint> outline;
  std::vector<std::vector<PlanPoint>> lines;
  std::string size;  // the base size's value
};

struct PlacedPiece {
  size_t index = 0;  // of the piece record
  const PlanPiece* piece = nullptr;
  std::vector<PlanPoint> outline;
  std::vector<std::vector<PlanPoint>> lines;
};

struct PlacedMarker {
  double width = 0, length = 0;  // 0 where the marker's value is not usable
  std::vector<PlacedPiece> pieces;
  size_t skippedValues = 0;  // coordinates and sizes left out: not finite, or beyond kLargestCoordinate
};

// Receives the walk's elements and keeps what placing needs: the header's
// width and length, the marker's name, the pieces' geometry and the cartoons.
class MarkerPlan : public ElementSink {
 public:
  // `itemName` names the marker when it holds no name of its own.
  explicit MarkerPlan(std::string itemName) : name_(std::move(itemName)) {}
  void Append(MarkerElement element) override;
  // The placed pieces; refers to this plan, which must outlive it.
  PlacedMarker Place() const;
  const std::string& Name() const { return name_; }

  struct Placement {
    int32_t piece = -1;
    double centreX = 0, centreY = 0, rotation = 0;
  };

 private:
  std::string name_;
  double width_ = 0, length_ = 0;
  std::vector<PlanPiece> pieces_;
  std::vector<Placement> placements_;
};

// The marker of a storage area walked as the marker export walks it (the same
// storage path and name rules) into `sink`. Fails as the export does ("Error
// opening marker", code 5, secondary: the open status).
void WalkMarker(std::string_view areaRoot, std::string_view areaName, std::string_view markerName, ElementSink& sink);
// The marker name as the export uses it (cut to its longest).
std::string_view MarkerItemName(std::string_view markerName);

}  // namespace tsln2xml::marker
