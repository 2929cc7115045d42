#pragma once
// Block buffer libraries (data type 3): store records <-> "BlockBuffer"
// documents.
//
// Store layout: a 42-byte header (two 20-byte comments, rule count: int16),
// then one 70-byte record per rule: number (int16), type (uint8), a reserved
// byte, then ten amounts of 6 bytes (amount: int32 in 1/10000; units: uint8;
// a reserved byte) and 6 reserved bytes.

#include <memory>

#include "framework/xml_data_item.h"
#include "model/block_buffer_library.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class BlockBufferReader : public XMLReader {
 public:
  BlockBufferReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class BlockBufferWriter : public XMLWriter {
 public:
  BlockBufferWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The library in an open item, or nullptr when any record cannot be read.
std::shared_ptr<Tessaline::BlockBufferLibrary> LoadBlockBufferLibrary(XMLDataItem& item);
// Writes the library's records; a refused write or more than 32767 rules
// fails with code 1.
void SaveBlockBufferLibrary(XMLDataItem& item, const Tessaline::BlockBufferLibrary& library);

// The code tables: "RuleType" and the "Units" of an amount.
const xml::EnumNameTable<uint8_t>& BlockBufferRuleTypeNames();
const xml::EnumNameTable<uint8_t>& BlockBufferUnitsNames();

}  // namespace tsln2xml
