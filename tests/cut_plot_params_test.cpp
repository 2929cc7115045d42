// Cutter, marker plot and piece plot environments through the exports and the
// store: byte-exact records, round trips, scaled values that must come back
// to the same stored integer, the limits of the narrow counts, and unusable
// items and documents.

#include <gtest/gtest.h>

#include <string_view>

#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

constexpr std::string_view kSlotLetters = "CIOUDJPVEKQWFLRXGMSYHNTZ";

const std::string kCutterOpen =
    R"(<CutterEnvironment xmlns="urn:tsln2xml:data/CutterEnvironment" Name="X" NotchEnvironmentName="" ScaleX="100" ScaleY="100" PerimeterTool="Knife">)"
    R"(<CutterTable Type="Static" BiteLength="0" VariableBite="false" Width="0" Length="0"/>)"
    R"(<Bundling BundleType="Numeric" FirstBundle=""/>)"
    R"(<CutOptions BidirectionalCut="false" BidirectionalCutMirror="false" CutSmallFirst="false" CutNetParts="false" Automatch="false" NoOvercutOpenInternals="false" NCPlus="false" ASTM="false" CutSmallSlow="0" MaxMove="0" EdgeTolerance="0" FoldOvercut="0"/>)"
    R"(<BiteOptions Clip="0" ParkHead="0"/>)";
const std::string kCutterClose = "</CutterEnvironment>";

// A 210-byte cutter record: the fields a test sets, zeros elsewhere, the 24
// slot letters in place; `tools` gives a slot's tool by letter.
struct CutterRecord {
  int16_t type = 0, perimeterTool = 4, scaleX = 1000, scaleY = 1000;
  std::string tools = std::string(24, '\0');
  int8_t sequences = 0, drills = 0, extras = 0;
  uint16_t size194 = 210;
  std::vector<uint8_t> Bytes() const {
    ByteBuilder b;
    b.I16(type).Zeros(44).I16(perimeterTool).Zeros(12);
    for (size_t k = 0; k < 24; ++k) b.U8(static_cast<uint8_t>(kSlotLetters[k])).U8(0).I16(tools[k]);
    b.Zeros(30).I16(scaleX).I16(scaleY).Zeros(3).I8(sequences).U16(size194).I8(drills).I8(extras).Zeros(12);
    return b;
  }
};

