// The DXF exports at size, each timed side by side with the XML export of the
// same item ("ratio" is DXF / XML): the large bench piece (5,000 perimeter
// points in smooth stretches, 200 internal lines, two rules that grade it)
// in all four sizes with its .rul file, and the large bench marker (2,000
// pieces of 400 points, 2,000 cartoons).

#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "marker/marker_builder.h"
#include "store/piece_builder.h"
#include "tsln2xml/dxf.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::bench {
namespace {

constexpr short kPiece = 20;
constexpr short kMarker = 9;

struct Fixture {
  ScratchArea area;
  Fixture() {
    grading::PIECE piece = LargePiece();
    // Rules for two of its grade points (ids 11 and 21), so that every size
    // differs from the base.
    piece.rules[0].id = 11;
    piece.rules[1].id = 21;
    if (grading::StorePiece(area.path(), "LARGE", piece) != 1 ||
        marker::StoreMarker(area.path(), "LARGE", LargeMarker()) != 1)
      throw std::runtime_error("cannot set up the storage area");
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

template <class Dxf, class Xml>
void DxfAgainstXml(benchmark::State& state, const std::string& dxfFile, Dxf dxf, Xml xml) {
  double ours = 0, theirs = 0;
  for (auto _ : state) {
    bool ok = true;
    ours += Seconds([&] { ok = dxf() == 0; });
    theirs += Seconds([&] { ok = ok && xml() == 0; });
    if (!ok) state.SkipWithError("an export failed");
  }
  state.counters["dxf_ms"] = benchmark::Counter(ours * 1000, benchmark::Counter::kAvgIterations);
  state.counters["xml_ms"] = benchmark::Counter(theirs * 1000, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = theirs > 0 ? ours / theirs : 0;
  state.counters["dxf_MB"] = static_cast<double>(std::filesystem::file_size(dxfFile)) / 1e6;
}

void BM_PieceDxfVsXml(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string dxf = f.area.File("piece.dxf"), rul = f.area.File("piece.rul"), xml = f.area.File("piece.xml");
  const char* names[] = {"LARGE"};
  DxfAgainstXml(
      state, dxf,
      [&] { return ExportDXF(kPiece, "", f.area.path().c_str(), names, 1, dxf.c_str(), rul.c_str(), "units=cm sizes=all"); },
      [&] { return ConvertDataItemToXMLFile(kPiece, "", f.area.path().c_str(), "LARGE", xml.c_str(), 0); });
}
BENCHMARK(BM_PieceDxfVsXml)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_MarkerDxfVsXml(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string dxf = f.area.File("marker.dxf"), xml = f.area.File("marker.xml");
  const char* names[] = {"LARGE"};
  DxfAgainstXml(
      state, dxf,
      [&] { return ExportDXF(kMarker, "", f.area.path().c_str(), names, 1, dxf.c_str(), nullptr, "units=cm"); },
      [&] { return ConvertMarkerToXML("", f.area.path().c_str(), "LARGE", xml.c_str(), nullptr); });
}
BENCHMARK(BM_MarkerDxfVsXml)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace tsln2xml::bench
