#include "xml/attributes.h"

#include <array>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "core/exception.h"
#include "platform/byte_scan.h"
#include "xml/document_text.h"
#include "platform/code_page.h"
#include "platform/number_text.h"

namespace tsln2xml::xml {

namespace {

// The bytes that start a character XML does not allow: control characters
// other than tab, line feed and carriage return, and the lead byte of
// U+FFFE and U+FFFF (looked at more closely).
constexpr std::array<bool, 256> kSuspectBytes = [] {
  std::array<bool, 256> table{};
  for (int b = 0; b < 0x20; ++b) table[b] = b != '\t' && b != '\n' && b != '\r';
  table[0xEF] = true;
  return table;
}();

}  // namespace

bool HasOnlyXmlCharacters(std::string_view utf8) {
  // A control character other than tab, line feed and carriage return, or
  // U+FFFE or U+FFFF (0xEF 0xBF 0xBE/0xBF).
  auto unwanted = [utf8](size_t i) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    if (!kSuspectBytes[b]) return false;
    return b != 0xEF || (i + 2 < utf8.size() && static_cast<uint8_t>(utf8[i + 1]) == 0xBF &&
                         (static_cast<uint8_t>(utf8[i + 2]) & 0xFE) == 0xBE);
  };
  size_t i = 0;
  // Sixteen bytes at a time: a control character other than the three is
  // found in the block at once; only a block with a byte outside ASCII (which
  // may start U+FFFE or U+FFFF) is looked at byte by byte.
  constexpr size_t kBlock = platform::ByteBlock::kSize;
  for (; i + kBlock <= utf8.size(); i += kBlock) {
    const platform::ByteBlock block(utf8.data() + i);
    if (block.Below(0x20) & ~(block.Equal('\t') | block.Equal('\n') | block.Equal('\r'))) return false;
    if (!block.High()) continue;
    for (size_t k = i; k < i + kBlock; ++k)
      if (unwanted(k)) return false;
  }
  for (; i < utf8.size(); ++i)
    if (unwanted(i)) return false;
  return true;
}

