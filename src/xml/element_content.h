#pragma once
// The content of an element: its text, for documents that carry a value as
// an element's text rather than as an attribute (narrow texts are in the
// ANSI code page, as attribute texts are), and its child elements.

#include <optional>
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

// Element text that carries raw item bytes (NC data, labeller data, texts of
// plot annotations). The bytes go out as plain text when they come back
// unchanged through the code page and every character is one that XML 1.0
// allows (a carriage return is written as a character reference, so CRLF
// lines survive); otherwise the element gets Encoding="base64" and the bytes
// in base64 on one line.
void SetElementBytes(Node element, std::string_view bytes);
// The bytes of such an element: decoded when its Encoding is "base64" (white
// space ignored), else its text in the code page. False when the base64 is
// malformed or the Encoding is another value.
bool GetElementBytes(Node element, std::string& bytes);
// The same bytes without a copy where the element's one text node is them
// already (no Encoding, plain ASCII): a view of that text, valid while the
// node lives; otherwise a view of `storage`, which holds them decoded.
std::optional<std::string_view> ElementBytesView(Node element, std::string& storage);
// Frees the element's content (a long text that has been copied where it
// goes), so that its memory is given back before the conversion goes on.
void DropElementContent(Node element);

std::string Base64Encode(std::string_view bytes);
// Standard alphabet with "=" padding; white space anywhere is skipped.
bool Base64Decode(std::string_view text, std::string& out);

// The child elements of `parent` in namespace `nsUri`, whatever their names,
// in document order; none for a null parent.
std::vector<Node> ChildElements(Node parent, std::string_view nsUri);

}  // namespace tsln2xml::xml
