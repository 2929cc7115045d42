// Plots through the exports and the store: every record kind byte for byte in
// both directions, the fixed section order with the positions written back
// into the header, the values the writer computes, large records, and what
// the reader and the writer refuse.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

constexpr size_t kPositions = 4 + 120;  // the section positions in the stored header

ByteBuilder& Head(ByteBuilder& b, uint16_t tag, uint16_t size) { return b.U16(tag).U16(size); }
ByteBuilder Head(ByteBuilder&& b, uint16_t tag, uint16_t size) { return std::move(Head(b, tag, size)); }

ByteBuilder Header(int16_t headAnnotations, int16_t pieceAnnotations, int16_t pieces) {
  ByteBuilder b;
  Head(b, 0xEFBE, 140).Text("GENPTV1", 8).Text("P", 21).Zeros(1).U16(1).U16(2).I32(3).I32(4).I32(5).I32(6);
  b.I16(headAnnotations).I16(pieceAnnotations).I16(pieces).Zeros(2).Text("N", 12);
  for (int32_t i = 7; i <= 16; ++i) b.I32(i);
  b.I8(-1).I8(2).I32(17).I32(18);
  for (int i = 0; i < 5; ++i) b.I32(-1);
  return b;
}

constexpr const char* kHeaderElement =
    R"(<PlotHeader Signature="GENPTV1" PlotName="P" PlotFlags="1" PlotSource="2" MinX="3" MinY="4" MaxX="5" MaxY="6"
        NumBytesPc="N" DefaultCharacterSize="7" DefaultInterBoxsize="8" DefaultGradeBoxsize="9" TopSeparation="10"
        BottomSeparation="11" LeftSeparation="12" RightSeparation="13" ScissorSeparation="14" AbsoluteX="15"
        AbsoluteY="16" CutForce="-1" TabForce="2" CutLength="17" TabLength="18"/>)";

std::string Document(std::string_view body, std::string_view name = "ONE") {
  return R"(<Plot xmlns="urn:tsln2xml:data/Plot" version="1" Name=")" + std::string(name) + "\">" + kHeaderElement +
         std::string(body) + "</Plot>";
}

ByteBuilder& Annotation(ByteBuilder& b, uint16_t tag, uint16_t size, uint16_t length, uint16_t flags) {
  return Head(b, tag, size).U16(length).U16(flags).U8(1).U8(2).I32(1).I32(2).I32(3).I32(4).I32(5).I32(6);
}
constexpr const char* kAnnotationAttributes = R"(InternalType="1" LabelOrigin="2" MinX="1" MinY="2" MaxX="3" MaxY="4")";

// A count list of n values, the first ones given.
std::string Counts(size_t n, std::vector<unsigned> values) {
  values.resize(n);
  std::string list;
  for (unsigned v : values) list += (list.empty() ? "" : " ") + std::to_string(v);
  return list;
}

constexpr const char* kPage1Attributes =
    R"(MarkerName="MK" PaperWidth="1.5" PaperLength="0.25" Rotation="90" ScaleX="10" ScaleY="-10" NotchTable="NT"
       MarkerPlotParam="MPP" NumOverrides="1" PerimTool="3")";

std::string Page2Attributes() {
  std::string s = R"( OrderNumber="ORD" Description="DESC" Complete="YES")";
  const char* totals[] = {"ClothWidth",   "ClothLength",  "Utilization", "Area",           "PlaidRepeat",
                          "PlaidOffset",  "StripeRepeat", "StripeOffset", "TotalPerim",    "TotStraightPerim",
                          "TotCurvedPerim", "TotInternalLength", "TotStraightILength", "TotCurvedILength"};
  for (size_t i = 0; i < std::size(totals); ++i) s += std::string(" ") + totals[i] + "=\"" + std::to_string(i) + ".5\"";
  s += R"( LayLimits="LL" Matching="MA" Annotation="AN" BlockBuffer="BB" OrderName="ON" TotalSizes="2")";
  s += " PtAttrCnt=\"" + Counts(13, {65535, 40000}) + "\" NotchTypeCnt=\"" + Counts(5, {5}) + "\" IntlCnt=\"" +
       Counts(26, {}) + "\" Tool=\"" + Counts(26, {0, 1}) + "\"";
  return s;
}

