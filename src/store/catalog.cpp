#include "store/catalog.h"

#include "platform/host_files.h"
#include "platform/paths.h"
#include "platform/per_thread.h"
#include "platform/replace_file.h"
#include "store/item_store.h"

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

namespace tsln2xml::store {
namespace {

std::atomic<int> gBusyTimeoutMs{15000};
thread_local bool tLastFailureWasLock = false;

// The calling thread's last refusal.
std::string& LastRefusal() {
  static platform::PerThread<std::string> refusal;
  return refusal.Get();
}

constexpr std::string_view kCreate = "CREATE TABLE IF NOT EXISTS ";
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS items("
    " name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    " content BLOB NOT NULL,"
    " created INTEGER NOT NULL, created_user TEXT NOT NULL,"
    " modified INTEGER NOT NULL, modified_user TEXT NOT NULL,"
    " prev_modified INTEGER NOT NULL, prev_modified_user TEXT NOT NULL)";
constexpr std::string_view kKeyIndex = "sqlite_autoindex_items_1";

// Whether `sql` is the statement SQLite keeps for the table that kSchema
// creates ("CREATE TABLE items(...)").
bool IsItemsTable(std::string_view sql) {
  constexpr std::string_view kept = "CREATE TABLE ";
  return sql.starts_with(kept) && sql.substr(kept.size()) == std::string_view(kSchema).substr(kCreate.size());
}

// Every read selects these columns first, in the order ReadAttributes and
// RowIsSound take them; length() and typeof() look at a record's header, not
// at its content.
constexpr const char* kGetAttributesSql =
    "SELECT name, length(content), created, created_user, modified, modified_user, prev_modified, "
    "prev_modified_user, typeof(content) FROM items WHERE name = ?1";
// Content is read through the blob interface, by the row's id.
constexpr const char* kGetRowSql =
    "SELECT name, length(content), created, created_user, modified, modified_user, prev_modified, "
    "prev_modified_user, typeof(content), rowid FROM items WHERE name = ?1";
constexpr int kRowidColumn = 9;
// A row read back with its content as a column, for items small enough that
// the copy costs less than opening a blob.
constexpr const char* kGetSmallRowSql =
    "SELECT name, length(content), created, created_user, modified, modified_user, prev_modified, "
    "prev_modified_user, typeof(content), content FROM items WHERE name = ?1";
constexpr int kContentColumn = 9;
constexpr size_t kSmallRow = 64 * 1024;
// A row read again from the file after its commit: what the record's header
// says (the types of its columns, the content's length) and the name, which
// lies before the content. The history columns' values lie after it, at the
// end of a large item's overflow pages; their types are in the header.
constexpr const char* kGetShapeSql =
    "SELECT name, length(content), typeof(content), typeof(created), typeof(created_user), typeof(modified), "
    "typeof(modified_user), typeof(prev_modified), typeof(prev_modified_user) FROM items WHERE name = ?1";
constexpr const char* kListSql =
    "SELECT name, length(content), created, created_user, modified, modified_user, prev_modified, "
    "prev_modified_user, typeof(content) FROM items ORDER BY name COLLATE NOCASE";

constexpr const char* kDamagedRow =
    "damaged catalog: an item's name, content, times or users are not what this store writes";

std::string ColumnText(sqlite3_stmt* s, int col) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
  return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(s, col))) : std::string();
}

bool IsInt32(sqlite3_stmt* s, int col) {
  if (sqlite3_column_type(s, col) != SQLITE_INTEGER) return false;
  const sqlite3_int64 v = sqlite3_column_int64(s, col);
  return v >= INT32_MIN && v <= INT32_MAX;
}

// Whether column 0 holds a name that can name an item.
bool NameIsSound(sqlite3_stmt* s) {
  if (sqlite3_column_type(s, 0) != SQLITE_TEXT) return false;
  const auto* name = sqlite3_column_text(s, 0);
  const int nameBytes = sqlite3_column_bytes(s, 0);
  return name && nameBytes >= 1 && nameBytes <= static_cast<int>(kMaxItemName) && !std::memchr(name, 0, nameBytes);
}

