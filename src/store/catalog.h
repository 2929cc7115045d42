#pragma once
// An item catalog: one SQLite database per control file in a storage area's
// directory, holding the items of one data type with their bytes and their
// creation and modification history. Item names match without regard to
// ASCII case and keep the spelling they were first written with.

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <functional>
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

// kTooLong: the catalog's path is longer than a catalog path may be (see
// CatalogPathFits); LastError() names it.
enum class CatalogStatus { kOk, kMissing, kNotFound, kError, kTooLong };

class Catalog {
 public:
  // Opens an existing catalog for reading: kMissing when nothing of that name
  // exists, kError when it is not a catalog (a directory, say, or an SQLite
  // file with tables, views, triggers or indexes of its own, or of another
  // text encoding: see LastCatalogRefusal) or cannot be read. A catalog
  // left with a hot journal by a process that died while writing is rolled
  // back to its last committed state as it is opened, so readers open it
  // writable when they may (a write-protected file is read as it is).
  static CatalogStatus OpenForReading(const std::string& path, Catalog& out);
  // Opens or creates a catalog for writing; its directory must exist. An
  // existing file is refused as for reading.
  static CatalogStatus OpenForWriting(const std::string& path, Catalog& out);

  // Reads one item (kNotFound when there is none). A row that Put would not
  // have written (a name that cannot name an item, content that is not
  // bytes, a time that is not a 32-bit integer, a user that is not text) is
  // refused with kError, here and in List.
  CatalogStatus Get(std::string_view name, StoredItem& out, bool withContent = true);
  // A read transaction over several reads (BEGIN; no lock is taken before
  // the first read) and its end; see ReadBatchScope.
  bool BeginRead() { return db_ && !InTransaction() && Exec("BEGIN"); }
  void EndRead() {
    if (InTransaction()) Exec("COMMIT");
  }
  // Every item's attributes, in name order.
  CatalogStatus List(std::vector<ItemAttributes>& out);
  // The same one item at a time, none kept: `each` sees every row in one
  // read of the catalog (a row is valid during the call). A damaged row
  // ends the visit with kError after the rows before it.
  CatalogStatus Visit(const std::function<void(const ItemAttributes&)>& each);
  // Writes an item in one transaction: a new item gets its creation time and
  // user; an existing one keeps its name's spelling and creation, and its
  // history moves on (previous <- last <- now). The row is read back before
  // the commit, and read from the file after it: a write that does not read
  // back fails (a damaged catalog).
  CatalogStatus Put(std::string_view name, std::span<const uint8_t> content, int32_t now, const std::string& user);
  // Removes an item; kNotFound when there is none.
  CatalogStatus Remove(std::string_view name);

  // A transaction of many writes (a batch): Begin, PutInTransaction for each
  // item, then Commit. An item whose write fails is rolled back alone (a
  // savepoint per item), unless SQLite gave up the whole transaction (an I/O
  // error, a full disk): then InTransaction() is false and nothing of it is
  // written. Commit makes every item put since Begin durable at once, or
  // none of them.
  CatalogStatus Begin();
  CatalogStatus PutInTransaction(std::string_view name, std::span<const uint8_t> content, int32_t now,
                                 const std::string& user);
  bool InTransaction() const { return db_ && !sqlite3_get_autocommit(db_.get()); }
  CatalogStatus Commit();
  void Rollback();
  // After a commit: the items read from the file (see Put).
  CatalogStatus CheckCommitted(std::span<const std::string_view> names);
  // Closes the connection (a closed catalog fails every call).
  void Close();

  const std::string& LastError() const { return error_; }
  // Gives back the memory of pages the connection keeps cached (a catalog
  // kept open between reads holds no more than its schema).
  void ReleaseCachedPages() { sqlite3_db_release_memory(db_.get()); }

 private:
  CatalogStatus Fail();
  CatalogStatus Refuse(const std::string& why);
  CatalogStatus CheckSchema();
  CatalogStatus ReadBack(std::string_view name, std::optional<std::span<const uint8_t>> content);
  CatalogStatus WriteRow(std::string_view name, std::span<const uint8_t> content, int32_t now,
                         const std::string& user);
  CatalogStatus TooLong(const std::string& hostPath);
  static CatalogStatus Open(const std::string& hostPath, int flags, Catalog& out);
  static CatalogStatus CreateWithItem(const std::string& hostPath, std::string_view name,
                                      std::span<const uint8_t> content, int32_t now, const std::string& user,
                                      std::string& error);
  friend class CatalogBatch;
  friend CatalogStatus StoreItem(const std::string&, std::string_view, std::span<const uint8_t>, int32_t,
                                 const std::string&, std::string*);
  bool Exec(const char* sql);
  SqliteStatement Prepare(const char* sql);
  // The statements of writes, prepared once per connection: a batch writes
  // thousands of items through them. Reset (by the caller) after each use.
  enum Kept { kInsert, kSavepoint, kRelease, kRollbackTo, kReadRow, kReadAttributes, kReadSmallRow, kReadShape, kKeptCount };
  sqlite3_stmt* KeptStatement(Kept which);
  bool StepKept(Kept which);  // runs a kept statement without results

  struct BusyWait;
  // Declared before db_, so the connection that calls it closes first.
  std::shared_ptr<BusyWait> busy_;
  SqliteDb db_;
  // Declared after db_, so they are finalized before it closes.
  std::array<SqliteStatement, kKeptCount> kept_;
  std::string error_;
};

// Writes one item into the catalog at `path` in one transaction (see Put).
// When there is no catalog yet, it is built under a private name beside it
// and linked into place only once it holds the item, so a failed first write
// leaves no (empty) catalog behind, and a catalog another process creates
// meanwhile is written to instead, never replaced. `error` gets the reason of
// a failure.
CatalogStatus StoreItem(const std::string& path, std::string_view name, std::span<const uint8_t> content,
                        int32_t now, const std::string& user, std::string* error = nullptr);

// A private name beside the catalog at host path `hostPath`, unique in this
// process, under which a first write builds the catalog before it is linked
// into place; and the removal of such a file with its journal.
std::string PrivateCatalogName(const std::string& hostPath);
void RemoveWithJournal(const std::string& hostPath);
// Removes the private files (and journals) of first writes to the catalog at
// `hostPath` that processes killed before the rename left behind.
void RemoveLeftoversOf(const std::string& hostPath);
// Makes a new directory entry in the directory of `hostPath` durable.
void SyncDirectoryOf(const std::string& hostPath);

// Whether a catalog at host path `hostPath` can be opened: its absolute
// path must fit the platform's paths (PATH_MAX) and SQLite's file names
// (512 bytes), with room for the private name of a first write.
bool CatalogPathFits(const std::string& hostPath);
// The longest absolute catalog path, in bytes.
size_t MaxCatalogPath();

// Whether the last catalog that this thread opened or read an item from
// failed because another process held it locked past the busy timeout.
bool LastCatalogFailureWasLock();
// Why the last catalog that this thread opened was refused as not one this
// store wrote (another schema, another text encoding, a damaged row); ""
// when it was not.
const std::string& LastCatalogRefusal();

// How long opening, reading or writing a catalog waits for another
// process's lock before it fails (15 seconds unless changed; tests shorten
// it). The wait starts again whenever the catalog changes meanwhile: a busy
// storage area where other writers keep committing is not one locked by
// another process. It never exceeds eight times the timeout in all.
void SetCatalogBusyTimeout(int milliseconds);

// The user name of the process's OS account.
std::string CurrentUserName();
// Seconds since 1970-01-01 UTC as stored with items.
int32_t CurrentTime();

}  // namespace tsln2xml::store
