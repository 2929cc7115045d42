#pragma once
// A marker plot environment: rotation and scale of the plot, the perimeter
// tool, what is drawn, where annotation goes, how long markers are spliced
// and which annotation labels are drawn with which tool.

#include <cstdint>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class MarkerPlotParameterTable {
 public:
  struct LabelTool {
    int16_t label = 0;
    int16_t tool = 0;
  };

  // A splice length that is not set.
  static constexpr int32_t kNoLength = -1;

  int16_t rotation = 0;  // degrees
  int16_t scaleX = 0;    // tenths of a percent
  int16_t scaleY = 0;
  FixedText notchEnvironmentName{kName20};
  uint16_t options = 0;  // option bits
  int16_t markerLocation = 0;
  int16_t pieces = 0;
  int16_t markerBorder = 0;
  int16_t matching = 0;
  int16_t bundleCodes = 0;
  FixedText firstBundle{kCode3};
  int16_t spliceLocation = 0;
  bool spliceAnnotate = false;
  int32_t spliceSeparation = 0;  // lengths in 1/10000 units
  int32_t spliceMinimum = 0;
  int32_t spliceMaximum = 0;
  int32_t spliceMargin = 0;
  int32_t separation = 0;
  bool grain = false;
  int16_t perimeterTool = 0;
  std::vector<LabelTool> labels;
};

}  // namespace Tessaline
