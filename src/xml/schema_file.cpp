// Schema services, third part: schema files that callers name. A caller's
// schema is compiled from its file, and whatever it includes or imports is
// read only from the folder that the file is named in, or below it, once
// every link and ".." is resolved: no other scheme is fetched and no file
// elsewhere is read.

#include "xml/schema.h"

#include <cctype>
#include <filesystem>

#include "core/exception.h"
#include "platform/host_files.h"
#include "platform/paths.h"
#include "platform/per_thread.h"
#include "xml/schema_internal.h"

namespace tsln2xml::xml {

using namespace schema_internal;

namespace {

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
  const std::string file = platform::ComparablePath(
      platform::HostString(std::filesystem::canonical(platform::FsPath(platform::HostPath(path)), ec)));
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
  if (LocationOutside().empty() && std::filesystem::exists(platform::FsPath(platform::HostPath(path)), ec))
    LocationOutside() = path;
  return false;
}

// Sets the folder that a caller's schema file may include from while it
// compiles, and clears it after.
class CallerSchemaFolder {
 public:
  explicit CallerSchemaFolder(const std::string& schemaPath) {
    // The folder the file is named in (its references are resolved from
    // there, even when the file itself is a link to another folder), with
    // the links on the way to it resolved.
    std::error_code ec;
    const auto named = std::filesystem::absolute(platform::FsPath(platform::HostPath(schemaPath)), ec);
    const auto folder = ec ? named : std::filesystem::canonical(named.parent_path(), ec);
    CallerFolder() = ec ? std::string() : platform::ComparablePath(platform::HostString(folder));
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

// What a caller's schema file includes or imports: a local file in the
// schema file's own folder or below it only, read here rather than by
// libxml2's own loader, so that no other scheme is ever fetched, no file
// elsewhere is read, and no loader message reaches the error stream.
xmlParserInputPtr schema_internal::CallerSchemaFileInput(const char* url, xmlParserCtxtPtr ctxt) {
  if (!url || HasOtherScheme(url)) return nullptr;
  const std::string path = platform::FileUrlPath(url);
  std::string bytes;
  if (!ReadCallerSchemaFile(path, bytes)) {
    // A resolved reference has characters such as spaces escaped.
    XmlCharPtr unescaped(reinterpret_cast<xmlChar*>(xmlURIUnescapeString(path.c_str(), 0, nullptr)));
    if (!unescaped || !ReadCallerSchemaFile(C(unescaped.get()), bytes)) return nullptr;
  }
  return MemoryInput(ctxt, bytes.data(), bytes.size(), url);
}

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

void ValidateTextAgainstSchemaFile(const std::string& text, size_t longestText, const std::string& schemaPath) {
  if (text.empty()) throw Tsln2XmlException(kSchemaFailure, "XML Document not Loaded.");
  SchemaFileStatus status;
  auto set = LoadSchemaFile(schemaPath, status);
  if (status == SchemaFileStatus::kUnreadable) throw Tsln2XmlException(kContentUnusable, "xmlFile failed to Load");
  if (!set) throw Tsln2XmlException(kSchemaFailure, "XSD Document not Loaded.");
  if (auto error = FirstTextError(text, longestText, *set)) throw Tsln2XmlException(kSchemaFailure, ReportAt(text, *error));
}

}  // namespace tsln2xml::xml
