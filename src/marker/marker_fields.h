#pragma once
// The walkers over the fixed records of marker data (the records themselves
// are in marker/marker_records.h). A record's layout visits its fields in the
// order of the elements they become, each with its offset in the record, its
// document name (nullptr for fields that produce no element: counts,
// positions) and, for coded fields, its code table. Three walkers use the
// same description:
//
//   FieldDecoder  reads the fields out of a record's bytes (the marker walk),
//   FieldEncoder  puts them into a zeroed record (the marker builder),
//   LeafEmitter   appends one element per named field (the marker walk).
//
// Records are little-endian and packed; char[n] text ends at the first NUL
// and a field without NUL is taken whole.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>

#include "core/exception.h"
#include "marker/marker_codes.h"
#include "marker/marker_element.h"
#include "model/record_io.h"
#include "platform/byte_order.h"

namespace tsln2xml::marker {

// Fields are checked against their record as store records are.
namespace detail = tsln2xml::detail;

class FieldDecoder {
 public:
  explicit FieldDecoder(std::span<const uint8_t> record) : record_(record) {}

  template <class T>
  void Int(size_t offset, const char*, T& value) {
    detail::CheckField(offset, sizeof(T), record_.size());
    value = platform::LoadLE<T>(record_.data() + offset);
  }
  template <class T>
  void Real(size_t offset, const char* name, T& value) { Int(offset, name, value); }
  template <class T>
  void Code(size_t offset, const char* name, T& value, const CodeTable&) { Int(offset, name, value); }
  void Text(size_t offset, size_t width, const char*, std::string& value) {
    detail::CheckField(offset, width, record_.size());
    const auto field = record_.subspan(offset, width);
    const auto end = std::find(field.begin(), field.end(), uint8_t{0});
    value.assign(field.begin(), end);
  }
  void XY(size_t offset, const char* name, double& x, double& y) {
    Int(offset, name, x);
    Int(offset + 8, name, y);
  }
  void Flags(size_t offset, const char* name, uint16_t& bits, std::span<const FlagBit>) { Int(offset, name, bits); }
  template <class Fields>
  void Group(const char*, Fields&& fields) { fields(*this); }

 private:
  std::span<const uint8_t> record_;
};

class FieldEncoder {
 public:
  explicit FieldEncoder(std::span<uint8_t> record) : record_(record) {}

  template <class T>
  void Int(size_t offset, const char*, const T& value) {
    detail::CheckField(offset, sizeof(T), record_.size());
    platform::StoreLE<T>(record_.data() + offset, value);
  }
  template <class T>
  void Real(size_t offset, const char* name, const T& value) { Int(offset, name, value); }
  template <class T>
  void Code(size_t offset, const char* name, const T& value, const CodeTable&) { Int(offset, name, value); }
  // Text longer than its field is cut to the field (a full field has no NUL).
  void Text(size_t offset, size_t width, const char*, const std::string& value) {
    detail::CheckField(offset, width, record_.size());
    std::fill_n(record_.data() + offset, width, uint8_t{0});
    std::copy_n(value.data(), std::min(width, value.size()), record_.data() + offset);
  }
  void XY(size_t offset, const char* name, const double& x, const double& y) {
    Int(offset, name, x);
    Int(offset + 8, name, y);
  }
  void Flags(size_t offset, const char* name, const uint16_t& bits, std::span<const FlagBit>) {
    Int(offset, name, bits);
  }
  template <class Fields>
  void Group(const char*, Fields&& fields) { fields(*this); }

 private:
  std::span<uint8_t> record_;
};

// Appends one element per named field to `parent`: integers in decimal,
// reals with 6 significant digits, texts as they are, codes by name.
class LeafEmitter {
 public:
  explicit LeafEmitter(MarkerElement& parent) : parent_(parent) {}

  template <class T>
  void Int(size_t, const char* name, const T& value) {
    static_assert(std::is_integral_v<T>);
    if (name) parent_.AppendChild(name, static_cast<int32_t>(value));
  }
  template <class T>
  void Real(size_t, const char* name, const T& value) {
    if (name) parent_.AppendChild(name, static_cast<double>(value));
  }
  template <class T>
  void Code(size_t, const char* name, const T& value, const CodeTable& table) {
    if (name) parent_.AppendChild(name, std::string(CodeName(table, static_cast<int32_t>(value))));
  }
  void Text(size_t, size_t, const char* name, const std::string& value) {
    if (name) parent_.AppendChild(name, value);
  }
  // An empty element with the attributes X and Y.
  void XY(size_t, const char* name, const double& x, const double& y) {
    MarkerElement point(name);
    point.SetAttribute("X", x);
    point.SetAttribute("Y", y);
    parent_.AppendChild(std::move(point));
  }
  // An empty element with one attribute per flag, 1 when its bit is set.
  void Flags(size_t, const char* name, const uint16_t& bits, std::span<const FlagBit> flags) {
    MarkerElement element(name);
    for (const FlagBit& flag : flags) element.SetAttribute(flag.name, static_cast<int32_t>((bits >> flag.bit) & 1));
    parent_.AppendChild(std::move(element));
  }
  // A child element holding the group's fields.
  template <class Fields>
  void Group(const char* name, Fields&& fields) {
    MarkerElement group(name);
    LeafEmitter inner(group);
    fields(inner);
    parent_.AppendChild(std::move(group));
  }

 private:
  MarkerElement& parent_;
};

}  // namespace tsln2xml::marker
