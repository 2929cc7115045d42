// The item store: failed imports, areas, names and users; then every read,
// write, sync, lock and truncate of an import, a raw put, an export and a
// list failing in turn; processes killed while writing; many processes
// writing one area; paths too long, and catalogs that cannot be used or are
// locked by another process.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "platform/replace_file.h"
#include "store/catalog.h"
#include "store/item_store.h"
#include "support/catalog_fixture.h"
#include "support/fault_vfs.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::test {
namespace {

std::string Catalog(const TempArea& area) { return area.File("sizpt.ctl"); }

int RawPut(const TempArea& area, const std::vector<uint8_t>& bytes) {
  store::ItemHandle* handle = nullptr;
  int32_t result = store::OpenItem(Catalog(area), "A", store::kModeCreate, "", handle, nullptr);
  if (result != store::kStoreOk) return result;
  store::WriteItem(bytes.data(), 1, bytes.size(), handle);
  result = store::CommitItem(handle);
  store::CloseItem(Catalog(area), "A", handle);
  return result;
}

enum class Op { kImport, kRawPut, kExport, kList, kFirstImport };

struct FaultCase {
  Op op;
  const char* name;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const std::vector<uint8_t> kEmptyLibrary = {0, 0};

// Writes land where the item is positioned: a gap before a write reads as
// zeros, a write across the end overwrites and appends, and an item larger
// than the store's read-back piece commits and reads back whole.
TEST(Store, PositionedWritesCommitAndReadBackWhole) {
  TempArea area;
  std::vector<uint8_t> expected(250, 0);
  store::ItemHandle* handle = nullptr;
  ASSERT_EQ(store::OpenItem(Catalog(area), "A", store::kModeCreate, "", handle, nullptr), store::kStoreOk);
  auto write = [&](int32_t at, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(store::SeekItem(handle, at, SEEK_SET), 0);
    ASSERT_EQ(store::WriteItem(bytes.data(), 1, bytes.size(), handle), bytes.size());
    if (expected.size() < at + bytes.size()) expected.resize(at + bytes.size());
    std::copy(bytes.begin(), bytes.end(), expected.begin() + at);
  };
  write(0, std::vector<uint8_t>(100, 1));
  write(200, std::vector<uint8_t>(50, 2));
  write(240, std::vector<uint8_t>(20, 3));
  std::vector<uint8_t> large(300001);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i * 7);
  write(260, large);
  ASSERT_EQ(store::CommitItem(handle), store::kStoreOk);
  store::CloseItem(Catalog(area), "A", handle);

  ASSERT_EQ(store::OpenItem(Catalog(area), "A", store::kModeRead, "", handle, nullptr), store::kStoreOk);
  const auto whole = store::PeekItem(handle);
  EXPECT_EQ(std::vector<uint8_t>(whole.begin(), whole.end()), expected);
  ASSERT_EQ(store::SeekItem(handle, 260, SEEK_SET), 0);
  EXPECT_EQ(store::PeekItem(handle).size(), large.size());
  store::CloseItem(Catalog(area), "A", handle);
}

// A failure inside the conversion comes after the item was created for
// writing: nothing of it is committed, into a fresh area or over an item.
TEST(Store, FailedImportsLeaveTheAreaAsItWas) {
  TempArea area;
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\"/>"), 2);
  EXPECT_FALSE(std::filesystem::exists(Catalog(area)));
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(32768, 1)), 1);  // more entries than a count holds
  EXPECT_FALSE(std::filesystem::exists(Catalog(area)));
  area.PutItem(kSizeCode, "A", kEmptyLibrary);
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(32768, 1)), 1);
  EXPECT_EQ(area.GetItem(kSizeCode, "A"), kEmptyLibrary);
  // Nor is a storage area ever created.
  EXPECT_EQ(ImportFromString(kSizeCode, area.File("no/such/area"), "A", SizeCodes(0, 0)), 5);
  EXPECT_EQ(GetLastDbErrorXML(), store::kNoStorageArea);
  EXPECT_EQ(LastErrorMessage(), "Could not create file");
  EXPECT_FALSE(std::filesystem::exists(area.File("no")));
}

