#pragma once
// A lay limit library: per piece category, how pieces may be laid on the
// fabric (flips and rotations, clockwise and counter-clockwise tilt, the
// block/buffer rule, option flags), with the fabric spread and the bundling
// mode of the whole library.

#include <cstdint>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class LayLimitLibrary {
 public:
  struct Entry {
    FixedText category{kName20};
    uint16_t flags = 0;  // option bits 4 to 15; bits 0 to 3 are not used
    uint8_t flipCode = 0;
    int16_t blockBufferRule = 0;
    int32_t cwTilt = 0;   // 1/10000 units
    int32_t ccwTilt = 0;  // 1/10000 units
    uint8_t units = 0;
  };

  // Bounded by the 16-bit count of the header.
  static constexpr size_t kMaxEntries = 32767;

  FixedText comment1{kPrintable20};
  FixedText comment2{kPrintable20};
  uint8_t spread = 0;
  uint8_t bundling = 0;
  std::vector<Entry> entries;
};

}  // namespace Tessaline
