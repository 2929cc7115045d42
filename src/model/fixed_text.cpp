#include "model/fixed_text.h"

#include <algorithm>
#include <cstring>

#include "platform/code_page.h"

namespace Tessaline {
namespace {

// The C locale's classes, which is what store texts were written under.
bool IsSpace(uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsAlpha(uint8_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsAlnum(uint8_t c) { return IsAlpha(c) || IsDigit(c); }
bool IsPrint(uint8_t c) { return c >= 0x20 && c <= 0x7E; }
uint8_t ToUpper(uint8_t c) { return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 'a' + 'A') : c; }

bool Allowed(uint8_t c, TextRule rule) {
  switch (rule) {
    case TextRule::kName: return IsAlnum(c) || c == ' ' || c == '-' || c == '_';
    case TextRule::kExtendedName:
      return IsAlnum(c) || c == ' ' || c == '-' || c == '_' || c == 0x80 || c == 0x8E || c == 0x99 || c == 0x9A ||
             c == 0xA5;
    case TextRule::kPrintable: return IsPrint(c);
    case TextRule::kQuote: return c != '"';
    default: return true;
  }
}

}  // namespace

void ApplyCodeRule(std::string& value) {
  enum { kUndecided, kDigits, kLetters } mode = kUndecided;
  for (char& ch : value) {
    const auto c = static_cast<uint8_t>(ch);
    if (mode == kUndecided) {
      if (IsDigit(c)) {
        mode = kDigits;
      } else if (IsAlpha(c)) {
        mode = kLetters;
        ch = static_cast<char>(ToUpper(c));
      } else {
        ch = ' ';
      }
    } else if (mode == kDigits ? !IsDigit(c) : !IsAlpha(c)) {
      ch = ' ';
    }
  }
  value.erase(std::remove_if(value.begin(), value.end(), [](char c) { return IsSpace(static_cast<uint8_t>(c)); }),
              value.end());
  if (value.size() > 3) value.resize(3);
  if (mode == kDigits && value.size() < 3) value.insert(0, 3 - value.size(), '0');
}

void CleanText(std::string& value, TextRule rule) {
  if (rule == TextRule::kNone) return;
  if (rule == TextRule::kCode) {
    ApplyCodeRule(value);
    return;
  }
  const char replacement = '-';
  for (size_t i = 0; i < value.size();) {
    const auto c = static_cast<uint8_t>(value[i]);
    if (tsln2xml::platform::IsDBCSLeadByte(c)) {
      if (i + 1 >= value.size()) {
        value.erase(i);  // a lead byte without its second byte
        break;
      }
      i += 2;
      continue;
    }
    if (!Allowed(c, rule)) value[i] = replacement;
    ++i;
  }
}

void FixedText::Build(std::string_view bytes, TextOptions options) {
  value_.clear();
  const size_t end = std::min({bytes.size(), kind_.width, bytes.find('\0')});
  size_t start = 0;
  while (start < end && IsSpace(static_cast<uint8_t>(bytes[start]))) ++start;
  if (start == end) return;
  // Walk whole characters; a double-byte pair cut off by the end is dropped,
  // and the value ends after its last character that is not white space.
  const std::array<bool, 256>& lead = tsln2xml::platform::ActiveLeadBytes();
  size_t keep = start;
  for (size_t i = start; i < end;) {
    const auto c = static_cast<uint8_t>(bytes[i]);
    if (lead[c]) {
      if (i + 1 >= end) break;
      i += 2;
      keep = i;
      continue;
    }
    ++i;
    if (!IsSpace(c)) keep = i;
  }
  value_.reserve(keep - start);
  for (size_t i = start; i < keep;) {
    const auto c = static_cast<uint8_t>(bytes[i]);
    if (lead[c] && i + 1 < keep) {
      value_.push_back(bytes[i]);
      value_.push_back(bytes[i + 1]);
      i += 2;
      continue;
    }
    value_.push_back(static_cast<char>(options.upper ? ToUpper(c) : c));
    ++i;
  }
  if (options.clean) CleanText(value_, kind_.rule);
}

void FixedText::FromField(std::span<const uint8_t> field, TextOptions options) {
  Build(std::string_view(reinterpret_cast<const char*>(field.data()), field.size()), options);
}

void FixedText::FromText(std::string_view text, TextOptions options) { Build(text, options); }

void FixedText::ToField(std::span<uint8_t> field) const {
  const size_t n = std::min(field.size(), kind_.width);
  std::fill(field.begin(), field.begin() + static_cast<ptrdiff_t>(n), uint8_t{0});
  std::memcpy(field.data(), value_.data(), std::min(n, value_.size()));
}

}  // namespace Tessaline
