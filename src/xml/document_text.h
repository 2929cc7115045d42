#pragma once
// The text of a document made of elements, attributes and text only (every
// document this library builds), written in one pass through a buffer of
// our own: the same bytes as libxml2's indented serialiser writes for it,
// without that serialiser's bookkeeping per attribute and per piece of text;
// either from a finished tree or while the document is built (TextStream).

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/libxml.h"

namespace tsln2xml::xml {

// The declarations a document's text starts with (a line break follows):
// naming UTF-8 for files, naming no encoding for strings, whose caller
// decides how they are stored.
inline constexpr std::string_view kUtf8Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
inline constexpr std::string_view kPlainDeclaration = "<?xml version=\"1.0\"?>";

// UTF-8 document text as the text of a string: UTF-16, its declaration
// naming no encoding.
std::u16string ToStringText(std::string utf8);

// Takes the next piece of text; false when it cannot (a full disk).
using TextSink = bool (*)(void* context, const char* data, size_t size);

enum class PlainTextResult {
  kWritten,
  // The document holds something else (a comment, a prefix, a document
  // type, changed serialiser defaults): whatever reached the sink is to be
  // discarded and the document written by libxml2 instead.
  kNotPlain,
  kSinkFailed,
};

// Writes `doc` indented, with a declaration that names UTF-8 when
// `declareUtf8` (else just the version), as xmlSaveFormatFileTo and
// xmlDocDumpFormatMemoryEnc write it with encoding "UTF-8".
PlainTextResult WritePlainText(xmlDocPtr doc, bool declareUtf8, TextSink sink, void* context);

// Thrown by a document written as it is built (TextStream) when it is built
// in an order its text cannot follow (an attribute after the element's
// children, an element appended to one already closed, text beside elements)
// or read back: the caller builds it again as a tree.
struct NotStreamable {};

class TextBuffer;

// The text of a document written while the document is built, the same
// bytes as WritePlainText writes for the finished tree. Its elements are
// nodes of their own document (so that every handle a converter holds stays
// valid), but attributes and text go straight into the text, never into the
// tree: an element's start tag is written when it is appended, its
// attributes until its first child or text (a value given again replaces the
// first in its place), and it is closed when an element is appended to one
// of its ancestors or the text is finished.
class TextStream {
 public:
  TextStream();
  ~TextStream();
  TextStream(const TextStream&) = delete;
  TextStream& operator=(const TextStream&) = delete;

  // The stream of the document `node` belongs to; null for a tree.
  static TextStream* Of(const xmlNode* node) {
    return node && node->doc ? static_cast<TextStream*>(node->doc->_private) : nullptr;
  }

  // Room for a text of about `bytes`, taken only as it is written: the text
  // is then never copied to grow. Without that room it grows as it must.
  void Reserve(size_t bytes);
  void Root(xmlNodePtr element);
  void Append(xmlNodePtr parent, xmlNodePtr child);
  void Attribute(xmlNodePtr element, const char* name, std::string_view utf8);
  void Text(xmlNodePtr element, std::string_view utf8);
  // Closes every open element; the whole text with a declaration naming
  // UTF-8, or "" when no root was set, and the longest run of text between
  // two tags.
  std::string Finish(size_t& longestText);

 private:
  enum class State { kStartTag, kElements, kText };
  struct Open {
    xmlNodePtr element;
    State state;
  };
  struct WrittenAttribute {
    const xmlChar* name;  // from the document's dictionary
    size_t start, end;    // its value's place in the text
  };
  void Start(xmlNodePtr element);
  void Replace(WrittenAttribute& attribute, std::string_view utf8);
  void CloseTop();
  // The open element being started, or NotStreamable.
  Open& StartedElement(xmlNodePtr element);

  std::string text_;
  // What the text buffer holds before it goes to `text_`: small, so that the
  // stream of a small document costs no large block to allocate and free.
  std::array<char, 16 * 1024> storage_;
  std::unique_ptr<TextBuffer> out_;
  std::vector<Open> open_;
  std::vector<WrittenAttribute> attributes_;  // those of the start tag being written
  size_t longestText_ = 0;
  bool rooted_ = false;
};

// For the functions that read a document: a streamed one has no attributes
// or text to read, so reading it is building it out of order.
inline void RequireTree(const xmlNode* node) {
  if (TextStream::Of(node)) throw NotStreamable{};
}

}  // namespace tsln2xml::xml
