// Orders through the exports and the store: interleaved axes, the first
// model record's point and flags, renumbered positions, corner order,
// messages with entry annotation only, the empty order, the failures and
// hostile items.

#include <gtest/gtest.h>

#include "converters/orders/order.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

ByteBuilder Header(int16_t models, int16_t constructs, bool fiveStar = true) {
  ByteBuilder b;
  b.Text("M1", 21).Text("SPRING, PLAID", 21).Text("A-1", 22).I32(2500000).I32(605000).U16(852);
  b.I32(10000).I32(5000).I32(12500).I32(-5000).I32(20000).I32(0).I32(0).I32(0).I32(30000).I32(0).I32(0).I32(0);
  b.Text("LL", 21).Text("AN", 21).Text("BB", 21).Text("MA", 21).Text("NE", 21).Text("BF", 21);
  return b.U8(3).Text("LR", 21).U8(fiveStar ? 1 : 0).U8(0).I16(models).I16(constructs);
}

// A 128-byte model record.
ByteBuilder& ModelRecord(ByteBuilder& b, std::string_view name, uint16_t position, uint16_t bundle, int16_t entries,
                         std::string_view fabric, int16_t options, int32_t x = 0, int32_t y = 0, uint8_t flags = 0) {
  b.Text(name, 21).Text(name.empty() ? "" : "AL", 21).Text(name.empty() ? "" : "DA", 21).Text(name.empty() ? "" : "SC", 21);
  return b.U16(position).U16(bundle).I16(entries).Text(fabric, 4).Zeros(2).I16(options).I32(x).I32(y).U8(flags).Zeros(21);
}

ByteBuilder& EntryRecord(ByteBuilder& b, std::string_view size, int16_t quantity, std::string_view cutDown,
                         std::string_view half, int16_t direction) {
  return b.Text(size, 8).I16(quantity).Text(cutDown, 7).Text(half, 7).Text("M", 8).I16(direction).Zeros(16);
}

// The item of kSpring with entry annotation on or off.
std::vector<uint8_t> SpringItem(bool annotation) {
  ByteBuilder b = Header(2, 1);
  ModelRecord(b, "SHIRT", 1, 1, 2, "SL", 2, 15000, -20000, annotation ? 3 : 1);
  b.Text("LONG", 7).Text("X", 7);
  EntryRecord(b, "S", 2, "", "", 1);
  EntryRecord(b, "M", 32767, "C", "H", 2);
  ModelRecord(b, "PANTS", 2, 0, 1, "", 0);
  EntryRecord(b, "L", 0, "", "", 0);
  // Corners stored lower left, upper right, upper left, lower right, repeat.
  b.Text("SEL", 21).Zeros(28).U8(1).U8(0).U8(0);
  for (int32_t v : {10000, 20000, 70000, 80000, 30000, 40000, 50000, 60000, 90000, 100000}) b.I32(v);
  b.Zeros(12);
  if (annotation) b.Text("LOT 7", 21).Text("", 21).Text("", 21);
  return b;
}

std::string Spring(bool annotation, std::string_view plaids, std::string_view stripes, bool messages) {
  const std::string model = R"(
    <Model Name="SHIRT" SizeCodeName="SC" AlterationName="AL" DynamicAlterationName="DA" Fabric="SL" AddPieceBundle="true">
      <Option Name="LONG"/><Option Name="X"/>
      <Entry Size="S" BaseSize="M" Quantity="2" CutDown="" HalfPiece="" PieceDirection="Left" MESSAGE1/>
      <Entry Size="M" BaseSize="M" Quantity="32767" CutDown="C" HalfPiece="H" PieceDirection="Right" MESSAGE2/>
    </Model>
    <Model Name="PANTS" SizeCodeName="SC" AlterationName="AL" DynamicAlterationName="DA" Fabric="" AddPieceBundle="false">
      <Entry Size="L" BaseSize="M" Quantity="0" CutDown="" HalfPiece="" PieceDirection="None" MESSAGE2/>
    </Model>)";
  std::string xml = std::string(R"(
  <Order xmlns="urn:tsln2xml:data/Order" version="1" Name="ONE" MarkerName="M1" Description="SPRING, PLAID" Number="A-1"
         LayLimitName="LL" AnnotationName="AN" BlockBufferName="BB" BlockFuseName="BF" NotchEnvironmentName="NE"
         MatchingName="MA" LayRuleName="LR" FiveStarMatching="true" Width="60.5" TargetLength="250"
         TargetUtilization="UTILIZATION" LayRuleType="Slide" ShrinkStretchUsage="Model" EntryAnnotation=")") +
                    (annotation ? "true" : "false") + R"(">)" + std::string(plaids) + std::string(stripes) +
                    R"(<ShrinkStretch X="1.5" Y="-2"/>)" + model + R"(
    <Construct Name="SEL" Plot="true" Cut="false">
      <LowerLeft X="1" Y="2"/><UpperLeft X="3" Y="4"/><LowerRight X="5" Y="6"/><UpperRight X="7" Y="8"/><Repeat X="9" Y="10"/>
    </Construct>
  </Order>)";
  xml = Replaced(xml, "MESSAGE1", messages ? R"(Message="LOT 7")" : "");
  for (int i = 0; i < 2; ++i) xml = Replaced(xml, "MESSAGE2", messages ? R"(Message="")" : "");
  return xml;
}

