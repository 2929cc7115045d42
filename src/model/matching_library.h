#pragma once
// A matching library: numbered rules that make pieces match a plaid or
// striped fabric. A rule names two matching points (category and number),
// matches them to another piece or to the fabric, and gives for the plaid
// and the stripe direction a rule type, a repeat and an offset.

#include <array>
#include <cstdint>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class MatchingLibrary {
 public:
  struct Point {
    FixedText category{kName20};
    int16_t number = 0;
  };
  // One direction (plaid or stripe) of a rule.
  struct Axis {
    uint8_t type = 0;
    int32_t offset = 0;  // 1/10000 units
    uint8_t units = 0;
    int8_t repeat = 0;
  };
  struct Rule {
    int16_t number = 0;
    FixedText comment{kPrintable20};
    std::array<Point, 2> points;
    Axis plaid;
    Axis stripe;
    int16_t target = 0;
  };

  // Bounded by the 16-bit count of the header.
  static constexpr size_t kMaxRules = 32767;

  FixedText comment1{kPrintable20};
  FixedText comment2{kPrintable20};
  std::vector<Rule> rules;
};

}  // namespace Tessaline
