// The storage area under faults: every read, write, sync, lock and truncate
// of an import, a raw put, an export and a list failing in turn; processes
// killed while writing; many processes writing one area; paths too long,
// catalogs that are directories, and catalogs locked by another process.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "platform/bstr.h"
#include "platform/code_page.h"
#include "store/catalog.h"
#include "store/item_store.h"
#include "support/catalog_fixture.h"
#include "support/fault_vfs.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kSizeCode = 24;
const std::string kTool = TSLN2XML_CLI_PATH;

// A size code document with `entries` entries: a few kilobytes, so an item
// spans several pages of its catalog.
std::string SizeCodes(int entries, int ordered) {
  std::string xml = R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A">)";
  for (int i = 0; i < entries; ++i)
    xml += "<Entry ActualSize=\"" + std::to_string(i) + "\" OrderedSize=\"" + std::to_string(ordered) + "\"/>";
  return xml + "</SizeCode>";
}

std::string Catalog(const TempArea& area) { return area.File("sizpt.ctl"); }

std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  store::SqliteDb owner(db);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK) return sqlite3_errmsg(db);
  store::SqliteStatement statement(stmt);
  if (sqlite3_step(stmt) != SQLITE_ROW) return sqlite3_errmsg(db);
  return reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
}

struct ListResult {
  int code;
  std::string xml;
};
ListResult List(const std::string& area) {
  BSTR xml = nullptr;
  const int code = EnumerateItemsString("", area.c_str(), &xml, nullptr);
  ListResult result{code, {}};
  if (xml) {
    result.xml = platform::Utf16ToUtf8(platform::BstrView(xml));
    SysFreeString(xml);
  }
  return result;
}

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

class StoreFaults : public ::testing::TestWithParam<FaultCase> {};

// Each operation runs with its Nth call of one kind failing (once, and from
// then on), for N = 1, 2, ... until it succeeds. Every failure is the store's
// code 5 with secondary 5, and leaves a sound catalog holding the earlier item.
TEST_P(StoreFaults, EveryFailureIsReportedAndLosesNothing) {
  const Op op = GetParam().op;
  const std::string earlierDoc = SizeCodes(1500, 1), newDoc = SizeCodes(1600, 2);
  TempArea scratch;
  ASSERT_EQ(ImportFromString(kSizeCode, scratch.path(), "A", newDoc), 0);
  const std::vector<uint8_t> newBytes = *scratch.GetItem(kSizeCode, "A");
  const std::string newExport = ExportToString(kSizeCode, scratch.path(), "A").xml;
  int total = 0;  // failures injected and reported

  for (const FaultOp kind : kFaultOps) {
    for (const bool persistent : {false, true}) {
      SCOPED_TRACE(std::string(FaultOpName(kind)) + (persistent ? " from the Nth on" : " once"));
      TempArea area;
      std::optional<std::vector<uint8_t>> earlier;
      if (op != Op::kFirstImport) {
        ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", earlierDoc), 0);
        earlier = area.GetItem(kSizeCode, "A");
      }
      const std::string earlierExport = ExportToString(kSizeCode, area.path(), "A").xml;
      FaultVfs vfs;
      bool succeeded = false;
      int failures = 0;  // this case's
      for (int n = 1; n < 400 && !succeeded; ++n) {
        SCOPED_TRACE("N = " + std::to_string(n));
        vfs.Arm(kind, n, persistent);
        int code = 0, secondary = 0;
        std::string text;
        switch (op) {
          case Op::kImport:
          case Op::kFirstImport:
            code = ImportFromString(kSizeCode, area.path(), "A", newDoc);
            secondary = GetLastDbErrorXML();
            break;
          case Op::kRawPut:
            secondary = RawPut(area, newBytes);
            code = secondary == store::kStoreOk ? 0 : 5;
            break;
          case Op::kExport: {
            const ExportResult r = ExportToString(kSizeCode, area.path(), "A");
            code = r.code;
            secondary = GetLastDbErrorXML();
            text = r.xml;
            break;
          }
          case Op::kList: {
            const ListResult r = List(area.path());
            code = r.code;
            secondary = GetLastDbErrorXML();
            text = r.xml;
            break;
          }
        }
        const bool fired = vfs.Fired();
        vfs.Disarm();
        if (code == 0) {
          succeeded = true;
          if (op == Op::kExport) {
            EXPECT_TRUE(text == earlierExport);
          } else if (op == Op::kList) {
            EXPECT_NE(text.find("Name=\"A\""), std::string::npos) << text;
          } else {
            EXPECT_TRUE(area.GetItem(kSizeCode, "A") == newBytes);
            EXPECT_TRUE(ExportToString(kSizeCode, area.path(), "A").xml == newExport);
          }
        } else {
          ++failures;
          EXPECT_TRUE(fired) << "failed without a fault: " << LastErrorMessage();
          EXPECT_EQ(code, 5) << LastErrorMessage();
          EXPECT_EQ(secondary, store::kCatalogError) << LastErrorMessage();
          // Read through the store first: it must recover what the failure
          // left (a hot journal) by itself.
          EXPECT_TRUE(area.GetItem(kSizeCode, "A") == earlier);
          if (op == Op::kFirstImport) {
            EXPECT_TRUE(std::filesystem::is_empty(area.path())) << "a failed first import left a file";
          } else {
            EXPECT_EQ(IntegrityCheck(Catalog(area)), "ok");
          }
        }
      }
      EXPECT_TRUE(succeeded);
      total += failures;
      if (::testing::Test::HasFailure()) return;
    }
  }
  EXPECT_GT(total, 0);
}

