// Lay limit libraries, lay rule searches and user environments through the
// exports and the store: byte-exact layouts both ways, the code tables and
// flag bits, the tilt records that older items lack, the single-precision
// area tolerance, the name check and the failures.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "converters/orders/lay_limit.h"
#include "converters/orders/lay_rule_search.h"
#include "converters/orders/user_environment.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

ByteBuilder LayLimitHeader(const char* c1, const char* c2, uint8_t spread, uint8_t bundling, int16_t count) {
  return ByteBuilder().Text(c1, 20).Text(c2, 20).U8(spread).U8(bundling).I16(count);
}
ByteBuilder& LayLimitEntry(ByteBuilder& b, const char* category, uint16_t flags, uint8_t flip, int16_t rule,
                           int32_t tilt, uint8_t units) {
  return b.Text(category, 20).U16(flags).U8(flip).U8(0).I16(rule).I32(tilt).U8(units).U8(0);
}

std::vector<uint8_t> Criteria(uint32_t flags, float tolerance, uint8_t sign = 0, int16_t tries = 0, int16_t util = 0) {
  return ByteBuilder().U32(flags).F32(tolerance).U8(sign).U8(0).I16(tries).I16(util).Zeros(34);
}

std::vector<uint8_t> Environment(uint16_t word, int32_t seam = 0, int16_t notation = 0, int16_t precision = 0,
                                 int16_t alteration = 0, int16_t bundle = 0, int32_t blockFuse = 0,
                                 int32_t reduceFuse = 0) {
  return ByteBuilder().I16(notation).I16(precision).I32(seam).I16(alteration).I16(bundle).U16(word).I32(blockFuse)
      .I32(reduceFuse).Zeros(20);
}

const char* const kOptionsAllFalse =
    R"(AllowInSplice="false" TiltInch="false" NoCut="false" NoInclude="false" NoPlot="false" OptionPiece="false" FoldPiece="false" Rotate45="false" Rotate90="false" Rotate180="false")";

TEST(LayLimit, BothWaysByteExact) {
  const std::string xml = std::string(R"(
      <LayLimit xmlns="urn:tsln2xml:data/LayLimit" version="1" Name="ONE" Comment1="FIRST" Comment2="SECOND" Spread="Tubular" Bundling="SameSizeSameDirection">
        <Entry Category="SLEEVE" FlipCode="Rotate45cwFlipX" BlockBufferRule="-3" CWTilt="2" CCWTilt="1" Units="Angular">
          <Options )") + kOptionsAllFalse + R"( OneWay="true" Major="true"/></Entry>
        <Entry Category="CUFF" FlipCode="FlipX" BlockBufferRule="32767" CWTilt="-0.5" CCWTilt="1.5" Units="Distance">
          <Options )" + kOptionsAllFalse + R"( OneWay="false" Major="false"/></Entry>
      </LayLimit>)";
  ByteBuilder item = LayLimitHeader("FIRST", "SECOND", 3, 2, 2);
  LayLimitEntry(item, "SLEEVE", 0xC000, 12, -3, 10000, 1);  // the smaller tilt in the entry record
  LayLimitEntry(item, "CUFF", 0, 3, 32767, -5000, 0);
  item.I32(20000).I32(10000).I32(-5000).I32(15000);
  TempArea area;
  EXPECT_EQ(ImportMatches(kLayLimit, area, xml, item), "");
  EXPECT_EQ(ExportMatches(kLayLimit, area, item, xml), "");

  // Bits 0 to 3 are not shown and are cleared on the way back.
  std::vector<uint8_t> lowBits = item;
  lowBits[44 + 20] = 0x0F;
  EXPECT_EQ(ExportMatches(kLayLimit, area, lowBits, xml), "");

  // An empty library is its header alone.
  const std::vector<uint8_t> empty = LayLimitHeader("", "", 0, 0, 0);
  EXPECT_EQ(RoundTrip(kLayLimit, area, empty), empty);

  // An entry needs its options.
  EXPECT_EQ(ImportFromString(kLayLimit, area.path(), "X", Replaced(xml, R"(<Options )" + std::string(kOptionsAllFalse) +
                                                                         R"( OneWay="false" Major="false"/>)", "")), 1);
  EXPECT_EQ(LastErrorMessage(), "Missing required <Options> element");
  EXPECT_FALSE(area.GetItem(kLayLimit, "X"));
}

