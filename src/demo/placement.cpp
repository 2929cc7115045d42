#include "demo/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <optional>
#include <stdexcept>

namespace tsln2xml::demo {
namespace {

struct Box {
  double minX, minY, maxX, maxY;
};

Box BoundsOf(const std::vector<Vec2>& points) {
  Box b{points[0].x, points[0].y, points[0].x, points[0].y};
  for (const Vec2& p : points) {
    b.minX = std::min(b.minX, p.x), b.maxX = std::max(b.maxX, p.x);
    b.minY = std::min(b.minY, p.y), b.maxY = std::max(b.maxY, p.y);
  }
  return b;
}

double SegmentDistance(Vec2 p, Vec2 a, Vec2 b) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Cells in rows of 64-bit words, bit k of word w is column 64 w + k.
class Grid {
 public:
  Grid(size_t columns, size_t rows) : columns_(columns), words_(columns / 64 + 2), bits_(rows * words_, 0) {}
  size_t Columns() const { return columns_; }
  size_t Rows() const { return bits_.size() / words_; }
  size_t Words() const { return words_; }
  void Grow(size_t rows) {
    if (rows > Rows()) bits_.resize(rows * words_, 0);
  }
  void Set(size_t column, size_t row) { bits_[row * words_ + column / 64] |= uint64_t{1} << (column % 64); }
  uint64_t Word(size_t row, size_t word) const { return bits_[row * words_ + word]; }
  uint64_t& Word(size_t row, size_t word) { return bits_[row * words_ + word]; }