INSTANTIATE_TEST_SUITE_P(Operations, StoreFaults,
                         ::testing::Values(FaultCase{Op::kImport, "Import"}, FaultCase{Op::kRawPut, "RawPut"},
                                           FaultCase{Op::kExport, "Export"}, FaultCase{Op::kList, "List"},
                                           FaultCase{Op::kFirstImport, "FirstImport"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A process that dies at any write or sync of a commit leaves a hot journal;
// the next reader rolls it back and reads the earlier item, and a reader whose
// own I/O fails during that roll-back (each kind in turn, every N) fails with
// code 5 and leaves the roll-back to the next one.
TEST(StoreKills, ReadersRecoverAnImportKilledAtAnyWriteOrSync) {
  TempArea area;
  const std::string earlierDoc = SizeCodes(1500, 1), newDoc = SizeCodes(1600, 2);
  int hotJournals = 0, failedRecoveries = 0;
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
        _exit(ImportFromString(kSizeCode, area.path(), "A", newDoc) == 0 ? 0 : 1);
      }
      int status = 0;
      waitpid(child, &status, 0);
      if (!WIFSIGNALED(status)) break;  // the import got through: every point was tried
      SCOPED_TRACE(std::string(FaultOpName(kind)) + " " + std::to_string(n));
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
      EXPECT_EQ(List(area.path()).code, 0);
      EXPECT_TRUE(area.GetItem(kSizeCode, "A") == earlier);
      EXPECT_EQ(IntegrityCheck(Catalog(area)), "ok");
      ASSERT_LT(n, 200);
    }
  }
  EXPECT_GT(hotJournals, 0);
  EXPECT_GT(failedRecoveries, 0);
}

