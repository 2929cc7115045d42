// Pieces: our layout both ways and its hostile shapes, smoothing, alignment
// on the reader's copy, the base-size text and the exported document.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "converters/grading/piece.h"
#include "store/piece_builder.h"
#include "support/library_support.h"

namespace tsln2xml::test {
namespace {

using namespace grading;

// A small piece written field by field as docs/piece-format.md describes it.
ByteBuilder SmallPieceBytes() {
  ByteBuilder b;
  b.Text("TPCE", 4).U16(1).Text("CAT", 20).Text("desc", 20).U8(2).I16(0).I16(12).Zeros(6).I16(-3).U8(0).I8(-2).U8(1)
      .Text("SRC", 20).I16(40).I16(7).I16(14).Zeros(6);
  b.I16(1).I16(12).Zeros(6).U8(1).U8(0);                                           // one size
  b.I16(1).I16(5).Text("XSA ", 4).U8(1).Text("note", 18).U8(0).I32(-1).I32(30000);  // one rule, one pair
  b.I16(3);                                                                         // perimeter
  b.I16(1).I32(0).I32(0).U8(0).U8(2).U8(3).U8(9).I16(1).I32(5).I32(6);
  b.I16(2).I32(10000).I32(0).U8(1).U8(1).U8(3).I16(0);
  b.I16(3).I32(10000).I32(10000).U8(2).U8(0).I16(0);
  b.I16(1);  // one internal with both records
  b.I16(4).I16(1).I16(2).I16(3).I16(4).I8(-1).U8(3);
  b.I16(1).I16(1).I32(5000).I32(-5000).U8(6).U8(0).I16(0);
  b.Text("GRAIN", 12).I32(12345).I32(-1).I32(0).I32(25005);
  b.U8(7).U8(200).U8(255);
  return b;
}

// The worked example of docs/piece-format.md: its bytes (the first code
// block) and its document (the second).
struct WorkedExample {
  std::vector<uint8_t> bytes;
  std::string document;
  WorkedExample() {
    std::istringstream doc(ReadFile(std::string(TSLN2XML_SOURCE_DIR) + "/docs/piece-format.md"));
    int fences = 0;  // the first block lies between fences 1 and 2, the second between 3 and 4
    for (std::string line; std::getline(doc, line);) {
      if (line.starts_with("```")) {
        ++fences;
      } else if (fences == 3) {
        document += line + "\n";
      } else if (fences == 1) {
        // Hex bytes after the offset (on continuation lines, from the start) up to the description.
        std::istringstream tokens(line.substr(line[0] == ' ' ? 0 : line.find(' ')));
        for (std::string t; tokens >> t && t.size() == 2 && std::isxdigit(static_cast<unsigned char>(t[0])) &&
                            std::isxdigit(static_cast<unsigned char>(t[1]));)
          bytes.push_back(static_cast<uint8_t>(std::stoi(t, nullptr, 16)));
      }
    }
    EXPECT_EQ(bytes.size(), 228u);
  }
  // The bytes with the one at `at` changed to `value`.
  std::vector<uint8_t> Patched(size_t at, uint8_t value) const {
    std::vector<uint8_t> b = bytes;
    b.at(at) = value;
    return b;
  }
};

// Decoded and encoded again, the worked example and the small piece come back
// byte for byte (what the decoder reads of them: the worked example's
// document in PieceCli, the demo piece's in PieceExport).
TEST(PieceLayout, EncodesWhatItDecodesByteForByte) {
  for (const std::vector<uint8_t>& bytes : {WorkedExample().bytes, SmallPieceBytes().bytes()}) {
    PIECE decoded;
    ASSERT_TRUE(DecodePiece(bytes, decoded));
    EXPECT_EQ(EncodePiece(decoded), bytes);
  }
}

TEST(PieceLayout, RejectsEveryShapeThatIsNotOnePiece) {
  const std::vector<uint8_t> bytes = SmallPieceBytes();
  PIECE out;
  for (size_t cut = 0; cut < bytes.size(); ++cut)
    EXPECT_FALSE(DecodePiece(std::span(bytes).first(cut), out)) << "cut at " << cut;
  auto patched = [&](size_t at, std::vector<uint8_t> with) {
    auto b = bytes;
    std::copy(with.begin(), with.end(), b.begin() + static_cast<ptrdiff_t>(at));
    return b;
  };
  struct Case {
    std::vector<uint8_t> bytes;
    std::string fault;
  } cases[] = {
      {[&] { auto b = bytes; b.push_back(0); return b; }(), "bytes follow the end of the piece (offset 258)"},
      {patched(0, {'T', 'P', 'C', 'F'}), "the magic is not \"TPCE\" (offset 0)"},
      {patched(4, {2, 0}), "the format version 2 is not 1 (offset 4)"},
      {patched(94, {0xFF, 0xFF}), "the size count -1 is negative (offset 94)"},
      {patched(94, {0xFF, 0x7F}), "the size count 32767 needs at least 327670 bytes; 162 are left (offset 94)"},
      {patched(96 + 10 + 2 + 26 + 8 + 2 + 11, {0xFF}),
       "the point attribute count 255 needs at least 255 bytes; 102 are left (offset 155)"},
      {patched(bytes.size() - 3 - 28 - 2 - 14 - 1, {7}), "the internal's record bits 7 are not 0 to 3 (offset 210)"},
      {std::vector<uint8_t>(bytes.begin(), bytes.begin() + 100), "the size count 1 needs at least 10 bytes; 4 are left (offset 94)"},
  };
  for (const auto& c : cases) {
    std::string fault;
    EXPECT_FALSE(DecodePiece(c.bytes, out, PieceCheck::kLayout, &fault)) << c.fault;
    EXPECT_EQ(fault, c.fault);
  }
}

// The worked example of docs/piece-format.md with one field changed: the
// export loads it, but its document cannot show it, so the exportable check
// refuses it, naming the field and its offset.
TEST(PieceLayout, TheExportableCheckNamesWhatTheDocumentCannotShow) {
  const WorkedExample example;
  const auto patched = [&](size_t at, uint8_t value) { return example.Patched(at, value); };
  const struct {
    std::vector<uint8_t> bytes;
    std::string fault;
  } cases[] = {
      {patched(0x2e, 5), "piece type 5 is not one of the 5 codes 0 to 4 (offset 46)"},
      {patched(0x3b, 3), "size id type 3 is not one of the 3 codes 0 to 2 (offset 59)"},
      {patched(0x3d, 3), "rule source type 3 is not one of the 3 codes 0 to 2 (offset 61)"},
      {patched(0x68, 2), "break flag 2 is not one of the 2 codes 0 to 1 (offset 104)"},
      {patched(0xa9, 9), "point type 9 is not one of the 9 codes 0 to 8 (offset 169)"},
      {patched(0xdd, 200), "point type 200 is not one of the 9 codes 0 to 8 (offset 221)"},
      {patched(0x8e, 2), "the perimeter point count is 2; the document needs at least 3 (offset 142)"},
      {patched(0xd1, 0), "the internal point count is 0; the document needs at least 1 (offset 209)"},
  };
  PIECE out;
  for (const auto& c : cases) {
    std::string fault;
    EXPECT_FALSE(DecodePiece(c.bytes, out, PieceCheck::kExportable, &fault)) << c.fault;
    EXPECT_EQ(fault, c.fault);
  }
  // The codes alone do not stop the export's load (its own steps refuse them).
  for (size_t k = 0; k < 6; ++k) EXPECT_TRUE(DecodePiece(cases[k].bytes, out)) << cases[k].fault;
  EXPECT_TRUE(DecodePiece(example.bytes, out, PieceCheck::kExportable));
}

TEST(PieceLayout, BaseSizeText) {
  struct Case {
    uint8_t type;
    SizeName name;
    const char* text;
  } cases[] = {
      {kNumeric, NumericSizeName(12), "    12"},
      {kNumeric, NumericSizeName(-32768), "-32768"},
      {kAlpha, TextSizeName("M"), "M"},
      {kLongAlpha, TextSizeName("LONGNAM8"), "LONGNAM"},
  };
  for (const auto& c : cases) {
    PIECE p;
    p.sizeIdType = c.type;
    p.baseSize = c.name;
    EXPECT_EQ(BaseSizeText(p), c.text);
  }
}

TEST(PieceSmoothing, CurvesAttachToTheStartOfEachStretch) {
  // A closed outline: stretches of smooth points after points 1 and 4, then
  // the closure point, after which nothing is walked.
  PIECE p;
  p.perimeter = {MakePoint(1, 0, 0, 0),        MakePoint(2, 100000, 0, kSmoothPoint),
                 MakePoint(3, 200000, 0, kSmoothPoint), MakePoint(4, 300000, 0, 0),
                 MakePoint(5, 300000, 100000, kSmoothPoint), MakePoint(6, 300000, 200000, kClosurePoint),
                 MakePoint(7, 0, 200000, kSmoothPoint), MakePoint(8, 0, 0, 0)};
  p.perimeter[0].curve = {{1, 1}};
  p.perimeter[6].curve = {{7, 7}};
  // An internal without a closure point, starting with a smooth stretch of
  // thousands of points, and an internal of two points that is left alone.
  PieceInternal longLine, shortLine;
  for (int i = 0; i < 20000; ++i) longLine.points.push_back(MakePoint(1, i * 1000, (i % 7) * 1000, kSmoothPoint));
  shortLine.points = {MakePoint(1, 0, 0, kSmoothPoint), MakePoint(2, 100000, 0, kSmoothPoint)};
  p.internals = {longLine, shortLine};
  SmoothPiece(p);

  auto within = [](const std::vector<CurvePoint>& curve, int32_t minX, int32_t maxX) {
    return std::all_of(curve.begin(), curve.end(), [&](const CurvePoint& c) { return c.x >= minX && c.x <= maxX; });
  };
  EXPECT_FALSE(p.perimeter[0].curve.empty());
  EXPECT_NE(p.perimeter[0].curve, (std::vector<CurvePoint>{{1, 1}}));
  EXPECT_TRUE(within(p.perimeter[0].curve, 0, 300000));
  EXPECT_FALSE(p.perimeter[3].curve.empty());
  for (size_t k : {1, 2, 4, 5, 7}) EXPECT_TRUE(p.perimeter[k].curve.empty()) << k;
  EXPECT_EQ(p.perimeter[6].curve, (std::vector<CurvePoint>{{7, 7}}));

  const auto& curve = p.internals[0].points[0].curve;
  EXPECT_GE(curve.size(), 20000u - 2);
  EXPECT_LE(curve.size(), 32767u);
  EXPECT_TRUE(within(curve, 0, 19999000));
  EXPECT_TRUE(p.internals[1].points[0].curve.empty());
}

struct AlignCase {
  const char* what;
  std::vector<PiecePoint> perimeter;  // carries the marks
  std::optional<std::vector<PiecePoint>> internal;  // the first internal's points, or no internal
  CurvePoint probe;                   // a perimeter point added last
  std::optional<CurvePoint> expected; // where it goes; nullopt: the export fails
};

PiecePoint Marked(int32_t x, int32_t y) { return MakePoint(1, x, y, 0, {1, kAlignmentMark}); }

TEST(PieceAlignment, TurnsAsTheMarkedPointsSay) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const PiecePoint origin = MakePoint(9, 0, 0, 0);
  const AlignCase cases[] = {
      {"no marked points", {origin, origin}, {{origin}}, {12345, 678}, CurvePoint{12345, 678}},
      {"-45 degrees about (10000, 0)", {Marked(0, 0), Marked(10000, 10000)}, {{MakePoint(1, 0, 0, 0), MakePoint(2, 20000, 0, 0)}},
       {0, 0}, CurvePoint{2929, 7071}},
      {"vertical upwards: -90", {Marked(5, 0), Marked(5, 10)}, {{origin}}, {12345, 6789}, CurvePoint{6789, -12345}},
      {"vertical downwards: +90", {Marked(5, 10), Marked(5, 0)}, {{origin}}, {12345, 6789}, CurvePoint{-6789, 12345}},
      {"135 degrees becomes +45", {Marked(0, 0), Marked(-10000, 10000)}, {{origin}}, {10000, 0}, CurvePoint{7071, 7071}},
      {"level line right to left is no turn", {Marked(0, 0), Marked(-10000, 0)}, {{origin}}, {12345, -678}, CurvePoint{12345, -678}},
      {"coincident marks give no direction", {Marked(7, 7), Marked(7, 7)}, {{origin}}, {12345, 678}, CurvePoint{12345, 678}},
      {"no internal points give no centre", {Marked(0, 0), Marked(0, 10)}, std::vector<PiecePoint>{}, {12345, 678},
       CurvePoint{12345, 678}},
      {"no internal", {Marked(0, 0), Marked(0, 10)}, std::nullopt, {12345, 678}, CurvePoint{12345, 678}},
      {"second mark in the internal", {Marked(0, 0)}, {{Marked(0, 10)}}, {12345, 678}, CurvePoint{668, -12335}},
      {"centre of extreme points in 64 bits", {Marked(kMax - 1, kMax - 1), Marked(kMax - 1, kMax - 2)},
       {{MakePoint(1, kMax, kMax, 0), MakePoint(2, kMax - 2, kMax - 2, 0)}}, {kMax, kMax - 1}, CurvePoint{kMax - 1, kMax}},
      {"a turned point leaves 32 bits", {Marked(0, 0), Marked(0, 10)}, {{origin}}, {kMin, 0}, std::nullopt},
  };
  for (const auto& c : cases) {
    PIECE p;
    p.perimeter = c.perimeter;
    p.perimeter.push_back(MakePoint(2, c.probe.x, c.probe.y, 0));
    p.perimeter.back().curve = {{kMax, kMin}};  // curve points turn too, and never fail
    if (c.internal) {
      p.internals.emplace_back();
      p.internals.back().points = *c.internal;
    }
    if (!c.expected) {
      try {
        AlignPiece(p);
        ADD_FAILURE() << c.what;
      } catch (const Tsln2XmlException& e) {
        EXPECT_EQ(e.Code(), 1);
        EXPECT_STREQ(e.what(), "Piece coordinate out of range after alignment");
      }
      continue;
    }
    AlignPiece(p);
    EXPECT_EQ(p.perimeter.back().x, c.expected->x) << c.what;
    EXPECT_EQ(p.perimeter.back().y, c.expected->y) << c.what;
  }
}

// The demo piece shows what the worked example's document does not: several
// alpha sizes, a rule without a comment, the point flags, a line name.
TEST(PieceExport, DemoPieceDocument) {
  TempArea area;
  ASSERT_EQ(StorePiece(area.path(), "FRONT", DemoPiece()), 1);
  const ExportResult exported = ExportToString(kPiece, area.path(), "front");
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  for (const char* part : {
           R"(SizeIdType="Alpha" NumBreaks="1" NumSizes="4" BaseIndex="1" SizeIncrement="1")",
           R"(<GradingRule RuleId="20">)", R"(<Point LiftAndPlunge="true" Entry="true" Grading="FixedNext"/>)",
           R"(<Growth GrowthX="0" GrowthY="-0.25"/>)", R"(<Name Value="XL" Type="Alpha"/>)",
           R"(<PiecePoint PointId="2" X="10" Y="0" PointType="NonGrade"/>)",
           R"(<LineName LineName="GRAIN" StartX="1.23449999999999993072208" StartY="50" DeltaX="0" DeltaY="2.50050000000000016697754"/>)",
       })
    EXPECT_NE(exported.xml.find(part), std::string::npos) << part << "\n" << exported.xml;
}

TEST(PieceExport, Failures) {
  TempArea area;
  PIECE oddSizes = DemoPiece();
  oddSizes.sizeIdType = 3;
  PIECE twoPoints = DemoPiece();
  twoPoints.perimeter.resize(2);
  ASSERT_EQ(StorePiece(area.path(), "ODD", oddSizes), 1);
  ASSERT_EQ(StorePiece(area.path(), "TWO", twoPoints), 1);
  std::vector<uint8_t> bytes = EncodePiece(DemoPiece());
  bytes.push_back(0);
  area.PutItem(kPiece, "LONG", bytes);
  struct Case {
    std::string area;
    const char* name;
    int code;
    const char* message;
  } cases[] = {
      {area.path(), "NONE", 5, "Could not open file"},
      {area.path() + "/missing", "ODD", 5, "Could not open file"},
      {area.path(), "LONG", 5, "Unable to load Piece"},
      {area.path(), "ODD", 1, "PIECE: Invalid size_id_type"},
      {area.path(), "TWO", 2, "XML Validation Error:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExportToString(kPiece, c.area, c.name).code, c.code) << c.name;
    EXPECT_EQ(LastErrorMessage().substr(0, std::string_view(c.message).size()), c.message) << c.name;
  }
}

TEST(PieceCli, TheDocumentedExampleAndTheDemoPieceThroughTheCommand) {
  const WorkedExample example;
  const std::vector<uint8_t>& bytes = example.bytes;
  TempArea area;
  WriteFile(area.File("piece.bin"), std::string(bytes.begin(), bytes.end()));
  WriteFile(area.File("long.bin"), std::string(bytes.begin(), bytes.end()) + '\0');
  std::string out;
  ASSERT_EQ(RunTool("raw put Piece " + Quote(area.path()) + " EXAMPLE " + Quote(area.File("piece.bin")), &out), 0) << out;
  ASSERT_EQ(RunTool("export Piece " + Quote(area.path()) + " EXAMPLE", &out), 0) << out;
  EXPECT_EQ(CompareXml(example.document, out), "");
  ASSERT_EQ(RunTool("raw get 20 " + Quote(area.path()) + " EXAMPLE " + Quote(area.File("back.bin"))), 0);
  EXPECT_EQ(ReadFile(area.File("back.bin")), ReadFile(area.File("piece.bin")));

  EXPECT_EQ(RunTool("raw put Piece " + Quote(area.path()) + " LONG " + Quote(area.File("long.bin")), &out), 5);
  EXPECT_NE(out.find("Unable to load Piece"), std::string::npos) << out;
  EXPECT_FALSE(area.GetItem(kPiece, "LONG"));

  // With the demo's piece beside it, a whole area's export writes both
  // pieces; its import skips their documents.
  TempArea to, docs;
  ASSERT_EQ(RunTool("demo-piece " + Quote(area.path()) + " FRONT", &out), 0) << out;
  ASSERT_EQ(RunTool("export --all " + Quote(area.path()) + " -d " + Quote(docs.path()), &out), 0) << out;
  EXPECT_NE(out.find("exported Piece FRONT -> "), std::string::npos) << out;
  EXPECT_NE(out.find("2 exported, 0 failed"), std::string::npos) << out;
  ASSERT_EQ(RunTool("import --all " + Quote(to.path()) + " -d " + Quote(docs.path()), &out), 0) << out;
  EXPECT_NE(out.find("0 imported, 0 failed, 2 skipped"), std::string::npos) << out;
}

// raw put stores only a piece that exports: the refusal says what is wrong
// and where, with the item and area, and the area gets no such item.
TEST(PieceCli, RawPutRefusesWhatTheExportCannotWrite) {
  const WorkedExample example;
  const auto patched = [&](size_t at, uint8_t value) { return example.Patched(at, value); };
  // Two marked points on a diagonal far out: turned level, one leaves 32 bits.
  PIECE far;
  ASSERT_TRUE(DecodePiece(example.bytes, far));
  far.perimeter = {MakePoint(1, 0, 0, 0, {kAlignmentMark}), MakePoint(2, 2000000000, 2000000000, 0, {kAlignmentMark}),
                   MakePoint(3, 0, 2000000000, kClosurePoint)};
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string message;
  } cases[] = {
      {"TYPE", patched(0xa9, 9), "Unable to load Piece: point type 9 is not one of the 9 codes 0 to 8 (offset 169)"},
      {"THIN", patched(0x8e, 2),
       "Unable to load Piece: the perimeter point count is 2; the document needs at least 3 (offset 142)"},
      {"CUT", std::vector<uint8_t>(example.bytes.begin(), example.bytes.end() - 1),
       "Unable to load Piece: the internal-1 record needs 3 bytes; 2 are left (offset 225)"},
      {"FAR", EncodePiece(far),
       "Unable to load Piece: its export fails: Piece coordinate out of range after alignment"},
  };
  TempArea area;
  for (const auto& c : cases) {
    WriteFile(area.File("piece.bin"), std::string(c.bytes.begin(), c.bytes.end()));
    std::string out;
    EXPECT_EQ(RunTool("raw put Piece " + Quote(area.path()) + " " + c.name + " " + Quote(area.File("piece.bin")), &out),
              5);
    EXPECT_EQ(out, c.message + "\n  Piece item \"" + c.name + "\" in the storage area " + area.path() + "\n");
    EXPECT_FALSE(area.GetItem(kPiece, c.name)) << c.name;
  }
}

}  // namespace
}  // namespace tsln2xml::test
