#pragma once
// Matching libraries (data type 11): store records <-> "Matching" documents.
//
// Store layout: a 42-byte header (two 20-byte comments, rule count: int16),
// then one 92-byte record per rule: number, comment, the two points
// (category, number), the plaid and the stripe direction (type, offset in
// 1/10000, units, repeat) and the target.

#include <memory>

#include "framework/xml_data_item.h"
#include "model/matching_library.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class MatchingReader : public XMLReader {
 public:
  MatchingReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class MatchingWriter : public XMLWriter {
 public:
  MatchingWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The library in an open item, or nullptr when any record cannot be read.
std::shared_ptr<Tessaline::MatchingLibrary> LoadMatchingLibrary(XMLDataItem& item);
// Writes the library's records; a refused write or more than 32767 rules
// fails with code 1.
void SaveMatchingLibrary(XMLDataItem& item, const Tessaline::MatchingLibrary& library);

// The code tables: "Target", the "Type" of a direction and the "Units" of
// its offset.
const xml::EnumNameTable<int16_t>& MatchingTargetNames();
const xml::EnumNameTable<uint8_t>& MatchingRuleTypeNames();
const xml::EnumNameTable<uint8_t>& MatchingUnitsNames();

}  // namespace tsln2xml
