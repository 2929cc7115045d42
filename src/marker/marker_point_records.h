#pragma once
// The records that tie points of placed pieces together: segments (kind 7),
// matching rules (9), dynamic alterations (18, with their rules in 19) and
// the point map (24).
//
// Each record is described once, as a function template over a walker
// (marker/marker_fields.h): a layout visits its fields in the order of the
// elements they become, each with its offset in the record, its document name
// (nullptr for fields that produce no element: counts, positions) and, for
// coded fields, its code table. Records are little-endian and packed.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "marker/marker_codes.h"

namespace tsln2xml::marker {

// Kind 7: segments.
struct Segment {
  static constexpr size_t kSize = 8;
  int16_t pointId1 = 0, pointId2 = 0, pointIndex1 = 0, pointIndex2 = 0;
};

template <class Io, class S>
void SegmentLayout(Io& io, S& s) {
  io.Int(0, "pointid1", s.pointId1);
  io.Int(2, "pointid2", s.pointId2);
  io.Int(4, "pointindex1", s.pointIndex1);
  io.Int(6, "pointindex2", s.pointIndex2);
}

// Kind 9: matching rules.
struct MatchingRule {
  static constexpr size_t kSize = 42;
  int16_t point1Id = 0, point2Id = 0, point1Index = 0, point2Index = 0, specialPieceNumber1 = 0,
          specialPieceNumber2 = 0;
  int16_t xMatchType = 0, yMatchType = 0;
  double xOffset = 0, yOffset = 0;
  int8_t xOffsetUnits = 0, yOffsetUnits = 0;
  int16_t matchingType = 0;
};

template <class Io, class M>
void MatchingRuleLayout(Io& io, M& m) {
  io.Int(0, "point1id", m.point1Id);
  io.Int(2, "point2id", m.point2Id);
  io.Int(4, "point1index", m.point1Index);
  io.Int(6, "point2index", m.point2Index);
  io.Int(8, "specialpiecenumber1", m.specialPieceNumber1);
  io.Int(10, "specialpiecenumber2", m.specialPieceNumber2);
  io.Code(12, "xmatchtype", m.xMatchType, kMatchType);
  io.Code(14, "ymatchtype", m.yMatchType, kMatchType);
  io.Real(16, "xoffset", m.xOffset);
  io.Real(24, "yoffset", m.yOffset);
  io.Code(32, "xoffsetunits", m.xOffsetUnits, kOffsetUnits);
  io.Code(33, "yoffsetunits", m.yOffsetUnits, kOffsetUnits);
  io.Code(34, "matchingtype", m.matchingType, kMatchingType);
}

// Kind 18: dynamic alteration heads; their rules are in kind 19, starting at
// the head's byte position.
struct DynamicAlterationHead {
  static constexpr size_t kSize = 16;
  int16_t ruleCount = 0, position = 0;
  std::string name{};
};

template <class Io, class D>
void DynamicAlterationHeadLayout(Io& io, D& d) {
  io.Text(4, 12, "name", d.name);
  io.Int(0, nullptr, d.ruleCount);
  io.Int(2, nullptr, d.position);
}

struct DynamicAlterationRule {
  static constexpr size_t kSize = 22;
  int16_t firstIndex = 0, secondIndex = 0, firstPoint = 0, secondPoint = 0;
  float x = 0, y = 0;
  int8_t type = 0;
  int16_t specialPieceNumberIndex = 0, direction = 0;
};

template <class Io, class R>
void DynamicAlterationRuleLayout(Io& io, R& r) {
  io.Int(0, "firstindex", r.firstIndex);
  io.Int(2, "secondindex", r.secondIndex);
  io.Int(4, "firstpoint", r.firstPoint);
  io.Int(6, "secondpoint", r.secondPoint);
  io.Real(8, "x", r.x);
  io.Real(12, "y", r.y);
  io.Code(16, "type", r.type, kDynamicRuleType);
  io.Int(18, "specialpiecenumberindex", r.specialPieceNumberIndex);
  io.Code(20, "direction", r.direction, kDynamicRuleDirection);
}

// Kind 24: the point map.
struct PointMapEntry {
  static constexpr size_t kSize = 12;
  int16_t specialPieceNumberIndex = 0, bundleIndex = 0, pointId = 0, cartoonPointIndex = 0,
          previousGradePoint = 0, nextGradePoint = 0;
};

template <class Io, class P>
void PointMapLayout(Io& io, P& p) {
  io.Int(0, "specialpiecenumberindex", p.specialPieceNumberIndex);
  io.Int(2, "bundleindex", p.bundleIndex);
  io.Int(4, "pointid", p.pointId);
  io.Int(6, "cartoonpointindex", p.cartoonPointIndex);
  io.Int(8, "previousgradepoint", p.previousGradePoint);
  io.Int(10, "nextgradepoint", p.nextGradePoint);
}

}  // namespace tsln2xml::marker
