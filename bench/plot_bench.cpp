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
#include "core/data_types.h"
#include "tsln2xml/tsln2xml.h"
#include "platform/byte_order.h"
#include "store/catalog.h"

extern char** environ;

namespace {

using tsln2xml::bench::ProgramRun;
using tsln2xml::bench::RunWatched;

constexpr int kPieces = 2000;
constexpr int kPoints = 1000;

class Bytes {
 public:
  template <class T>
  Bytes& Put(T value) {
    bytes_.resize(bytes_.size() + sizeof(T));
    tsln2xml::platform::StoreLE<T>(bytes_.data() + bytes_.size() - sizeof(T), value);
    return *this;
  }
  Bytes& Head(uint16_t tag, uint16_t size) { return Put(tag).Put(size); }
  Bytes& Zeros(size_t n) {
    bytes_.resize(bytes_.size() + n);
    return *this;
  }
  Bytes& Text(const std::string& text, size_t width) {
    const size_t at = bytes_.size();
    Zeros(width);
    std::copy_n(text.begin(), std::min(text.size(), width), bytes_.begin() + static_cast<ptrdiff_t>(at));
    return *this;
  }
  Bytes& PatchI32(size_t at, int32_t value) {
    tsln2xml::platform::StoreLE<int32_t>(bytes_.data() + at, value);
    return *this;
  }
  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// In the writer's form, so that the import gives the same bytes back.
std::vector<uint8_t> LargePlot() {
  Bytes b;
  b.Head(0xEFBE, 140).Text("GENPTV1", 8).Text("BENCH", 21).Zeros(50 - 29).Put<int16_t>(0).Put<int16_t>(0);
  b.Put<int16_t>(kPieces).Zeros(120 - 56);
  for (int i = 0; i < 5; ++i) b.Put<int32_t>(-1);
  b.Head(0x01FF, 0).Head(0x02FF, 0);
  b.PatchI32(4 + 128, static_cast<int32_t>(b.size()));
  b.Head(0x0300, kPieces * 20);
  for (int p = 0; p < kPieces; ++p) b.Put<int32_t>(p * 1000).Put<int32_t>(0).Put<int32_t>(p * 1000 + 900).Put<int32_t>(50000).Put<int32_t>(p);
  for (int p = 0; p < kPieces; ++p) {
    b.Head(0x0401, 0).Head(0x0304, 10).Put<uint16_t>(1).Put<int32_t>(p * 1000).Put<int32_t>(0);
    b.Head(0x0301, static_cast<uint16_t>((4 + 10 * kPoints) & 0xFFFF)).Put<uint16_t>(1).Put<uint16_t>(kPoints);
    for (int i = 0; i < kPoints; ++i) b.Put<int32_t>(p * 1000 + i % 900).Put<int32_t>(i * 50).Put<uint16_t>(i % 7 == 0);
    b.Head(0x03FF, 0);
  }
  b.Head(0x05FF, 0);
  b.PatchI32(4 + 136, static_cast<int32_t>(b.size()));
  b.Head(0x0600, 146).Text("BENCH", 21).Zeros(146 - 21);
  b.Head(0x0601, 406).Zeros(406).Head(0x06FF, 0).Head(0xFFFF, 0);
  return b.bytes();
}

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
    item = LargePlot();
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
