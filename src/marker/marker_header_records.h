#pragma once
// The records that describe a marker as a whole: the directory's record
// kinds, the header (kind 1) with the counts of the fixed-size kinds, the
// names (2), and the tables that apply to the fabric and every piece on it:
// notches (3), lay limits (4) and their extensions (30), annotation heads (5)
// and block and buffer rules (6).
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

}  // namespace tsln2xml::marker
