#pragma once
// The content of an element: its text, for documents that carry a value as
// an element's text rather than as an attribute (narrow texts are in the
// ANSI code page, as attribute texts are), and its child elements.

#include <string>
#include <string_view>
#include <vector>

#include "xml/document.h"

namespace tsln2xml::xml {

// Replaces the element's content by one text node holding `ansi` (escaped on
// output like any text).
void SetElementText(Node element, std::string_view ansi);
// The element's text (all its text descendants), converted to the ANSI code
// page; "" for a null element.
std::string GetElementText(Node element);

// The child elements of `parent` in namespace `nsUri`, whatever their names,
// in document order; none for a null parent.
std::vector<Node> ChildElements(Node parent, std::string_view nsUri);

}  // namespace tsln2xml::xml
