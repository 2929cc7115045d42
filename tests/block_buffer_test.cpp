// Block buffer libraries through the exports and the store: byte-exact
// layouts both ways, zero amounts left out, the code tables, the included
// base schema and the failures.

#include <gtest/gtest.h>

#include "converters/library/block_buffer.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kBlockBuffer = 3;

struct Amount {
  int32_t amount;
  uint8_t units;
};

// A 70-byte rule record with the ten amounts in store order.
ByteBuilder& RuleRecord(ByteBuilder& b, int16_t number, uint8_t type, std::array<Amount, 10> amounts) {
  b.I16(number).U8(type).U8(0);
  for (const Amount& a : amounts) b.I32(a.amount).U8(a.units).U8(0);
  return b.Zeros(6);
}

std::vector<uint8_t> TwoRuleItem() {
  ByteBuilder b = LibraryHeader("spring 2006", "Cutting room", 2);
  RuleRecord(b, 7, 1, {{{2500, 2}, {0, 3}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {-10000, 1}}});
  RuleRecord(b, -3, 0, {});
  return b;
}

constexpr const char* kTwoRuleDocument = R"(
    <BlockBuffer xmlns="urn:tsln2xml:data/BlockBuffer" version="1" Name="ONE" Comment1="SPRING 2006" Comment2="CUTTING ROOM">
      <Rule RuleNumber="7" RuleType="Block">
        <Static><Left Amount="0.25" Units="Percentage"/></Static>
        <Dynamic><Segment Amount="-1" Units="BadPercentage"/></Dynamic>
      </Rule>
      <Rule RuleNumber="-3" RuleType="Buffer"/>
    </BlockBuffer>)";

TEST(BlockBuffer, ReadsStoreRecordsLeavingZeroAmountsOut) {
  TempArea area;
  EXPECT_EQ(ExportMatches(kBlockBuffer, area, TwoRuleItem(), kTwoRuleDocument), "");
}

TEST(BlockBuffer, WritesTheDocumentAsStoreRecords) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kBlockBuffer, area.path(), "LIB", R"(
      <BlockBuffer xmlns="urn:tsln2xml:data/BlockBuffer" Name="X" Comment1=" first " Comment2="">
        <Rule RuleNumber="32767" RuleType="Block">
          <Static>
            <Top Amount="1.23456" Units="Distance"/>
            <Bottom Amount="0" Units="Percentage"/>
          </Static>
          <Dynamic>
            <Left Amount="-0.00005" Units="BadPercentage"/>
            <Right Amount="214748.3647" Units="Percentage"/>
          </Dynamic>
        </Rule>
        <Rule RuleNumber="1" RuleType="Buffer"><Static/></Rule>
      </BlockBuffer>)"), 0) << LastErrorMessage();
  ByteBuilder expected = LibraryHeader("FIRST", "", 2);
  // 1.23456 is truncated to 12345; -0.00005 to 0 (keeping its units); a side
  // given as zero keeps its units too.
  RuleRecord(expected, 32767, 1,
             {{{0, 0}, {12345, 0}, {0, 0}, {0, 2}, {0, 0}, {0, 1}, {0, 0}, {2147483647, 2}, {0, 0}, {0, 0}}});
  RuleRecord(expected, 1, 0, {});
  EXPECT_EQ(area.GetItem(kBlockBuffer, "LIB"), expected.bytes());

  // Zero sides come back without their elements.
  EXPECT_EQ(ExportMatches(kBlockBuffer, area, "LIB", R"(
      <BlockBuffer xmlns="urn:tsln2xml:data/BlockBuffer" version="1" Name="LIB" Comment1="FIRST" Comment2="">
        <Rule RuleNumber="32767" RuleType="Block">
          <Static><Top Amount="1.23449999999999993072208" Units="Distance"/></Static>
          <Dynamic><Right Amount="214748.364700000005541369" Units="Percentage"/></Dynamic>
        </Rule>
        <Rule RuleNumber="1" RuleType="Buffer"/>
      </BlockBuffer>)"), "");
}

TEST(BlockBuffer, EveryCodeSurvivesTheRoundTrip) {
  TempArea area;
  ByteBuilder b = LibraryHeader("ALL", "CODES", 6);  // rule types 0 and 1, units 0 to 2
  int16_t number = 0;
  for (uint8_t type = 0; type < 2; ++type)
    for (uint8_t unit = 0; unit < 3; ++unit) {
      std::array<Amount, 10> amounts{};
      for (size_t k = 0; k < amounts.size(); ++k) amounts[k] = {static_cast<int32_t>((k + 1) * 1111 * (unit + 1)), unit};
      RuleRecord(b, ++number, type, amounts);
    }
  std::string failure;
  EXPECT_EQ(RoundTrip(kBlockBuffer, area, b, &failure), b.bytes()) << failure;
}

}  // namespace
}  // namespace tsln2xml::test