// Whether a row holds what Put writes: a name that can name an item (1 to 20
// bytes of text without NUL), content that is bytes (its length then counts
// bytes, not characters), 32-bit times and users that are text. The columns'
// NOT NULL and types bind what SQLite writes, not what a file holds: a row
// of another kind comes from a damaged or foreign file and is refused rather
// than read as something it is not (a NUL would cut the name a list shows,
// so that it names another item).
bool RowIsSound(sqlite3_stmt* s) {
  if (!NameIsSound(s)) return false;
  const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(s, 8));
  if (!type || std::string_view(type) != "blob") return false;
  for (int col : {2, 4, 6})
    if (!IsInt32(s, col)) return false;
  for (int col : {3, 5, 7})
    if (sqlite3_column_type(s, col) != SQLITE_TEXT) return false;
  return true;
}

// What RowIsSound checks of a row that kGetShapeSql selects, but the values
// of its times (read back in the transaction that wrote them).
bool RowShapeIsSound(sqlite3_stmt* s) {
  if (!NameIsSound(s)) return false;
  auto is = [s](int col, std::string_view type) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
    return text && std::string_view(text) == type;
  };
  return is(2, "blob") && is(3, "integer") && is(4, "text") && is(5, "integer") && is(6, "text") &&
         is(7, "integer") && is(8, "text");
}

void ReadAttributes(sqlite3_stmt* s, ItemAttributes& a) {
  a.name = ColumnText(s, 0);
  a.size = sqlite3_column_int(s, 1);
  a.created = sqlite3_column_int(s, 2);
  a.createdUser = ColumnText(s, 3);
  a.modified = sqlite3_column_int(s, 4);
  a.modifiedUser = ColumnText(s, 5);
  a.previousModified = sqlite3_column_int(s, 6);
  a.previousModifiedUser = ColumnText(s, 7);
}

// Resets a kept statement when it goes out of use.
struct Resetting {
  sqlite3_stmt* stmt;
  ~Resetting() {
    if (stmt) {
      sqlite3_clear_bindings(stmt);
      sqlite3_reset(stmt);
    }
  }
};

}  // namespace

CatalogStatus Catalog::Fail() {
  error_ = db_ ? sqlite3_errmsg(db_.get()) : "cannot open the catalog";
  if (db_ && (sqlite3_extended_errcode(db_.get()) & 0xFF) == SQLITE_BUSY) tLastFailureWasLock = true;
  return CatalogStatus::kError;
}

bool Catalog::Exec(const char* sql) { return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

sqlite3_stmt* Catalog::KeptStatement(Kept which) {
  static constexpr std::array<const char*, kKeptCount> kSql = {
      "INSERT INTO items(name, content, created, created_user, modified, modified_user, prev_modified, "
      "prev_modified_user) VALUES(?1, ?2, ?3, ?4, ?3, ?4, 0, '') "
      "ON CONFLICT(name) DO UPDATE SET content = excluded.content, "
      "prev_modified = modified, prev_modified_user = modified_user, "
      "modified = excluded.modified, modified_user = excluded.modified_user",
      "SAVEPOINT item",
      "RELEASE item",
      "ROLLBACK TO item",
      kGetRowSql,
      kGetAttributesSql,
      kGetSmallRowSql,
      kGetShapeSql};
  SqliteStatement& kept = kept_[which];
  if (!kept) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_.get(), kSql[which], -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
      return nullptr;
    kept.reset(stmt);
  }
  return kept.get();
}

bool Catalog::StepKept(Kept which) {
  sqlite3_stmt* stmt = KeptStatement(which);
  if (!stmt) return false;
  const bool done = sqlite3_step(stmt) == SQLITE_DONE;
  sqlite3_reset(stmt);
  return done;
}

void Catalog::Close() {
  for (auto& stmt : kept_) stmt.reset();
  db_.reset();  // before the busy handler it calls
  busy_.reset();
}

SqliteStatement Catalog::Prepare(const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_.get(), sql, -1, &stmt, nullptr) != SQLITE_OK) return nullptr;
  return SqliteStatement(stmt);
}

// Waits for another connection's lock in short random sleeps, which share
// the catalog among waiting writers more evenly than a growing back-off; a
// change of the catalog file (another writer's commit) restarts the timeout.
struct Catalog::BusyWait {
  using Clock = std::chrono::steady_clock;
  std::string hostPath;
  Clock::time_point deadline, limit;
  struct timespec changed {};
  off_t size = -1;

  static int Handler(void* self, int count) { return static_cast<BusyWait*>(self)->Wait(count); }

