#pragma once
// The text of a marker document: an XML declaration, then elements one per
// line, indented with one tab per level, lines ended by CR LF, empty elements
// written "<name ... />". Narrow names, values and texts reach the UTF-16
// output through the ANSI code page.
//
// Texts and attribute values are escaped so that the document is always
// well-formed: "&", "<", ">" and the double quote become the character
// references "&#38;", "&#60;", "&#62;" and "&#34;"; control characters that
// XML cannot carry at all (below U+0020 other than tab, line feed and carriage
// return) become U+FFFD.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "marker/marker_element.h"
#include "marker/marker_writer.h"

namespace tsln2xml::marker {

class MarkerTextWriter {
 public:
  // Receives the text in pieces, in order.
  using Output = std::function<void(std::u16string_view)>;
  explicit MarkerTextWriter(Output output) : output_(std::move(output)) {}

  // "<?xml version="1.0" " then each attribute as name="value" and a blank,
  // then "?>" and CR LF.
  void WriteDeclaration(const std::vector<MarkerElement::Attribute>& attributes);
  // An element and everything in it, at nesting depth `depth`.
  void WriteElement(const MarkerElement& element, int depth);
  // The start tag of an element whose children follow, and its end tag.
  void WriteStartTag(const MarkerElement& element, int depth);
  void WriteEndTag(const MarkerElement& element, int depth);
  // Hands the buffered text to the output.
  void Flush();

 private:
  void Ascii(std::string_view text);
  void Indent(int depth);
  void OpenTag(const MarkerElement& element, int depth);
  void Escaped(std::string_view narrow);

  Output output_;
  std::u16string buffer_;
  std::u16string wide_;  // scratch for non-ASCII text
};

// Writes the root element around the children as they arrive, so that a
// marker's document never has to be held in memory whole. The root is
// written "<marker ... />" when no child arrives.
class StreamingSink : public ElementSink {
 public:
  StreamingSink(MarkerTextWriter& writer, const MarkerElement& root) : writer_(writer), root_(root) {}
  void Append(MarkerElement element) override;
  // Closes the root element and flushes.
  void Finish();

 private:
  MarkerTextWriter& writer_;
  const MarkerElement& root_;
  bool open_ = false;
};

}  // namespace tsln2xml::marker
