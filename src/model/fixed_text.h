#pragma once
// Fixed-width text fields of store records: N bytes in the ANSI code page,
// NUL-padded, not terminated when full. One rule builds the value from a
// field's bytes or from a document's text: leading white space skipped, the
// text taken up to the first NUL (or its end) and at most N bytes, trailing
// white space cut, double-byte characters never split; then optional
// upper-casing and the field kind's cleaning rule.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace Tessaline {

enum class TextRule : uint8_t {
  kNone,          // no cleaning rule (kinds only assigned from text)
  kName,          // letters, digits, space, "-", "_"; others become "-"
  kExtendedName,  // as kName, and the bytes 0x80 0x8E 0x99 0x9A 0xA5
  kPrintable,     // printable characters; others become "-"
  kCode,          // the 3-byte code rule
  kQuote,         // a double quote becomes "-"
};

struct FixedTextKind {
  size_t width;
  TextRule rule;
};

inline constexpr FixedTextKind kSizeName6{6, TextRule::kName};
inline constexpr FixedTextKind kPrintable10{10, TextRule::kPrintable};
inline constexpr FixedTextKind kName20{20, TextRule::kName};
inline constexpr FixedTextKind kExtendedName20{20, TextRule::kExtendedName};
inline constexpr FixedTextKind kPrintable20{20, TextRule::kPrintable};
inline constexpr FixedTextKind kPrintable40{40, TextRule::kPrintable};
inline constexpr FixedTextKind kCode3{3, TextRule::kCode};
inline constexpr FixedTextKind kQuoted{65535, TextRule::kQuote};
inline constexpr FixedTextKind kText1{1, TextRule::kNone};
inline constexpr FixedTextKind kText8{8, TextRule::kNone};

struct TextOptions {
  bool upper = false;
  bool clean = false;
};
inline constexpr TextOptions kUpper{true, false};
inline constexpr TextOptions kUpperClean{true, true};
inline constexpr TextOptions kClean{false, true};
inline constexpr TextOptions kAsIs{false, false};

class FixedText {
 public:
  FixedText() : FixedText(kText1) {}
  explicit FixedText(FixedTextKind kind) : kind_(kind) {}
  FixedText(FixedTextKind kind, std::string_view text) : kind_(kind) { Assign(text); }

  // From a record field's bytes. At most the kind's width is considered; the
  // quote kind is also given the number of bytes actually available.
  void FromField(std::span<const uint8_t> field, TextOptions options);
  // From a text (the document's, converted to the ANSI code page).
  void FromText(std::string_view text, TextOptions options);
  // Assignment from a text: upper-cased, not cleaned.
  FixedText& Assign(std::string_view text) {
    FromText(text, kUpper);
    return *this;
  }

  // Copies the value into a field of the kind's width: at most that many
  // bytes, NUL padding after a shorter value, no terminator when full.
  void ToField(std::span<uint8_t> field) const;

  const std::string& str() const { return value_; }
  size_t size() const { return value_.size(); }
  bool empty() const { return value_.empty(); }
  FixedTextKind kind() const { return kind_; }
  bool operator==(std::string_view other) const { return value_ == other; }

 private:
  void Build(std::string_view bytes, TextOptions options);

  FixedTextKind kind_;
  std::string value_;
};

// The cleaning rules by themselves.
void CleanText(std::string& value, TextRule rule);
void ApplyCodeRule(std::string& value);

}  // namespace Tessaline
