// Models and orders at size: an order of 200 models with 100 entries each
// (two options per model, entry annotation on) and a model of 5,000
// model-level entries with 50 options of 20 entries each, exported (store to
// validated document) and imported (validated document to store). For
// comparison, xmllint validates the same exported document against the same
// schema in the same run.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::bench {
namespace {

constexpr short kModel = 12;
constexpr short kOrder = 13;

// One storage area for the run, with the model and the order imported once.
struct Fixture {
  ScratchArea area;
  std::string schemaDir = TSLN2XML_BINARY_DIR;
  std::u16string model = platform::Utf8ToUtf16(ModelDocument());
  std::u16string order = platform::Utf8ToUtf16(OrderDocument());

  Fixture() {
    if (Import(kModel, model, "BIG") != 0 || Import(kOrder, order, "BIG") != 0)
      throw std::runtime_error("the benchmark model and order do not import");
  }
  int Import(short type, const std::u16string& text, const char* item) const {
    return ConvertXMLStringToDataItem(type, text.c_str(), 0, "", area.path().c_str(), item);
  }
  std::string Export(short type) const {
    BSTR xml = nullptr;
    if (ConvertDataItemToXMLString(type, "", area.path().c_str(), "BIG", &xml, 0) != 0) return {};
    std::string text = platform::Utf16ToUtf8(platform::BstrView(xml));
    SysFreeString(xml);
    return text;
  }
};

const Fixture& Shared() {
  static const Fixture fixture;
  return fixture;
}

void Export(benchmark::State& state, short type) {
  const Fixture& f = Shared();
  for (auto _ : state) {
    BSTR xml = nullptr;
    if (ConvertDataItemToXMLString(type, "", f.area.path().c_str(), "BIG", &xml, 0) != 0)
      state.SkipWithError("export failed");
    SysFreeString(xml);
  }
}

void Import(benchmark::State& state, short type) {
  const Fixture& f = Shared();
  const std::u16string& text = type == kModel ? f.model : f.order;
  for (auto _ : state)
    if (f.Import(type, text, "COPY") != 0) state.SkipWithError("import failed");
}

double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// xmllint on the exported document, as a subprocess, against the schema
// files copied beside the library.
void Xmllint(benchmark::State& state, short type, const char* schema) {
  const Fixture& f = Shared();
  const std::string document = f.area.File(std::string(schema) + ".xml");
  std::ofstream(document, std::ios::binary) << f.Export(type);
  const std::vector<std::string> command = {"xmllint", "--noout", "--schema", f.schemaDir + "/" + schema, document};
  // The machine is shared: besides the wall time, report xmllint's own
  // processor time, to set beside the CPU column of export and import.
  const double before = ChildCpuSeconds();
  for (auto _ : state)
    if (RunQuiet(command) != 0) state.SkipWithError("xmllint failed");
  state.counters["xmllint_cpu_ms"] =
      benchmark::Counter(1000.0 * (ChildCpuSeconds() - before) / static_cast<double>(state.iterations()));
}

void BM_ModelExport(benchmark::State& state) { Export(state, kModel); }
void BM_ModelImport(benchmark::State& state) { Import(state, kModel); }
void BM_ModelXmllint(benchmark::State& state) { Xmllint(state, kModel, "model.xsd"); }
void BM_OrderExport(benchmark::State& state) { Export(state, kOrder); }
void BM_OrderImport(benchmark::State& state) { Import(state, kOrder); }
void BM_OrderXmllint(benchmark::State& state) { Xmllint(state, kOrder, "order.xsd"); }

}  // namespace
}  // namespace tsln2xml::bench

BENCHMARK(tsln2xml::bench::BM_ModelExport)->Unit(benchmark::kMillisecond);
BENCHMARK(tsln2xml::bench::BM_ModelImport)->Unit(benchmark::kMillisecond);
BENCHMARK(tsln2xml::bench::BM_ModelXmllint)->Unit(benchmark::kMillisecond);
BENCHMARK(tsln2xml::bench::BM_OrderExport)->Unit(benchmark::kMillisecond);
BENCHMARK(tsln2xml::bench::BM_OrderImport)->Unit(benchmark::kMillisecond);
BENCHMARK(tsln2xml::bench::BM_OrderXmllint)->Unit(benchmark::kMillisecond);
