#pragma once
// A plot: the plotter-ready form of a marker, stored as a stream of tagged
// records. These are the fixed records of that stream as values; the point
// lists, texts and strokes around them are read and written as they come, so
// a plot of millions of points is never held twice.

#include <array>
#include <cstdint>
#include <string>

#include "model/fixed_text.h"

namespace Tessaline {

// Text fields of plot records, by the bytes they hold (a char[n] field whose
// last byte is always NUL holds n - 1). Not cleaned.
inline constexpr FixedTextKind kPlotText3{3, TextRule::kNone};
inline constexpr FixedTextKind kPlotText4{4, TextRule::kNone};
inline constexpr FixedTextKind kPlotText6{6, TextRule::kNone};
inline constexpr FixedTextKind kPlotText7{7, TextRule::kNone};
inline constexpr FixedTextKind kPlotText10{10, TextRule::kNone};
inline constexpr FixedTextKind kPlotText11{11, TextRule::kNone};
inline constexpr FixedTextKind kPlotText12{12, TextRule::kNone};
inline constexpr FixedTextKind kPlotText20{20, TextRule::kNone};
inline constexpr FixedTextKind kPlotText21{21, TextRule::kNone};

class PlotFile {
 public:
  struct Point {
    int32_t x = 0;
    int32_t y = 0;
  };

  struct Header {
    FixedText signature{kPlotText7};
    FixedText plotName{kPlotText20};
    uint16_t plotFlags = 0;
    uint16_t plotSource = 0;
    std::array<int32_t, 4> extent{};  // MinX, MinY, MaxX, MaxY
    int16_t headAnnotations = 0;
    int16_t pieceAnnotations = 0;
    int16_t pieces = 0;
    FixedText numBytesPc{kPlotText12};  // the writer keeps 10 bytes
    std::array<int32_t, 10> defaults{};  // character and box sizes, separations, absolute position
    int8_t cutForce = 0;
    int8_t tabForce = 0;
    int32_t cutLength = 0;
    int32_t tabLength = 0;
    // Offsets of the head of each section's first record, -1 when absent:
    // head annotations, marker border, pieces, piece annotations, report.
    std::array<int32_t, 5> positions{-1, -1, -1, -1, -1};
  };

  // The fixed head of an annotation block; the optional parts follow it as
  // its flags say.
  struct AnnotationHead {
    uint16_t length = 0;  // text bytes, or number of strokes
    uint16_t flags = 0;
    uint8_t internalType = 0;
    uint8_t labelOrigin = 0;
    std::array<int32_t, 4> extent{};
    Point position;
  };
  static constexpr uint16_t kHasDirection = 0x0001;
  static constexpr uint16_t kHasCharSize = 0x0010;
  static constexpr uint16_t kHasCharSet = 0x0100;
  static constexpr uint16_t kHasStrokes = 0x0200;

  struct MatchingMarks {
    Point start;
    Point end;
    int32_t spacing = 0;
    int32_t size = 0;
  };

  struct PieceBox {
    std::array<int32_t, 4> extent{};
    int32_t pieceOffset = 0;
  };

  struct ReportPage1 {
    FixedText markerName{kPlotText20};
    FixedText orderNumber{kPlotText20};
    FixedText description{kPlotText20};
    double paperWidth = 0;
    double paperLength = 0;
    int16_t rotation = 0;
    int16_t scaleX = 0;
    int16_t scaleY = 0;
    FixedText notchTable{kPlotText20};
    FixedText markerPlotParam{kPlotText20};
    int16_t numOverrides = 0;
    int16_t numModels = 0;
    int16_t perimTool = 0;
  };

  struct ReportPage2 {
    FixedText orderNumber{kPlotText20};
    FixedText description{kPlotText20};
    FixedText complete{kPlotText3};
    std::array<double, 14> totals{};  // cloth, utilisation, repeats, perimeters, lengths
    std::array<FixedText, 5> names{FixedText(kPlotText20), FixedText(kPlotText20), FixedText(kPlotText20),
                                   FixedText(kPlotText20), FixedText(kPlotText20)};
    int16_t totalSizes = 0;
    std::array<uint16_t, 13> ptAttrCnt{};
    std::array<uint16_t, 5> notchTypeCnt{};
    std::array<uint16_t, 26> intlCnt{};
    std::array<uint16_t, 26> tool{};
  };

  struct ReportOverride {
    FixedText piece{kPlotText20};
    FixedText leftRight{FixedTextKind{1, TextRule::kNone}};
    FixedText overrideType{kPlotText11};
    FixedText size{kPlotText6};
    FixedText model{kPlotText20};
  };

  struct OrderModel {
    FixedText modName{kPlotText21};
    FixedText altName{kPlotText21};
    FixedText dynAltName{kPlotText21};
    FixedText sizeCode{kPlotText21};
    int16_t modelNumber = 0;
    int16_t addPieceBundle = 0;
    int16_t sizes = 0;
    FixedText fabricType{kPlotText4};
    int16_t options = 0;
    int32_t shStX = 0;
    int32_t shStY = 0;
    int8_t orderFlags = 0;
  };

  struct ModelOption {
    FixedText name{kPlotText7};
  };

  struct ModelSize {
    FixedText size{kPlotText6};
    int16_t quant = 0;
    FixedText cutdown{kPlotText6};
    FixedText halfpiece{kPlotText6};
    FixedText baseSize{kPlotText6};
    int16_t direction = 0;
  };

  // A record kept as its raw bytes.
  struct UnknownTag {
    uint16_t type = 0;
    std::string bytes;
  };
};

}  // namespace Tessaline
