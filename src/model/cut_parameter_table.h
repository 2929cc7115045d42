#pragma once
// A cutter environment: the cutting table, the labeler, bundle numbering, the
// cut and bite options, the tool for the perimeter and for each internal
// marking code, drill diameters, scale factors and the order in which piece
// categories are cut.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class CutParameterTable {
 public:
  // One piece-priority sequence: categories cut in this order.
  class Sequence {
   public:
    static FixedText Category(std::string_view text = {}) { return FixedText(kName20, text); }
    std::vector<FixedText> categories;
  };
  struct DrillSize {
    int16_t internalId = 0;
    int32_t diameter = 0;  // 1/10000 units
  };

  // Bounded by the signed 8-bit counts of the parameter record.
  static constexpr size_t kMaxSequences = 127;
  static constexpr size_t kMaxDrillSizes = 127;

  int16_t cutterType = 0;
  bool labeler = false;
  int16_t bundleType = 0;
  FixedText firstBundle{kCode3};
  int32_t tableWidth = 0;  // lengths in 1/10000 units
  int32_t tableLength = 0;
  bool variableBite = false;
  int32_t biteLength = 0;
  FixedText notchEnvironmentName{kName20};
  int16_t perimeterTool = 0;
  int16_t cutSmallSlow = 0;  // percent
  bool cutSmallFirst = false;
  int32_t parkHead = 0;
  int32_t clip = 0;
  int32_t edgeTolerance = 0;
  int32_t maxMove = 0;
  int32_t foldOvercut = 0;
  bool automatch = false;
  int32_t labelHeight = 0;
  int32_t labelWidth = 0;
  int32_t labelMargin = 0;
  bool cutNetParts = false;
  bool bidirectionalCut = false;
  bool bidirectionalCutMirror = false;
  int16_t scaleX = 0;  // tenths of a percent; 0 means 100 %
  int16_t scaleY = 0;
  bool flag190 = false;       // carried, not in the document
  uint8_t cutOptionBits = 0;  // NoOvercutOpenInternals, NCPlus, ASTM
  uint8_t value198 = 0;       // carried, not in the document

  // Internal marking code (a character) -> tool code.
  std::map<uint16_t, int16_t> internalTools;
  std::vector<DrillSize> drillSizes;
  std::vector<std::shared_ptr<Sequence>> sequences;
};

}  // namespace Tessaline