// The command-line tool killed at random moments of large raw puts and
// imports: the item is always either the earlier or the new one, whole.
TEST(StoreKills, FiftyRandomKillsOfLargeWritesLeaveTheCatalogSound) {
  TempArea area, docs;
  const std::string quotedArea = "'" + area.path() + "'";
  // A large import, and a raw put of 6 MB, each timed once: the kills fall
  // anywhere in that time.
  WriteFile(docs.File("big.xml"), SizeCodes(30000, 3));
  WriteFile(docs.File("raw.bin"), std::string(6 << 20, 'x'));
  const auto timed = [](const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCommand(command), 0) << command;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
  };
  long long rawTime = timed(kTool + " raw put SizeCode " + quotedArea + " A '" + docs.File("raw.bin") + "'");
  long long importTime = timed(kTool + " import SizeCode " + quotedArea + " A '" + docs.File("big.xml") + "'");
  const std::vector<uint8_t> imported = *area.GetItem(kSizeCode, "A");
  std::vector<uint8_t> current = imported;
  std::mt19937 random(20261206);
  int kills = 0, journals = 0;
  for (int round = 0; kills < 50 && round < 400; ++round) {
    const bool rawPut = round % 2 == 0;
    std::vector<uint8_t> next = imported;
    if (rawPut) {
      next.assign(6 << 20, static_cast<uint8_t>(round));
      WriteFile(docs.File("raw.bin"), std::string(next.begin(), next.end()));
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const std::string a = area.path(), f = docs.File(rawPut ? "raw.bin" : "big.xml");
      if (rawPut)
        execl(kTool.c_str(), kTool.c_str(), "raw", "put", "SizeCode", a.c_str(), "A", f.c_str(), nullptr);
      else
        execl(kTool.c_str(), kTool.c_str(), "import", "SizeCode", a.c_str(), "A", f.c_str(), nullptr);
      _exit(127);
    }
    long long& window = rawPut ? rawTime : importTime;
    int status = 0;
    bool exited = false;
    if (round % 5 == 4) {
      // Every fifth kill waits for the write to begin, so that some kills land
      // inside a transaction however the process's time is divided.
      const auto deadline = start + std::chrono::microseconds(3 * window + 1000000);
      while (!std::filesystem::exists(Catalog(area) + "-journal") && std::chrono::steady_clock::now() < deadline) {
        if (waitpid(child, &status, WNOHANG) == child) {
          exited = true;
          break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    } else {
      std::this_thread::sleep_until(start + std::chrono::microseconds(random() % static_cast<unsigned>(window + 1)));
    }
    if (!exited) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
    }
    if (WIFSIGNALED(status)) {
      ++kills;
      journals += std::filesystem::exists(Catalog(area) + "-journal");  // killed inside a transaction
    } else {
      ASSERT_EQ(WEXITSTATUS(status), 0);
      window = window * 4 / 5;  // it was quicker than timed: aim earlier
    }
    const auto stored = area.GetItem(kSizeCode, "A");
    ASSERT_TRUE(stored == current || stored == next) << "round " << round;  // never a mix
    current = *stored;
    ASSERT_EQ(IntegrityCheck(Catalog(area)), "ok") << "round " << round;
  }
  EXPECT_EQ(kills, 50);
  EXPECT_GT(journals, 0);
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
  EXPECT_NE(List(longArea).xml.find("Name=\"A\""), std::string::npos);

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
    expectNamed(ExportToString(kSizeCode, area, "A").code);
    expectNamed(List(area).code);
    expectNamed(ConvertMarkerToXML("", area.c_str(), "M", base.File("m.xml").c_str(), nullptr));
  }
  std::vector<std::string> catalogs;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(base.path()))
    if (entry.is_regular_file()) catalogs.push_back(entry.path().string());
  EXPECT_EQ(catalogs, std::vector<std::string>{longArea + "/sizpt.ctl"});
}

TEST(StoreCatalogs, ACatalogThatIsADirectoryFailsEveryRead) {
  TempArea area;
  std::filesystem::create_directory(Catalog(area));
  EXPECT_EQ(List(area.path()).code, 5);
  EXPECT_NE(LastErrorMessage().find("sizpt.ctl"), std::string::npos) << LastErrorMessage();
  EXPECT_EQ(ExportToString(kSizeCode, area.path(), "A").code, 5);
  EXPECT_EQ(GetLastDbErrorXML(), store::kCatalogError);
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodes(1, 1)), 5);
  EXPECT_TRUE(std::filesystem::is_directory(Catalog(area)));
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
  }
  store::SetCatalogBusyTimeout(15000);
  EXPECT_EQ(area.GetItem(kSizeCode, "A"), (std::vector<uint8_t>{0, 0}));
}

}  // namespace
}  // namespace tsln2xml::test
