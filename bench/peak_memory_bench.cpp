// Peak memory of the two inputs whose memory once grew far faster than they
// did: the import of a large document of small elements (more entries than a
// size code library holds, refused by their count after the document is
// read), beside xmllint --noout --schema on the same document; and the list
// of a catalog of a million rows, as a document and as a table, beside the
// size of the list's text. Targets: the import's peak at most xmllint's; a
// list's peak no more than its text above that of an empty area, a table's
// not growing with the rows at all.

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "store/catalog.h"
#include "store/item_lookup.h"

namespace tsln2xml::bench {
namespace {

const std::string kCli = std::string(TSLN2XML_BINARY_DIR) + "/tsln2xml";

double Megabytes(long bytes) { return static_cast<double>(bytes) / (1 << 20); }

// The peak resident memory in bytes of a command run under /usr/bin/time
// (which also sees a command too short to be watched); 0 when it could not
// be measured. A command that fails still has its peak.
long PeakOf(const ScratchArea& scratch, std::vector<std::string> command) {
  const std::string out = scratch.File("time.txt");
  command.insert(command.begin(), {"/usr/bin/time", "-f", "%M", "-o", out});
  RunQuiet(command);
  std::ifstream in(out);
  long kilobytes = 0;
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) kilobytes = std::stol(line);
  return kilobytes * 1024;
}

// A size code document of `entries` small entries (about 40 bytes each).
void WriteSmallEntries(const std::string& path, int entries) {
  std::ofstream out(path, std::ios::binary);
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" version=\"1\" Name=\"BIG\">\n";
  for (int i = 0; i < entries; ++i) out << "<Entry ActualSize=\"A\" OrderedSize=\"B\"/>\n";
  out << "</SizeCode>\n";
}

void BM_ImportPeakOfSmallElements(benchmark::State& state) {
  ScratchArea area;
  const std::string document = area.File("big.xml");
  WriteSmallEntries(document, static_cast<int>(state.range(0)));
  const std::string schema = std::string(TSLN2XML_BINARY_DIR) + "/SIZECODE.XSD";
  long ours = 0, xmllint = 0;
  for (auto _ : state) {
    // Refused by its count (code 1): the peak is what matters.
    ours = PeakOf(area, {kCli, "import", "SizeCode", area.path(), "BIG", document});
    xmllint = PeakOf(area, {"xmllint", "--noout", "--schema", schema, document});
  }
  if (ours <= 0 || xmllint <= 0) state.SkipWithError("a peak could not be measured");
  state.counters["document_MB"] = Megabytes(static_cast<long>(std::filesystem::file_size(document)));
  state.counters["import_peak_MB"] = Megabytes(ours);
  state.counters["xmllint_peak_MB"] = Megabytes(xmllint);
  state.counters["import_per_xmllint"] = static_cast<double>(ours) / static_cast<double>(xmllint);
}
BENCHMARK(BM_ImportPeakOfSmallElements)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// A size code catalog of `rows` items of two bytes, written in one
// statement (the store would take a transaction per item).
void WriteRows(const std::string& area, int rows) {
  const std::string path = store::CatalogPath(area, 24);
  if (store::StoreItem(path, "FIRST", std::vector<uint8_t>{0, 0}, 0, "ann") != store::CatalogStatus::kOk) return;
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  const std::string sql = "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          std::to_string(rows - 2) +
                          ") INSERT INTO items SELECT printf('I%07d', i), x'0000', i, 'ann', i, 'bob', i, 'cy' FROM n";
  sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

void BM_ListPeakOfAMillionRows(benchmark::State& state) {
  ScratchArea empty, area;
  WriteRows(area.path(), static_cast<int>(state.range(0)));
  const std::string text = area.File("list.xml");
  long base = 0, document = 0, table = 0;
  for (auto _ : state) {
    base = PeakOf(empty, {kCli, "list", empty.path(), "--xml", empty.File("list.xml")});
    document = PeakOf(empty, {kCli, "list", area.path(), "--xml", text});
    table = PeakOf(empty, {kCli, "list", area.path()});
  }
  std::error_code ec;
  const auto textBytes = static_cast<long>(std::filesystem::file_size(text, ec));
  if (base <= 0 || document <= 0 || table <= 0 || ec) state.SkipWithError("a peak could not be measured");
  state.counters["text_MB"] = Megabytes(textBytes);
  state.counters["empty_peak_MB"] = Megabytes(base);
  state.counters["document_peak_MB"] = Megabytes(document);
  state.counters["table_peak_MB"] = Megabytes(table);
  state.counters["document_growth_per_text"] =
      static_cast<double>(document - base) / static_cast<double>(std::max(textBytes, 1L));
}
BENCHMARK(BM_ListPeakOfAMillionRows)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace tsln2xml::bench
