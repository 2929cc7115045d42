#include "xml/libxml.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <mutex>

#include "xml/schema.h"

namespace tsln2xml::xml {
namespace {

// A document type declaration is refused outright: entity declarations left
// in the tree would be expanded later, during validation.
void RefuseDoctype(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
  ctxt->_private = reinterpret_cast<void*>(1);
  xmlStopParser(ctxt);
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

DocPtr ParseUntrusted(const char* data, size_t size, const char* encoding) {
  EnsureInitialised();
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) return nullptr;
  ParserCtxtPtr ctxt(xmlNewParserCtxt());
  if (!ctxt) return nullptr;
  ctxt->sax->internalSubset = RefuseDoctype;
  ctxt->_private = nullptr;
  int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;
  if (encoding) options |= XML_PARSE_IGNORE_ENC;
  xmlCtxtUseOptions(ctxt.get(), options);
  DocPtr doc(xmlCtxtReadMemory(ctxt.get(), data, static_cast<int>(size), nullptr, encoding, options));
  if (!doc || !ctxt->wellFormed || ctxt->_private != nullptr || xmlDocGetRootElement(doc.get()) == nullptr)
    return nullptr;
  return doc;
}

}  // namespace tsln2xml::xml
