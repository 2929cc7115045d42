// The batch table of bench/compare.sh: whole storage areas moved by
// `tsln2xml import --all` and `tsln2xml export --all` beside `xmllint
// --noout --schema` validating the same documents (one xmllint process per
// data type, as a schema is given per process). Wall time and processor time
// (user + system) of each, medians of alternating runs; every import goes
// into a fresh storage area, every export over the documents of the run
// before. Two areas: the MISSES example under 3,000 names, and a mixed area
// of every data type that converts both ways, 200 items each, made from the
// first example document of the type.
//
// The last column checks the results: the imported area exported again must
// give every document byte for byte.

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "converters/registry.h"
#include "core/data_types.h"
#include "store/catalog_batch.h"
#include "store/item_lookup.h"
#include "store/item_store.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kSizeCodeItems = 3000;
constexpr int kMixedItemsPerType = 200;

struct Times {
  double wall = 0, cpu = 0;  // seconds
  bool ok = true;
};

Times& operator+=(Times& a, const Times& b) {
  a.wall += b.wall, a.cpu += b.cpu, a.ok = a.ok && b.ok;
  return a;
}

Times Run(const std::vector<std::string>& command) {
  Times t;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = SpawnQuiet(command);
  if (pid < 0) return {0, 0, false};
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return {0, 0, false};
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  auto seconds = [](const timeval& v) { return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) / 1e6; };
  t.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  t.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::string Cell(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether every document under `a` is in `b` with the same bytes, and no more.
bool SameDocuments(const fs::path& a, const fs::path& b) {
  size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(a)) {
    if (!entry.is_regular_file()) continue;
    ++count;
    if (ReadAll(entry.path()) != ReadAll(b / fs::relative(entry.path(), a))) return false;
  }
  size_t other = 0;
  for (const auto& entry : fs::recursive_directory_iterator(b)) other += entry.is_regular_file();
  return count == other && count > 0;
}

// An area of `count` copies of each item of `staging` (every type that has
// items there), under names of the type's code and a number.
bool CopyItems(const std::string& staging, const std::string& area, int count) {
  const std::string storage = area;
  for (const DataTypeInfo& type : DataTypes()) {
    store::ItemLookup lookup;
    std::string name;
    if (lookup.LookupItemData(type.code, staging, name, "*", 0) != store::kLookupDelivered) continue;
    const std::string control = store::CatalogPath(staging, type.code);
    store::ItemHandle* handle = nullptr;
    if (store::OpenItem(control, name, store::kModeRead, "", handle, nullptr) != store::kStoreOk) return false;
    const std::vector<uint8_t> bytes = handle->data;
    store::CloseItem(control, name, handle);
    store::CatalogBatch batch(store::CatalogPath(storage, type.code));
    for (int i = 0; i < count; ++i) {
      const std::string copy = "T" + std::to_string(type.code) + "_" + std::to_string(i);
      if (batch.Add(copy, bytes, store::CurrentTime(), "bench") != store::CatalogStatus::kOk) return false;
    }
    if (batch.Commit() != store::CatalogStatus::kOk) return false;
  }
  return true;
}

struct Area {
  std::string label;
  fs::path docs;  // DOCS/<Type>/<item>.xml
};

