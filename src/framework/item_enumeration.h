#pragma once
// Item lists: the items of a storage area with their data types, sizes, dates
// and users, as one XML document without namespace:
//
//   <ArrayOfDataItem version="1.0">
//     <DataItem Name="MISSES" DataType="SizeCode" Size="42"
//               Created="2006-03-14T09:05:00Z" CreatedUser="ann"
//               Modified="..." ModifiedUser="..."
//               PreviousModified="..." PreviousModifiedUser="..."/>
//   </ArrayOfDataItem>
//
// Types are listed in ascending code order (code 10 never), the items of one
// type in catalog order (by name, without regard to ASCII case). The five
// Enumerate* exports run BuildItemList through api/item_lists.h.

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "store/catalog.h"
#include "xml/document.h"

namespace tsln2xml {

// The data types to list: code -> the name written as "DataType". A code
// outside the data type table has an empty name (and no catalog, so it lists
// nothing).
using TypeSelection = std::map<int32_t, std::string>;

TypeSelection AllDataTypes();
TypeSelection DataTypesOf(std::span<const int32_t> codes);
TypeSelection AllDataTypesBut(std::span<const int32_t> codes);
// The codes of a caller's array: none when `codes` is null or `count` <= 0.
std::span<const int32_t> CallerCodes(const int* codes, int count);

// A time stored with an item (seconds since 1970-01-01 UTC) as
// "YYYY-MM-DDThh:mm:ssZ".
std::string FormatItemTime(int32_t seconds);

// The check a user name must pass to be listed: not beginning with "-", and
// made of ASCII letters and digits, white space, "-", "\" and "_"; characters
// of a double-byte code page pass unchecked. The empty name passes.
bool PassesUserNameCheck(std::string_view ansiName);

// The list document of the storage area `areaRoot` + `areaName` (joined
// without a colon) as UTF-8 text with a declaration naming UTF-8, validated
// against the schema file `schemaFileName` when it is not null. The text is
// written as the catalogs are read, one item at a time: its peak is the text
// itself, whatever the number of items. Throws Tsln2XmlException: code 5
// when a catalog cannot be read, code 4 "COM Error in EnumerateItemsHelper."
// when the XML service fails, and the failures of the validation against a
// schema file.
std::string ItemListText(const TypeSelection& selection, std::string_view areaRoot, std::string_view areaName,
                         const char* schemaFileName);

// A user as the list writes it (UTF-8): "" for a name that fails
// PassesUserNameCheck or is longer than 40 characters.
std::string UserText(const char* ansiUser);

// The items the list would hold, one at a time with the name written as
// their "DataType", none kept; failures as ItemListText's for the catalogs.
using ItemVisitor = std::function<void(const store::ItemAttributes&, const std::string& typeName)>;
void VisitListedItems(const TypeSelection& selection, std::string_view areaRoot, std::string_view areaName,
                      const ItemVisitor& visit);

// Which types an exported call lists: all of them, only the caller's codes,
// or all but the caller's codes.
enum class TypeFilter { kAll, kOnly, kAllBut };
TypeSelection SelectDataTypes(TypeFilter filter, std::span<const int32_t> codes);

}  // namespace tsln2xml