TEST(Order, DocumentAndItemBothWays) {
  const std::string fivePlaids = R"(<Plaid Repeat="1" Offset="0.5"/><Plaid Repeat="2" Offset="0"/><Plaid Repeat="3" Offset="0"/>
      <Plaid Repeat="4" Offset="4"/><Plaid Repeat="5" Offset="5"/>)";
  const std::string threePlaids = R"(<Plaid Repeat="1" Offset="0.5"/><Plaid Repeat="2" Offset="0"/><Plaid Repeat="3" Offset="0"/>)";
  const std::string oneStripe = R"(<Stripe Repeat="1.25" Offset="-0.5"/>)";
  const std::string threeStripes = oneStripe + R"(<Stripe Repeat="0" Offset="0"/><Stripe Repeat="0" Offset="0"/>)";
  TempArea area;
  for (bool annotation : {true, false}) {
    // Read with lower-case texts, five plaids, one stripe and messages given
    // even where annotation is off; 85.25 percent is stored as 852 tenths.
    std::string document = Replaced(Spring(annotation, fivePlaids, oneStripe, true), "UTILIZATION", "85.25");
    document = Replaced(Replaced(document, R"("SPRING, PLAID")", R"("spring, plaid")"), "LOT 7", "lot 7");
    EXPECT_EQ(ImportMatches(kOrder, area, document, SpringItem(annotation)), "") << annotation;
    const std::string expected =
        Replaced(Spring(annotation, threePlaids, threeStripes, annotation), "UTILIZATION", "85.2000000000000028421709");
    EXPECT_EQ(ExportMatches(kOrder, area, SpringItem(annotation), expected), "") << annotation;
  }
}

// Without models, one empty model record carries the point and the flags; it
// reads back as one empty Model (position 0, written again as 1).
TEST(Order, EmptyOrder) {
  ByteBuilder empty = Header(1, 0, false);
  ModelRecord(empty, "", 0, 0, 0, "", 0, 0, 1, 2);
  TempArea area;
  EXPECT_EQ(ImportMatches(kOrder, area, R"(
      <Order xmlns="urn:tsln2xml:data/Order" Name="EMPTY" MarkerName="M1" Description="SPRING, PLAID" Number="A-1"
             LayLimitName="LL" AnnotationName="AN" BlockBufferName="BB" BlockFuseName="BF" NotchEnvironmentName="NE"
             MatchingName="MA" LayRuleName="LR" FiveStarMatching="false" Width="60.5" TargetLength="250"
             TargetUtilization="85.2" LayRuleType="Slide" ShrinkStretchUsage="Order" EntryAnnotation="true">
        <Plaid Repeat="1" Offset="0.5"/><Plaid Repeat="2" Offset="0"/><Plaid Repeat="3" Offset="0"/>
        <Stripe Repeat="1.25" Offset="-0.5"/><ShrinkStretch X="0" Y="0.0001"/>
      </Order>)", empty), "");
  ByteBuilder again = Header(1, 0, false);
  ModelRecord(again, "", 1, 0, 0, "", 0, 0, 1, 2);
  std::string exported;
  EXPECT_EQ(RoundTrip(kOrder, area, empty, nullptr, &exported), again.bytes()) << exported;
  EXPECT_NE(exported.find(R"(<Model Name="" SizeCodeName="" AlterationName="" DynamicAlterationName="" Fabric="" AddPieceBundle="false"/>)"),
            std::string::npos) << exported;
}

// Every lay rule type both ways.
TEST(Order, LayRuleTypes) {
  TempArea area;
  std::vector<uint8_t> item = SpringItem(false);
  const char* names[] = {"Search", "Force", "CopyMarker", "Slide", "Category"};
  for (uint8_t code = 0; code < 5; ++code) {
    item[248] = code;
    std::string exported;
    EXPECT_EQ(RoundTrip(kOrder, area, item, nullptr, &exported), item) << names[code];
    EXPECT_NE(exported.find(std::string("LayRuleType=\"") + names[code] + "\""), std::string::npos) << names[code];
  }
}

// Counts beyond 16 bits inside the model records (values no field can hold:
// library_items_test).
TEST(Order, TooManyModelsOrOptions) {
  TempArea area;
  const std::string sound = Replaced(Spring(true, "", "", true), "UTILIZATION", "50");
  const std::string emptyModel =
      R"(<Model Name="" SizeCodeName="" AlterationName="" DynamicAlterationName="" Fabric="" AddPieceBundle="false"/>)";
  const std::pair<std::string, const char*> cases[] = {
      {Replaced(sound, "<Model ", Repeated(emptyModel, 32766) + "<Model "), "Too many Order models: 32768 (at most 32767)"},
      {Replaced(sound, R"(<Option Name="X"/>)", Repeated(R"(<Option Name="X"/>)", 32767)),
       "Too many options in an Order model: 32768 (at most 32767)"},
  };
  for (const auto& [xml, message] : cases) {
    EXPECT_EQ(ImportFromString(kOrder, area.path(), "X", xml), 1) << message;
    EXPECT_EQ(LastErrorMessage(), message);
  }
  EXPECT_FALSE(area.GetItem(kOrder, "X"));
}

}  // namespace
}  // namespace tsln2xml::test
