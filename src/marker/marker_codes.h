#pragma once
// The code tables of marker documents: record codes and their names. A code
// outside a table is written "Unknown".

#include <cstdint>
#include <span>
#include <string_view>

namespace tsln2xml::marker {

struct CodeTable {
  int32_t first;                      // the code of names[0]
  std::span<const char* const> names; // consecutive codes from `first`
};

inline constexpr std::string_view kUnknownName = "Unknown";

// The name of `code` in `table`, "Unknown" outside it.
std::string_view CodeName(const CodeTable& table, int32_t code);

extern const CodeTable kHeaderStatus;
extern const CodeTable kLayRuleType;
extern const CodeTable kFlipCode;
extern const CodeTable kAnnotationFormat;
extern const CodeTable kMatchType;
extern const CodeTable kOffsetUnits;
extern const CodeTable kMatchingType;
extern const CodeTable kEntryDirection;
extern const CodeTable kDynamicRuleType;
extern const CodeTable kDynamicRuleDirection;
extern const CodeTable kPiecingType;
extern const CodeTable kPointType;
extern const CodeTable kPointOption;
extern const CodeTable kBlockRuleType;
extern const CodeTable kBlockUnits;
extern const CodeTable kSizeIdType;

// A lay limit option: an attribute set to 1 when its bit is set, else 0.
struct FlagBit {
  const char* name;
  int bit;
};
// In start-tag order.
extern const std::span<const FlagBit> kLayLimitOptions;

}  // namespace tsln2xml::marker
