// The library data types and notch environments both ways (store records
// read as documents and documents written as store records, every byte
// written out here), their code tables, double-byte names and the notch
// shapes of the legacy layout; then what every stored type shares:
// counts beyond 16 bits, scaled values that must come back to the same stored
// integer, and values no field can hold.

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "converters/library/notch.h"
#include "platform/code_page.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

ByteBuilder& AlterationRule(ByteBuilder& b, std::string_view name, uint8_t usage, int16_t items) {
  return b.Text(name, 10).U8(usage).U8(0).I16(items);
}
ByteBuilder& AlterationItem(ByteBuilder& b, uint8_t type, int16_t first, int16_t second, int32_t x, int32_t y) {
  return b.U8(type).U8(0).I16(first).I16(second).I32(x).I32(y);
}

struct Amount {
  int32_t amount;
  uint8_t units;
};

// A 70-byte block buffer rule with the ten amounts in store order.
ByteBuilder& BlockBufferRule(ByteBuilder& b, int16_t number, uint8_t type, std::array<Amount, 10> amounts) {
  b.I16(number).U8(type).U8(0);
  for (const Amount& a : amounts) b.I32(a.amount).U8(a.units).U8(0);
  return b.Zeros(6);
}

struct Axis {
  uint8_t type;
  int32_t offset;
  uint8_t units;
  int8_t repeat;
};

// A 92-byte matching rule.
ByteBuilder& MatchingRule(ByteBuilder& b, int16_t number, std::string_view comment, std::string_view cat1, int16_t num1,
                          std::string_view cat2, int16_t num2, Axis plaid, Axis stripe, int16_t target) {
  b.I16(number).Text(comment, 20).Text(cat1, 20).I16(num1).Text(cat2, 20).I16(num2);
  b.U8(plaid.type).U8(0).I32(plaid.offset).U8(plaid.units).U8(0).I8(plaid.repeat);
  b.U8(stripe.type).I32(stripe.offset).U8(stripe.units).U8(0).I8(stripe.repeat).U8(0);
  return b.I16(target).Zeros(6);
}

struct Definition {
  int8_t shape;
  int32_t p, i, d;
};

// The five definitions of a notch environment's legacy layout.
ByteBuilder LegacyBlock(const std::vector<Definition>& defs) {
  ByteBuilder b;
  for (size_t k = 0; k < 5; ++k) {
    const Definition d = k < defs.size() ? defs[k] : Definition{0, 0, 0, 0};
    b.I32(d.p).I32(d.i).I32(d.d);
  }
  return b;
}

// The extended layout as the writer produces it.
std::vector<uint8_t> ExtendedItem(const std::vector<Definition>& defs) {
  ByteBuilder b = LegacyBlock(defs);
  b.I32(static_cast<int32_t>(defs.size()));
  for (const Definition& d : defs) b.I8(d.shape).Zeros(3).I32(d.p).I32(d.i).I32(d.d);
  return b;
}

// A legacy notch item's shapes come from its values; written back, it
// becomes an extended item with those shapes.
constexpr const char* kLegacyNotches = R"(
    <NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" version="1" Name="ONE">
      <NotchDefinition Shape="Slit" PerimeterWidth="0" InsideWidth="0" Depth="0.5"/>
      <NotchDefinition Shape="V" PerimeterWidth="0.20000000000000001110223" InsideWidth="0" Depth="0.5"/>
      <NotchDefinition Shape="Castle" PerimeterWidth="0.20000000000000001110223" InsideWidth="0.100000000000000005551115" Depth="0.5"/>
      <NotchDefinition Shape="T" PerimeterWidth="0" InsideWidth="0.100000000000000005551115" Depth="0.5"/>
      <NotchDefinition Shape="None" PerimeterWidth="0" InsideWidth="0" Depth="0"/>
    </NotchEnvironment>)";