 private:
  size_t columns_, words_;
  std::vector<uint64_t> bits_;
};

// The cells of an outline whose bounding box starts at (gap, gap): those
// whose middle lies inside it, or within half a cell's diagonal plus the gap
// of its boundary.
Grid Rasterise(const std::vector<Vec2>& polygon, double width, double height, double cell, double gap) {
  const auto columns = static_cast<size_t>(std::ceil((width + 2 * gap) / cell));
  const auto rows = static_cast<size_t>(std::ceil((height + 2 * gap) / cell));
  Grid grid(columns, rows);
  const double reach = cell * std::sqrt(0.5) + gap;
  const size_t n = polygon.size();
  // Middles inside: the crossings of each row's middle line.
  for (size_t j = 0; j < rows; ++j) {
    const double y = (static_cast<double>(j) + 0.5) * cell;
    std::vector<double> crossings;
    for (size_t k = 0; k < n; ++k) {
      const Vec2 a = polygon[k], b = polygon[(k + 1) % n];
      if ((a.y <= y) != (b.y <= y)) crossings.push_back(a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
      const auto from = static_cast<long>(std::ceil(crossings[k] / cell - 0.5));
      const auto to = static_cast<long>(std::floor(crossings[k + 1] / cell - 0.5));
      for (long i = std::max(from, 0L); i <= to && i < static_cast<long>(columns); ++i)
        grid.Set(static_cast<size_t>(i), j);
    }
  }
  // Middles near the boundary.
  for (size_t k = 0; k < n; ++k) {
    const Vec2 a = polygon[k], b = polygon[(k + 1) % n];
    const auto i0 = static_cast<long>(std::floor((std::min(a.x, b.x) - reach) / cell));
    const auto i1 = static_cast<long>(std::ceil((std::max(a.x, b.x) + reach) / cell));
    const auto j0 = static_cast<long>(std::floor((std::min(a.y, b.y) - reach) / cell));
    const auto j1 = static_cast<long>(std::ceil((std::max(a.y, b.y) + reach) / cell));
    for (long j = std::max(j0, 0L); j <= j1 && j < static_cast<long>(rows); ++j)
      for (long i = std::max(i0, 0L); i <= i1 && i < static_cast<long>(columns); ++i) {
        const Vec2 middle{(static_cast<double>(i) + 0.5) * cell, (static_cast<double>(j) + 0.5) * cell};
        if (SegmentDistance(middle, a, b) <= reach) grid.Set(static_cast<size_t>(i), static_cast<size_t>(j));
      }
  }
  return grid;
}

// A piece's cells shifted by every bit offset within a word, so that a
// position is tested a word at a time.
class ShiftedPiece {
 public:
  explicit ShiftedPiece(const Grid& piece) : rows_(piece.Rows()), words_(piece.Words() + 1) {
    shifted_.assign(64 * rows_ * words_, 0);
    for (size_t s = 0; s < 64; ++s)
      for (size_t r = 0; r < rows_; ++r)
        for (size_t w = 0; w < piece.Words(); ++w) {
          const uint64_t word = piece.Word(r, w);
          At(s, r, w) |= word << s;
          if (s > 0) At(s, r, w + 1) |= word >> (64 - s);
        }
    columns_ = piece.Columns();
  }
  size_t Rows() const { return rows_; }
  size_t Columns() const { return columns_; }

  bool Fits(const Grid& fabric, size_t column, size_t row) const {
    const size_t q = column / 64, s = column % 64;
    for (size_t r = 0; r < rows_; ++r)
      for (size_t w = 0; w < words_ && q + w < fabric.Words(); ++w)
        if (At(s, r, w) & fabric.Word(row + r, q + w)) return false;
    return true;
  }
  void Take(Grid& fabric, size_t column, size_t row) const {
    const size_t q = column / 64, s = column % 64;
    for (size_t r = 0; r < rows_; ++r)
      for (size_t w = 0; w < words_ && q + w < fabric.Words(); ++w) fabric.Word(row + r, q + w) |= At(s, r, w);
  }

 private:
  uint64_t At(size_t s, size_t r, size_t w) const { return shifted_[(s * rows_ + r) * words_ + w]; }
  uint64_t& At(size_t s, size_t r, size_t w) { return shifted_[(s * rows_ + r) * words_ + w]; }
  size_t rows_, words_, columns_ = 0;
  std::vector<uint64_t> shifted_;
};

struct Spot {
  size_t column, row;
};

// The lowest, then leftmost, free spot of a piece, no higher than `highest`.
std::optional<Spot> LowestSpot(Grid& fabric, const ShiftedPiece& piece, size_t highest) {
  if (piece.Columns() > fabric.Columns()) return std::nullopt;
  for (size_t row = 0; row <= highest; ++row) {
    fabric.Grow(row + piece.Rows());
    for (size_t column = 0; column + piece.Columns() <= fabric.Columns(); ++column)
      if (piece.Fits(fabric, column, row)) return Spot{column, row};
  }
  return std::nullopt;
}

std::vector<Vec2> Turned(const std::vector<Vec2>& outline, const Box& b) {
  std::vector<Vec2> out;
  for (const Vec2& p : outline) out.push_back({b.minX + b.maxX - p.x, b.minY + b.maxY - p.y});
  return out;
}

}  // namespace

double PolygonArea(const std::vector<Vec2>& polygon) {
  double twice = 0;
  for (size_t k = 0; k < polygon.size(); ++k) {
    const Vec2 a = polygon[k], b = polygon[(k + 1) % polygon.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return std::fabs(twice) / 2;
}

std::vector<Vec2> Placed(const std::vector<Vec2>& outline, const Placement& placement) {
  const Box b = BoundsOf(outline);
  const double cx = (b.minX + b.maxX) / 2, cy = (b.minY + b.maxY) / 2, sign = placement.turned ? -1 : 1;
  std::vector<Vec2> out;
  for (const Vec2& p : outline)
    out.push_back({placement.centreX + sign * (p.x - cx), placement.centreY + sign * (p.y - cy)});
  return out;
}

std::vector<Placement> PlaceBottomLeft(const std::vector<std::vector<Vec2>>& outlines,
                                       const PlacementOptions& options) {
  std::vector<size_t> order(outlines.size());
  std::iota(order.begin(), order.end(), 0);
  std::vector<double> areas;
  for (const auto& outline : outlines) {
    if (outline.size() < 3) throw std::invalid_argument("an outline to place has fewer than three points");
    areas.push_back(PolygonArea(outline));
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return areas[a] > areas[b]; });

  Grid fabric(static_cast<size_t>(std::floor(options.width / options.cell)), 0);
  std::vector<Placement> placements(outlines.size());
  for (const size_t index : order) {
    const std::vector<Vec2>& outline = outlines[index];
    const Box b = BoundsOf(outline);
    const double width = b.maxX - b.minX, height = b.maxY - b.minY;
    std::optional<Spot> best;
    bool bestTurned = false;
    std::optional<ShiftedPiece> bestPiece;
    for (const bool turned : {false, true}) {
      std::vector<Vec2> local = turned ? Turned(outline, b) : outline;
      for (Vec2& p : local) p = {p.x - b.minX + options.gap, p.y - b.minY + options.gap};
      ShiftedPiece piece(Rasterise(local, width, height, options.cell, options.gap));
      const size_t highest = best ? best->row : SIZE_MAX - piece.Rows();
      const std::optional<Spot> spot = LowestSpot(fabric, piece, highest);
      if (spot && (!best || spot->row < best->row || (spot->row == best->row && spot->column < best->column))) {
        best = spot;
        bestTurned = turned;
        bestPiece.emplace(std::move(piece));
      }
    }
    if (!best) throw std::invalid_argument("a piece is wider than the fabric");
    bestPiece->Take(fabric, best->column, best->row);
    placements[index] = {bestTurned, static_cast<double>(best->column) * options.cell + options.gap + width / 2,
                         static_cast<double>(best->row) * options.cell + options.gap + height / 2};
  }
  return placements;
}

}  // namespace tsln2xml::demo
