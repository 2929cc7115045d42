#pragma once
// A piece list: a named list of piece names with two comment lines.

#include <cstdint>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class PieceList {
 public:
  // Bounded by the 16-bit count of the header.
  static constexpr size_t kMaxNames = 32767;

  // A piece name as it is kept: 20 bytes, upper-cased when assigned.
  static FixedText Name(std::string_view text = {}) { return FixedText(kName20, text); }

  FixedText comment1{kPrintable40};
  FixedText comment2{kPrintable40};
  std::vector<FixedText> names;
};

}  // namespace Tessaline
