#pragma once
// DXF files as an independent reader sees them: tests/dxf/check_dxf.py runs
// ezdxf (Debian's python3-ezdxf under /usr/bin/python3) on the files, which
// must pass its strict read, audit and recovery, and the entities it read
// come back here for the tests to compare with our own model.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tsln2xml::test {

struct DxfEntity {
  std::string type, layer;
  bool closed = false;
  std::vector<double> numbers;  // POLYLINE x y ...; POINT x y [angle]; LINE x1 y1 x2 y2; TEXT x y height; INSERT x y
  std::string text;             // TEXT: its text; INSERT: its block
};

struct DxfFile {
  std::string version;
  std::vector<std::string> problems;  // errors of the read, audit or recovery
  std::map<std::string, std::vector<DxfEntity>> blocks;
  std::vector<std::string> blockOrder;
  std::vector<DxfEntity> entities;

  // The entities of a block (or of ENTITIES for "") of one type and layer.
  std::vector<DxfEntity> Of(const std::string& block, const std::string& type, const std::string& layer) const;
  // The texts of a block's TEXT entities (ENTITIES for "").
  std::vector<std::string> Texts(const std::string& block) const;
};

// The grade numbers of a block: each "# n" text, at the POINT just before it.
std::map<int, std::pair<double, double>> GradeNumbers(const std::vector<DxfEntity>& block);

// A .rul file: the lines before the first rule, each rule's rows (rule n at
// index n - 1, one x, y row per size), and whether "END" closes it. Every
// line must end in CR LF and the rules must be numbered 1, 2, ... in order.
struct RulFile {
  std::vector<std::string> head;
  std::vector<std::vector<std::pair<double, double>>> rules;
  bool ended = false;
  bool Has(const std::string& headLine) const;
};
RulFile ReadRul(const std::string& path, size_t sizes);

// Reads `path` with ezdxf; nullopt (and `skipReason` set) when ezdxf is not
// installed. A reader that fails outright fails the calling test.
std::optional<DxfFile> ReadDxf(const std::string& path, std::string& skipReason);

// Reads `path` into the DxfFile `var`, or skips the test when ezdxf is not
// installed.
#define READ_OR_SKIP(var, path)                      \
  std::string skip_##var;                            \
  const auto var##_read = ReadDxf(path, skip_##var); \
  if (!var##_read) GTEST_SKIP() << skip_##var;       \
  const DxfFile& var = *var##_read

}  // namespace tsln2xml::test
