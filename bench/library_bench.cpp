// Library items at size: an annotation library of 2,000 entries with 10
// orders each and a matching library of 5,000 rules, exported (store to
// validated document) and imported (validated document to store). For
// comparison, xmllint validates the same exported document against the same
// schema in the same run.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "bench/documents.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "tsln2xml/tsln2xml.h"

namespace {

constexpr short kAnnotation = 2;
constexpr short kMatching = 11;

// One storage area for the run, with both libraries imported once.
struct Fixture {
  std::string area;
  std::string schemaDir;
  std::u16string annotation, matching;

  Fixture() {
    std::string templ = (std::filesystem::temp_directory_path() / "tsln2xml-bench-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    area = templ;
    schemaDir = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    annotation = tsln2xml::platform::Utf8ToUtf16(tsln2xml::bench::AnnotationDocument());
    matching = tsln2xml::platform::Utf8ToUtf16(tsln2xml::bench::MatchingDocument());
    if (Import(kAnnotation, annotation, "BIG") != 0 || Import(kMatching, matching, "BIG") != 0)
      throw std::runtime_error("the benchmark libraries do not import");
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(area, ec);
  }
  int Import(short type, const std::u16string& text, const char* item) const {
    return ConvertXMLStringToDataItem(type, text.c_str(), 0, "", area.c_str(), item);
  }
  std::string Export(short type) const {
    BSTR xml = nullptr;
    if (ConvertDataItemToXMLString(type, "", area.c_str(), "BIG", &xml, 0) != 0) return {};
    std::string text = tsln2xml::platform::Utf16ToUtf8(tsln2xml::platform::BstrView(xml));
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
    if (ConvertDataItemToXMLString(type, "", f.area.c_str(), "BIG", &xml, 0) != 0) state.SkipWithError("export failed");
    SysFreeString(xml);
  }
}

void Import(benchmark::State& state, short type) {
  const Fixture& f = Shared();
  const std::u16string& text = type == kAnnotation ? f.annotation : f.matching;
  for (auto _ : state)
    if (f.Import(type, text, "COPY") != 0) state.SkipWithError("import failed");
}

// xmllint on the exported document, as a subprocess, against the schema
// files copied beside the library.
void Xmllint(benchmark::State& state, short type, const char* schema) {
  const Fixture& f = Shared();
  const std::string document = f.area + "/" + schema + ".xml";
  std::ofstream(document, std::ios::binary) << f.Export(type);
  const std::string command =
      "xmllint --noout --schema " + f.schemaDir + "/" + schema + " " + document + " >/dev/null 2>&1";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("xmllint failed");
}

void BM_AnnotationExport(benchmark::State& state) { Export(state, kAnnotation); }
void BM_AnnotationImport(benchmark::State& state) { Import(state, kAnnotation); }
void BM_AnnotationXmllint(benchmark::State& state) { Xmllint(state, kAnnotation, "annotation.xsd"); }
void BM_MatchingExport(benchmark::State& state) { Export(state, kMatching); }
void BM_MatchingImport(benchmark::State& state) { Import(state, kMatching); }
void BM_MatchingXmllint(benchmark::State& state) { Xmllint(state, kMatching, "matching.xsd"); }

}  // namespace

BENCHMARK(BM_AnnotationExport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnotationImport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnnotationXmllint)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchingExport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchingImport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchingXmllint)->Unit(benchmark::kMillisecond);