TEST(Store, NamesMatchWithoutCaseAndItemsKeepTheirFirstSpellingAndUser) {
  TempArea area;
  area.PutItem(kSizeCode, "Misses", kEmptyLibrary);
  area.PutItem(kSizeCode, "MISSES", std::vector<uint8_t>{1, 0});
  const std::string list = ListToString(area.path()).xml;
  EXPECT_NE(list.find("<DataItem Name=\"Misses\""), std::string::npos) << list;
  EXPECT_EQ(list.find("<DataItem", list.find("<DataItem") + 1), std::string::npos) << list;
  EXPECT_EQ(area.GetItem(kSizeCode, "misses"), (std::vector<uint8_t>{1, 0}));

  // Imports are written in the name of the process account (the catalog's
  // history of writes: item_enumeration_test).
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(0, 0)), 0);
  store::Catalog catalog;
  store::StoredItem item;
  ASSERT_EQ(store::Catalog::OpenForReading(Catalog(area), catalog), store::CatalogStatus::kOk);
  ASSERT_EQ(catalog.Get("A", item), store::CatalogStatus::kOk);
  EXPECT_EQ(item.attributes.createdUser, store::CurrentUserName());
  EXPECT_EQ(item.attributes.modifiedUser, store::CurrentUserName());
  EXPECT_EQ(item.attributes.previousModified, 0);
}

class StoreFaults : public ::testing::TestWithParam<FaultCase> {};