std::string XmlCharactersOnly(std::string_view utf8) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r') {
      out += kReplacement;
    } else if (b == 0xEF && i + 2 < utf8.size() && static_cast<uint8_t>(utf8[i + 1]) == 0xBF &&
               (static_cast<uint8_t>(utf8[i + 2]) & 0xFE) == 0xBE) {
      out += kReplacement;  // U+FFFE and U+FFFF
      i += 2;
    } else {
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

namespace {

template <class T>
T* NewZeroed() {
  void* p = xmlMalloc(sizeof(T));
  if (!p) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory adding an attribute");
  std::memset(p, 0, sizeof(T));
  return static_cast<T*>(p);
}

// Adds the attribute `name` = `utf8` (XML characters only) to `element`.
// A built document's attribute is made here as the parser makes one in its
// compact form: the name from the document's dictionary, a value shorter
// than two pointers kept inside its text node, a longer one copied once.
// libxml2 frees, edits and serialises such nodes as its own. Anything else
// (no dictionary, a prefixed name, an attribute of that name already there)
// goes through xmlSetProp.
void PutAttribute(Node element, const char* name, std::string_view utf8) {
  if (!element) return;
  if (TextStream* stream = TextStream::Of(element)) {
    stream->Attribute(element, name, utf8);
    return;
  }
  xmlDocPtr doc = element->doc;
  const xmlChar* dictName = nullptr;
  bool direct = element->type == XML_ELEMENT_NODE && doc && doc->dict && !std::strchr(name, ':');
  if (direct) {
    dictName = xmlDictLookup(doc->dict, X(name), -1);
    if (!dictName) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory adding an attribute");
  }
  xmlAttrPtr last = nullptr;
  for (xmlAttrPtr a = direct ? element->properties : nullptr; a; a = a->next) {
    if (a->ns == nullptr && xmlStrEqual(a->name, dictName)) direct = false;
    last = a;
  }
  if (!direct) {
    const std::string value(utf8);
    xmlSetProp(element, X(name), X(value.c_str()));
    return;
  }
  auto* text = NewZeroed<xmlNode>();
  text->type = XML_TEXT_NODE;
  text->name = xmlStringText;
  text->doc = doc;
  if (utf8.size() < 2 * sizeof(void*)) {
    auto* inside = reinterpret_cast<xmlChar*>(&text->properties);
    if (!utf8.empty()) std::memcpy(inside, utf8.data(), utf8.size());  // an empty view may have no data
    inside[utf8.size()] = 0;
    text->content = inside;
  } else {
    text->content = xmlStrndup(X(utf8.data()), static_cast<int>(utf8.size()));
    if (!text->content) {
      xmlFree(text);
      throw XmlServiceError(hresult::kOutOfMemory, "Out of memory adding an attribute");
    }
  }
  xmlAttrPtr attr;
  try {
    attr = NewZeroed<xmlAttr>();
  } catch (...) {
    xmlFreeNode(text);
    throw;
  }
  attr->type = XML_ATTRIBUTE_NODE;
  attr->name = dictName;
  attr->doc = doc;
  attr->parent = element;
  attr->children = attr->last = text;
  text->parent = reinterpret_cast<Node>(attr);
  if (last) {
    last->next = attr;
    attr->prev = last;
  } else {
    element->properties = attr;
  }
}

}  // namespace

void SetAttributeUtf8(Node element, const char* name, std::string_view utf8) {
  // The serialiser writes control characters as they are, which no parser
  // accepts; they become U+FFFD so that every document stays well-formed.
  if (HasOnlyXmlCharacters(utf8))
    PutAttribute(element, name, utf8);
  else
    PutAttribute(element, name, XmlCharactersOnly(utf8));
}

void SetAttributeText(Node element, const char* name, std::string_view ansi) {
  while (!ansi.empty() && ansi.front() == ' ') ansi.remove_prefix(1);
  while (!ansi.empty() && ansi.back() == ' ') ansi.remove_suffix(1);
  // Plain ASCII text is its own UTF-8.
  if (platform::Utf8IdentityPrefix(ansi) == ansi.size())
    SetAttributeUtf8(element, name, ansi);
  else
    SetAttributeUtf8(element, name, platform::AnsiToUtf8(ansi));
}

void SetAttribute(Node element, const char* name, double value) {
  platform::NumberBuffer buffer;
  PutAttribute(element, name, platform::FormatDouble(value, 24, buffer));
}

void SetAttributeFloat(Node element, const char* name, float value) {
  SetAttributeUtf8(element, name, platform::FormatFloatShortest(value));
}

void SetAttribute(Node element, const char* name, int64_t value) {
  platform::NumberBuffer buffer;
  PutAttribute(element, name, platform::FormatInteger(value, buffer));
}

AttributeValue::AttributeValue(Node element, const char* name) {
  if (!element || element->type != XML_ELEMENT_NODE) return;
  RequireTree(element);
  // As xmlGetNoNsProp finds and reads it, without copying the usual single
  // text node (no document here has a DTD to give default values).
  auto named = [name](const xmlAttr* a) {
    return !a->ns && a->name && a->name[0] == static_cast<xmlChar>(name[0]) && std::strcmp(C(a->name), name) == 0;
  };
  xmlAttrPtr attr = element->properties;
  while (attr && !named(attr)) attr = attr->next;
  if (!attr) return;
  const xmlNode* only = attr->children;
  if (only && !only->next && (only->type == XML_TEXT_NODE || only->type == XML_CDATA_SECTION_NODE)) {
    if (!only->content) return;
    text_ = C(only->content);
  } else if (only) {
    joined_.reset(xmlNodeListGetString(element->doc, only, 1));
    if (joined_) text_ = C(joined_.get());
  }
  found_ = true;
}

std::optional<std::string> GetAttributeUtf8(Node element, const char* name) {
  AttributeValue value(element, name);
  if (!value) return std::nullopt;
  return std::string(*value);
}

double ConvertToDouble(std::string_view text) {
  bool overflow = false;
  auto v = platform::ParseDouble(text, &overflow);
  if (!v) {
    if (overflow) throw XmlServiceError(hresult::kOverflow, "Overflow converting \"" + std::string(text) + "\"");
    throw XmlServiceError(hresult::kTypeMismatch, "Type mismatch converting \"" + std::string(text) + "\"");
  }
  return *v;
}

int64_t ConvertToInteger(std::string_view text, int64_t min, int64_t max) {
  const double v = ConvertToDouble(text);
  if (std::isnan(v)) throw XmlServiceError(hresult::kTypeMismatch, "Type mismatch converting \"" + std::string(text) + "\"");
  // Fractions round to the nearest integer, halves to even.
  const double r = std::nearbyint(v);
  if (!(r >= static_cast<double>(min) && r <= static_cast<double>(max)))
    throw XmlServiceError(hresult::kOverflow, "Overflow converting \"" + std::string(text) + "\"");
  return static_cast<int64_t>(r);
}

namespace {
template <class T>
T GetInteger(Node element, const char* name, T defaultValue) {
  AttributeValue text(element, name);
  if (!text) return defaultValue;
  return static_cast<T>(ConvertToInteger(*text, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}
}  // namespace

int64_t GetAttributeInteger(Node element, const char* name, int64_t defaultValue, int64_t min, int64_t max) {
  AttributeValue text(element, name);
  return text ? ConvertToInteger(*text, min, max) : defaultValue;
}

int8_t GetAttributeInt8(Node e, const char* n, int8_t d) { return GetInteger(e, n, d); }
uint8_t GetAttributeUInt8(Node e, const char* n, uint8_t d) { return GetInteger(e, n, d); }
int16_t GetAttributeInt16(Node e, const char* n, int16_t d) { return GetInteger(e, n, d); }
uint16_t GetAttributeUInt16(Node e, const char* n, uint16_t d) { return GetInteger(e, n, d); }
int32_t GetAttributeInt32(Node e, const char* n, int32_t d) { return GetInteger(e, n, d); }
uint32_t GetAttributeUInt32(Node e, const char* n, uint32_t d) { return GetInteger(e, n, d); }

double GetAttributeDouble(Node element, const char* name, double defaultValue) {
  AttributeValue text(element, name);
  return text ? ConvertToDouble(*text) : defaultValue;
}

float GetAttributeFloat(Node element, const char* name, float defaultValue) {
  AttributeValue text(element, name);
  if (!text) return defaultValue;
  const double v = ConvertToDouble(*text);
  // A value rounds to the largest float up to half a unit in the last place
  // above it (so the text written for that float reads back); from there on
  // it would become infinite, which is an overflow.
  constexpr double kMax = std::numeric_limits<float>::max();
  const double limit = std::ldexp(2.0 - std::ldexp(1.0, -24), 127);
  if (std::isfinite(v) && std::fabs(v) >= limit)
    throw XmlServiceError(hresult::kOverflow, "Overflow converting \"" + std::string(*text) + "\"");
  if (std::isfinite(v) && std::fabs(v) > kMax) return static_cast<float>(v < 0 ? -kMax : kMax);
  return static_cast<float>(v);
}

std::string GetAttributeText(Node element, const char* name, std::string_view defaultValue) {
  AttributeValue text(element, name);
  return text ? DocumentTextToAnsi(*text, element, name) : std::string(defaultValue);
}

namespace {

// The first character other than U+FFFD in `utf8` that the code page cannot
// hold, or 0 (the rare second look, after U+FFFD was the first).
char32_t FirstUnfitButReplacement(std::string_view utf8) {
  constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string rest;
  for (size_t at = 0; at < utf8.size();) {
    const size_t next = std::min(utf8.find(kReplacement, at), utf8.size());
    rest.append(utf8.substr(at, next - at));
    at = next + (next < utf8.size() ? kReplacement.size() : 0);
  }
  char32_t unfit = 0;
  platform::Utf8ToAnsi(rest, &unfit);
  return unfit;
}

}  // namespace

std::string DocumentTextToAnsi(std::string_view utf8, Node element, const char* attribute) {
  char32_t unfit = 0;
  std::string ansi = platform::Utf8ToAnsi(utf8, &unfit);
  // U+FFFD is what a document says where a character was lost already (our
  // own export writes it for a control character): it is read as "?", so
  // such a document imports as it did.
  if (unfit == 0xFFFD) unfit = FirstUnfitButReplacement(utf8);
  if (unfit == 0) return ansi;
  char character[16];
  std::snprintf(character, sizeof character, "U+%04X", static_cast<unsigned>(unfit));
  std::string where = "element " + std::string(element && element->name ? C(element->name) : "");
  if (const long line = element ? xmlGetLineNo(element) : -1; line > 0) where += " (line " + std::to_string(line) + ")";
  const std::string what = attribute ? "the value of " + std::string(attribute) + " of " + where : "the text of " + where;
  throw Tsln2XmlException(kXmlServiceFailure, hresult::kNoMapping,
                          "The character " + std::string(character) + " in " + what + " has no form in code page " +
                              std::to_string(platform::ActiveCodePage()));
}

bool GetAttributeBool(Node element, const char* name, bool defaultValue) {
  AttributeValue text(element, name);
  if (!text) return defaultValue;
  std::string_view t = *text;
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.front() == '\n' || t.front() == '\r'))
    t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\n' || t.back() == '\r'))
    t.remove_suffix(1);
  return t == "true" || t == "1";
}

int32_t ScaleToInt32(double value, double scale) {
  // A reader writes stored / scale; multiplied back, that double can land one
  // unit in the last place below the stored integer (1/1000 of 2097151, for
  // one), and truncating would then lose a unit on every round trip. A product
  // that close to an integer is that integer; any other is truncated.
  const double raw = value * scale;
  const double nearest = std::nearbyint(raw);
  const double ulp = std::nextafter(std::fabs(nearest), HUGE_VAL) - std::fabs(nearest);
  const double product = std::fabs(raw - nearest) <= ulp ? nearest : std::trunc(raw);
  if (!(product >= std::numeric_limits<int32_t>::min() && product <= std::numeric_limits<int32_t>::max()))
    throw XmlServiceError(hresult::kOverflow, "Overflow scaling a value");
  return static_cast<int32_t>(product);
}

}  // namespace tsln2xml::xml
