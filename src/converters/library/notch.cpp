#include "converters/library/notch.h"

#include <algorithm>

#include "converters/library/library_records.h"

namespace tsln2xml {
namespace {

constexpr int16_t kDataType = 17;
constexpr double kScale = 10000.0;
constexpr int32_t kLegacyDefinitions = 5;
const char* const kLoadFailure = "Unable to load NotchEnvironment";
const char* const kSaveFailure = "Error writing NotchEnvironment";

enum NotchShape : int8_t { kNone = 0, kSlit = 1, kT = 2, kV = 3, kCastle = 4 };

// The legacy block: the three values of the first five definitions.
struct LegacyBlock {
  static constexpr size_t kSize = 60;
  template <class Io, class Table>
  static void Walk(Io& io, Table& table) {
    for (size_t k = 0; k < kLegacyDefinitions; ++k) {
      io.Int(12 * k, table.definitions[k].perimeterWidth);
      io.Int(12 * k + 4, table.definitions[k].insideWidth);
      io.Int(12 * k + 8, table.definitions[k].depth);
    }
  }
};

struct DefinitionRecord {
  static constexpr size_t kSize = 16;
  template <class Io, class Definition>
  static void Walk(Io& io, Definition& d) {
    io.Int(0, d.shape);
    io.Int(4, d.perimeterWidth);
    io.Int(8, d.insideWidth);
    io.Int(12, d.depth);
  }
};

template <class Io>
void DefinitionAttributes(Io& io, DISK_NOTCH_DEFINITION& d) {
  io.Code("Shape", d.shape, NotchShapeNames());
  io.Scaled("PerimeterWidth", d.perimeterWidth, kScale);
  io.Scaled("InsideWidth", d.insideWidth, kScale);
  io.Scaled("Depth", d.depth, kScale);
}

}  // namespace

const xml::EnumNameTable<int8_t>& NotchShapeNames() {
  static const xml::EnumNameTable<int8_t> table{
      {0, "None"}, {1, "Slit"}, {2, "T"}, {3, "V"}, {4, "Castle"}, {5, "LeftCheck"}, {6, "RightCheck"}, {7, "U"},
  };
  return table;
}

std::shared_ptr<DISK_NOTCH_TABLE_EX> NewNotchTable() {
  return std::shared_ptr<DISK_NOTCH_TABLE_EX>(new DISK_NOTCH_TABLE_EX{}, NotchDeleter{});
}

int8_t LegacyNotchShape(int32_t perimeterWidth, int32_t insideWidth, int32_t depth) {
  if (perimeterWidth > 0) {
    if (insideWidth > 0) return kCastle;
    return insideWidth == 0 ? kV : kNone;
  }
  if (perimeterWidth == 0 && depth > 0) return insideWidth > 0 ? kT : kSlit;
  return kNone;
}

std::shared_ptr<DISK_NOTCH_TABLE_EX> LoadNotchTable(XMLDataItem& item) {
  auto table = NewNotchTable();
  if (!library::ReadRecord<LegacyBlock>(item, *table)) return nullptr;
  if (item.ItemSize() == static_cast<int32_t>(LegacyBlock::kSize)) {
    table->count = kLegacyDefinitions;
    for (int32_t k = 0; k < kLegacyDefinitions; ++k) {
      auto& d = table->definitions[static_cast<size_t>(k)];
      d.shape = LegacyNotchShape(d.perimeterWidth, d.insideWidth, d.depth);
    }
    return table;
  }
  // The extended layout: the legacy block repeats the first definitions and
  // is not used; the table starts afresh.
  table = NewNotchTable();
  int32_t count = 0;
  if (!library::ReadRecord<library::ValueRecord<int32_t>>(item, count)) return nullptr;
  if (count < 0 || count > DISK_NOTCH_TABLE_EX::kCapacity) return nullptr;
  table->count = count;
  for (int32_t k = 0; k < count; ++k)
    if (!library::ReadRecord<DefinitionRecord>(item, table->definitions[static_cast<size_t>(k)])) return nullptr;
  return table;
}

void SaveNotchTable(XMLDataItem& item, const DISK_NOTCH_TABLE_EX& table) {
  // The legacy block takes the first five definitions; those beyond the count
  // are zero in a table that was filled from its start.
  DISK_NOTCH_TABLE_EX legacy;
  const int32_t count = std::clamp(table.count, 0, DISK_NOTCH_TABLE_EX::kCapacity);
  std::copy_n(table.definitions.begin(), std::min(count, kLegacyDefinitions), legacy.definitions.begin());
  library::WriteRecord<LegacyBlock>(item, kSaveFailure, legacy);
  library::WriteRecord<library::ValueRecord<int32_t>>(item, kSaveFailure, count);
  for (int32_t k = 0; k < count; ++k)
    library::WriteRecord<DefinitionRecord>(item, kSaveFailure, table.definitions[static_cast<size_t>(k)]);
}

NotchReader::NotchReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void NotchReader::Convert() {
  xml::Node root = AppendRoot("NotchEnvironment");
  auto table = LoadNotchTable(*this);
  if (!table) Fail(kLoadFailure);
  for (int32_t k = 0; k < table->count; ++k) {
    AttributeEmitter attributes(AppendElement(root, "NotchDefinition"));
    DefinitionAttributes(attributes, table->definitions[static_cast<size_t>(k)]);
  }
}

NotchWriter::NotchWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void NotchWriter::Convert() {
  xml::Node root = RequireRoot("NotchEnvironment");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  auto table = NewNotchTable();
  const auto definitions = SelectNodes(root, "NotchDefinition");
  // The table holds 99 definitions; any after the 99th are left out.
  table->count = static_cast<int32_t>(std::min<size_t>(definitions.size(), DISK_NOTCH_TABLE_EX::kCapacity));
  for (int32_t k = 0; k < table->count; ++k) {
    AttributeParser attributes(definitions[static_cast<size_t>(k)]);
    DefinitionAttributes(attributes, table->definitions[static_cast<size_t>(k)]);
  }
  SaveNotchTable(*this, *table);
}

}  // namespace tsln2xml
