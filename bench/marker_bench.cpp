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
#include "marker/marker_builder.h"
#include "tsln2xml/tsln2xml.h"

extern char** environ;

namespace {

using namespace tsln2xml::marker;
using tsln2xml::bench::ProgramRun;
using tsln2xml::bench::RunWatched;

constexpr int kPieces = 2000;
constexpr int kPerimeterPoints = 400;
constexpr int kInternalLines = 4;
constexpr int kLinePoints = 25;
constexpr int kShapes = 16;

// A closed outline of an ellipse-like piece with grade points, notches,
// options and ids here and there, as marker pieces have them.
PieceSpec MakePiece(int shape) {
  PieceSpec p;
  const double rx = 80000 + 4000 * shape, ry = 50000 + 2500 * shape;
  for (int i = 0; i < kPerimeterPoints; ++i) {
    const double a = 2 * M_PI * i / kPerimeterPoints;
    PointSpec point{.x = static_cast<int32_t>(rx * std::cos(a)), .y = static_cast<int32_t>(ry * std::sin(a))};
    point.type = i % 10 == 0 ? 0 : 3;
    if (i % 50 == 0) point.id = static_cast<uint16_t>(i);
    if (i % 100 == 25) point.notchType = 1;
    if (i % 100 == 0) point.option = 13;
    p.perimeter.push_back(point);
  }
  for (int l = 0; l < kInternalLines; ++l) {
    LineSpec line{.type = static_cast<uint8_t>(l + 1), .id = static_cast<int16_t>(l)};
    for (int i = 0; i < kLinePoints; ++i)
      line.points.push_back({.x = -40000 + 3000 * i, .y = -30000 + 15000 * l + 200 * i, .type = 6});
    p.lines.push_back(line);
  }
  return p;
}

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

    MarkerBuilder b;
    b.header->width = 60;
    b.header->expandedNotchTable = 1;
    b.names.emplace().name = "BENCH";
    std::vector<std::vector<uint8_t>> blocks;
    for (int s = 0; s < kShapes; ++s) {
      const PieceSpec shape = MakePiece(s);
      blocks.push_back(EncodePieceGeometry(shape.perimeter, shape.lines, 1));
    }
    b.fillCounts = false;
    b.header->pieceCount = kPieces;
    b.header->cartoonCount = kPieces;
    for (int i = 0; i < kPieces; ++i) {
      PieceSpec piece;
      piece.head.name = "PIECE" + std::to_string(i);
      piece.head.description = "Benchmark piece";
      piece.head.perimeterCount = kPerimeterPoints;
      piece.head.lineCount = kInternalLines;
      piece.head.area = 250.5 + i;
      piece.head.numericSize = static_cast<int16_t>(30 + i % 20);
      piece.geometry = blocks[static_cast<size_t>(i % kShapes)];
      piece.head.geometryLength = static_cast<uint16_t>(piece.geometry->size());
      b.pieces.push_back(std::move(piece));
      Cartoon c;
      c.pieceIndex = static_cast<int16_t>(i);
      c.centerX = 10.0 + (i % 40) * 17.25;
      c.centerY = 12.5 + (i / 40) * 11.75;
      c.rotation = static_cast<float>((i % 4) * 90);
      c.area = 250.5 + i;
      c.pointCount = kPerimeterPoints;
      b.cartoons.push_back(c);
    }
    const MarkerData data = b.Build();
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
