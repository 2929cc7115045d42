#pragma once
// Scans of long byte runs eight bytes at a time: a word is tested for the
// bytes a scan stops at, and only a word that may hold one is looked at byte
// by byte. The answers are exactly those of the byte-by-byte loops.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tsln2xml::platform {

inline constexpr uint64_t kEveryByte01 = 0x0101010101010101ULL;
inline constexpr uint64_t kEveryByte80 = 0x8080808080808080ULL;

inline uint64_t LoadWord(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Nonzero when some byte of `word` is below `limit` (at most 0x80); may also
// flag a byte of 0x80 or above, which a caller looks at byte by byte anyway.
inline constexpr uint64_t MayHaveByteBelow(uint64_t word, uint8_t limit) {
  return (word - kEveryByte01 * limit) & kEveryByte80;
}

// Nonzero exactly when some byte of `word` is `byte`.
inline constexpr uint64_t HasByte(uint64_t word, uint8_t byte) {
  const uint64_t x = word ^ (kEveryByte01 * byte);
  return (x - kEveryByte01) & ~x & kEveryByte80;
}

// The end of the leading run of bytes below 0x80 from `from`.
inline size_t AsciiRunEnd(std::string_view bytes, size_t from) {
  size_t i = from;
  while (i + 8 <= bytes.size() && (LoadWord(bytes.data() + i) & kEveryByte80) == 0) i += 8;
  while (i < bytes.size() && static_cast<uint8_t>(bytes[i]) < 0x80) ++i;
  return i;
}

}  // namespace tsln2xml::platform
