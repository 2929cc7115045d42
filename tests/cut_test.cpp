// Cut files: the byte layout of every record kind both ways, raw NC and
// labeller bytes, the 8-bit header fields, the writer's refusals, hostile
// items, and NC data over the parser's former 10 MB text limit.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

const std::string kNs = R"(xmlns="urn:tsln2xml:data/Cut")";

struct Counts {
  int16_t overrides = 1, attributes = 2, labels = 1, models = 1;
};

ByteBuilder Header(Counts c = {}) {
  ByteBuilder b;
  b.Text("MARKER1", 21).Text("ORD-7", 21).Text("Spring line", 21).Text("M20 TEXT", 33).F64(60.5).F64(1234.25);
  b.U8(200).U8(255).Text("CUTTER", 21).Text("NOTCHES", 21).Text("12", 4).Text("34", 3).I8(-1);
  for (int i = 0; i < 12; ++i) b.F64(0.5 + i);
  b.Text("LAY", 21).Text("MATCH", 21).Text("ANNOT", 21).Text("BLOCK", 21);
  b.I16(1).I16(2).I16(3).I16(4).I16(5).I16(6);
  return b.I16(c.overrides).I16(c.attributes).I16(c.labels).I16(c.models);
}

ByteBuilder ModelRecord(int16_t sizes, int16_t options) {
  ByteBuilder b;
  b.Text("SHIRT", 21).Text("ALT", 21).Text("DYN", 21).Text("MISSES", 21).I16(7).I16(-2).I16(sizes).Text("DENI", 6);
  return b.I16(options).I32(-100000).I32(250).I8(-3).Zeros(21);
}

const std::string kNc = "N1\r\nG01X1Y2\r\n*M0*";

// An item in the writer's form with one record of every kind and labeller
// data that holds an escape character (base64 in the document).
std::vector<uint8_t> FullItem() {
  ByteBuilder b;
  b.Raw(kNc.data(), kNc.size());
  b.Bytes(Header());
  b.I16(65).I16(10);
  b.I16(66).I16(-4);
  b.Text("A", 2).I16(3).I16(9);
  b.Text("FRONT", 21).Text("L", 2).Text("FLIP", 12).Text("M", 7).Text("SHIRT", 21).Zeros(7);
  b.Bytes(ModelRecord(2, 1));
  b.Text("OPT1", 7);
  b.Text("S", 8).I16(12).Text("CD", 7).Text("HP", 7).Text("M", 8).I16(-1).Zeros(16);
  b.Text("L", 8).I16(0).Text("", 7).Text("", 7).Text("M", 8).I16(1).Zeros(16);
  b.Raw("\x1B" "LBL\r\n", 6);
  return b;
}

const std::string kFullDocument = R"(<Cut )" + kNs + R"( version="1" Name="ONE">
  <NCData>N1&#13;
G01X1Y2&#13;
*M0*</NCData>
  <Report MarkerName="MARKER1" OrderNumber="ORD-7" Description="Spring line" M20="M20 TEXT" ClothWidth="60.5"
          ClothLength="1234.25" Labeler="200" OpStop="255" CutParam="CUTTER" NotchParam="NOTCHES" EstTimeM="12"
          EstTimeS="34" Complete="-1" Utilization="0.5" PieceArea="1.5" PlaidRepeat="2.5" PlaidOffset="3.5"
          StripeRepeat="4.5" StripeOffset="5.5" TotalPerimeter="6.5" TotalStraightPerimeter="7.5"
          TotalCurvedPerimeter="8.5" TotalInternalLength="9.5" TotalStraightInternalLength="10.5"
          TotalCurvedInternalLength="11.5" LayLimits="LAY" Matching="MATCH" Annotation="ANNOT" BlockBuffer="BLOCK"
          Notch1Ct="1" Notch2Ct="2" Notch3Ct="3" Notch4Ct="4" Notch5Ct="5" TotalSizes="6">
    <Attribute AttributeChar="65" TotalNum="10"/>
    <Attribute AttributeChar="66" TotalNum="-4"/>
    <Label LabelChar="A" TotalNum="3" ToolNum="9"/>
    <Override Piece="FRONT" LeftRight="L" OverrideType="FLIP" Size="M" Model="SHIRT"/>
    <OrderModel ModName="SHIRT" AltName="ALT" DynAltName="DYN" SizeCode="MISSES" ModelNumber="7" AddPieceBundle="-2"
                FabricType="DENI" ShStX="-100000" ShStY="250" OrderFlags="-3">
      <ModelOption Name="OPT1"/>
      <ModelList Size="S" Quant="12" Cutdown="CD" Halfpiece="HP" BaseSize="M" Direction="-1"/>
      <ModelList Size="L" Quant="0" Cutdown="" Halfpiece="" BaseSize="M" Direction="1"/>
    </OrderModel>
  </Report>
  <LabellerData Encoding="base64">G0xCTA0K</LabellerData>
