// Alteration libraries through the exports and the store: byte-exact layouts
// both ways, the code tables, round trips and the failures.

#include <gtest/gtest.h>

#include "converters/library/alteration.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kAlteration = 1;

ByteBuilder& RuleRecord(ByteBuilder& b, std::string_view name, uint8_t usage, int16_t items) {
  return b.Text(name, 10).U8(usage).U8(0).I16(items);
}
ByteBuilder& ItemRecord(ByteBuilder& b, uint8_t type, int16_t first, int16_t second, int32_t x, int32_t y) {
  return b.U8(type).U8(0).I16(first).I16(second).I32(x).I32(y);
}

std::vector<uint8_t> TwoRuleItem() {
  ByteBuilder b;
  b.I16(2);
  RuleRecord(b, " hem", 2, 2);
  ItemRecord(b, 4, -1, 12, 1500, -250);
  ItemRecord(b, 1, 3, 32767, 0, 2147483647);
  RuleRecord(b, "SLEEVELONG", 0, 1);
  ItemRecord(b, 0, 0, 0, -500, 250);
  return b;
}

TEST(Alteration, ReadsStoreRecordsIntoTheDocument) {
  TempArea area;
  EXPECT_EQ(ExportMatches(kAlteration, area, TwoRuleItem(), R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" version="1" Name="ONE">
      <Rule Name="HEM" PieceUsage="Both">
        <Item Type="XYMove" FirstPoint="-1" SecondPoint="12" XPercentAlt="1.5" YPercentAlt="-0.25"/>
        <Item Type="CounterClockwiseExtension" FirstPoint="3" SecondPoint="32767" XPercentAlt="0" YPercentAlt="2147483.64699999988079071"/>
      </Rule>
      <Rule Name="SLEEVELONG" PieceUsage="Left">
        <Item Type="CounterClockwiseNoExtension" FirstPoint="0" SecondPoint="0" XPercentAlt="-0.5" YPercentAlt="0.25"/>
      </Rule>
    </Alteration>)"), "");
}

TEST(Alteration, WritesTheDocumentAsStoreRecords) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kAlteration, area.path(), "LIB", R"(
      <Alteration xmlns="urn:tsln2xml:data/Alteration" version="1" Name="IGNORED">
        <Rule Name=" waist " PieceUsage="Right">
          <Item Type="ClockwiseNoExtension" FirstPoint="-1" SecondPoint="7" XPercentAlt="1.2345" YPercentAlt="-0.0019"/>
          <Item Type="ClockwiseExtension" FirstPoint="0" SecondPoint="0" XPercentAlt="0.001" YPercentAlt="-2.5"/>
        </Rule>
        <Rule Name="EMPTY" PieceUsage="Both"/>
      </Alteration>)"), 0) << LastErrorMessage();
  ByteBuilder expected;
  expected.I16(2);
  RuleRecord(expected, "WAIST", 1, 2);
  // Fractions of the 1/1000 unit are truncated toward zero; whole thousandths survive.
  ItemRecord(expected, 2, -1, 7, 1234, -1);
  ItemRecord(expected, 3, 0, 0, 1, -2500);
  RuleRecord(expected, "EMPTY", 2, 0);
  EXPECT_EQ(area.GetItem(kAlteration, "LIB"), expected.bytes());
}

}  // namespace
}  // namespace tsln2xml::test
