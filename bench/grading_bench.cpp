// Grading rule tables and pieces at size: a table of 2,000 rules with
// NumBreaks 20, stored with its rule ids in random order (so the load's
// ordering is part of the export), exported and imported; a piece of 5,000
// perimeter points in smooth stretches with two marked points (so smoothing
// and alignment run) and 200 internal lines, exported. Each is timed side by
// side with `xmllint --noout --schema` on the document it produced ("ratio"
// is ours / xmllint's), and the peak memory of a whole `tsln2xml` process is
// set against the document's size, whole and above the peak of a process
// that only lists the types (the program and its libraries), beside the peak
// of that xmllint run.

#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "store/catalog.h"
#include "store/piece_builder.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::bench {
namespace {

constexpr short kPiece = 20;
constexpr short kGrading = 23;
struct Fixture {
  ScratchArea area;
  std::string gradingXml, pieceXml, cli;
  Fixture() {
    store::Catalog catalog;
    if (store::Catalog::OpenForWriting(area.File("rutab.ctl"), catalog) != store::CatalogStatus::kOk ||
        catalog.Put("LARGE", RuleTable(), 0, "bench") != store::CatalogStatus::kOk ||
        grading::StorePiece(area.path(), "LARGE", LargePiece()) != 1)
      throw std::runtime_error("cannot set up the storage area");
    gradingXml = area.File("grading.xml");
    pieceXml = area.File("piece.xml");
    if (ConvertDataItemToXMLFile(kGrading, "", area.path().c_str(), "LARGE", gradingXml.c_str(), 0) != 0 ||
        ConvertDataItemToXMLFile(kPiece, "", area.path().c_str(), "LARGE", pieceXml.c_str(), 0) != 0)
      throw std::runtime_error("cannot export");
    cli = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tsln2xml").string();
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// Times `convert` and xmllint on `document` in turns, and a whole tool
// process for its peak memory.
template <class Convert>
void AgainstXmllint(benchmark::State& state, const std::string& document, const char* schema, Convert convert,
                    const std::vector<std::string>& toolArgs) {
  const std::string schemaPath = std::string(TSLN2XML_BINARY_DIR) + "/" + schema;
  double ours = 0, xmllint = 0;
  for (auto _ : state) {
    bool ok = true;
    ours += Seconds([&] { ok = convert(); });
    if (!ok) state.SkipWithError("the conversion failed");
    int rc = 0;
    xmllint += Seconds([&] { rc = RunQuiet({"xmllint", "--noout", "--schema", schemaPath, document}); });
    if (rc != 0) state.SkipWithError("xmllint failed or rejected the document");
  }
  const double documentBytes = static_cast<double>(std::filesystem::file_size(document));
  const long peak = PeakMemoryOf(toolArgs);
  const long baseline = PeakMemoryOf({toolArgs[0], "types"});
  const long xmllintPeak = PeakMemoryOf({"/usr/bin/xmllint", "--noout", "--schema", schemaPath, document});
  state.counters["ours_ms"] = benchmark::Counter(ours * 1000, benchmark::Counter::kAvgIterations);
  state.counters["xmllint_ms"] = benchmark::Counter(xmllint * 1000, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = ours / xmllint;
  state.counters["doc_MB"] = documentBytes / 1e6;
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["peak_per_doc"] = static_cast<double>(peak) / documentBytes;
  state.counters["above_baseline_per_doc"] = static_cast<double>(peak - baseline) / documentBytes;
  state.counters["xmllint_peak_MB"] = static_cast<double>(xmllintPeak) / 1e6;
}

void BM_GradingExportVsXmllint(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string out = f.area.File("grading-out.xml");
  AgainstXmllint(state, f.gradingXml, "GRADING.XSD", [&] {
    return ConvertDataItemToXMLFile(kGrading, "", f.area.path().c_str(), "LARGE", out.c_str(), 0) == 0;
  }, {f.cli, "export", "Grading", f.area.path(), "LARGE", "-o", out});
}
BENCHMARK(BM_GradingExportVsXmllint)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_GradingImportVsXmllint(benchmark::State& state) {
  Fixture& f = Shared();
  AgainstXmllint(state, f.gradingXml, "GRADING.XSD", [&] {
    return ConvertXMLFileToDataItem(kGrading, f.gradingXml.c_str(), 0, "", f.area.path().c_str(), "IMPORTED") == 0;
  }, {f.cli, "import", "Grading", f.area.path(), "IMPORTED", f.gradingXml});
}
BENCHMARK(BM_GradingImportVsXmllint)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_PieceExportVsXmllint(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string out = f.area.File("piece-out.xml");
  AgainstXmllint(state, f.pieceXml, "PIECE.XSD", [&] {
    return ConvertDataItemToXMLFile(kPiece, "", f.area.path().c_str(), "LARGE", out.c_str(), 0) == 0;
  }, {f.cli, "export", "Piece", f.area.path(), "LARGE", "-o", out});
}
BENCHMARK(BM_PieceExportVsXmllint)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
}  // namespace tsln2xml::bench
