#pragma once
// Little-endian loads and stores of fixed-width values at a byte address.
// Store records are little-endian whatever the host is.

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tsln2xml::platform {

template <class T>
T LoadLE(const uint8_t* p) {
  static_assert(std::is_trivially_copyable_v<T>);
  T value;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&value, p, sizeof(T));
  } else {
    uint8_t tmp[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i) tmp[i] = p[sizeof(T) - 1 - i];
    std::memcpy(&value, tmp, sizeof(T));
  }
  return value;
}

template <class T>
void StoreLE(uint8_t* p, T value) {
  static_assert(std::is_trivially_copyable_v<T>);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &value, sizeof(T));
  } else {
    uint8_t tmp[sizeof(T)];
    std::memcpy(tmp, &value, sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i) p[i] = tmp[sizeof(T) - 1 - i];
  }
}

}  // namespace tsln2xml::platform
