#pragma once
// Batches: many items imported from or exported to their documents in one
// run (the command's import and export with several items or --all). Items
// are converted on several threads; an import writes each catalog's items
// in few transactions (store::CatalogBatch) and an export writes its files
// without a sync each. The calls of the C interface stay one durable commit
// per call: only a batch, which reports each item once its fate is known,
// trades that for speed.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "api/boundary.h"
#include "store/catalog_batch.h"

namespace tsln2xml::batch {

// One item of a batch: its type, its name and its document's file, both in
// the code page of narrow text, as the library's calls take them.
struct Item {
  int16_t type = 0;
  std::string name;
  std::string document;
};

struct Options {
  unsigned threads = 1;  // conversions at once; results are reported in order all the same
  store::CatalogBatch::Limits limits;
  // Called on the calling thread with the number of items handled so far
  // (an import's reports wait for their commit; this does not).
  std::function<void(size_t handled)> progress;
};

// Called once per item, in the order of the items: a code of 0 for an item
// stored (its transaction committed) or written, or its failure. The
// message is in the code page of narrow text.
using Report = std::function<void(size_t index, const Failure& outcome)>;

// Imports every item's document. The items of one catalog are written in the
// order given, in transactions committed as CatalogBatch's limits say and
// whenever the next item belongs to another catalog; an item whose
// conversion or write fails is left out alone. A commit that fails turns
// every item of its transaction into a failure: an item is never reported
// stored before it is.
void ImportItems(const std::vector<Item>& items, std::string_view areaRoot, std::string_view areaName,
                 const Options& options, const Report& report);

// Exports every item into its document's file, written in place (created,
// with the folders it needs, or overwritten and cut to length) once the
// document is complete and valid: an item that fails to convert leaves an
// existing file as it was, a file that cannot be written whole is removed.
// A file with other hard links is replaced (the other names keep their
// bytes); a symbolic link, FIFO or device in a document's place fails that
// item. Files are not synced one by one (a batch export can be run again);
// their folders are synced once at the end.
void ExportItems(const std::vector<Item>& items, std::string_view areaRoot, std::string_view areaName,
                 const Options& options, const Report& report);

// The number of threads a batch uses when none is asked for: one per core.
unsigned DefaultThreads();

}  // namespace tsln2xml::batch