</Cut>)";

TEST(Cut, EveryRecordKindBothWays) {
  TempArea area;
  const std::vector<uint8_t> item = FullItem();
  EXPECT_EQ(ExportMatches(kCut, area, item, kFullDocument), "");
  EXPECT_EQ(ImportMatches(kCut, area, kFullDocument, item), "");
}

// A Report with every value empty or zero and no lists.
const std::string kEmptyReport = R"(<Report MarkerName="" OrderNumber="" Description="" M20="" ClothWidth="0" ClothLength="0"
    Labeler="0" OpStop="0" CutParam="" NotchParam="" EstTimeM="" EstTimeS="" Complete="0" Utilization="0" PieceArea="0"
    PlaidRepeat="0" PlaidOffset="0" StripeRepeat="0" StripeOffset="0" TotalPerimeter="0" TotalStraightPerimeter="0"
    TotalCurvedPerimeter="0" TotalInternalLength="0" TotalStraightInternalLength="0" TotalCurvedInternalLength="0"
    LayLimits="" Matching="" Annotation="" BlockBuffer="" Notch1Ct="0" Notch2Ct="0" Notch3Ct="0" Notch4Ct="0"
    Notch5Ct="0" TotalSizes="0">)";

std::string Document(const std::string& nc, const std::string& lists, const std::string& labeller = "") {
  return "<Cut " + kNs + R"( Name="C">)" + nc + kEmptyReport + lists + "</Report><LabellerData>" + labeller +
         "</LabellerData></Cut>";
}

// The writer's cut: a label keeps its first character.
TEST(Cut, WriterForm) {
  TempArea area;
  const std::string xml = Document("<NCData>G1&#13;\n*M0*</NCData>", R"(<Label LabelChar="AB" TotalNum="1" ToolNum="2"/>)", "LBL");
  ByteBuilder expected;
  expected.Raw("G1\r\n*M0*", 8).Zeros(360).I16(1).I16(0).Text("A", 2).I16(1).I16(2).Raw("LBL", 3);
  EXPECT_EQ(ImportMatches(kCut, area, xml, expected), "");
}

// Documents the writer refuses; the storage area keeps no item.
TEST(Cut, WriterRefusals) {
  const std::string attributes = Repeated(R"(<Attribute AttributeChar="1" TotalNum="1"/>)", 32768);
  const std::pair<std::string, const char*> cases[] = {
      {Document("<NCData>G1</NCData>", ""), "NC terminator '*M0*' missing at the end of <NCData>"},
      {Document("<NCData>*M0*G1</NCData>", ""), "NC terminator '*M0*' missing at the end of <NCData>"},
      {Document("<NCData>G1*M0*G2*M0*</NCData>", ""), "<NCData> holds the NC terminator '*M0*' before its end"},
      {Document("<NCData>*M0*M0*</NCData>", ""), "<NCData> holds the NC terminator '*M0*' before its end"},
      {Document(R"(<NCData Encoding="base64">Kk0wKg=</NCData>)", ""), "Invalid base64 content in <NCData>"},
      {Document("<NCData>*M0*</NCData>", attributes), "Too many Cut attributes: 32768 (at most 32767)"},
  };
  TempArea area;
  for (const auto& [xml, message] : cases) {
    EXPECT_EQ(ImportFromString(kCut, area.path(), "C", xml), 1) << message;
    EXPECT_EQ(LastErrorMessage(), message);
  }
  EXPECT_FALSE(area.GetItem(kCut, "C"));
}