// Each operation runs with its Nth call of one kind failing (once, and from
// then on), for N = 1, 2, ... until it meets no fault, each write over the
// earlier item. Every failure is the store's code 5 with secondary 5, and
// leaves a sound catalog holding the earlier item.
TEST_P(StoreFaults, EveryFailureIsReportedAndLosesNothing) {
  const Op op = GetParam().op;
  const std::string earlierDoc = SizeCodes(1500, 1), newDoc = SizeCodes(1600, 2);
  TempArea scratch;
  ASSERT_EQ(ImportFromString(kSizeCode, scratch.path(), "A", newDoc), 0);
  const std::vector<uint8_t> newBytes = *scratch.GetItem(kSizeCode, "A");
  const std::string newExport = ExportToString(kSizeCode, scratch.path(), "A").xml;
  std::optional<TempArea> area;  // one for each kind of fault
  std::optional<std::vector<uint8_t>> earlier;
  std::string earlierExport, text;
  int code = 0, secondary = 0, failures = 0;
  const auto start = [&] {
    area.emplace();
    EXPECT_EQ(op == Op::kFirstImport ? 0 : ImportFromString(kSizeCode, area->path(), "A", earlierDoc), 0);
    earlier = area->GetItem(kSizeCode, "A");
    earlierExport = ExportToString(kSizeCode, area->path(), "A").xml;
  };
  const auto act = [&] {
    ExportResult r{0, {}};
    if (op == Op::kRawPut) {
      secondary = RawPut(*area, newBytes);
      code = secondary == store::kStoreOk ? 0 : 5;
      return;
    }
    if (op == Op::kImport || op == Op::kFirstImport) r.code = ImportFromString(kSizeCode, area->path(), "A", newDoc);
    if (op == Op::kExport) r = ExportToString(kSizeCode, area->path(), "A");
    if (op == Op::kList) r = ListToString(area->path());
    code = r.code, text = r.xml, secondary = GetLastDbErrorXML();
  };
  const auto check = [&](bool fired) {
    if (code == 0) {
      if (op == Op::kExport) {
        EXPECT_TRUE(text == earlierExport);
      } else if (op == Op::kList) {
        EXPECT_NE(text.find("Name=\"A\""), std::string::npos) << text;
      } else {
        EXPECT_TRUE(area->GetItem(kSizeCode, "A") == newBytes);
        EXPECT_TRUE(ExportToString(kSizeCode, area->path(), "A").xml == newExport);
        start();  // the next N writes over the earlier item again
      }
      return;
    }
    ++failures;
    EXPECT_TRUE(fired) << "failed without a fault: " << LastErrorMessage();
    EXPECT_EQ(code, 5) << LastErrorMessage();
    EXPECT_EQ(secondary, store::kCatalogError) << LastErrorMessage();
    // Read through the store first: it must recover what the failure left (a
    // hot journal) by itself.
    EXPECT_TRUE(area->GetItem(kSizeCode, "A") == earlier);
    if (op == Op::kFirstImport) {
      EXPECT_TRUE(std::filesystem::is_empty(area->path())) << "a failed first import left a file";
    } else {
      EXPECT_EQ(IntegrityCheck(Catalog(*area)), "ok");
    }
  };
  ForEachFault(start, act, check);
  EXPECT_GT(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Operations, StoreFaults,
                         ::testing::Values(FaultCase{Op::kImport, "Import"}, FaultCase{Op::kRawPut, "RawPut"},
                                           FaultCase{Op::kExport, "Export"}, FaultCase{Op::kList, "List"},
                                           FaultCase{Op::kFirstImport, "FirstImport"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A process that dies at any write or sync of a commit (an import's or a raw
// put's) leaves a hot journal; the next reader rolls it back and reads the
// earlier item, and a reader whose own I/O fails during that roll-back (each
// kind in turn, every N) fails with code 5 and leaves the roll-back to the
// next one.
TEST(StoreKills, ReadersRecoverAWriteKilledAtAnyWriteOrSync) {
  TempArea area, scratch;
  const std::string earlierDoc = SizeCodes(1500, 1), newDoc = SizeCodes(1600, 2);
  ASSERT_EQ(ImportFromString(kSizeCode, scratch.path(), "A", newDoc), 0);
  const std::vector<uint8_t> newBytes = *scratch.GetItem(kSizeCode, "A");
  int hotJournals = 0, failedRecoveries = 0;
  for (const Op op : {Op::kImport, Op::kRawPut}) {
    for (const FaultOp kind : {FaultOp::kWrite, FaultOp::kSync}) {
      ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", earlierDoc), 0);
      const std::vector<uint8_t> earlier = *area.GetItem(kSizeCode, "A");
      const std::string earlierExport = ExportToString(kSizeCode, area.path(), "A").xml;
      for (int n = 1;; ++n) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
          FaultVfs vfs;
          vfs.Arm(kind, n, false, true);
          const bool written = op == Op::kImport ? ImportFromString(kSizeCode, area.path(), "A", newDoc) == 0
                                                 : RawPut(area, newBytes) == store::kStoreOk;
          _exit(written ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFSIGNALED(status)) break;  // the write got through: every point was tried
        SCOPED_TRACE(std::string(op == Op::kImport ? "import, " : "raw put, ") + FaultOpName(kind) + " " +
                     std::to_string(n));
        hotJournals += std::filesystem::exists(Catalog(area) + "-journal");
        {
          FaultVfs vfs;
          const FaultOp readerFault = kFaultOps[static_cast<size_t>(n) % kFaultOps.size()];
          for (int m = 1;; ++m) {
            vfs.Arm(readerFault, m, true);
            const ExportResult r = ExportToString(kSizeCode, area.path(), "A");
            vfs.Disarm();
            if (r.code == 0) {
              EXPECT_TRUE(r.xml == earlierExport);
              break;
            }
            ++failedRecoveries;
            EXPECT_EQ(r.code, 5);
            EXPECT_EQ(GetLastDbErrorXML(), store::kCatalogError) << LastErrorMessage();
            ASSERT_LT(m, 200);
          }
        }
        EXPECT_EQ(ListToString(area.path()).code, 0);
        EXPECT_TRUE(area.GetItem(kSizeCode, "A") == earlier);
        EXPECT_EQ(IntegrityCheck(Catalog(area)), "ok");
        ASSERT_LT(n, 200);
      }
    }
  }
  EXPECT_GT(hotJournals, 0);
  EXPECT_GT(failedRecoveries, 0);
}

TEST(StoreConcurrency, EightProcessesImportTwoHundredItemsEach) {
  TempArea area;
  constexpr int kProcesses = 8, kItems = 200;
  std::vector<pid_t> children;
  for (int c = 0; c < kProcesses; ++c) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      int failures = 0;
      for (int i = 0; i < kItems; ++i)
        if (ImportFromString(kSizeCode, area.path(), "P" + std::to_string(c) + "_" + std::to_string(i),
                             SizeCodes(1, c * 1000 + i)) != 0) {
          ++failures;
          fprintf(stderr, "P%d_%d: %s\n", c, i, LastErrorMessage().c_str());
        }
      _exit(failures > 100 ? 100 : failures);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  for (int c = 0; c < kProcesses; ++c)
    for (int i = 0; i < kItems; ++i) {
      const std::string name = "P" + std::to_string(c) + "_" + std::to_string(i);
      const ExportResult r = ExportToString(kSizeCode, area.path(), name);
      ASSERT_EQ(r.code, 0) << name;
      ASSERT_NE(r.xml.find("OrderedSize=\"" + std::to_string(c * 1000 + i) + "\""), std::string::npos) << name;
    }
}

// Files that writers killed before their rename leave beside a catalog, an
// exported document or a picture go with the next writer of the same file;
// files of live processes, names of other shapes, other catalogs' files and
// directories stay.
TEST(StoreKills, LeftoversOfKilledWritersGoWithTheNextWriter) {
  namespace fs = std::filesystem;
  TempArea area;
  const std::string dead = std::to_string(EndedProcessId());
  const std::string live = std::to_string(getpid());
  const struct {
    std::string name;
    bool removed;
  } files[] = {
      {"sizpt.ctl.new" + dead + "-0", true},
      {"sizpt.ctl.new" + dead + "-3-journal", true},
      {"sizpt.ctl.new" + live + "-999999", false},  // a live process's (names of other shapes: platform_test)
      {"sizpt.ctl.new" + dead, false},
      {"model.ctl.new" + dead + "-0", false},  // another catalog's, for its own writer
      {".out.xml." + dead + ".a1B2c3", true},
      {".out.xml." + live + ".a1B2c3", false},
      {".out.xml.a1B2c3", false},  // no process id to tell
      {".pic.svg." + dead + "-0.part", true},
      {".pic.svg." + live + "-0.part", false},
  };
  for (const auto& f : files) WriteFile(area.File(f.name), "left behind");
  fs::create_directory(area.File("sizpt.ctl.new" + dead + "-9"));

  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(2, 1)), 0) << LastErrorMessage();
  ASSERT_EQ(RunTool("export 24 " + Quote(area.path()) + " A -o " + Quote(area.File("out.xml"))), 0);
  ASSERT_EQ(platform::ReplaceFile(area.File("pic.svg"), "<svg/>"), 0);
  for (const auto& f : files) EXPECT_EQ(fs::exists(area.File(f.name)), !f.removed) << f.name;
  EXPECT_TRUE(fs::is_directory(area.File("sizpt.ctl.new" + dead + "-9")));

  // The writer of a catalog that exists removes them too.
  WriteFile(area.File("sizpt.ctl.new" + dead + "-1"), "left behind");
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "B", SizeCodes(2, 1)), 0) << LastErrorMessage();
  EXPECT_FALSE(fs::exists(area.File("sizpt.ctl.new" + dead + "-1")));
}

