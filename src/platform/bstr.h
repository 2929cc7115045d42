#pragma once
// BSTR as on Windows: UTF-16 text, zero-terminated, with a 32-bit byte length
// in front of the pointer. Strings handed out by the library are BSTRs that
// the caller frees with SysFreeString.

#include <cstdint>
#include <string_view>

namespace tsln2xml::platform {

using Bstr = char16_t*;

// A new BSTR holding `text` (which may contain NULs); nullptr when out of memory.
Bstr AllocBstr(std::u16string_view text);
void FreeBstr(Bstr bstr);
// Length in UTF-16 code units, from the prefix.
uint32_t BstrLength(const char16_t* bstr);
inline std::u16string_view BstrView(const char16_t* bstr) {
  return bstr ? std::u16string_view(bstr, BstrLength(bstr)) : std::u16string_view();
}

}  // namespace tsln2xml::platform
