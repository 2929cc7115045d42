#pragma once
// An item catalog: one SQLite database per control file in a storage area's
// directory, holding the items of one data type with their bytes and their
// creation and modification history. Item names match without regard to
// ASCII case and keep the spelling they were first written with.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tsln2xml::store {

struct SqliteCloser {
  void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
struct StatementFinalizer {
  void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using SqliteDb = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// The attributes kept with each item.
struct ItemAttributes {
  std::string name;
  int32_t size = 0;
  int32_t created = 0;
  std::string createdUser;
  int32_t modified = 0;
  std::string modifiedUser;
  int32_t previousModified = 0;
  std::string previousModifiedUser;
};

struct StoredItem {
  ItemAttributes attributes;
  std::vector<uint8_t> content;
};

enum class CatalogStatus { kOk, kMissing, kNotFound, kError };

class Catalog {
 public:
  // Opens an existing catalog for reading: kMissing when the file does not
  // exist, kError when it is not a catalog or cannot be read.
  static CatalogStatus OpenForReading(const std::string& path, Catalog& out);
  // Opens or creates a catalog for writing; its directory must exist.
  static CatalogStatus OpenForWriting(const std::string& path, Catalog& out);

  // Reads one item (kNotFound when there is none).
  CatalogStatus Get(std::string_view name, StoredItem& out, bool withContent = true);
  // Every item's attributes, in name order.
  CatalogStatus List(std::vector<ItemAttributes>& out);
  // Writes an item in one transaction: a new item gets its creation time and
  // user; an existing one keeps its name's spelling and creation, and its
  // history moves on (previous <- last <- now).
  CatalogStatus Put(std::string_view name, std::span<const uint8_t> content, int32_t now, const std::string& user);
  // Removes an item; kNotFound when there is none.
  CatalogStatus Remove(std::string_view name);

  const std::string& LastError() const { return error_; }

 private:
  CatalogStatus Fail();
  bool Exec(const char* sql);
  SqliteStatement Prepare(const char* sql);

  SqliteDb db_;
  std::string error_;
};

// How long opening or reading a catalog waits for another process's lock
// before it fails (15 seconds unless changed; tests shorten it).
void SetCatalogBusyTimeout(int milliseconds);

// The user name of the process's OS account.
std::string CurrentUserName();
// Seconds since 1970-01-01 UTC as stored with items.
int32_t CurrentTime();

}  // namespace tsln2xml::store
