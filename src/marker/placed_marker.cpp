#include "marker/placed_marker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "marker/marker_export.h"
#include "platform/number_text.h"
#include "platform/paths.h"

namespace tsln2xml::marker {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const MarkerElement* Child(const MarkerElement& e, std::string_view name) {
  for (const auto& c : e.Children())
    if (c.Name() == name) return &c;
  return nullptr;
}

double Number(const std::string& text) {
  const auto v = platform::ParseDouble(text);
  return v ? *v : kNaN;
}

double ChildNumber(const MarkerElement& e, std::string_view name) {
  const MarkerElement* c = Child(e, name);
  return c ? Number(c->Text()) : kNaN;
}

double AttributeNumber(const MarkerElement& e, std::string_view name) {
  for (const auto& [key, value] : e.Attributes())
    if (key == name) return Number(value);
  return kNaN;
}

// The points of a perimeter line or an internal line.
std::vector<PlanPoint> PointsOf(const MarkerElement& line, std::string_view pointName) {
  std::vector<PlanPoint> points;
  for (const auto& p : line.Children()) {
    if (p.Name() != pointName) continue;
    const double notch = ChildNumber(p, "notchtype");
    points.push_back({AttributeNumber(p, "X"), AttributeNumber(p, "Y"), notch != 0 && !std::isnan(notch)});
  }
  return points;
}

bool Usable(double v) { return std::isfinite(v) && std::fabs(v) <= kLargestCoordinate; }

}  // namespace

void MarkerPlan::Append(MarkerElement element) {
  const std::string& name = element.Name();
  if (name == "width") {
    width_ = Number(element.Text());
  } else if (name == "length") {
    length_ = Number(element.Text());
  } else if (name == "name") {
    if (!element.Text().empty()) name_ = element.Text();
  } else if (name == "markerpiece") {
    PlanPiece piece;
    if (const MarkerElement* n = Child(element, "name")) piece.name = n->Text();
    if (const MarkerElement* size = Child(element, "basesize"))
      for (const auto& [key, value] : size->Attributes())
        if (key == "Value") piece.size = value.substr(0, value.find_last_not_of(' ') + 1);
    for (const auto& c : element.Children()) {
      if (c.Name() == "perimeterline") piece.outline = PointsOf(c, "perimeterpoint");
      if (c.Name() == "internalline") piece.lines.push_back(PointsOf(c, "internalpoint"));
    }
    pieces_.push_back(std::move(piece));
  } else if (name == "cartoon") {
    Placement placement;
    const double index = ChildNumber(element, "pieceindex");
    if (std::isfinite(index)) placement.piece = static_cast<int32_t>(index);
    if (const MarkerElement* centre = Child(element, "center")) {
      placement.centreX = AttributeNumber(*centre, "X");
      placement.centreY = AttributeNumber(*centre, "Y");
    }
    placement.rotation = ChildNumber(element, "rotation");
    placements_.push_back(placement);
  }
}

PlacedMarker MarkerPlan::Place() const {
  PlacedMarker out;
  auto dimension = [&](double v) {
    if (!Usable(v)) {
      ++out.skippedValues;
      return 0.0;
    }
    return std::max(v, 0.0);
  };
  out.width = dimension(width_);
  out.length = dimension(length_);

  for (const Placement& at : placements_) {
    if (at.piece < 0 || static_cast<size_t>(at.piece) >= pieces_.size()) continue;
    const PlanPiece& piece = pieces_[static_cast<size_t>(at.piece)];
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    if (!piece.outline.empty()) {
      minX = maxX = piece.outline[0].x;
      minY = maxY = piece.outline[0].y;
      for (const auto& p : piece.outline) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
      }
    }
    const double cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
    const double turn = at.rotation * std::numbers::pi / 180;
    const double cosT = std::cos(turn), sinT = std::sin(turn);
    auto place = [&](const std::vector<PlanPoint>& from) {
      std::vector<PlanPoint> to;
      for (const auto& p : from) {
        const double x = at.centreX + cosT * (p.x - cx) - sinT * (p.y - cy);
        const double y = at.centreY + sinT * (p.x - cx) + cosT * (p.y - cy);
        if (!Usable(x) || !Usable(y)) {
          ++out.skippedValues;
          continue;
        }
        to.push_back({x, y, p.notch});
      }
      return to;
    };
    PlacedPiece placed{static_cast<size_t>(at.piece), &piece, place(piece.outline), {}};
    for (const auto& line : piece.lines) placed.lines.push_back(place(line));
    out.pieces.push_back(std::move(placed));
  }
  return out;
}

std::string_view MarkerItemName(std::string_view markerName) { return markerName.substr(0, kMaxMarkerName); }

void WalkMarker(std::string_view areaRoot, std::string_view areaName, std::string_view markerName, ElementSink& sink) {
  MarkerWriter writer(platform::StoragePath(areaRoot, areaName), MarkerItemName(markerName));
  writer.Load();
  writer.Walk(sink);
}

}  // namespace tsln2xml::marker