ByteBuilder& ReportPages(ByteBuilder& b, int16_t models) {
  Head(b, 0x0600, 146).Text("MK", 21).Text("ORD", 21).Text("DESC", 21).Zeros(1).F64(1.5).F64(0.25).Zeros(12);
  b.I16(90).I16(10).I16(-10).Text("NT", 21).Text("MPP", 21).I16(1).I16(models).I16(3);
  Head(b, 0x0601, 406).Text("ORD", 21).Text("DESC", 21).Text("YES", 4);
  for (int i = 0; i < 14; ++i) b.F64(i + 0.5);
  for (const char* name : {"LL", "MA", "AN", "BB", "ON"}) b.Text(name, 21);
  b.Zeros(1).I16(2).U16(65535).U16(40000).Zeros(2 * 11).U16(5).Zeros(2 * 4).Zeros(2 * 26).U16(0).U16(1).Zeros(2 * 24);
  return b;
}

// Every record kind: a document and the item that the writer makes of it,
// with the section positions filled in.
TEST(Plot, EveryRecordKindByteForByteBothWays) {
  const std::string document = Document(std::string(R"(
      <HeadAnnotation Length="2" Flags="273" )") + kAnnotationAttributes + R"(>
        <Point X="5" Y="6"/><PlotDirection DeltaX="7" DeltaY="-8"/><PlotCharSize CharSize="9"/>
        <PlotCharSet CharSet="65535"/><Text>AB</Text></HeadAnnotation>
      <MarkerBorder><PlotPoint X="0" Y="0"/><PlotPoint X="9" Y="0"/><PlotPoint X="9" Y="9"/><PlotPoint X="0" Y="9"/>
        <PlotPoint X="0" Y="0"/></MarkerBorder>
      <SpliceMarks Flags="3"><PlotPoint X="-1" Y="-2"/></SpliceMarks>
      <MatchingMarks Spacing="5" Size="6"><Start X="1" Y="2"/><End X="3" Y="4"/></MatchingMarks>
      <Piece>
        <PieceBoundingBox MinX="1" MinY="2" MaxX="3" MaxY="4" PieceOffset="5"/>
        <PointList Flags="65535"><PlotPointAtt X="1" Y="2" Flags="3"/></PointList>
        <BoxPoint Flags="255" InternalType="2"><PlotPoint X="3" Y="4"/></BoxPoint>
        <PieceConnect InternalType="3"><PlotPoint X="5" Y="6"/></PieceConnect>
        <StartPos><PlotPoint X="7" Y="8"/></StartPos>
        <LiftPlunge/>
        <SelectPen/><SelectKnife/><LineTypeSel Value="-2"/>
        <UnknownTag TagType="2048" Size="1">ff</UnknownTag>
      </Piece>
      <Piece><PieceBoundingBox MinX="6" MinY="7" MaxX="8" MaxY="9" PieceOffset="10"/></Piece>
      <PieceAnnotation Length="1" Flags="512" )" + kAnnotationAttributes + R"(>
        <Point X="5" Y="6"/><Strokes><PointList Flags="4"><PlotPoint X="1" Y="1"/></PointList></Strokes>
      </PieceAnnotation>
      <Report )" + kPage1Attributes + R"( NumModels="1")" + Page2Attributes() + R"(>
        <ReportOverride Piece="FRONT" LeftRight="L" OverrideType="FLIP" Size="40" Model="SHIRT"/>
        <ReportOrderModel ModName="SHIRT" AltName="ALT" DynAltName="" SizeCode="MISSES" ModelNumber="1"
                          AddPieceBundle="-1" FabricType="A" ShStX="5" ShStY="6" OrderFlags="1">
          <ModelOption Name="OPT"/>
          <ModelList Size="40" Quant="2" Cutdown="" Halfpiece="H" BaseSize="40" Direction="-1"/>
        </ReportOrderModel>
      </Report>
      <UnknownTag TagType="1792" Size="3">010aff</UnknownTag>)");

  ByteBuilder b = Header(1, 1, 2);
  auto head = [&](uint16_t tag, uint16_t size) -> ByteBuilder& { return Head(b, tag, size); };
  std::vector<int32_t> positions;
  positions.push_back(static_cast<int32_t>(b.size()));
  Annotation(b, 0x0100, 30 + 8 + 4 + 2 + 2, 2, 273).I32(7).I32(-8).I32(9).U16(65535).Text("AB", 2);
  head(0x01FF, 0);
  positions.push_back(static_cast<int32_t>(b.size()));
  head(0x0200, 2 + 40).U16(5).I32(0).I32(0).I32(9).I32(0).I32(9).I32(9).I32(0).I32(9).I32(0).I32(0);
  head(0x0201, 4 + 8).U16(1).U16(3).I32(-1).I32(-2);
  head(0x0202, 24).I32(1).I32(2).I32(3).I32(4).I32(5).I32(6);
  head(0x02FF, 0);
  positions.push_back(static_cast<int32_t>(b.size()));
  head(0x0300, 40).I32(1).I32(2).I32(3).I32(4).I32(5).I32(6).I32(7).I32(8).I32(9).I32(10);
  head(0x0301, 4 + 10).U16(65535).U16(1).I32(1).I32(2).U16(3);
  head(0x0302, 4 + 8).U16(1).U8(255).U8(2).I32(3).I32(4);
  head(0x0303, 4 + 8).U16(1).U8(3).U8(0).I32(5).I32(6);
  head(0x0304, 2 + 8).U16(1).I32(7).I32(8);
  head(0x0305, 2).U16(0);
  head(0x0400, 0);
  head(0x0401, 0);
  head(0x0410, 1).I8(-2);
  head(0x0800, 1).U8(0xFF);
  head(0x03FF, 0);
  head(0x03FF, 0);
  positions.push_back(static_cast<int32_t>(b.size()));
  Annotation(b, 0x0500, 30 + 4 + 8, 1, 512).U16(4).U16(1).I32(1).I32(1);
  head(0x05FF, 0);
  positions.push_back(static_cast<int32_t>(b.size()));
  ReportPages(b, 1);
  head(0x0602, 64).Text("FRONT", 21).Text("L", 2).Text("FLIP", 12).Text("40", 7).Text("SHIRT", 21).Zeros(1);
  head(0x0603, 128 + 7 + 50).Text("SHIRT", 21).Text("ALT", 21).Text("", 21).Text("MISSES", 21).I16(1).I16(-1);
  b.I16(1).Text("A", 6).I16(1).I32(5).I32(6).I8(1).Zeros(21).Text("OPT", 7);
  b.Text("40", 8).I16(2).Text("", 7).Text("H", 7).Text("40", 8).I16(-1).Zeros(16);
  head(0x06FF, 0);
  head(0x0700, 3).U8(0x01).U8(0x0A).U8(0xFF);
  head(0xFFFF, 0);
  for (size_t i = 0; i < positions.size(); ++i) b.PatchI32(kPositions + 4 * i, positions[i]);
  TempArea area;
  EXPECT_EQ(ImportMatches(kPlot, area, document, b), "");
  EXPECT_EQ(ExportMatches(kPlot, area, b, document), "");
}

TEST(Plot, JustAHeaderHasEveryEndMarkerAndNoSections) {
  TempArea area;
  ByteBuilder expected = Header(0, 0, 0);
  for (uint16_t end : {0x01FF, 0x02FF, 0x05FF, 0x06FF, 0xFFFF}) Head(expected, end, 0);
  EXPECT_EQ(ImportMatches(kPlot, area, Document(""), expected), "");
  // A header and the end record alone read as a plot with just its header,
  // its texts read within their fields.
  std::vector<uint8_t> header = Header(0, 0, 0);
  header[4 + 7] = 'X';                                       // no NUL after the signature
  std::fill(header.begin() + 12, header.begin() + 33, 'A');  // 21 bytes of plot name
  ByteBuilder stored;
  Head(stored.Bytes(header), 0xFFFF, 0).U32(0xDEADBEEF);  // what follows the end is not read
  const std::string name = "PlotName=\"" + std::string(20, 'A') + "\"";
  EXPECT_EQ(ExportMatches(kPlot, area, stored, Replaced(Document(""), R"(PlotName="P")", name)), "");
}

TEST(Plot, WhatTheWriterComputesAndEveryElementWritten) {
  TempArea area;
  // Disagreeing Length, Size and NumModels; two borders and two reports, all
  // kept in document order; top-level pen records come back as unknown tags
  // after the report.
  const std::string border = R"(<MarkerBorder><PlotPoint X="1" Y="1"/><PlotPoint X="1" Y="1"/><PlotPoint X="1" Y="1"/>
      <PlotPoint X="1" Y="1"/><PlotPoint X="1" Y="1"/></MarkerBorder>)";
  const std::string report = std::string("<Report ") + kPage1Attributes + R"( NumModels="7")" + Page2Attributes() + "/>";
  const std::string document = Document(std::string(R"(<UnknownTag TagType="2" Size="9">0102</UnknownTag>
      <SelectPen/><HeadAnnotation Length="40" Flags="0" )") + kAnnotationAttributes + R"(><Point X="5" Y="6"/><Text>XYZ</Text></HeadAnnotation>)" +
      border + report + border + report);
  ByteBuilder expected = Header(1, 0, 0);
  expected.PatchI32(kPositions, 144);
  Annotation(expected, 0x0100, 33, 3, 0).Text("XYZ", 3);
  Head(expected, 0x01FF, 0);
  expected.PatchI32(kPositions + 4, static_cast<int32_t>(expected.size()));
  for (int i = 0; i < 2; ++i) {
    Head(expected, 0x0200, 42).U16(5);
    for (int k = 0; k < 10; ++k) expected.I32(1);
  }
  Head(Head(expected, 0x0400, 0), 0x02FF, 0);
  Head(expected, 0x05FF, 0);
  expected.PatchI32(kPositions + 16, static_cast<int32_t>(expected.size()));
  ReportPages(expected, 0);
  ReportPages(expected, 0);
  Head(expected, 0x06FF, 0);
  Head(expected, 0x0002, 2).U8(1).U8(2);
  Head(expected, 0xFFFF, 0);
  EXPECT_EQ(ImportMatches(kPlot, area, document, expected), "");
}