TEST(CutterEnvironment, DocumentToExactRecordsAndBack) {
  ByteBuilder b;
  b.I16(2).I16(0).I16(1).Text("ABC", 4).I32(3).I32(-6).I16(1).I32(15000).Text("NOTCH", 22).I16(5).I16(95).I16(1);
  b.I32(20000).I32(INT32_MIN);
  for (char letter : kSlotLetters) b.U8(static_cast<uint8_t>(letter)).U8(0).I16(letter == 'Z' ? 2 : 0);
  b.I32(29).I32(12).I32(INT32_MAX).U8(1).U8(0).Zeros(12).I16(1).U8(1).U8(1).I16(999).I16(1000).I16(0).U8(0x05);
  // Two sequences; 210 + (4 + 2 + 3 + 4) + 4 at 194.
  b.I8(2).U16(227).I8(1).I8(1).Zeros(12);
  b.I16(9).Text("A,BB,CCC", 9).I16(1).U8(0);
  b.I16(-2).I32(2500).Zeros(6);
  b.U8('5').U8(0).I16(5);
  TempArea area;
  EXPECT_EQ(ImportMatches(kCutter, area, R"(
      <CutterEnvironment xmlns="urn:tsln2xml:data/CutterEnvironment" Name="X" NotchEnvironmentName="notch" ScaleX="99.95" ScaleY="100" PerimeterTool="Pen">
        <CutterTable Type="FixedBite" BiteLength="1.5" VariableBite="true" Width="0.0003" Length="-0.0006"/>
        <Bundling BundleType="Alphanumeric" FirstBundle="abcd"/>
        <CutOptions BidirectionalCut="true" BidirectionalCutMirror="true" CutSmallFirst="true" CutNetParts="true" Automatch="true" NoOvercutOpenInternals="true" NCPlus="false" ASTM="true" CutSmallSlow="95" MaxMove="0.0012" EdgeTolerance="0.0029" FoldOvercut="214748.3647"/>
        <BiteOptions Clip="-214748.3648" ParkHead="2"/>
        <InternalToolMap Internal="5" Tool="Pen"/>
        <InternalToolMap Internal="C" Tool="Labeler"/>
        <InternalToolMap Internal="Z" Tool="Drill2"/>
        <InternalToolMap Internal="Z" Tool="Knife"/>
        <PiecePriority><Category>a</Category><Category>bb</Category><Category>ccc</Category></PiecePriority>
        <PiecePriority/>
        <DrillSizeMap InternalId="-2" Diameter="0.25"/>
      </CutterEnvironment>)", b), "");
  std::string failure;
  EXPECT_EQ(RoundTrip(kCutter, area, b, &failure), b.bytes()) << failure;
  // Lengths with four decimals; "C" mapped to "Labeler" is stored as tool 0
  // and not read back; "Z" keeps its first tool.
  EXPECT_EQ(ExportMatches(kCutter, area, b, R"(
      <CutterEnvironment xmlns="urn:tsln2xml:data/CutterEnvironment" version="1" Name="ONE" NotchEnvironmentName="NOTCH" ScaleX="99.9000000000000056843419" ScaleY="100" PerimeterTool="Pen">
        <CutterTable Type="FixedBite" BiteLength="1.5000" VariableBite="true" Width="0.0003" Length="-0.0006"/>
        <Bundling BundleType="Alphanumeric" FirstBundle="ABC"/>
        <CutOptions BidirectionalCut="true" BidirectionalCutMirror="true" CutSmallFirst="true" CutNetParts="true" Automatch="true" NoOvercutOpenInternals="true" NCPlus="false" ASTM="true" CutSmallSlow="95" MaxMove="0.0012" EdgeTolerance="0.0029" FoldOvercut="214748.3647"/>
        <BiteOptions Clip="-214748.3648" ParkHead="2.0000"/>
        <InternalToolMap Internal="5" Tool="Pen"/>
        <InternalToolMap Internal="Z" Tool="Drill2"/>
        <PiecePriority><Category>A</Category><Category>BB</Category><Category>CCC</Category></PiecePriority>
        <PiecePriority/>
        <DrillSizeMap InternalId="-2" Diameter="0.2500"/>
      </CutterEnvironment>)"), "");
}

TEST(CutterEnvironment, StoredFormsReadBackAsTheWriterStoresThem) {
  // Types 3 and 4 come back as 0 and 1; a scale of 0 as 100 %; a sequence of
  // length 0 as an empty one (written back as its closing zero byte).
  TempArea area;
  std::string failure;
  for (int16_t type : {3, 4}) {
    CutterRecord in, out;
    in.type = type;
    in.scaleX = 0;
    in.sequences = out.sequences = 1;
    out.type = static_cast<int16_t>(type - 3);
    out.size194 = 214;
    const ByteBuilder sequence = type == 3 ? ByteBuilder().I16(0) : ByteBuilder().I16(1).U8(0);
    EXPECT_EQ(RoundTrip(kCutter, area, ByteBuilder().Bytes(in.Bytes()).Bytes(sequence), &failure),
              ByteBuilder().Bytes(out.Bytes()).I16(1).U8(0).bytes()) << type << failure;
  }

  // Every one of the 41 internal codes keeps its tool.
  CutterRecord all;
  all.tools = std::string(24, '\1');
  all.extras = 17;
  ByteBuilder allBytes;
  allBytes.Bytes(all.Bytes());
  for (char code : std::string_view("0123456789:;<=>?@")) allBytes.U8(static_cast<uint8_t>(code)).U8(0).I16(3);
  EXPECT_EQ(RoundTrip(kCutter, area, allBytes, &failure), allBytes.bytes()) << failure;
}

TEST(CutterEnvironment, WriterLimits) {
  const std::string category20 = "<Category>ABCDEFGHIJKLMNOPQRST</Category>";
  auto sequences = [&](int count, int categories) {
    return Repeated("<PiecePriority>" + Repeated(category20, categories) + "</PiecePriority>", count);
  };
  const std::pair<std::string, const char*> cases[] = {
      {sequences(128, 1), "Too many piece-priority sequences: 128 (at most 127)"},
      {sequences(1, 1600), "Too many bytes in a piece-priority sequence: 33600 (at most 32767)"},
      {Repeated(R"(<DrillSizeMap InternalId="1" Diameter="1"/>)", 128), "Too many drill sizes: 128 (at most 127)"},
      {"<PiecePriority><Category>A,B</Category></PiecePriority>", "Invalid Category \"A,B\": a category cannot hold \",\""},
  };
  TempArea area;
  for (const auto& [body, message] : cases) {
    EXPECT_EQ(ImportFromString(kCutter, area.path(), "X", kCutterOpen + body + kCutterClose), 1) << message;
    EXPECT_EQ(LastErrorMessage(), message);
    EXPECT_FALSE(area.GetItem(kCutter, "X"));
  }
  // The value at 194 keeps the low 16 bits of 210 + 4 * (4 + 800 * 21).
  ASSERT_EQ(ImportFromString(kCutter, area.path(), "BIG", kCutterOpen + sequences(4, 800) + kCutterClose), 0)
      << LastErrorMessage();
  const auto big = *area.GetItem(kCutter, "BIG");
  EXPECT_EQ(big[194] | big[195] << 8, (210 + 4 * (4 + 800 * 21)) & 0xFFFF);
  std::string failure;
  EXPECT_EQ(RoundTrip(kCutter, area, big, &failure), big) << failure;
}

TEST(MarkerPlotEnvironment, DocumentToExactRecordsAndBack) {
  ByteBuilder b;
  b.I16(-90).I16(999).I16(5000).Text("Notch", 22).U16(0x0057).I16(14).I16(3).I16(1).I16(7).I16(1).Text("abc", 4);
  b.I16(5).I16(1).I32(12).I32(-1).I32(25000).I32(29).I32(3).I16(1).I16(4).I16(2);
  b.I16(-7).I16(6).I16(300).I16(4);
  TempArea area;
  EXPECT_EQ(ImportMatches(kMarkerPlot, area, R"(
      <MarkerPlotEnvironment xmlns="urn:tsln2xml:data/MarkerPlotEnvironment" Name="X" NotchEnvironmentName="Notch" Rotation="-90" ScaleX="99.95" ScaleY="500" PerimeterTool="Knife" Separation="0.0003">
        <Options DieCutBlocks="true" Grain="true" Unplaced="false" MarkerBorder="Bottom" Pieces="Blocks" Matching="StripeFull"/>
        <Annotation MarkerLocation="BothEndOut" AllPieces="true" PieceLocation="Grain" BundleCodes="Alphanumeric" FirstBundle="abc" UseScale="false" PdsPiece="true" BundlePrompt="true"/>
        <Splice MinimumLength="-1" MaximumLength="2.5" Margin="0.0029" Separation="0.0012" Location="Inside" Annotate="true"/>
        <LabelToolMap Label="-7" Tool="Pen"/>
        <LabelToolMap Label="300" Tool="Knife"/>
      </MarkerPlotEnvironment>)", b), "");
  std::string failure;
  EXPECT_EQ(RoundTrip(kMarkerPlot, area, b, &failure), b.bytes()) << failure;
}

TEST(PiecePlotEnvironment, DocumentToExactRecordsAndBack) {
  TempArea area;
  std::string labels;
  ByteBuilder b;
  b.Text("n", 22).I16(90).I16(10).I16(2500).I8(1).I8(0).I8(1).I8(1).I8(0).I8(1).I8(0).I8(1).I8(0).I8(1).I8(4).U8(0);
  b.I16(2).I8(1).I8(4).I8(127).I8(2).U8(0x03).U8(0);
  b.Text("ABCDEFGHI", 9).Text("M", 9);
  for (int k = 0; k < 127; ++k) {
    labels += R"(<LabelToolMap Label=")" + std::to_string(k - 60) + R"(" Tool="Pen"/>)";
    b.I16(static_cast<int16_t>(k - 60)).I8(6);
  }
  const std::string doc =
      R"(<PiecePlotEnvironment xmlns="urn:tsln2xml:data/PiecePlotEnvironment" Name="X" NotchEnvironmentName="n" Rotation="90" ScaleX="1" ScaleY="250" PointAnnotation="true" GradingAnnotation="false" ConnectGradePoints="true" PieceAnnotation="Grain" PlotSizes="Single" PerimeterTool="Knife">
        <TitleBlockAnnotation Name="true" Date="false" Category="true" Description="false" GradingName="true" Area="false" Perimeter="true" Sizes="true" Labels="true" Location="TopRight"/>)" +
      labels + R"(<Size Name="ABCDEFGHIJK"/><Size Name="M"/></PiecePlotEnvironment>)";
  EXPECT_EQ(ImportMatches(kPiecePlot, area, doc, b), "");
  std::string failure;
  EXPECT_EQ(RoundTrip(kPiecePlot, area, b, &failure), b.bytes()) << failure;

  // One label more than the signed count holds.
  const std::string more = Replaced(doc, "<Size", R"(<LabelToolMap Label="999" Tool="Pen"/><Size)");
  EXPECT_EQ(ImportFromString(kPiecePlot, area.path(), "MANY", more), 1);
  EXPECT_EQ(LastErrorMessage(), "Too many LabelToolMap entries: 128 (at most 127)");
  EXPECT_FALSE(area.GetItem(kPiecePlot, "MANY"));
}

// Documents outside each type's table, each a small change to its example.
TEST(CutterPlotEnvironments, SchemasRefuseDocumentsOutsideTheirTables) {
  const std::string cutterTools = Repeated(R"(<InternalToolMap Internal="C" Tool="Pen"/>)", 42);
  struct Case {
    int16_t type;
    const char* example;
    std::string from, to;
  } cases[] = {
      {kCutter, "CutterEnvironment/CONVEYOR", R"(CutSmallSlow="80")", R"(CutSmallSlow="50")"},
      {kCutter, "CutterEnvironment/CONVEYOR", "<PiecePriority>", cutterTools + "<PiecePriority>"},
      {kMarkerPlot, "MarkerPlotEnvironment/FULLSCALE", R"(FirstBundle="A")", R"(FirstBundle="ABCD")"},
      {kMarkerPlot, "MarkerPlotEnvironment/FULLSCALE", R"(PerimeterTool="Pen")", R"(PerimeterTool="Drill1")"},
      {kPiecePlot, "PiecePlotEnvironment/CHECKPLOT", R"(<Size Name="M"/>)", R"(<Size Name="S"/>)"},
      {kPiecePlot, "PiecePlotEnvironment/CHECKPLOT", R"(ScaleY="250")", R"(ScaleY="501")"},
  };
  TempArea area;
  for (const auto& c : cases) {
    EXPECT_EQ(ImportFromString(c.type, area.path(), "X", Replaced(Example(c.example), c.from, c.to)), 2) << c.to;
    EXPECT_EQ(LastErrorMessage().rfind("XML Validation Error:", 0), 0u) << LastErrorMessage();
    EXPECT_FALSE(area.GetItem(c.type, "X"));
  }
}

}  // namespace
}  // namespace tsln2xml::test
