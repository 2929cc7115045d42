#pragma once
// The marker export: a marker of a storage area written as a UTF-16 XML file
// (little-endian with a byte-order mark, declaration naming UTF-16, CR LF),
// optionally checked against a schema file named by the caller. Nothing is
// kept between calls.

#include <optional>
#include <string>
#include <string_view>

namespace tsln2xml::marker {

inline constexpr size_t kMaxMarkerName = 20;

// Writes the marker. The storage area is `areaRoot`, ":" when `areaRoot` is
// one character, then `areaName`, used whole (it names a host directory);
// the marker name is cut to 20 characters. Failures throw Tsln2XmlException:
//   5 "Error opening marker" (no file is written),
//   1 "could not open output file" / "could not write output file",
//   1 to 4 "error validating xml document" (the file stays as written).
void ExportMarker(std::string_view areaRoot, std::string_view areaName, std::string_view markerName,
                  const std::string& xmlFileName, const std::optional<std::string>& schemaFileName);

// Checks a written marker document against a schema file for documents
// without namespace, reading the document as a stream: 0 valid; 1 the schema
// file cannot be read or is not XML; 2 the document is not valid; 3 the
// validator cannot be set up; 4 the document cannot be loaded (read to its
// end as well-formed XML), or the schema cannot be used for documents without
// namespace (it does not compile, or it has a target namespace).
int ValidateMarkerFile(const std::string& xmlFileName, const std::string& schemaFileName);

// The first error of a written marker document against a schema file, as
// "line N: message" (cut to a few hundred characters), or "" when the
// validator finds none or cannot run; for a schema file that does not
// compile, "schema: " and the compiler's first error (an include refused
// names its location). For the command's second line.
std::string FirstValidationError(const std::string& xmlFileName, const std::string& schemaFileName);

}  // namespace tsln2xml::marker
