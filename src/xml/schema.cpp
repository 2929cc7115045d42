#include "xml/schema.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>

#include "core/exception.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "platform/per_thread.h"

namespace tsln2xml::xml {

namespace generated {
struct Resource {
  const char* name;
  const unsigned char* data;
  size_t size;
};
extern const Resource kSchemaResources[];
extern const size_t kSchemaResourceCount;
}  // namespace generated

namespace {

constexpr std::string_view kUrlScheme = "tsln2xml-schema:";

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

class Embedded : public SchemaResources {
 public:
  std::optional<std::span<const uint8_t>> Find(std::string_view name) const override {
    for (size_t i = 0; i < generated::kSchemaResourceCount; ++i) {
      const auto& r = generated::kSchemaResources[i];
      if (EqualsNoCase(r.name, name)) return std::span<const uint8_t>(r.data, r.size);
    }
    return std::nullopt;
  }
};

// The resources that the entity loader serves while a schema set compiles on
// this thread.
thread_local const SchemaResources* tActiveResources = nullptr;

// True when `url` names a scheme other than "file:" (http:, ftp:, ...).
bool HasOtherScheme(std::string_view url) {
  const size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = url[i];
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
  }
  return !EqualsNoCase(url.substr(0, colon), "file");
}

// The folder of the caller's schema file that is being compiled on this
// thread (resolved, without symbolic links, ending in "/"); empty when none
// is.
std::string& CallerFolder() {
  static platform::PerThread<std::string> folder;
  return folder.Get();
}

// Whether the file at `path` (code page) is in the caller's schema folder
// or below it, once every link and ".." is resolved.
bool InCallerSchemaFolder(const std::string& path) {
  if (CallerFolder().empty()) return false;
  std::error_code ec;
  const std::string file = platform::ComparablePath(std::filesystem::canonical(platform::HostPath(path), ec).string());
  return !ec && file.size() > CallerFolder().size() && file.starts_with(CallerFolder());
}

// The first location a caller's schema referred to outside its folder,
// while it compiles on this thread.
std::string& LocationOutside() {
  static platform::PerThread<std::string> location;
  return location.Get();
}

// Reads the file at `path` when it is in the caller's schema folder.
bool ReadCallerSchemaFile(const std::string& path, std::string& bytes) {
  if (InCallerSchemaFolder(path)) return ReadFileBytes(path, bytes);
  std::error_code ec;
  if (LocationOutside().empty() && std::filesystem::exists(platform::HostPath(path), ec)) LocationOutside() = path;
  return false;
}

// What a caller's schema file includes or imports: a local file in the
// schema file's own folder or below it only, read here rather than by
// libxml2's own loader, so that no other scheme is ever fetched, no file
// elsewhere is read, and no loader message reaches the error stream.
xmlParserInputPtr LocalFileInput(const char* url, xmlParserCtxtPtr ctxt) {
  if (!url || HasOtherScheme(url)) return nullptr;
  const std::string path = platform::FileUrlPath(url);
  std::string bytes;
  if (!ReadCallerSchemaFile(path, bytes)) {
    // A resolved reference has characters such as spaces escaped.
    XmlCharPtr unescaped(reinterpret_cast<xmlChar*>(xmlURIUnescapeString(path.c_str(), 0, nullptr)));
    if (!unescaped || !ReadCallerSchemaFile(C(unescaped.get()), bytes)) return nullptr;
  }
  if (bytes.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return nullptr;
  xmlParserInputBufferPtr buffer =
      xmlParserInputBufferCreateMem(bytes.data(), static_cast<int>(bytes.size()), XML_CHAR_ENCODING_NONE);
  if (!buffer) return nullptr;
  xmlParserInputPtr input = xmlNewIOInputStream(ctxt, buffer, XML_CHAR_ENCODING_NONE);
  if (!input) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  input->filename = C(xmlStrdup(X(url)));
  return input;
}

xmlParserInputPtr SchemaEntityLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
  (void)id;
  if (url && std::string_view(url).starts_with(kUrlScheme)) {
    const SchemaResources& resources = tActiveResources ? *tActiveResources : EmbeddedSchemas();
    auto bytes = resources.Find(std::string_view(url).substr(kUrlScheme.size()));
    if (!bytes) return nullptr;
    xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateMem(
        reinterpret_cast<const char*>(bytes->data()), static_cast<int>(bytes->size()), XML_CHAR_ENCODING_NONE);
    if (!buffer) return nullptr;
    xmlParserInputPtr input = xmlNewIOInputStream(ctxt, buffer, XML_CHAR_ENCODING_NONE);
    if (!input) {
      xmlFreeParserInputBuffer(buffer);
      return nullptr;
    }
    input->filename = C(xmlStrdup(X(url)));
    return input;
  }
  return LocalFileInput(url, ctxt);
}

struct FirstError {
  bool set = false;
  bool invalid = false;  // the validator's verdict, with or without a report
  int code = 0;
  int line = 0;
  int column = 0;
  std::string message;
  xmlNodePtr node = nullptr;
};

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

void CaptureError(void* ctx, xmlErrorPtr error) {
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

bool IsXsdElement(xmlNodePtr n, const char* local) {
  return n->type == XML_ELEMENT_NODE && n->ns && n->ns->href && kXsdNamespace == C(n->ns->href) &&
         std::strcmp(C(n->name), local) == 0;
}

void CollectXsd(xmlNodePtr n, const char* local, std::vector<xmlNodePtr>& out) {
  for (xmlNodePtr c = n; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (IsXsdElement(c, local)) out.push_back(c);
    CollectXsd(c->children, local, out);
  }
}

std::string TagName(xmlNodePtr n) {
  std::string tag;
  if (n->ns && n->ns->prefix) tag = std::string(C(n->ns->prefix)) + ":";
  return tag + C(n->name);
}

// Gives every "type" attribute without a prefix the prefix "this:".
void Qualify(xmlNodePtr n) {
  if (n->type != XML_ELEMENT_NODE) return;
  if (XmlCharPtr type{xmlGetNoNsProp(n, X("type"))}) {
    if (!std::strchr(C(type.get()), ':')) {
      const std::string qualified = "this:" + std::string(C(type.get()));
      xmlSetProp(n, X("type"), X(qualified.c_str()));
    }
  }
  for (xmlNodePtr c = n->children; c; c = c->next) Qualify(c);
}

DocPtr LoadSchemaDocument(const SchemaResources& resources, std::string_view name) {
  auto bytes = LookupSchemaResource(resources, name);
  DocPtr doc = ParseUntrusted(reinterpret_cast<const char*>(bytes.data()), bytes.size(), nullptr);
  if (!doc) throw Tsln2XmlException(kSchemaFailure, "XSD Resource failed to load");
  const std::string url = std::string(kUrlScheme) + std::string(name);
  doc->URL = xmlStrdup(X(url.c_str()));
  return doc;
}

std::string Attr(xmlNodePtr n, const char* name) {
  XmlCharPtr v(xmlGetNoNsProp(n, X(name)));
  return v ? C(v.get()) : "";
}

}  // namespace

const SchemaResources& EmbeddedSchemas() {
  static const Embedded embedded;
  return embedded;
}

std::vector<std::string> EmbeddedSchemaNames() {
  std::vector<std::string> names;
  for (size_t i = 0; i < generated::kSchemaResourceCount; ++i) names.emplace_back(generated::kSchemaResources[i].name);
  return names;
}

std::span<const uint8_t> LookupSchemaResource(const SchemaResources& resources, std::string_view name) {
  auto bytes = resources.Find(name);
  if (!bytes) throw Tsln2XmlException(kSchemaFailure, "XSD Resource could not be found");
  if (bytes->size() < 2 || (*bytes)[0] != 0xFF || (*bytes)[1] != 0xFE)
    throw Tsln2XmlException(kSchemaFailure, "XSD Resource missing UTF-16 byte marker");
  return *bytes;
}

std::u16string SchemaResourceText(const SchemaResources& resources, std::string_view name) {
  auto bytes = LookupSchemaResource(resources, name);
  std::u16string text((bytes.size() - 2) / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
  return text;
}

std::string SchemaSet::AssembledText() const {
  return Document(DocPtr(xmlCopyDoc(mainDoc_.get(), 1))).SerializeUtf8();
}

void InstallSchemaEntityLoader() { xmlSetExternalEntityLoader(SchemaEntityLoader); }

std::shared_ptr<const SchemaSet> AssembleSchemaSet(const SchemaResources& resources, std::string_view ns) {
  EnsureInitialised();
  const auto slash = ns.rfind('/');
  if (slash == std::string_view::npos) throw Tsln2XmlException(kSchemaFailure, "XML namespace malformed");
  const std::string mainName = std::string(ns.substr(slash + 1)) + ".xsd";
  DocPtr main = LoadSchemaDocument(resources, mainName);
  xmlNodePtr root = xmlDocGetRootElement(main.get());

  // Imports: served from the resources through the entity loader.
  std::vector<xmlNodePtr> imports;
  CollectXsd(root, "import", imports);
  for (xmlNodePtr import : imports) {
    const std::string location = Attr(import, "schemaLocation");
    LookupSchemaResource(resources, location);  // fails early on a missing resource
    const std::string url = std::string(kUrlScheme) + location;
    xmlSetProp(import, X("schemaLocation"), X(url.c_str()));
  }

  // Includes: the included schema's top-level definitions are copied in.
  std::vector<xmlNodePtr> includes;
  CollectXsd(root, "include", includes);
  for (xmlNodePtr include : includes) {
    DocPtr included = LoadSchemaDocument(resources, Attr(include, "schemaLocation"));
    for (xmlNodePtr c = xmlDocGetRootElement(included.get())->children; c; c = c->next) {
      if (c->type != XML_ELEMENT_NODE || TagName(c) == "xs:import") continue;
      xmlNodePtr copy = xmlDocCopyNode(c, main.get(), 1);
      if (!copy) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory copying a schema");
      Qualify(copy);
      xmlAddChild(root, copy);
    }
    xmlUnlinkNode(include);
    xmlFreeNode(include);
  }

  FirstError error;
  const SchemaResources* previous = tActiveResources;
  tActiveResources = &resources;
  SchemaParserCtxtPtr parser(xmlSchemaNewDocParserCtxt(main.get()));
  if (!parser) {
    tActiveResources = previous;
    throw XmlServiceError(hresult::kOutOfMemory, "Out of memory compiling a schema");
  }
  xmlSchemaSetParserStructuredErrors(parser.get(), CaptureError, &error);
  SchemaPtr schema(xmlSchemaParse(parser.get()));
  tActiveResources = previous;
  if (!schema || error.set)
    throw XmlServiceError(hresult::kFail, "The schema " + mainName + " was rejected: " + error.message);
  return std::make_shared<SchemaSet>(std::move(main), std::move(schema));
}

std::shared_ptr<const SchemaSet> SchemaSetForNamespace(std::string_view ns) {
  static std::mutex mutex;
  // Kept for the life of the process and never destroyed: freeing compiled
  // schemas at exit costs more than everything else about the exit (the
  // allocator first sorts out every small block the conversion freed).
  static auto& cache = *new std::map<std::string, std::shared_ptr<const SchemaSet>, std::less<>>;
  // Kept by the schema the namespace leads to (its last segment), not by the
  // namespace: any number of namespaces ending in "/Order" share one set, so
  // the cache holds at most one set per built-in schema.
  // A namespace without "/" names no schema whatever the cache holds.
  if (ns.rfind('/') == std::string_view::npos) return AssembleSchemaSet(EmbeddedSchemas(), ns);
  const std::string_view schema = ns.substr(ns.rfind('/') + 1);
  std::lock_guard lock(mutex);
  auto it = cache.find(schema);
  if (it != cache.end()) return it->second;
  auto set = AssembleSchemaSet(EmbeddedSchemas(), ns);
  cache.emplace(std::string(schema), set);
  return set;
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

// The report on `error`, located in the serialised text.
std::string ReportAt(const std::string& text, FirstError error) {
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

}  // namespace

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


namespace {

// The first error of a document's text against `set`, as ValidateDocumentText
// finds it; nullopt when the text is valid.
std::optional<FirstError> FirstTextError(const std::string& text, size_t longestText, const SchemaSet& set) {
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

}  // namespace

void ValidateTextAgainstSchemaFile(const std::string& text, size_t longestText, const std::string& schemaPath) {
  if (text.empty()) throw Tsln2XmlException(kSchemaFailure, "XML Document not Loaded.");
  SchemaFileStatus status;
  auto set = LoadSchemaFile(schemaPath, status);
  if (status == SchemaFileStatus::kUnreadable) throw Tsln2XmlException(kContentUnusable, "xmlFile failed to Load");
  if (!set) throw Tsln2XmlException(kSchemaFailure, "XSD Document not Loaded.");
  if (auto error = FirstTextError(text, longestText, *set)) throw Tsln2XmlException(kSchemaFailure, ReportAt(text, *error));
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

namespace {

// Sets the folder that a caller's schema file may include from while it
// compiles, and clears it after.
class CallerSchemaFolder {
 public:
  explicit CallerSchemaFolder(const std::string& schemaPath) {
    // The folder the file is named in (its references are resolved from
    // there, even when the file itself is a link to another folder), with
    // the links on the way to it resolved.
    std::error_code ec;
    const auto named = std::filesystem::absolute(platform::HostPath(schemaPath), ec);
    const auto folder = ec ? named : std::filesystem::canonical(named.parent_path(), ec);
    CallerFolder() = ec ? std::string() : platform::ComparablePath(folder.string());
    if (!CallerFolder().empty() && !CallerFolder().ends_with('/')) CallerFolder() += '/';
  }
  ~CallerSchemaFolder() {
    CallerFolder().clear();
    LocationOutside().clear();
  }
  CallerSchemaFolder(const CallerSchemaFolder&) = delete;
  CallerSchemaFolder& operator=(const CallerSchemaFolder&) = delete;
};

}  // namespace

std::shared_ptr<const SchemaSet> LoadSchemaFile(const std::string& schemaPath, SchemaFileStatus& status,
                                                std::string* why) {
  EnsureInitialised();
  GenericErrorCapture quiet;
  std::string bytes;
  if (!ReadFileBytes(schemaPath, bytes)) {
    status = SchemaFileStatus::kUnreadable;
    return nullptr;
  }
  if (bytes.find_first_not_of(" \t\r\n") == std::string::npos) {
    status = SchemaFileStatus::kEmpty;
    return nullptr;
  }
  DocPtr doc = ParseUntrusted(bytes.data(), bytes.size(), nullptr);
  if (!doc) {
    status = SchemaFileStatus::kUnreadable;
    return nullptr;
  }
  doc->URL = xmlStrdup(X(platform::DocumentBaseUrl(schemaPath).c_str()));
  FirstError error;
  SchemaParserCtxtPtr parser(xmlSchemaNewDocParserCtxt(doc.get()));
  if (!parser) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory compiling a schema");
  xmlSchemaSetParserStructuredErrors(parser.get(), CaptureError, &error);
  SchemaPtr schema;
  std::string outside;
  {
    CallerSchemaFolder folder(schemaPath);
    schema.reset(xmlSchemaParse(parser.get()));
    outside = LocationOutside();
  }
  if (!schema || error.set) {
    status = SchemaFileStatus::kNotSchema;
    if (why)
      *why = outside.empty() ? error.message
                             : "'" + outside + "' is not in the schema file's folder or below it, so it is not read\n";
    return nullptr;
  }
  status = SchemaFileStatus::kOk;
  return std::make_shared<SchemaSet>(std::move(doc), std::move(schema));
}

void ValidateAgainstSchemaFile(const Document& doc, const std::string& schemaPath) {
  if (!doc.get()) throw Tsln2XmlException(kSchemaFailure, "XML Document not created.");
  if (doc.Empty()) throw Tsln2XmlException(kSchemaFailure, "XML Document not Loaded.");
  SchemaFileStatus status;
  auto set = LoadSchemaFile(schemaPath, status);
  if (status == SchemaFileStatus::kUnreadable) throw Tsln2XmlException(kContentUnusable, "xmlFile failed to Load");
  if (!set) throw Tsln2XmlException(kSchemaFailure, "XSD Document not Loaded.");
  ValidateAgainst(doc, *set);
}

}  // namespace tsln2xml::xml