// Store records and the documents the export makes of them: texts trimmed
// and upper-cased, zero block buffer amounts left out whatever their units,
// every code and scaled value written out.
TEST(LibraryItems, StoreRecordsReadAsDocuments) {
  ByteBuilder alteration;
  alteration.I16(2);
  AlterationRule(alteration, " hem", 2, 2);
  AlterationItem(alteration, 4, -1, 12, 1500, -250);
  AlterationItem(alteration, 1, 3, 32767, 0, 2147483647);
  AlterationRule(alteration, "SLEEVELONG", 0, 1);
  AlterationItem(alteration, 0, 0, 0, -500, 250);
  ByteBuilder blockBuffer = LibraryHeader("spring 2006", "Cutting room", 2);
  BlockBufferRule(blockBuffer, 7, 1,
                  {{{2500, 2}, {0, 3}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {-10000, 1}}});
  BlockBufferRule(blockBuffer, -3, 0, {});
  ByteBuilder matching = LibraryHeader("", "stripes", 2);
  MatchingRule(matching, -7, "", "sleeve", 32767, "", 0, {1, -12345, 1, -128}, {3, 0, 0, 127}, 0);
  MatchingRule(matching, 0, "x", "A", 1, "B", 2, {0, 0, 0, 0}, {0, 0, 0, 0}, 0);
  ByteBuilder pieceList = LibraryHeader(std::string(40, 'c'), "  second line ", 4, 40);
  pieceList.Text("front", 20).Text("TWENTYCHARACTERSLONG", 20).Text("", 20).Text("A&B<C>", 20);
  ByteBuilder sizeCode;
  sizeCode.I16(2).Text("  m10 ", 6).Text("m", 6).I16(2).Text("length", 10).I32(2500).Text("sleeve", 10).I32(-12345);
  sizeCode.Text("LARGE1", 6).Text("XL", 6).I16(0);
  const struct {
    int16_t code;
    std::vector<uint8_t> item;
    const char* document;
  } cases[] = {
      {kAlteration, alteration, R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" version="1" Name="ONE">
          <Rule Name="HEM" PieceUsage="Both">
            <Item Type="XYMove" FirstPoint="-1" SecondPoint="12" XPercentAlt="1.5" YPercentAlt="-0.25"/>
            <Item Type="CounterClockwiseExtension" FirstPoint="3" SecondPoint="32767" XPercentAlt="0" YPercentAlt="2147483.64699999988079071"/>
          </Rule>
          <Rule Name="SLEEVELONG" PieceUsage="Left">
            <Item Type="CounterClockwiseNoExtension" FirstPoint="0" SecondPoint="0" XPercentAlt="-0.5" YPercentAlt="0.25"/>
          </Rule>
        </Alteration>)"},
      {kBlockBuffer, blockBuffer, R"(
        <BlockBuffer xmlns="urn:tsln2xml:data/BlockBuffer" version="1" Name="ONE" Comment1="SPRING 2006" Comment2="CUTTING ROOM">
          <Rule RuleNumber="7" RuleType="Block">
            <Static><Left Amount="0.25" Units="Percentage"/></Static>
            <Dynamic><Segment Amount="-1" Units="BadPercentage"/></Dynamic>
          </Rule>
          <Rule RuleNumber="-3" RuleType="Buffer"/>
        </BlockBuffer>)"},
      {kMatching, matching, R"(
        <Matching xmlns="urn:tsln2xml:data/Matching" version="1" Name="ONE" Comment1="" Comment2="STRIPES">
          <Rule Number="-7" Comment="" Target="Piece">
            <Plaid Type="None" Repeat="-128"><Offset Amount="-1.23449999999999993072208" Units="Percentage"/></Plaid>
            <Stripe Type="Symmetric" Repeat="127"><Offset Amount="0" Units="Distance"/></Stripe>
            <Point Category="SLEEVE" Number="32767"/>
            <Point Category="" Number="0"/>
          </Rule>
          <Rule Number="0" Comment="X" Target="Piece">
            <Plaid Type="Relative" Repeat="0"><Offset Amount="0" Units="Distance"/></Plaid>
            <Stripe Type="Relative" Repeat="0"><Offset Amount="0" Units="Distance"/></Stripe>
            <Point Category="A" Number="1"/>
            <Point Category="B" Number="2"/>
          </Rule>
        </Matching>)"},
      {kPieceList, pieceList, R"(
        <PieceList xmlns="urn:tsln2xml:data/PieceList" version="1" Name="ONE"
                   Comment1="CCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCC" Comment2="SECOND LINE">
          <PieceName>FRONT</PieceName>
          <PieceName>TWENTYCHARACTERSLONG</PieceName>
          <PieceName></PieceName>
          <PieceName>A&amp;B&lt;C&gt;</PieceName>
        </PieceList>)"},
      {kNotch, LegacyBlock({{0, 0, 0, 5000}, {0, 2000, 0, 5000}, {0, 2000, 1000, 5000}, {0, 0, 1000, 5000}}), kLegacyNotches},
      {kNotch, ByteBuilder().Zeros(64), R"(<NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" version="1" Name="ONE"/>)"},
      {kSizeCode, sizeCode, R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" version="1" Name="ONE">
          <Entry ActualSize="M10" OrderedSize="M">
            <Alteration Name="LENGTH" Amount="0.25"/>
            <Alteration Name="SLEEVE" Amount="-1.23449999999999993072208"/>
          </Entry>
          <Entry ActualSize="LARGE1" OrderedSize="XL"/>
        </SizeCode>)"},
  };
  TempArea area;
  for (const auto& c : cases) EXPECT_EQ(ExportMatches(c.code, area, c.item, c.document), "") << c.document;
}

