// Batches: a failed item in the middle of a run, serial and on threads;
// catalogs kept open between reads; a parallel batch stores what a serial one
// does; every read, write, sync and lock of a batch failing in turn;
// processes killed at every write and sync of one.

#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <filesystem>
#include <map>

#include "api/batch.h"
#include "store/catalog.h"
#include "store/item_path.h"
#ifndef _WIN32
#include "support/fault_vfs.h"
#endif
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::test {
namespace {

namespace fs = std::filesystem;

batch::Options On(unsigned threads, store::BatchLimits limits = {}) {
  batch::Options options;
  options.threads = threads;
  options.limits = limits;
  return options;
}

struct Outcome {
  size_t index;
  int code;
};

// Runs a batch and returns what it reported, in the order reported.
std::vector<Outcome> Import(const std::vector<batch::Item>& items, const TempArea& area, batch::Options options) {
  std::vector<Outcome> reported;
  batch::ImportItems(items, "", area.path(), options,
                     [&](size_t i, const Failure& f) { reported.push_back({i, f.code}); });
  return reported;
}

std::vector<Outcome> Export(const std::vector<batch::Item>& items, const TempArea& area, batch::Options options) {
  std::vector<Outcome> reported;
  batch::ExportItems(items, "", area.path(), options,
                     [&](size_t i, const Failure& f) { reported.push_back({i, f.code}); });
  return reported;
}

// Documents DIR/Ni.xml for every text of `documents`, as items Ni.
std::vector<batch::Item> Documents(const TempArea& dir, const std::vector<std::string>& documents) {
  std::vector<batch::Item> items;
  for (size_t i = 0; i < documents.size(); ++i) {
    const std::string name = "N" + std::to_string(i);
    WriteFile(dir.File(name + ".xml"), documents[i]);
    items.push_back({kSizeCode, name, dir.File(name + ".xml")});
  }
  return items;
}

std::vector<int> Codes(const std::vector<Outcome>& reported) {
  std::vector<int> codes;
  for (size_t i = 0; i < reported.size(); ++i) {
    EXPECT_EQ(reported[i].index, i) << "reported out of order";
    codes.push_back(reported[i].code);
  }
  return codes;
}

TEST(Batch, AFailedItemInTheMiddleFailsAloneSeriallyAndOnThreads) {
  TempArea docs;
  const std::vector<batch::Item> items = Documents(
      docs, {SizeCodes(3, 1), SizeCodes(4, 2), "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Bad=\"1\"/>",
             SizeCodes(5, 3), SizeCodes(6, 4)});
  for (const unsigned threads : {1u, 2u}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    TempArea area, out;
    EXPECT_EQ(Codes(Import(items, area, On(threads))), (std::vector<int>{0, 0, 2, 0, 0}));
    EXPECT_FALSE(area.GetItem(kSizeCode, "N2"));
    for (const char* name : {"N0", "N1", "N3", "N4"}) EXPECT_TRUE(area.GetItem(kSizeCode, name)) << name;

    // Exported back: the item that is not there fails alone and leaves no file.
    std::vector<batch::Item> exports = items;
    for (auto& item : exports) item.document = out.File("SizeCode/" + item.name + ".xml");
    EXPECT_EQ(Codes(Export(exports, area, On(threads))), (std::vector<int>{0, 0, 5, 0, 0}));
    EXPECT_FALSE(fs::exists(exports[2].document));
    // The bytes of a single export to a file.
    ASSERT_EQ(ConvertDataItemToXMLFile(kSizeCode, "", area.c_str(), "N3", out.File("N3.xml").c_str(), 0), 0);
    EXPECT_EQ(ReadFile(exports[3].document), ReadFile(out.File("N3.xml")));
  }
}

#ifndef _WIN32
// Not on Windows: it has no file modes, FIFOs or hard link counts, and only
// an administrator makes symbolic links.
// A batch export writes over what is in a document's place: a longer file
// is cut to the document, a shorter one grows to it, a file with another hard link is replaced (the
// other name keeps its bytes); both keep their modes. A symbolic link is not
// followed and a FIFO not opened to wait for a reader: both fail their item.
TEST(Batch, ExportsWriteOverFilesButNotThroughLinksOrFifos) {
  TempArea area, out, elsewhere;
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(2, 1)), 0);
  ASSERT_EQ(ConvertDataItemToXMLFile(kSizeCode, "", area.c_str(), "A", out.File("expected.xml").c_str(), 0), 0);
  const std::string expected = ReadFile(out.File("expected.xml"));
  WriteFile(out.File("long.xml"), std::string(3 * expected.size(), 'x'));
  WriteFile(out.File("linked.xml"), "old");
  WriteFile(out.File("short.xml"), "old");
  fs::permissions(out.File("linked.xml"), fs::perms(0640));
  fs::permissions(out.File("long.xml"), fs::perms(0604));
  fs::create_hard_link(out.File("linked.xml"), elsewhere.File("other.xml"));
  WriteFile(elsewhere.File("target.xml"), "kept");
  fs::create_symlink(elsewhere.File("target.xml"), out.File("symlink.xml"));
  ASSERT_EQ(mkfifo(out.File("fifo.xml").c_str(), 0600), 0);
  std::vector<batch::Item> items;
  for (const char* file : {"long.xml", "linked.xml", "symlink.xml", "fifo.xml", "new.xml", "short.xml"})
    items.push_back({kSizeCode, "A", out.File(file)});
  EXPECT_EQ(Codes(Export(items, area, On(2))), (std::vector<int>{0, 0, 1, 1, 0, 0}));
  for (const char* file : {"long.xml", "linked.xml", "new.xml", "short.xml"})
    EXPECT_EQ(ReadFile(out.File(file)), expected) << file;
  EXPECT_EQ(ReadFile(elsewhere.File("other.xml")), "old");
  // A file written over or replaced keeps its mode.
  EXPECT_EQ(fs::status(out.File("linked.xml")).permissions(), fs::perms(0640));
  EXPECT_EQ(fs::status(out.File("long.xml")).permissions(), fs::perms(0604));
  EXPECT_EQ(ReadFile(elsewhere.File("target.xml")), "kept");
  EXPECT_TRUE(fs::is_symlink(out.File("symlink.xml")));
  EXPECT_TRUE(fs::is_fifo(out.File("fifo.xml")));
}
#endif

