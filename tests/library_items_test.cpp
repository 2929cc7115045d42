// The stored data types together: counts beyond 16 bits and scaled values
// that must come back to the same stored integer.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tsln2xml::test
