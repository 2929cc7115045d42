#pragma once
// Notch environments (data type 17): store records <-> "NotchEnvironment"
// documents. There is no model: both converters work on the raw table.
//
// Store layouts:
//   legacy   (exactly 60 bytes): five records of perimeter width, inside
//            width and depth (int32 in 1/10000 each), without shapes;
//   extended (any other size): the legacy block, then a count (int32,
//            0 to 99) and that many 16-byte definition records: shape (int8),
//            3 reserved bytes, perimeter width, inside width, depth.
// Both are read; the extended layout is always written, its legacy block
// holding the first five definitions for older readers.

#include <array>
#include <cstdint>
#include <memory>

#include "framework/xml_data_item.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

struct DISK_NOTCH_DEFINITION {
  int8_t shape = 0;
  int32_t perimeterWidth = 0;  // 1/10000 units
  int32_t insideWidth = 0;     // 1/10000 units
  int32_t depth = 0;           // 1/10000 units
};

struct DISK_NOTCH_TABLE_EX {
  static constexpr int32_t kCapacity = 99;
  int32_t count = 0;  // definitions in use, 0 to kCapacity
  std::array<DISK_NOTCH_DEFINITION, kCapacity> definitions{};
};

// Releases a table allocated by NewNotchTable.
struct NotchDeleter {
  void operator()(DISK_NOTCH_TABLE_EX* table) const { delete table; }
};

// A zero-filled table under shared ownership.
std::shared_ptr<DISK_NOTCH_TABLE_EX> NewNotchTable();

class NotchReader : public XMLReader {
 public:
  NotchReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class NotchWriter : public XMLWriter {
 public:
  NotchWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The table in an open item (either layout), or nullptr when it cannot be
// read or its count is outside 0 to 99.
std::shared_ptr<DISK_NOTCH_TABLE_EX> LoadNotchTable(XMLDataItem& item);
// Writes the extended layout; a refused write fails with code 1.
void SaveNotchTable(XMLDataItem& item, const DISK_NOTCH_TABLE_EX& table);

// The shape of a legacy record, derived from its three values.
int8_t LegacyNotchShape(int32_t perimeterWidth, int32_t insideWidth, int32_t depth);

// The code table of "Shape".
const xml::EnumNameTable<int8_t>& NotchShapeNames();

}  // namespace tsln2xml
