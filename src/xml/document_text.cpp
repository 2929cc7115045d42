#include "xml/document_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <stdexcept>
#include <span>
#include <string_view>

#include "core/exception.h"
#include "platform/byte_scan.h"

namespace tsln2xml::xml {
namespace {

using Node = xmlNodePtr;

// libxml2 indents by two spaces a level, up to 30 levels.
constexpr int kMaxIndentLevels = 30;
constexpr std::string_view kIndent = "                                                            ";

// The longest text that stands for an escaped byte ("&quot;").
constexpr size_t kMaxEscape = 6;

// The text that stands for each byte that is escaped (empty: written as it
// is), and those bytes, for finding them sixteen bytes at a time.
struct EscapeTable {
  std::array<std::string_view, 256> text{};
  std::array<uint8_t, 7> bytes{};
  size_t count = 0;

  constexpr void Add(char byte, std::string_view escape) {
    if (escape.size() > kMaxEscape) throw "an escape longer than kMaxEscape";  // stops the build
    text[static_cast<uint8_t>(byte)] = escape;
    bytes[count++] = static_cast<uint8_t>(byte);
  }
  // Bit i set when byte i of the block is one to escape.
  uint32_t Places(const platform::ByteBlock& block) const {
    uint32_t found = 0;
    for (size_t i = 0; i < count; ++i) found |= block.Equal(bytes[i]);
    return found;
  }
};

constexpr EscapeTable MakeEscapes(bool attribute) {
  EscapeTable table;
  table.Add('<', "&lt;");
  table.Add('>', "&gt;");
  table.Add('&', "&amp;");
  table.Add('\r', "&#13;");
  if (attribute) {
    table.Add('\n', "&#10;");
    table.Add('\t', "&#9;");
    table.Add('"', "&quot;");
  }
  return table;
}
constexpr EscapeTable kTextEscapes = MakeEscapes(false);
constexpr EscapeTable kAttributeEscapes = MakeEscapes(true);

}  // namespace

class TextBuffer {
 public:
  // `storage` holds what is put until it is passed on; its size must leave
  // room for a block and an escape.
  TextBuffer(TextSink sink, void* context, std::span<char> storage)
      : sink_(sink), context_(context), buffer_(storage.data()), size_(storage.size()) {}

  void Put(std::string_view text) {
    if (text.empty()) return;  // an empty view may have no data to copy from
    if (text.size() > size_ - used_) {
      Flush();
      if (text.size() > size_) {
        Pass(text.data(), text.size());
        return;
      }
    }
    std::memcpy(buffer_ + used_, text.data(), text.size());
    used_ += text.size();
  }
  void Put(char c) {
    if (used_ == size_) Flush();
    buffer_[used_++] = c;
  }
  void Put(const xmlChar* text) { Put(std::string_view(C(text))); }
  // Everything put so far.
  size_t Total() const { return passed_ + used_; }
  // Hands everything put so far to the sink.
  void Drain() { Flush(); }
  // The sink's text was edited after Drain and changed its length by `delta`.
  void Edited(ptrdiff_t delta) { passed_ = static_cast<size_t>(static_cast<ptrdiff_t>(passed_) + delta); }

  void Indent(int level) { Put(kIndent.substr(0, 2 * static_cast<size_t>(std::min(level, kMaxIndentLevels)))); }

  // Text content: "<", ">", "&" and carriage returns escaped.
  void PutText(std::string_view text) { PutEscaped<kTextEscapes>(text); }
  // An attribute value between double quotes: white space other than the
  // space as character references, quotes and markup characters escaped.
  void PutAttributeValue(std::string_view text) { PutEscaped<kAttributeEscapes>(text); }

  bool Finish() {
    Flush();
    return ok_;
  }

 private:
  // Sixteen bytes at a time: each block is copied whole into the buffer and
  // kept up to its first byte to escape, if any; the escape follows, and the
  // next block starts after the escaped byte. The rest, shorter than a
  // block, byte by byte.
  // (The table is a template argument so that the test of a block unrolls.)
  template <const EscapeTable& escapes>
  void PutEscaped(std::string_view all) {
    constexpr size_t kBlock = platform::ByteBlock::kSize;
    size_t i = 0;
    for (; i + kBlock <= all.size();) {
      if (size_ - used_ < kBlock + kMaxEscape) Flush();
      const char* from = all.data() + i;
      std::memcpy(buffer_ + used_, from, kBlock);
      const uint32_t places = escapes.Places(platform::ByteBlock(from));
      if (!places) {
        used_ += kBlock;
        i += kBlock;
        continue;
      }
      const auto at = static_cast<size_t>(std::countr_zero(places));
      used_ += at;
      PutEscape(escapes.text[static_cast<uint8_t>(from[at])]);
      i += at + 1;
    }
    for (; i < all.size(); ++i) {
      const std::string_view escape = escapes.text[static_cast<uint8_t>(all[i])];
      if (escape.empty())
        Put(all[i]);
      else
        Put(escape);
    }
  }

