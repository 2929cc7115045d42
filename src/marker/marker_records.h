#pragma once
// The fixed records of marker data, each described once as a function
// template over a walker. A layout visits its fields in the order of the
// elements they become, each with its offset in the record, its document name
// (nullptr for fields that produce no element: counts, positions) and, for
// coded fields, its code table. Three walkers use the same description:
//
//   FieldDecoder  reads the fields out of a record's bytes (the marker walk),
//   FieldEncoder  puts them into a zeroed record (the marker builder),
//   LeafEmitter   appends one element per named field (the marker walk).
//
// Records are little-endian and packed; char[n] text ends at the first NUL
// and a field without NUL is taken whole.

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

#include "core/exception.h"
#include "marker/marker_codes.h"
#include "marker/marker_element.h"
#include "model/record_io.h"
#include "platform/byte_order.h"

namespace tsln2xml::marker {

// ---------------------------------------------------------------- walkers

// Fields are checked against their record as store records are.
namespace detail = tsln2xml::detail;

class FieldDecoder {
 public:
  explicit FieldDecoder(std::span<const uint8_t> record) : record_(record) {}

  template <class T>
  void Int(size_t offset, const char*, T& value) {
    detail::CheckField(offset, sizeof(T), record_.size());
    value = platform::LoadLE<T>(record_.data() + offset);
  }
  template <class T>
  void Real(size_t offset, const char* name, T& value) { Int(offset, name, value); }
  template <class T>
  void Code(size_t offset, const char* name, T& value, const CodeTable&) { Int(offset, name, value); }
  void Text(size_t offset, size_t width, const char*, std::string& value) {
    detail::CheckField(offset, width, record_.size());
    const auto field = record_.subspan(offset, width);
    const auto end = std::find(field.begin(), field.end(), uint8_t{0});
    value.assign(field.begin(), end);
  }
  void XY(size_t offset, const char* name, double& x, double& y) {
    Int(offset, name, x);
    Int(offset + 8, name, y);
  }
  void Flags(size_t offset, const char* name, uint16_t& bits, std::span<const FlagBit>) { Int(offset, name, bits); }
  template <class Fields>
  void Group(const char*, Fields&& fields) { fields(*this); }

 private:
  std::span<const uint8_t> record_;
};

class FieldEncoder {
 public:
  explicit FieldEncoder(std::span<uint8_t> record) : record_(record) {}

  template <class T>
  void Int(size_t offset, const char*, const T& value) {
    detail::CheckField(offset, sizeof(T), record_.size());
    platform::StoreLE<T>(record_.data() + offset, value);
  }
  template <class T>
  void Real(size_t offset, const char* name, const T& value) { Int(offset, name, value); }
  template <class T>
  void Code(size_t offset, const char* name, const T& value, const CodeTable&) { Int(offset, name, value); }
  // Text longer than its field is cut to the field (a full field has no NUL).
  void Text(size_t offset, size_t width, const char*, const std::string& value) {
    detail::CheckField(offset, width, record_.size());
    std::fill_n(record_.data() + offset, width, uint8_t{0});
    std::copy_n(value.data(), std::min(width, value.size()), record_.data() + offset);
  }
  void XY(size_t offset, const char* name, const double& x, const double& y) {
    Int(offset, name, x);
    Int(offset + 8, name, y);
  }
  void Flags(size_t offset, const char* name, const uint16_t& bits, std::span<const FlagBit>) {
    Int(offset, name, bits);
  }
  template <class Fields>
  void Group(const char*, Fields&& fields) { fields(*this); }

 private:
  std::span<uint8_t> record_;
};

// Appends one element per named field to `parent`: integers in decimal,
// reals with 6 significant digits, texts as they are, codes by name.
class LeafEmitter {
 public:
  explicit LeafEmitter(MarkerElement& parent) : parent_(parent) {}