TEST(LayLimit, TiltRecordsAreOptional) {
  ByteBuilder entries = LayLimitHeader("", "", 0, 0, 2);
  LayLimitEntry(entries, "A", 0x10, 1, 0, 2500, 0);
  LayLimitEntry(entries, "B", 0x20, 2, 0, -2500, 1);
  struct Case {
    const char* what;
    std::vector<uint8_t> item, written;
  } cases[] = {
      {"without tilt records", entries, ByteBuilder(entries).I32(2500).I32(2500).I32(-2500).I32(-2500)},
      {"second record cut", ByteBuilder(entries).I32(7500).I32(2500).I32(1), ByteBuilder(entries).I32(7500).I32(2500).I32(-2500).I32(-2500)},
      {"both records", ByteBuilder(entries).I32(7500).I32(2500).I32(-2500).I32(0), ByteBuilder(entries).I32(7500).I32(2500).I32(-2500).I32(0)},
  };
  TempArea area;
  for (const auto& c : cases) EXPECT_EQ(RoundTrip(kLayLimit, area, c.item), c.written) << c.what;
}

TEST(LayLimit, CodeTablesBothWays) {
  TempArea area;
  for (uint8_t flip = 1; flip <= 12; ++flip) {  // flip codes 1 to 12, spreads 0 to 3, bundlings 0 to 2, units 0 and 1
    const uint8_t spread = flip % 4, bundling = flip % 3, units = flip % 2;
    ByteBuilder item = LayLimitHeader("", "", spread, bundling, 1);
    LayLimitEntry(item, "X", 0, flip, 0, 0, units).I32(0).I32(0);
    EXPECT_EQ(RoundTrip(kLayLimit, area, item), item.bytes()) << int{flip};
  }
}

TEST(LayRuleSearch, EachFlagBitAloneBothWays) {
  const char* names[] = {"MarkerName", "Description", "OrderNumber",  "Width",      "LayLimits",
                         "BlockBuffer", "Matching",   "NumberOfModels", "ModelNames", "Alteration",
                         "ActualSizes", "AreaCompare", "CopyDynamics", "AllowOverrides", "ModelOptions"};
  TempArea area;
  for (unsigned bit = 0; bit < 15; ++bit) {
    std::string xml;
    // Bits 15 to 31 are not shown and are cleared on the way back.
    EXPECT_EQ(RoundTrip(kLayRuleSearch, area, Criteria(0xFFFF8000u | 1u << bit, 0), nullptr, &xml),
              Criteria(1u << bit, 0));
    EXPECT_NE(xml.find(std::string(names[bit]) + "=\"true\""), std::string::npos) << bit;
    EXPECT_EQ(xml.find("true"), xml.rfind("true")) << bit;
  }
  EXPECT_EQ(RoundTrip(kLayRuleSearch, area, Criteria(0xFFFFFFFF, 0)), Criteria(0x7FFF, 0));
}

TEST(LayRuleSearch, RecordLayoutAndAreaTolerance) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kLayRuleSearch, area.path(), "LRS", R"(
      <LayRuleSearch xmlns="urn:tsln2xml:data/LayRuleSearch" Name="LRS" AreaSign="Minus" AreaTolerance="0.1" AreaCompare="false" CopyDynamics="true" AllowOverrides="false" AcceptableUtilization="Acceptable" MaxTries="-300">
        <Criteria MarkerName="true" Description="false" OrderNumber="false" Width="false" LayLimits="false" BlockBuffer="false" Matching="false" NumberOfModels="false" ModelNames="false" Alteration="false" ActualSizes="false" ModelOptions="true"/>
      </LayRuleSearch>)"), 0) << LastErrorMessage();
  EXPECT_EQ(area.GetItem(kLayRuleSearch, "LRS"), Criteria(0x5001, 0.1f, 2, -300, 1));

  // The float is written as the shortest text that reads back as it.
  const std::pair<float, const char*> tolerances[] = {
      {0.1f, "0.1"}, {-2.5f, "-2.5"}, {1e-5f, "1e-005"}, {3.4028235e38f, "3.4028235e+038"}, {16777216.0f, "16777216"},
      {std::numeric_limits<float>::denorm_min(), "1e-045"}, {std::numeric_limits<float>::infinity(), "INF"},
      {std::nanf(""), "NaN"}};
  for (const auto& [value, text] : tolerances) {
    std::string xml;
    EXPECT_EQ(RoundTrip(kLayRuleSearch, area, Criteria(0, value), nullptr, &xml), Criteria(0, value)) << text;
    EXPECT_NE(xml.find(std::string("AreaTolerance=\"") + text + "\""), std::string::npos) << xml;
  }
  // Beyond the float range (what would round to infinity) is an overflow.
  for (const char* text : {"3.4028236e38", "-1e39"}) {
    const std::string document = Replaced(Example("LayRuleSearch/DEFAULT"), "0.1", text);
    EXPECT_EQ(ImportFromString(kLayRuleSearch, area.path(), "DEFAULT", document), 4) << text;
  }
}

