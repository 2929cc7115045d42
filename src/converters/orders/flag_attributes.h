#pragma once
// Flag bits of a store field shown as xs:boolean attributes, one attribute
// per bit. Reading a document sets or clears exactly the bits named; bits
// that no attribute names keep their value (zero in a record being built).

#include <span>

namespace tsln2xml::orders {

struct FlagBit {
  const char* name;
  unsigned bit;
};

template <class Io, class T>
void FlagAttributes(Io& io, T& flags, std::span<const FlagBit> bits) {
  for (const FlagBit& flag : bits) {
    const T mask = static_cast<T>(T{1} << flag.bit);
    bool set = (flags & mask) != 0;
    io.Bool(flag.name, set);
    if constexpr (Io::kDecoding) flags = static_cast<T>(set ? flags | mask : flags & ~mask);
  }
}

}  // namespace tsln2xml::orders