// Documents and the store records the import makes of them, where the writer
// decides more than the round trips of the examples show: fractions below
// the field's unit truncated toward zero, zero amounts keeping their units,
// the notch layouts (trimming and cutting of texts: fixed_text_test).
TEST(LibraryItems, DocumentsWrittenAsStoreRecords) {
  ByteBuilder blockBuffer = LibraryHeader("FIRST", "", 2);
  // 1.23456 is truncated to 12345; -0.00005 to 0 (keeping its units); a side
  // given as zero keeps its units too.
  BlockBufferRule(blockBuffer, 32767, 1,
                  {{{0, 0}, {12345, 0}, {0, 0}, {0, 2}, {0, 0}, {0, 1}, {0, 0}, {2147483647, 2}, {0, 0}, {0, 0}}});
  BlockBufferRule(blockBuffer, 1, 0, {});
  const struct {
    int16_t code;
    const char* document;
    std::vector<uint8_t> item;
  } cases[] = {
      {kBlockBuffer, R"(
        <BlockBuffer xmlns="urn:tsln2xml:data/BlockBuffer" Name="X" Comment1=" first " Comment2="">
          <Rule RuleNumber="32767" RuleType="Block">
            <Static><Top Amount="1.23456" Units="Distance"/><Bottom Amount="0" Units="Percentage"/></Static>
            <Dynamic>
              <Left Amount="-0.00005" Units="BadPercentage"/>
              <Right Amount="214748.3647" Units="Percentage"/>
            </Dynamic>
          </Rule>
          <Rule RuleNumber="1" RuleType="Buffer"><Static/></Rule>
        </BlockBuffer>)", blockBuffer},
      {kNotch, kLegacyNotches,
       ExtendedItem({{1, 0, 0, 5000}, {3, 2000, 0, 5000}, {4, 2000, 1000, 5000}, {2, 0, 1000, 5000}, {0, 0, 0, 0}})},
      // The legacy block keeps the first definitions and zeros for the rest.
      {kNotch, R"(
        <NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" Name="X">
          <NotchDefinition Shape="U" PerimeterWidth="0.25" InsideWidth="0.00015" Depth="-0.5"/>
          <NotchDefinition Shape="LeftCheck" PerimeterWidth="214748.3647" InsideWidth="-214748.3648" Depth="0.0001"/>
        </NotchEnvironment>)", ExtendedItem({{7, 2500, 1, -5000}, {5, 2147483647, -2147483647 - 1, 1}})},
      {kNotch, R"(<NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" Name="E"/>)", ByteBuilder().Zeros(64)},
  };
  TempArea area;
  for (const auto& c : cases) EXPECT_EQ(ImportMatches(c.code, area, c.document, c.item), "") << c.document;
}

// Every rule type and unit in each of the ten block buffer amounts.
TEST(LibraryItems, EveryBlockBufferCodeSurvivesTheRoundTrip) {
  TempArea area;
  ByteBuilder b = LibraryHeader("ALL", "CODES", 6);  // rule types 0 and 1, units 0 to 2
  int16_t number = 0;
  for (uint8_t type = 0; type < 2; ++type)
    for (uint8_t unit = 0; unit < 3; ++unit) {
      std::array<Amount, 10> amounts{};
      for (size_t k = 0; k < amounts.size(); ++k) amounts[k] = {static_cast<int32_t>((k + 1) * 1111 * (unit + 1)), unit};
      BlockBufferRule(b, ++number, type, amounts);
    }
  std::string failure;
  EXPECT_EQ(RoundTrip(kBlockBuffer, area, b, &failure), b.bytes()) << failure;
}

