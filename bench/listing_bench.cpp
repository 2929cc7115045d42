// Listing a storage area of 10,000 items across 10 types, to a string and to
// a file, against the tools' floor for the same work: sqlite3 reading the
// same rows from the ten catalogs plus xmllint --noout of the produced list,
// both as subprocesses. Target: the listing within 2x of that floor.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/data_types.h"
#include "store/catalog.h"
#include "store/item_lookup.h"
#include "tsln2xml/tsln2xml.h"

extern char** environ;

namespace {

constexpr int kTypes[] = {1, 2, 3, 4, 6, 11, 12, 13, 23, 24};
constexpr int kItemsPerType = 1000;

struct ListingArea {
  std::string dir;
  std::string listFile;
  std::string sqlScript;

  ListingArea() {
    std::string templ = (std::filesystem::temp_directory_path() / "tsln2xml-listing-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    dir = templ;
    std::ofstream sql(dir + "/read.sql");
    for (int code : kTypes) {
      const std::string catalogPath = tsln2xml::store::CatalogPath(dir, code);
      tsln2xml::store::Catalog catalog;
      if (tsln2xml::store::Catalog::OpenForWriting(catalogPath, catalog) != tsln2xml::store::CatalogStatus::kOk)
        throw std::runtime_error("cannot create " + catalogPath);
      for (int i = 0; i < kItemsPerType; ++i) {
        const std::vector<uint8_t> content(64 + (i * 37) % 4000, 0x5A);
        const std::string user = "user" + std::to_string(i % 7);
        catalog.Put("ITEM" + std::to_string(i), content, 1142327100 + i, user);
        if (i % 3 == 0) catalog.Put("ITEM" + std::to_string(i), content, 1142327200 + i, "cad\\" + user);
      }
      // The rows and columns that the listing reads, in the same order.
      const std::string alias = "c" + std::to_string(code);
      sql << "ATTACH '" << catalogPath << "' AS " << alias << ";\n"
          << "SELECT name, length(content), created, created_user, modified, modified_user, prev_modified, "
             "prev_modified_user FROM "
          << alias << ".items ORDER BY name COLLATE NOCASE;\n";
    }
    sqlScript = dir + "/read.sql";
    listFile = dir + "/list.xml";
    if (EnumerateItems("", dir.c_str(), listFile.c_str(), nullptr) != 0) throw std::runtime_error("listing failed");
  }
  ~ListingArea() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

const ListingArea& Area() {
  static const ListingArea area;
  return area;
}

// Runs a program without a shell, its output discarded; false on failure.
bool Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_ListAreaToString(benchmark::State& state) {
  const ListingArea& area = Area();
  for (auto _ : state) {
    BSTR xml = nullptr;
    if (EnumerateItemsString("", area.dir.c_str(), &xml, nullptr) != 0) state.SkipWithError("listing failed");
    benchmark::DoNotOptimize(xml);
    SysFreeString(xml);
  }
  state.SetItemsProcessed(state.iterations() * std::size(kTypes) * kItemsPerType);
}
BENCHMARK(BM_ListAreaToString)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ListAreaToFile(benchmark::State& state) {
  const ListingArea& area = Area();
  const std::string file = area.dir + "/list-bench.xml";
  for (auto _ : state)
    if (EnumerateItems("", area.dir.c_str(), file.c_str(), nullptr) != 0) state.SkipWithError("listing failed");
  state.SetItemsProcessed(state.iterations() * std::size(kTypes) * kItemsPerType);
}
BENCHMARK(BM_ListAreaToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: sqlite3 reads the same rows, xmllint parses the produced list.
void BM_Sqlite3RowsPlusXmllint(benchmark::State& state) {
  const ListingArea& area = Area();
  for (auto _ : state) {
    if (!Run({"sqlite3", "-batch", "-readonly", ":memory:", ".read " + area.sqlScript}))
      state.SkipWithError("sqlite3 failed");
    if (!Run({"xmllint", "--noout", area.listFile})) state.SkipWithError("xmllint failed");
  }
  state.SetItemsProcessed(state.iterations() * std::size(kTypes) * kItemsPerType);
}
BENCHMARK(BM_Sqlite3RowsPlusXmllint)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