// A batch export reads its items in one read transaction at a time; none
// outlives the batch (a write after it does not wait) and the next batch
// reads what was written meanwhile.
TEST(Batch, AnExportLeavesNoReadTransactionBehind) {
  TempArea area, out;
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(2, 1)), 0);
  const std::vector<batch::Item> items = {{kSizeCode, "A", out.File("A.xml")}, {kSizeCode, "A", out.File("B.xml")}};
  EXPECT_EQ(Codes(Export(items, area, On(1))), (std::vector<int>{0, 0}));
  store::SetCatalogBusyTimeout(50);
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(2, 9)), 0) << LastErrorMessage();
  store::SetCatalogBusyTimeout(15000);
  EXPECT_EQ(Codes(Export(items, area, On(1))), (std::vector<int>{0, 0}));
  EXPECT_NE(ReadFile(out.File("B.xml")).find("OrderedSize=\"9\""), std::string::npos);
}

// Reads keep the last catalog open for the next one: a catalog replaced by
// another file under the same name, or removed, is never read through the
// connection kept from before.
TEST(KeptCatalog, AReplacedOrRemovedCatalogIsReadAfresh) {
  TempArea area, other;
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(1, 111)), 0);
  ASSERT_EQ(ImportFromString(kSizeCode, other.path(), "A", SizeCodes(1, 222)), 0);
  ASSERT_NE(ExportToString(kSizeCode, area.path(), "A").xml.find("OrderedSize=\"111\""), std::string::npos);
  fs::rename(other.File("sizpt.ctl"), area.File("sizpt.ctl"));
  EXPECT_NE(ExportToString(kSizeCode, area.path(), "A").xml.find("OrderedSize=\"222\""), std::string::npos);
  fs::remove(area.File("sizpt.ctl"));
  EXPECT_EQ(ExportToString(kSizeCode, area.path(), "A").code, 5);
}

