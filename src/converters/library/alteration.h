#pragma once
// Alteration libraries (data type 1): store records <-> "Alteration" documents.
//
// Store layout: a 2-byte rule count, then per rule a 14-byte rule record
// (name: 10-byte text; piece usage: uint8; reserved byte; item count: int16)
// followed at once by its 14-byte item records (type: uint8; reserved byte;
// first and second point: int16; X and Y: int32 in 1/1000).

#include <memory>

#include "framework/xml_data_item.h"
#include "model/alteration_library.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class AlterationReader : public XMLReader {
 public:
  AlterationReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class AlterationWriter : public XMLWriter {
 public:
  AlterationWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The library in an open item, or nullptr when any record cannot be read.
std::shared_ptr<Tessaline::AlterationLibrary> LoadAlterationLibrary(XMLDataItem& item);
// Writes the library's records; a refused write or a count beyond 32767
// fails with code 1.
void SaveAlterationLibrary(XMLDataItem& item, const Tessaline::AlterationLibrary& library);

// The code tables: "PieceUsage" and the item "Type".
const xml::EnumNameTable<uint8_t>& PieceUsageNames();
const xml::EnumNameTable<uint8_t>& AlterationTypeNames();

}  // namespace tsln2xml
