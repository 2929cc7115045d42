#pragma once
// Piece plot environments (data type 18): store records <-> "PiecePlotEnvironment"
// documents.
//
// Store layout: a 48-byte record holding the size count (at 40, int16) and
// the label count (at 44, int8), then the 9-byte size names, then the 3-byte
// label-to-tool entries (label: int16, tool: int8).

#include <cstdint>
#include <memory>

#include "framework/xml_data_item.h"
#include "model/piece_plot_parameter_table.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class PiecePlotParamReader : public XMLReader {
 public:
  PiecePlotParamReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class PiecePlotParamWriter : public XMLWriter {
 public:
  PiecePlotParamWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The table in an open item, or nullptr when the record or an entry cannot be
// read or a count is negative.
std::shared_ptr<Tessaline::PiecePlotParameterTable> LoadPiecePlotParameterTable(XMLDataItem& item);
// Writes the record, the sizes and the labels; counts the record cannot hold
// fail with code 1 before anything is written.
void SavePiecePlotParameterTable(XMLDataItem& item, const Tessaline::PiecePlotParameterTable& table);

// The code tables (the tools are those of the marker plot environment).
const xml::EnumNameTable<int16_t>& TitleBlockLocationNames();
const xml::EnumNameTable<int16_t>& PlotSizesNames();

}  // namespace tsln2xml