// Items of one name given several times: the last one given is stored,
// with the history of the ones before, however many threads convert them.
TEST(Batch, AParallelBatchStoresTheBytesOfASerialOne) {
  TempArea docs, serial, parallel, serialOut, parallelOut;
  std::vector<std::string> texts;
  for (int i = 0; i < 60; ++i) texts.push_back(SizeCodes(1 + (i * 37) % 200, i));
  std::vector<batch::Item> items = Documents(docs, texts);
  for (size_t i = 0; i < items.size(); ++i) items[i].name = "I" + std::to_string(i % 25);
  batch::Options small;
  small.limits.bytes = 4096;  // several transactions
  EXPECT_EQ(Codes(Import(items, serial, On(1, small.limits))), std::vector<int>(items.size(), 0));
  EXPECT_EQ(Codes(Import(items, parallel, On(4, small.limits))), std::vector<int>(items.size(), 0));
  for (int i = 0; i < 25; ++i) {
    const std::string name = "I" + std::to_string(i);
    ASSERT_TRUE(serial.GetItem(kSizeCode, name)) << name;
    EXPECT_EQ(serial.GetItem(kSizeCode, name), parallel.GetItem(kSizeCode, name)) << name;
    // The last document given for the name.
    TempArea one;
    ASSERT_EQ(ImportFromString(kSizeCode, one.path(), name, texts[i + 50 <= 59 ? i + 50 : i + 25]), 0);
    EXPECT_EQ(one.GetItem(kSizeCode, name), serial.GetItem(kSizeCode, name)) << name;
  }
  std::vector<batch::Item> exports;
  for (int i = 0; i < 25; ++i) exports.push_back({kSizeCode, "I" + std::to_string(i), ""});
  auto exportTo = [&](const TempArea& from, const TempArea& to, unsigned threads) {
    for (auto& item : exports) item.document = to.File(item.name + ".xml");
    EXPECT_EQ(Codes(Export(exports, from, On(threads))), std::vector<int>(exports.size(), 0));
  };
  exportTo(serial, serialOut, 1);
  exportTo(parallel, parallelOut, 3);
  for (const auto& item : exports)
    EXPECT_EQ(ReadFile(serialOut.File(item.name + ".xml")), ReadFile(parallelOut.File(item.name + ".xml")));
}

#ifndef _WIN32
// Not on Windows: these use the fault-injecting SQLite VFS, which kills its
// process with SIGKILL and is left out of the Windows build with the store's
// fault tests (cmake/windows.cmake), and kill children made with fork().

// The bytes each item gets from a document version, and the documents.
struct Versions {
  TempArea docs;
  std::vector<batch::Item> items[2];
  std::vector<std::vector<uint8_t>> bytes[2];
  size_t itemBytes = 0;

  explicit Versions(int count) {
    TempArea scratch;
    for (int v = 0; v < 2; ++v)
      for (int i = 0; i < count; ++i) {
        const std::string name = "N" + std::to_string(i), file = docs.File(name + "-" + std::to_string(v) + ".xml");
        WriteFile(file, SizeCodes(60, v * 100 + i));
        items[v].push_back({kSizeCode, name, file});
        EXPECT_EQ(ImportFromString(kSizeCode, scratch.path(), name, ReadFile(file)), 0);
        bytes[v].push_back(*scratch.GetItem(kSizeCode, name));
        itemBytes = bytes[v].back().size();
      }
  }
};


// Files other than the catalog in the area: a private catalog or a journal
// left behind.
std::vector<std::string> Leftovers(const TempArea& area) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(area.path()))
    if (entry.path().filename() != "sizpt.ctl" && entry.path().filename() != "sizpt.ctl-journal")
      names.push_back(entry.path().filename().string());
  return names;
}

