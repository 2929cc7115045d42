// The comparison table: for every data type's large benchmark document, the
// processor time (user + system, whole process) and peak memory of
// `tsln2xml export` and `tsln2xml import` against `xmllint --noout --schema`
// on the same document, medians of alternating runs. Every run goes through
// /usr/bin/time, a small parent whose child starts from its own small address
// space, so the peak it reports is the command's own; the processor time
// comes from wait4 with microsecond resolution.
//
// The library columns run the same export and import through the library's
// calls in a process of their own: they free the document, which the
// command leaves to its exit.
//
// The table's last column checks the results: the imported document exported
// again must give the same document, and the document and the imported item
// must have the SHA-256 recorded in bench/compare.sums (written by --record),
// so a faster conversion that changes a single byte shows.

#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/documents.h"
#include "converters/registry.h"
#include "core/data_types.h"
#include "tsln2xml/tsln2xml.h"


namespace tsln2xml::bench {
namespace {

struct Measure {
  double cpu = 0;    // seconds
  double peak = 0;   // MB
  bool ok = false;
};

Measure Timed(const std::vector<std::string>& command, const std::string& scratch) {
  const std::string peakFile = scratch + "/peak.txt";
  std::vector<std::string> args = {"/usr/bin/time", "-f", "%M", "-o", peakFile};
  args.insert(args.end(), command.begin(), command.end());
  const pid_t pid = SpawnQuiet(args);
  Measure m;
  if (pid < 0) return m;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return m;
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  m.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  std::ifstream in(peakFile);
  double kilobytes = 0;
  in >> kilobytes;
  m.peak = kilobytes / 1024;
  m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return m;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string Sha256(const std::string& file) {
  const std::string command = "sha256sum '" + file + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "?";
  char buffer[65] = {};
  const size_t n = std::fread(buffer, 1, 64, pipe);
  pclose(pipe);
  return std::string(buffer, n);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  return fa && fb && std::equal(std::istreambuf_iterator<char>(fa), {}, std::istreambuf_iterator<char>(fb), {});
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::map<std::string, std::string> ReadSums(const std::string& file) {
  std::map<std::string, std::string> sums;
  std::ifstream in(file);
  for (std::string key, sum; in >> key >> sum;) sums[key] = sum;
  return sums;
}

std::string Cell(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

}  // namespace

int ConvertThroughLibrary(const std::string& direction, const std::string& type, const std::string& area,
                          const std::string& item, const std::string& file) {
  const auto code = ParseDataType(type);
  if (!code) return 64;
  if (direction == "export") return ConvertDataItemToXMLFile(*code, "", area.c_str(), item.c_str(), file.c_str(), 0) ? 1 : 0;
  if (direction == "import") return ConvertXMLFileToDataItem(*code, file.c_str(), 0, "", area.c_str(), item.c_str()) ? 1 : 0;
  return 64;
}

int CompareWithXmllint(const std::string& buildDir, const std::string& sourceDir, int runs, bool record) {
  // Imports go into a second area under the item's own name (some documents
  // must name the item they are imported as).
  ScratchArea area, copies;
  const std::string cli = buildDir + "/tsln2xml";
  const std::string library = buildDir + "/tsln2xml_bench";
  const std::string sumsFile = sourceDir + "/bench/compare.sums";
  const auto recorded = ReadSums(sumsFile);
  std::map<std::string, std::string> sums;
  bool allSame = true;

  std::cout << "| type | item | document KB | export ms | import ms | xmllint ms | export / xmllint | import / xmllint"
               " | library export / xmllint | library import / xmllint"
               " | export peak MB | import peak MB | xmllint peak MB | results |\n"
               "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
  for (const BenchDocument& document : BenchDocuments(sourceDir + "/examples")) {
    const int16_t code = *ParseDataType(document.type);
    if (!document.store(area.path())) {
      std::cout << "| " << document.type << " | " << document.item << " | cannot be stored |\n";
      allSame = false;
      continue;
    }
    const std::string out = area.File(document.type + ".xml");
    const std::string again = area.File(document.type + "-again.xml");
    const bool marker = code == kMarkerDataType;
    const bool imports = HasWriter(code);
    const auto exportTo = [&](const std::string& from, const std::string& file) {
      return marker ? std::vector<std::string>{cli, "marker", from, document.item, "-o", file}
                    : std::vector<std::string>{cli, "export", document.type, from, document.item, "-o", file};
    };
    const std::vector<std::string> xmllint = {"xmllint", "--noout", "--schema", buildDir + "/" + Upper(document.type) + ".XSD", out};
    const std::vector<std::string> import = {cli, "import", document.type, copies.path(), document.item, out};
    // The marker export writes its text as it goes: no document to free.
    const std::vector<std::string> libraryExport = {library, "--library", "export", document.type, area.path(),
                                                    document.item, area.File(document.type + "-library.xml")};
    const std::vector<std::string> libraryImport = {library, "--library", "import", document.type, copies.path(),
                                                    document.item, out};

    std::vector<double> exportCpu, importCpu, xmllintCpu, libraryExportCpu, libraryImportCpu;
    double exportPeak = 0, importPeak = 0, xmllintPeak = 0;
    bool ok = true;
    for (int run = 0; run < runs && ok; ++run) {
      const Measure e = Timed(exportTo(area.path(), out), area.path());
      const Measure x = Timed(xmllint, area.path());
      const Measure i = imports ? Timed(import, area.path()) : Measure{0, 0, true};
      const Measure le = marker ? Measure{0, 0, true} : Timed(libraryExport, area.path());
      const Measure li = imports ? Timed(libraryImport, area.path()) : Measure{0, 0, true};
      ok = e.ok && x.ok && i.ok && le.ok && li.ok;
      exportCpu.push_back(e.cpu), xmllintCpu.push_back(x.cpu), importCpu.push_back(i.cpu);
      libraryExportCpu.push_back(le.cpu), libraryImportCpu.push_back(li.cpu);
      exportPeak = std::max(exportPeak, e.peak), xmllintPeak = std::max(xmllintPeak, x.peak);
      importPeak = std::max(importPeak, i.peak);
    }

    std::string results = ok ? "same" : "a command failed";
    if (ok) {
      const std::string key = document.type + "/" + document.item;
      sums[key + ".xml"] = Sha256(out);
      if (imports) {
        const std::string item = area.File(document.type + ".item");
        ok = Timed({cli, "raw", "get", document.type, copies.path(), document.item, item}, area.path()).ok &&
             Timed(exportTo(copies.path(), again), area.path()).ok;
        if (!ok || !SameFile(out, again)) results = "round trip differs";
        sums[key + ".item"] = ok ? Sha256(item) : "?";
      }
      for (const std::string suffix : {".xml", ".item"}) {
        const auto it = recorded.find(key + suffix);
        if (!record && it != recorded.end() && sums.count(key + suffix) && it->second != sums[key + suffix])
          results = "CHANGED " + suffix.substr(1);
      }
    }
    allSame = allSame && results == "same";
    const double x = Median(xmllintCpu);
    const double kb = ok ? static_cast<double>(std::filesystem::file_size(out)) / 1024 : 0;
    std::cout << "| " << document.type << " | " << document.item << " | " << Cell(kb, 0) << " | "
              << Cell(Median(exportCpu) * 1000, 1) << " | " << (imports ? Cell(Median(importCpu) * 1000, 1) : "-")
              << " | " << Cell(x * 1000, 1) << " | " << Cell(Median(exportCpu) / x, 2) << " | "
              << (imports ? Cell(Median(importCpu) / x, 2) : "-") << " | "
              << (marker ? "-" : Cell(Median(libraryExportCpu) / x, 2)) << " | "
              << (imports ? Cell(Median(libraryImportCpu) / x, 2) : "-") << " | " << Cell(exportPeak, 1) << " | "
              << (imports ? Cell(importPeak, 1) : "-") << " | " << Cell(xmllintPeak, 1) << " | " << results << " |"
              << std::endl;
  }
  if (record) {
    std::ofstream outSums(sumsFile);
    for (const auto& [key, sum] : sums) outSums << key << ' ' << sum << '\n';
    std::cout << "recorded " << sums.size() << " checksums in " << sumsFile << '\n';
  }
  return allSame ? 0 : 1;
}

}  // namespace tsln2xml::bench
