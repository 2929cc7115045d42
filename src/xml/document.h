#pragma once
// The XML document of a conversion: created with its declaration, loaded from
// untrusted text, serialised to UTF-8 files and UTF-16 text, with elements in
// one namespace and child lookups by name in that namespace.

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "xml/document_text.h"
#include "xml/libxml.h"

namespace tsln2xml::xml {

using Node = xmlNodePtr;

// How a document is loaded: as a tree that may be changed and serialised
// back, or as a compact one for reading only (see ParseOptions::compact).
enum class Tree { kEditable, kCompact };
enum class LoadStatus { kOk, kUnreadable, kTooLarge, kNotWellFormed };

class Document {
 public:
  // An empty document: the declaration of version 1.0 and nothing else.
  Document();
  explicit Document(DocPtr doc) : doc_(std::move(doc)) {}
  // An empty document whose text is written as it is built (TextStream):
  // its attributes and text cannot be read back, and building it out of
  // order throws NotStreamable.
  static Document Streamed();

  // Parses untrusted UTF-8 text / a file's bytes (encoding detected from the
  // text). Return false (and leave the document as it was) on failure.
  bool LoadUtf8(std::string_view utf8, Tree tree = Tree::kEditable);
  bool LoadBytes(std::string_view bytes, Tree tree = Tree::kEditable);
  bool LoadUtf16(std::u16string_view text, Tree tree = Tree::kEditable);
  // Parses a file as it is read, a few kilobytes at a time, so that it is
  // never held whole; at most kMaxDocumentBytes are read. On failure the
  // document is left as it was.
  LoadStatus LoadFile(const std::string& path, Tree tree = Tree::kEditable);

  xmlDocPtr get() const { return doc_.get(); }
  Node Root() const { return doc_ ? xmlDocGetRootElement(doc_.get()) : nullptr; }
  // The document node, as parent for looking up the root element.
  Node AsNode() const { return reinterpret_cast<Node>(doc_.get()); }
  bool Empty() const { return Root() == nullptr; }

  // A new element called `name` in namespace `nsUri` (none when empty), not
  // yet attached. The first element created in a namespace declares it.
  Node CreateElement(std::string_view name, std::string_view nsUri);
  void SetRoot(Node element);

  // The whole document as UTF-8 with the declaration naming UTF-8, indented
  // when the document holds no text of its own.
  std::string SerializeUtf8() const;
  // The whole document as UTF-16 text; its declaration names no encoding,
  // since the caller decides how the text is stored.
  std::u16string SerializeUtf16() const;
  // Writes SerializeUtf8() to a file; false when the file cannot be written.
  bool SaveFile(const std::string& path) const;
  // For a streamed document: room for a text of about `bytes` (see
  // TextStream::Reserve); nothing for a tree.
  void ReserveText(size_t bytes) {
    if (stream_) stream_->Reserve(bytes);
  }
  // A streamed document's text as SerializeUtf8 would give it for the same
  // tree ("" without a root), and its longest run of text between two tags.
  std::string FinishText(size_t& longestText);

 private:
  DocPtr doc_;
  std::vector<std::pair<std::string, xmlNsPtr>> namespaces_;
  std::unique_ptr<TextStream> stream_;
};

Node AppendChild(Node parent, Node child);

// Writes `text` to a file as it is; false when the file cannot be written.
bool WriteTextFile(const std::string& path, std::string_view text);

// The child elements of `parent` called `name` in namespace `nsUri`, in
// document order. `name` may also be a relative path of such names separated
// by "/". Null parent: no nodes.
std::vector<Node> SelectNodes(Node parent, std::string_view name, std::string_view nsUri);
Node SelectSingleNode(Node parent, std::string_view name, std::string_view nsUri);

// The namespace URI of an element ("" when it has none).
std::string NamespaceOf(Node element);
std::string LocalName(Node element);

// The largest document read, whatever it comes from (a file, standard input
// or a string): 512 MB of text. Larger inputs are refused before they are
// read whole.
inline constexpr size_t kMaxDocumentBytes = size_t{512} << 20;

enum class ReadStatus { kOk, kUnreadable, kTooLarge };

// Reads a whole file of at most kMaxDocumentBytes.
ReadStatus ReadDocumentBytes(const std::string& path, std::string& out);
// Reads a stream to its end, stopping as soon as it exceeds kMaxDocumentBytes.
ReadStatus ReadStreamBytes(std::istream& in, std::string& out);
// Reads a whole file; false when it cannot be read or is too large.
bool ReadFileBytes(const std::string& path, std::string& out);

}  // namespace tsln2xml::xml
