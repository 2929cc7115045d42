#include "store/catalog.h"

#include "platform/paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace tsln2xml::store {
namespace {

std::atomic<int> gBusyTimeoutMs{15000};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS items("
    " name TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,"
    " content BLOB NOT NULL,"
    " created INTEGER NOT NULL, created_user TEXT NOT NULL,"
    " modified INTEGER NOT NULL, modified_user TEXT NOT NULL,"
    " prev_modified INTEGER NOT NULL, prev_modified_user TEXT NOT NULL)";

std::string ColumnText(sqlite3_stmt* s, int col) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
  return text ? std::string(text, static_cast<size_t>(sqlite3_column_bytes(s, col))) : std::string();
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

}  // namespace

CatalogStatus Catalog::Fail() {
  error_ = db_ ? sqlite3_errmsg(db_.get()) : "cannot open the catalog";
  return CatalogStatus::kError;
}

bool Catalog::Exec(const char* sql) { return sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

SqliteStatement Catalog::Prepare(const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_.get(), sql, -1, &stmt, nullptr) != SQLITE_OK) return nullptr;
  return SqliteStatement(stmt);
}

CatalogStatus Catalog::OpenForReading(const std::string& path, Catalog& out) {
  std::error_code ec;
  const std::string host = platform::HostPath(path);
  if (!std::filesystem::is_regular_file(host, ec)) return CatalogStatus::kMissing;
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(host.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  out.db_.reset(db);
  if (rc != SQLITE_OK) return out.Fail();
  sqlite3_busy_timeout(db, gBusyTimeoutMs);
  return CatalogStatus::kOk;
}

CatalogStatus Catalog::OpenForWriting(const std::string& path, Catalog& out) {
  std::error_code ec;
  const std::string host = platform::HostPath(path);
  const auto dir = std::filesystem::path(host).parent_path();
  if (!std::filesystem::is_directory(dir.empty() ? "." : dir, ec)) return CatalogStatus::kMissing;
  sqlite3* db = nullptr;
  const int rc =
      sqlite3_open_v2(host.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  out.db_.reset(db);
  if (rc != SQLITE_OK) return out.Fail();
  sqlite3_busy_timeout(db, gBusyTimeoutMs);
  return CatalogStatus::kOk;
}

CatalogStatus Catalog::Get(std::string_view name, StoredItem& out, bool withContent) {
  auto stmt = Prepare(
      withContent ? "SELECT name, length(content), created, created_user, modified, modified_user, prev_modified, "
                    "prev_modified_user, content FROM items WHERE name = ?1"
                  : "SELECT name, length(content), created, created_user, modified, modified_user, prev_modified, "
                    "prev_modified_user FROM items WHERE name = ?1");
  if (!stmt) {
    // A catalog that was never written to has no table yet: it holds nothing.
    if (sqlite3_errcode(db_.get()) == SQLITE_ERROR && std::string(sqlite3_errmsg(db_.get())).find("no such table") == 0)
      return CatalogStatus::kNotFound;
    return Fail();
  }
  sqlite3_bind_text(stmt.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  const int rc = sqlite3_step(stmt.get());
  if (rc == SQLITE_DONE) return CatalogStatus::kNotFound;
  if (rc != SQLITE_ROW) return Fail();
  ReadAttributes(stmt.get(), out.attributes);
  if (withContent) {
    const auto* blob = static_cast<const uint8_t*>(sqlite3_column_blob(stmt.get(), 8));
    out.content.assign(blob, blob + sqlite3_column_bytes(stmt.get(), 8));
  }
  return CatalogStatus::kOk;
}

CatalogStatus Catalog::List(std::vector<ItemAttributes>& out) {
  out.clear();
  auto stmt = Prepare(
      "SELECT name, length(content), created, created_user, modified, modified_user, prev_modified, "
      "prev_modified_user FROM items ORDER BY name COLLATE NOCASE");
  if (!stmt) {
    if (std::string(sqlite3_errmsg(db_.get())).find("no such table") == 0) return CatalogStatus::kOk;
    return Fail();
  }
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) ReadAttributes(stmt.get(), out.emplace_back());
  return rc == SQLITE_DONE ? CatalogStatus::kOk : Fail();
}

CatalogStatus Catalog::Put(std::string_view name, std::span<const uint8_t> content, int32_t now,
                           const std::string& user) {
  if (!Exec("BEGIN IMMEDIATE")) return Fail();
  auto rollback = [this] {
    const CatalogStatus status = Fail();
    Exec("ROLLBACK");
    return status;
  };
  if (!Exec(kSchema)) return rollback();
  if (!Exec("PRAGMA application_id = 1414745166")) return rollback();  // "TSLN"
  auto stmt = Prepare(
      "INSERT INTO items(name, content, created, created_user, modified, modified_user, prev_modified, "
      "prev_modified_user) VALUES(?1, ?2, ?3, ?4, ?3, ?4, 0, '') "
      "ON CONFLICT(name) DO UPDATE SET content = excluded.content, "
      "prev_modified = modified, prev_modified_user = modified_user, "
      "modified = excluded.modified, modified_user = excluded.modified_user");
  if (!stmt) return rollback();
  sqlite3_bind_text(stmt.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  sqlite3_bind_blob(stmt.get(), 2, content.empty() ? "" : static_cast<const void*>(content.data()),
                    static_cast<int>(content.size()), SQLITE_STATIC);
  sqlite3_bind_int(stmt.get(), 3, now);
  sqlite3_bind_text(stmt.get(), 4, user.data(), static_cast<int>(user.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) return rollback();
  stmt.reset();
  if (!Exec("COMMIT")) return rollback();
  return CatalogStatus::kOk;
}

CatalogStatus Catalog::Remove(std::string_view name) {
  auto stmt = Prepare("DELETE FROM items WHERE name = ?1");
  if (!stmt) return Fail();
  sqlite3_bind_text(stmt.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
  if (sqlite3_step(stmt.get()) != SQLITE_DONE) return Fail();
  return sqlite3_changes(db_.get()) ? CatalogStatus::kOk : CatalogStatus::kNotFound;
}

void SetCatalogBusyTimeout(int milliseconds) { gBusyTimeoutMs = milliseconds; }

std::string CurrentUserName() {
  struct passwd pwd;
  struct passwd* result = nullptr;
  char buf[1024];
  if (getpwuid_r(geteuid(), &pwd, buf, sizeof buf, &result) == 0 && result && result->pw_name)
    return result->pw_name;
  const char* user = std::getenv("USER");
  return user ? user : "";
}

int32_t CurrentTime() { return static_cast<int32_t>(std::time(nullptr)); }

}  // namespace tsln2xml::store