// The schema refuses documents outside its table.
TEST(Cut, SchemaRefusesForeignDocuments) {
  const std::pair<const char*, const char*> cases[] = {
      {R"(Encoding="base64")", R"(Encoding="hex")"},
      {R"(Labeler="200")", R"(Labeler="256")"},
      {R"(FabricType="DENI")", R"(FabricType="DENIM")"},
      {R"(<Attribute AttributeChar="65" TotalNum="10"/>)",
       R"(<Label LabelChar="A" TotalNum="3" ToolNum="9"/><Attribute AttributeChar="65" TotalNum="10"/>)"},
      {R"(<ModelOption Name="OPT1"/>)", R"(<ModelList Size="S" Quant="12" Cutdown="CD" Halfpiece="HP" BaseSize="M"
          Direction="-1"/><ModelOption Name="OPT1"/>)"},
  };
  TempArea area;
  for (const auto& [from, to] : cases) {
    EXPECT_EQ(ImportFromString(kCut, area.path(), "C", Replaced(kFullDocument, from, to)), 2) << from << " -> " << to;
  }
  EXPECT_FALSE(area.GetItem(kCut, "C"));
}

// The first terminator splits the item; an item without one fails to export
// (short items and impossible counts: every_type_test).
TEST(Cut, AnItemWithoutTheTerminatorFails) {
  TempArea area;
  EXPECT_EQ(ExportBytes(kCut, area, ByteBuilder().Raw("G1*M0", 5).Zeros(400)).code, 1);
  EXPECT_EQ(LastErrorMessage(), "NC terminator '*M0*' missing");
}

// 12 MB of NC data in CRLF lines, over libxml2's default 10 MB text limit,
// goes out and comes back; an invalid document holding it reports its error
// at once, on the right line.
TEST(Cut, LargeNcData) {
  std::string nc;
  nc.reserve(12u << 20);
  for (int i = 0; nc.size() < (12u << 20); ++i) nc += "G01X" + std::to_string(i) + "Y" + std::to_string(i % 997) + "\r\n";
  nc += "*M0*";
  ByteBuilder b;
  b.Raw(nc.data(), nc.size()).Bytes(Header({0, 0, 0, 0}));
  const std::vector<uint8_t> item = b;
  TempArea area;
  std::string failure, exported;
  EXPECT_EQ(RoundTrip(kCut, area, item, &failure, &exported), item) << failure.substr(0, 300);

  const std::string invalid = Replaced(exported, R"(Labeler="200")", R"(Labeler="-1")");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ImportFromString(kCut, area.path(), "BAD", invalid), 2);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  const std::string report = LastErrorMessage();
  const auto line = 1 + std::count(invalid.begin(), invalid.begin() + static_cast<ptrdiff_t>(invalid.find("<Report")), '\n');
  EXPECT_NE(report.find("\nline: " + std::to_string(line) + "\n"), std::string::npos) << report.substr(0, 400);
  const size_t source = report.find("\nSource: ");
  ASSERT_NE(source, std::string::npos) << report.substr(0, 400);
  EXPECT_EQ(report.find_first_not_of(' ', source + 9), report.find("<Report MarkerName=", source)) << report.substr(0, 400);
}

}  // namespace
}  // namespace tsln2xml::test
