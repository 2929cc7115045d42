#pragma once
// The text of a document made of elements, attributes and text only (every
// document this library builds), written in one pass through a buffer of
// our own: the same bytes as libxml2's indented serialiser writes for it,
// without that serialiser's bookkeeping per attribute and per piece of text.

#include <cstddef>

#include "xml/libxml.h"

namespace tsln2xml::xml {

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

}  // namespace tsln2xml::xml
