// Grading rule tables through the exports and the store: byte-exact layouts
// of the three size name forms, point codes both ways, the load's ordering,
// round trips and the failures of bad items and documents.

#include <gtest/gtest.h>

#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

struct Pair {
  int32_t x, y;
};

ByteBuilder Header(int16_t numSizes, int16_t numBreaks, uint8_t sizeIdType, int16_t rules,
                   std::string_view comment1 = "Spring", std::string_view comment2 = "") {
  ByteBuilder b;
  b.Text(comment1, 40).Text(comment2, 40).I16(numSizes).I16(numBreaks).I16(1).U8(sizeIdType).I8(2).I16(rules);
  return b;
}

ByteBuilder& Size(ByteBuilder& b, const std::vector<uint8_t>& name, uint8_t breakFlag) {
  std::vector<uint8_t> field(name);
  field.resize(8, 0);
  return b.Bytes(field).U8(breakFlag).U8(0);
}

ByteBuilder& NumericSize(ByteBuilder& b, int16_t value, uint8_t breakFlag) {
  return b.I16(value).Zeros(6).U8(breakFlag).U8(0);
}

ByteBuilder& Rule(ByteBuilder& b, int16_t id, std::string_view code, std::optional<std::string_view> comment,
                  const std::vector<Pair>& growth) {
  b.I16(id).Text(code, 4).U8(comment ? 1 : 0).Text(comment.value_or(""), 18).U8(0);
  for (const Pair& p : growth) b.I32(p.x).I32(p.y);
  return b;
}

std::string Document(std::string_view attributes, std::string_view content, std::string_view name = "G") {
  return std::string(R"(<Grading xmlns="urn:tsln2xml:data/Grading" Name=")") + std::string(name) + "\" " + std::string(attributes) + ">" +
         std::string(content) + "</Grading>";
}

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// The attributes of a table without sizes or growth.
constexpr const char* kNoSizes =
    R"(Comment1="" Comment2="" SizeIdType="Numeric" NumBreaks="-1" NumSizes="0" BaseIndex="0" SizeIncrement="0")";

// A numeric table with rules out of id order, comments, and growth values
// that need the scaling helper to come back (3 is 0.0003).
struct Canonical {
  std::vector<uint8_t> sorted;    // as the load orders it, which the writer keeps
  std::vector<uint8_t> unsorted;  // the same rules in another order
  const char* document;
};

Canonical NumericTable() {
  auto make = [](bool sorted) {
    ByteBuilder b = Header(3, 1, 0, 3, "Misses 6 to 10", "two breaks");
    NumericSize(b, 6, 0);
    NumericSize(b, -8, 1);
    NumericSize(b, 32767, 0);
    if (!sorted) Rule(b, 30, "LEZF", std::nullopt, {{-3, 3}, {0, 2147483647}});
    Rule(b, 10, "S7  ", "Side seam", {{2500, 1250}, {3, -2147483647 - 1}});
    Rule(b, 20, "    ", std::nullopt, {{0, 0}, {1, 1}});
    if (sorted) Rule(b, 30, "LEZF", std::nullopt, {{-3, 3}, {0, 2147483647}});
    return b.bytes();
  };
  return {make(true), make(false), R"(
      <Grading xmlns="urn:tsln2xml:data/Grading" version="1" Name="ONE" Comment1="Misses 6 to 10" Comment2="two breaks"
               SizeIdType="Numeric" NumBreaks="1" NumSizes="3" BaseIndex="1" SizeIncrement="2">
        <GradingRule Comment="Side seam" RuleId="10">
          <Point Smoothing="On" NotchIndex="7"/>
          <Growth GrowthX="0.25" GrowthY="0.125"/>
          <Growth GrowthX="0.000299999999999999973718939" GrowthY="-214748.364800000010291114"/>
        </GradingRule>
        <GradingRule RuleId="20"><Point/><Growth GrowthX="0" GrowthY="0"/><Growth GrowthX="0.000100000000000000004792174" GrowthY="0.000100000000000000004792174"/></GradingRule>
        <GradingRule RuleId="30">
          <Point LiftAndPlunge="true" Entry="true" Stacking="true" Facing="true"/>
          <Growth GrowthX="-0.000299999999999999973718939" GrowthY="0.000299999999999999973718939"/>
          <Growth GrowthX="0" GrowthY="214748.364700000005541369"/>
        </GradingRule>
        <PieceSize BreakFlag="NonGrading"><Name Value="6" Type="Numeric"/></PieceSize>
        <PieceSize BreakFlag="Grading"><Name Value="-8" Type="Numeric"/></PieceSize>
        <PieceSize BreakFlag="NonGrading"><Name Value="32767" Type="Numeric"/></PieceSize>
      </Grading>)"};
}

