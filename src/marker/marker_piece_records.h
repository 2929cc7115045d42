#pragma once
// The records of the pieces, the order and the placements: special piece
// numbers (kind 10), model names (11), bundles (12), piece heads (14), order
// models with their size entries (15), cutdowns (16) and cartoons, the
// placed pieces (21).
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

}  // namespace tsln2xml::marker