  template <class T>
  void Int(size_t, const char* name, const T& value) {
    static_assert(std::is_integral_v<T>);
    if (name) parent_.AppendChild(name, static_cast<int32_t>(value));
  }
  template <class T>
  void Real(size_t, const char* name, const T& value) {
    if (name) parent_.AppendChild(name, static_cast<double>(value));
  }
  template <class T>
  void Code(size_t, const char* name, const T& value, const CodeTable& table) {
    if (name) parent_.AppendChild(name, std::string(CodeName(table, static_cast<int32_t>(value))));
  }
  void Text(size_t, size_t, const char* name, const std::string& value) {
    if (name) parent_.AppendChild(name, value);
  }
  // An empty element with the attributes X and Y.
  void XY(size_t, const char* name, const double& x, const double& y) {
    MarkerElement point(name);
    point.SetAttribute("X", x);
    point.SetAttribute("Y", y);
    parent_.AppendChild(std::move(point));
  }
  // An empty element with one attribute per flag, 1 when its bit is set.
  void Flags(size_t, const char* name, const uint16_t& bits, std::span<const FlagBit> flags) {
    MarkerElement element(name);
    for (const FlagBit& flag : flags) element.SetAttribute(flag.name, static_cast<int32_t>((bits >> flag.bit) & 1));
    parent_.AppendChild(std::move(element));
  }
  // A child element holding the group's fields.
  template <class Fields>
  void Group(const char* name, Fields&& fields) {
    MarkerElement group(name);
    LeafEmitter inner(group);
    fields(inner);
    parent_.AppendChild(std::move(group));
  }