// Changes to the matching example: two points a rule, and a repeat its field holds.
TEST(LibraryItems, MatchingDocumentFailures) {
  TempArea area;
  const std::string plaids = Example("Matching/PLAIDS");
  const std::string point = R"(<Point Category="BACK" Number="2"/>)";
  const struct {
    std::string xml;
    int code;
  } cases[] = {
      {Replaced(plaids, point, ""), 2},
      {Replaced(plaids, point, point + point), 2},
      {Replaced(plaids, R"(Repeat="1")", R"(Repeat="40000")"), 2},
      {Replaced(plaids, R"(Repeat="1")", R"(Repeat="200")"), 4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImportFromString(kMatching, area.path(), "DOC", c.xml), c.code) << c.xml;
    EXPECT_FALSE(area.GetItem(kMatching, "DOC"));
  }
}

TEST(LibraryItems, DoubleBytePieceNamesAreNeverSplit) {
  CodePageScope japanese(932);
  TempArea area;
  // Eleven katakana of two bytes each: only ten fit the 20-byte field. The
  // trail byte 0x61 of the first is a lower-case letter in ASCII and must
  // not be upper-cased.
  const std::string eleven = "\x83\x61" + Repeated("\x83\x41", 10);
  const std::string utf8 = platform::AnsiToUtf8(eleven);
  ASSERT_EQ(platform::Utf8ToUtf16(utf8).size(), 11u);
  ByteBuilder expected = LibraryHeader("", "", 1, 40);
  expected.Text(eleven.substr(0, 20), 20);
  const std::string document = R"(<PieceList xmlns="urn:tsln2xml:data/PieceList" Name="K" Comment1="" Comment2="">)"
                               "<PieceName>" + utf8 + "</PieceName></PieceList>";
  EXPECT_EQ(ImportMatches(kPieceList, area, document, expected), "");

  // A stored field whose last byte is a lead byte loses that half character.
  ByteBuilder cut = LibraryHeader("", "", 1, 40);
  cut.Text("ABCDEFGHIJKLMNOPQRS\x83", 20);
  auto exported = ExportBytes(kPieceList, area, cut);
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find("<PieceName>ABCDEFGHIJKLMNOPQRS</PieceName>"), std::string::npos) << exported.xml;
}

TEST(LibraryItems, LegacyNotchShapeRule) {
  struct Case {
    int32_t p, i, d;
    const char* shape;
  } cases[] = {
      {1, 1, 0, "Castle"}, {1, 0, -5, "V"},    {1, -1, 9, "None"}, {0, 1, 1, "T"},
      {0, 0, 1, "Slit"},   {0, -1, 1, "Slit"}, {0, 1, 0, "None"},  {0, 1, -1, "None"},
      {-1, 1, 1, "None"},  {-1, 0, 0, "None"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NotchShapeNames().NameOf(LegacyNotchShape(c.p, c.i, c.d)), c.shape) << c.p << "," << c.i << "," << c.d;
}

TEST(LibraryItems, AtMostNinetyNineNotchDefinitions) {
  TempArea area;
  std::string xml = R"(<NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" Name="X">)";
  std::vector<Definition> first99;
  for (int k = 0; k < 120; ++k) {
    xml += R"(<NotchDefinition Shape="V" PerimeterWidth=")" + std::to_string(k) + R"(" InsideWidth="0" Depth="1"/>)";
    if (k < 99) first99.push_back({3, k * 10000, 0, 10000});
  }
  xml += "</NotchEnvironment>";
  ASSERT_EQ(ImportFromString(kNotch, area.path(), "MANY", xml), 0) << LastErrorMessage();
  EXPECT_EQ(area.GetItem(kNotch, "MANY"), ExtendedItem(first99));
  auto exported = ExportToString(kNotch, area.path(), "MANY");
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find(R"(PerimeterWidth="98")"), std::string::npos);
  EXPECT_EQ(exported.xml.find(R"(PerimeterWidth="99")"), std::string::npos);
  // A stored count of 100 is refused even where the bytes are there.
  EXPECT_EQ(ExportBytes(kNotch, area, LegacyBlock({}).I32(100).Zeros(1600)).code, 1);
}

