#include "store/catalog_batch.h"

#include <unistd.h>

#include <filesystem>

#include "platform/host_files.h"
#include "platform/paths.h"
#include "platform/replace_file.h"

namespace tsln2xml::store {

std::vector<std::string_view> CatalogBatch::Names(const std::vector<Written>& items) {
  std::vector<std::string_view> names;
  names.reserve(items.size());
  for (const Written& item : items) names.push_back(item.name);
  return names;
}

CatalogBatch::CatalogBatch(std::string controlPath, Limits limits)
    : controlPath_(std::move(controlPath)), hostPath_(platform::HostPath(controlPath_)), limits_(limits) {}

CatalogBatch::~CatalogBatch() { Abandon(); }

// Rolls back what is open, closes the connection and removes a private
// catalog that was never linked.
void CatalogBatch::Abandon() {
  catalog_.Rollback();
  catalog_.Close();
  open_ = false;
  if (!privatePath_.empty()) {
    RemoveWithJournal(privatePath_);
    privatePath_.clear();
  }
  pending_ = bytes_ = 0;
  written_.clear();
}

CatalogStatus CatalogBatch::Fail(CatalogStatus status, const std::string& error) {
  error_ = error;
  return status;
}

CatalogStatus CatalogBatch::Begin() {
  lost_ = false;
  pending_ = bytes_ = 0;
  written_.clear();
  if (!open_) {
    CatalogStatus status;
    RemoveLeftoversOf(hostPath_);
    std::error_code ec;
    const bool missing = std::filesystem::symlink_status(platform::FsPath(hostPath_), ec).type() ==
                         std::filesystem::file_type::not_found;
    if (missing && !directWrite_ && CatalogPathFits(hostPath_)) {
      // Opening creates the file at once, so a first write is made elsewhere.
      const auto dir = platform::FsPath(hostPath_).parent_path();
      if (!std::filesystem::is_directory(dir.empty() ? "." : dir, ec)) return Fail(CatalogStatus::kMissing, "");
      privatePath_ = PrivateCatalogName(hostPath_);
      RemoveWithJournal(privatePath_);  // left by a killed process that had our id
      status = Catalog::Open(privatePath_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, catalog_);
    } else {
      status = Catalog::OpenForWriting(controlPath_, catalog_);
    }
    if (status != CatalogStatus::kOk) {
      const std::string error = catalog_.LastError();
      Abandon();
      return Fail(status, error);
    }
    open_ = true;
    // A private catalog is linked into place only once its transaction has
    // committed, and removed otherwise, so it needs no journal on disk: one
    // kept in memory rolls back a savepoint and the syncs of a journal file
    // are saved.
    if (!privatePath_.empty()) catalog_.Exec("PRAGMA journal_mode = MEMORY");
    // Room for a transaction's pages, so that a large one is not written
    // into the catalog (after a sync of its journal) before its commit.
    catalog_.Exec("PRAGMA cache_size = -32768");
  }
  if (const CatalogStatus status = catalog_.Begin(); status != CatalogStatus::kOk)
    return Fail(status, catalog_.LastError());
  begun_ = std::chrono::steady_clock::now();
  return CatalogStatus::kOk;
}

CatalogStatus CatalogBatch::Add(std::string_view name, std::span<const uint8_t> content, int32_t now,
                                const std::string& user) {
  lost_ = false;
  if (!catalog_.InTransaction())
    if (const CatalogStatus status = Begin(); status != CatalogStatus::kOk) return status;
  const CatalogStatus status = catalog_.PutInTransaction(name, content, now, user);
  if (status != CatalogStatus::kOk) {
    error_ = catalog_.LastError();
    if (!catalog_.InTransaction()) {
      lost_ = pending_ > 0;
      pending_ = bytes_ = 0;
      written_.clear();
    }
    return status;
  }
  ++pending_;
  bytes_ += content.size();
  written_.push_back({std::string(name), {}, now, user});
  // A private catalog may have to be written again into one that another
  // process created meanwhile (see LinkPrivateCatalog).
  if (!privatePath_.empty()) written_.back().content.assign(content.begin(), content.end());
  return CatalogStatus::kOk;
}

bool CatalogBatch::Due() const {
  return pending_ > 0 &&
         (bytes_ >= limits_.bytes || std::chrono::steady_clock::now() - begun_ >= limits_.interval);
}

CatalogStatus CatalogBatch::Commit() {
  if (!catalog_.InTransaction()) {
    pending_ = bytes_ = 0;
    written_.clear();
    return CatalogStatus::kOk;
  }
  CatalogStatus status = catalog_.Commit();
  if (status == CatalogStatus::kOk) status = catalog_.CheckCommitted(Names(written_));
  if (status != CatalogStatus::kOk) {
    error_ = catalog_.LastError();
    if (!privatePath_.empty()) Abandon();
  } else if (!privatePath_.empty()) {
    status = LinkPrivateCatalog();
  }
  pending_ = bytes_ = 0;
  written_.clear();
  return status;
}

// The first commit of a catalog that did not exist: the private catalog is
// put into place (a link on Linux, a move on Windows). When another process created the catalog meanwhile (or
// the file system has no hard links), the items are written into that one
// in a transaction of their own.
CatalogStatus CatalogBatch::LinkPrivateCatalog() {
  std::vector<Written> items = std::move(written_);
  const std::string privatePath = privatePath_;
  privatePath_.clear();
  Abandon();
  const bool linked = platform::MoveIntoPlaceIfAbsent(privatePath, hostPath_);
  RemoveWithJournal(privatePath);
  if (linked) {
    SyncDirectoryOf(hostPath_);
    return CatalogStatus::kOk;
  }
  directWrite_ = true;
  CatalogStatus status = Begin();
  for (size_t i = 0; status == CatalogStatus::kOk && i < items.size(); ++i)
    status = catalog_.PutInTransaction(items[i].name, items[i].content, items[i].now, items[i].user);
  if (status == CatalogStatus::kOk) status = catalog_.Commit();
  if (status == CatalogStatus::kOk) status = catalog_.CheckCommitted(Names(items));
  if (status != CatalogStatus::kOk) {
    error_ = catalog_.LastError();
    catalog_.Rollback();
  }
  return status;
}

}  // namespace tsln2xml::store
