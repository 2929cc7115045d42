#pragma once
// Schemas carried inside the library, the assembly of a schema set from the
// namespace of a document's root element, and validation with a report of
// the first error's line and position in the serialised document.
//
// Schema texts are resources: UTF-16LE with a byte-order mark, looked up by
// name without regard to case. A type schema imports the common namespace by
// file name and may include a schema without target namespace; the assembly
// serves imports from the resources and copies included schemas into the
// including one, qualifying their type references with "this:".

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "xml/document.h"
#include "xml/libxml.h"

namespace tsln2xml::xml {

inline constexpr std::string_view kSchemaNamespacePrefix = "urn:tsln2xml:data/";
inline constexpr std::string_view kXsdNamespace = "http://www.w3.org/2001/XMLSchema";

// A set of named schema resources.
class SchemaResources {
 public:
  virtual ~SchemaResources() = default;
  // The resource's bytes, or nullopt; names compare without regard to case.
  virtual std::optional<std::span<const uint8_t>> Find(std::string_view name) const = 0;
};

// The schemas built into the library.
const SchemaResources& EmbeddedSchemas();
std::vector<std::string> EmbeddedSchemaNames();

// The resource's bytes after checking them: code 2 "XSD Resource could not be
// found" / "XSD Resource missing UTF-16 byte marker".
std::span<const uint8_t> LookupSchemaResource(const SchemaResources& resources, std::string_view name);
// The resource's text without its byte-order mark.
std::u16string SchemaResourceText(const SchemaResources& resources, std::string_view name);

// A compiled schema set. Compiling depends only on the resource texts, so a
// set built from the embedded schemas is compiled once per namespace per
// process and shared.
class SchemaSet {
 public:
  SchemaSet(DocPtr mainDoc, SchemaPtr schema) : mainDoc_(std::move(mainDoc)), schema_(std::move(schema)) {}
  xmlSchemaPtr get() const { return schema_.get(); }
  // The main schema after the assembly (imports redirected, includes copied in).
  std::string AssembledText() const;

 private:
  DocPtr mainDoc_;  // the compiled schema refers to its nodes
  SchemaPtr schema_;
};

// Assembles and compiles the schema set for namespace `ns` (code 2 "XML
// namespace malformed" when it has no "/"; the resource is the text after the
// last "/" plus ".xsd").
std::shared_ptr<const SchemaSet> AssembleSchemaSet(const SchemaResources& resources, std::string_view ns);
// The same from the embedded schemas, cached.
std::shared_ptr<const SchemaSet> SchemaSetForNamespace(std::string_view ns);

// Validates `doc` against `set`: code 2 with the report on the first error.
void ValidateAgainst(const Document& doc, const SchemaSet& set);
// Validates a converter's document against the schema set named by the
// namespace of its root element.
void ValidateDocument(const Document& doc);
// Validates the text of a converter's streamed document (Document::Streamed)
// against the schema set of namespace `nsUri`, with the same report as
// ValidateDocument gives for the same document built as a tree.
void ValidateDocumentText(const std::string& text, size_t longestText, std::string_view nsUri);
// Whether a converter's document is valid against the schema set named by
// the namespace of its root element, without a report: false for no
// document or an empty one; failures to find or compile the schema set as
// for ValidateDocument.
bool ConformsToSchema(const Document& doc);
// A schema read from a file, compiled; references in it are resolved relative
// to the file, and reach only files in the folder the file is named in and
// below it (wherever a link leads). nullptr with the reason when it cannot be used;
// `why`, when given, gets the compiler's first error for kNotSchema (a
// reference refused or not found names its location).
enum class SchemaFileStatus { kOk, kUnreadable, kEmpty, kNotSchema };
std::shared_ptr<const SchemaSet> LoadSchemaFile(const std::string& schemaPath, SchemaFileStatus& status,
                                                std::string* why = nullptr);

// The first validation error of `doc` against `set` as its report, or nullopt
// when the document is valid.
std::optional<std::string> FindValidationError(const Document& doc, const SchemaSet& set);

// Validates against a schema read from a file (references in that schema are
// resolved relative to it): code 1 "xmlFile failed to Load" when the file
// cannot be read or parsed, code 2 "XSD Document not Loaded." when it is
// empty or not a usable schema, code 2 with the report when `doc` is invalid.
void ValidateAgainstSchemaFile(const Document& doc, const std::string& schemaPath);
// The same for the text of a streamed document (Document::Streamed) whose
// longest text run is `longestText`, with the same report.
void ValidateTextAgainstSchemaFile(const std::string& text, size_t longestText, const std::string& schemaPath);

// Installs the process-wide entity loader that serves our own schema
// resources to the schema compiler and hands every other URL on unchanged.
void InstallSchemaEntityLoader();

// The report text for a validation error.
std::string ValidationReport(const std::string& reason, int code, int line, int linePos, long filePos,
                             const std::string& source);

}  // namespace tsln2xml::xml
