#pragma once
// Fixed store records described once. A record layout is a function template
// over a walker; the decoder fills the model's fields from the record's bytes
// and the encoder puts them into a zeroed record:
//
//   template <class Io>
//   void EntryRecord(Io& io, Entry& e, int16_t& alterations) {
//     io.Text(0, e.actualSize, Tessaline::kUpper);
//     io.Text(6, e.orderedSize, Tessaline::kUpper);
//     io.Int(12, alterations);
//   }
//
// Offsets are relative to the record; a field outside the record is a fault
// of the layout and fails loudly.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

#include "core/exception.h"
#include "model/fixed_text.h"
#include "platform/byte_order.h"

namespace tsln2xml {

namespace detail {
inline void CheckField(size_t offset, size_t width, size_t recordSize) {
  if (offset + width > recordSize)
    throw Tsln2XmlException(kStandardLibrary, "record field at " + std::to_string(offset) + " outside its record");
}
}  // namespace detail

class RecordDecoder {
 public:
  static constexpr bool kDecoding = true;
  explicit RecordDecoder(std::span<const uint8_t> record) : record_(record) {}

  template <class T>
    requires std::is_arithmetic_v<T>
  void Int(size_t offset, T& value) {
    detail::CheckField(offset, sizeof(T), record_.size());
    value = platform::LoadLE<T>(record_.data() + offset);
  }
  void Text(size_t offset, Tessaline::FixedText& text, Tessaline::TextOptions options) {
    const size_t width = text.kind().width;
    detail::CheckField(offset, width, record_.size());
    text.FromField(record_.subspan(offset, width), options);
  }
  void Bytes(size_t offset, std::span<uint8_t> out) {
    detail::CheckField(offset, out.size(), record_.size());
    std::copy_n(record_.data() + offset, out.size(), out.data());
  }

 private:
  std::span<const uint8_t> record_;
};

class RecordEncoder {
 public:
  static constexpr bool kDecoding = false;
  explicit RecordEncoder(std::span<uint8_t> record) : record_(record) {}

  template <class T>
    requires std::is_arithmetic_v<T>
  void Int(size_t offset, const T& value) {
    detail::CheckField(offset, sizeof(T), record_.size());
    platform::StoreLE<T>(record_.data() + offset, value);
  }
  void Text(size_t offset, const Tessaline::FixedText& text, Tessaline::TextOptions) {
    const size_t width = text.kind().width;
    detail::CheckField(offset, width, record_.size());
    text.ToField(record_.subspan(offset, width));
  }
  void Bytes(size_t offset, std::span<const uint8_t> in) {
    detail::CheckField(offset, in.size(), record_.size());
    std::copy_n(in.data(), in.size(), record_.data() + offset);
  }

 private:
  std::span<uint8_t> record_;
};

}  // namespace tsln2xml
