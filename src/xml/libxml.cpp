#include "xml/libxml.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>

#include "xml/schema.h"

namespace tsln2xml::xml {
namespace {

// XML_PARSE_HUGE lets a text node grow past 10,000,000 bytes (a large NC
// program is one text). It also lifts libxml2's other limits, which are kept
// here instead: the nesting depth, the length of attribute values and of
// names. Its entity amplification guard is not needed: a document type
// declaration is refused before any entity can be declared, so only the
// predefined entities and character references exist.
constexpr int kMaxDepth = 256;
constexpr size_t kMaxAttributeValue = 10'000'000;
constexpr size_t kMaxName = 50'000;

struct ParseState {
  startElementNsSAX2Func startElement = nullptr;
  bool refused = false;
  std::vector<long>* elementLines = nullptr;
};

thread_local const char* tLastRefusal = nullptr;

void Refuse(xmlParserCtxtPtr ctxt, const char* why) {
  static_cast<ParseState*>(ctxt->_private)->refused = true;
  tLastRefusal = why;
  xmlStopParser(ctxt);
}

// A document type declaration is refused outright: entity declarations left
// in the tree would be expanded later, during validation.
void RefuseDoctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  Refuse(static_cast<xmlParserCtxtPtr>(ctx), "a document type declaration is not accepted");
}

// Checks the bounds before the element is built. The attributes come as
// five pointers each: local name, prefix, URI, value, end of value.
void BoundedStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                         int nbNamespaces, const xmlChar** namespaces, int nbAttributes, int nbDefaulted,
                         const xmlChar** attributes) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  const char* why = nullptr;
  if (ctxt->nameNr >= kMaxDepth) why = "elements nested deeper than 256 levels";
  if (xmlStrlen(localname) > static_cast<int>(kMaxName)) why = "a name longer than 50,000 bytes";
  for (int i = 0; !why && i < nbAttributes; ++i) {
    const xmlChar* const* a = attributes + 5 * i;
    if (xmlStrlen(a[0]) > static_cast<int>(kMaxName)) why = "a name longer than 50,000 bytes";
    if (static_cast<size_t>(a[4] - a[3]) > kMaxAttributeValue) why = "an attribute value longer than 10,000,000 bytes";
  }
  if (why) {
    Refuse(ctxt, why);
    return;
  }
  auto* state = static_cast<ParseState*>(ctxt->_private);
  state->startElement(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes, nbDefaulted, attributes);
  if (state->elementLines && ctxt->input) state->elementLines->push_back(ctxt->input->line);
}

// White space that the parser finds between markup (it has checked that the
// text is all white space and that markup follows): left out of the tree when
// an element is on either side. Such white space is either in element-only
// content, where the schema ignores it, or beside a child element that the
// schema refuses anyway (no schema of ours has mixed content); no converter
// reads it. White space next to comments and other text is kept.
void SpaceBetweenElements(void* ctx, const xmlChar* ch, int len) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  const xmlNode* before = ctxt->node ? ctxt->node->last : nullptr;
  const xmlChar* next = ctxt->input ? ctxt->input->cur : nullptr;
  // What follows the "<" may not be read yet (the end of the text read so
  // far): then the white space is kept.
  const bool elementFollows =
      next && next[0] == '<' && next[1] != '\0' && next[1] != '/' && next[1] != '!' && next[1] != '?';
  if ((before && before->type == XML_ELEMENT_NODE) || elementFollows) return;
  xmlSAX2Characters(ctx, ch, len);
}

struct MemoryInput {
  const char* data;
  size_t left;
};

int ReadMemoryInput(void* context, char* buffer, int len) {
  auto* input = static_cast<MemoryInput*>(context);
  const size_t n = std::min(input->left, static_cast<size_t>(std::max(len, 0)));
  if (n) std::memcpy(buffer, input->data, n);
  input->data += n;
  input->left -= n;
  return static_cast<int>(n);
}

}  // namespace

GenericErrorCapture::GenericErrorCapture()
    : previous_(xmlGenericError), previousContext_(xmlGenericErrorContext) {
  xmlSetGenericErrorFunc(this, &GenericErrorCapture::Collect);
}

GenericErrorCapture::~GenericErrorCapture() { xmlSetGenericErrorFunc(previousContext_, previous_); }

void GenericErrorCapture::Collect(void* self, const char* format, ...) {
  auto* capture = static_cast<GenericErrorCapture*>(self);
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  // Kept short: a message that quotes what it failed on must not carry a
  // whole file or value along.
  if (n > 0 && capture->text_.size() < 2048) capture->text_.append(buffer, std::min<size_t>(n, sizeof buffer - 1));
}

void EnsureInitialised() {
  static std::once_flag once;
  std::call_once(once, [] {
    xmlInitParser();
    xmlSchemaInitTypes();
    InstallSchemaEntityLoader();
  });
}

const char* LastParseRefusal() { return tLastRefusal; }

DocPtr ParseUntrusted(xmlInputReadCallback read, void* context, const char* encoding, const ParseOptions& options) {
  EnsureInitialised();
  tLastRefusal = nullptr;
  ParserCtxtPtr ctxt(xmlNewParserCtxt());
  if (!ctxt || !ctxt->sax) return nullptr;
  ParseState state;
  state.startElement = ctxt->sax->startElementNs;
  state.elementLines = options.elementLines;
  ctxt->sax->internalSubset = RefuseDoctype;
  ctxt->sax->startElementNs = BoundedStartElement;
  ctxt->_private = &state;
  // HUGE only together with the two refusals above (see ParseState).
  int flags = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES | XML_PARSE_HUGE;
  if (encoding) flags |= XML_PARSE_IGNORE_ENC;
  if (options.compact) {
    // Short texts (most values) are kept inside their nodes instead of in
    // allocations of their own, and white space between elements is left out.
    flags |= XML_PARSE_COMPACT;
    ctxt->sax->ignorableWhitespace = SpaceBetweenElements;
  }
  xmlCtxtUseOptions(ctxt.get(), flags);
  // libxml2 asks the callback for a few kilobytes at a time and drops what
  // it has parsed, so the text is never held whole.
  DocPtr doc(xmlCtxtReadIO(ctxt.get(), read, nullptr, context, nullptr, encoding, flags));
  ctxt->_private = nullptr;
  if (!doc || !ctxt->wellFormed || state.refused || xmlDocGetRootElement(doc.get()) == nullptr) return nullptr;
  return doc;
}

DocPtr ParseUntrusted(const char* data, size_t size, const char* encoding, const ParseOptions& options) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) return nullptr;
  // Read through a callback in pieces: libxml2 copies a memory input whole
  // before parsing it.
  MemoryInput input{data, size};
  return ParseUntrusted(ReadMemoryInput, &input, encoding, options);
}

DocPtr ParseUntrusted(const char* data, size_t size, const char* encoding, std::vector<long>* elementLines) {
  return ParseUntrusted(data, size, encoding, ParseOptions{elementLines, false});
}

}  // namespace tsln2xml::xml
