#pragma once
// The data type table: every data type code with its name (used in namespace
// URIs and item lists) and, for the types kept as items, the catalog (control
// file) and item file template of the store. This is the one registry that
// the factories, the item lists and the command line read.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tsln2xml {

struct ItemFileEntry {
  const char* controlFile;
  const char* itemFileTemplate;
  int16_t code;
};

struct DataTypeInfo {
  int16_t code;
  const char* name;
  const ItemFileEntry* itemFile;  // null for types that are not kept as items
};

inline constexpr int16_t kMarkerDataType = 9;
inline constexpr int16_t kPieceDataType = 20;

// The 24 data types in ascending code order (there is no code 10).
std::span<const DataTypeInfo> DataTypes();
// The 19 item file entries.
std::span<const ItemFileEntry> ItemFileEntries();

const DataTypeInfo* FindDataType(int code);
const ItemFileEntry* FindItemFileEntry(int code);
// The catalog file of the storage area that keeps a type's items: the control
// file of its item file entry, "marker.ctl" for markers, nullptr for types
// that are not kept in a storage area.
const char* CatalogFileName(int code);
inline constexpr const char* kMarkerCatalog = "marker.ctl";

// The type's name, or "" for a code outside the table.
std::string_view DataTypeName(int code);
// A data type given by name (any case) or by decimal code.
std::optional<int16_t> ParseDataType(std::string_view text);

}  // namespace tsln2xml