// Each batch runs with its Nth read, write, sync, lock or truncate failing
// (once, or from then on), alternating between two versions of its six
// documents, for N = 1, 2, ... until no fault is met. An item reported
// stored holds the bytes of the run; one reported failed (code 5) keeps what
// it had: a transaction that did not commit is absent whole, the ones
// before it are intact. Half the items exist before the first run; in the
// second round the catalog does not exist before it.
TEST(BatchFaults, EveryFailureOfABatchImportFailsItsItemsAndLosesNothing) {
  constexpr int kItems = 6;
  const Versions versions(kItems);
  batch::Options options;
  options.limits.bytes = 2 * versions.itemBytes;  // transactions of two items
  int failed = 0, stored = 0, v = 0;
  std::optional<TempArea> area;
  std::vector<std::optional<std::vector<uint8_t>>> expected;
  std::vector<int> codes;
  for (const bool first : {false, true}) {
    SCOPED_TRACE(first ? "first import" : "over earlier items");
    const auto start = [&] {
      area.emplace();
      expected.assign(kItems, std::nullopt);
      for (int i = 0; i < kItems && !first; i += 2) {
        area->PutItem(kSizeCode, versions.items[0][i].name, {0, 0});
        expected[i] = std::vector<uint8_t>{0, 0};
      }
    };
    const auto act = [&] {
      v = 1 - v;
      codes = Codes(Import(versions.items[v], *area, options));
    };
    const auto check = [&](bool fired) {
      ASSERT_EQ(codes.size(), size_t{kItems});
      for (int i = 0; i < kItems; ++i) {
        if (codes[i] == 0) {
          expected[i] = versions.bytes[v][i];
          ++stored;
        } else {
          EXPECT_EQ(codes[i], 5);
          EXPECT_TRUE(fired) << "item " << i << " failed without a fault";
          ++failed;
        }
        EXPECT_TRUE(area->GetItem(kSizeCode, versions.items[v][i].name) == expected[i]) << "item " << i;
      }
      ExpectSoundCatalog(area->File("sizpt.ctl"));
      EXPECT_EQ(Leftovers(*area), std::vector<std::string>{});
    };
    ForEachFault(start, act, check);
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(stored, 0);
}

// A batch export with its Nth read, write, sync, lock or truncate of the
// catalog failing (once, or from then on): an item reported exported has
// its whole document, one reported failed (code 5) no file.
TEST(BatchFaults, EveryFailureOfABatchExportFailsItsItemsAndWritesNothingForThem) {
  constexpr int kItems = 6;
  const Versions versions(kItems);
  TempArea area, expected;
  std::vector<batch::Item> items;
  for (int i = 0; i < kItems; ++i) {
    const std::string name = versions.items[0][i].name;
    ASSERT_EQ(ImportFromString(kSizeCode, area.path(), name, ReadFile(versions.items[0][i].document)), 0);
    items.push_back({kSizeCode, name, ""});
    ASSERT_EQ(ConvertDataItemToXMLFile(kSizeCode, "", area.c_str(), name.c_str(), expected.File(name + ".xml").c_str(), 0),
              0);
  }
  int failed = 0;
  std::optional<TempArea> out;
  std::vector<int> codes;
  const auto act = [&] {
    out.emplace();
    for (auto& item : items) item.document = out->File(item.name + ".xml");
    codes = Codes(Export(items, area, On(1)));  // the fault layer counts on one thread
  };
  const auto check = [&](bool) {
    ASSERT_EQ(codes.size(), size_t{kItems});
    for (int i = 0; i < kItems; ++i) {
      if (codes[i] == 0) {
        EXPECT_EQ(ReadFile(items[i].document), ReadFile(expected.File(items[i].name + ".xml"))) << i;
      } else {
        ++failed;
        EXPECT_EQ(codes[i], 5) << i;
        EXPECT_FALSE(fs::exists(items[i].document)) << i;
      }
    }
  };
  ForEachFault([] {}, act, check);
  EXPECT_GT(failed, 0);
}

// A batch import killed at any write or sync leaves a catalog that readers
// open at once (rolling back what the killed one left), holding whole items:
// the items of the transactions committed before the kill (a first part of
// the run, whole transactions of three) and the earlier bytes of the rest.
// Running the batch again completes it.
TEST(BatchKills, ABatchKilledAnywhereLeavesWholeTransactionsAndARerunCompletesIt) {
  constexpr int kItems = 9;
  const Versions versions(kItems);
  batch::Options options;
  options.limits.bytes = 3 * versions.itemBytes;
  TempArea area;
  int kills = 0, partial = 0;
  for (const FaultOp kind : {FaultOp::kWrite, FaultOp::kSync}) {
    for (int n = 1;; ++n) {
      ASSERT_LT(n, 300);
      const int v = n % 2;
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        FaultVfs vfs;
        vfs.Arm(kind, n, false, true);
        Import(versions.items[v], area, options);
        _exit(0);
      }
      int status = 0;
      waitpid(child, &status, 0);
      if (!WIFSIGNALED(status)) break;
      ++kills;
      SCOPED_TRACE(std::string(FaultOpName(kind)) + " " + std::to_string(n));
      ASSERT_EQ(ExportToString(kSizeCode, area.path(), "N0").code == 0 || !fs::exists(area.File("sizpt.ctl")), true)
          << LastErrorMessage();
      int done = 0;  // items of this run's version, all before the others
      for (int i = 0; i < kItems; ++i) {
        const auto bytes = area.GetItem(kSizeCode, versions.items[v][i].name);
        if (bytes == versions.bytes[v][i]) {
          EXPECT_EQ(done, i) << "item " << i << " stored after one that was not";
          ++done;
        } else {
          EXPECT_TRUE(!bytes || bytes == versions.bytes[1 - v][i]) << "item " << i << " is not whole";
        }
      }
      EXPECT_EQ(done % 3, 0) << "a transaction stored in part";
      partial += done > 0 && done < kItems;
      ExpectSoundCatalog(area.File("sizpt.ctl"));
      // Again, without a fault: every item of the version.
      for (const Outcome& o : Import(versions.items[v], area, options)) EXPECT_EQ(o.code, 0);
      for (int i = 0; i < kItems; ++i)
        EXPECT_TRUE(area.GetItem(kSizeCode, versions.items[v][i].name) == versions.bytes[v][i]) << "item " << i;
      if (::testing::Test::HasFailure()) return;
    }
  }
  EXPECT_GT(kills, 0);
  EXPECT_GT(partial, 0);
}
#endif

}  // namespace
}  // namespace tsln2xml::test