constexpr const char* kModel =
    R"(<Model xmlns="urn:tsln2xml:data/Model" Name="M" Comment1="" Comment2="" ShrinkStretchMeasure="Percentage"
             AlterationName="" BlockBufferName="" LayLimitName="" SizeCodeName="">)";

// More elements than a 16-bit count holds are refused, not wrapped.
TEST(LibraryItems, CountsBeyondSixteenBits) {
  struct Case {
    int16_t code;
    std::string open;      // a document up to the elements to repeat
    std::string repeated;  // one element of the counted kind
    std::string close;
    const char* tooMany;
  } cases[] = {
      {1, R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"><Rule Name="R" PieceUsage="Left">)",
       R"(<Item Type="XYMove" FirstPoint="1" SecondPoint="2" XPercentAlt="0" YPercentAlt="0"/>)", "</Rule></Alteration>",
       "Too many items in an Alteration rule: 32768 (at most 32767)"},
      {2, R"(<Annotation xmlns="urn:tsln2xml:data/Annotation" Name="A" Comment1="" Comment2=""><Entry Category="E">)",
       R"(<Order Format="NewLine"/>)", "</Entry></Annotation>",
       "Too many orders in an Annotation entry: 32768 (at most 32767)"},
      {3, R"(<BlockBuffer xmlns="urn:tsln2xml:data/BlockBuffer" Name="A" Comment1="" Comment2="">)",
       R"(<Rule RuleNumber="1" RuleType="Block"/>)", "</BlockBuffer>",
       "Too many BlockBuffer rules: 32768 (at most 32767)"},
      {11, R"(<Matching xmlns="urn:tsln2xml:data/Matching" Name="A" Comment1="" Comment2="">)",
       R"(<Rule Number="1" Comment="" Target="Piece"><Plaid Type="Same" Repeat="0"><Offset Amount="0" Units="Distance"/></Plaid><Stripe Type="Same" Repeat="0"><Offset Amount="0" Units="Distance"/></Stripe><Point Category="A" Number="1"/><Point Category="B" Number="2"/></Rule>)",
       "</Matching>", "Too many Matching rules: 32768 (at most 32767)"},
      {21, R"(<PieceList xmlns="urn:tsln2xml:data/PieceList" Name="A" Comment1="" Comment2="">)", "<PieceName>P</PieceName>",
       "</PieceList>", "Too many PieceList names: 32768 (at most 32767)"},
      {6, R"(<LayLimit xmlns="urn:tsln2xml:data/LayLimit" Name="X" Comment1="" Comment2="" Spread="SinglePly" Bundling="AllBundleSameDirection">)",
       R"(<Entry Category="A" FlipCode="Original" BlockBufferRule="0" CWTilt="0" CCWTilt="0" Units="Distance"/>)",
       "</LayLimit>", "Too many LayLimit entries: 32768 (at most 32767)"},
      {12, std::string(kModel), "<DefaultOption>D</DefaultOption>", "</Model>",
       "Too many Model default options: 32768 (at most 32767)"},
      {12, std::string(kModel), R"(<Option Name="O"/>)", "</Model>", "Too many Model options: 32768 (at most 32767)"},
      {23, R"(<Grading xmlns="urn:tsln2xml:data/Grading" Name="G" Comment1="" Comment2="" SizeIdType="Numeric" NumBreaks="-1" NumSizes="0" BaseIndex="0" SizeIncrement="0">)",
       R"(<GradingRule RuleId="1"><Point/></GradingRule>)", "</Grading>", "Too many grading rules: 32768 (at most 32767)"},
      {24, R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"><Entry ActualSize="1" OrderedSize="1">)",
       R"(<Alteration Name="A" Amount="1"/>)", "</Entry></SizeCode>",
       "Too many alterations in a SizeCode entry: 32768 (at most 32767)"},
  };
  TempArea area;
  for (const auto& c : cases) {
    EXPECT_EQ(ImportFromString(c.code, area.path(), "X", c.open + Repeated(c.repeated, 32768) + c.close), 1) << c.code;
    EXPECT_EQ(LastErrorMessage(), c.tooMany);
    EXPECT_FALSE(area.GetItem(c.code, "X")) << c.code;
  }
}