TEST(UserEnvironment, OptionWordFieldsBothWays) {
  struct Case {
    uint16_t word;
    const char* attributes;  // Overwrite, IconMenu, LayRule, FillPiece, GradeMethod
  } cases[] = {
      {0x0000, R"(Overwrite="No" IconMenu="Off" LayRule="None" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x0001, R"(Overwrite="Yes" IconMenu="Off" LayRule="None" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x0002, R"(Overwrite="Prompt" IconMenu="Off" LayRule="None" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x0004, R"(Overwrite="No" IconMenu="On" LayRule="None" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x0008, R"(Overwrite="No" IconMenu="Off" LayRule="Force" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x0010, R"(Overwrite="No" IconMenu="Off" LayRule="Search" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x0200, R"(Overwrite="No" IconMenu="Off" LayRule="Slide" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x0400, R"(Overwrite="No" IconMenu="Off" LayRule="Category" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x0020, R"(Overwrite="No" IconMenu="Off" LayRule="None" FillPiece="On" GradeMethod="Cumulative")"},
      {0x0040, R"(Overwrite="No" IconMenu="Off" LayRule="None" FillPiece="On" GradeMethod="Incremental")"},
      {0x0080, R"(Overwrite="No" IconMenu="Off" LayRule="None" FillPiece="Off" GradeMethod="SmallToLarge")"},
      {0x0205, R"(Overwrite="Yes" IconMenu="On" LayRule="Slide" FillPiece="On" GradeMethod="SmallToLarge")"},
      {0x04C0, R"(Overwrite="No" IconMenu="Off" LayRule="Category" FillPiece="Off" GradeMethod="Incremental")"},
  };
  TempArea area;
  for (const auto& c : cases) {
    const std::string xml = std::string(R"(<UserEnvironment xmlns="urn:tsln2xml:data/UserEnvironment" version="1" Name="ONE"
        Precision="2" SeamAllowance="0.375" BlockFuseAmount="-1" ReduceFuseAmount="0.0625" Notation="Metric" Alteration="Cumulative" Bundle="Model" )") +
                            c.attributes + "/>";
    // Bits outside the fields are not shown and are cleared on the way back.
    std::string exported;
    const std::vector<uint8_t> highBits = Environment(c.word | 0xF900, 3750, 0, 2, 1, 1, -10000, 625);
    EXPECT_EQ(RoundTrip(kUserEnvironment, area, highBits, nullptr, &exported),
              Environment(c.word, 3750, 0, 2, 1, 1, -10000, 625))
        << c.attributes;
    EXPECT_EQ(CompareXml(xml, exported), "") << c.attributes;
  }
}

// Fractional amounts survive, truncated toward zero at 1/10000 (codes outside
// the tables: every_type_test).
TEST(UserEnvironment, FractionalAmounts) {
  TempArea area;
  const std::string head = R"(<UserEnvironment xmlns="urn:tsln2xml:data/UserEnvironment" Name="E" Precision="0" Notation="Imperial" Alteration="Nested" Bundle="Marker" Overwrite="No" IconMenu="Off" LayRule="None" FillPiece="On" GradeMethod="SmallToLarge" )";
  ASSERT_EQ(ImportFromString(kUserEnvironment, area.path(), "E",
                             head + R"(SeamAllowance="0.5" BlockFuseAmount="1" ReduceFuseAmount="-0.00019"/>)"), 0);
  EXPECT_EQ(area.GetItem(kUserEnvironment, "E"), Environment(0, 5000, 1, 0, 0, 0, 10000, -1));
}

// Two of the writers refuse a document whose name is not the item's.
TEST(LayParameters, InconsistentNames) {
  TempArea area;
  for (const char* file : {"LayRuleSearch/DEFAULT", "UserEnvironment/STANDARD"}) {
    const char* slash = strchr(file, '/');  // C's strchr gives a char* on some systems
    const std::string type(file, slash);
    const int16_t code = type == "LayRuleSearch" ? kLayRuleSearch : kUserEnvironment;
    const std::string document = Replaced(Example(file), std::string(strchr(file, '/') + 1) + "\"", "ITEM\"");
    ASSERT_EQ(ImportFromString(code, area.path(), "ITEM", document), 0) << LastErrorMessage();
    const std::vector<uint8_t> good = *area.GetItem(code, "ITEM");
    for (const char* other : {"item", "ITEM2", "ITE"}) {
      EXPECT_EQ(ImportFromString(code, area.path(), other, document), 1) << type << " as " << other;
      EXPECT_EQ(LastErrorMessage(), "Inconsistent name supplied");
    }
    EXPECT_EQ(area.GetItem(code, "ITEM"), good);  // "item" is the same item to the store
    EXPECT_FALSE(area.GetItem(code, "ITE"));
  }
}

}  // namespace
}  // namespace tsln2xml::test
