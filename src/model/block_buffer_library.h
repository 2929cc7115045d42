#pragma once
// A block buffer library: numbered rules that enlarge pieces before they are
// placed, by a rectangle around the piece (block) or a margin along its
// outline (buffer). Each rule has five amounts for the static method and five
// for the dynamic one, each with its units.

#include <array>
#include <cstdint>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class BlockBufferLibrary {
 public:
  struct Amount {
    int32_t amount = 0;  // 1/10000 units
    uint8_t units = 0;
  };
  // Amounts in store order: static left, top, right, bottom, segment, then
  // the same five of the dynamic method.
  static constexpr size_t kSides = 5;
  static constexpr size_t kAmounts = 2 * kSides;
  struct Rule {
    int16_t number = 0;
    uint8_t type = 0;
    std::array<Amount, kAmounts> amounts{};
  };

  // Bounded by the 16-bit count of the header.
  static constexpr size_t kMaxRules = 32767;

  FixedText comment1{kPrintable20};
  FixedText comment2{kPrintable20};
  std::vector<Rule> rules;
};

}  // namespace Tessaline
