// Schema services, first part: the schemas built into the library, the
// entity loader that serves them to the schema compiler, and the assembly of
// a schema set from the namespace of a document's root element (imports
// served from the resources, includes copied in), compiled once per schema
// and kept. Validation is in schema_validation.cpp, the caller's own schema
// files in schema_file.cpp.

#include "xml/schema.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

#include "core/exception.h"
#include "xml/schema_internal.h"

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

using namespace schema_internal;

namespace {

constexpr std::string_view kUrlScheme = "tsln2xml-schema:";

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

xmlParserInputPtr SchemaEntityLoader(const char* url, const char* id, xmlParserCtxtPtr ctxt) {
  (void)id;
  if (url && std::string_view(url).starts_with(kUrlScheme)) {
    const SchemaResources& resources = tActiveResources ? *tActiveResources : EmbeddedSchemas();
    auto bytes = resources.Find(std::string_view(url).substr(kUrlScheme.size()));
    if (!bytes) return nullptr;
    return MemoryInput(ctxt, reinterpret_cast<const char*>(bytes->data()), bytes->size(), url);
  }
  return CallerSchemaFileInput(url, ctxt);
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

namespace schema_internal {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

xmlParserInputPtr MemoryInput(xmlParserCtxtPtr ctxt, const char* data, size_t size, const char* url) {
  if (size > static_cast<size_t>(std::numeric_limits<int>::max())) return nullptr;
  xmlParserInputBufferPtr buffer = xmlParserInputBufferCreateMem(data, static_cast<int>(size), XML_CHAR_ENCODING_NONE);
  if (!buffer) return nullptr;
  xmlParserInputPtr input = xmlNewIOInputStream(ctxt, buffer, XML_CHAR_ENCODING_NONE);
  if (!input) {
    xmlFreeParserInputBuffer(buffer);
    return nullptr;
  }
  input->filename = C(xmlStrdup(X(url)));
  return input;
}

}  // namespace schema_internal

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

}  // namespace tsln2xml::xml
