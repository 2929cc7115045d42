#pragma once
// A size code library: ordered sizes mapped to actual sizes, each mapping
// with its named alterations and amounts (1/10000 units).

#include <cstdint>
#include <memory>
#include <vector>

#include "model/fixed_text.h"

namespace Tessaline {

class SizeCodeLibrary {
 public:
  struct Alteration {
    FixedText name{kPrintable10};
    int32_t amount = 0;  // 1/10000 units
  };
  struct Entry {
    FixedText actualSize{kSizeName6};
    FixedText orderedSize{kSizeName6};
    std::vector<Alteration> alterations;
  };

  // Bounded by the 16-bit counts of the store records.
  static constexpr size_t kMaxEntries = 32767;
  static constexpr size_t kMaxAlterations = 32767;

  std::vector<std::shared_ptr<Entry>> entries;
};

}  // namespace Tessaline