  void PutEscape(std::string_view escape) {
    std::memcpy(buffer_ + used_, escape.data(), escape.size());
    used_ += escape.size();
  }

  void Flush() {
    Pass(buffer_, used_);
    used_ = 0;
  }
  void Pass(const char* data, size_t size) {
    passed_ += size;
    if (ok_ && size > 0) ok_ = sink_(context_, data, size);
  }

  TextSink sink_;
  void* context_;
  bool ok_ = true;
  size_t passed_ = 0;
  size_t used_ = 0;
  char* buffer_;
  size_t size_;
};

namespace {

// The serialiser's process-wide defaults, as a plain document is written.
bool DefaultSettings() {
  return xmlIndentTreeOutput && !xmlSaveNoEmptyTags && xmlTreeIndentString &&
         std::string_view(xmlTreeIndentString) == "  ";
}

// "<name" and the default namespace the element declares; false for
// anything else (a prefix), which is not ours to write.
bool PutNameAndNamespace(TextBuffer& out, Node element) {
  if (element->ns && element->ns->prefix) return false;
  out.Put('<');
  out.Put(element->name);
  for (xmlNsPtr ns = element->nsDef; ns; ns = ns->next) {
    if (ns->type != XML_LOCAL_NAMESPACE || ns->prefix || !ns->href || std::strchr(C(ns->href), '"')) return false;
    out.Put(" xmlns=\"");
    out.Put(ns->href);
    out.Put('"');
  }
  return true;
}

// Element start: "<name", the default namespace it declares, its attributes.
bool PutStartTag(TextBuffer& out, Node element) {
  if (!PutNameAndNamespace(out, element)) return false;
  for (xmlAttrPtr attr = element->properties; attr; attr = attr->next) {
    if (attr->type != XML_ATTRIBUTE_NODE || attr->ns) return false;
    out.Put(' ');
    out.Put(attr->name);
    out.Put("=\"");
    for (Node text = attr->children; text; text = text->next) {
      if (text->type != XML_TEXT_NODE) return false;
      if (text->content) out.PutAttributeValue(C(text->content));
    }
    out.Put('"');
  }
  return true;
}

// The element `root` and everything in it, walked as libxml2's serialiser
// walks it: children on lines of their own, indented by level, except inside
// an element that holds text, whose content is written as it is.
bool PutElement(TextBuffer& out, Node root) {
  bool indented = true;
  Node unindented = nullptr;  // the element whose text turned indenting off
  int level = 0;
  Node cur = root;
  Node parent = root->parent;
  while (true) {
    if (cur->type == XML_ELEMENT_NODE) {
      if (cur->parent != parent) return false;
      if (cur != root && indented) out.Indent(level);
      if (!PutStartTag(out, cur)) return false;
      if (!cur->children) {
        out.Put("/>");
      } else {
        if (indented) {
          for (Node c = cur->children; c; c = c->next) {
            if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE || c->type == XML_ENTITY_REF_NODE) {
              indented = false;
              unindented = cur;
              break;
            }
          }
        }
        out.Put('>');
        if (indented) out.Put('\n');
        ++level;
        parent = cur;
        cur = cur->children;
        continue;
      }
    } else if (cur->type == XML_TEXT_NODE && cur->name != xmlStringTextNoenc) {
      if (cur->content) out.PutText(C(cur->content));
    } else {
      return false;
    }
    // Past `cur`: its next sibling, or the end tags of the elements it closes.
    while (true) {
      if (cur == root) return true;
      if (indented) out.Put('\n');
      if (cur->next) {
        cur = cur->next;
        break;
      }
      cur = parent;
      parent = cur->parent;
      if (cur->type == XML_ELEMENT_NODE) {
        if (level > 0) --level;
        if (indented) out.Indent(level);
        out.Put("</");
        out.Put(cur->name);
        out.Put('>');
        if (cur == unindented) {
          indented = true;
          unindented = nullptr;
        }
      }
    }
  }
}

}  // namespace

PlainTextResult WritePlainText(xmlDocPtr doc, bool declareUtf8, TextSink sink, void* context) {
  if (!doc || !DefaultSettings() || !doc->version || std::string_view(C(doc->version)) != "1.0" ||
      doc->standalone >= 0 || doc->intSubset || doc->extSubset)
    return PlainTextResult::kNotPlain;
  char storage[64 * 1024];
  TextBuffer out(sink, context, storage);
  out.Put(declareUtf8 ? kUtf8Declaration : kPlainDeclaration);
  out.Put('\n');
  for (Node child = doc->children; child; child = child->next) {
    if (child->type != XML_ELEMENT_NODE || !PutElement(out, child)) return PlainTextResult::kNotPlain;
    out.Put('\n');
  }
  return out.Finish() ? PlainTextResult::kWritten : PlainTextResult::kSinkFailed;
}

namespace {

bool AppendToText(void* context, const char* data, size_t size) {
  static_cast<std::string*>(context)->append(data, size);
  return true;
}

}  // namespace

