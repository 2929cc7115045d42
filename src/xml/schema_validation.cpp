// Schema services, second part: validation of a converter's document, or of
// its streamed text, against a compiled schema set, and the report on the
// first error with its line and position in the serialised document.

#include "xml/schema.h"

#include <algorithm>
#include <cstring>

#include "core/exception.h"
#include "platform/code_page.h"
#include "xml/schema_internal.h"

namespace tsln2xml::xml {

using namespace schema_internal;

namespace {

// A message quotes the value it failed on; a value of megabytes is cut to
// its first kMaxQuoted bytes (after whole UTF-8 characters) and "...".
constexpr size_t kMaxQuoted = 200;

std::string CutQuotedValues(std::string_view message) {
  std::string out;
  size_t at = 0;
  while (at < message.size()) {
    const size_t open = message.find('\'', at);
    if (open == std::string_view::npos) break;
    const size_t close = message.find('\'', open + 1);
    if (close == std::string_view::npos) break;
    out.append(message.substr(at, open + 1 - at));
    std::string_view value = message.substr(open + 1, close - open - 1);
    if (value.size() > kMaxQuoted) {
      size_t cut = kMaxQuoted;
      while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
      out.append(value.substr(0, cut)).append("...");
    } else {
      out.append(value);
    }
    out.push_back('\'');
    at = close + 1;
  }
  out.append(message.substr(std::min(at, message.size())));
  // A quote inside a value can pair the quotes wrongly: the whole message is
  // bounded too.
  constexpr size_t kMaxMessage = 4 * kMaxQuoted;
  if (out.size() > kMaxMessage) {
    size_t cut = kMaxMessage;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
    out.resize(cut);
    out += "...\n";
  }
  return out;
}

}  // namespace

void schema_internal::CaptureError(void* ctx, xmlErrorPtr error) {
  auto* first = static_cast<FirstError*>(ctx);
  if (first->set || !error) return;
  first->set = true;
  first->code = error->code;
  first->line = error->line;
  first->column = error->int2;
  first->node = static_cast<xmlNodePtr>(error->node);
  first->message = CutQuotedValues(error->message ? error->message : "unknown error");
  if (first->message.empty() || first->message.back() != '\n') first->message += '\n';
}

std::string ValidationReport(const std::string& reason, int code, int line, int linePos, long filePos,
                             const std::string& source) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%2X", static_cast<unsigned>(code));
  std::string report = "XML Validation Error:\n";
  report += "Reason: " + reason;
  report += "errorCode: 0x" + std::string(hex) + "\n";
  report += "line: " + std::to_string(line) + "\n";
  report += "linePos: " + std::to_string(linePos) + "\n";
  report += "filePos: " + std::to_string(filePos) + "\n";
  if (!source.empty()) report += "Source: " + source;
  return report;
}

