#pragma once
// Ownership of libxml2 objects. Everything that libxml2 allocates is held by
// one of these handles; no other code calls the libxml2 free functions.

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlschemas.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>
#include <libxml/xmlschemastypes.h>
#include <libxml/uri.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <memory>
#include <string>
#include <vector>

namespace tsln2xml::xml {

// Initialises libxml2 once per process (parser, schema types, our schema
// entity loader). Every entry point of the XML layer calls it.
void EnsureInitialised();

template <auto Free>
struct Deleter {
  template <class T>
  void operator()(T* p) const noexcept {
    if (p) Free(p);
  }
};

using DocPtr = std::unique_ptr<xmlDoc, Deleter<xmlFreeDoc>>;
using ParserCtxtPtr = std::unique_ptr<xmlParserCtxt, Deleter<xmlFreeParserCtxt>>;
using XPathContextPtr = std::unique_ptr<xmlXPathContext, Deleter<xmlXPathFreeContext>>;
using XPathObjectPtr = std::unique_ptr<xmlXPathObject, Deleter<xmlXPathFreeObject>>;
using SchemaPtr = std::unique_ptr<xmlSchema, Deleter<xmlSchemaFree>>;
using SchemaParserCtxtPtr = std::unique_ptr<xmlSchemaParserCtxt, Deleter<xmlSchemaFreeParserCtxt>>;
using SchemaValidCtxtPtr = std::unique_ptr<xmlSchemaValidCtxt, Deleter<xmlSchemaFreeValidCtxt>>;

inline void FreeXmlChar(xmlChar* p) { xmlFree(p); }
using XmlCharPtr = std::unique_ptr<xmlChar, Deleter<FreeXmlChar>>;

inline const xmlChar* X(const char* s) { return reinterpret_cast<const xmlChar*>(s); }
inline const char* C(const xmlChar* s) { return reinterpret_cast<const char*>(s); }

// While alive, libxml2's generic messages on this thread (those without a
// parser or validator context of their own, such as a loader's warnings) are
// collected here instead of being printed on the host's error stream. The
// previous handler is restored on destruction.
class GenericErrorCapture {
 public:
  GenericErrorCapture();
  ~GenericErrorCapture();
  GenericErrorCapture(const GenericErrorCapture&) = delete;
  GenericErrorCapture& operator=(const GenericErrorCapture&) = delete;
  const std::string& Text() const { return text_; }

 private:
  static void Collect(void* self, const char* format, ...);
  xmlGenericErrorFunc previous_;
  void* previousContext_;
  std::string text_;
};

// Parses untrusted text: no network, no DTD loading, no entity substitution;
// a document type declaration stops the parse. Text nodes may be of any
// length; nesting is bounded to 256 levels, attributes to 256 on an element
// (kMaxAttributes), attribute values to 10,000,000 bytes and names to 50,000.
// `encoding` forces the input encoding (nullptr: detect it from the text).
// Returns nullptr when the text is not a well-formed document.
// `elementLines`, when given, receives the line of each element's start tag
// (where it ends), in document order; the tree keeps lines past 65535 only
// approximately.
DocPtr ParseUntrusted(const char* data, size_t size, const char* encoding,
                      std::vector<long>* elementLines = nullptr);

struct ParseOptions {
  // As for ParseUntrusted above.
  std::vector<long>* elementLines = nullptr;
  // A smaller tree, quicker to build, for reading only: short texts are kept
  // inside their nodes (a text node of it must not be given new content),
  // and white space next to an element, between markup, is left out (a
  // schema's element content ignores it; serialised, the tree does not give
  // back the text's layout).
  bool compact = false;
};
// The same, reading the text through `read` (libxml2's input callback: up
// to `len` bytes into `buffer`, the count read, 0 at the end, -1 on error).
// A read error ends the parse as a document that is not well-formed.
DocPtr ParseUntrusted(xmlInputReadCallback read, void* context, const char* encoding, const ParseOptions& options);
DocPtr ParseUntrusted(const char* data, size_t size, const char* encoding, const ParseOptions& options);
// The most attributes (namespace declarations included) one element may
// have.
inline constexpr int kMaxAttributes = 256;
// Why the last ParseUntrusted of this thread refused a document beyond one
// of the bounds ("elements nested deeper than 256 levels"); null when the
// last parse was not refused for a bound.
const char* LastParseRefusal();

}  // namespace tsln2xml::xml