 private:
  MarkerElement& parent_;
};

// ---------------------------------------------------------------- records

// Kind 1: the marker header. The counts of the fixed-size kinds are header
// fields and produce no element.
struct MarkerHeader {
  static constexpr size_t kSize = 318;
  int16_t status = 0;
  std::array<double, 3> stripeOffset{}, stripeRepeat{}, plaidOffset{}, plaidRepeat{};
  double width = 0, length = 0, currentLength = 0;
  int8_t fiveStarMatching = 0;
  double totalArea = 0, placedArea = 0, targetEfficiency = 0, utilization = 0, totalPerimeter = 0,
         placedPerimeter = 0;
  int16_t placedPieces = 0, totalNotches = 0, placedNotches = 0, numberCorners = 0, placedCorners = 0;
  int16_t pieceCount = 0, cartoonCount = 0, numberCartoonData = 0, specialPieceNumberCount = 0, maximumPoints = 0,
          modelCount = 0, bundleCount = 0, annotationCount = 0, layLimitCount = 0, blockBufferCount = 0,
          dynamicAlterationCount = 0, numberFlaws = 0, numberOverrides = 0, numberMatchOverrides = 0,
          numberBlockBuffersByPiece = 0, pointMapCount = 0, markerSpecialPieceNumberIndex = 0, numberSplits = 0,
          spread = 0;
  int32_t seamAllowance = 0;
  int16_t numberDynamicAlterationRules = 0, numberDynamicAlterationEntries = 0;
  int32_t totalNumberOfPoints = 0;
  int16_t matchingRuleCount = 0, segmentCount = 0, addNumberCartoons = 0, addNumberBundles = 0, cutdownCount = 0,
          numberGroups = 0, numberGroupPieces = 0, numberSpliceMarks = 0;
  int32_t spliceMinimum = 0, spliceMaximum = 0, spliceMargin = 0, spliceSeparation = 0;
  int8_t spliceAnnotation = 0, spliceDisplay = 0;
  int32_t markerFlags = 0, markerOriginX = 0, markerOriginY = 0;
  int8_t cutVersion = 0, plotVersion = 0, editVersion = 0, expandedNotchTable = 0, orderFlags = 0;
};

template <class Io, class H>
void HeaderLayout(Io& io, H& h) {
  io.Code(0, "status", h.status, kHeaderStatus);
  io.Real(2, "stripeoffset", h.stripeOffset[0]);
  io.Real(10, "stripeoffset1", h.stripeOffset[1]);
  io.Real(18, "stripeoffset2", h.stripeOffset[2]);
  io.Real(26, "striperepeat", h.stripeRepeat[0]);
  io.Real(34, "striperepeat1", h.stripeRepeat[1]);
  io.Real(42, "striperepeat2", h.stripeRepeat[2]);
  io.Real(50, "plaidoffset", h.plaidOffset[0]);
  io.Real(58, "plaidoffset1", h.plaidOffset[1]);
  io.Real(66, "plaidoffset2", h.plaidOffset[2]);
  io.Real(74, "plaidrepeat", h.plaidRepeat[0]);
  io.Real(82, "plaidrepeat1", h.plaidRepeat[1]);
  io.Real(90, "plaidrepeat2", h.plaidRepeat[2]);
  io.Real(98, "width", h.width);
  io.Real(106, "length", h.length);
  io.Real(114, "currentlength", h.currentLength);
  io.Int(122, "fivestarmatching", h.fiveStarMatching);
  io.Real(124, "totalarea", h.totalArea);
  io.Real(132, "placedarea", h.placedArea);
  io.Real(140, "targetefficiency", h.targetEfficiency);
  io.Real(148, "utilization", h.utilization);
  io.Real(156, "totalperimeter", h.totalPerimeter);
  io.Real(164, "placedperimeter", h.placedPerimeter);
  io.Int(172, "placedpieces", h.placedPieces);
  io.Int(174, "totalnotches", h.totalNotches);
  io.Int(176, "placednotches", h.placedNotches);
  io.Int(178, "numbercorners", h.numberCorners);
  io.Int(180, "placedcorners", h.placedCorners);
  io.Int(190, "maximumpoints", h.maximumPoints);
  io.Int(218, "markerspecialpiecenumberindex", h.markerSpecialPieceNumberIndex);
  io.Int(222, "spread", h.spread);
  io.Int(224, "seamallowance", h.seamAllowance);
  io.Int(240, "addnumbercartoons", h.addNumberCartoons);
  io.Int(242, "addnumberbundles", h.addNumberBundles);
  io.Int(252, "spliceminimum", h.spliceMinimum);
  io.Int(256, "splicemaximum", h.spliceMaximum);
  io.Int(260, "splicemargin", h.spliceMargin);
  io.Int(264, "spliceseparation", h.spliceSeparation);
  io.Int(268, "spliceannotation", h.spliceAnnotation);
  io.Int(269, "splicedisplay", h.spliceDisplay);
  io.Int(270, "markerflags", h.markerFlags);
  io.Int(274, "markeroriginx", h.markerOriginX);
  io.Int(278, "markeroriginy", h.markerOriginY);
  io.Int(290, "cutversion", h.cutVersion);
  io.Int(291, "plotversion", h.plotVersion);
  io.Int(292, "editversion", h.editVersion);
  io.Int(293, "expandednotchtable", h.expandedNotchTable);
  io.Int(294, "orderflags", h.orderFlags);
  io.Int(204, "numberflaws", h.numberFlaws);
  io.Int(232, "totalnumberofpoints", h.totalNumberOfPoints);
  io.Int(248, "numbergrouppieces", h.numberGroupPieces);
  io.Int(250, "numbersplicemarks", h.numberSpliceMarks);
  io.Int(186, "numbercartoondata", h.numberCartoonData);
  io.Int(208, "numberoverrides", h.numberOverrides);
  io.Int(210, "numbermatchoverrides", h.numberMatchOverrides);
  io.Int(212, "numberblockbuffersbypiece", h.numberBlockBuffersByPiece);
  io.Int(220, "numbersplits", h.numberSplits);
  io.Int(228, "numberdynamicalterationrules", h.numberDynamicAlterationRules);
  io.Int(230, "numberdynamicalterationentries", h.numberDynamicAlterationEntries);
  io.Int(246, "numbergroups", h.numberGroups);
  // Counts of the fixed-size kinds.
  io.Int(182, nullptr, h.pieceCount);
  io.Int(184, nullptr, h.cartoonCount);
  io.Int(188, nullptr, h.specialPieceNumberCount);
  io.Int(192, nullptr, h.modelCount);
  io.Int(194, nullptr, h.bundleCount);
  io.Int(196, nullptr, h.annotationCount);
  io.Int(198, nullptr, h.layLimitCount);
  io.Int(200, nullptr, h.blockBufferCount);
  io.Int(202, nullptr, h.dynamicAlterationCount);
  io.Int(214, nullptr, h.pointMapCount);
  io.Int(236, nullptr, h.matchingRuleCount);
  io.Int(238, nullptr, h.segmentCount);
  io.Int(244, nullptr, h.cutdownCount);
}

// Kind 2: the names record.
struct MarkerNames {
  static constexpr size_t kSize = 316;
  std::string version{}, name{}, description{}, orderId{}, orderNumber{}, layLimitName{}, annotationName{},
      blockBufferName{}, matchingName{}, notchName{}, blockFuseName{};
  int8_t layRuleType = 0;
  std::string layRuleItemName{};
};

template <class Io, class N>
void NamesLayout(Io& io, N& n) {
  io.Text(0, 21, "version", n.version);
  io.Text(21, 21, "name", n.name);
  io.Text(42, 21, "description", n.description);
  io.Text(63, 21, "orderid", n.orderId);
  io.Text(84, 21, "ordernumber", n.orderNumber);
  io.Text(105, 21, "laylimitname", n.layLimitName);
  io.Text(126, 21, "annotationname", n.annotationName);
  io.Text(147, 21, "blockbuffername", n.blockBufferName);
  io.Text(168, 21, "matchingname", n.matchingName);
  io.Text(189, 21, "notchname", n.notchName);
  io.Text(210, 21, "blockfusename", n.blockFuseName);
  io.Code(231, "layruletype", n.layRuleType, kLayRuleType);
  io.Text(232, 21, "layruleitemname", n.layRuleItemName);
}

// Kind 3: five standard notch entries (12 bytes), an int32 count, then the
// extended entries (16 bytes; only the low byte of the shape is used).
struct NotchEntry {
  int8_t shape = 0;
  int32_t perWidth = 0, inWidth = 0, depth = 0;
};
inline constexpr size_t kStandardNotchSize = 12;
inline constexpr size_t kStandardNotches = 5;
inline constexpr size_t kExtendedNotchSize = 16;

template <class Io, class E>
void StandardNotchLayout(Io& io, E& e) {
  io.Int(8, "depth", e.depth);
  io.Int(0, "per_width", e.perWidth);
  io.Int(4, "in_width", e.inWidth);
}

template <class Io, class E>
void ExtendedNotchLayout(Io& io, E& e) {
  io.Int(0, "shape", e.shape);
  io.Int(12, "depth", e.depth);
  io.Int(4, "per_width", e.perWidth);
  io.Int(8, "in_width", e.inWidth);
}

// Kind 4: lay limits.
struct LayLimit {
  static constexpr size_t kSize = 12;
  int8_t flipCode = 0;
  double tilt = 0;
  uint16_t options = 0;
};

template <class Io, class L>
void LayLimitLayout(Io& io, L& l) {
  io.Code(0, "flipcode", l.flipCode, kFlipCode);
  io.Real(2, "tilt", l.tilt);
  io.Flags(10, "Options", l.options, kLayLimitOptions);
}

// Kind 5: the head of an annotation entry; its orders follow it.
struct AnnotationHead {
  static constexpr size_t kSize = 24;
  std::string category{};
  int8_t symbolNumber = 0, symbolHeight = 0;
  int16_t orderCount = 0;
};

template <class Io, class A>
void AnnotationHeadLayout(Io& io, A& a) {
  io.Text(0, 20, nullptr, a.category);
  io.Int(20, nullptr, a.symbolNumber);
  io.Int(21, nullptr, a.symbolHeight);
  io.Int(22, nullptr, a.orderCount);
}

// Kind 6: block and buffer rules. Amounts and units in record order: left,
// right, top, bottom, segment.
struct BlockBufferRule {
  static constexpr size_t kSize = 100;
  int8_t ruleType = 0;
  std::array<double, 5> staticAmounts{}, dynamicAmounts{};
  std::array<int8_t, 5> staticUnits{}, dynamicUnits{};
  int16_t segmentIndex = 0, segmentCount = 0, cartoonIndex = 0;
};

template <class Io, class B>
void BlockBufferLayout(Io& io, B& b) {
  io.Int(0, nullptr, b.ruleType);
  for (size_t k = 0; k < 5; ++k) {
    io.Real(2 + 8 * k, nullptr, b.staticAmounts[k]);
    io.Real(42 + 8 * k, nullptr, b.dynamicAmounts[k]);
    io.Int(82 + k, nullptr, b.staticUnits[k]);
    io.Int(87 + k, nullptr, b.dynamicUnits[k]);
  }
  io.Int(92, nullptr, b.segmentIndex);
  io.Int(94, nullptr, b.segmentCount);
  io.Int(96, nullptr, b.cartoonIndex);
}

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

// Kind 10: special piece numbers.
struct SpecialPieceNumber {
  static constexpr size_t kSize = 66;
  std::string pieceId{}, spnId{};
  int16_t annotationIndex = 0, layLimitIndex = 0, blockBufferIndex = 0, blockBufferRule = 0;
  int16_t flipCode = 0;
  int32_t rotation = 0;
  int16_t majorPiece = 0;
  int8_t matchingFlags = 0;
};

template <class Io, class S>
void SpecialPieceNumberLayout(Io& io, S& s) {
  io.Text(0, 21, "pieceid", s.pieceId);
  io.Text(21, 21, "spnid", s.spnId);
  io.Int(42, "annotationindex", s.annotationIndex);
  io.Int(44, "laylimitindex", s.layLimitIndex);
  io.Int(46, "blockbufferindex", s.blockBufferIndex);
  io.Int(48, "blockbufferrule", s.blockBufferRule);
  io.Code(50, "flipcode", s.flipCode, kFlipCode);
  io.Int(52, "rotation", s.rotation);
  io.Int(56, "majorpiece", s.majorPiece);
  io.Int(58, "matchingflags", s.matchingFlags);
}

// Kind 11: model names, char[21] each.
inline constexpr size_t kModelNameSize = 21;

// Kind 12: bundles.
struct Bundle {
  static constexpr size_t kSize = 20;
  std::string size{};
  int16_t modelNumber = 0, cartoonCount = 0, indexCartoon = 0;
};

template <class Io, class B>
void BundleLayout(Io& io, B& b) {
  io.Text(0, 8, "size", b.size);
  io.Int(8, "modelnumber", b.modelNumber);
  io.Int(10, "cartooncount", b.cartoonCount);
  io.Int(12, "indexcartoon", b.indexCartoon);
}

// Kind 14: the head of a piece; its geometry block follows it. The base size
// is an int16 for Numeric sizes and char[8] for Alpha and LongAlpha.
struct PieceHead {
  static constexpr size_t kSize = 88;
  std::string name{}, description{};
  int16_t specialPieceNumberIndex = 0, modelNumber = 0;
  int16_t perimeterCount = 0, lineCount = 0, notchCount = 0, cornerCount = 0;
  double area = 0;
  int8_t sizeIdType = 0;
  int16_t numericSize = 0;
  std::string alphaSize{};
  uint16_t geometryLength = 0;
};
inline constexpr int8_t kNumericSize = 0;

template <class Io, class P>
void PieceHeadLayout(Io& io, P& p) {
  io.Text(0, 21, "name", p.name);
  io.Text(21, 21, "description", p.description);
  io.Int(42, "specialpiecenumberindex", p.specialPieceNumberIndex);
  io.Int(44, "modelnumber", p.modelNumber);
  io.Int(52, "notchcount", p.notchCount);
  io.Int(54, "cornercount", p.cornerCount);
  io.Real(56, "area", p.area);
  io.Int(48, nullptr, p.perimeterCount);
  io.Int(50, nullptr, p.lineCount);
  io.Int(80, nullptr, p.sizeIdType);
  if (p.sizeIdType == kNumericSize)
    io.Int(72, nullptr, p.numericSize);
  else
    io.Text(72, 8, nullptr, p.alphaSize);
  io.Int(82, nullptr, p.geometryLength);
}

// Kind 15: an order model record, followed by its options (char[7] each) and
// its size entries.
struct OrderModel {
  static constexpr size_t kSize = 128;
  std::string modelName{}, alteration{}, dynamicAlteration{}, sizeCode{};
  int16_t modelNumber = 0, addPieceBundle = 0, sizeEntryCount = 0;
  std::string fabric{};
  int16_t optionCount = 0;
};
inline constexpr size_t kOrderOptionSize = 7;

template <class Io, class M>
void OrderModelLayout(Io& io, M& m) {
  io.Text(0, 21, "modelname", m.modelName);
  io.Text(63, 21, "sizecode", m.sizeCode);
  io.Text(21, 21, "alteration", m.alteration);
  io.Text(42, 21, "dynamicalteration", m.dynamicAlteration);
  io.Text(90, 6, "fabric", m.fabric);
  io.Int(86, "addpiecebundle", m.addPieceBundle);
  io.Int(84, "modelnumber", m.modelNumber);
  io.Int(88, nullptr, m.sizeEntryCount);
  io.Int(96, nullptr, m.optionCount);
}

struct SizeEntry {
  static constexpr size_t kSize = 50;
  std::string size{};
  int16_t quantity = 0;
  std::string cutdownInfo{}, halfPieceInfo{}, baseSizeInfo{};
  int16_t direction = 0;
};

template <class Io, class E>
void SizeEntryLayout(Io& io, E& e) {
  io.Text(0, 8, "size", e.size);
  io.Int(8, "quantity", e.quantity);
  io.Text(10, 7, "cutdowninfo", e.cutdownInfo);
  io.Text(17, 7, "halfpieceinfo", e.halfPieceInfo);
  io.Text(24, 8, "basesizeinfo", e.baseSizeInfo);
  io.Code(32, "direction", e.direction, kEntryDirection);
}

// Kind 16: cutdowns. All four index pairs are written, whatever the number
// used says.
struct Cutdown {
  static constexpr size_t kSize = 18;
  int8_t numUsed = 0;
  std::array<int16_t, 4> bundleIndex{}, pieceIndex{};
};

template <class Io, class C>
void CutdownLayout(Io& io, C& c) {
  io.Int(0, "numused", c.numUsed);
  for (size_t k = 0; k < 4; ++k) {
    io.Group("cutdownindices", [&](auto& pair) {
      pair.Int(2 + 2 * k, "bundleindex", c.bundleIndex[k]);
      pair.Int(10 + 2 * k, "pieceindex", c.pieceIndex[k]);
    });
  }
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

// Kind 21: cartoons, one placed piece each.
struct Cartoon {
  static constexpr size_t kSize = 96;
  int16_t pieceIndex = 0, specialPieceNumberIndex = 0, bundleIndex = 0;
  double centerX = 0, centerY = 0, right = 0, top = 0;
  int16_t flags = 0, dynamicAlterationCount = 0, dynamicAlterationIndex = 0;
  float rotation = 0;
  double area = 0;
  int16_t piecingType = 0;
  int16_t firstFoldIndex = 0, secondFoldIndex = 0, cutdownIndex = 0, diskSplitIndex = 0, orderLoadFlags = 0,
          piecingNumber = 0, originalBundle = 0, flagsEx = 0, firstFacingIndex = 0, secondFacingIndex = 0;
  float facingRotation = 0, grainRotation = 0;
  int16_t pointCount = 0;
};

template <class Io, class C>
void CartoonLayout(Io& io, C& c) {
  io.Int(0, "pieceindex", c.pieceIndex);
  io.Int(2, "specialpiecenumberindex", c.specialPieceNumberIndex);
  io.Int(4, "bundleindex", c.bundleIndex);
  io.XY(6, "center", c.centerX, c.centerY);
  io.Real(22, "right", c.right);
  io.Real(30, "top", c.top);
  io.Int(38, "flags", c.flags);
  io.Int(40, "dynamicalterationcount", c.dynamicAlterationCount);
  io.Int(42, "dynamicalterationindex", c.dynamicAlterationIndex);
  io.Real(44, "rotation", c.rotation);
  io.Real(48, "area", c.area);
  io.Code(56, "typepiecing", c.piecingType, kPiecingType);
  io.Int(58, "firstfoldindex", c.firstFoldIndex);
  io.Int(60, "secondfoldindex", c.secondFoldIndex);
  io.Int(62, "cutdownindex", c.cutdownIndex);
  io.Int(64, "disksplitindex", c.diskSplitIndex);
  io.Int(66, "orderloadflags", c.orderLoadFlags);
  io.Int(68, "piecingnumber", c.piecingNumber);
  io.Int(70, "originalbundle", c.originalBundle);
  io.Int(72, "flagsex", c.flagsEx);
  io.Int(74, "firstfacingindex", c.firstFacingIndex);
  io.Int(76, "secondfacingindex", c.secondFacingIndex);
  io.Real(78, "facingrotation", c.facingRotation);
  io.Real(82, "grainrotation", c.grainRotation);
  io.Int(94, "pointcount", c.pointCount);
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

// Kind 30: lay limit extensions, as many as lay limits.
struct LayLimitExtension {
  static constexpr size_t kSize = 32;
  double clockwiseTilt = 0, counterclockwiseTilt = 0;
};

template <class Io, class L>
void LayLimitExtensionLayout(Io& io, L& l) {
  io.Real(0, "clockwisetilt", l.clockwiseTilt);
  io.Real(8, "counterclockwisetilt", l.counterclockwiseTilt);
}

// Record kinds of the directory.
enum MarkerKind : int {
  kDirectoryKind = 0,
  kHeaderKind = 1,
  kNamesKind = 2,
  kNotchKind = 3,
  kLayLimitKind = 4,
  kAnnotationKind = 5,
  kBlockBufferKind = 6,
  kSegmentKind = 7,
  kSliceMarkKind = 8,
  kMatchingKind = 9,
  kSpecialPieceNumberKind = 10,
  kModelNameKind = 11,
  kBundleKind = 12,
  kPieceTableKind = 13,
  kPieceKind = 14,
  kOrderModelKind = 15,
  kCutdownKind = 16,
  kDynamicAlterationKind = 18,
  kDynamicRuleKind = 19,
  kCartoonKind = 21,
  kCartoonDataKind = 22,
  kPointMapKind = 24,
  kPieceSplitKind = 25,
  kDynamicAmountsKind = 26,
  kGroupHeaderKind = 27,
  kConstKind = 28,
  kLayLimitExtensionKind = 30,
  kBlockPieceTempKind = 31,
  kHeaderAlternateKind = 32,
  kCutSequenceKind = 33,
};
inline constexpr int kWalkedKinds = 35;  // kinds 0 to 34
inline constexpr size_t kDirectorySize = 40 * 4;

}  // namespace tsln2xml::marker
