#pragma once
// Fields that models and orders share in their store records and documents:
// flags stored as a byte or a word (non-zero is true, written as 0 or 1) and
// the four fabric-type letters.

#include <array>
#include <cstdint>

#include "framework/attribute_io.h"
#include "model/fabric_types.h"
#include "xml/attributes.h"

namespace tsln2xml::orders {

// A flag stored as an integer of type Stored at `offset`.
template <class Stored, class Io, class Flag>
void FlagField(Io& io, size_t offset, Flag& flag) {
  Stored stored = flag ? 1 : 0;
  io.Int(offset, stored);
  if constexpr (Io::kDecoding) flag = stored != 0;
}

// The fabric letters in their 4-byte field: every letter in order, blanks
// and zero bytes skipped.
template <class Io, class Fabric>
void FabricField(Io& io, size_t offset, Fabric& fabric) {
  std::array<uint8_t, Tessaline::FabricTypes::kMaxLetters> bytes{};
  if constexpr (Io::kDecoding) {
    io.Bytes(offset, bytes);
    fabric.Assign(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  } else {
    fabric.ToField(bytes);
    io.Bytes(offset, bytes);
  }
}

// The fabric letters as the attribute `name`, joined; read with blanks
// skipped and at most four letters taken.
template <class Io, class Fabric>
void FabricAttribute(xml::Node element, const char* name, Fabric& fabric) {
  if constexpr (Io::kDecoding)
    fabric.Assign(xml::GetAttributeText(element, name));
  else
    xml::SetAttributeText(element, name, fabric.str());
}

}  // namespace tsln2xml::orders