// A path is used whole as long as a catalog path can be; longer, every
// operation fails with code 5 naming it, and nothing lands anywhere else.
TEST(StorePaths, LongPathsWorkWholeOrFailNamingThePath) {
  TempArea base;
  auto nested = [&](size_t length) {
    std::string path = base.path();
    while (path.size() + 101 < length) path += "/" + std::string(100, 'd');
    return path + "/" + std::string(length - path.size() - 1, 'e');
  };
  const std::string longArea = nested(300);
  std::filesystem::create_directories(longArea);
  const std::string doc = SizeCodes(2, 1);
  ASSERT_EQ(ImportFromString(kSizeCode, longArea, "A", doc), 0) << LastErrorMessage();
  EXPECT_TRUE(std::filesystem::exists(longArea + "/sizpt.ctl"));
  EXPECT_EQ(ExportToString(kSizeCode, longArea, "A").code, 0);
  EXPECT_NE(ListToString(longArea).xml.find("Name=\"A\""), std::string::npos);

  // The longest area whose size code catalog fits: the longer name of the
  // marker catalog does not, but a catalog that does not exist is only an
  // empty type, so the whole area still lists.
  const std::string edge = nested(store::MaxCatalogPath() - std::string("/sizpt.ctl").size());
  std::filesystem::create_directories(edge);
  ASSERT_EQ(ImportFromString(kSizeCode, edge, "A", doc), 0) << LastErrorMessage();
  const auto edgeList = ListToString(edge);
  EXPECT_EQ(edgeList.code, 0) << LastErrorMessage();
  EXPECT_NE(edgeList.xml.find("Name=\"A\""), std::string::npos);
  std::filesystem::remove(edge + "/sizpt.ctl");

  const std::string existing = nested(store::MaxCatalogPath() - 5);  // its catalog's path is too long
  std::filesystem::create_directories(existing);
  for (const std::string& area : {existing, nested(6000)}) {
    SCOPED_TRACE(area.size());
    const auto expectNamed = [&](int code) {
      EXPECT_EQ(code, 5);
      EXPECT_EQ(GetLastDbErrorXML(), store::kPathTooLong);
      EXPECT_NE(LastErrorMessage().find(area), std::string::npos) << LastErrorMessage();
    };
    expectNamed(ImportFromString(kSizeCode, area, "A", doc));
    if (area == existing) {
      // Nothing exists there to be opened: no item, an empty list.
      EXPECT_EQ(ExportToString(kSizeCode, area, "A").code, 5);
      const auto list = ListToString(area);
      EXPECT_EQ(list.code, 0) << LastErrorMessage();
      EXPECT_EQ(list.xml.find("<DataItem"), std::string::npos);
    } else {
      expectNamed(ExportToString(kSizeCode, area, "A").code);
      expectNamed(ListToString(area).code);
    }
    expectNamed(ConvertMarkerToXML("", area.c_str(), "M", base.File("m.xml").c_str(), nullptr));
  }
  std::vector<std::string> catalogs;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(base.path()))
    if (entry.is_regular_file()) catalogs.push_back(entry.path().string());
  EXPECT_EQ(catalogs, std::vector<std::string>{longArea + "/sizpt.ctl"});
}

