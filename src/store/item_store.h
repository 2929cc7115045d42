#pragma once
// The item store: items of a storage area opened, read, written, positioned
// and closed as streams of bytes. A read loads the item into memory; a write
// collects the bytes in memory and the item becomes visible only when it is
// committed, in one transaction. An item that is closed without a commit
// leaves the storage area exactly as it was.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tsln2xml::store {

// Results of OpenItem, CommitItem and LookupItem (1 is success; the others
// reach callers as the secondary code of a failure).
enum StoreResult : int32_t {
  kStoreOk = 1,
  kItemNotFound = 2,       // no item of that name
  kNoStorageArea = 3,      // the storage area's directory does not exist
  kBadItemName = 4,        // empty, longer than 20 characters, or with a NUL
  kCatalogError = 5,       // the catalog could not be read or written (corrupt, locked, full)
  kBadMode = 6,            // an open mode other than 0 (read) and 7 (create)
  kNotWritable = 7,        // commit of an item not opened for writing
  kPathTooLong = 10,       // the catalog's path is longer than a catalog path may be
};

inline constexpr int16_t kModeRead = 0;
inline constexpr int16_t kModeCreate = 7;
inline constexpr size_t kMaxItemName = 20;

// What LookupItem reports about an item.
struct ItemControlEntry {
  std::string name;
  int32_t size = 0;
  int32_t created = 0;
  int32_t modified = 0;
  int32_t previousModified = 0;
};

// The store's record of an open item. The first three 32-bit words are the
// record's tag, the open mode and the item's size in bytes.
struct ItemHandle {
  int32_t tag = 0x4D455449;  // "ITEM"
  int32_t mode = 0;
  int32_t size = 0;
  int32_t position = 0;
  std::string controlPath;
  std::string itemName;
  std::vector<uint8_t> data;
};

int32_t OpenItem(std::string_view controlPath, std::string_view itemName, int16_t mode,
                 std::string_view itemFileTemplate, ItemHandle*& handle, ItemControlEntry* entry);
// Makes the bytes written through a handle opened with mode 7 the item's
// content; returns 1 or the failure.
int32_t CommitItem(ItemHandle* handle);
// Releases the handle; anything written and not committed is discarded.
int32_t CloseItem(std::string_view controlPath, std::string_view itemName, ItemHandle* handle);
size_t ReadItem(void* buffer, size_t size, size_t count, ItemHandle* handle);
size_t WriteItem(const void* buffer, size_t size, size_t count, ItemHandle* handle);
// The bytes of an open item from its position to its end, in place rather
// than copied as ReadItem does: valid until the handle is written or closed.
std::span<const uint8_t> PeekItem(const ItemHandle* handle);
int32_t TellItem(const ItemHandle* handle);
// As the C library's fseek: 0 on success, -1 on failure.
int32_t SeekItem(ItemHandle* handle, int32_t offset, int origin);
int32_t GetItemSize(const ItemHandle* handle);
int32_t LookupItem(std::string_view controlPath, std::string_view itemName, ItemControlEntry* entry);
// The host directory of a storage directory; 1 when translated.
int32_t TranslateStoragePath(std::string_view storageDirectory, std::string& out);

// What the message of a failure with `result` adds to its plain text, for
// the control path `controlPath`: the path that is too long, that another
// process held the catalog locked past the busy timeout, or why the catalog
// was refused as not one this store wrote (as this thread's last catalog
// call found). "" when the plain text says it all.
std::string StoreFailureDetail(int32_t result, std::string_view controlPath);

// One item kept in memory in place of the storage area, for the fuzz
// harnesses and tests: while a scope is alive on a thread, every item that
// thread opens for reading (of any catalog and name) is a handle over
// `bytes`, a lookup finds it, and a commit keeps the written bytes in
// `committed` instead of a catalog. Nothing of the storage area is touched.
class MemoryItemScope {
 public:
  explicit MemoryItemScope(std::vector<uint8_t> bytes);
  ~MemoryItemScope();
  MemoryItemScope(const MemoryItemScope&) = delete;
  MemoryItemScope& operator=(const MemoryItemScope&) = delete;

  std::vector<uint8_t> bytes;
  std::vector<uint8_t> committed;
  bool wasCommitted = false;

 private:
  MemoryItemScope* outer_;
};

// While a scope is alive on a thread, an item committed on that thread is
// kept here instead of being written: a batch converts its items (on
// several threads) and writes them into their catalogs itself, in order and
// in transactions of many items (CatalogBatch). Only the last commit is kept.
class CommitCaptureScope {
 public:
  CommitCaptureScope();
  ~CommitCaptureScope();
  CommitCaptureScope(const CommitCaptureScope&) = delete;
  CommitCaptureScope& operator=(const CommitCaptureScope&) = delete;

  bool captured = false;
  std::string controlPath;
  std::string itemName;
  std::vector<uint8_t> bytes;

 private:
  CommitCaptureScope* outer_;
};

// While a scope is alive on a thread, the catalog that thread keeps open for
// reading holds one read transaction across its reads, renewed every 100 ms
// so that writers wait no longer than that: a batch export reads thousands
// of items without taking the catalog's lock and checking it for changes for
// each one. Reads within a renewal see the catalog as it was at its start.
class ReadBatchScope {
 public:
  ReadBatchScope();
  ~ReadBatchScope();
  ReadBatchScope(const ReadBatchScope&) = delete;
  ReadBatchScope& operator=(const ReadBatchScope&) = delete;

 private:
  ReadBatchScope* outer_;
};

// Deletes an item (the CLI's tests and tools); 1 or the failure.
int32_t RemoveItem(std::string_view controlPath, std::string_view itemName);

}  // namespace tsln2xml::store
