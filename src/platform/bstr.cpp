#include "platform/bstr.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#endif

namespace tsln2xml::platform {

Bstr AllocBstr(std::u16string_view text) { return AllocBstrLen(text.data(), text.size()); }

#ifdef _WIN32

// The system's BSTRs (oleaut32), which a host frees with its SysFreeString.
Bstr AllocBstrLen(const char16_t* text, size_t length) {
  if (length > kMaxBstrLength) return nullptr;
  auto* bstr = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text), static_cast<UINT>(length));
  // Without a text the system leaves the units as they were; ours are zeros.
  if (bstr && !text) std::memset(bstr, 0, length * 2);
  return reinterpret_cast<Bstr>(bstr);
}

void FreeBstr(Bstr bstr) { ::SysFreeString(reinterpret_cast<BSTR>(bstr)); }

uint32_t BstrLength(const char16_t* bstr) {
  return ::SysStringLen(reinterpret_cast<BSTR>(const_cast<char16_t*>(bstr)));
}

#else

Bstr AllocBstrLen(const char16_t* text, size_t length) {
  if (length > kMaxBstrLength) return nullptr;
  const uint32_t bytes = static_cast<uint32_t>(length * 2);
  auto* block = static_cast<uint8_t*>(std::malloc(sizeof(uint32_t) + bytes + 2));
  if (!block) return nullptr;
  std::memcpy(block, &bytes, sizeof bytes);
  auto* chars = reinterpret_cast<char16_t*>(block + sizeof(uint32_t));
  if (bytes && text) std::memcpy(chars, text, bytes);
  if (bytes && !text) std::memset(chars, 0, bytes);
  chars[length] = u'\0';
  return chars;
}

void FreeBstr(Bstr bstr) {
  if (bstr) std::free(reinterpret_cast<uint8_t*>(bstr) - sizeof(uint32_t));
}

uint32_t BstrLength(const char16_t* bstr) {
  if (!bstr) return 0;
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<const uint8_t*>(bstr) - sizeof(uint32_t), sizeof bytes);
  return bytes / 2;
}

#endif

}  // namespace tsln2xml::platform
