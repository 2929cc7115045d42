// Alteration libraries through the exports and the store: byte-exact layouts
// both ways, the code tables, round trips and the failures.

#include <gtest/gtest.h>

#include <cctype>

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
  RuleRecord(b, "SLEEVELONG", 0, 0);
  return b;
}

TEST(Alteration, ReadsStoreRecordsIntoTheDocument) {
  TempArea area;
  auto result = ExportBytes(kAlteration, area, TwoRuleItem());
  ASSERT_EQ(result.code, 0) << LastErrorMessage();
  EXPECT_EQ(CompareXml(R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" version="1" Name="ONE">
      <Rule Name="HEM" PieceUsage="Both">
        <Item Type="XYMove" FirstPoint="-1" SecondPoint="12" XPercentAlt="1.5" YPercentAlt="-0.25"/>
        <Item Type="CounterClockwiseExtension" FirstPoint="3" SecondPoint="32767" XPercentAlt="0" YPercentAlt="2147483.64699999988079071"/>
      </Rule>
      <Rule Name="SLEEVELONG" PieceUsage="Left"/>
    </Alteration>)", result.xml), "");
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

TEST(Alteration, EveryCodeSurvivesTheRoundTrip) {
  TempArea area;
  ByteBuilder b;
  const auto& usages = PieceUsageNames().Entries();
  const auto& types = AlterationTypeNames().Entries();
  b.I16(static_cast<int16_t>(usages.size()));
  for (const auto& [usage, name] : usages) {
    std::string ruleName = name;
    for (char& c : ruleName) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    RuleRecord(b, ruleName, usage, static_cast<int16_t>(types.size()));
    for (const auto& [type, typeName] : types) ItemRecord(b, type, type, -type, type * 1001, -type * 999);
  }
  std::string failure;
  EXPECT_EQ(RoundTrip(kAlteration, area, b, &failure), b.bytes()) << failure;

  auto exported = ExportBytes(kAlteration, area, b);
  for (const auto& [usage, name] : usages)
    EXPECT_NE(exported.xml.find("PieceUsage=\"" + name + "\""), std::string::npos) << name;
  for (const auto& [type, name] : types)
    EXPECT_NE(exported.xml.find("Type=\"" + name + "\""), std::string::npos) << name;
}

TEST(Alteration, UnknownCodesAndNames) {
  TempArea area;
  struct Case {
    const char* what;
    uint8_t usage, type;
  } unknownCodes[] = {{"piece usage 3", 3, 0}, {"type 5", 0, 5}, {"type 255", 0, 255}};
  for (const auto& c : unknownCodes) {
    ByteBuilder b;
    b.I16(1);
    RuleRecord(b, "R", c.usage, 1);
    ItemRecord(b, c.type, 1, 2, 0, 0);
    auto result = ExportBytes(kAlteration, area, b);
    EXPECT_EQ(result.code, 2) << c.what;
    EXPECT_EQ(LastErrorMessage().rfind("XML Validation Error:", 0), 0u) << c.what;
  }

  // Names outside the tables reach the writer only past validation; they give 0.
  auto outcome = ImportUnvalidated(kAlteration, area.path(), "ODD", R"(
      <Alteration xmlns="urn:tsln2xml:data/Alteration" Name="ODD">
        <Rule Name="R" PieceUsage="Sideways"><Item Type="Twist" FirstPoint="1" SecondPoint="2"/></Rule>
        <Rule Name="S"><Item/></Rule>
      </Alteration>)");
  ASSERT_EQ(outcome.code, 0) << outcome.message;
  ByteBuilder expected;
  expected.I16(2);
  RuleRecord(expected, "R", 0, 1);
  ItemRecord(expected, 0, 1, 2, 0, 0);
  RuleRecord(expected, "S", 0, 1);  // absent attributes take their defaults
  ItemRecord(expected, 0, 0, 0, 0, 0);
  EXPECT_EQ(area.GetItem(kAlteration, "ODD"), expected.bytes());
}

TEST(Alteration, UnusableItemsFail) {
  const std::vector<uint8_t> full = TwoRuleItem();
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty item", {}},
      {"half a header", {2}},
      {"negative rule count", ByteBuilder().I16(-1)},
      {"count beyond the records", ByteBuilder().I16(3).Bytes(std::vector<uint8_t>(full.begin() + 2, full.end()))},
      {"ends inside an item record", std::vector<uint8_t>(full.begin(), full.begin() + 2 + 14 + 20)},
      {"ends inside the last rule", std::vector<uint8_t>(full.begin(), full.end() - 1)},
      {"negative item count", ByteBuilder().I16(1).Text("R", 10).U8(0).U8(0).I16(-2)},
      {"item count beyond the item", ByteBuilder().I16(1).Text("R", 10).U8(0).U8(0).I16(32767)},
  };
  TempArea area;
  for (const auto& c : cases) {
    auto result = ExportBytes(kAlteration, area, c.bytes);
    EXPECT_EQ(result.code, 1) << c.what;
    EXPECT_EQ(LastErrorMessage(), "Unable to load Alteration library") << c.what;
  }
}

TEST(Alteration, DocumentFailures) {
  TempArea area;
  area.PutItem(kAlteration, "KEEP", TwoRuleItem());
  struct Case {
    const char* what;
    const char* xml;
  } invalid[] = {
      {"rule name over 10", R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"><Rule Name="ELEVENCHARS" PieceUsage="Left"/></Alteration>)"},
      {"unknown usage", R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"><Rule Name="R" PieceUsage="left"/></Alteration>)"},
      {"point beyond 16 bits", R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"><Rule Name="R" PieceUsage="Left"><Item Type="XYMove" FirstPoint="40000" SecondPoint="1" XPercentAlt="0" YPercentAlt="0"/></Rule></Alteration>)"},
      {"missing Y", R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"><Rule Name="R" PieceUsage="Left"><Item Type="XYMove" FirstPoint="1" SecondPoint="1" XPercentAlt="0"/></Rule></Alteration>)"},
  };
  for (const auto& c : invalid) {
    EXPECT_EQ(ImportFromString(kAlteration, area.path(), "KEEP", c.xml), 2) << c.what;
  }
  // X beyond what 32 bits hold in thousandths: a value the field cannot take.
  EXPECT_EQ(ImportFromString(kAlteration, area.path(), "KEEP",
                             R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"><Rule Name="R" PieceUsage="Left"><Item Type="XYMove" FirstPoint="1" SecondPoint="1" XPercentAlt="2147484" YPercentAlt="0"/></Rule></Alteration>)"),
            4);
  EXPECT_EQ(area.GetItem(kAlteration, "KEEP"), TwoRuleItem());
}

}  // namespace
}  // namespace tsln2xml::test
