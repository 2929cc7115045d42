#pragma once
// Typed attribute values. Writing: doubles with 24 significant digits,
// integers in decimal, narrow texts converted from the ANSI code page with
// their surrounding spaces removed. Reading: numbers in the invariant locale;
// a value the requested type cannot hold is a failure of the XML service
// (XmlServiceError with a type-mismatch or overflow code), which the converter
// reports as code 4; an absent attribute gives the default.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "xml/document.h"

namespace tsln2xml::xml {

// `utf8` with every character that XML 1.0 does not allow (control characters
// other than tab, line feed and carriage return; U+FFFE, U+FFFF) replaced by
// U+FFFD.
std::string XmlCharactersOnly(std::string_view utf8);
// Whether every character of `utf8` is one that XML 1.0 allows (the test of
// XmlCharactersOnly, without the copy).
bool HasOnlyXmlCharacters(std::string_view utf8);

void SetAttributeUtf8(Node element, const char* name, std::string_view utf8);
// A narrow text in the ANSI code page; leading and trailing spaces removed.
void SetAttributeText(Node element, const char* name, std::string_view ansi);
void SetAttribute(Node element, const char* name, double value);
// A single-precision value as the shortest text that reads back as it.
void SetAttributeFloat(Node element, const char* name, float value);
void SetAttribute(Node element, const char* name, int64_t value);
inline void SetAttribute(Node element, const char* name, int32_t value) {
  SetAttribute(element, name, static_cast<int64_t>(value));
}
inline void SetAttribute(Node element, const char* name, uint32_t value) {
  SetAttribute(element, name, static_cast<int64_t>(value));
}
void SetAttribute(Node element, const char* name, bool value) = delete;  // use a name table

// The text of an attribute without a namespace, as UTF-8, read in place:
// valid while the element is unchanged. False when the element has none.
class AttributeValue {
 public:
  AttributeValue(Node element, const char* name);
  AttributeValue(const AttributeValue&) = delete;
  AttributeValue& operator=(const AttributeValue&) = delete;
  explicit operator bool() const { return found_; }
  std::string_view operator*() const { return text_; }

 private:
  XmlCharPtr joined_;  // an attribute of several nodes, joined into one text
  std::string_view text_;
  bool found_ = false;
};

// The attribute's text as UTF-8, or nullopt when the element has none.
std::optional<std::string> GetAttributeUtf8(Node element, const char* name);

int8_t GetAttributeInt8(Node element, const char* name, int8_t defaultValue);
uint8_t GetAttributeUInt8(Node element, const char* name, uint8_t defaultValue);
int16_t GetAttributeInt16(Node element, const char* name, int16_t defaultValue);
uint16_t GetAttributeUInt16(Node element, const char* name, uint16_t defaultValue);
int32_t GetAttributeInt32(Node element, const char* name, int32_t defaultValue);
uint32_t GetAttributeUInt32(Node element, const char* name, uint32_t defaultValue);
float GetAttributeFloat(Node element, const char* name, float defaultValue);
double GetAttributeDouble(Node element, const char* name, double defaultValue);
// Any integer type given by its range.
int64_t GetAttributeInteger(Node element, const char* name, int64_t defaultValue, int64_t min, int64_t max);
// The text converted to the ANSI code page. A character the code page has no
// form for fails (see DocumentTextToAnsi) instead of becoming "?".
std::string GetAttributeText(Node element, const char* name, std::string_view defaultValue = {});
// A document's text (the value of `attribute` of `element`, or the element's
// own text when `attribute` is null) in the ANSI code page. A character the
// code page cannot hold fails with code 4, secondary code
// hresult::kNoMapping, and a message naming the element, its line, the
// attribute and the character (U+XXXX): stored as "?", it would be another
// value reported as success.
std::string DocumentTextToAnsi(std::string_view utf8, Node element, const char* attribute);
// Any xs:boolean form: "true", "false", "1", "0".
bool GetAttributeBool(Node element, const char* name, bool defaultValue);

// The conversion rules by themselves (for values not held in attributes).
int64_t ConvertToInteger(std::string_view text, int64_t min, int64_t max);
double ConvertToDouble(std::string_view text);

// A double scaled into an integer field: value * scale, truncated toward zero
// (a product within one unit in the last place of an integer is that integer,
// so stored / scale always scales back to stored); a product outside the
// 32-bit range is an overflow.
int32_t ScaleToInt32(double value, double scale);

}  // namespace tsln2xml::xml