// Catalogs that cannot be used: an import, an export and a list each fail
// with the store's code 5 and secondary 5, and the catalog stays as it was.
TEST(StoreCatalogs, UnusableCatalogsFailEveryOperation) {
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
  } cases[] = {
      {"not a database", [](const std::string& path) { WriteFile(path, std::string(4096, 'x')); }},
      {"a database header, then garbage",
       [](const std::string& path) {
         WriteFile(path, std::string("SQLite format 3\0", 16) + std::string(2000, '\x7f'));
       }},
      {"a database of another layout",
       [](const std::string& path) { OpenSql(path, "CREATE TABLE items(title TEXT)"); }},
      {"a directory", [](const std::string& path) { std::filesystem::create_directory(path); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempArea area;
    c.make(Catalog(area));
    const auto catalog = [&] {
      return std::filesystem::is_directory(Catalog(area)) ? std::string("a directory") : ReadFile(Catalog(area));
    };
    const std::string before = catalog();
    const auto expectFailure = [](int code, const std::string& message) {
      EXPECT_EQ(code, 5);
      EXPECT_EQ(GetLastDbErrorXML(), store::kCatalogError);
      EXPECT_TRUE(LastErrorMessage().starts_with(message)) << LastErrorMessage();
    };
    expectFailure(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(1, 1)), "Could not save file");
    expectFailure(ExportToString(kSizeCode, area.path(), "A").code, "Could not open file");
    expectFailure(ListToString(area.path()).code, "Could not read item catalog sizpt.ctl: ");
    EXPECT_EQ(catalog(), before);
  }
}

TEST(StoreCatalogs, ALockHeldPastTheBusyTimeoutSaysSo) {
  TempArea area;
  area.PutItem(kSizeCode, "A", {0, 0});
  store::SetCatalogBusyTimeout(50);
  {
    const store::SqliteDb holder = OpenSql(Catalog(area), "BEGIN EXCLUSIVE");
    EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(1, 1)), 5);
    EXPECT_EQ(GetLastDbErrorXML(), store::kCatalogError);
    EXPECT_EQ(LastErrorMessage(), "Could not save file: storage area is locked by another process");
    EXPECT_EQ(ExportToString(kSizeCode, area.path(), "A").code, 5);
    EXPECT_EQ(LastErrorMessage(), "Could not open file: storage area is locked by another process");
    EXPECT_EQ(ListToString(area.path()).code, 5);
    EXPECT_EQ(LastErrorMessage(),
              "Could not read item catalog sizpt.ctl: database is locked (storage area is locked by another process)");
  }
  store::SetCatalogBusyTimeout(15000);
  EXPECT_EQ(area.GetItem(kSizeCode, "A"), (std::vector<uint8_t>{0, 0}));
}

}  // namespace
}  // namespace tsln2xml::test
