#pragma once
// Many items written into one catalog in few transactions: a batch import
// of a whole storage area commits every few seconds or every few tens of
// megabytes rather than once per item, so that a crash loses at most that
// much work and a run costs a few syncs instead of a few per item.

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/catalog.h"

namespace tsln2xml::store {

// When a batch's open transaction is due to be committed.
struct BatchLimits {
  std::chrono::milliseconds interval{2000};
  size_t bytes = size_t{64} << 20;
};

class CatalogBatch {
 public:
  using Limits = BatchLimits;

  // The catalog at `controlPath` (a storage path, as the item store takes it).
  explicit CatalogBatch(std::string controlPath, Limits limits = {});
  // An open transaction is rolled back: nothing of it was reported stored.
  ~CatalogBatch();
  CatalogBatch(const CatalogBatch&) = delete;
  CatalogBatch& operator=(const CatalogBatch&) = delete;

  // Writes an item into the open transaction, beginning one when none is
  // open. A failure fails this item alone, unless TransactionLost() says
  // the whole open transaction went with it.
  CatalogStatus Add(std::string_view name, std::span<const uint8_t> content, int32_t now, const std::string& user);
  bool TransactionLost() const { return lost_; }
  // Items in the open transaction.
  size_t Pending() const { return pending_; }
  // Whether the open transaction has run for the interval or written the
  // bytes of the limits.
  bool Due() const;
  // Commits the open transaction: kOk when every item added since the last
  // commit is stored and reads back from the file; otherwise none of them
  // counts as stored. A catalog that did not exist is built under a private
  // name and linked into place by its first commit, so a failed or killed
  // first transaction leaves no catalog.
  CatalogStatus Commit();

  const std::string& LastError() const { return error_; }
  const std::string& ControlPath() const { return controlPath_; }

 private:
  CatalogStatus Begin();
  CatalogStatus Fail(CatalogStatus status, const std::string& error);
  CatalogStatus LinkPrivateCatalog();
  void Abandon();

  struct Written {
    std::string name;
    std::vector<uint8_t> content;  // kept only while the catalog is private
    int32_t now;
    std::string user;
  };

  static std::vector<std::string_view> Names(const std::vector<Written>& items);

  std::string controlPath_, hostPath_, privatePath_;
  Limits limits_;
  Catalog catalog_;
  bool open_ = false;         // a catalog connection is open
  bool directWrite_ = false;  // no private catalog: linking one failed
  bool lost_ = false;
  size_t pending_ = 0, bytes_ = 0;
  std::chrono::steady_clock::time_point begun_;
  std::vector<Written> written_;
  std::string error_;
};

}  // namespace tsln2xml::store