namespace {

// Validates serialised text as a stream, which gives the line and position
// of the first error in that text.
FirstError ValidateText(const std::string& text, const SchemaSet& set) {
  FirstError error;
  SchemaValidCtxtPtr vctxt(xmlSchemaNewValidCtxt(set.get()));
  if (!vctxt) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory validating");
  xmlSchemaSetValidStructuredErrors(vctxt.get(), CaptureError, &error);
  // The validator takes the buffer over and frees it.
  xmlParserInputBufferPtr input =
      xmlParserInputBufferCreateMem(text.data(), static_cast<int>(text.size()), XML_CHAR_ENCODING_UTF8);
  if (!input) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory validating");
  error.invalid = xmlSchemaValidateStream(vctxt.get(), input, XML_CHAR_ENCODING_UTF8, nullptr, nullptr) != 0;
  return error;
}

// The same check as ValidateText, through a parser of our own: the stream
// validator's parser stops at 10,000,000 bytes of input, which a document of
// ours may well have, and copies the text first. Only the validator's
// handlers are plugged in, so nothing is built.
FirstError ValidateWholeText(const std::string& text, const SchemaSet& set) {
  FirstError error;
  SchemaValidCtxtPtr vctxt(xmlSchemaNewValidCtxt(set.get()));
  if (!vctxt) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory validating");
  xmlSchemaSetValidStructuredErrors(vctxt.get(), CaptureError, &error);
  // Handed over a piece at a time: a memory parser would copy the whole text.
  struct Pieces {
    std::string_view rest;
    static int Read(void* context, char* buffer, int len) {
      auto* self = static_cast<Pieces*>(context);
      const size_t n = std::min(self->rest.size(), static_cast<size_t>(std::max(len, 0)));
      std::memcpy(buffer, self->rest.data(), n);
      self->rest.remove_prefix(n);
      return static_cast<int>(n);
    }
  } pieces{text};
  ParserCtxtPtr parser(
      xmlCreateIOParserCtxt(nullptr, nullptr, Pieces::Read, nullptr, &pieces, XML_CHAR_ENCODING_UTF8));
  if (!parser || !parser->sax) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory validating");
  xmlCtxtUseOptions(parser.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES |
                                       XML_PARSE_HUGE);
  *parser->sax = xmlSAXHandler{};
  parser->sax->initialized = XML_SAX2_MAGIC;
  parser->userData = nullptr;
  parser->linenumbers = 1;
  xmlSchemaSAXPlugPtr plug = xmlSchemaSAXPlug(vctxt.get(), &parser->sax, &parser->userData);
  if (!plug) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory validating");
  xmlParseDocument(parser.get());
  xmlSchemaSAXUnplug(plug);
  error.invalid = !parser->wellFormed || xmlSchemaIsValid(vctxt.get()) != 1;
  return error;
}

// Stream validation collects an element's text by appending each piece the
// parser hands over (a few hundred bytes) to everything before it, measuring
// that again each time: a text of megabytes takes minutes. Text of that
// size is located instead by validating the tree parsed back from the
// serialised text, which gives the line of the node at fault.
constexpr size_t kStreamTextLimit = 64 * 1024;

// The longest run of characters between a ">" and the next "<".
size_t LongestTextRun(std::string_view text) {
  size_t longest = 0;
  for (size_t close = text.find('>'); close != std::string_view::npos;) {
    const size_t open = text.find('<', close + 1);
    longest = std::max(longest, (open == std::string_view::npos ? text.size() : open) - close - 1);
    if (open == std::string_view::npos) break;
    close = text.find('>', open);
  }
  return longest;
}

FirstError ValidateParsedBack(const std::string& text, const SchemaSet& set) {
  FirstError error;
  std::vector<long> lines;
  DocPtr doc = ParseUntrusted(text.data(), text.size(), "UTF-8", &lines);
  if (!doc) {
    error.invalid = true;
    return error;
  }
  SchemaValidCtxtPtr vctxt(xmlSchemaNewValidCtxt(set.get()));
  if (!vctxt) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory validating");
  xmlSchemaSetValidStructuredErrors(vctxt.get(), CaptureError, &error);
  error.invalid = xmlSchemaValidateDoc(vctxt.get(), doc.get()) != 0;
  // The line of the element at fault, found by its place in document order.
  xmlNodePtr at = error.node;
  while (at && at->type != XML_ELEMENT_NODE) at = at->parent;
  size_t index = 0;
  for (xmlNodePtr n = xmlDocGetRootElement(doc.get()); at && n;) {
    if (n == at) {
      if (index < lines.size()) error.line = static_cast<int>(lines[index]);
      break;
    }
    ++index;
    if (xmlNodePtr child = xmlFirstElementChild(n)) {
      n = child;
      continue;
    }
    while (n && !xmlNextElementSibling(n)) n = n->parent && n->parent->type == XML_ELEMENT_NODE ? n->parent : nullptr;
    if (n) n = xmlNextElementSibling(n);
  }
  error.node = nullptr;  // it belongs to the tree freed here
  return error;
}

// Position of `line` (1-based) and the text of that line.
void LocateLine(const std::string& text, int line, long& lineStart, std::string& lineText) {
  size_t start = 0;
  for (int l = 1; l < line; ++l) {
    const size_t nl = text.find('\n', start);
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  size_t end = text.find('\n', start);
  if (end == std::string::npos) end = text.size();
  lineText = text.substr(start, end - start);
  while (!lineText.empty() && (lineText.back() == '\r')) lineText.pop_back();
  // A line of megabytes (a long text on one line) is cut for the report to a
  // few hundred bytes, after whole UTF-8 characters.
  constexpr size_t kMaxSource = 400;
  if (lineText.size() > kMaxSource) {
    size_t cut = kMaxSource;
    while (cut > 0 && (static_cast<unsigned char>(lineText[cut]) & 0xC0) == 0x80) --cut;
    lineText.resize(cut);
  }
  lineStart = static_cast<long>(start);
}

// The first error in a document's serialised text, found by validating the
// text itself (the whole verdict is in `invalid`).
FirstError FirstErrorInText(const std::string& text, size_t longestText, const SchemaSet& set) {
  return longestText <= kStreamTextLimit ? ValidateText(text, set) : ValidateParsedBack(text, set);
}

}  // namespace

std::string schema_internal::ReportAt(const std::string& text, FirstError error) {
  long lineStart = 0;
  std::string source;
  LocateLine(text, error.line, lineStart, source);
  // A tree gives no position on the line: the start of the line's markup.
  if (error.column <= 0) error.column = static_cast<int>(std::min(source.find_first_not_of(" \t"), source.size())) + 1;
  const std::u16string before = platform::Utf8ToUtf16(std::string_view(text).substr(0, lineStart));
  const long filePos = static_cast<long>(before.size()) + error.column;
  return ValidationReport(platform::Utf8ToAnsi(error.message), error.code, error.line, error.column, filePos,
                          platform::Utf8ToAnsi(source));
}

std::optional<std::string> FindValidationError(const Document& doc, const SchemaSet& set) {
  FirstError domError;
  {
    SchemaValidCtxtPtr vctxt(xmlSchemaNewValidCtxt(set.get()));
    if (!vctxt) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory validating");
    xmlSchemaSetValidStructuredErrors(vctxt.get(), CaptureError, &domError);
    const int rc = xmlSchemaValidateDoc(vctxt.get(), doc.get());
    if (rc == 0) return std::nullopt;
    if (rc < 0 && !domError.set) throw XmlServiceError(hresult::kFail, "Internal error of the schema validator");
  }
  // The document is invalid: find the first error again in the serialised
  // text, where it has a line and a position.
  const std::string text = doc.SerializeUtf8();
  FirstError error = FirstErrorInText(text, LongestTextRun(text), set);
  if (!error.set) error = domError;
  return ReportAt(text, error);
}

std::optional<FirstError> schema_internal::FirstTextError(const std::string& text, size_t longestText,
                                                          const SchemaSet& set) {
  const bool stream = longestText <= kStreamTextLimit;
  FirstError error = stream ? ValidateWholeText(text, set) : ValidateParsedBack(text, set);
  if (!error.invalid) return std::nullopt;
  // The report names the place as it does for a tree's text.
  if (stream) {
    if (FirstError located = ValidateText(text, set); located.set) error = located;
  }
  if (!error.set) throw XmlServiceError(hresult::kFail, "Internal error of the schema validator");
  return error;
}

void ValidateDocumentText(const std::string& text, size_t longestText, std::string_view nsUri) {
  const auto set = SchemaSetForNamespace(nsUri);
  if (auto error = FirstTextError(text, longestText, *set)) throw Tsln2XmlException(kSchemaFailure, ReportAt(text, *error));
}

void ValidateAgainst(const Document& doc, const SchemaSet& set) {
  if (doc.Empty()) throw Tsln2XmlException(kSchemaFailure, "XML Document not Loaded.");
  if (auto report = FindValidationError(doc, set)) throw Tsln2XmlException(kSchemaFailure, *report);
}

void ValidateDocument(const Document& doc) {
  if (!doc.get()) throw Tsln2XmlException(kSchemaFailure, "XML Document not created.");
  if (doc.Empty()) throw Tsln2XmlException(kSchemaFailure, "XML Document not Loaded.");
  ValidateAgainst(doc, *SchemaSetForNamespace(NamespaceOf(doc.Root())));
}

bool ConformsToSchema(const Document& doc) {
  if (!doc.get() || doc.Empty()) return false;
  const auto set = SchemaSetForNamespace(NamespaceOf(doc.Root()));
  FirstError ignored;
  SchemaValidCtxtPtr vctxt(xmlSchemaNewValidCtxt(set->get()));
  if (!vctxt) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory validating");
  xmlSchemaSetValidStructuredErrors(vctxt.get(), CaptureError, &ignored);
  return xmlSchemaValidateDoc(vctxt.get(), doc.get()) == 0;
}

}  // namespace tsln2xml::xml
