#pragma once
// Orders (data type 13): store records <-> "Order" documents.
//
// Store layout: a 276-byte header (marker name, description, number; target
// length and width: int32 in 1/10000; target utilization: uint16 in 1/10;
// plaid and stripe axes interleaved, three of each; seven library names; lay
// rule type; five-star flag; model and construct counts: int16); per model a
// 128-byte model record followed by its 7-byte option records and 50-byte
// entry records; the 104-byte construct records; with entry annotation on,
// one 21-byte message record per entry of every model. The first model
// record carries the order's shrink/stretch point and flags. An order
// without models is stored with one empty model record.

#include <memory>

#include "framework/xml_data_item.h"
#include "model/order.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class OrderReader : public XMLReader {
 public:
  OrderReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class OrderWriter : public XMLWriter {
 public:
  OrderWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The order in an open item, or nullptr when a record cannot be read or a
// count is negative or more than the item holds.
std::shared_ptr<Tessaline::Order> LoadOrder(XMLDataItem& item);
// Writes the order's records. A refused write or a count beyond 32767 fails
// with code 1.
void SaveOrder(XMLDataItem& item, const Tessaline::Order& order);

// The code tables: "LayRuleType", "ShrinkStretchUsage", "PieceDirection".
const xml::EnumNameTable<uint8_t>& LayRuleTypeNames();
const xml::EnumNameTable<uint8_t>& ShrinkStretchUsageNames();
const xml::EnumNameTable<int16_t>& PieceDirectionNames();

}  // namespace tsln2xml