TEST(Plot, LargeRecordsKeepTheLowBitsOfTheirSize) {
  TempArea area;
  // 6600 attributed points are 66,004 bytes of data: the size holds its low
  // 16 bits and the reader finds the record by its own layout.
  std::string points;
  for (int i = 0; i < 6600; ++i) points += R"(<PlotPointAtt X=")" + std::to_string(i) + R"(" Y="-1" Flags="2"/>)";
  ASSERT_EQ(ImportFromString(kPlot, area.path(), "BIG", Document(R"(<Piece><PieceBoundingBox MinX="0" MinY="0" MaxX="0"
      MaxY="0" PieceOffset="0"/><PointList Flags="0">)" + points + "</PointList></Piece>")), 0) << LastErrorMessage();
  auto stored = *area.GetItem(kPlot, "BIG");
  const size_t piece = 144 + 4 + 4 + 4 + 20;
  EXPECT_EQ(stored[piece] | stored[piece + 1] << 8, 0x0301);
  EXPECT_EQ(stored[piece + 2] | stored[piece + 3] << 8, (4 + 66000) & 0xFFFF);
  std::string failure;
  EXPECT_EQ(RoundTrip(kPlot, area, stored, &failure), stored) << failure;
}

TEST(Plot, RawTextsAndSectionSizes) {
  TempArea area;
  // Text bytes that are no XML text go out in base64 and come back.
  ByteBuilder b = Header(1, 0, 0);
  Annotation(b, 0x0100, 34, 4, 0).U8(0).U8(1).U8('\r').U8('\n');
  Head(b, 0x01FF, 0);
  // A piece section of 45 bytes: two pieces, five bytes skipped before their runs.
  Head(b, 0x0300, 45).Zeros(40).Zeros(5);
  Head(Head(b, 0x0400, 0), 0x03FF, 0);
  Head(b, 0x03FF, 0);
  std::string failure, exported;
  const auto written = RoundTrip(kPlot, area, b, &failure, &exported);
  ASSERT_TRUE(written) << failure;
  EXPECT_NE(exported.find(R"(<Text Encoding="base64">AAENCg==</Text>)"), std::string::npos) << exported;
  EXPECT_NE(exported.find("<SelectPen/>"), std::string::npos);
  EXPECT_EQ(ExportMatches(kPlot, area, *written, exported), "");
}

TEST(Plot, UnknownTagsOfKnownTypesAreRefused) {
  TempArea area;
  const std::string box = R"(<PieceBoundingBox MinX="0" MinY="0" MaxX="0" MaxY="0" PieceOffset="0"/>)";
  for (unsigned type : {0xEFBE, 0x0100, 0x01FF, 0x0200, 0x0201, 0x0202, 0x02FF, 0x0300, 0x0500, 0x05FF, 0x0600, 0x0601,
                        0x0602, 0x0603, 0x06FF, 0xFFFF, 0x0301, 0x0302, 0x0303, 0x0304, 0x0305, 0x03FF, 0x0400, 0x0401,
                        0x0410}) {
    const bool inPiece = type > 0x0300 && type < 0x0500;
    const std::string tag = "<UnknownTag TagType=\"" + std::to_string(type) + "\"/>";
    EXPECT_EQ(ImportFromString(kPlot, area.path(), "X", Document(inPiece ? "<Piece>" + box + tag + "</Piece>" : tag)), 1)
        << type;
    EXPECT_EQ(LastErrorMessage(), "<UnknownTag> with TagType " + std::to_string(type) + " would read back as a known record" +
                                      (inPiece ? " of a piece" : ""));
  }
  // Types the reader keeps as unknown where they stand are written, and their
  // data is limited by the 16-bit size.
  ASSERT_EQ(ImportFromString(kPlot, area.path(), "X", Document("<Piece>" + box + R"(<UnknownTag TagType="768"/></Piece>
      <UnknownTag TagType="1024">)" + std::string(2 * 65535, 'a') + "</UnknownTag>")), 0) << LastErrorMessage();
  EXPECT_EQ(ImportFromString(kPlot, area.path(), "X", Document(R"(<UnknownTag TagType="7">)" + std::string(2 * 65536, '0') +
                                                               "</UnknownTag>")), 1);
  EXPECT_EQ(LastErrorMessage(), "Too many bytes in an <UnknownTag>: 65536 (at most 65535)");
}

// Records out of place (every record kind cut short, counts and sizes that
// reach past the item: every_type_test).
TEST(Plot, UnusableItemsFail) {
  const std::string invalid = "Error invalid plot file.";
  const std::string noPage1 = "Error invalid plot file.  Missing TAG_REPORT_DATA_PG1";
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string message;
  } cases[] = {
      {"empty item", {}, invalid},
      {"first record not a header", Head(ByteBuilder(), 0xFFFF, 0), invalid},
      {"page 2 before page 1", Head(Header(0, 0, 0), 0x0601, 406).Zeros(406), noPage1},
      {"override before page 1", Head(Header(0, 0, 0), 0x0602, 64).Zeros(64), noPage1},
      {"models before page 1", Head(Header(0, 0, 0), 0x0603, 0), noPage1},
      {"piece run without its end", Head(Header(0, 0, 0), 0x0300, 20).Zeros(20), "Error reading past end of file."},
  };
  TempArea area;
  for (const auto& c : cases) {
    EXPECT_EQ(ExportBytes(kPlot, area, c.bytes).code, 1) << c.what;
    EXPECT_EQ(LastErrorMessage(), c.message) << c.what;
  }
}

TEST(Plot, WriterRefusals) {
  TempArea area;
  area.PutItem(kPlot, "KEEP", {1, 2, 3});
  const std::string annotation = std::string("<HeadAnnotation Flags=\"FLAGS\" ") + kAnnotationAttributes + "><Point X=\"0\" Y=\"0\"/></HeadAnnotation>";
  auto withFlags = [&](const char* flags) { return Document(Replaced(annotation, "FLAGS", flags)); };
  const std::string pieces =
      Repeated(R"(<Piece><PieceBoundingBox MinX="0" MinY="0" MaxX="0" MaxY="0" PieceOffset="0"/></Piece>)", 3277);
  struct Case {
    const char* what;
    std::string document;
    std::string message;
  } cases[] = {
      {"signature", Replaced(Document(""), "GENPTV1", "GENPTV2"), "Incorrect <PlotHeader> signature"},
      {"no direction", withFlags("1"), "Missing required <PlotDirection> element"},
      {"no char size", withFlags("16"), "Missing required <PlotCharSize> element"},
      {"no char set", withFlags("256"), "Missing required <PlotCharSet> element"},
      {"no strokes", withFlags("512"), "Missing required <Strokes> element"},
      {"3277 pieces", Document(pieces), "Too many Piece elements: 3277 (at most 3276)"},
      {"bad base64", Document(std::string(R"(<HeadAnnotation Flags="0" )") + kAnnotationAttributes +
           R"(><Point X="0" Y="0"/><Text Encoding="base64">A=A</Text></HeadAnnotation>)"), "Invalid base64 data in <Text>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImportFromString(kPlot, area.path(), "KEEP", c.document), 1) << c.what;
    EXPECT_EQ(LastErrorMessage(), c.message) << c.what;
  }
  EXPECT_EQ(area.GetItem(kPlot, "KEEP"), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(Plot, SchemaLimits) {
  TempArea area;
  const std::string report = std::string("<Report ") + kPage1Attributes + R"( OrderNumber="O" Description="D")";
  const char* invalid[] = {
      R"(<MarkerBorder><PlotPoint X="0" Y="0"/></MarkerBorder>)",
      R"(<UnknownTag TagType="7">0</UnknownTag>)",
      R"(<SpliceMarks Flags="-1"/>)",
  };
  for (const char* body : invalid) EXPECT_EQ(ImportFromString(kPlot, area.path(), "X", Document(body)), 2) << body;
  EXPECT_EQ(ImportFromString(kPlot, area.path(), "X", Document(report + R"( PtAttrCnt=")" + Counts(14, {1}) + "\"/>")), 2);
  EXPECT_EQ(ImportFromString(kPlot, area.path(), "X", Replaced(Document(""), "GENPTV1", "GENPTV12")), 2);
  // A report without its second page's values: missing counts are 0.
  ASSERT_EQ(ImportFromString(kPlot, area.path(), "X", Document(report + R"( PtAttrCnt="7 65535"/>)")), 0)
      << LastErrorMessage();
  const auto stored = *area.GetItem(kPlot, "X");
  const size_t counts = 144 + 3 * 4 + 4 + 146 + 4 + 266;  // the header, 3 end markers, page 1, page 2's head
  ASSERT_GT(stored.size(), counts + 26);
  EXPECT_EQ(std::vector<uint8_t>(stored.begin() + counts, stored.begin() + counts + 26),
            ByteBuilder().U16(7).U16(65535).Zeros(22).bytes());
}

}  // namespace
}  // namespace tsln2xml::test
