// The walk over a marker's record directory with markers built for each rule:
// which kinds become which elements, the console lines, the extended notch
// switch, pieces and their geometry, the failures that end the walk, and
// hostile data that must end it without reading past the marker's data.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "support/marker_test_support.h"

namespace tsln2xml::test {
namespace {

using namespace tsln2xml::marker;

PieceSpec Square(const std::string& name, int8_t sizeIdType = kNumericSize) {
  PieceSpec p;
  p.head.name = name;
  p.head.sizeIdType = sizeIdType;
  p.head.alphaSize = "M";
  p.perimeter = {{.x = 0, .y = 0}, {.x = 10000, .y = 0}, {.x = 10000, .y = 10000}, {.x = 0, .y = 10000}};
  return p;
}

TEST(MarkerWalk, UnconvertedKindsPrintTheirLinesWithTheHeaderCounts) {
  MarkerBuilder b;
  b.header->numberSpliceMarks = 3;
  b.header->numberCartoonData = 4;
  b.header->numberSplits = -5;
  b.header->numberGroups = 6;
  b.header->numberBlockBuffersByPiece = 7;
  for (int kind : {8, 17, 20, 22, 23, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35}) b.rawKinds[kind] = {1, 2, 3, 4};
  b.segments.push_back({1, 2, 3, 4});
  b.cartoons.emplace_back();
  const MarkerExport result = ExportBuilt(b);
  ASSERT_EQ(result.code, 0);
  EXPECT_EQ(result.out,
            "Implement SLICE_MARK - 3 found\n"
            "Implement CARTOON_DATA - 4 found\n"
            "Implement PIECE_SPLIT - -5 found\n"
            "Implement DYN_ALT_AMTS\n"
            "Implement GROUP_HEADER - 6 found\n"
            "Implement CONST\n"
            "Implement BLOCK_PCE_TEMP - 7 found\n"
            "Implement MARKER_HEADER_ALTERNATE\n"
            "Implement CUTSEQ\n");
  EXPECT_EQ(Select(result.xml, "/marker/segment/pointindex2"), std::vector<std::string>{"4"});
  EXPECT_EQ(Select(result.xml, "/marker/cartoon/pointcount"), std::vector<std::string>{"0"});
}

// A count beyond the data ends the walk after the entries that are there.
TEST(MarkerWalk, ExtendedNotchesOnlyWithTheSwitchAndACount) {
  const struct {
    int8_t expanded;
    std::optional<int32_t> count;
    size_t notches;
  } cases[] = {{0, std::nullopt, 5}, {1, std::nullopt, 7}, {-1, std::nullopt, 7}, {1, 0, 5}, {1, -3, 5},
               {1, 2147483647, 7}};
  for (const auto& c : cases) {
    MarkerBuilder b;
    b.header->expandedNotchTable = c.expanded;
    NotchTableSpec n;
    n.extended = {{-2, 21, 22, 23}, {0x7F, 31, 32, 33}};
    n.extendedCount = c.count;
    b.notches = n;
    const MarkerExport result = ExportBuilt(b, InstalledMarkerSchema().c_str());
    ASSERT_EQ(result.code, 0) << LastErrorMessage();
    EXPECT_EQ(Select(result.xml, "/marker/notch").size(), c.notches) << int(c.expanded);
    EXPECT_EQ(result.err, c.count == 2147483647 ? "MARKER.NOTCH: record runs past the end of the marker data\n" : "");
    if (c.notches == 7) {
      EXPECT_EQ(Select(result.xml, "/marker/notch[6]/*"), (std::vector<std::string>{"-2", "23", "21", "22"}));
      EXPECT_EQ(Select(result.xml, "/marker/notch[7]/shape"), std::vector<std::string>{"127"});
    }
  }
}

// A piece without perimeter points, and one whose geometry lacks its option
// byte (point forms, options, deltas and lines: marker_layout_test).
TEST(MarkerWalk, PiecesWithoutGeometry) {
  MarkerBuilder b;
  PieceSpec empty = Square("EMPTY", 1);
  empty.perimeter.clear();
  b.pieces.push_back(empty);
  PieceSpec lacking = Square("LACKING", 2);
  lacking.head.alphaSize = "LONGSIZE";
  lacking.head.perimeterCount = 4;
  lacking.geometry = EncodePieceGeometry({{.option = 1}}, {}, 0);
  lacking.geometry->pop_back();  // the option byte
  b.pieces.push_back(lacking);
  const MarkerExport result = ExportBuilt(b, InstalledMarkerSchema().c_str());
  ASSERT_EQ(result.code, 0) << LastErrorMessage();
  EXPECT_EQ(Select(result.xml, "/marker/markerpiece[1]/perimeterline").size(), 1u);
  EXPECT_EQ(Select(result.xml, "/marker/markerpiece[1]/basesize/@Value"), std::vector<std::string>{"M"});
  EXPECT_EQ(Select(result.xml, "/marker/markerpiece[1]/perimeterline/*").size(), 0u);
  EXPECT_EQ(ChildNames(result.xml, "/marker/markerpiece[2]").back(), "basesize");
  EXPECT_EQ(Select(result.xml, "/marker/markerpiece[2]/basesize/@Type"), std::vector<std::string>{"LongAlpha"});
  EXPECT_EQ(Select(result.xml, "/marker/markerpiece[2]/basesize/@Value"), std::vector<std::string>{"LONGSIZE"});
}

TEST(MarkerWalk, AnInvalidSizeIdTypeEndsTheWalkAndTheFileIsStillWritten) {
  MarkerBuilder b;
  b.pieces = {Square("ONE"), Square("BAD", 3), Square("THREE")};
  b.cartoons.emplace_back();
  const MarkerExport result = ExportBuilt(b);
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, "MARKER.PIECE: Invalid size_id_type\n");
  EXPECT_EQ(Select(result.xml, "/marker/markerpiece/name"), std::vector<std::string>{"ONE"});
  EXPECT_TRUE(Select(result.xml, "/marker/cartoon").empty());
  EXPECT_EQ(Select(result.xml, "/marker/status").size(), 1u);
}

// Hostile markers: each ends the walk with a message naming its record kind,
// keeps what came before and never reads past the data.
TEST(MarkerWalk, DataThatDoesNotHoldItsRecordsEndsTheWalk) {
  MarkerBuilder base;
  base.names.emplace().name = "BEFORE";
  base.segments = {{1, 1, 1, 1}, {2, 2, 2, 2}};
  base.pieces = {Square("P")};
  base.dynamicAlterations.push_back({"D", {{1, 2, 3, 4, 0, 0, 0, 0, 0}}});
  base.annotations.push_back({"A", 0, 0, {{.format = 10, .text = "TEXT"}}});
  base.orderModels.push_back({{"MODEL"}, {"OPT"}, {}});
  base.cartoons.emplace_back();  // the last kind: converted only when the walk got through
  const MarkerData good = base.Build();
  const int32_t size = static_cast<int32_t>(good.bytes.size());

  const struct {
    const char* what;
    std::function<void(MarkerData&)> damage;
    const char* message;
  } cases[] = {
      {"segments past the end", [&](MarkerData& d) { d.SetPosition(kSegmentKind, size + 1); }, "MARKER.SEGMENT"},
      {"segments before the start", [](MarkerData& d) { d.SetPosition(kSegmentKind, -5); }, "MARKER.SEGMENT"},
      {"more segments than the data holds",
       [](MarkerData& d) { d.Patch<int16_t>(kHeaderKind, 238, 32767); }, "MARKER.SEGMENT"},
      {"a piece offset past the end",
       [&](MarkerData& d) { d.Patch<int32_t>(kPieceTableKind, 0, size); }, "MARKER.PIECE"},
      {"a piece offset before the start",
       [&](MarkerData& d) { d.Patch<int32_t>(kPieceTableKind, 0, -2147483647 - 1); }, "MARKER.PIECE"},
      {"no piece offset table", [](MarkerData& d) { d.SetPosition(kPieceTableKind, -1); }, "MARKER.PIECE"},
      {"a geometry longer than the data",
       [](MarkerData& d) { d.Patch<uint16_t>(kPieceKind, 82, 65535); }, "MARKER.PIECE"},
      {"a rule position past the end",
       [](MarkerData& d) { d.Patch<int16_t>(kDynamicAlterationKind, 2, 32767); }, "MARKER.DYNAMIC_ALTERATION"},
      {"a rule position before the start",
       [](MarkerData& d) { d.Patch<int16_t>(kDynamicAlterationKind, 2, -32768); }, "MARKER.DYNAMIC_ALTERATION"},
      {"no rules", [](MarkerData& d) { d.SetPosition(kDynamicRuleKind, -1); }, "MARKER.DYNAMIC_ALTERATION"},
      {"a text longer than the data",
       [](MarkerData& d) { d.Patch<uint16_t>(kAnnotationKind, 25, 65535); }, "MARKER.ANNOTATION"},
      {"more options than the data holds",
       [](MarkerData& d) { d.Patch<int16_t>(kOrderModelKind, 96, 32767); }, "MARKER.ORDER_MODEL"},
      {"a header at the very end",
       [&](MarkerData& d) { d.SetPosition(kHeaderKind, size - 10); }, "MARKER.HEADER"},
  };
  for (const auto& c : cases) {
    MarkerData data = good;
    c.damage(data);
    const MarkerExport result = ExportData(data);
    EXPECT_EQ(result.code, 0) << c.what;
    EXPECT_EQ(result.err, std::string(c.message) + ": record runs past the end of the marker data\n") << c.what;
    if (std::string(c.message) != "MARKER.HEADER") {
      EXPECT_EQ(Select(result.xml, "/marker/name"), std::vector<std::string>{"BEFORE"}) << c.what;
    }
    EXPECT_TRUE(Select(result.xml, "/marker/cartoon").empty()) << c.what;
  }
}

TEST(MarkerWalk, KindsWithoutEntriesReadNothingWhereverTheyAre) {
  MarkerBuilder b;
  b.segments = {{1, 2, 3, 4}};
  b.rawKinds[kCartoonKind] = {};
  MarkerData data = b.Build();
  data.SetPosition(kSegmentKind, 1 << 30);
  data.Patch<int16_t>(kHeaderKind, 238, 0);  // no segments after all
  const MarkerExport result = ExportData(data);
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(Select(result.xml, "/marker/segment").empty());
}

TEST(MarkerWalk, DirectoriesThatDoNotFitEndTheWalkBeforeAnything) {
  for (size_t size : {0, 3, 159}) {
    const MarkerExport result = ExportData(MarkerData{std::vector<uint8_t>(size, 0)});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.err, "MARKER.DIRECTORY: record runs past the end of the marker data\n");
    EXPECT_NE(result.xml.find("<marker version=\"1\" />\r\n"), std::string::npos) << result.xml;
  }
}

