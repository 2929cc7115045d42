#include "marker/marker_output.h"

#include "platform/code_page.h"

#include <algorithm>
#include <iterator>

namespace tsln2xml::marker {
namespace {

constexpr size_t kFlushSize = 1 << 16;
constexpr std::u16string_view kLineEnd = u"\r\n";

bool IsAscii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// ASCII that needs no escape and no replacement (AppendEscaped below).
bool IsPlain(std::string_view text) {
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 || (u < 0x20 && u != '\t' && u != '\n' && u != '\r') || u == '&' || u == '<' || u == '>' || u == '"')
      return false;
  }
  return true;
}

void AppendEscaped(std::u16string& out, char16_t c) {
  switch (c) {
    case u'&': out += u"&#38;"; return;
    case u'<': out += u"&#60;"; return;
    case u'>': out += u"&#62;"; return;
    case u'"': out += u"&#34;"; return;
    case u'\t':
    case u'\n':
    case u'\r': out += c; return;
    default: out += c < 0x20 ? u'\xFFFD' : c;
  }
}

}  // namespace

// Widened in pieces and appended a piece at a time, not a unit at a time:
// names and numbers are most of a marker document's text.
void MarkerTextWriter::Ascii(std::string_view text) {
  char16_t wide[64];
  while (!text.empty()) {
    const size_t n = std::min(text.size(), std::size(wide));
    for (size_t i = 0; i < n; ++i) wide[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    buffer_.append(wide, n);
    text.remove_prefix(n);
  }
}

void MarkerTextWriter::Escaped(std::string_view narrow) {
  if (IsPlain(narrow)) {
    Ascii(narrow);
    return;
  }
  if (IsAscii(narrow)) {
    for (char c : narrow) AppendEscaped(buffer_, static_cast<char16_t>(c));
    return;
  }
  wide_ = platform::AnsiToUtf16(narrow);
  for (char16_t c : wide_) AppendEscaped(buffer_, c);
}

void MarkerTextWriter::Indent(int depth) { buffer_.append(static_cast<size_t>(depth), u'\t'); }

void MarkerTextWriter::WriteDeclaration(const std::vector<MarkerElement::Attribute>& attributes) {
  Ascii("<?xml version=\"1.0\" ");
  for (const auto& [name, value] : attributes) {
    Ascii(name);
    Ascii("=\"");
    Escaped(value);
    Ascii("\" ");
  }
  Ascii("?>");
  buffer_ += kLineEnd;
}

void MarkerTextWriter::OpenTag(const MarkerElement& element, int depth) {
  Indent(depth);
  buffer_ += u'<';
  Ascii(element.Name());
  for (const auto& [name, value] : element.Attributes()) {
    buffer_ += u' ';
    Ascii(name);
    Ascii("=\"");
    Escaped(value);
    buffer_ += u'"';
  }
}

void MarkerTextWriter::WriteStartTag(const MarkerElement& element, int depth) {
  OpenTag(element, depth);
  buffer_ += u'>';
  buffer_ += kLineEnd;
}

void MarkerTextWriter::WriteEndTag(const MarkerElement& element, int depth) {
  Indent(depth);
  Ascii("</");
  Ascii(element.Name());
  buffer_ += u'>';
  buffer_ += kLineEnd;
  if (buffer_.size() >= kFlushSize) Flush();
}

void MarkerTextWriter::WriteElement(const MarkerElement& element, int depth) {
  if (!element.Children().empty()) {
    WriteStartTag(element, depth);
    for (const auto& child : element.Children()) WriteElement(child, depth + 1);
    WriteEndTag(element, depth);
    return;
  }
  OpenTag(element, depth);
  if (element.Text().empty()) {
    Ascii(" />");
  } else {
    buffer_ += u'>';
    Escaped(element.Text());
    Ascii("</");
    Ascii(element.Name());
    buffer_ += u'>';
  }
  buffer_ += kLineEnd;
  if (buffer_.size() >= kFlushSize) Flush();
}

void MarkerTextWriter::Flush() {
  if (buffer_.empty()) return;
  output_(buffer_);
  buffer_.clear();
}

void StreamingSink::Append(MarkerElement element) {
  if (!open_) {
    writer_.WriteStartTag(root_, 0);
    open_ = true;
  }
  writer_.WriteElement(element, 1);
}

void StreamingSink::Finish() {
  if (open_)
    writer_.WriteEndTag(root_, 0);
  else
    writer_.WriteElement(root_, 0);
  writer_.Flush();
}

}  // namespace tsln2xml::marker
