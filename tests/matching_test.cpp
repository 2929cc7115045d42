// Matching libraries through the exports and the store: byte-exact layouts
// both ways, plaid and stripe kept apart, the code tables and the failures.

#include <gtest/gtest.h>

#include "converters/library/matching.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kMatching = 11;

struct Axis {
  uint8_t type;
  int32_t offset;
  uint8_t units;
  int8_t repeat;
};

// A 92-byte rule record.
ByteBuilder& RuleRecord(ByteBuilder& b, int16_t number, std::string_view comment, std::string_view cat1, int16_t num1,
                        std::string_view cat2, int16_t num2, Axis plaid, Axis stripe, int16_t target) {
  b.I16(number).Text(comment, 20).Text(cat1, 20).I16(num1).Text(cat2, 20).I16(num2);
  b.U8(plaid.type).U8(0).I32(plaid.offset).U8(plaid.units).U8(0).I8(plaid.repeat);
  b.U8(stripe.type).I32(stripe.offset).U8(stripe.units).U8(0).I8(stripe.repeat).U8(0);
  return b.I16(target).Zeros(6);
}

constexpr const char* kSameAndCentered = R"(
    <Matching xmlns="urn:tsln2xml:data/Matching" version="1" Name="LIB" Comment1="PLAIDS" Comment2="">
      <Rule Number="12" Comment="CENTRE FRONT" Target="Fabric">
        <Plaid Type="Same" Repeat="2"><Offset Amount="0.5" Units="Distance"/></Plaid>
        <Stripe Type="SymmetricCentered" Repeat="0"><Offset Amount="10" Units="Percentage"/></Stripe>
        <Point Category="POCKET" Number="3"/>
        <Point Category="FRONT" Number="-1"/>
      </Rule>
    </Matching>)";

TEST(Matching, PlaidAndStripeKeepTheirOwnValues) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kMatching, area.path(), "LIB", R"(
      <Matching xmlns="urn:tsln2xml:data/Matching" Name="X" Comment1="plaids" Comment2=" ">
        <Rule Number="12" Comment="centre front" Target="Fabric">
          <Plaid Type="Same" Repeat="2"><Offset Amount="0.5" Units="Distance"/></Plaid>
          <Stripe Type="SymmetricCentered" Repeat="0"><Offset Amount="10" Units="Percentage"/></Stripe>
          <Point Category="pocket" Number="3"/>
          <Point Category=" Front " Number="-1"/>
        </Rule>
      </Matching>)"), 0) << LastErrorMessage();
  ByteBuilder expected = LibraryHeader("PLAIDS", "", 1);
  RuleRecord(expected, 12, "CENTRE FRONT", "POCKET", 3, "FRONT", -1, {2, 5000, 0, 2}, {4, 100000, 1, 0}, 1);
  EXPECT_EQ(area.GetItem(kMatching, "LIB"), expected.bytes());

  EXPECT_EQ(ExportMatches(kMatching, area, "LIB", kSameAndCentered), "");
}

TEST(Matching, ReadsStoreRecordsIntoTheDocument) {
  TempArea area;
  ByteBuilder b = LibraryHeader("", "stripes", 2);
  RuleRecord(b, -7, "", "sleeve", 32767, "", 0, {1, -12345, 1, -128}, {3, 0, 0, 127}, 0);
  RuleRecord(b, 0, "x", "A", 1, "B", 2, {0, 0, 0, 0}, {0, 0, 0, 0}, 0);
  EXPECT_EQ(ExportMatches(kMatching, area, b, R"(
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
      </Matching>)"), "");
}

// Changes to the example: two points a rule, and a repeat its field holds.
TEST(Matching, DocumentFailures) {
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

}  // namespace
}  // namespace tsln2xml::test
