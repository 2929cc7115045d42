// Size code libraries: a large library exported and imported, the per-call
// cost of a small export, and the large export against xmllint validating
// the same document with the same schema.

#include <benchmark/benchmark.h>
#include <fcntl.h>

#include <stdexcept>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "platform/bstr.h"
#include "store/catalog.h"
#include "store/item_store.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::bench {
namespace {

constexpr short kSizeCode = 24;


struct Fixture {
  ScratchArea area;
  std::string largeXml;
  Fixture() {
    store::Catalog catalog;
    if (store::Catalog::OpenForWriting(area.File("sizpt.ctl"), catalog) != store::CatalogStatus::kOk ||
        catalog.Put("LARGE", SizeCodeLibrary(2000, 5), 0, "bench") != store::CatalogStatus::kOk ||
        catalog.Put("SMALL", SizeCodeLibrary(1, 1), 0, "bench") != store::CatalogStatus::kOk)
      throw std::runtime_error("cannot set up the storage area");
    largeXml = area.File("large.xml");
    if (ConvertDataItemToXMLFile(kSizeCode, "", area.path().c_str(), "LARGE", largeXml.c_str(), 0) != 0)
      throw std::runtime_error("cannot export");
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_SizeCodeExportLarge(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string out = f.area.File("out.xml");
  for (auto _ : state)
    if (ConvertDataItemToXMLFile(kSizeCode, "", f.area.path().c_str(), "LARGE", out.c_str(), 0) != 0)
      state.SkipWithError("export failed");
}
BENCHMARK(BM_SizeCodeExportLarge)->Unit(benchmark::kMillisecond);

void BM_SizeCodeImportLarge(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state)
    if (ConvertXMLFileToDataItem(kSizeCode, f.largeXml.c_str(), 0, "", f.area.path().c_str(), "IMPORTED") != 0)
      state.SkipWithError("import failed");
}
BENCHMARK(BM_SizeCodeImportLarge)->Unit(benchmark::kMillisecond);

// The per-call cost: a one-entry library to a string.
void BM_SizeCodeExportSmall(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    BSTR xml = nullptr;
    if (ConvertDataItemToXMLString(kSizeCode, "", f.area.path().c_str(), "SMALL", &xml, 0) != 0)
      state.SkipWithError("export failed");
    SysFreeString(xml);
  }
}
BENCHMARK(BM_SizeCodeExportSmall)->Unit(benchmark::kMicrosecond);

constexpr char16_t kSmallXml[] =
    u"<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" version=\"1\" Name=\"SMALL\">"
    u"<Entry ActualSize=\"A0\" OrderedSize=\"O0\"><Alteration Name=\"ALT0\" Amount=\"0\"/></Entry></SizeCode>";

// The per-call cost of an import: a one-entry library from a string,
// replacing the item each time. Its commit waits for the disk (SQLite syncs
// the journal and the catalog), which the real time shows.
void BM_SizeCodeImportSmall(benchmark::State& state) {
  Fixture& f = Shared();
  const std::u16string xml = kSmallXml;
  for (auto _ : state)
    if (ConvertXMLStringToDataItem(kSizeCode, xml.c_str(), 0, "",
                                   f.area.path().c_str(), "SMALLCOPY") != 0)
      state.SkipWithError("import failed");
}
BENCHMARK(BM_SizeCodeImportSmall)->Unit(benchmark::kMicrosecond);

// The same conversion committed to an item held in memory: the library's
// own cost, without the catalog's durable write.
void BM_SizeCodeImportSmallInMemory(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) {
    store::MemoryItemScope item({});
    if (ConvertXMLStringToDataItem(kSizeCode, kSmallXml, 0, "", f.area.path().c_str(), "SMALLCOPY") != 0 ||
        !item.wasCommitted)
      state.SkipWithError("import failed");
  }
}
BENCHMARK(BM_SizeCodeImportSmallInMemory)->Unit(benchmark::kMicrosecond);

// The large export and `xmllint --noout --schema` on its output, timed in the
// same run; the counter "ratio" is export time / xmllint time.
void BM_SizeCodeExportVsXmllint(benchmark::State& state) {
  Fixture& f = Shared();
  const std::string out = f.area.File("out.xml");
  const std::string schema = std::string(TSLN2XML_BINARY_DIR) + "/SIZECODE.XSD";
  double exportSeconds = 0, xmllintSeconds = 0;
  for (auto _ : state) {
    exportSeconds += Seconds([&] { ConvertDataItemToXMLFile(kSizeCode, "", f.area.path().c_str(), "LARGE", out.c_str(), 0); });
    int rc = 0;
    xmllintSeconds += Seconds([&] { rc = RunQuiet({"xmllint", "--noout", "--schema", schema, out}); });
    if (rc != 0) state.SkipWithError("xmllint failed or rejected the document");
  }
  state.counters["export_ms"] = benchmark::Counter(exportSeconds * 1000, benchmark::Counter::kAvgIterations);
  state.counters["xmllint_ms"] = benchmark::Counter(xmllintSeconds * 1000, benchmark::Counter::kAvgIterations);
  state.counters["ratio"] = exportSeconds / xmllintSeconds;
}
BENCHMARK(BM_SizeCodeExportVsXmllint)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace tsln2xml::bench
