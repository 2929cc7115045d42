#include "xml/element_content.h"

#include "core/exception.h"
#include "platform/code_page.h"
#include "xml/attributes.h"
#include "xml/document_text.h"

namespace tsln2xml::xml {

namespace {

// Replaces the element's content by one text node holding `utf8`.
void SetTextUtf8(Node element, std::string_view utf8) {
  if (TextStream* stream = TextStream::Of(element)) {
    stream->Text(element, utf8);
    return;
  }
  // xmlNodeSetContent would read entity references in the text; a text node
  // keeps "&" and "<" as they are and escapes them when serialised.
  xmlNodeSetContent(element, nullptr);
  if (utf8.empty()) return;
  Node text = xmlNewDocTextLen(element->doc, X(utf8.data()), static_cast<int>(utf8.size()));
  if (!text || !xmlAddChild(element, text)) {
    xmlFreeNode(text);
    throw XmlServiceError(hresult::kOutOfMemory, "Out of memory setting an element's text");
  }
}

}  // namespace

// Control characters become U+FFFD, as in attribute values: written as they
// are, they would make a document that no parser accepts.
void SetElementText(Node element, std::string_view ansi) {
  if (!element) return;
  // Plain ASCII text is its own UTF-8; most texts need no replacement.
  if (platform::Utf8IdentityPrefix(ansi) == ansi.size() && HasOnlyXmlCharacters(ansi)) {
    SetTextUtf8(element, ansi);
    return;
  }
  const std::string utf8 = platform::AnsiToUtf8(ansi);
  SetTextUtf8(element, HasOnlyXmlCharacters(utf8) ? utf8 : XmlCharactersOnly(utf8));
}

std::string GetElementText(Node element) {
  if (!element) return {};
  RequireTree(element);
  // One plain ASCII text node (most element texts) is its own text: read in
  // place rather than gathered into an allocation and converted.
  const Node only = element->children;
  if (only && !only->next && only->type == XML_TEXT_NODE && only->content) {
    const std::string_view text(C(only->content));
    if (platform::Utf8IdentityPrefix(text) == text.size()) return std::string(text);
  }
  XmlCharPtr content(xmlNodeGetContent(element));
  return content ? DocumentTextToAnsi(C(content.get()), element, nullptr) : std::string();
}

namespace {

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::string Base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16 |
                       static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8 |
                       static_cast<uint8_t>(bytes[i + 2]);
    out += kBase64Alphabet[v >> 18];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += kBase64Alphabet[(v >> 6) & 63];
    out += kBase64Alphabet[v & 63];
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
    if (rest == 2) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    out += kBase64Alphabet[v >> 18];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool Base64Decode(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() / 4 * 3);
  uint32_t group = 0;
  int inGroup = 0;
  int padding = 0;
  for (char c : text) {
    if (IsXmlSpace(c)) continue;
    if (c == '=') {
      // Padding only completes the last group, after at least two characters.
      if (inGroup < 2) return false;
      ++padding;
      group <<= 6;
      if (++inGroup == 4) {
        out += static_cast<char>(group >> 16);
        if (padding == 1) out += static_cast<char>((group >> 8) & 0xFF);
        inGroup = 0;
      }
      continue;
    }
    const int v = Base64Value(c);
    if (v < 0 || padding > 0) return false;
    group = (group << 6) | static_cast<uint32_t>(v);
    if (++inGroup == 4) {
      out += static_cast<char>(group >> 16);
      out += static_cast<char>((group >> 8) & 0xFF);
      out += static_cast<char>(group & 0xFF);
      inGroup = 0;
      group = 0;
    }
  }
  return inGroup == 0;
}

void SetElementBytes(Node element, std::string_view bytes) {
  if (!element) return;
  // Plain ASCII bytes (the usual NC program) are their own text, checked in
  // one pass without converting them there and back.
  if (platform::Utf8IdentityPrefix(bytes) == bytes.size() && HasOnlyXmlCharacters(bytes)) {
    SetTextUtf8(element, bytes);
    return;
  }
  const std::string utf8 = platform::AnsiToUtf8(bytes);
  if (HasOnlyXmlCharacters(utf8) && platform::Utf8ToAnsi(utf8) == bytes) {
    SetTextUtf8(element, utf8);
    return;
  }
  SetAttributeUtf8(element, "Encoding", "base64");
  SetElementText(element, Base64Encode(bytes));
}

std::optional<std::string_view> ElementBytesView(Node element, std::string& storage) {
  RequireTree(element);
  const std::optional<std::string> encoding = GetAttributeUtf8(element, "Encoding");
  // One text node (the usual form) is read in place, not copied first.
  const Node only = element && element->children && !element->children->next &&
                            element->children->type == XML_TEXT_NODE
                        ? element->children
                        : nullptr;
  const std::string_view text = only && only->content ? std::string_view(C(only->content)) : std::string_view();
  if (!encoding) {
    if (only && platform::Utf8IdentityPrefix(text) == text.size()) return text;
    storage = only ? DocumentTextToAnsi(text, element, nullptr) : GetElementText(element);
    return storage;
  }
  if (*encoding != "base64") return std::nullopt;
  bool decoded = false;
  if (only) {
    decoded = Base64Decode(text, storage);
  } else {
    XmlCharPtr content(xmlNodeGetContent(element));
    decoded = Base64Decode(content ? C(content.get()) : "", storage);
  }
  if (!decoded) return std::nullopt;
  return storage;
}

void DropElementContent(Node element) {
  if (!element) return;
  RequireTree(element);
  xmlNodeSetContent(element, nullptr);
}

bool GetElementBytes(Node element, std::string& bytes) {
  const std::optional<std::string_view> view = ElementBytesView(element, bytes);
  if (view && view->data() != bytes.data()) bytes.assign(*view);
  return view.has_value();
}

std::vector<Node> ChildElements(Node parent, std::string_view nsUri) {
  std::vector<Node> children;
  if (!parent) return children;
  RequireTree(parent);
  for (Node c = parent->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && NamespaceOf(c) == nsUri) children.push_back(c);
  return children;
}

}  // namespace tsln2xml::xml
