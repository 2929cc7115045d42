// A cut file with 10 MB of NC data in CRLF lines, exported to a file and
// imported from it, each timed beside `xmllint --noout --schema` on the same
// document in the same run; and the peak memory of the three as separate
// processes (measured by /usr/bin/time, whose child starts from its own small
// address space).

#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::bench {
namespace {

constexpr short kCut = 4;
struct Fixture {
  ScratchArea area;
  std::string exported = area.File("exported.xml");
  std::string schema = std::string(TSLN2XML_BINARY_DIR) + "/CUT.XSD";

  Fixture() {
    const std::string source = area.File("source.xml");
    std::ofstream(source, std::ios::binary) << CutDocument();
    if (ConvertXMLFileToDataItem(kCut, source.c_str(), 0, "", area.path().c_str(), "BIG") != 0 ||
        ConvertDataItemToXMLFile(kCut, "", area.path().c_str(), "BIG", exported.c_str(), 0) != 0)
      throw std::runtime_error("the benchmark cut file does not convert");
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

double Xmllint(const Fixture& f, benchmark::State& state) {
  int rc = 0;
  const double seconds = Seconds([&] { rc = RunQuiet({"xmllint", "--noout", "--schema", f.schema, f.exported}); });
  if (rc != 0) state.SkipWithError("xmllint failed or rejected the document");
  return seconds;
}

void Report(benchmark::State& state, const char* name, double ours, double xmllint) {
  state.counters[std::string(name) + "_ms"] = benchmark::Counter(ours * 1000, benchmark::Counter::kAvgIterations);
  state.counters["xmllint_ms"] = benchmark::Counter(xmllint * 1000, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = ours / xmllint;
  state.counters["document_MB"] = static_cast<double>(std::filesystem::file_size(Shared().exported)) / 1e6;
}

void BM_CutExportVsXmllint(benchmark::State& state) {
  Fixture& f = Shared();
  double ours = 0, xmllint = 0;
  for (auto _ : state) {
    ours += Seconds([&] {
      if (ConvertDataItemToXMLFile(kCut, "", f.area.path().c_str(), "BIG", f.exported.c_str(), 0) != 0)
        state.SkipWithError("export failed");
    });
    xmllint += Xmllint(f, state);
  }
  Report(state, "export", ours, xmllint);
}
BENCHMARK(BM_CutExportVsXmllint)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_CutImportVsXmllint(benchmark::State& state) {
  Fixture& f = Shared();
  double ours = 0, xmllint = 0;
  for (auto _ : state) {
    ours += Seconds([&] {
      if (ConvertXMLFileToDataItem(kCut, f.exported.c_str(), 0, "", f.area.path().c_str(), "COPY") != 0)
        state.SkipWithError("import failed");
    });
    xmllint += Xmllint(f, state);
  }
  Report(state, "import", ours, xmllint);
}
BENCHMARK(BM_CutImportVsXmllint)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// Peak resident memory in MB of a command run under /usr/bin/time; 0 when it
// could not be measured.
double PeakMegabytes(const Fixture& f, std::vector<std::string> command) {
  const std::string out = f.area.File("time.txt");
  command.insert(command.begin(), {"/usr/bin/time", "-f", "%M", "-o", out});
  if (RunQuiet(command) != 0) return 0;
  std::ifstream in(out);
  double kilobytes = 0;
  in >> kilobytes;
  return kilobytes / 1024;
}

void BM_CutPeakMemory(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string cli = std::string(TSLN2XML_BINARY_DIR) + "/tsln2xml";
  double exportPeak = 0, importPeak = 0, xmllintPeak = 0;
  for (auto _ : state) {
    exportPeak = PeakMegabytes(f, {cli, "export", "Cut", f.area.path(), "BIG", "-o", f.exported});
    importPeak = PeakMegabytes(f, {cli, "import", "Cut", f.area.path(), "COPY", f.exported});
    xmllintPeak = PeakMegabytes(f, {"xmllint", "--noout", "--schema", f.schema, f.exported});
  }
  if (exportPeak == 0 || importPeak == 0 || xmllintPeak == 0) state.SkipWithError("a command failed");
  state.counters["export_peak_MB"] = exportPeak;
  state.counters["import_peak_MB"] = importPeak;
  state.counters["xmllint_peak_MB"] = xmllintPeak;
  state.counters["export_per_xmllint"] = exportPeak / xmllintPeak;
  state.counters["import_per_xmllint"] = importPeak / xmllintPeak;
}
BENCHMARK(BM_CutPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace tsln2xml::bench
