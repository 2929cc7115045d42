#pragma once
// An alteration library: named rules, each applying to left, right or both
// pieces and listing the alteration items that move a stretch of a piece's
// outline between two numbered points by X and Y (1/1000 units).

#include <cstdint>
#include <memory>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class AlterationLibrary {
 public:
  struct Item {
    uint8_t type = 0;
    int16_t firstPoint = 0;
    int16_t secondPoint = 0;
    int32_t x = 0;  // 1/1000 units
    int32_t y = 0;  // 1/1000 units
  };
  struct Rule {
    FixedText name{kPrintable10};
    uint8_t pieceUsage = 0;
    std::vector<Item> items;
  };

  // Bounded by the 16-bit counts of the store records.
  static constexpr size_t kMaxRules = 32767;
  static constexpr size_t kMaxItems = 32767;

  std::vector<std::shared_ptr<Rule>> rules;
};

}  // namespace Tessaline