// The alpha forms' names are 7 and 8 bytes (their point codes:
// PointCodesBothWays; their widths on the way in:
// SizeNamesAndCommentsKeepWholeCharacters).
std::vector<uint8_t> AlphaTable(uint8_t type) {
  ByteBuilder b = Header(2, 0, type, 2, "", "Tops");
  Size(b, Bytes("XS"), 1);
  Size(b, Bytes(type == 2 ? "XXXLARGE" : "XXLARGE"), 0);
  Rule(b, 0, "MR12", std::nullopt, {{-1, -2}});
  return Rule(b, 29999, "KRNB", "eighteen character", {{1, 2}}).bytes();
}

TEST(Grading, EachSizeNameFormReadsAndRoundTripsByteIdentical) {
  const Canonical numeric = NumericTable();
  TempArea area;
  EXPECT_EQ(ExportMatches(kGrading, area, numeric.unsorted, numeric.document), "");
  std::string failure, document;
  EXPECT_EQ(RoundTrip(kGrading, area, numeric.sorted, &failure), numeric.sorted) << failure;
  for (const auto& [type, name] : {std::pair<uint8_t, std::string>{1, R"(Value="XXLARGE" Type="Alpha")"},
                                   {2, R"(Value="XXXLARGE" Type="LongAlpha")"}}) {
    EXPECT_EQ(RoundTrip(kGrading, area, AlphaTable(type), &failure, &document), AlphaTable(type)) << failure;
    EXPECT_NE(document.find(name), std::string::npos) << document;
  }
}

TEST(Grading, PointCodesBothWays) {
  struct Case {
    const char* point;     // the Point element's attributes
    const char* code;      // the stored code
    const char* readBack;  // the attributes the export gives
  } cases[] = {
      {R"(LiftAndPlunge="true" Entry="true" Stacking="true" Facing="true" Rotation="true")", "LEZF",
       R"(LiftAndPlunge="true" Entry="true" Stacking="true" Facing="true")"},
      {R"(Grading="Averaging")", "A   ", ""},
      {R"(Grading="FixedNext" Smoothing="Off")", "NX  ", R"(Smoothing="Off")"},
      {R"(Smoothing="On" NotchIndex="7")", "S7  ", R"(Smoothing="On" NotchIndex="7")"},
      {R"(NotchIndex="0")", "0   ", ""},
      {R"(NotchIndex="07" Entry="1")", "E07 ", R"(Entry="true" NotchIndex="7")"},
      {R"(NotchIndex=" 7 " Smoothing="Off")", "N7  ", R"(Smoothing="Off" NotchIndex="7")"},
      {R"(LiftAndPlunge="true" Entry="true" Stacking="true" NotchIndex="12")", "LEZ ",
       R"(LiftAndPlunge="true" Entry="true" Stacking="true")"},
      {R"(MTMPasteAdjust="true" SegmentBlockBuffer="End" NotchIndex="42")", "MQ42",
       R"(MTMPasteAdjust="true" SegmentBlockBuffer="End" NotchIndex="42")"},
      {R"(AlternateStart="1" Smoothing="System" SegmentBlockBuffer="None" Grading="Normal" Facing="false")", "K   ",
       R"(AlternateStart="true")"},
      {R"(Grading="FixedPrevious" SegmentBlockBuffer="Start" Rotation="true")", "RBP ",
       R"(Rotation="true" SegmentBlockBuffer="Start")"},
  };
  TempArea area;
  for (const auto& c : cases) {
    auto rule = [](const char* point) {
      return std::string("<GradingRule RuleId=\"5\"><Point ") + point + "/></GradingRule>";
    };
    ASSERT_EQ(ImportFromString(kGrading, area.path(), "T", Document(kNoSizes, rule(c.point))), 0)
        << c.point << ": " << LastErrorMessage();
    auto stored = area.GetItem(kGrading, "T");
    ASSERT_TRUE(stored && stored->size() == 90 + 26) << c.point;
    EXPECT_EQ(std::string(stored->begin() + 92, stored->begin() + 96), c.code) << c.point;
    const std::string readBack = Document(std::string("version=\"1\" ") + kNoSizes, rule(c.readBack), "T");
    EXPECT_EQ(ExportMatches(kGrading, area, "T", readBack), "") << c.point;
  }
}

