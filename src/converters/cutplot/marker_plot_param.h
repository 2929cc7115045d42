#pragma once
// Marker plot environments (data type 16): store records <-> "MarkerPlotEnvironment"
// documents.
//
// Store layout: a 74-byte record whose last field (at 72, int16) counts the
// 4-byte label-to-tool entries that follow it (label: int16, tool: int16).
// Lengths are int32 in 1/10000; a splice length of -1 is "not set".

#include <cstdint>
#include <memory>

#include "framework/xml_data_item.h"
#include "model/marker_plot_parameter_table.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class MarkerPlotParamReader : public XMLReader {
 public:
  MarkerPlotParamReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class MarkerPlotParamWriter : public XMLWriter {
 public:
  MarkerPlotParamWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The table in an open item, or nullptr when the record or an entry cannot be
// read or the entry count is negative.
std::shared_ptr<Tessaline::MarkerPlotParameterTable> LoadMarkerPlotParameterTable(XMLDataItem& item);
// Writes the record and the entries; more than 32767 entries fail with code 1
// before anything is written.
void SaveMarkerPlotParameterTable(XMLDataItem& item, const Tessaline::MarkerPlotParameterTable& table);

// The code tables; "PlotTool" is shared with the piece plot environment.
const xml::EnumNameTable<int16_t>& PlotToolNames();
const xml::EnumNameTable<int16_t>& MarkerBorderNames();
const xml::EnumNameTable<int16_t>& PlotPiecesNames();
const xml::EnumNameTable<int16_t>& PlotMatchingNames();
const xml::EnumNameTable<int16_t>& MarkerLocationNames();
const xml::EnumNameTable<int16_t>& PlotBundleCodeNames();
const xml::EnumNameTable<int16_t>& SpliceLocationNames();

}  // namespace tsln2xml
