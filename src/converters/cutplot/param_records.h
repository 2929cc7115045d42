#pragma once
// Field forms that the cutting and plotting parameter records share, for the
// record and attribute walkers of model/record_io.h and framework/attribute_io.h:
// flags kept as integers, codes kept in narrower integers than the model's,
// single bits of an option word, and the signed 8-bit counts.

#include <cstdint>
#include <string>

#include "framework/xml_data_item.h"
#include "xml/enum_name_table.h"

namespace tsln2xml::cutplot {

// A flag stored as an integer of type T: non-zero reads as true, written as 0
// or 1.
template <class T, class Io, class Flag>
void FlagField(Io& io, size_t offset, Flag& flag) {
  if constexpr (Io::kDecoding) {
    T stored = 0;
    io.Int(offset, stored);
    flag = stored != 0;
  } else {
    const T stored = flag ? 1 : 0;
    io.Int(offset, stored);
  }
}

// A value the model widens from a narrower stored integer of type T.
template <class T, class Io, class Value>
void NarrowField(Io& io, size_t offset, Value& value) {
  if constexpr (Io::kDecoding) {
    T stored = 0;
    io.Int(offset, stored);
    value = stored;
  } else {
    const T stored = static_cast<T>(value);
    io.Int(offset, stored);
  }
}

// A boolean attribute held as one bit of an option word.
template <class Io, class Bits>
void BitAttribute(Io& io, const char* name, Bits& bits, Bits mask) {
  bool set = (bits & mask) != 0;
  io.Bool(name, set);
  if constexpr (Io::kDecoding) bits = static_cast<Bits>(set ? bits | mask : bits & ~mask);
}

// A two-valued code attribute held as one bit of an option word: the table
// names 0 and `mask`.
template <class Io, class Bits>
void BitCodeAttribute(Io& io, const char* name, Bits& bits, Bits mask, const xml::EnumNameTable<Bits>& table) {
  Bits value = static_cast<Bits>(bits & mask);
  io.Code(name, value, table);
  if constexpr (Io::kDecoding) bits = static_cast<Bits>((bits & ~mask) | (value & mask));
}

// A count for a signed 8-bit store field; more than 127 fails with code 1
// ("Too many <what>: N (at most 127)") instead of writing a wrapped count.
inline int8_t Count8(size_t count, const std::string& what) {
  if (count > 127) Fail("Too many " + what + ": " + std::to_string(count) + " (at most 127)");
  return static_cast<int8_t>(count);
}

// The direct child `name` of `parent`, or "Missing required <name> element"
// (code 1).
inline xml::Node RequireChild(const XMLDataItem& item, xml::Node parent, const std::string& name) {
  xml::Node child = item.SelectSingleNode(parent, name);
  if (!child) Fail("Missing required <" + name + "> element");
  return child;
}

}  // namespace tsln2xml::cutplot
