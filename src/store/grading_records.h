#pragma once
// The grading records that rule tables and pieces share: the 10-byte size
// record, the 26-byte rule record with its growth pairs, and the size id types
// that decide how a size name is encoded. Each layout is described once and
// walked by the record decoder and encoder (framework/record_io.h).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "model/fixed_text.h"

namespace tsln2xml::grading {

// Size id type codes.
enum SizeIdType : uint8_t { kNumeric = 0, kAlpha = 1, kLongAlpha = 2 };

inline constexpr Tessaline::FixedTextKind kRuleComment{18, Tessaline::TextRule::kNone};
inline constexpr size_t kPointCodeWidth = 4;
inline constexpr size_t kSizeNameWidth = 8;

// A size name as stored: Numeric a signed 16-bit number in bytes 0 and 1;
// Alpha a text of at most 7 bytes, NUL-terminated; LongAlpha at most 8 bytes,
// NUL-padded.
using SizeName = std::array<uint8_t, kSizeNameWidth>;

struct SizeRecord {
  SizeName name{};
  uint8_t breakFlag = 0;  // 0 "NonGrading", 1 "Grading"
};

struct GrowthPair {
  int32_t x = 0;  // 1/10000 units
  int32_t y = 0;
};

// One grading rule. `code` holds up to four point-code characters, padded
// with spaces; `growth` one pair per break.
struct RuleNode {
  int16_t id = 0;
  std::array<uint8_t, kPointCodeWidth> code{' ', ' ', ' ', ' '};
  bool hasComment = false;
  Tessaline::FixedText comment{kRuleComment};
  std::vector<GrowthPair> growth;
};

// The number of growth pairs each rule has: NumBreaks + 1, none below 0.
inline size_t GrowthPairCount(int16_t numBreaks) {
  return numBreaks >= 0 ? static_cast<size_t>(numBreaks) + 1 : 0;
}

struct SizeRecordLayout {
  static constexpr size_t kSize = 10;
  template <class Io, class S>
  static void Walk(Io& io, S& size) {
    io.Bytes(0, size.name);
    io.Int(8, size.breakFlag);  // byte 9 is reserved and zero
  }
};

// The comment is meaningful only when the flag byte is 1; the decoder drops
// it otherwise, and the encoder writes the flag from the rule.
struct RuleRecordLayout {
  static constexpr size_t kSize = 26;
  template <class Io, class R>
  static void Walk(Io& io, R& rule) {
    io.Int(0, rule.id);
    io.Bytes(2, rule.code);
    uint8_t flag = rule.hasComment ? 1 : 0;
    io.Int(6, flag);
    if constexpr (Io::kDecoding) {
      rule.hasComment = flag == 1;
      if (rule.hasComment) io.Text(7, rule.comment, Tessaline::kAsIs);
    } else if (rule.hasComment) {
      io.Text(7, rule.comment, Tessaline::kAsIs);
    }
  }
};

struct GrowthPairLayout {
  static constexpr size_t kSize = 8;
  template <class Io, class G>
  static void Walk(Io& io, G& pair) {
    io.Int(0, pair.x);
    io.Int(4, pair.y);
  }
};

}  // namespace tsln2xml::grading
