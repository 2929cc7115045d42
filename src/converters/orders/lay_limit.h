#pragma once
// Lay limit libraries (data type 6): store records <-> "LayLimit" documents.
//
// Store layout: a 44-byte header (two 20-byte comments, spread: uint8,
// bundling: uint8, entry count: int16); one 32-byte record per entry
// (category: 20-byte text, option flags: uint16 with bits 4 to 15 in use,
// flip code: uint8, a reserved byte, block/buffer rule: int16, tilt: int32 in
// 1/10000, units: uint8, a reserved byte); then, in items that have them, one
// 8-byte tilt record per entry (clockwise, counter-clockwise: int32 in
// 1/10000). The entry record keeps the smaller tilt; without tilt records it
// stands for both. Tilt records are always written.

#include <memory>

#include "framework/xml_data_item.h"
#include "model/lay_limit_library.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class LayLimitReader : public XMLReader {
 public:
  LayLimitReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class LayLimitWriter : public XMLWriter {
 public:
  LayLimitWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The library in an open item, or nullptr when the header or an entry record
// cannot be read. Missing or cut tilt records are no failure: an entry
// without its tilt record keeps the entry record's tilt both ways.
std::shared_ptr<Tessaline::LayLimitLibrary> LoadLayLimitLibrary(XMLDataItem& item);
// Writes the header, the entries and their tilt records; a refused write or
// more than 32767 entries fails with code 1.
void SaveLayLimitLibrary(XMLDataItem& item, const Tessaline::LayLimitLibrary& library);

// The code tables: "Spread", "Bundling", an entry's "FlipCode" and "Units".
const xml::EnumNameTable<uint8_t>& LayLimitSpreadNames();
const xml::EnumNameTable<uint8_t>& LayLimitBundlingNames();
const xml::EnumNameTable<uint8_t>& LayLimitFlipCodeNames();
const xml::EnumNameTable<uint8_t>& LayLimitUnitsNames();

}  // namespace tsln2xml
