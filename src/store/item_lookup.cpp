#include "store/item_lookup.h"

#include "core/data_types.h"
#include "store/item_path.h"
#include "store/item_store.h"
#include "store/marker_file.h"

namespace tsln2xml::store {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A marker's size is the size of its data, without the container head that
// the catalog keeps in front of it.
int32_t ListedSize(int code, int32_t stored) {
  if (code == kMarkerDataType && stored >= static_cast<int32_t>(kMarkerDataStart))
    return stored - static_cast<int32_t>(kMarkerDataStart);
  return stored;
}

}  // namespace

bool MatchesItemPattern(std::string_view name, std::string_view pattern) {
  // Greedy matching with one backtrack point: the last "*" seen and the
  // name position it was tried at. Linear in practice, quadratic at worst.
  size_t n = 0, p = 0;
  size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
      ++n;
      ++p;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string CatalogPath(std::string_view storagePath, int code) {
  const char* catalog = CatalogFileName(code);
  if (!catalog) return {};
  return ItemDirectory(storagePath, code) + catalog;
}

int32_t ItemLookup::LookupItemData(int code, std::string_view storagePath, std::string& itemName,
                                   std::string_view pattern, int continueFlag) {
  if (continueFlag != 0) return Deliver(itemName);

  items_.clear();
  code_ = code;
  next_ = 0;
  pattern_ = std::string(pattern);
  error_.clear();
  const std::string path = CatalogPath(storagePath, code);
  if (path.empty()) return kLookupNoMore;
  Catalog catalog;
  CatalogStatus status = Catalog::OpenForReading(path, catalog);
  if (status == CatalogStatus::kOk) status = catalog.List(items_);
  if (status == CatalogStatus::kMissing) return kLookupNoMore;
  if (status != CatalogStatus::kOk) {
    items_.clear();
    error_ = catalog.LastError();
    if (LastCatalogFailureWasLock()) error_ += " (storage area is locked by another process)";
    return status == CatalogStatus::kTooLong ? kPathTooLong : kCatalogError;
  }
  return Deliver(itemName);
}

int32_t ItemLookup::ForEachItem(int code, std::string_view storagePath, std::string_view pattern,
                                const std::function<void(const ItemAttributes&)>& each) {
  items_.clear();
  next_ = 0;
  error_.clear();
  const std::string path = CatalogPath(storagePath, code);
  if (path.empty()) return kLookupNoMore;
  Catalog catalog;
  CatalogStatus status = Catalog::OpenForReading(path, catalog);
  if (status == CatalogStatus::kOk) {
    ItemAttributes shown;
    status = catalog.Visit([&](const ItemAttributes& item) {
      if (!MatchesItemPattern(item.name, pattern)) return;
      shown = item;
      shown.size = ListedSize(code, item.size);
      each(shown);
    });
  }
  if (status == CatalogStatus::kOk || status == CatalogStatus::kMissing) return kLookupNoMore;
  error_ = catalog.LastError();
  if (LastCatalogFailureWasLock()) error_ += " (storage area is locked by another process)";
  return status == CatalogStatus::kTooLong ? kPathTooLong : kCatalogError;
}

int32_t ItemLookup::Deliver(std::string& itemName) {
  while (next_ < items_.size()) {
    ItemAttributes& item = items_[next_++];
    if (!MatchesItemPattern(item.name, pattern_)) continue;
    current_ = std::move(item);
    current_.size = ListedSize(code_, current_.size);
    itemName = current_.name;
    return kLookupDelivered;
  }
  return kLookupNoMore;
}

}  // namespace tsln2xml::store
