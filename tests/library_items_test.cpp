// The stored data types together: counts beyond 16 bits, scaled values that
// must come back to the same stored integer, and values no field can hold.

#include <gtest/gtest.h>

#include <cstring>

#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

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
    std::string xml = c.open;
    for (int i = 0; i < 32768; ++i) xml += c.repeated;
    EXPECT_EQ(ImportFromString(c.code, area.path(), "X", xml + c.close), 1) << c.code;
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
      {13, "Order/SPRING", R"(Width="60")", false, false},
      {13, "Order/SPRING", R"(X="1.5")", false},
      {13, "Order/SPRING", R"(Offset="0.5")", false},
      {13, "Order/SPRING", R"(X="250.5")", false},
      {14, "CutterEnvironment/CONVEYOR", R"(Width="72.5000")", false},
      {16, "MarkerPlotEnvironment/FULLSCALE", R"(Separation="0.25")", false},
      {16, "MarkerPlotEnvironment/FULLSCALE", R"(MinimumLength="-1")", false},
      {16, "MarkerPlotEnvironment/FULLSCALE", R"(Separation="4")", false},
      {17, "NotchEnvironment/STANDARD", R"(Depth="0.375")", false},
      {19, "UserEnvironment/STANDARD", R"(SeamAllowance="0.375")", false},
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
