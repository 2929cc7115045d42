#include "store/item_store.h"

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <cstring>
#include <limits>

#include "platform/host_files.h"
#include "platform/paths.h"
#include "store/catalog.h"

namespace tsln2xml::store {
namespace {

bool ValidName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxItemName && name.find('\0') == std::string_view::npos;
}

int32_t FromCatalog(CatalogStatus status) {
  switch (status) {
    case CatalogStatus::kOk: return kStoreOk;
    case CatalogStatus::kMissing: return kItemNotFound;
    case CatalogStatus::kNotFound: return kItemNotFound;
    case CatalogStatus::kError: return kCatalogError;
    case CatalogStatus::kTooLong: return kPathTooLong;
  }
  return kCatalogError;
}

thread_local MemoryItemScope* memoryItem = nullptr;
thread_local CommitCaptureScope* tCapture = nullptr;
thread_local ReadBatchScope* tReadBatch = nullptr;
// How long a batch's read transaction may keep writers waiting.
constexpr auto kReadBatchRenewal = std::chrono::milliseconds(100);

// The catalog this thread last read an item from, kept open for its next
// read: opening a catalog (the connection, its schema) costs several times
// what reading a small item does. It serves a read only of the same path
// while that path still names the file it was opened on, in the process
// that opened it; SQLite sees other connections' commits at the start of
// every read. It is closed when its thread ends, and not at all when the
// process exits (there is nothing to write back, and the allocator need not
// tidy up memory the process is about to lose).
struct ReadCatalog {
  std::string hostPath;
  dev_t device = 0;
  ino_t inode = 0;
  pid_t process = 0;
  const sqlite3_vfs* vfs = nullptr;  // the default file layer it was opened with
  Catalog catalog;
  std::chrono::steady_clock::time_point readSince;  // of the open read transaction
};

thread_local ReadCatalog* tReadCatalog = nullptr;

// A read of a larger item gives back the pages it left in the kept
// connection's cache (up to 2 MB), which would otherwise stay for the
// conversion that follows; a small one leaves them.
constexpr size_t kCachedPagesKept = 64 * 1024;

pthread_key_t ReadCatalogKey() {
  static const pthread_key_t key = [] {
    pthread_key_t k;
    pthread_key_create(&k, [](void* p) { delete static_cast<ReadCatalog*>(p); });
    return k;
  }();
  return key;
}

// Keeps `read` (or nothing) as this thread's catalog, closing the one before.
void KeepReadCatalog(std::unique_ptr<ReadCatalog> read) {
  delete tReadCatalog;
  tReadCatalog = read.release();
  pthread_setspecific(ReadCatalogKey(), tReadCatalog);
}

CatalogStatus ReadFromCatalog(const std::string& controlPath, std::string_view itemName, StoredItem& item) {
  const std::string host = platform::HostPath(controlPath);
  // Taken before a catalog is opened: a file replaced in between shows up
  // as another file at the next read, never the other way round.
  struct stat st {};
  const bool regular = platform::StatPath(host, &st) == 0 && S_ISREG(st.st_mode);
  ReadCatalog* kept = tReadCatalog;
  if (kept && regular && kept->hostPath == host && kept->device == st.st_dev && kept->inode == st.st_ino &&
      kept->process == ::getpid() && kept->vfs == sqlite3_vfs_find(nullptr)) {
    if (tReadBatch) {
      const auto now = std::chrono::steady_clock::now();
      if (kept->catalog.InTransaction() && now - kept->readSince >= kReadBatchRenewal) kept->catalog.EndRead();
      if (!kept->catalog.InTransaction() && kept->catalog.BeginRead()) kept->readSince = now;
    }
    const CatalogStatus status = kept->catalog.Get(itemName, item);
    if (item.content.size() > kCachedPagesKept) kept->catalog.ReleaseCachedPages();
    // Anything else is decided by a catalog opened afresh, unless another
    // process held it locked all the time a read waits.
    if (status == CatalogStatus::kOk || LastCatalogFailureWasLock()) return status;
  }
  KeepReadCatalog(nullptr);
  auto read = std::make_unique<ReadCatalog>();
  read->vfs = sqlite3_vfs_find(nullptr);
  CatalogStatus status = Catalog::OpenForReading(controlPath, read->catalog);
  if (status == CatalogStatus::kOk) status = read->catalog.Get(itemName, item);
  if (item.content.size() > kCachedPagesKept) read->catalog.ReleaseCachedPages();
  if (status == CatalogStatus::kOk && regular) {
    read->hostPath = host;
    read->device = st.st_dev;
    read->inode = st.st_ino;
    read->process = ::getpid();
    KeepReadCatalog(std::move(read));
  }
  return status;
}

}  // namespace

