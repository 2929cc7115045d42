#pragma once
// A cut file: the numerically controlled cutting program made for a marker
// (ending with its terminator "*M0*"), the report on the marker it was made
// from, and the labeller data that follows the report. The NC data and the
// labeller data are raw bytes, kept as they are stored.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

// A text field of a cut record, `width` bytes wide (the NUL after a shorter
// text included). Read up to its first NUL; never cleaned or upper-cased.
constexpr FixedTextKind CutField(size_t width) { return FixedTextKind{width, TextRule::kNone}; }

class CutFile {
 public:
  struct Attribute {
    int16_t attributeChar = 0;
    int16_t totalNum = 0;
  };
  struct Label {
    FixedText labelChar{CutField(2)};
    int16_t totalNum = 0;
    int16_t toolNum = 0;
  };
  struct Override {
    FixedText piece{CutField(21)};
    FixedText leftRight{CutField(2)};
    FixedText overrideType{CutField(12)};
    FixedText size{CutField(7)};
    FixedText model{CutField(21)};
  };
  struct Option {
    FixedText name{CutField(7)};
  };
  struct Size {
    FixedText size{CutField(8)};
    int16_t quant = 0;
    FixedText cutdown{CutField(7)};
    FixedText halfpiece{CutField(7)};
    FixedText baseSize{CutField(8)};
    int16_t direction = 0;
  };
  struct OrderModel {
    FixedText modName{CutField(21)};
    FixedText altName{CutField(21)};
    FixedText dynAltName{CutField(21)};
    FixedText sizeCode{CutField(21)};
    int16_t modelNumber = 0;
    int16_t addPieceBundle = 0;
    FixedText fabricType{CutField(6)};
    int32_t shStX = 0;
    int32_t shStY = 0;
    int8_t orderFlags = 0;
    std::vector<Option> options;
    std::vector<Size> sizes;
  };
  // The report header and its record lists.
  struct Report {
    FixedText markerName{CutField(21)};
    FixedText orderNumber{CutField(21)};
    FixedText description{CutField(21)};
    FixedText m20{CutField(33)};
    double clothWidth = 0;
    double clothLength = 0;
    uint8_t labeler = 0;
    uint8_t opStop = 0;
    FixedText cutParam{CutField(21)};
    FixedText notchParam{CutField(21)};
    FixedText estTimeM{CutField(4)};
    FixedText estTimeS{CutField(3)};
    int8_t complete = 0;
    // Utilization, piece area, plaid and stripe repeats and offsets, and the
    // perimeter and internal lengths, in stored order.
    std::array<double, 12> measures{};
    FixedText layLimits{CutField(21)};
    FixedText matching{CutField(21)};
    FixedText annotation{CutField(21)};
    FixedText blockBuffer{CutField(21)};
    std::array<int16_t, 5> notchCounts{};
    int16_t totalSizes = 0;

    std::vector<Attribute> attributes;
    std::vector<Label> labels;
    std::vector<Override> overrides;
    std::vector<OrderModel> orderModels;
  };

  // Views of the bytes they come from (the item, or the document's text),
  // which outlive the cut file wherever it is used.
  std::string_view ncData;  // terminator included
  Report report;
  std::string_view labellerData;
};

}  // namespace Tessaline
