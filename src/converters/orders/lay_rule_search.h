#pragma once
// Lay rule searches (data type 15): one 48-byte LR_CRITERIA record <->
// "LayRuleSearch" documents. There is no model: both converters work on the
// raw record.
//
// Store layout: flag word (uint32, bits 0 to 14 in use), area tolerance
// (IEEE single-precision float), area sign (uint8), a reserved byte, maximum
// tries (int16), acceptable-utilization code (int16), 34 reserved bytes.
// Bytes after the record are not read.

#include <cstdint>
#include <memory>

#include "framework/xml_data_item.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

struct LR_CRITERIA {
  uint32_t flags = 0;
  float areaTolerance = 0;
  uint8_t areaSign = 0;
  int16_t maxTries = 0;
  int16_t acceptableUtilization = 0;
};

// Releases a record allocated by NewLayRuleSearch.
struct LayRuleSearchDeleter {
  void operator()(LR_CRITERIA* record) const { delete record; }
};

// A zero-filled record under shared ownership.
std::shared_ptr<LR_CRITERIA> NewLayRuleSearch();

class LayRuleSearchReader : public XMLReader {
 public:
  LayRuleSearchReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// Writes the item only when the document's Name is the item's name, byte for
// byte ("Inconsistent name supplied", code 1).
class LayRuleSearchWriter : public XMLWriter {
 public:
  LayRuleSearchWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The record in an open item, or nullptr when the item is shorter than it.
std::shared_ptr<LR_CRITERIA> LoadLayRuleSearch(XMLDataItem& item);
// Writes the record; a refused write fails with code 1.
void SaveLayRuleSearch(XMLDataItem& item, const LR_CRITERIA& record);

// The code tables: "AreaSign" and "AcceptableUtilization".
const xml::EnumNameTable<uint8_t>& AreaSignNames();
const xml::EnumNameTable<int16_t>& AcceptableUtilizationNames();

}  // namespace tsln2xml
