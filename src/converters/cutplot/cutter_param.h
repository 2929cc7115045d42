#pragma once
// Cutter environments (data type 14): store records <-> "CutterEnvironment"
// documents.
//
// Store layout: a 210-byte parameter record (its counts at 193, 196, 197),
// then each piece-priority sequence as a 16-bit length L and L bytes of text
// (the categories joined with "," and a closing zero byte), then the 12-byte
// drill-size records (id: int16, diameter: int32 in 1/10000), then the 4-byte
// records of the internal codes "0" to "@" (code, zero, tool: int16). The
// letters C to Z keep their tools in 24 slots of the parameter record.

#include <cstdint>
#include <memory>

#include "framework/xml_data_item.h"
#include "model/cut_parameter_table.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class CutterParamReader : public XMLReader {
 public:
  CutterParamReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class CutterParamWriter : public XMLWriter {
 public:
  CutterParamWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The table in an open item, or nullptr when any record cannot be read or a
// count is negative.
std::shared_ptr<Tessaline::CutParameterTable> LoadCutParameterTable(XMLDataItem& item);
// Writes the table's records. Counts the record cannot hold and categories
// holding "," fail with code 1 before anything is written.
void SaveCutParameterTable(XMLDataItem& item, const Tessaline::CutParameterTable& table);

// A stored length in 1/10000 as fixed-point text with four decimals.
std::string FourDecimals(int32_t stored);

// The code tables.
const xml::EnumNameTable<int16_t>& CutterTypeNames();
const xml::EnumNameTable<int16_t>& BundleTypeNames();
const xml::EnumNameTable<int16_t>& CutterToolNames();
const xml::EnumNameTable<uint16_t>& InternalCodeNames();

}  // namespace tsln2xml
