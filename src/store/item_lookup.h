#pragma once
// The listing side of the marker-file library: which items a storage area
// holds for a data type, one item per call, with the attributes the store
// keeps for each (size, creation, last and previous modification with their
// users).
//
// Protocol: LookupItemData with continue flag 0 starts an enumeration of one
// type and delivers its first item; each call with continue flag 1 delivers
// the next one. A call returns kLookupDelivered while it delivers an item;
// then the attribute accessors describe that item until the next delivery.
// Items come in catalog order: by name, without regard to ASCII case.
//
// The enumeration reads the type's whole catalog at its start, so it sees one
// consistent state of the catalog and holds no lock between calls.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/catalog.h"

namespace tsln2xml::store {

// Results of LookupItemData.
inline constexpr int32_t kLookupDelivered = 1;  // an item was delivered
inline constexpr int32_t kLookupNoMore = 0;     // no (more) items
// A catalog that exists but cannot be read (corrupt, locked beyond the busy
// timeout) gives kCatalogError of item_store.h, a path longer than a catalog
// path may be kPathTooLong; LastError() says why.

class ItemLookup {
 public:
  // Delivers the first (continueFlag 0) or next (continueFlag 1) item of data
  // type `code` in the storage area `storagePath` whose name matches
  // `pattern` ("*" any run of characters, "?" one character, letters without
  // regard to ASCII case). The name goes to `itemName`. A continuation goes
  // on with the enumeration begun by the last call with flag 0; its other
  // arguments are not looked at again.
  // A type without a catalog, a storage area or catalog that does not exist
  // deliver nothing.
  int32_t LookupItemData(int code, std::string_view storagePath, std::string& itemName, std::string_view pattern,
                         int continueFlag);

  // The attribute values of the item delivered last.
  int32_t ItemDataSize() const { return current_.size; }
  int32_t ItemCreationTime() const { return current_.created; }
  const char* ItemCreatedUser() const { return current_.createdUser.c_str(); }
  int32_t ItemLastModTime() const { return current_.modified; }
  const char* ItemLastModUser() const { return current_.modifiedUser.c_str(); }
  int32_t ItemPrevModTime() const { return current_.previousModified; }
  const char* ItemPrevModUser() const { return current_.previousModifiedUser.c_str(); }

  // Calls `each` with the attributes of every item of type `code` in
  // `storagePath` whose name matches `pattern`, in catalog order, in one
  // read of the catalog and without keeping them (a list of a million items
  // holds one at a time). Returns kLookupNoMore when every item was seen,
  // or kCatalogError / kPathTooLong as LookupItemData does (then `each` may
  // have seen some items).
  int32_t ForEachItem(int code, std::string_view storagePath, std::string_view pattern,
                      const std::function<void(const ItemAttributes&)>& each);

  // Why the last call gave kCatalogError or kPathTooLong.
  const std::string& LastError() const { return error_; }

 private:
  int32_t Deliver(std::string& itemName);

  std::vector<ItemAttributes> items_;
  int code_ = 0;
  size_t next_ = 0;
  std::string pattern_;
  ItemAttributes current_;
  std::string error_;
};

// The path of the catalog that keeps data type `code` in the storage area
// `storagePath`, or "" for a type that is not kept in a storage area.
std::string CatalogPath(std::string_view storagePath, int code);

// Whether `name` matches `pattern` ("*", "?", ASCII letters in any case).
bool MatchesItemPattern(std::string_view name, std::string_view pattern);

}  // namespace tsln2xml::store
