#pragma once
// BSTR as on Windows: UTF-16 text, zero-terminated, with a 32-bit byte length
// in front of the pointer. Strings handed out by the library are BSTRs that
// the caller frees with SysFreeString.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tsln2xml::platform {

using Bstr = char16_t*;

// The most UTF-16 code units a BSTR holds: its byte length must fit the
// 32-bit prefix.
inline constexpr size_t kMaxBstrLength = (UINT32_MAX - 8) / 2;

// A new BSTR holding `text` (which may contain NULs); nullptr when out of
// memory or longer than kMaxBstrLength.
Bstr AllocBstr(std::u16string_view text);
// A new BSTR of `length` code units copied from `text`, or zeros when `text`
// is null; nullptr at once beyond kMaxBstrLength, nothing allocated on the way.
Bstr AllocBstrLen(const char16_t* text, size_t length);
void FreeBstr(Bstr bstr);
// Length in UTF-16 code units, from the prefix.
uint32_t BstrLength(const char16_t* bstr);
inline std::u16string_view BstrView(const char16_t* bstr) {
  return bstr ? std::u16string_view(bstr, BstrLength(bstr)) : std::u16string_view();
}

}  // namespace tsln2xml::platform