TEST(Grading, LoadSortsStablyAndWriterKeepsDocumentOrder) {
  TempArea area;
  ByteBuilder b = Header(0, -1, 0, 5);
  Rule(b, 30, "", "a", {});
  Rule(b, 10, "", "b", {});
  Rule(b, 20, "", "c", {});
  Rule(b, 10, "", "d", {});
  Rule(b, 30, "", "e", {});
  auto exported = ExportBytes(kGrading, area, b);
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  std::string order;
  for (size_t at = 0; (at = exported.xml.find("Comment=\"", at)) != std::string::npos; at += 9) order += exported.xml[at + 9];
  EXPECT_EQ(order, "bdcae");

  ASSERT_EQ(ImportFromString(kGrading, area.path(), "DOC",
                             Document(R"(Comment1="" Comment2="" SizeIdType="Alpha" NumBreaks="-1" NumSizes="0" BaseIndex="0" SizeIncrement="0")",
                                      R"(<GradingRule RuleId="30"><Point/></GradingRule><GradingRule RuleId="10"><Point/></GradingRule>)")),
            0);
  auto stored = area.GetItem(kGrading, "DOC");
  ASSERT_TRUE(stored && stored->size() == 90 + 2 * 26);
  EXPECT_EQ((*stored)[90], 30);
  EXPECT_EQ((*stored)[116], 10);
}

TEST(Grading, SizeNamesAndCommentsKeepWholeCharacters) {
  CodePageScope shiftJis(932);
  TempArea area;
  // Four double-byte characters are 8 bytes: LongAlpha keeps them, Alpha
  // keeps three (its 8th byte is the terminator); 21 of them do not fit the
  // 40 bytes of a comment, and 10 do not fit a rule comment's 18.
  const std::string a = "\xE3\x81\x82";  // one double-byte character in code page 932
  auto stored = [](int n, size_t width) {
    std::string s = Repeated("\x82\xA0", n);
    s.resize(width, '\0');
    return s;
  };
  for (const char* type : {"Alpha", "LongAlpha"}) {
    const std::string doc = Document(
        "Comment1=\"" + Repeated(a, 21) + "\" Comment2=\"\" SizeIdType=\"" + type +
            "\" NumBreaks=\"-1\" NumSizes=\"2\" BaseIndex=\"0\" SizeIncrement=\"0\"",
        "<GradingRule RuleId=\"1\" Comment=\"" + Repeated(a, 10) + "\"><Point/></GradingRule>"
        "<PieceSize BreakFlag=\"Grading\"><Name Type=\"Numeric\" Value=\"" + Repeated(a, 4) + "\"/></PieceSize>"
        "<PieceSize BreakFlag=\"NonGrading\"><Name Type=\"Numeric\" Value=\"ABCDEFGH\"/></PieceSize>");
    ASSERT_EQ(ImportFromString(kGrading, area.path(), type, doc), 0) << type << ": " << LastErrorMessage();
    auto item = area.GetItem(kGrading, type);
    ASSERT_TRUE(item && item->size() == 90 + 20 + 26) << type;
    auto field = [&](size_t at, size_t n) { return std::string(item->begin() + at, item->begin() + at + n); };
    const bool alpha = std::string_view(type) == "Alpha";
    EXPECT_EQ(field(0, 40), stored(20, 40)) << type;
    EXPECT_EQ(field(90, 8), stored(alpha ? 3 : 4, 8)) << type;
    EXPECT_EQ(field(100, 8), alpha ? std::string("ABCDEFG\0", 8) : std::string("ABCDEFGH")) << type;
    EXPECT_EQ(field(110 + 7, 18), stored(9, 18)) << type;
  }
}

