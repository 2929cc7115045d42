#pragma once
// A bounds-checked little-endian reader over bytes held in memory. Every read
// checks the limit first and throws the library's exception (code 1) when the
// bytes run out, leaving the position unchanged. Counts read from the data are
// checked against the bytes left before anything is allocated for them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/exception.h"
#include "platform/byte_order.h"

namespace tsln2xml::platform {

inline constexpr const char* kReadPastEnd = "Error reading past end of file.";

class ByteCursor {
 public:
  ByteCursor() = default;
  explicit ByteCursor(std::span<const uint8_t> bytes, std::string failure = kReadPastEnd)
      : bytes_(bytes), failure_(std::move(failure)) {}

  size_t Position() const { return pos_; }
  size_t Size() const { return bytes_.size(); }
  size_t Remaining() const { return bytes_.size() - pos_; }
  bool AtEnd() const { return pos_ == bytes_.size(); }

  // Throws unless n more bytes are available.
  void Require(size_t n) const {
    if (n > Remaining()) throw Tsln2XmlException(kContentUnusable, failure_);
  }

  // The next n bytes; the position moves past them.
  std::span<const uint8_t> Take(size_t n) {
    Require(n);
    auto out = bytes_.subspan(pos_, n);
    pos_ += n;
    return out;
  }
  void Skip(size_t n) { Take(n); }
  void ReadBytes(void* destination, size_t n) {
    auto src = Take(n);
    if (n) std::memcpy(destination, src.data(), n);
  }

  // A cursor over the next n bytes (one record); this cursor moves past them.
  ByteCursor Sub(size_t n) { return ByteCursor(Take(n), failure_); }

  // Moves to an absolute position inside the bytes.
  void Seek(size_t position) {
    if (position > bytes_.size()) throw Tsln2XmlException(kContentUnusable, failure_);
    pos_ = position;
  }

  template <class T>
  T Get() {
    return LoadLE<T>(Take(sizeof(T)).data());
  }
  int8_t I8() { return Get<int8_t>(); }
  uint8_t U8() { return Get<uint8_t>(); }
  int16_t I16() { return Get<int16_t>(); }
  uint16_t U16() { return Get<uint16_t>(); }
  int32_t I32() { return Get<int32_t>(); }
  uint32_t U32() { return Get<uint32_t>(); }
  float F32() { return Get<float>(); }
  double F64() { return Get<double>(); }

  // Checks that `count` records of `recordSize` bytes fit in what is left;
  // used before sizing a container from a count read out of the data.
  void RequireRecords(int64_t count, size_t recordSize) const {
    if (count < 0 || (recordSize && static_cast<uint64_t>(count) > Remaining() / recordSize))
      throw Tsln2XmlException(kContentUnusable, failure_);
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
  std::string failure_ = kReadPastEnd;
};

}  // namespace tsln2xml::platform
