#include "marker/marker_export.h"

#include <libxml/xmlreader.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/exception.h"
#include "marker/marker_output.h"
#include "marker/marker_writer.h"
#include "platform/host_files.h"
#include "platform/paths.h"
#include "xml/schema.h"
#include "xml/utf16_stream.h"

namespace tsln2xml::marker {

void ExportMarker(std::string_view areaRoot, std::string_view areaName, std::string_view markerName,
                  const std::string& xmlFileName, const std::optional<std::string>& schemaFileName) {
  MarkerWriter writer(platform::StoragePath(areaRoot, areaName), markerName.substr(0, kMaxMarkerName));
  writer.Load();

  xml::Utf16FileStream out(xmlFileName);
  if (!out.Good()) throw Tsln2XmlException(kContentUnusable, "could not open output file");
  MarkerTextWriter text([&out](std::u16string_view piece) { out.Write(piece); });
  text.WriteDeclaration({{"encoding", "UTF-16"}});
  StreamingSink sink(text, writer.Root());
  writer.Walk(sink);
  sink.Finish();
  if (!out.Close()) throw Tsln2XmlException(kContentUnusable, "could not write output file");

  if (schemaFileName) {
    const int result = ValidateMarkerFile(xmlFileName, *schemaFileName);
    if (result != 0) throw Tsln2XmlException(result, "error validating xml document");
  }
}

namespace {

using TextReaderPtr = std::unique_ptr<xmlTextReader, xml::Deleter<xmlFreeTextReader>>;

// What a reading pass met: errors of the document's text (it cannot be
// loaded) and errors against the schema (it is not valid).
struct ReadOutcome {
  bool notLoadable = false;
  bool invalid = false;
  std::string firstInvalidity;  // "line N: message" of the first schema error
};

void NoteError(void* context, xmlErrorPtr error) {
  if (!error) return;
  auto* outcome = static_cast<ReadOutcome*>(context);
  if (error->domain == XML_FROM_SCHEMASV) {
    if (!outcome->invalid && error->message) {
      std::string message = error->message;
      while (!message.empty() && message.back() == '\n') message.pop_back();
      if (message.size() > 300) message = message.substr(0, 300) + "...";
      outcome->firstInvalidity = "line " + std::to_string(error->line) + ": " + message;
    }
    outcome->invalid = true;
  }
  else if (error->level >= XML_ERR_ERROR)
    outcome->notLoadable = true;
}

// Reads a document as a stream, validating it on the way when a schema is
// given, so that a large marker's document is never held in memory whole.
// The reader stops at the first error of either kind. Returns false when the
// reader cannot be set up.
// The file is opened here, by the host's own name for it, and handed to the
// reader (which closes it), rather than named to libxml2.
bool ReadThrough(const std::string& path, xmlSchemaPtr schema, ReadOutcome& outcome) {
  const std::string host = platform::HostPath(path);
  std::FILE* file = platform::OpenFile(host, "rb");
  if (!file) {
    outcome.notLoadable = true;
    return true;
  }
  const auto read = [](void* f, char* buffer, int len) -> int {
    const size_t n = std::fread(buffer, 1, static_cast<size_t>(len > 0 ? len : 0), static_cast<std::FILE*>(f));
    return n == 0 && std::ferror(static_cast<std::FILE*>(f)) ? -1 : static_cast<int>(n);
  };
  const auto close = [](void* f) -> int { return std::fclose(static_cast<std::FILE*>(f)); };
  // On failure the reader has closed the file already.
  TextReaderPtr reader(xmlReaderForIO(read, close, file, host.c_str(), nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE));
  if (!reader) {
    outcome.notLoadable = true;
    return true;
  }
  xmlTextReaderSetStructuredErrorHandler(reader.get(), NoteError, &outcome);
  if (schema && xmlTextReaderSetSchema(reader.get(), schema) != 0) return false;
  int rc;
  while ((rc = xmlTextReaderRead(reader.get())) == 1) {
  }
  if (rc < 0 && !outcome.invalid) outcome.notLoadable = true;
  if (schema && !outcome.notLoadable && xmlTextReaderIsValid(reader.get()) != 1) outcome.invalid = true;
  return true;
}

}  // namespace

int ValidateMarkerFile(const std::string& xmlFileName, const std::string& schemaFileName) {
  try {
    xml::SchemaFileStatus status;
    auto schema = xml::LoadSchemaFile(schemaFileName, status);
    if (status == xml::SchemaFileStatus::kUnreadable || status == xml::SchemaFileStatus::kEmpty) return 1;
    if (!schema) return 4;
    const xmlChar* targetNamespace = schema->get()->targetNamespace;
    if (targetNamespace && *targetNamespace) return 4;

    std::error_code ec;
    if (!std::filesystem::is_regular_file(platform::FsPath(platform::HostPath(xmlFileName)), ec)) return 4;
    ReadOutcome outcome;
    if (!ReadThrough(xmlFileName, schema->get(), outcome)) return 3;
    if (outcome.notLoadable) return 4;
    if (!outcome.invalid) return 0;
    // A document that cannot be loaded is that first, even when it was found
    // invalid before the reading got to its fault.
    ReadOutcome text;
    ReadThrough(xmlFileName, nullptr, text);
    return text.notLoadable ? 4 : 2;
  } catch (const XmlServiceError&) {
    return 3;
  }
}

std::string FirstValidationError(const std::string& xmlFileName, const std::string& schemaFileName) {
  try {
    xml::SchemaFileStatus status;
    std::string why;
    auto schema = xml::LoadSchemaFile(schemaFileName, status, &why);
    if (!schema) {
      while (!why.empty() && why.back() == '\n') why.pop_back();
      return why.empty() ? why : "schema: " + why;
    }
    ReadOutcome outcome;
    if (!ReadThrough(xmlFileName, schema->get(), outcome)) return {};
    return outcome.firstInvalidity;
  } catch (const XmlServiceError&) {
    return {};
  }
}

}  // namespace tsln2xml::marker
