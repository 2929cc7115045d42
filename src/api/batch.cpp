#include "api/batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "converters/registry.h"
#include "platform/host_files.h"
#include "platform/paths.h"
#include "platform/replace_file.h"
#include "store/item_store.h"

namespace tsln2xml::batch {
namespace {

// Nothing kept on a thread between its items.
struct NoThreadScope {};

// The memory a result holds while it waits to be consumed.
size_t HeldBytes(const Failure& f) { return f.message.size(); }

// Results that wait to be consumed hold at most about this much (beyond the
// one the consumer needs next): a batch of large items must not hold dozens
// of them.
constexpr size_t kMaxHeldBytes = size_t{64} << 20;

// Runs work(i) for every i below `count` on `threads` threads (the calling
// thread is one of them) and consume(i, result) on the calling thread in the
// order of i. A thread takes a few consecutive items at a time and is woken
// only when what it waits for has come: an item of a batch costs some tens
// of microseconds, not much more than waking a thread. At most a few items
// per thread, and kMaxHeldBytes of results, wait to be consumed, so a batch
// holds a few items in memory, not all of them. A ThreadScope lives on each
// thread while it works.
template <class Result, class ThreadScope = NoThreadScope, class Work, class Consume>
void RunInOrder(size_t count, unsigned threads, Work work, Consume consume) {
  if (threads <= 1 || count <= 1) {
    [[maybe_unused]] ThreadScope scope;
    for (size_t i = 0; i < count; ++i) consume(i, work(i));
    return;
  }
  constexpr size_t kChunk = 8;
  const size_t window = 4 * kChunk * size_t{threads};
  std::mutex mutex;
  std::condition_variable resultsCame, roomCame;
  std::vector<std::optional<Result>> results(count);
  size_t next = 0, consumed = 0, awaited = count;  // awaited: the result the consumer sleeps for
  size_t held = 0;                                 // bytes of the results waiting
  unsigned sleepers = 0;                           // workers waiting for room
  bool stop = false;
  // Whether a thread may take the next chunk (under the lock). The chunk
  // that holds the next result to consume is always taken.
  auto room = [&] { return next < count && next < consumed + window && (held < kMaxHeldBytes || next == consumed); };
  // Takes the next chunk [first, end) and runs it, handing each result over
  // as it comes (with the lock held on entry and exit).
  auto runChunk = [&](std::unique_lock<std::mutex>& lock) {
    const size_t first = next, end = std::min(count, first + kChunk);
    next = end;
    for (size_t i = first; i < end; ++i) {
      lock.unlock();
      Result result = work(i);
      const size_t bytes = HeldBytes(result);
      lock.lock();
      results[i] = std::move(result);
      held += bytes;
      if (awaited == i) resultsCame.notify_one();
    }
  };
  auto worker = [&] {
    [[maybe_unused]] ThreadScope scope;
    std::unique_lock lock(mutex);
    for (;;) {
      ++sleepers;
      roomCame.wait(lock, [&] { return stop || next >= count || room(); });
      --sleepers;
      if (stop || next >= count) return;
      runChunk(lock);
    }
  };
  std::vector<std::thread> pool;  // Stops and joins the workers however the consumer leaves.
  struct Joiner {
    std::vector<std::thread>& pool;
    std::mutex& mutex;
    std::condition_variable& roomCame;
    bool& stop;
    ~Joiner() {
      {
        std::lock_guard lock(mutex);
        stop = true;
      }
      roomCame.notify_all();
      for (auto& t : pool) t.join();
    }
  } joiner{pool, mutex, roomCame, stop};
  // The calling thread is one of the `threads`: it converts too while the
  // result it needs next is still being made.
  for (unsigned t = 1; t < threads && t * kChunk < count; ++t) pool.emplace_back(worker);
  [[maybe_unused]] ThreadScope scope;
  for (size_t i = 0; i < count; ++i) {
    Result result;
    bool wake;
    {
      std::unique_lock lock(mutex);
      while (!results[i].has_value()) {
        if (room()) {
          runChunk(lock);
          continue;
        }
        awaited = i;
        resultsCame.wait(lock);
        awaited = count;
      }
      result = std::move(*results[i]);
      results[i].reset();
      held -= std::min(held, HeldBytes(result));
      consumed = i + 1;
      wake = sleepers > 0 && room();
    }
    if (wake) roomCame.notify_all();
    consume(i, std::move(result));
  }
}

// An item converted into its bytes, not yet written.
struct Converted {
  Failure failure;
  std::string controlPath;
  std::string itemName;
  std::vector<uint8_t> bytes;
};

size_t HeldBytes(const Converted& c) { return c.bytes.capacity() + c.failure.message.size(); }

Converted Convert(const Item& item, std::string_view areaRoot, std::string_view areaName) {
  Converted out;
  store::CommitCaptureScope capture;
  out.failure = CaptureFailure([&] {
    auto writer = CreateWriter(item.type, areaRoot, areaName, item.name);
    writer->FromFile(item.document);
  });
  if (out.failure.code == 0 && !capture.captured) out.failure = {kStandardLibrary, 0, "Nothing was written"};
  if (out.failure.code == 0) {
    out.controlPath = std::move(capture.controlPath);
    out.itemName = std::move(capture.itemName);
    out.bytes = std::move(capture.bytes);
  }
  return out;
}

// A write or commit the catalog refused, as a single import reports it.
Failure SaveFailure(store::CatalogStatus status, const store::CatalogBatch& catalog) {
  int32_t secondary = store::kCatalogError;
  if (status == store::CatalogStatus::kTooLong) secondary = store::kPathTooLong;
  if (status == store::CatalogStatus::kMissing) secondary = store::kNoStorageArea;
  std::string detail = store::StoreFailureDetail(secondary, catalog.ControlPath());
  if (detail.empty()) detail = catalog.LastError();
  return {kItemOpenFailure, secondary, detail.empty() ? "Could not save file" : "Could not save file: " + detail};
}

// The items of the open transaction and the failures after its first item,
// reported together, in order, once the transaction is over.
class Importer {
 public:
  Importer(const Options& options, const Report& report)
      : options_(options), report_(report), user_(store::CurrentUserName()) {}