  int Wait(int count) {
    const auto now = Clock::now();
    const auto timeout = std::chrono::milliseconds(gBusyTimeoutMs.load());
    struct stat st {};
    const bool known = platform::StatPath(hostPath, &st) == 0;
#ifdef _WIN32
    // Whole seconds on Windows; the size tells most commits apart.
    const struct timespec modified {st.st_mtime, 0};
#else
    const struct timespec modified = st.st_mtim;
#endif
    const bool progress = known && (modified.tv_sec != changed.tv_sec || modified.tv_nsec != changed.tv_nsec ||
                                    st.st_size != size);
    if (count == 0) {
      deadline = now + timeout;
      limit = now + 8 * timeout;
    } else if (progress) {
      deadline = std::min(now + timeout, limit);
    }
    if (known) {
      changed = modified;
      size = st.st_size;
    }
    if (now >= deadline) return 0;
    thread_local std::minstd_rand random(static_cast<unsigned>(::getpid()) ^
                                         static_cast<unsigned>(now.time_since_epoch().count()));
    const auto pause = std::chrono::microseconds(500 + random() % 4500);
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
    return 1;
  }
};

CatalogStatus Catalog::TooLong(const std::string& hostPath) {
  error_ = "the path is longer than the " + std::to_string(MaxCatalogPath()) + " bytes a catalog path may have: " +
           hostPath;
  return CatalogStatus::kTooLong;
}

CatalogStatus Catalog::Open(const std::string& hostPath, int flags, Catalog& out) {
  LastRefusal().clear();
  out.Close();
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(hostPath.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  out.db_.reset(db);
  if (rc != SQLITE_OK) return out.Fail();
  out.busy_ = std::make_shared<BusyWait>();
  out.busy_->hostPath = hostPath;
  sqlite3_busy_handler(db, &BusyWait::Handler, out.busy_.get());
  // A catalog is a file that any program can write. SQLite reads hostile
  // files safely only when told to (no SQL of the file's schema that is not
  // marked harmless, no writes to its own tables or schema, every cell's
  // size checked), and CheckSchema then refuses whatever this store would
  // not have written.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
#ifdef SQLITE_DBCONFIG_TRUSTED_SCHEMA
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
#endif
#ifdef SQLITE_DBCONFIG_ENABLE_VIEW
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
#endif
  if (!out.Exec("PRAGMA cell_size_check = ON")) return out.Fail();
  return out.CheckSchema();
}

// The schema must be the one Put creates, or none yet: the items table as
// kSchema has it and the index of its key. Anything else would have SQLite
// run the file's own SQL on a read or a write: a view named items can yield
// rows without end, a generated column a gigabyte of content from a small
// file, a trigger can delete the item a write has just stored. A catalog in
// another text encoding would turn the code page bytes of names into other
// bytes.
CatalogStatus Catalog::CheckSchema() {
  auto stmt = Prepare("SELECT type, name, sql FROM sqlite_master");
  if (!stmt) return Fail();
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    const std::string type = ColumnText(stmt.get(), 0), name = ColumnText(stmt.get(), 1);
    const bool table = type == "table" && name == "items" && IsItemsTable(ColumnText(stmt.get(), 2));
    const bool key = type == "index" && name == kKeyIndex && sqlite3_column_type(stmt.get(), 2) == SQLITE_NULL;
    if (!table && !key)
      return Refuse("not an item catalog: it holds tables, views, triggers or indexes this store does not create");
  }
  if (rc != SQLITE_DONE) return Fail();
  stmt = Prepare("PRAGMA encoding");
  if (!stmt) return Fail();
  rc = sqlite3_step(stmt.get());
  if (rc != SQLITE_ROW) return Fail();
  if (ColumnText(stmt.get(), 0) != "UTF-8") return Refuse("not an item catalog: its text is not UTF-8");
  return CatalogStatus::kOk;
}

CatalogStatus Catalog::Refuse(const std::string& why) {
  error_ = why;
  LastRefusal() = error_;
  return CatalogStatus::kError;
}

