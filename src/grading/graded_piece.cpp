#include "grading/graded_piece.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <map>

#include "core/exception.h"
#include "platform/byte_order.h"

namespace tsln2xml::grading {
namespace {

constexpr uint8_t kGradePoint = 0;
constexpr uint8_t kFoldGradePoint = 4;

bool IsGradePoint(uint8_t type) { return type == kGradePoint || type == kFoldGradePoint || type == kClosurePoint; }

// The segment of every size step t (from size t to t + 1): the number of
// break-flagged sizes among sizes 1..t, at most NumBreaks.
std::vector<size_t> StepSegments(const PIECE& piece) {
  std::vector<size_t> segments;
  const int64_t last = std::max<int64_t>(piece.numBreaks, 0);
  int64_t breaks = 0;
  for (size_t t = 0; t + 1 < piece.sizes.size(); ++t) {
    if (t >= 1 && piece.sizes[t].breakFlag != 0) ++breaks;
    segments.push_back(static_cast<size_t>(std::min(breaks, last)));
  }
  return segments;
}

// The deltas of one rule for every size, relative to the base size.
std::vector<Delta> RuleDeltas(const RuleNode& rule, const std::vector<size_t>& segments, size_t baseIndex,
                              size_t sizeCount, GradeMethod method) {
  std::vector<size_t> steps;  // steps per segment
  for (size_t k : segments) {
    if (steps.size() <= k) steps.resize(k + 1, 0);
    ++steps[k];
  }
  auto pair = [&](size_t k) { return k < rule.growth.size() ? rule.growth[k] : GrowthPair{}; };
  std::vector<Delta> out(sizeCount);
  for (size_t s = 0; s < sizeCount; ++s) {
    const size_t from = std::min(s, baseIndex), to = std::max(s, baseIndex);
    const double sign = s < baseIndex ? -1.0 : 1.0;
    if (method == GradeMethod::kCumulative) {
      // A segment's pair is its whole change; each of its steps takes an
      // equal share, counted per segment so that a whole segment is exact.
      std::vector<size_t> taken(steps.size(), 0);
      for (size_t t = from; t < to; ++t) ++taken[segments[t]];
      double x = 0, y = 0;
      for (size_t k = 0; k < taken.size(); ++k) {
        if (taken[k] == 0) continue;
        x += static_cast<double>(pair(k).x) * static_cast<double>(taken[k]) / static_cast<double>(steps[k]);
        y += static_cast<double>(pair(k).y) * static_cast<double>(taken[k]) / static_cast<double>(steps[k]);
      }
      out[s] = {std::llround(sign * x), std::llround(sign * y)};
    } else {
      int64_t x = 0, y = 0;
      for (size_t t = from; t < to; ++t) {
        x += pair(segments[t]).x;
        y += pair(segments[t]).y;
      }
      out[s] = s < baseIndex ? Delta{-x, -y} : Delta{x, y};
    }
  }
  return out;
}

// The outline the grade interpolates along: the perimeter up to its first
// closure point (the whole perimeter without one), with the arc length at
// each point.
struct Outline {
  size_t count = 0;
  std::vector<double> at;  // arc length from the first point
  double total = 0;        // round the closed outline
};

double Distance(const PiecePoint& a, const PiecePoint& b) {
  return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

Outline MakeOutline(const std::vector<PiecePoint>& perimeter) {
  Outline o;
  o.count = perimeter.size();
  for (size_t k = 0; k < perimeter.size(); ++k)
    if (perimeter[k].type == kClosurePoint) {
      o.count = k + 1;
      break;
    }
  double length = 0;
  for (size_t k = 0; k < o.count; ++k) {
    if (k > 0) length += Distance(perimeter[k - 1], perimeter[k]);
    o.at.push_back(length);
  }
  o.total = o.count > 0 ? length + Distance(perimeter[o.count - 1], perimeter[0]) : 0;
  return o;
}

// The outline's sides, for finding the position nearest to a point.
struct Side {
  double x, y, dx, dy, length2, at;
};

std::vector<Side> Sides(const std::vector<PiecePoint>& perimeter, const Outline& o) {
  std::vector<Side> sides;
  sides.reserve(o.count);
  for (size_t k = 0; k < o.count; ++k) {
    const PiecePoint& a = perimeter[k];
    const PiecePoint& b = perimeter[(k + 1) % o.count];
    const double dx = static_cast<double>(b.x) - a.x, dy = static_cast<double>(b.y) - a.y;
    sides.push_back({static_cast<double>(a.x), static_cast<double>(a.y), dx, dy, dx * dx + dy * dy, o.at[k]});
  }
  return sides;
}

// The position along the outline nearest to (x, y): the first side with the
// least distance, squared distances compared.
double NearestPosition(const std::vector<Side>& sides, double x, double y) {
  double best = std::numeric_limits<double>::infinity(), position = 0;
  for (const Side& s : sides) {
    double f = s.length2 > 0 ? ((x - s.x) * s.dx + (y - s.y) * s.dy) / s.length2 : 0;
    f = std::clamp(f, 0.0, 1.0);
    const double ex = s.x + f * s.dx - x, ey = s.y + f * s.dy - y;
    const double d2 = ex * ex + ey * ey;
    if (d2 < best) {
      best = d2;
      position = s.at + f * std::sqrt(s.length2);
    }
  }
  return position;
}

// Interpolates the grade points' deltas at an outline position.
class Interpolator {
 public:
  Interpolator(const Outline& o, const std::vector<size_t>& grades, const std::vector<Delta>& deltas)
      : o_(o), grades_(grades), deltas_(deltas) {}

  Delta At(double position) const {
    if (grades_.empty()) return {};
    // The last grade point at or before the position (wrapping to the last
    // one), and the one after it.
    const auto later = std::upper_bound(grades_.begin(), grades_.end(), position,
                                        [&](double p, size_t index) { return p < o_.at[index]; });
    const size_t before = later == grades_.begin() ? grades_.size() - 1 : static_cast<size_t>(later - grades_.begin()) - 1;
    const size_t after = (before + 1) % grades_.size();
    const double start = o_.at[grades_[before]];
    double end = o_.at[grades_[after]];
    double p = position;
    if (end <= start) end += o_.total;
    if (p < start) p += o_.total;
    const double span = end - start;
    const double f = span > 0 ? std::clamp((p - start) / span, 0.0, 1.0) : 0.0;
    const Delta& a = deltas_[before];
    const Delta& b = deltas_[after];
    return {std::llround(static_cast<double>(a.x) + f * static_cast<double>(b.x - a.x)),
            std::llround(static_cast<double>(a.y) + f * static_cast<double>(b.y - a.y))};
  }

 private:
  const Outline& o_;
  const std::vector<size_t>& grades_;
  const std::vector<Delta>& deltas_;
};

int32_t Moved(int32_t value, int64_t delta) {
  const int64_t v = int64_t{value} + delta;
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    throw Tsln2XmlException(kContentUnusable, "Graded piece coordinate out of range");
  return static_cast<int32_t>(v);
}

void Move(PiecePoint& point, const Delta& d) {
  point.x = Moved(point.x, d.x);
  point.y = Moved(point.y, d.y);
  for (CurvePoint& c : point.curve) {
    c.x = Moved(c.x, d.x);
    c.y = Moved(c.y, d.y);
  }
}

}  // namespace

std::optional<GradeMethod> ParseGradeMethod(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "smalltolarge") return GradeMethod::kSmallToLarge;
  if (lower == "cumulative") return GradeMethod::kCumulative;
  if (lower == "incremental") return GradeMethod::kIncremental;
  return std::nullopt;
}

std::string_view GradeMethodName(GradeMethod method) {
  switch (method) {
    case GradeMethod::kSmallToLarge: return "SmallToLarge";
    case GradeMethod::kCumulative: return "Cumulative";
    case GradeMethod::kIncremental: break;
  }
  return "Incremental";
}

std::string SizeText(const SizeName& name, uint8_t sizeIdType) {
  if (sizeIdType == kNumeric) return std::to_string(platform::LoadLE<int16_t>(name.data()));
  const size_t width = sizeIdType == kAlpha ? kSizeNameWidth - 1 : kSizeNameWidth;
  std::string text(name.begin(), std::find(name.begin(), name.begin() + width, uint8_t{0}));
  text.erase(text.find_last_not_of(' ') + 1);
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

GradedPiece GradeRules(const PIECE& piece, GradeMethod method) {
  GradedPiece out;
  const size_t sizeCount = std::max<size_t>(piece.sizes.size(), 1);
  if (piece.sizes.empty()) {
    if (piece.baseIndex != 0) throw Tsln2XmlException(kContentUnusable, "Piece base index is not one of its sizes");
  } else if (piece.baseIndex < 0 || static_cast<size_t>(piece.baseIndex) >= piece.sizes.size()) {
    throw Tsln2XmlException(kContentUnusable, "Piece base index is not one of its sizes");
  }
  out.baseIndex = static_cast<size_t>(piece.baseIndex);
  for (size_t s = 0; s < sizeCount; ++s) {
    GradedSize& size = out.sizes.emplace_back();
    size.name = SizeText(piece.sizes.empty() ? piece.baseSize : piece.sizes[s].name, piece.sizeIdType);
    size.base = s == out.baseIndex;
  }

  const std::vector<size_t> segments = StepSegments(piece);
  for (const RuleNode& rule : piece.rules)
    out.rules.push_back({rule.id, RuleDeltas(rule, segments, out.baseIndex, sizeCount, method)});

  // The first rule of each id grades the point of that id.
  std::map<int16_t, int> ruleOf;
  for (size_t r = 0; r < piece.rules.size(); ++r) ruleOf.emplace(piece.rules[r].id, static_cast<int>(r));
  const Outline outline = MakeOutline(piece.perimeter);
  for (size_t k = 0; k < outline.count; ++k) {
    if (!IsGradePoint(piece.perimeter[k].type)) continue;
    out.gradePoints.push_back(k);
    const auto rule = ruleOf.find(piece.perimeter[k].id);
    out.gradeRule.push_back(rule == ruleOf.end() ? -1 : rule->second);
  }
  return out;
}

GradedPiece GradePiece(const PIECE& piece, GradeMethod method) {
  GradedPiece out = GradeRules(piece, method);
  const size_t sizeCount = out.sizes.size();
  const Outline outline = MakeOutline(piece.perimeter);

  // Where each point that is not a grade point sits on the outline: the
  // same in every size.
  const std::vector<Side> sides = Sides(piece.perimeter, outline);
  std::vector<double> perimeterAt(piece.perimeter.size());
  std::vector<int> gradeOf(piece.perimeter.size(), -1);
  for (size_t j = 0; j < out.gradePoints.size(); ++j) gradeOf[out.gradePoints[j]] = static_cast<int>(j);
  for (size_t k = 0; k < piece.perimeter.size(); ++k)
    perimeterAt[k] = k < outline.count ? outline.at[k]
                                       : NearestPosition(sides, piece.perimeter[k].x, piece.perimeter[k].y);
  std::vector<std::vector<double>> internalAt;
  for (const PieceInternal& internal : piece.internals) {
    std::vector<double>& at = internalAt.emplace_back();
    for (const PiecePoint& p : internal.points) at.push_back(NearestPosition(sides, p.x, p.y));
  }

  for (size_t s = 0; s < sizeCount; ++s) {
    GradedSize& size = out.sizes[s];
    std::vector<Delta> grades;
    for (int rule : out.gradeRule) grades.push_back(rule >= 0 ? out.rules[static_cast<size_t>(rule)].sizes[s] : Delta{});
    const Interpolator interpolate(outline, out.gradePoints, grades);
    for (size_t k = 0; k < piece.perimeter.size(); ++k)
      size.perimeter.push_back(gradeOf[k] >= 0 ? grades[static_cast<size_t>(gradeOf[k])]
                                               : interpolate.At(perimeterAt[k]));
    for (const std::vector<double>& at : internalAt) {
      std::vector<Delta>& deltas = size.internals.emplace_back();
      for (double position : at) deltas.push_back(interpolate.At(position));
    }
  }
  return out;
}

PIECE SizedPiece(const PIECE& piece, const GradedSize& size) {
  PIECE out = piece;
  for (size_t k = 0; k < out.perimeter.size() && k < size.perimeter.size(); ++k) Move(out.perimeter[k], size.perimeter[k]);
  for (size_t i = 0; i < out.internals.size() && i < size.internals.size(); ++i)
    for (size_t k = 0; k < out.internals[i].points.size() && k < size.internals[i].size(); ++k)
      Move(out.internals[i].points[k], size.internals[i][k]);
  return out;
}

}  // namespace tsln2xml::grading
