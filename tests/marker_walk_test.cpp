// The walk over a marker's record directory with markers built for each rule:
// which kinds become which elements, the console lines, the extended notch
// switch, pieces and their geometry, the failures that end the walk, and
// hostile data that must end it without reading past the marker's data; then
// piece geometry decoded from bytes written out by hand.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <tuple>

#include "core/exception.h"
#include "marker/piece_geometry.h"
#include "support/marker_test_support.h"

namespace tsln2xml::test {
namespace {

using namespace tsln2xml::marker;

PieceInput Square(const std::string& name, int8_t sizeIdType = kNumericSize) {
  PieceInput p;
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
    NotchTableInput n;
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
  PieceInput empty = Square("EMPTY", 1);
  empty.perimeter.clear();
  b.pieces.push_back(empty);
  PieceInput lacking = Square("LACKING", 2);
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
  PieceInput shared;
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

// Geometry blocks: the coordinate modes with their signs, the reference points
// and each section running out of bytes (point forms: marker_layout_test).
constexpr size_t kNoLimit = 1 << 20;

PieceGeometry Decode(const std::vector<uint8_t>& block, int perimeter, int lines = 0, int8_t expanded = 0) {
  return DecodePieceGeometry(block, perimeter, lines, expanded, kNoLimit);
}

// A first point at (1000, 2000) in short form, absolute.
ByteBuilder Reference() { return std::move(ByteBuilder().U8(0x10).I32(1000).I32(2000)); }

TEST(MarkerGeometry, CoordinateModesAndTheirSigns) {
  const struct {
    const char* what;
    std::vector<uint8_t> point;  // the second point, after Reference()
    int32_t x, y;
  } cases[] = {
      {"absolute ignores the reference", ByteBuilder().U8(0x10).I32(-123456).I32(7), -123456, 7},
      {"12-bit: F0 FF gives dx -1", ByteBuilder().U8(0x30).U8(0xF0).U8(0xFF).U8(0x01), 999, 2001},
      {"12-bit: largest and a negative dy", ByteBuilder().U8(0x30).U8(0x7F).U8(0xFF).U8(0x00), 3047, 1744},
      {"12-bit: smallest", ByteBuilder().U8(0x30).U8(0x88).U8(0x00).U8(0x00), 1000 - 2048, 2000 - 2048},
      {"16-bit offsets", ByteBuilder().U8(0x50).I16(-32768).I16(32767), 1000 - 32768, 2000 + 32767},
      {"20-bit: all ones and the sign bit", ByteBuilder().U8(0x70).U16(0xFFFF).U16(0x0000).U8(0xF8), 999,
       2000 - 524288},
      {"20-bit: high nibbles", ByteBuilder().U8(0x70).U16(0x0001).U16(0x2345).U8(0x71), 1000 + 0x70001,
       2000 + 0x12345},
  };
  for (const auto& c : cases) {
    ByteBuilder block = Reference();
    block.Bytes(c.point);
    const PieceGeometry g = Decode(block, 2);
    ASSERT_EQ(g.perimeter.size(), 2u) << c.what;
    EXPECT_EQ(g.perimeter[1].rawX, c.x) << c.what;
    EXPECT_EQ(g.perimeter[1].rawY, c.y) << c.what;
    EXPECT_EQ(g.perimeter[1].id, -1) << c.what;
  }
}

TEST(MarkerGeometry, InternalLinesShareTheLastPointOfTheLineBefore) {
  const std::vector<uint8_t> block = ByteBuilder()
      .U8(4).U8(0).I16(2)                // line 1: type 4, two points
      .U8(9).U8(0).I16(2)                // line 2: type 9, two points
      .U8(0x10).I32(500).I32(500)        // perimeter point: not a reference for lines
      .U8(0x50).I16(10).I16(20)          // line 1: from (0, 0)
      .U8(0x50).I16(30).I16(40)          // line 1: from (0, 0) again, not from (10, 20)
      .U8(0x50).I16(1).I16(1)            // line 2: from (30, 40), the last point of line 1
      .U8(0x50).I16(2).I16(2)            // line 2: from (30, 40) too
      .I16(71).I16(-72);                 // line ids
  const PieceGeometry g = Decode(block, 1, 2);
  std::vector<int32_t> got;  // per line: type, id, then the points' coordinates
  for (const auto& line : g.lines) {
    got.insert(got.end(), {line.type, line.id});
    for (const auto& p : line.points) got.insert(got.end(), {p.rawX, p.rawY});
  }
  EXPECT_EQ(got, (std::vector<int32_t>{4, 71, 10, 20, 30, 40, 9, -72, 31, 41, 32, 42}));
}

// What each section does when the block is too short.
TEST(MarkerGeometry, RunningOutOfBytesSectionBySection) {
  {  // Length 0 with three perimeter points: three zero points with id 0.
    const PieceGeometry g = Decode({}, 3);
    ASSERT_TRUE(g.complete);
    ASSERT_EQ(g.perimeter.size(), 3u);
    for (const auto& p : g.perimeter) EXPECT_EQ(std::tuple(p.rawX, p.type, p.id), std::tuple(0, 0, 0));
  }
  {  // Section 1: heads only while four bytes are left.
    const PieceGeometry g = Decode(ByteBuilder().U8(1).U8(0).I16(0).U8(2).U8(0).I16(0).U8(3), 0, 3);
    EXPECT_EQ(g.lines.size(), 2u);
  }
  {  // Section 2: a point cut in its coordinates is a zero point, and so is
     // every point after it.
    const std::vector<uint8_t> block = ByteBuilder().U8(0x10).I32(100).I32(200).U8(0x50).I16(5);
    const PieceGeometry g = Decode(block, 3);
    ASSERT_EQ(g.perimeter.size(), 3u);
    EXPECT_EQ(std::tuple(g.perimeter[0].rawX, g.perimeter[1].rawX, g.perimeter[1].id, g.perimeter[2].rawX),
              std::tuple(100, 0, 0, 0));
    EXPECT_TRUE(g.complete);
  }
  {  // Section 2: a point cut in its id.
    const PieceGeometry g = Decode(ByteBuilder().U8(0x90).I32(1).I32(2).U8(7), 1);
    EXPECT_EQ(g.perimeter[0].rawX, 0);
    EXPECT_EQ(g.perimeter[0].id, 0);
  }
  {  // Section 4: the last perimeter point's option byte is missing.
    const PieceGeometry g = Decode(ByteBuilder().U8(0x18).I32(1).I32(1).U8(0x18).I32(2).I32(2).I8(4), 2);
    EXPECT_FALSE(g.complete);
  }
  {  // Section 5: an internal point's option byte is missing.
    const std::vector<uint8_t> block = ByteBuilder().U8(0).U8(0).I16(1).U8(0x18).I32(2).I32(2);
    EXPECT_FALSE(Decode(block, 0, 1).complete);
  }
  {  // Section 6: extended notch types replace notch types while bytes last;
     // a table that is not extended leaves the bytes to the line ids.
    const std::vector<uint8_t> block = ByteBuilder()
        .U8(0).U8(0).I16(1)
        .U8(0x00).U8(0x02).I32(0).I32(0)   // perimeter, notch 2
        .U8(0x00).U8(0x05).I32(0).I32(0)   // internal, notch 5
        .U8(200);                          // one extended byte only
    PieceGeometry g = Decode(block, 1, 1, 1);
    EXPECT_EQ(g.perimeter[0].notchType, 200);
    EXPECT_EQ(g.lines[0].points[0].notchType, 5);
    EXPECT_EQ(g.lines[0].id, 0);
    for (int8_t expanded : {0, -1}) {
      g = Decode(ByteBuilder().Bytes(block).U8(1), 1, 1, expanded);
      EXPECT_EQ(g.perimeter[0].notchType, 2);
      EXPECT_EQ(g.lines[0].id, 200 + 256);
    }
  }
  {  // Section 7: ids while two bytes are left.
    const std::vector<uint8_t> block = ByteBuilder().U8(0).U8(0).I16(0).U8(0).U8(0).I16(0).I16(-9).U8(1);
    const PieceGeometry g = Decode(block, 0, 2);
    EXPECT_EQ(g.lines[0].id, -9);
    EXPECT_EQ(g.lines[1].id, 0);
  }
}

TEST(MarkerGeometry, CountsBeyondTheLimitFailInsteadOfMultiplyingZeroPoints) {
  // Sixteen thousand heads of 32767 points each fit in 64 KB of heads.
  ByteBuilder block;
  for (int i = 0; i < 16000; ++i) block.U8(0).U8(0).I16(32767);
  try {
    DecodePieceGeometry(block.bytes(), 32767, 16000, 0, 1000000);
    FAIL() << "no failure";
  } catch (const Tsln2XmlException& e) {
    EXPECT_EQ(e.Code(), 1);
    EXPECT_STREQ(e.what(), "MARKER.PIECE: more points than the marker data can hold");
  }
  EXPECT_EQ(DecodePieceGeometry({}, 5, 0, 0, 5).perimeter.size(), 5u);
}

}  // namespace
}  // namespace tsln2xml::test