TextStream::TextStream() : out_(std::make_unique<TextBuffer>(AppendToText, &text_, storage_)) {
  out_->Put(kUtf8Declaration);
  out_->Put('\n');
}

TextStream::~TextStream() = default;

void TextStream::Reserve(size_t bytes) {
  try {
    text_.reserve(bytes);
  } catch (const std::bad_alloc&) {
    // Address space is not to be had: the text grows as it is written.
  } catch (const std::length_error&) {
  }
}

void TextStream::Root(Node element) {
  if (rooted_ || element->type != XML_ELEMENT_NODE) throw NotStreamable{};
  rooted_ = true;
  Start(element);
}

void TextStream::Append(Node parent, Node child) {
  if (child->type != XML_ELEMENT_NODE || child->children || child->properties) throw NotStreamable{};
  // The parent is open, and everything opened inside it since is complete.
  size_t depth = open_.size();
  while (depth > 0 && open_[depth - 1].element != parent) --depth;
  if (depth == 0) throw NotStreamable{};
  while (open_.size() > depth) CloseTop();
  Open& top = open_.back();
  if (top.state == State::kText) throw NotStreamable{};
  if (top.state == State::kStartTag) {
    out_->Put(">\n");
    top.state = State::kElements;
    attributes_.clear();
  }
  out_->Indent(static_cast<int>(open_.size()));
  Start(child);
}

TextStream::Open& TextStream::StartedElement(Node element) {
  if (open_.empty() || open_.back().element != element || open_.back().state != State::kStartTag)
    throw NotStreamable{};
  return open_.back();
}

void TextStream::Attribute(Node element, const char* name, std::string_view utf8) {
  StartedElement(element);
  // A prefixed name may stand for a namespace of the tree's.
  if (std::strchr(name, ':')) throw NotStreamable{};
  const xmlChar* dictName = xmlDictLookup(element->doc->dict, X(name), -1);
  if (!dictName) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory adding an attribute");
  const auto same = std::find_if(attributes_.begin(), attributes_.end(),
                                 [dictName](const WrittenAttribute& a) { return a.name == dictName; });
  if (same != attributes_.end()) {
    Replace(*same, utf8);
    return;
  }
  out_->Put(' ');
  out_->Put(dictName);
  out_->Put("=\"");
  const size_t start = out_->Total();
  out_->PutAttributeValue(utf8);
  attributes_.push_back({dictName, start, out_->Total()});
  out_->Put('"');
}

// A value given again replaces the first in its place, as in a tree: the
// start tag is still the end of the text.
void TextStream::Replace(WrittenAttribute& attribute, std::string_view utf8) {
  std::string value;
  {
    char storage[1024];
    TextBuffer escaped(AppendToText, &value, storage);
    escaped.PutAttributeValue(utf8);
    escaped.Finish();
  }
  out_->Drain();
  const size_t oldSize = attribute.end - attribute.start;
  text_.replace(attribute.start, oldSize, value);
  const auto delta = static_cast<ptrdiff_t>(value.size()) - static_cast<ptrdiff_t>(oldSize);
  out_->Edited(delta);
  attribute.end = attribute.start + value.size();
  for (WrittenAttribute* later = &attribute + 1; later != attributes_.data() + attributes_.size(); ++later) {
    later->start = static_cast<size_t>(static_cast<ptrdiff_t>(later->start) + delta);
    later->end = static_cast<size_t>(static_cast<ptrdiff_t>(later->end) + delta);
  }
}

void TextStream::Text(Node element, std::string_view utf8) {
  Open& open = StartedElement(element);
  if (utf8.empty()) return;  // no text node: the element stays empty
  out_->Put('>');
  const size_t before = out_->Total();
  out_->PutText(utf8);
  longestText_ = std::max(longestText_, out_->Total() - before);
  open.state = State::kText;
  attributes_.clear();
}

std::string TextStream::Finish(size_t& longestText) {
  // The settings a tree is written with, as WritePlainText requires them.
  if (!DefaultSettings()) throw NotStreamable{};
  if (!rooted_) return {};
  while (!open_.empty()) CloseTop();
  if (!out_->Finish()) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory writing a document");
  longestText = longestText_;
  return std::move(text_);
}

void TextStream::Start(Node element) {
  if (!PutNameAndNamespace(*out_, element)) throw NotStreamable{};
  open_.push_back({element, State::kStartTag});
  attributes_.clear();
}

// Closes the innermost open element, as the tree writer ends it: empty, after
// its text, or on a line of its own after its children; a line break follows.
void TextStream::CloseTop() {
  const Open top = open_.back();
  open_.pop_back();
  switch (top.state) {
    case State::kStartTag:
      out_->Put("/>");
      attributes_.clear();
      break;
    case State::kElements:
      out_->Indent(static_cast<int>(open_.size()));
      [[fallthrough]];
    case State::kText:
      out_->Put("</");
      out_->Put(top.element->name);
      out_->Put('>');
      break;
  }
  out_->Put('\n');
}

}  // namespace tsln2xml::xml
