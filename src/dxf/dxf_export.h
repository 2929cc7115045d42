#pragma once
// The DXF exports of a storage area's pieces and markers into files
// (docs/dxf.md): what the command `tsln2xml dxf` and the C call
// ExportDXF run. Files are written beside and renamed into place, so a
// failure leaves no partial file and an existing one as it was.
//
// Failures throw Tsln2XmlException: code 1 for an area whose unit or grade
// method cannot be told and for bad options, code 5 "Could not open file"
// (no such piece or storage area), "Unable to load Piece", "Error opening
// marker" and "could not write output file" (secondary: errno).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dxf/piece_dxf.h"

namespace tsln2xml::dxf {

// "mm", "cm", "in"; nullopt for anything else.
std::optional<Unit> ParseUnit(std::string_view text);
std::optional<Flavour> ParseFlavour(std::string_view text);
// "base", "all".
std::optional<SizeSet> ParseSizeSet(std::string_view text);

// What a storage area says about its unit and grade method: taken from its
// user environment when it has exactly one.
struct AreaSettings {
  size_t userEnvironments = 0;
  std::optional<Unit> unit;                  // Metric: cm, Imperial: in
  std::optional<grading::GradeMethod> method;
};
AreaSettings ReadAreaSettings(std::string_view areaRoot, std::string_view areaName);

struct PieceExportRequest {
  std::string areaRoot, areaName;
  std::vector<std::string> names;
  std::string dxfFile;
  std::string rulFile;  // empty: no .rul file
  Flavour flavour = Flavour::kAama;
  std::optional<Unit> unit;                   // else the area's
  std::optional<SizeSet> sizes;               // else base for AAMA, all for ASTM
  std::optional<grading::GradeMethod> method; // else the area's, else Incremental
};

// Writes the DXF (and the .rul file); returns the number of characters
// written as "_".
size_t ExportPieceDxf(const PieceExportRequest& request);

// Writes the marker's DXF; returns the number of coordinates left out (not
// finite, or too large to place).
size_t ExportMarkerDxf(std::string_view areaRoot, std::string_view areaName, std::string_view markerName,
                       std::optional<Unit> unit, const std::string& dxfFile);

// The C call ExportDXF (include/tsln2xml/dxf.h) with its arguments checked:
// a bad type, count, name list, file or option fails with code 1.
void ExportDxfCall(int dataType, const char* areaRoot, const char* areaName, const char* const* itemNames,
                   int itemCount, const char* dxfFileName, const char* rulFileName, const char* options);

}  // namespace tsln2xml::dxf
