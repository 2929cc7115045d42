#include "demo/shirt.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

#include "store/piece_builder.h"

namespace tsln2xml::demo {
namespace {

using grading::PIECE;
using grading::PieceInternal;
using grading::PiecePoint;

// Point type codes.
constexpr uint8_t kGrade = 0, kNonGrade = 1, kClosure = 2, kSmooth = 3, kMark = 6, kNotch = 8;
// Internal type codes: the grain line, other lines, drill holes.
constexpr int16_t kGrainLine = 1, kLine = 2, kDrill = 3;

// Body measurements of one size, cm: each grows by a fixed step per size
// within a grade segment.
struct Measures {
  double chest, length, neck, shoulder, armhole, sleeve, bicep, wrist;
};
constexpr std::array<Measures, 5> kMeasures = {{
    {100, 76, 38, 44, 22, 62, 38, 24},    // S
    {104, 77, 40, 46, 23, 63, 40, 25},    // M
    {108, 78, 42, 48, 24, 64, 42, 26},    // L
    {114, 79, 44, 50.5, 25.5, 65, 45, 27},  // XL
    {120, 80, 46, 53, 27, 66, 48, 28},    // XXL
}};

// A drafted point; grade points carry the comment of their rule.
struct DraftPoint {
  double x, y;
  uint8_t type;
  std::string_view rule{};
};

struct DraftLine {
  std::string_view name;  // GRAIN for the grain line
  int16_t type;
  std::vector<std::pair<double, double>> points;
};

struct Draft {
  std::vector<DraftPoint> outline;  // counterclockwise, ending in a Closure point on the first
  std::vector<DraftLine> lines;
};

DraftLine Grain(double x, double y0, double y1) { return {"GRAIN", kGrainLine, {{x, y0}, {x, y1}}}; }
DraftLine Drill(double x, double y) { return {"", kDrill, {{x, y}}}; }

// A right front, front edge at x = 0: button stand, curved shirt-tail hem,
// side seam with a waist notch, armhole curve with its notch, shoulder and
// neckline; the centre front line, and the pocket's drill holes.
Draft Front(const Measures& m) {
  const double stand = 2.5, w = stand + m.chest / 4 + 2, h = m.length;
  const double underarm = h - m.armhole - 4.5, shoulderX = stand + m.shoulder / 2 - 0.5;
  const double neckX = stand + m.neck / 4 - 1.5, neckY = h - m.neck / 4 + 1;
  const double pocketTop = h - 22, pocketLeft = stand + 5.5, pocketRight = pocketLeft + 12 + (m.chest - 100) / 8;
  return {{{0, 0, kGrade, "FRONT HEM CF"},
           {0.45 * w, 0, kSmooth},
           {0.85 * w, 2, kSmooth},
           {w, 7, kGrade, "FRONT HEM SIDE"},
           {w, 7 + 0.45 * (underarm - 7), kNotch},
           {w, underarm, kGrade, "FRONT UNDERARM"},
           {w - 3.5, underarm + 1, kSmooth},
           {shoulderX + 0.6, underarm + 6, kSmooth},
           {shoulderX + 0.3, underarm + 11, kNotch},
           {shoulderX, h - 4.5, kGrade, "FRONT SHOULDER"},
           {neckX, h, kGrade, "FRONT NECK POINT"},
           {neckX - 0.5, neckY + 5, kSmooth},
           {stand + 3.5, neckY + 0.2, kSmooth},
           {stand, neckY, kGrade, "FRONT NECK CF"},
           {0, neckY, kGrade, "FRONT EDGE TOP"},
           {0, 0, kClosure, "FRONT HEM CF"}},
          {Grain(0.75 * w, 8, underarm - 8),
           {"CF", kLine, {{stand, 3}, {stand, neckY - 3}}},
           Drill(pocketLeft + 0.5, pocketTop - 0.5),
           Drill(pocketRight - 0.5, pocketTop - 0.5)}};
}

// The whole back, centre back at the middle: shirt-tail hem, side seams,
// armholes and the yoke seam with the box pleat's notches.
Draft Back(const Measures& m) {
  const double w = m.chest / 2 + 4, c = w / 2, top = m.length - 8, underarm = m.length - m.armhole - 4.5;
  const double notch = 7 + 0.45 * (underarm - 7);
  return {{{c, 0, kGrade, "BACK HEM CB"},
           {c + 0.45 * c, 0, kSmooth},
           {c + 0.85 * c, 2, kSmooth},
           {w, 7, kGrade, "BACK HEM SIDE R"},
           {w, notch, kNotch},
           {w, underarm, kGrade, "BACK UNDERARM R"},
           {w - 3, underarm + 1.2, kSmooth},
           {w - 4.2, underarm + 7, kSmooth},
           {w - 4.4, underarm + 11, kNotch},
           {w - 4.5, top, kGrade, "BACK YOKE END R"},
           {c + 2, top, kNotch},
           {c, top, kNotch},
           {c - 2, top, kNotch},
           {4.5, top, kGrade, "BACK YOKE END L"},
           {4.4, underarm + 11, kNotch},
           {4.2, underarm + 7, kSmooth},
           {3, underarm + 1.2, kSmooth},
           {0, underarm, kGrade, "BACK UNDERARM L"},
           {0, notch, kNotch},
           {0, 7, kGrade, "BACK HEM SIDE L"},
           {0.15 * c, 2, kSmooth},
           {0.55 * c, 0, kSmooth},
           {c, 0, kClosure, "BACK HEM CB"}},
          {Grain(c, 10, top - 10)}};
}

// The yoke: the seam to the back along the bottom, the shoulder seams and the
// back neck curve at the top; centre back notched.
Draft Yoke(const Measures& m) {
  const double w = m.chest / 2 - 5, c = w / 2, neck = m.neck / 4 - 1.5;
  return {{{0, 0, kGrade, "YOKE BACK L"},
           {c, 0, kNotch},
           {w, 0, kGrade, "YOKE BACK R"},
           {w + 0.5, 7, kGrade, "YOKE SHOULDER R"},
           {c + neck, 11, kGrade, "YOKE NECK R"},
           {c + 0.55 * neck, 9.6, kSmooth},
           {c, 9.5, kGrade, "YOKE NECK CB"},
           {c - 0.55 * neck, 9.6, kSmooth},
           {c - neck, 11, kGrade, "YOKE NECK L"},
           {-0.5, 7, kGrade, "YOKE SHOULDER L"},
           {0, 0, kClosure, "YOKE BACK L"}},
          {Grain(c, 2, 8)}};
}

// A long sleeve without its cuff: the hem with the placket and pleat
// notches, the underarm seams and the cap curve with its front and back
// notches.
Draft Sleeve(const Measures& m) {
  const double w = m.bicep + 4, c = w / 2, length = m.sleeve - 6, cap = m.armhole / 2 + 1, wrist = m.wrist + 8;
  const double underarm = length - cap, hemL = c - wrist / 2, hemR = c + wrist / 2;
  return {{{hemL, 0, kGrade, "SLEEVE HEM L"},
           {hemL + wrist / 4, 0, kNotch},
           {hemL + wrist / 4 + 3, 0, kNotch},
           {hemR, 0, kGrade, "SLEEVE HEM R"},
           {w, underarm, kGrade, "SLEEVE UNDERARM R"},
           {0.86 * w, underarm + 0.8, kSmooth},
           {0.72 * w, underarm + 0.5 * cap, kSmooth},
           {0.66 * w, underarm + 0.72 * cap, kNotch},
           {0.6 * w, length, kSmooth},
           {c, length, kGrade, "SLEEVE CAP TOP"},
           {0.4 * w, length, kSmooth},
           {0.34 * w, underarm + 0.72 * cap, kNotch},
           {0.28 * w, underarm + 0.5 * cap, kSmooth},
           {0.14 * w, underarm + 0.8, kSmooth},
           {0, underarm, kGrade, "SLEEVE UNDERARM L"},
           {hemL, 0, kClosure, "SLEEVE HEM L"}},
          {Grain(c, 6, underarm - 4)}};
}

// The collar: the neck edge curved up at the ends, the collar points and the
// curved fall line; centre back notched on both edges.
Draft Collar(const Measures& m) {
  const double l = m.neck + 3, c = l / 2;
  return {{{0, 1.5, kGrade, "COLLAR NECK L"},
           {0.22 * l, 0.15, kSmooth},
           {c, 0, kNotch},
           {0.78 * l, 0.15, kSmooth},
           {l, 1.5, kGrade, "COLLAR NECK R"},
           {l + 2.5, 7.5, kGrade, "COLLAR POINT R"},
           {0.8 * l, 4.6, kSmooth},
           {c, 4.5, kNotch},
           {0.2 * l, 4.6, kSmooth},
           {-2.5, 7.5, kGrade, "COLLAR POINT L"},
           {0, 1.5, kClosure, "COLLAR NECK L"}},
          {Grain(c, 1, 3.5)}};
}

// The collar stand: a curved band with rounded front ends; centre back
// notched on both edges.
Draft CollarStand(const Measures& m) {
  const double l = m.neck + 3.5, c = l / 2;
  return {{{0, 1.2, kGrade, "STAND FRONT L"},
           {0.25 * l, 0.1, kSmooth},
           {c, 0, kNotch},
           {0.75 * l, 0.1, kSmooth},
           {l, 1.2, kGrade, "STAND FRONT R"},
           {l + 0.2, 3.4, kSmooth},
           {l - 1.5, 4.4, kGrade, "STAND TOP R"},
           {0.75 * l, 4, kSmooth},
           {c, 3.8, kNotch},
           {0.25 * l, 4, kSmooth},
           {1.5, 4.4, kGrade, "STAND TOP L"},
           {-0.2, 3.4, kSmooth},
           {0, 1.2, kClosure, "STAND FRONT L"}},
          {Grain(c, 1, 3)}};
}

// A cuff: rounded corners on the outer edge, the sleeve seam along the
// bottom with its centre notch; the button and buttonhole marks.
Draft Cuff(const Measures& m) {
  const double l = m.wrist + 4, h = 6.5;
  return {{{0, 0, kGrade, "CUFF SEAM L"},
           {l / 2, 0, kNotch},
           {l, 0, kGrade, "CUFF SEAM R"},
           {l, h - 1.5, kGrade, "CUFF EDGE R"},
           {l, h, kSmooth},
           {l - 1.5, h, kGrade, "CUFF TOP R"},
           {1.5, h, kGrade, "CUFF TOP L"},
           {0, h, kSmooth},
           {0, h - 1.5, kGrade, "CUFF EDGE L"},
           {0, 0, kClosure, "CUFF SEAM L"}},
          {Grain(l / 2, 1, h - 1), Drill(1.25, h / 2), Drill(l - 1.25, h / 2)}};
}

// The chest pocket: chamfered bottom corners, the hem fold notched on both
// sides.
Draft Pocket(const Measures& m) {
  const double w = 12 + (m.chest - 100) / 8, h = 14;
  return {{{0, 1.5, kGrade, "POCKET SIDE L"},
           {1.5, 0, kGrade, "POCKET BOTTOM L"},
           {w - 1.5, 0, kGrade, "POCKET BOTTOM R"},
           {w, 1.5, kGrade, "POCKET SIDE R"},
           {w, h - 2.5, kNotch},
           {w, h, kGrade, "POCKET TOP R"},
           {0, h, kGrade, "POCKET TOP L"},
           {0, h - 2.5, kNotch},
           {0, 1.5, kClosure, "POCKET SIDE L"}},
          {Grain(w / 2, 2, h - 4), {"FOLD", kLine, {{0.5, h - 2.5}, {w - 0.5, h - 2.5}}}}};
}

struct PieceDefinition {
  ShirtPieceCount count;
  int16_t firstPointId;
  Draft (*draft)(const Measures&);
};

const std::vector<PieceDefinition>& Definitions() {
  static const std::vector<PieceDefinition> pieces = {
      {{"FRONT", "Front", 1, 1}, 101, Front},
      {{"BACK", "Back", 1, 0}, 201, Back},
      {{"YOKE", "Yoke", 2, 0}, 301, Yoke},
      {{"SLEEVE", "Sleeve", 1, 1}, 401, Sleeve},
      {{"COLLAR", "Collar", 2, 0}, 501, Collar},
      {{"COLLAR-STAND", "Collar stand", 2, 0}, 601, CollarStand},
      {{"CUFF", "Cuff", 4, 0}, 701, Cuff},
      {{"POCKET", "Chest pocket", 1, 0}, 801, Pocket},
  };
  return pieces;
}

int32_t Units(double cm) { return static_cast<int32_t>(std::llround(cm * 10000)); }

bool IsGradePoint(uint8_t type) { return type == kGrade || type == 4 || type == kClosure; }

}  // namespace

const std::vector<ShirtPieceCount>& ShirtPieceCounts() {
  static const std::vector<ShirtPieceCount> counts = [] {
    std::vector<ShirtPieceCount> out;
    for (const auto& d : Definitions()) out.push_back(d.count);
    return out;
  }();
  return counts;
}

size_t ShirtSegment(size_t step) {
  size_t flagged = 0;
  // The first size's flag ends no segment: the grading reads the flags of
  // sizes 1..step.
  for (size_t k = 1; k <= step && k < kShirtBreakFlags.size(); ++k) flagged += kShirtBreakFlags[k];
  return std::min<size_t>(flagged, 1);
}

PIECE ShirtPiece(std::string_view name, size_t sizeIndex) {
  const auto& defs = Definitions();
  const auto def = std::find_if(defs.begin(), defs.end(), [&](const auto& d) { return d.count.name == name; });
  if (def == defs.end()) throw std::invalid_argument("no such shirt piece: " + std::string(name));
  if (sizeIndex >= kShirtSizes.size()) throw std::invalid_argument("no such shirt size");

  PIECE piece;
  piece.category.FromText("SHIRT", Tessaline::kAsIs);
  piece.description.FromText(def->count.description, Tessaline::kAsIs);
  piece.numBreaks = 1;
  piece.sizeIdType = grading::kAlpha;
  piece.baseSize = grading::TextSizeName(kShirtSizes[sizeIndex]);
  piece.digitizedSize = piece.baseSize;
  piece.baseIndex = static_cast<int16_t>(sizeIndex);
  piece.sizeIncrement = 1;
  for (size_t k = 0; k < kShirtSizes.size(); ++k)
    piece.sizes.push_back({grading::TextSizeName(kShirtSizes[k]), kShirtBreakFlags[k]});
  piece.ruleSourceType = 0;
  piece.ruleSourceName.FromText(kShirtRuleTable, Tessaline::kAsIs);

  std::array<Draft, kShirtSizes.size()> drafts;
  for (size_t k = 0; k < drafts.size(); ++k) drafts[k] = def->draft(kMeasures[k]);
  const Draft& own = drafts[sizeIndex];

  // Points are numbered in outline order; the closure point repeats the
  // first point's position and is graded by a rule of its own.
  int16_t id = def->firstPointId;
  for (size_t i = 0; i < own.outline.size(); ++i, ++id) {
    const DraftPoint& p = own.outline[i];
    piece.perimeter.push_back(grading::MakePoint(id, Units(p.x), Units(p.y), p.type));
    if (!IsGradePoint(p.type)) continue;
    // The growth of a segment is the move of its first step.
    std::vector<grading::GrowthPair> growth;
    for (size_t step = 0; step + 1 < drafts.size(); ++step) {
      if (ShirtSegment(step) != growth.size()) continue;
      const DraftPoint& from = drafts[step].outline[i];
      const DraftPoint& to = drafts[step + 1].outline[i];
      growth.push_back({Units(to.x) - Units(from.x), Units(to.y) - Units(from.y)});
    }
    piece.rules.push_back(grading::MakeRule(id, "    ", p.rule, std::move(growth)));
  }
  piece.nextPointId = id;

  int16_t internalId = 1;
  for (const DraftLine& line : own.lines) {
    PieceInternal internal;
    internal.id = internalId++;
    internal.type = line.type;
    int16_t pointId = 1;
    for (const auto& [x, y] : line.points)
      internal.points.push_back(
          grading::MakePoint(pointId++, Units(x), Units(y), line.type == kDrill ? kMark : kNonGrade));
    if (!line.name.empty()) {
      internal.lineName.emplace();
      internal.lineName->name.FromText(line.name, Tessaline::kAsIs);
    }
    piece.internals.push_back(std::move(internal));
  }
  piece.nextInternalId = internalId;
  return piece;
}

}  // namespace tsln2xml::demo
