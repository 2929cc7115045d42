#pragma once
// Marker test fixtures: builds a marker into a temporary storage area,
// exports it through ConvertMarkerToXML, and looks into the document.

#include <string>
#include <vector>

#include "marker/marker_builder.h"
#include "support/test_support.h"

namespace tsln2xml::test {

struct MarkerExport {
  int code = 0;
  std::string bytes;   // the file as written ("" when there is none)
  std::string xml;     // the file as UTF-8 text, without byte-order mark
  std::string out;     // what the export printed on standard output
  std::string err;     // ... and on the error stream
};

// Exports the marker `name` of `area` to a file in the area (nullptr: no
// schema check).
MarkerExport ExportMarker(const TempArea& area, const std::string& name, const char* schema = nullptr);
// Stores the builder's marker as "M" in a fresh area and exports it.
MarkerExport ExportBuilt(const marker::MarkerBuilder& builder, const char* schema = nullptr);
MarkerExport ExportData(const marker::MarkerData& data, const char* schema = nullptr);

// The text values of the nodes an XPath expression selects in a document
// (UTF-8 text); attributes give their values, elements their text.
std::vector<std::string> Select(const std::string& xml, const std::string& xpath);
// The names of the children of the element the expression selects first.
std::vector<std::string> ChildNames(const std::string& xml, const std::string& xpath);

// Every element the expression selects, in document order, as "name", its
// attributes as " @name=value" and a leaf's text as "=text", space-separated.
std::string Leaves(const std::string& xml, const std::string& xpath);

// The MARKER.XSD installed beside the library in the build directory.
std::string InstalledMarkerSchema();

}  // namespace tsln2xml::test