CatalogStatus Catalog::OpenForReading(const std::string& path, Catalog& out) {
  tLastFailureWasLock = false;
  const std::string host = platform::HostPath(path);
  // A catalog that does not exist holds nothing, whatever the length of the
  // path it would have: its length matters only to a catalog that is opened.
  std::error_code ec;
  const auto status = std::filesystem::status(platform::FsPath(host), ec);
  if (status.type() == std::filesystem::file_type::not_found) return CatalogStatus::kMissing;
  if (!CatalogPathFits(host)) return out.TooLong(host);
  if (status.type() != std::filesystem::file_type::regular) {
    // A directory or device under a catalog's name is not an empty catalog:
    // passing over it would hide the items a list is expected to show.
    out.error_ = host + (ec ? ": " + ec.message() : std::string(" is not a catalog file"));
    return CatalogStatus::kError;
  }
  // Writable when the file allows it, so that a hot journal can be rolled
  // back; SQLite itself falls back to reading a write-protected file.
  return Open(host, SQLITE_OPEN_READWRITE, out);
}

CatalogStatus Catalog::OpenForWriting(const std::string& path, Catalog& out) {
  tLastFailureWasLock = false;
  const std::string host = platform::HostPath(path);
  if (!CatalogPathFits(host)) return out.TooLong(host);
  std::error_code ec;
  const auto dir = platform::FsPath(host).parent_path();
  if (!std::filesystem::is_directory(dir.empty() ? "." : dir, ec)) return CatalogStatus::kMissing;
  return Open(host, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, out);
}

CatalogStatus Catalog::Get(std::string_view name, StoredItem& out, bool withContent) {
  tLastFailureWasLock = false;
  // Kept prepared: a catalog kept open between reads reads many items.
  sqlite3_stmt* stmt = KeptStatement(withContent ? kReadRow : kReadAttributes);
  if (!stmt) {
    // A catalog that was never written to has no table yet: it holds nothing.
    if (sqlite3_errcode(db_.get()) == SQLITE_ERROR && std::string(sqlite3_errmsg(db_.get())).find("no such table") == 0)
      return CatalogStatus::kNotFound;
    return Fail();
  }
  Resetting resetting{stmt};
  sqlite3_bind_text(stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(stmt);
  if (rc == SQLITE_DONE) return CatalogStatus::kNotFound;
  if (rc != SQLITE_ROW) return Fail();
  if (!RowIsSound(stmt)) return Refuse(kDamagedRow);
  ReadAttributes(stmt, out.attributes);
  if (!withContent) return CatalogStatus::kOk;
  // The bytes are read straight into the item's buffer (a column value would
  // be one more copy of the whole item). The statement stays open meanwhile,
  // so the read sees the row it found.
  sqlite3_blob* blob = nullptr;
  int blobRc =
      sqlite3_blob_open(db_.get(), "main", "items", "content", sqlite3_column_int64(stmt, kRowidColumn), 0, &blob);
  if (blobRc == SQLITE_OK) {
    const int size = sqlite3_blob_bytes(blob);
    out.content.resize(static_cast<size_t>(size));
    if (size > 0) blobRc = sqlite3_blob_read(blob, out.content.data(), size, 0);
  }
  const CatalogStatus status = blobRc == SQLITE_OK ? CatalogStatus::kOk : Fail();
  sqlite3_blob_close(blob);
  if (status != CatalogStatus::kOk) out.content.clear();
  return status;
}

CatalogStatus Catalog::List(std::vector<ItemAttributes>& out) {
  out.clear();
  const CatalogStatus status = Visit([&out](const ItemAttributes& item) { out.push_back(item); });
  if (status != CatalogStatus::kOk) out.clear();
  return status;
}

CatalogStatus Catalog::Visit(const std::function<void(const ItemAttributes&)>& each) {
  auto stmt = Prepare(kListSql);
  if (!stmt) {
    if (std::string(sqlite3_errmsg(db_.get())).find("no such table") == 0) return CatalogStatus::kOk;
    return Fail();
  }
  int rc;
  ItemAttributes row;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    if (!RowIsSound(stmt.get())) return Refuse(kDamagedRow);
    ReadAttributes(stmt.get(), row);
    each(row);
  }
  return rc == SQLITE_DONE ? CatalogStatus::kOk : Fail();
}

CatalogStatus Catalog::Put(std::string_view name, std::span<const uint8_t> content, int32_t now,
                           const std::string& user) {
  if (const CatalogStatus begun = Begin(); begun != CatalogStatus::kOk) return begun;
  if (const CatalogStatus written = WriteRow(name, content, now, user); written != CatalogStatus::kOk) {
    Exec("ROLLBACK");
    return written;
  }
  if (const CatalogStatus committed = Commit(); committed != CatalogStatus::kOk) return committed;
  return CheckCommitted({&name, 1});
}