  void Take(size_t index, Converted item) {
    if (item.failure.code != 0) return Held(index, item.failure);
    if (!catalog_ || catalog_->ControlPath() != item.controlPath) {
      Commit();
      catalog_ = std::make_unique<store::CatalogBatch>(item.controlPath, options_.limits);
    }
    const store::CatalogStatus status = catalog_->Add(item.itemName, item.bytes, store::CurrentTime(), user_);
    if (status != store::CatalogStatus::kOk) {
      const Failure failure = SaveFailure(status, *catalog_);
      if (catalog_->TransactionLost()) FailStored(failure);
      Held(index, failure);
    } else {
      held_.emplace_back(index, Failure{});
    }
    if (catalog_->Due()) Commit();
  }

  void Commit() {
    if (catalog_) {
      const store::CatalogStatus status = catalog_->Commit();
      if (status != store::CatalogStatus::kOk) FailStored(SaveFailure(status, *catalog_));
    }
    for (const auto& [i, outcome] : held_) report_(i, outcome);
    held_.clear();
  }

 private:
  // The items of the open transaction, stored until now, fail with it.
  void FailStored(const Failure& failure) {
    for (auto& [i, outcome] : held_)
      if (outcome.code == 0) outcome = failure;
  }

  // A failure waits behind the items of an open transaction.
  void Held(size_t index, const Failure& failure) {
    held_.emplace_back(index, failure);
    if (!catalog_ || catalog_->Pending() == 0) {
      for (const auto& [i, outcome] : held_) report_(i, outcome);
      held_.clear();
    }
  }