// A stored value v is written as v / scale; scaled back and truncated, that
// double must give v again, also where the product lands just below it.
TEST(LibraryItems, ScaledValuesComeBackExactly) {
  TempArea area;
  const int32_t values[] = {-2147483647 - 1, -2999992, -2097151, -1, 1, 3, 2097153, 123456789, 2147483647};
  ByteBuilder alteration;
  alteration.I16(1).Text("R", 10).U8(0).U8(0).I16(static_cast<int16_t>(std::size(values)));
  for (int32_t v : values) alteration.U8(4).U8(0).I16(0).I16(0).I32(v).I32(v == INT32_MIN ? v : -v);
  std::string failure;
  EXPECT_EQ(RoundTrip(1, area, alteration, &failure), alteration.bytes()) << failure;

  ByteBuilder notch;
  notch.Zeros(60).I32(static_cast<int32_t>(std::size(values)));
  for (int32_t v : values) notch.I8(0).Zeros(3).I32(v).I32(v / 3).I32(v / 7);
  // The writer fills the legacy block from the first five definitions.
  std::vector<uint8_t> expected = notch;
  for (size_t k = 0; k < 5; ++k)
    for (size_t f = 0; f < 12; ++f) expected[12 * k + f] = expected[64 + 16 * k + 4 + f];
  EXPECT_EQ(RoundTrip(17, area, expected, &failure), expected) << failure;
}

// A length or scaled value that its 32-bit field cannot hold gives 4 and
// leaves no item; the largest value that fits is stored. Each row names a
// value in a type's example and the scale of its field.
TEST(LibraryItems, UnholdableValuesGiveCode4) {
  const struct {
    int16_t code;
    const char* example;
    const char* value;  // attribute="value" as the example has it
    bool thousandths;   // 1/1000 units instead of 1/10000
    bool negative = true;  // false where the schema refuses negative values
  } cases[] = {
      {1, "Alteration/STANDARD", R"(YPercentAlt="0.375")", true},
      {3, "BlockBuffer/PLAIDS", R"(Amount="2.5")", false},
      {6, "LayLimit/STANDARD", R"(CWTilt="0.5")", false},
      {11, "Matching/PLAIDS", R"(Amount="0.5")", false},
      {13, "Order/SPRING", R"(Width="150")", false, false},
      {13, "Order/SPRING", R"(X="750")", false},
      {14, "CutterEnvironment/CONVEYOR", R"(Width="180.0000")", false},
      {16, "MarkerPlotEnvironment/FULLSCALE", R"(Separation="0.25")", false},
      {16, "MarkerPlotEnvironment/FULLSCALE", R"(Separation="4")", false},
      {17, "NotchEnvironment/STANDARD", R"(Depth="0.375")", false},
      {19, "UserEnvironment/STANDARD", R"(SeamAllowance="1")", false},
      {23, "Grading/MISSES", R"(GrowthX="0.375")", false},
      {24, "SizeCode/MISSES", R"(Amount="1.125")", false},
  };
  for (const auto& c : cases) {
    TempArea area;
    const std::string name = std::strchr(c.example, '/') + 1;  // the writers of some types check it
    const std::string example = ReadFile(std::string(TSLN2XML_SOURCE_DIR) + "/examples/" + c.example + ".xml");
    const std::string attribute(c.value, std::string_view(c.value).find('"') + 1);
    const size_t at = example.find(c.value);
    ASSERT_NE(at, std::string::npos) << c.value;
    auto with = [&](const std::string& value) {
      return std::string(example).replace(at, std::string_view(c.value).size(), attribute + value + '"');
    };
    const char* tooLarge = c.thousandths ? "2147483.648" : "214748.3648";
    const char* tooSmall = c.thousandths ? "-2147483.649" : "-214748.3649";
    for (const char* value : {"NaN", "INF", "1e300", tooLarge, "-INF", tooSmall}) {
      if (value[0] == '-' && !c.negative) break;
      EXPECT_EQ(ImportFromString(c.code, area.path(), name, with(value)), 4) << c.example << " " << attribute << value;
      EXPECT_FALSE(area.GetItem(c.code, name)) << c.example;
    }
    const char* largest = c.thousandths ? "2147483.647" : "214748.3647";
    EXPECT_EQ(ImportFromString(c.code, area.path(), name, with(largest)), 0) << c.example << ": " << LastErrorMessage();
  }
}

}  // namespace
}  // namespace tsln2xml::test
