#pragma once
// Scans of long byte runs sixteen bytes at a time: a block gives the places
// of the bytes a scan stops at all at once. The answers are exactly those of
// the byte-by-byte loops.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tsln2xml::platform {

// Sixteen bytes, and for a test of them a mask with bit i set when byte i
// passes it (the processor's vector compares where there are some).
class ByteBlock {
 public:
  static constexpr size_t kSize = 16;
  explicit ByteBlock(const char* p) {
#if defined(__SSE2__)
    v_ = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
#else
    std::memcpy(b_, p, kSize);
#endif
  }
  uint32_t Equal(uint8_t byte) const {
#if defined(__SSE2__)
    return Mask(_mm_cmpeq_epi8(v_, _mm_set1_epi8(static_cast<char>(byte))));
#else
    return Each([byte](uint8_t b) { return b == byte; });
#endif
  }
  // Bytes below `limit` (1 to 255).
  uint32_t Below(uint8_t limit) const {
#if defined(__SSE2__)
    return Mask(_mm_cmpeq_epi8(_mm_min_epu8(v_, _mm_set1_epi8(static_cast<char>(limit - 1))), v_));
#else
    return Each([limit](uint8_t b) { return b < limit; });
#endif
  }
  // Bytes of 0x80 and above.
  uint32_t High() const {
#if defined(__SSE2__)
    return Mask(v_);
#else
    return Each([](uint8_t b) { return b >= 0x80; });
#endif
  }

 private:
#if defined(__SSE2__)
  static uint32_t Mask(__m128i flags) { return static_cast<uint32_t>(_mm_movemask_epi8(flags)); }
  __m128i v_;
#else
  template <class Test>
  uint32_t Each(Test test) const {
    uint32_t mask = 0;
    for (size_t i = 0; i < kSize; ++i) mask |= static_cast<uint32_t>(test(b_[i])) << i;
    return mask;
  }
  uint8_t b_[kSize];
#endif
};

// The end of the leading run of bytes below 0x80 from `from`.
inline size_t AsciiRunEnd(std::string_view bytes, size_t from) {
  size_t i = from;
  for (; i + ByteBlock::kSize <= bytes.size(); i += ByteBlock::kSize) {
    const uint32_t high = ByteBlock(bytes.data() + i).High();
    if (high) return i + static_cast<size_t>(std::countr_zero(high));
  }
  while (i < bytes.size() && static_cast<uint8_t>(bytes[i]) < 0x80) ++i;
  return i;
}

// How many times `byte` occurs in `bytes` (the line feeds of a long text, say).
inline size_t CountByte(std::string_view bytes, uint8_t byte) {
  size_t count = 0;
  size_t i = 0;
  for (; i + ByteBlock::kSize <= bytes.size(); i += ByteBlock::kSize)
    count += static_cast<size_t>(std::popcount(ByteBlock(bytes.data() + i).Equal(byte)));
  for (; i < bytes.size(); ++i) count += static_cast<uint8_t>(bytes[i]) == byte;
  return count;
}

}  // namespace tsln2xml::platform
