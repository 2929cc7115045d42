#include "xml/element_content.h"

#include "framework/exception.h"
#include "platform/code_page.h"

namespace tsln2xml::xml {

void SetElementText(Node element, std::string_view ansi) {
  if (!element) return;
  const std::string utf8 = platform::AnsiToUtf8(ansi);
  // xmlNodeSetContent would read entity references in the text; a text node
  // keeps "&" and "<" as they are and escapes them when serialised.
  xmlNodeSetContent(element, nullptr);
  if (utf8.empty()) return;
  Node text = xmlNewDocTextLen(element->doc, X(utf8.c_str()), static_cast<int>(utf8.size()));
  if (!text || !xmlAddChild(element, text)) {
    xmlFreeNode(text);
    throw XmlServiceError(hresult::kOutOfMemory, "Out of memory setting an element's text");
  }
}

std::string GetElementText(Node element) {
  if (!element) return {};
  XmlCharPtr content(xmlNodeGetContent(element));
  return content ? platform::Utf8ToAnsi(C(content.get())) : std::string();
}

std::vector<Node> ChildElements(Node parent, std::string_view nsUri) {
  std::vector<Node> children;
  if (!parent) return children;
  for (Node c = parent->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE && NamespaceOf(c) == nsUri) children.push_back(c);
  return children;
}

}  // namespace tsln2xml::xml
