#pragma once
// The text content of an element, for documents that carry a value as an
// element's text rather than as an attribute. Narrow texts are in the ANSI
// code page, as attribute texts are.

#include <string>
#include <string_view>

#include "xml/document.h"

namespace tsln2xml::xml {

// Replaces the element's content by one text node holding `ansi` (escaped on
// output like any text).
void SetElementText(Node element, std::string_view ansi);
// The element's text (all its text descendants), converted to the ANSI code
// page; "" for a null element.
std::string GetElementText(Node element);

}  // namespace tsln2xml::xml
