#pragma once
// A piece plot environment: rotation and scale, point and grading annotation,
// the title block and what it shows, the perimeter tool, which annotation
// labels use which tool, and the sizes to plot.

#include <cstdint>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

// A size name field of a piece plot environment: 9 bytes.
inline constexpr FixedTextKind kSizeName9{9, TextRule::kNone};

class PiecePlotParameterTable {
 public:
  struct LabelTool {
    int16_t label = 0;
    int16_t tool = 0;
  };

  // Bounded by the record's counts: 16-bit for sizes, signed 8-bit for labels.
  static constexpr size_t kMaxSizes = 32767;
  static constexpr size_t kMaxLabels = 127;

  FixedText notchEnvironmentName{kName20};
  int16_t rotation = 0;
  int16_t scaleX = 0;  // tenths of a percent
  int16_t scaleY = 0;
  bool pointAnnotation = false;
  bool gradingAnnotation = false;
  bool connectGradePoints = false;
  bool titleName = false;
  bool titleDate = false;
  bool titleCategory = false;
  bool titleDescription = false;
  bool titleGradingName = false;
  bool titleArea = false;
  bool titlePerimeter = false;
  bool titleLabels = false;
  int16_t titleLocation = 0;
  int16_t perimeterTool = 0;
  int16_t plotSizes = 0;
  uint8_t flags = 0;  // title block sizes, piece annotation
  std::vector<FixedText> sizes;
  std::vector<LabelTool> labels;
};

}  // namespace Tessaline
