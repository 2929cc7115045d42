#pragma once
// Writes items straight into a storage area's catalogs with chosen times and
// users, for tests of item lists (the item store would stamp the current time
// and the process's user).

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/catalog.h"
#include "store/item_lookup.h"

namespace tsln2xml::test {

struct Write {
  int32_t time;
  std::string user;
};

// Writes item `name` of data type `code` once per entry of `writes`, in order:
// the first write is the creation, the last two the previous and the last
// modification.
inline void PutItemHistory(const std::string& area, int code, std::string_view name, const std::vector<Write>& writes,
                           size_t size = 2) {
  store::Catalog catalog;
  if (store::Catalog::OpenForWriting(store::CatalogPath(area, code), catalog) != store::CatalogStatus::kOk)
    throw std::runtime_error("PutItemHistory: cannot open the catalog");
  const std::vector<uint8_t> content(size, 0);
  for (const Write& w : writes)
    if (catalog.Put(name, content, w.time, w.user) != store::CatalogStatus::kOk)
      throw std::runtime_error("PutItemHistory: " + catalog.LastError());
}

// Opens (or creates) an SQLite file and runs `sql` on it; the connection
// stays open, with whatever locks `sql` took, as long as the result lives.
inline store::SqliteDb OpenSql(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  store::SqliteDb owner(db);
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
    throw std::runtime_error(std::string("OpenSql: ") + sqlite3_errmsg(db));
  return owner;
}

inline void PutItemAt(const std::string& area, int code, std::string_view name, size_t size = 2) {
  PutItemHistory(area, code, name, {{1000, "ann"}}, size);
}

}  // namespace tsln2xml::test
