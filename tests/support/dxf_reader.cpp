#include "support/dxf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

[[maybe_unused]] std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

}  // namespace

std::vector<DxfEntity> DxfFile::Of(const std::string& block, const std::string& type, const std::string& layer) const {
  std::vector<DxfEntity> out;
  const std::vector<DxfEntity>* list = &entities;
  if (!block.empty()) {
    const auto it = blocks.find(block);
    if (it == blocks.end()) return out;
    list = &it->second;
  }
  for (const DxfEntity& e : *list)
    if (e.type == type && e.layer == layer) out.push_back(e);
  return out;
}

std::vector<std::string> DxfFile::Texts(const std::string& block) const {
  std::vector<std::string> out;
  const std::vector<DxfEntity>& list = block.empty() ? entities : blocks.at(block);
  for (const DxfEntity& e : list)
    if (e.type == "TEXT") out.push_back(e.text);
  return out;
}

std::map<int, std::pair<double, double>> GradeNumbers(const std::vector<DxfEntity>& block) {
  std::map<int, std::pair<double, double>> at;
  for (size_t k = 1; k < block.size(); ++k)
    if (block[k].type == "TEXT" && block[k].text.starts_with("# ")) {
      EXPECT_EQ(block[k - 1].type, "POINT") << block[k].text;
      at[std::stoi(block[k].text.substr(2))] = {block[k - 1].numbers.at(0), block[k - 1].numbers.at(1)};
    }
  return at;
}

bool RulFile::Has(const std::string& headLine) const {
  return std::find(head.begin(), head.end(), headLine) != head.end();
}

RulFile ReadRul(const std::string& path, size_t sizes) {
  RulFile rul;
  std::stringstream text(ReadFile(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) {
    EXPECT_TRUE(line.ends_with('\r')) << "not CR LF: " << line;
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(line);
  }
  size_t k = 0;
  for (; k < lines.size() && !lines[k].starts_with("RULE:"); ++k) rul.head.push_back(lines[k]);
  while (k < lines.size() && lines[k] == "RULE: DELTA " + std::to_string(rul.rules.size() + 1)) {
    auto& rows = rul.rules.emplace_back();
    for (++k; rows.size() < sizes && k < lines.size(); ++k) {
      double x = 0, y = 0;
      EXPECT_EQ(std::sscanf(lines[k].c_str(), "%lf, %lf", &x, &y), 2) << lines[k];
      rows.push_back({x, y});
    }
    EXPECT_EQ(rows.size(), sizes) << "rule " << rul.rules.size();
  }
  rul.ended = k + 1 == lines.size() && lines[k] == "END";
  return rul;
}

std::optional<DxfFile> ReadDxf(const std::string& path, std::string& skipReason) {
#ifdef _WIN32
  // ezdxf is a Linux program, which a test under Wine cannot run;
  // tests/windows/commands.sh compares the Windows build's DXF files with the
  // Linux build's instead.
  (void)path;
  skipReason = "the DXF reader (ezdxf) runs on Linux only";
  return std::nullopt;
#else
  std::string out;
  const int code = RunCommand("/usr/bin/python3 " + Quote(std::string(TSLN2XML_SOURCE_DIR) + "/tests/dxf/check_dxf.py") +
                                  " " + Quote(path) + " 2>&1",
                              &out);
  if (code == 77) {
    skipReason = out;
    return std::nullopt;
  }
  if (code == 126 || code == 127) {
    skipReason = "/usr/bin/python3 cannot be run, so ezdxf cannot read the DXF: " + out;
    return std::nullopt;
  }
  DxfFile file;
  std::stringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> f = Split(line);
    if (f.empty()) continue;
    if (f.size() == 6 && f[1] == "TEXT") f.push_back("");  // an empty text leaves no field
    if (f[0] == "FILE" && f.size() >= 3) {
      file.version = f[2];
      continue;
    }
    if (f[0] == "PROBLEM") {
      file.problems.push_back(f.size() > 1 ? f[1] : "");
      continue;
    }
    if (f.size() < 3) {
      file.problems.push_back("reader output: " + line);
      continue;
    }
    DxfEntity e;
    e.type = f[1];
    e.layer = f[2];
    size_t first = 3;
    if (e.type == "POLYLINE" && f.size() > 3) {
      e.closed = f[3] == "1";
      first = 4;
    } else if (e.type == "INSERT" && f.size() > 3) {
      e.text = f[3];
      first = 4;
    }
    const size_t last = e.type == "TEXT" ? f.size() - 1 : f.size();
    for (size_t k = first; k < last; ++k) e.numbers.push_back(std::stod(f[k]));
    if (e.type == "TEXT") e.text = f.back();
    const size_t n = e.numbers.size();
    if (e.type == "POLYLINE" && e.closed && n >= 4 && e.numbers[0] == e.numbers[n - 2] && e.numbers[1] == e.numbers[n - 1])
      file.problems.push_back("a closed POLYLINE repeats its first point: " + line.substr(0, 200));
    if (f[0] == "*ENTITIES") {
      file.entities.push_back(e);
    } else {
      if (!file.blocks.count(f[0])) file.blockOrder.push_back(f[0]);
      file.blocks[f[0]].push_back(e);
    }
  }
  EXPECT_EQ(code, file.problems.empty() ? 0 : 1) << out.substr(0, 2000);
  EXPECT_TRUE(file.problems.empty()) << ::testing::PrintToString(file.problems);
  EXPECT_EQ(file.version, "AC1009") << out.substr(0, 2000);
  return file;
#endif
}

}  // namespace tsln2xml::test