  const Options& options_;
  const Report& report_;
  const std::string user_;
  std::unique_ptr<store::CatalogBatch> catalog_;
  std::vector<std::pair<size_t, Failure>> held_;
};

// Writes `text` into the file at host path `path`, in place: over the bytes
// of a file that is there (cut to the new length when it was longer), so
// a document exported again does not free and allocate its blocks again (on
// a busy disk, freeing them costs more than the rest of an export). A file
// with other links (a copy made with hard links) is replaced instead, so the
// other names keep their bytes; a symbolic link is not followed, and a FIFO
// or device is not written. A file that could not be written whole is
// removed. "" or why it failed.
std::string WriteDocument(const std::string& path, std::string_view text, bool& created) {
  constexpr int kFlags = O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  int fd = platform::OpenDescriptor(path, kFlags);
  if (fd < 0 && errno == ENOENT) {
    fd = platform::OpenDescriptor(path, kFlags | O_CREAT | O_EXCL, 0666);
    created = fd >= 0;
  }
  if (fd < 0) return std::strerror(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return "not a regular file";
  }
  if (st.st_nlink > 1) {
    ::close(fd);
    if (platform::UnlinkPath(path) != 0) return std::strerror(errno);
    fd = platform::OpenDescriptor(path, kFlags | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return std::strerror(errno);
    created = true;
    (void)::fchmod(fd, st.st_mode & 07777);  // the replaced file's mode, as a file written over keeps its own
    st.st_size = 0;
  }
  auto failed = [&](const std::string& why) {
    ::close(fd);
    platform::UnlinkPath(path);
    return why;
  };
  for (size_t at = 0; at < text.size();) {
    const ssize_t n = ::pwrite(fd, text.data() + at, text.size() - at, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return failed(n < 0 ? std::strerror(errno) : "nothing written");
    at += static_cast<size_t>(n);
  }
  // Only a longer old text leaves bytes to cut: writing past the end grows the file.
  if (st.st_size > static_cast<off_t>(text.size()) && ::ftruncate(fd, static_cast<off_t>(text.size())) != 0)
    return failed(std::strerror(errno));
  if (::close(fd) != 0) {
    const std::string why = std::strerror(errno);
    platform::UnlinkPath(path);
    return why;
  }
  return {};
}

Failure Export(const Item& item, std::string_view areaRoot, std::string_view areaName, std::atomic<bool>& created) {
  std::string text;
  Failure failure = CaptureFailure([&] {
    auto reader = CreateReader(item.type, areaRoot, areaName, item.name);
    text = reader->ToText();
  });
  if (failure.code != 0) return failure;
  bool newFile = false;
  const std::string why = WriteDocument(platform::HostPath(item.document), text, newFile);
  if (newFile) created = true;
  if (!why.empty()) return {kContentUnusable, 0, "Could not write " + item.document + ": " + why};
  return {};
}

}  // namespace

void ImportItems(const std::vector<Item>& items, std::string_view areaRoot, std::string_view areaName,
                 const Options& options, const Report& report) {
  Importer importer(options, report);
  RunInOrder<Converted>(
      items.size(), options.threads, [&](size_t i) { return Convert(items[i], areaRoot, areaName); },
      [&](size_t i, Converted converted) {
        importer.Take(i, std::move(converted));
        if (options.progress) options.progress(i + 1);
      });
  importer.Commit();
}

void ExportItems(const std::vector<Item>& items, std::string_view areaRoot, std::string_view areaName,
                 const Options& options, const Report& report) {
  std::set<std::filesystem::path> folders;
  for (const Item& item : items) folders.insert(platform::FsPath(platform::HostPath(item.document)).parent_path());
  std::error_code ec;
  std::atomic<bool> created = false;
  for (const auto& folder : folders)  // a failure fails the items' writes
    if (!folder.empty() && std::filesystem::create_directories(folder, ec)) created = true;
  RunInOrder<Failure, store::ReadBatchScope>(
      items.size(), options.threads, [&](size_t i) { return Export(items[i], areaRoot, areaName, created); },
      [&](size_t i, const Failure& outcome) {
        report(i, outcome);
        if (options.progress) options.progress(i + 1);
      });
  // The new names (in the folders, and of the folders) reach the disk; a
  // batch that only wrote over files changed no folder.
  if (!created) return;
  std::set<std::filesystem::path> synced;
  for (const auto& folder : folders) {
    for (const auto& dir : {folder, folder.parent_path()}) {
      if (!synced.insert(dir).second) continue;
      platform::SyncDirectory(platform::HostString(dir));
    }
  }
}

unsigned DefaultThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

}  // namespace tsln2xml::batch
