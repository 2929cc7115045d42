#include "marker/marker_export.h"

#include "framework/exception.h"
#include "marker/marker_output.h"
#include "marker/marker_writer.h"
#include "platform/paths.h"
#include "xml/document.h"
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

int ValidateMarkerFile(const std::string& xmlFileName, const std::string& schemaFileName) {
  try {
    xml::SchemaFileStatus status;
    auto schema = xml::LoadSchemaFile(schemaFileName, status);
    if (status == xml::SchemaFileStatus::kUnreadable || status == xml::SchemaFileStatus::kEmpty) return 1;
    if (!schema) return 4;
    const xmlChar* targetNamespace = schema->get()->targetNamespace;
    if (targetNamespace && *targetNamespace) return 4;

    std::string bytes;
    xml::Document document;
    if (!xml::ReadFileBytes(xmlFileName, bytes) || !document.LoadBytes(bytes)) return 4;
    return xml::FindValidationError(document, *schema) ? 2 : 0;
  } catch (const XmlServiceError&) {
    return 3;
  }
}

}  // namespace tsln2xml::marker
