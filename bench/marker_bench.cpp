// The marker export of a large marker: 2,000 pieces of 400 perimeter points
// and 4 internal lines each, and 2,000 cartoons, written to a UTF-16 file.
// Measured in the same run: `xmllint --noout` reading the written file (the
// cost of merely parsing what we write), and the peak memory of a separate
// `tsln2xml marker` process against the size of the marker's data.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "marker/marker_builder.h"
#include "tsln2xml/tsln2xml.h"

extern char** environ;

namespace {

using namespace tsln2xml::marker;
using tsln2xml::bench::ProgramRun;
using tsln2xml::bench::RunWatched;

struct Fixture {
  std::filesystem::path dir;
  std::string area, file, cli;
  size_t dataSize = 0;

  Fixture() {
    dir = std::filesystem::temp_directory_path() / ("tsln2xml-marker-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    area = dir.string();
    file = (dir / "marker.xml").string();
    cli = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tsln2xml").string();

    const MarkerData data = tsln2xml::bench::LargeMarker();
    dataSize = data.bytes.size();
    if (StoreMarker(area, "BENCH", data) != 1) throw std::runtime_error("cannot store the benchmark marker");
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Fixture& TheFixture() {
  static Fixture fixture;
  return fixture;
}

// Runs a program to its end: its wall time in seconds and, when asked, its
// peak resident memory in bytes.
std::pair<double, long> Run(const std::vector<std::string>& args, bool watchMemory) {
  const ProgramRun run = RunWatched(args, true);
  if (!run.ok) throw std::runtime_error(args[0] + " failed");
  return {run.seconds, watchMemory ? run.peak : 0};
}

double gExportSeconds = 0;

void BM_MarkerExport(benchmark::State& state) {
  Fixture& f = TheFixture();
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (ConvertMarkerToXML("", f.area.c_str(), "BENCH", f.file.c_str(), nullptr) != 0)
      state.SkipWithError("the export failed");
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  gExportSeconds = total / static_cast<double>(state.iterations());
  const auto fileSize = std::filesystem::file_size(f.file);
  state.SetBytesProcessed(static_cast<int64_t>(fileSize) * state.iterations());
  state.counters["data_MB"] = static_cast<double>(f.dataSize) / 1e6;
  state.counters["file_MB"] = static_cast<double>(fileSize) / 1e6;
}
BENCHMARK(BM_MarkerExport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_MarkerXmllintNoout(benchmark::State& state) {
  Fixture& f = TheFixture();
  if (!std::filesystem::exists(f.file)) ConvertMarkerToXML("", f.area.c_str(), "BENCH", f.file.c_str(), nullptr);
  double total = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    Run({"/usr/bin/xmllint", "--noout", f.file}, false);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  const double xmllint = total / static_cast<double>(state.iterations());
  state.counters["export_s"] = gExportSeconds;
  state.counters["xmllint_s"] = xmllint;
  state.counters["export_per_xmllint"] = gExportSeconds / xmllint;
}
BENCHMARK(BM_MarkerXmllintNoout)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Peak memory of a whole `tsln2xml marker` process against the marker's data
// size, and of a process that only lists the data types (the baseline of the
// program and its libraries).
void BM_MarkerExportPeakMemory(benchmark::State& state) {
  Fixture& f = TheFixture();
  long peak = 0, baseline = 0;
  for (auto _ : state) {
    peak = Run({f.cli, "marker", f.area, "BENCH", "-o", f.file}, true).second;
    baseline = Run({f.cli, "types"}, true).second;
  }
  state.counters["data_MB"] = static_cast<double>(f.dataSize) / 1e6;
  state.counters["peak_MB"] = static_cast<double>(peak) / 1e6;
  state.counters["baseline_MB"] = static_cast<double>(baseline) / 1e6;
  state.counters["peak_per_data"] = static_cast<double>(peak) / static_cast<double>(f.dataSize);
  state.counters["above_baseline_per_data"] =
      static_cast<double>(peak - baseline) / static_cast<double>(f.dataSize);
}
BENCHMARK(BM_MarkerExportPeakMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
