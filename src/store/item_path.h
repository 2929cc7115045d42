#pragma once
// Where the item files of a data type live in a storage area.

#include <string>
#include <string_view>

namespace tsln2xml::store {

// The host path of an item file of data type `code` in the storage area
// named by `storagePath` (the item file template filled with "000"; types
// without a template get "item000.dat"). Only its directory part is used:
// the catalogs of every type sit in the storage area's directory.
std::string BuildItemPath(std::string_view storagePath, int code);

// The directory part of BuildItemPath, ending in "/".
std::string ItemDirectory(std::string_view storagePath, int code);

}  // namespace tsln2xml::store
