// A large plot: 2,000 pieces with a point list of 1,000 attributed points
// each (about 20 MB of records), exported to a file and imported back by
// separate `tsln2xml` processes, beside `xmllint --noout --schema` on the
// exported document in the same run. Each is timed and its peak resident
// memory watched while it runs; the counters give the ratios to xmllint.
// import_ok is 0 when the document loader refuses a document this large.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "core/data_types.h"
#include "tsln2xml/tsln2xml.h"
#include "platform/byte_order.h"
#include "store/catalog.h"

extern char** environ;

namespace {

using tsln2xml::bench::ProgramRun;
using tsln2xml::bench::RunWatched;

struct Fixture {
  std::filesystem::path dir;
  std::string area, document, cli, schema;
  std::vector<uint8_t> item;

  Fixture() {
    dir = std::filesystem::temp_directory_path() / ("tsln2xml-plot-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    area = dir.string();
    document = (dir / "plot.xml").string();
    const auto binary = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    cli = (binary / "tsln2xml").string();
    schema = (binary / "PLOT.XSD").string();
    item = tsln2xml::bench::LargePlot();
    tsln2xml::store::Catalog catalog;
    if (tsln2xml::store::Catalog::OpenForWriting(area + "/" + tsln2xml::CatalogFileName(22), catalog) !=
            tsln2xml::store::CatalogStatus::kOk ||
        catalog.Put("BENCH", item, 0, "bench") != tsln2xml::store::CatalogStatus::kOk)
      throw std::runtime_error("cannot store the benchmark plot");
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// Errors stay visible: a failing run is reported by its result.
ProgramRun Run(const std::vector<std::string>& args) { return RunWatched(args, true); }

void BM_PlotExportImportVsXmllint(benchmark::State& state) {
  Fixture f;
  ProgramRun exported, imported, xmllint;
  double inProcessExport = 0, inProcessImport = 0;
  for (auto _ : state) {
    exported = Run({f.cli, "export", "Plot", f.area, "BENCH", "-o", f.document});
    if (!exported.ok) {
      state.SkipWithError("the export failed");
      return;
    }
    imported = Run({f.cli, "import", "Plot", f.area, "COPY", f.document});
    xmllint = Run({"xmllint", "--noout", "--schema", f.schema, f.document});
    // The same conversions inside this process: the library's own time,
    // without the start and the exit of a process.
    const auto start = std::chrono::steady_clock::now();
    ConvertDataItemToXMLFile(22, "", f.area.c_str(), "BENCH", f.document.c_str(), 0);
    const auto middle = std::chrono::steady_clock::now();
    ConvertXMLFileToDataItem(22, f.document.c_str(), 0, "", f.area.c_str(), "COPY");
    inProcessExport = std::chrono::duration<double>(middle - start).count();
    inProcessImport = std::chrono::duration<double>(std::chrono::steady_clock::now() - middle).count();
  }
  auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
  state.counters["item_MB"] = static_cast<double>(f.item.size()) / 1e6;
  tsln2xml::store::Catalog catalog;
  tsln2xml::store::StoredItem copy;
  state.counters["copy_identical"] =
      tsln2xml::store::Catalog::OpenForReading(f.area + "/" + tsln2xml::CatalogFileName(22), catalog) ==
          tsln2xml::store::CatalogStatus::kOk &&
      catalog.Get("COPY", copy, true) == tsln2xml::store::CatalogStatus::kOk && copy.content == f.item;
  state.counters["document_MB"] = static_cast<double>(std::filesystem::file_size(f.document)) / 1e6;
  state.counters["xmllint_valid"] = xmllint.ok;
  state.counters["import_ok"] = imported.ok;
  state.counters["export_s"] = exported.seconds;
  state.counters["import_s"] = imported.seconds;
  state.counters["xmllint_s"] = xmllint.seconds;
  state.counters["export_in_process_s"] = inProcessExport;
  state.counters["import_in_process_s"] = inProcessImport;
  state.counters["export_per_xmllint"] = ratio(exported.seconds, xmllint.seconds);
  state.counters["import_per_xmllint"] = ratio(imported.seconds, xmllint.seconds);
  state.counters["export_peak_MB"] = static_cast<double>(exported.peak) / 1e6;
  state.counters["import_peak_MB"] = static_cast<double>(imported.peak) / 1e6;
  state.counters["xmllint_peak_MB"] = static_cast<double>(xmllint.peak) / 1e6;
  state.counters["export_peak_per_xmllint"] = ratio(static_cast<double>(exported.peak), static_cast<double>(xmllint.peak));
  state.counters["import_peak_per_xmllint"] = ratio(static_cast<double>(imported.peak), static_cast<double>(xmllint.peak));
}
BENCHMARK(BM_PlotExportImportVsXmllint)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
