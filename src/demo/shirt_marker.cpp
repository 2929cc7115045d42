#include "demo/shirt_marker.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "converters/grading/piece.h"
#include "converters/grading/piece_svg.h"
#include "demo/placement.h"
#include "demo/shirt.h"

namespace tsln2xml::demo {
namespace {

using marker::Cartoon;
using marker::LineInput;
using marker::PieceInput;
using marker::PointInput;

constexpr uint8_t kNotchPoint = 8;

int32_t Units(double cm) { return static_cast<int32_t>(std::llround(cm * 10000)); }

// One piece record: a piece in one size, as drawn or mirrored across its
// grain line, with its outline in cm for the placement.
struct Record {
  PieceInput piece;
  std::vector<Vec2> outline;
  double perimeter = 0;
};

double Perimeter(const std::vector<Vec2>& polygon) {
  double length = 0;
  for (size_t k = 0; k < polygon.size(); ++k) {
    const Vec2 a = polygon[k], b = polygon[(k + 1) % polygon.size()];
    length += std::hypot(b.x - a.x, b.y - a.y);
  }
  return length;
}

Record MakeRecord(const ShirtPieceCount& count, size_t sizeIndex, bool mirrored, int16_t specialPieceNumber) {
  grading::PIECE piece = ShirtPiece(count.name, sizeIndex);
  SmoothPiece(piece);
  const double side = mirrored ? -1 : 1;

  std::vector<DrawnPoint> outline = DrawnPoints(piece.perimeter);
  // The closure point repeats the first point.
  if (outline.size() > 1 && outline.back().type == grading::kClosurePoint) outline.pop_back();
  // A mirrored outline is walked backwards, so that it still runs
  // counterclockwise.
  if (mirrored) std::reverse(outline.begin(), outline.end());

  Record r;
  int16_t notches = 0, corners = 0;
  for (const DrawnPoint& p : outline) {
    PointInput point{.x = Units(side * p.x), .y = Units(p.y), .type = p.type};
    if (p.id > 0) point.id = static_cast<uint16_t>(p.id);  // the piece's own points keep their ids
    if (p.type == kNotchPoint) {
      point.notchType = 1;
      ++notches;
    } else if (p.type != grading::kSmoothPoint) {
      ++corners;
    }
    r.piece.perimeter.push_back(point);
    r.outline.push_back({side * p.x, p.y});
  }
  for (const grading::PieceInternal& internal : piece.internals) {
    LineInput line{.type = static_cast<uint8_t>(internal.type), .id = internal.id};
    for (const DrawnPoint& p : DrawnPoints(internal.points))
      line.points.push_back({.x = Units(side * p.x), .y = Units(p.y), .type = p.type});
    r.piece.lines.push_back(std::move(line));
  }
  const std::string description = std::string(count.description) + (mirrored ? ", mirrored" : "");
  r.piece.head = {std::string(count.name), description, specialPieceNumber, 0, 0, 0, notches, corners,
                 PolygonArea(r.outline), grading::kAlpha, 0, std::string(kShirtSizes[sizeIndex]), 0};
  r.perimeter = Perimeter(r.outline);
  return r;
}

size_t SizeIndex(std::string_view size) {
  return static_cast<size_t>(std::find(kShirtSizes.begin(), kShirtSizes.end(), size) - kShirtSizes.begin());
}

void SetNamesAndParameters(marker::MarkerBuilder& b, std::string_view name) {
  marker::MarkerNames& n = b.names.emplace();
  n.version = "1";
  n.name = std::string(name);
  n.description = "MEN'S SHIRT S-XL";
  n.orderId = "SPRING";
  n.orderNumber = "A-1024";
  n.layLimitName = "STANDARD";
  n.annotationName = "LABELS";
  n.notchName = "STANDARD";

  marker::NotchTableInput& notches = b.notches.emplace();
  for (size_t i = 0; i < notches.standard.size(); ++i)
    notches.standard[i] = {0, 2000, 1000, static_cast<int32_t>(4000 + 1000 * i)};
  // Turns of 180 degrees only: the grain stays along the fabric.
  b.layLimits.push_back({0, 0, uint16_t{1} << 13});
  b.layLimitExtensions.push_back({0, 0});
  b.annotations.push_back({"LABEL", 2, 12, {{.format = 6, .start = 1, .end = 10}, {.format = 15}, {.format = 11}}});
  b.modelNames = {"SHIRT"};
}

}  // namespace

marker::MarkerBuilder ShirtMarker(std::string_view name) {
  marker::MarkerBuilder b;
  SetNamesAndParameters(b, name);
  const auto& counts = ShirtPieceCounts();
  for (size_t k = 0; k < counts.size(); ++k) {
    const bool major = counts[k].name == "FRONT" || counts[k].name == "BACK" || counts[k].name == "SLEEVE";
    b.specialPieceNumbers.push_back({std::string(counts[k].name), std::to_string(k + 1), 0, 0, -1, 0, 0, 0,
                                     static_cast<int16_t>(major ? 1 : 0), 0});
  }

  // The piece records of every size ordered, and the cartoons of every
  // garment (one bundle each), their outlines to be placed.
  std::vector<Record> records;
  std::vector<std::vector<Vec2>> outlines;
  marker::OrderModelInput model;
  model.model = {"SHIRT", "STANDARD", "", "SHIRT", 0, 0, 0, "S", 0};
  for (const ShirtOrderLine& line : kShirtOrder) {
    const size_t sizeIndex = SizeIndex(line.size);
    model.entries.push_back({std::string(line.size), line.quantity, "", "", "M", 0});
    std::vector<std::pair<size_t, size_t>> sizeRecords;  // per piece: as drawn, mirrored
    for (size_t k = 0; k < counts.size(); ++k) {
      const size_t drawn = records.size();
      records.push_back(MakeRecord(counts[k], sizeIndex, false, static_cast<int16_t>(k)));
      size_t mirrored = drawn;
      if (counts[k].mirrored > 0) {
        mirrored = records.size();
        records.push_back(MakeRecord(counts[k], sizeIndex, true, static_cast<int16_t>(k)));
      }
      sizeRecords.push_back({drawn, mirrored});
    }
    for (int16_t garment = 0; garment < line.quantity; ++garment) {
      const auto bundle = static_cast<int16_t>(b.bundles.size());
      const auto first = static_cast<int16_t>(b.cartoons.size());
      for (size_t k = 0; k < counts.size(); ++k) {
        for (int16_t copy = 0; copy < counts[k].asDrawn + counts[k].mirrored; ++copy) {
          const size_t record = copy < counts[k].asDrawn ? sizeRecords[k].first : sizeRecords[k].second;
          Cartoon c;
          c.pieceIndex = static_cast<int16_t>(record);
          c.specialPieceNumberIndex = static_cast<int16_t>(k);
          c.bundleIndex = bundle;
          c.originalBundle = bundle;
          c.area = records[record].piece.head.area;
          c.pointCount = static_cast<int16_t>(records[record].piece.perimeter.size());
          b.cartoons.push_back(c);
          outlines.push_back(records[record].outline);
        }
      }
      const auto cartoons = static_cast<int16_t>(b.cartoons.size() - static_cast<size_t>(first));
      b.bundles.push_back({std::string(line.size), 0, cartoons, first});
    }
  }
  b.orderModels.push_back(model);

  const std::vector<Placement> placements = PlaceBottomLeft(outlines, {.width = kShirtFabricWidth});
  marker::MarkerHeader& h = b.header.emplace();
  double length = 0;
  for (size_t i = 0; i < b.cartoons.size(); ++i) {
    Cartoon& c = b.cartoons[i];
    const Record& r = records[static_cast<size_t>(c.pieceIndex)];
    const std::vector<Vec2> placed = Placed(r.outline, placements[i]);
    double right = placed[0].x, top = placed[0].y;
    for (const Vec2& p : placed) right = std::max(right, p.x), top = std::max(top, p.y);
    c.centerX = placements[i].centreX;
    c.centerY = placements[i].centreY;
    c.right = right;
    c.top = top;
    c.rotation = placements[i].turned ? 180.0f : 0.0f;
    length = std::max(length, top);
    h.placedArea += r.piece.head.area;
    h.placedPerimeter += r.perimeter;
    h.placedNotches = static_cast<int16_t>(h.placedNotches + r.piece.head.notchCount);
    h.placedCorners = static_cast<int16_t>(h.placedCorners + r.piece.head.cornerCount);
  }
  for (Record& r : records) {
    h.maximumPoints = std::max(h.maximumPoints, static_cast<int16_t>(r.piece.perimeter.size()));
    h.totalNumberOfPoints += static_cast<int32_t>(r.piece.perimeter.size());
    for (const LineInput& line : r.piece.lines) h.totalNumberOfPoints += static_cast<int32_t>(line.points.size());
    b.pieces.push_back(std::move(r.piece));
  }
  // The marker ends at the millimetre that the last piece reaches.
  h.status = 1;  // made
  h.width = kShirtFabricWidth;
  h.length = std::ceil(length * 10) / 10;
  h.currentLength = h.length;
  h.totalArea = h.placedArea;
  h.totalPerimeter = h.placedPerimeter;
  h.targetEfficiency = 75;
  h.utilization = 100 * h.placedArea / (h.width * h.length);
  h.placedPieces = static_cast<int16_t>(b.cartoons.size());
  h.totalNotches = h.placedNotches;
  h.numberCorners = h.placedCorners;
  h.spread = 1;
  h.seamAllowance = 10000;
  h.cutVersion = 1;
  h.plotVersion = 1;
  h.editVersion = 1;
  return b;
}

}  // namespace tsln2xml::demo