void Compare(const std::string& buildDir, const Area& area, int runs, ScratchArea& scratch, bool& allSame) {
  const std::string cli = buildDir + "/tsln2xml";
  std::vector<std::vector<std::string>> xmllint;
  size_t items = 0;
  uintmax_t bytes = 0;
  for (const auto& folder : fs::directory_iterator(area.docs)) {
    std::vector<std::string> command = {"xmllint", "--noout", "--schema",
                                        buildDir + "/" + Upper(folder.path().filename().string()) + ".XSD"};
    for (const auto& doc : fs::directory_iterator(folder.path())) {
      command.push_back(doc.path().string());
      ++items;
      bytes += fs::file_size(doc.path());
    }
    std::sort(command.begin() + 4, command.end());
    xmllint.push_back(std::move(command));
  }
  const std::string imported = scratch.File("imported"), out = scratch.File("out");
  std::vector<double> iw, ic, ew, ec, xw, xc;
  bool ok = true;
  for (int run = 0; run < runs && ok; ++run) {
    Times x;
    for (const auto& command : xmllint) x += Run(command);
    fs::remove_all(imported);
    fs::create_directories(imported);
    const Times i = Run({cli, "import", "--all", imported, "-d", area.docs.string()});
    const Times e = Run({cli, "export", "--all", imported, "-d", out});
    ok = x.ok && i.ok && e.ok;
    xw.push_back(x.wall), xc.push_back(x.cpu), iw.push_back(i.wall), ic.push_back(i.cpu);
    ew.push_back(e.wall), ec.push_back(e.cpu);
  }
  const bool same = ok && SameDocuments(area.docs, out);
  allSame = allSame && same;
  const double w = Median(xw), c = Median(xc);
  std::cout << "| " << area.label << " | " << items << " | " << Cell(static_cast<double>(bytes) / 1024, 0) << " | "
            << Cell(Median(iw), 3) << " | " << Cell(Median(ic), 3) << " | " << Cell(Median(ew), 3) << " | "
            << Cell(Median(ec), 3) << " | " << Cell(w, 3) << " | " << Cell(c, 3) << " | " << Cell(Median(iw) / w, 2)
            << " | " << Cell(Median(ic) / c, 2) << " | " << Cell(Median(ew) / w, 2) << " | "
            << Cell(Median(ec) / c, 2) << " | " << (ok ? same ? "same" : "differ" : "a command failed") << " |"
            << std::endl;
}

}  // namespace

int CompareBatches(const std::string& buildDir, const std::string& sourceDir, int runs) {
  ScratchArea sizeCodes, mixed, staging, scratchA, scratchB;
  const std::string misses = ReadAll(sourceDir + "/examples/SizeCode/MISSES.xml");
  fs::create_directories(sizeCodes.File("SizeCode"));
  const std::string named = "Name=\"MISSES\"";
  const size_t at = misses.find(named);
  if (at == std::string::npos) return 1;
  for (int i = 0; i < kSizeCodeItems; ++i) {
    // Named as its item, as an export writes it.
    std::string text = misses;
    text.replace(at, named.size(), "Name=\"MISSES" + std::to_string(i) + "\"");
    std::ofstream(sizeCodes.File("SizeCode/MISSES" + std::to_string(i) + ".xml"), std::ios::binary) << text;
  }
  // The mixed area: the first example of every type that converts both ways.
  for (const DataTypeInfo& type : DataTypes()) {
    if (!HasReader(type.code) || !HasWriter(type.code)) continue;
    const fs::path folder = fs::path(sourceDir) / "examples" / std::string(DataTypeName(type.code));
    std::error_code ec;
    std::vector<fs::path> examples;
    for (const auto& entry : fs::directory_iterator(folder, ec))
      if (entry.path().extension() == ".xml") examples.push_back(entry.path());
    if (examples.empty()) continue;
    std::sort(examples.begin(), examples.end());
    const std::string name = examples.front().stem().string();
    if (ConvertXMLFileToDataItem(type.code, examples.front().c_str(), 0, "", staging.path().c_str(), name.c_str()) != 0)
      return 1;
  }
  ScratchArea copies;
  if (!CopyItems(staging.path(), copies.path(), kMixedItemsPerType)) return 1;
  if (Run({buildDir + "/tsln2xml", "export", "--all", copies.path(), "-d", mixed.path()}).ok == false) return 1;

  std::cout << "| batch | documents | KB | import s | import CPU s | export s | export CPU s | xmllint s"
               " | xmllint CPU s | import / xmllint | import CPU / xmllint | export / xmllint"
               " | export CPU / xmllint | results |\n"
               "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
  bool allSame = true;
  Compare(buildDir, {"SizeCode MISSES x " + std::to_string(kSizeCodeItems), sizeCodes.path()}, runs, scratchA,
          allSame);
  Compare(buildDir, {"every type x " + std::to_string(kMixedItemsPerType), mixed.path()}, runs, scratchB, allSame);
  return allSame ? 0 : 1;
}

}  // namespace tsln2xml::bench