MemoryItemScope::MemoryItemScope(std::vector<uint8_t> content) : bytes(std::move(content)), outer_(memoryItem) {
  memoryItem = this;
}

MemoryItemScope::~MemoryItemScope() { memoryItem = outer_; }

ReadBatchScope::ReadBatchScope() : outer_(tReadBatch) { tReadBatch = this; }

ReadBatchScope::~ReadBatchScope() {
  tReadBatch = outer_;
  if (!tReadBatch && tReadCatalog) tReadCatalog->catalog.EndRead();
}

CommitCaptureScope::CommitCaptureScope() : outer_(tCapture) { tCapture = this; }

CommitCaptureScope::~CommitCaptureScope() { tCapture = outer_; }

int32_t OpenItem(std::string_view controlPath, std::string_view itemName, int16_t mode,
                 std::string_view /*itemFileTemplate*/, ItemHandle*& handle, ItemControlEntry* entry) {
  handle = nullptr;
  if (!ValidName(itemName)) return kBadItemName;
  if (mode != kModeRead && mode != kModeCreate) return kBadMode;
  // A path that cannot be opened whole is refused before anything is looked
  // at: cut short, it would name another directory.
  if (!CatalogPathFits(platform::HostPath(controlPath))) return kPathTooLong;
  auto h = std::make_unique<ItemHandle>();
  h->mode = mode;
  h->controlPath = std::string(controlPath);
  h->itemName = std::string(itemName);
  if (memoryItem) {
    if (mode == kModeRead) {
      if (memoryItem->bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return kCatalogError;
      h->data = memoryItem->bytes;
      h->size = static_cast<int32_t>(h->data.size());
      if (entry) *entry = {h->itemName, h->size, 0, 0, 0};
    }
  } else if (mode == kModeRead) {
    StoredItem item;
    const CatalogStatus status = ReadFromCatalog(h->controlPath, itemName, item);
    if (status != CatalogStatus::kOk) return FromCatalog(status);
    if (item.content.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return kCatalogError;
    h->data = std::move(item.content);
    h->size = static_cast<int32_t>(h->data.size());
    if (entry) *entry = {item.attributes.name, h->size, item.attributes.created, item.attributes.modified,
                         item.attributes.previousModified};
  } else {
    // The storage area must exist; it is never created on the way. Nothing
    // is touched until the commit.
    std::error_code ec;
    const auto dir = platform::FsPath(platform::HostPath(h->controlPath)).parent_path();
    if (!std::filesystem::is_directory(dir.empty() ? "." : dir, ec)) return kNoStorageArea;
  }
  handle = h.release();
  return kStoreOk;
}

int32_t CommitItem(ItemHandle* handle) {
  if (!handle || handle->mode != kModeCreate) return kNotWritable;
  if (memoryItem) {
    memoryItem->committed = handle->data;
    memoryItem->wasCommitted = true;
    return kStoreOk;
  }
  if (tCapture) {
    tCapture->controlPath = handle->controlPath;
    tCapture->itemName = handle->itemName;
    tCapture->bytes = std::move(handle->data);
    handle->data.clear();
    handle->size = handle->position = 0;
    tCapture->captured = true;
    return kStoreOk;
  }
  const CatalogStatus status =
      StoreItem(handle->controlPath, handle->itemName, handle->data, CurrentTime(), CurrentUserName());
  if (status == CatalogStatus::kMissing) return kNoStorageArea;
  return FromCatalog(status);
}

int32_t CloseItem(std::string_view, std::string_view, ItemHandle* handle) {
  delete handle;
  return kStoreOk;
}

size_t ReadItem(void* buffer, size_t size, size_t count, ItemHandle* handle) {
  if (!handle || size == 0 || count == 0) return 0;
  const size_t available = handle->data.size() > static_cast<size_t>(handle->position)
                               ? handle->data.size() - static_cast<size_t>(handle->position)
                               : 0;
  const size_t whole = std::min(count, available / size);
  if (whole) std::memcpy(buffer, handle->data.data() + handle->position, whole * size);
  handle->position += static_cast<int32_t>(whole * size);
  return whole;
}

size_t WriteItem(const void* buffer, size_t size, size_t count, ItemHandle* handle) {
  if (!handle || handle->mode != kModeCreate || size == 0 || count == 0) return 0;
  const size_t room = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - static_cast<size_t>(handle->position);
  if (count > room / size) return 0;
  const size_t bytes = size * count;
  const auto position = static_cast<size_t>(handle->position);
  const size_t end = position + bytes;
  std::vector<uint8_t>& data = handle->data;
  // Room for half as much again as the item has become, so that the few
  // records after a large block (the NC data of a cut file) do not copy the
  // block again; pages reserved and never written cost nothing.
  if (end > data.capacity()) data.reserve(std::max(end + end / 2, 2 * data.capacity()));
  // A gap left by a seek past the end reads as zeros; bytes beyond the old
  // end are appended rather than zeroed first and then overwritten.
  if (position > data.size()) data.resize(position);
  const auto* from = static_cast<const uint8_t*>(buffer);
  const size_t overwrite = std::min(bytes, data.size() - position);
  std::memcpy(data.data() + position, from, overwrite);
  data.insert(data.end(), from + overwrite, from + bytes);
  handle->position = static_cast<int32_t>(end);
  handle->size = static_cast<int32_t>(data.size());
  return count;
}

std::span<const uint8_t> PeekItem(const ItemHandle* handle) {
  if (!handle) return {};
  const auto position = static_cast<size_t>(handle->position);
  return position < handle->data.size() ? std::span<const uint8_t>(handle->data).subspan(position)
                                         : std::span<const uint8_t>();
}

int32_t TellItem(const ItemHandle* handle) { return handle ? handle->position : -1; }

int32_t SeekItem(ItemHandle* handle, int32_t offset, int origin) {
  if (!handle) return -1;
  int64_t base = 0;
  if (origin == SEEK_CUR) base = handle->position;
  else if (origin == SEEK_END) base = static_cast<int64_t>(handle->data.size());
  else if (origin != SEEK_SET) return -1;
  const int64_t target = base + offset;
  if (target < 0 || target > std::numeric_limits<int32_t>::max()) return -1;
  handle->position = static_cast<int32_t>(target);
  return 0;
}

int32_t GetItemSize(const ItemHandle* handle) { return handle ? handle->size : 0; }

int32_t LookupItem(std::string_view controlPath, std::string_view itemName, ItemControlEntry* entry) {
  if (!ValidName(itemName)) return kBadItemName;
  if (memoryItem) {
    if (entry) *entry = {std::string(itemName), static_cast<int32_t>(memoryItem->bytes.size()), 0, 0, 0};
    return kStoreOk;
  }
  Catalog catalog;
  CatalogStatus status = Catalog::OpenForReading(std::string(controlPath), catalog);
  StoredItem item;
  if (status == CatalogStatus::kOk) status = catalog.Get(itemName, item, false);
  if (status != CatalogStatus::kOk) return FromCatalog(status);
  if (entry) *entry = {item.attributes.name, item.attributes.size, item.attributes.created, item.attributes.modified,
                       item.attributes.previousModified};
  return kStoreOk;
}

int32_t TranslateStoragePath(std::string_view storageDirectory, std::string& out) {
  out = platform::TranslateStoragePath(storageDirectory);
  return kStoreOk;
}

std::string StoreFailureDetail(int32_t result, std::string_view controlPath) {
  if (result == kPathTooLong)
    return "the path is longer than the " + std::to_string(MaxCatalogPath()) +
           " bytes a catalog path may have: " + platform::HostPath(controlPath);
  if (result == kCatalogError && LastCatalogFailureWasLock()) return "storage area is locked by another process";
  if (result == kCatalogError && !LastCatalogRefusal().empty()) return LastCatalogRefusal();
  return {};
}

int32_t RemoveItem(std::string_view controlPath, std::string_view itemName) {
  if (!ValidName(itemName)) return kBadItemName;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(platform::FsPath(platform::HostPath(controlPath)), ec)) return kItemNotFound;
  Catalog catalog;
  CatalogStatus status = Catalog::OpenForWriting(std::string(controlPath), catalog);
  if (status == CatalogStatus::kOk) status = catalog.Remove(itemName);
  return FromCatalog(status);
}

}  // namespace tsln2xml::store