CatalogStatus Catalog::Begin() {
  if (!Exec("BEGIN IMMEDIATE")) return Fail();
  if (!Exec(kSchema) || !Exec("PRAGMA application_id = 1414745166")) {  // "TSLN"
    const CatalogStatus status = Fail();
    Exec("ROLLBACK");
    return status;
  }
  return CatalogStatus::kOk;
}

// Inserts or replaces the row and reads it back inside the transaction.
CatalogStatus Catalog::WriteRow(std::string_view name, std::span<const uint8_t> content, int32_t now,
                                const std::string& user) {
  {
    sqlite3_stmt* stmt = KeptStatement(kInsert);
    if (!stmt) return Fail();
    Resetting resetting{stmt};
    sqlite3_bind_text(stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_blob(stmt, 2, content.empty() ? "" : static_cast<const void*>(content.data()),
                      static_cast<int>(content.size()), SQLITE_STATIC);
    sqlite3_bind_int(stmt, 3, now);
    sqlite3_bind_text(stmt, 4, user.data(), static_cast<int>(user.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(stmt) != SQLITE_DONE) return Fail();
  }
  return ReadBack(name, content);
}

CatalogStatus Catalog::PutInTransaction(std::string_view name, std::span<const uint8_t> content, int32_t now,
                                        const std::string& user) {
  if (!StepKept(kSavepoint)) return Fail();
  const CatalogStatus status = WriteRow(name, content, now, user);
  if (status == CatalogStatus::kOk) return StepKept(kRelease) ? CatalogStatus::kOk : Fail();
  // SQLite may have rolled the whole transaction back by itself (an I/O
  // error); otherwise only this item goes.
  if (InTransaction()) {
    StepKept(kRollbackTo);
    StepKept(kRelease);
  }
  return status;
}

CatalogStatus Catalog::Commit() {
  if (Exec("COMMIT")) return CatalogStatus::kOk;
  const CatalogStatus status = Fail();
  Exec("ROLLBACK");
  return status;
}

void Catalog::Rollback() {
  if (InTransaction()) Exec("ROLLBACK");
}

// Once more from the file: a page that SQLite refuses as it loads it (a cell
// outside its page's content area) can still take an insert while it is
// cached, and what was stored there no read finds. (Another process may have
// written or removed the item meanwhile, so only that it reads counts here.)
CatalogStatus Catalog::CheckCommitted(std::span<const std::string_view> names) {
  sqlite3_db_release_memory(db_.get());
  for (const std::string_view name : names)
    if (const CatalogStatus status = ReadBack(name, {}); status != CatalogStatus::kOk) return status;
  return CatalogStatus::kOk;
}

// Reads a row just written: in its transaction it must hold `content`;
// after the commit (no `content`) the catalog must not turn out damaged. A
// damaged catalog can take a write that no read finds again, and that must
// not pass for stored (a failure after the commit leaves a row that no read
// would have found anyway).
CatalogStatus Catalog::ReadBack(std::string_view name, std::optional<std::span<const uint8_t>> content) {
  // After the commit the row's page is what counts, not its content again.
  const bool small = content && content->size() <= kSmallRow;
  sqlite3_stmt* stmt = KeptStatement(!content ? kReadShape : small ? kReadSmallRow : kReadRow);
  if (!stmt) return Fail();
  Resetting resetting{stmt};
  sqlite3_bind_text(stmt, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(stmt);
  if (!content) {
    // What is committed stays so: only a catalog found damaged fails now,
    // not a read that another process's lock or an I/O error stopped.
    if ((rc & 0xFF) == SQLITE_CORRUPT) return Fail();
    return rc != SQLITE_ROW || RowShapeIsSound(stmt) ? CatalogStatus::kOk : Refuse(kDamagedRow);
  }
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return Fail();
  if (rc == SQLITE_DONE || !RowIsSound(stmt)) return Refuse(kDamagedRow);
  if (sqlite3_column_int64(stmt, 1) != static_cast<sqlite3_int64>(content->size())) return Refuse(kDamagedRow);
  if (small) {
    const void* stored = sqlite3_column_blob(stmt, kContentColumn);
    if (!stored && sqlite3_errcode(db_.get()) == SQLITE_NOMEM) return Fail();
    const bool same = content->empty() || (stored && sqlite3_column_bytes(stmt, kContentColumn) ==
                                                         static_cast<int>(content->size()) &&
                                           std::memcmp(stored, content->data(), content->size()) == 0);
    return same ? CatalogStatus::kOk : Refuse(kDamagedRow);
  }
  // Compared a piece at a time through the blob interface: the whole
  // content as a column value would be one more copy of the item.
  sqlite3_blob* blob = nullptr;
  int blobRc =
      sqlite3_blob_open(db_.get(), "main", "items", "content", sqlite3_column_int64(stmt, kRowidColumn), 0, &blob);
  bool same = blobRc == SQLITE_OK && sqlite3_blob_bytes(blob) == static_cast<int>(content->size());
  std::array<uint8_t, 64 * 1024> piece;
  for (size_t at = 0; same && at < content->size(); at += piece.size()) {
    const size_t n = std::min(piece.size(), content->size() - at);
    blobRc = sqlite3_blob_read(blob, piece.data(), static_cast<int>(n), static_cast<int>(at));
    same = blobRc == SQLITE_OK && std::memcmp(piece.data(), content->data() + at, n) == 0;
  }
  sqlite3_blob_close(blob);
  if (blobRc != SQLITE_OK) return Fail();
  return same ? CatalogStatus::kOk : Refuse(kDamagedRow);
}

CatalogStatus Catalog::Remove(std::string_view name) {
  auto stmt = Prepare("DELETE FROM items WHERE name = ?1");
  if (!stmt) return Fail();
  sqlite3_bind_text(stmt.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) return Fail();
  return sqlite3_changes(db_.get()) ? CatalogStatus::kOk : CatalogStatus::kNotFound;
}

// A first write: the catalog is built under a private name and linked into
// place when it holds the item. kMissing tells the caller to write into the
// catalog that exists after all (created meanwhile by another process, or a
// file system without hard links).
CatalogStatus Catalog::CreateWithItem(const std::string& hostPath, std::string_view name,
                                      std::span<const uint8_t> content, int32_t now, const std::string& user,
                                      std::string& error) {
  const std::string privateName = PrivateCatalogName(hostPath);
  RemoveWithJournal(privateName);  // left by a killed process that had our id
  CatalogStatus status;
  {
    Catalog catalog;
    status = Open(privateName, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, catalog);
    if (status == CatalogStatus::kOk) status = catalog.Put(name, content, now, user);
    if (status != CatalogStatus::kOk) error = catalog.LastError();
  }
  if (status != CatalogStatus::kOk) {
    RemoveWithJournal(privateName);
    return status;
  }
  if (!platform::MoveIntoPlaceIfAbsent(privateName, hostPath)) return CatalogStatus::kMissing;
  SyncDirectoryOf(hostPath);
  return CatalogStatus::kOk;
}

CatalogStatus StoreItem(const std::string& path, std::string_view name, std::span<const uint8_t> content,
                        int32_t now, const std::string& user, std::string* error) {
  Catalog catalog;
  CatalogStatus status = CatalogStatus::kMissing;
  const std::string host = platform::HostPath(path);
  RemoveLeftoversOf(host);
  std::error_code ec;
  // Opening creates the file at once, so a first write is made elsewhere.
  const bool first =
      std::filesystem::symlink_status(platform::FsPath(host), ec).type() == std::filesystem::file_type::not_found;
  if (first && CatalogPathFits(host)) {
    const auto dir = platform::FsPath(host).parent_path();
    if (!std::filesystem::is_directory(dir.empty() ? "." : dir, ec)) return CatalogStatus::kMissing;
    tLastFailureWasLock = false;
    std::string why;
    status = Catalog::CreateWithItem(host, name, content, now, user, why);
    if (status != CatalogStatus::kMissing) {
      if (error) *error = why;
      return status;
    }
  }
  status = Catalog::OpenForWriting(path, catalog);
  if (status == CatalogStatus::kOk) status = catalog.Put(name, content, now, user);
  if (error && status != CatalogStatus::kOk) *error = catalog.LastError();
  return status;
}

bool LastCatalogFailureWasLock() { return tLastFailureWasLock; }

const std::string& LastCatalogRefusal() { return LastRefusal(); }

void SetCatalogBusyTimeout(int milliseconds) { gBusyTimeoutMs = milliseconds; }

}  // namespace tsln2xml::store