TEST(Grading, DocumentsThatCannotBeStored) {
  const std::string header = R"(Comment1="" Comment2="" SizeIdType="Numeric" NumBreaks="1" NumSizes="1" BaseIndex="0" SizeIncrement="0")";
  const std::string size = R"(<PieceSize BreakFlag="Grading"><Name Type="Numeric" Value="1"/></PieceSize>)";
  const std::string twoGrowth = R"(<Growth GrowthX="0" GrowthY="0"/><Growth GrowthX="0" GrowthY="0"/>)";
  struct Case {
    const char* what;
    std::string document;
    int code;
    const char* message;  // where the writer refuses what the schema lets through
  } cases[] = {
      {"one growth for NumBreaks 1",
       Document(header, R"(<GradingRule RuleId="1"><Point/><Growth GrowthX="0" GrowthY="0"/></GradingRule>)" + size), 1,
       "Inconsistent number of GradingRuleGrowth Elements and NumBreaks."},
      {"two sizes for NumSizes 1", Document(header, size + size), 1,
       "Inconsistent number of PieceSize Elements and NumSizes."},
      {"notch index 100", Document(header, "<GradingRule RuleId=\"1\"><Point NotchIndex=\"100\"/>" + twoGrowth + "</GradingRule>" + size), 2, ""},
      {"rule id beyond 29999", Document(header, "<GradingRule RuleId=\"30000\"><Point/>" + twoGrowth + "</GradingRule>" + size), 2, ""},
  };
  TempArea area;
  for (const auto& c : cases) {
    EXPECT_EQ(ImportFromString(kGrading, area.path(), "BAD", c.document), c.code) << c.what;
    if (c.code == 1) {
      EXPECT_EQ(LastErrorMessage(), c.message) << c.what;
    }
    EXPECT_FALSE(area.GetItem(kGrading, "BAD")) << c.what;
  }
}

// Short items and counts are in every_type_test; these are the table's own.
TEST(Grading, SizeIdTypeOutsideTheTableAndNegativeCounts) {
  TempArea area;
  ByteBuilder b = Header(1, -1, 3, 0);
  EXPECT_EQ(ExportBytes(kGrading, area, NumericSize(b, 1, 0)).code, 1);
  EXPECT_EQ(LastErrorMessage(), "PIECE: Invalid size_id_type");
  // Negative counts read nothing; trailing bytes are ignored.
  EXPECT_EQ(ExportBytes(kGrading, area, Header(-1, -1, 0, -1).Zeros(7)).code, 0) << LastErrorMessage();
  // A negative NumBreaks or NumSizes reads as no growth pairs or no sizes,
  // and the import takes the document such an item exports (NumBreaks below
  // -1 can never have NumBreaks + 1 growth elements).
  for (const char* counts : {R"(NumBreaks="-2" NumSizes="0")", R"(NumBreaks="-1" NumSizes="-5")",
                             R"(NumBreaks="-3072" NumSizes="-22007")"}) {
    const std::string document =
        Document(std::string(R"(version="1" Comment1="" Comment2="" SizeIdType="Numeric" BaseIndex="0" SizeIncrement="0" )") +
                     counts,
                 R"(<GradingRule RuleId="1"><Point/></GradingRule>)");
    ASSERT_EQ(ImportFromString(kGrading, area.path(), "G", document), 0) << counts;
    EXPECT_EQ(ExportMatches(kGrading, area, "G", document), "") << counts;
  }
}

}  // namespace
}  // namespace tsln2xml::test