TEST(MarkerWalk, PiecesPointingAtOneAnotherCannotMultiplyWithoutEnd) {
  // Every piece of the table shares one head declaring 10000 perimeter points
  // and no geometry: each would be 10000 zero points, 2000 times over.
  MarkerBuilder b;
  PieceSpec shared;
  shared.head.name = "SHARED";
  shared.head.perimeterCount = 10000;
  shared.geometry = std::vector<uint8_t>{};
  b.fillCounts = false;
  b.header->pieceCount = 2000;
  b.pieces = {shared};
  MarkerData data = b.Build();
  std::vector<uint8_t> table(4 * 2000, 0);
  data.bytes.insert(data.bytes.end(), table.begin(), table.end());
  data.SetPosition(kPieceTableKind, static_cast<int32_t>(data.bytes.size() - table.size()));

  const auto start = std::chrono::steady_clock::now();
  const MarkerExport result = ExportData(data);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.err, "MARKER.PIECE: more elements than the marker data can hold\n");
  EXPECT_LT(result.bytes.size(), 20u << 20);
  EXPECT_GE(Select(result.xml, "/marker/markerpiece").size(), 1u);
  EXPECT_LT(seconds, 60) << "bounded by the data, whatever the counts say";
}

}  // namespace
}  // namespace tsln2xml::test
