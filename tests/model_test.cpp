// Models through the exports and the store: the three entry-group sizes, the
// option table written by seeking back, format versions 0 to 2, fabric
// letters and the writer's failures.

#include <gtest/gtest.h>

#include <array>

#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

ByteBuilder Header(std::string_view c1, int16_t entries, int16_t defaults, int16_t options, int8_t version,
                   uint8_t measure = 0) {
  ByteBuilder b;
  b.Text(c1, 40).Text("", 40).I16(entries).I16(defaults).I16(options).I8(version).U8(measure).Zeros(12);
  return b;
}

// A 29-byte entry record; "+" entries go on with PieceType (and Quantity).
ByteBuilder& EntryRecord(ByteBuilder& b, char condition, char operation, std::string_view size, std::string_view piece) {
  return b.U8(static_cast<uint8_t>(condition)).U8(static_cast<uint8_t>(operation)).Text(size, 7).Text(piece, 20);
}

ByteBuilder& Quantity(ByteBuilder& b, std::array<int8_t, 4> counts, uint8_t half, int8_t split, uint8_t add,
                      std::string_view fabric) {
  for (int8_t c : counts) b.I8(c);
  return b.U8(half).I8(split).U8(add).Text(fabric, 4);
}

ByteBuilder& Option(ByteBuilder& b, std::string_view name, int16_t entries, int32_t position) {
  return b.Text(name, 8).I16(entries).I32(position);
}

ByteBuilder& Shrink(ByteBuilder& b, double x, double y) { return b.F64(x).F64(y).Zeros(10); }

ByteBuilder& Names(ByteBuilder& b, std::string_view layLimit, std::string_view blockBuffer, std::string_view sizeCode,
                   std::string_view alteration) {
  return b.Text(layLimit, 21).Text(blockBuffer, 21).Text(sizeCode, 21).Text(alteration, 21);
}

constexpr const char* kShirt = R"(
  <Model xmlns="urn:tsln2xml:data/Model" version="1" Name="ONE" Comment1="MEN'S SHIRT" Comment2=""
         ShrinkStretchMeasure="Linear" AlterationName="ALT" BlockBufferName="BB" LayLimitName="LL" SizeCodeName="SC">
    <DefaultOption>SHORT</DefaultOption>
    <Entry Condition="EqualTo" Size="" Operation="Add" PieceName="FRONT" PieceType="Normal" FabricType="SL"
           CountAsInput="1" CountMirrorX="-1" CountMirrorY="127" CountMirrorXY="-56" HalfPiece="Any"
           DynamicSplitLimit="3" AddPiece="true" ShrinkX="1.5" ShrinkY="-0.25"/>
    <Option Name="A">
      <Entry Condition="LessThan" Size="M" Operation="Remove" PieceName="SLEEVE" PieceType="Normal" FabricType=""
             CountAsInput="0" CountMirrorX="0" CountMirrorY="0" CountMirrorXY="0" HalfPiece="None"
             DynamicSplitLimit="0" AddPiece="false" ShrinkX="0" ShrinkY="0"/>
      <Entry Condition="EqualTo" Size="" Operation="Add" PieceName="LABEL" PieceType="Paste" FabricType=""
             CountAsInput="0" CountMirrorX="0" CountMirrorY="0" CountMirrorXY="0" HalfPiece="None"
             DynamicSplitLimit="0" AddPiece="false" ShrinkX="0" ShrinkY="0"/>
    </Option>
    <Option Name="B"/>
    <Option Name="C">
      <Entry Condition="GreaterThan" Size="L" Operation="Add" PieceName="GUSSET" PieceType="Normal" FabricType="ABCD"
             CountAsInput="2" CountMirrorX="0" CountMirrorY="0" CountMirrorXY="0" HalfPiece="Same"
             DynamicSplitLimit="-1" AddPiece="false" ShrinkX="2" ShrinkY="3"/>
    </Option>
  </Model>)";

// The item of kShirt: entry groups of 41, 29, 30 and 41 bytes; option B has
// no entries and the position of C's first group.
std::vector<uint8_t> ShirtItem() {
  ByteBuilder b = Header("MEN'S SHIRT", 1, 1, 3, 2, 1);
  EntryRecord(b, '=', '+', "", "FRONT").U8(0);
  Quantity(b, {1, -1, 127, -56}, 2, 3, 1, "SL");
  b.Text("SHORT", 7);
  Option(b, "A", 2, 0);
  Option(b, "B", 0, 59);
  Option(b, "C", 1, 59);
  EntryRecord(b, '<', '-', "M", "SLEEVE");
  EntryRecord(b, '=', '+', "", "LABEL").U8(3);
  EntryRecord(b, '>', '+', "L", "GUSSET").U8(0);
  Quantity(b, {2, 0, 0, 0}, 1, -1, 0, "ABCD");
  Shrink(b, 1.5, -0.25);
  Shrink(Shrink(b, 0, 0), 0, 0);
  Shrink(b, 2, 3);
  return Names(b, "LL", "BB", "SC", "ALT");
}

TEST(Model, DocumentAndItemBothWays) {
  TempArea area;
  // Model-level entries are stored as "=", no size, "+"; texts upper-cased.
  std::string document = Replaced(kShirt, R"(Condition="EqualTo" Size="" Operation="Add" PieceName="FRONT")",
                                  R"(Condition="LessThan" Size="m" Operation="Remove" PieceName="front")");
  document = Replaced(Replaced(document, "MEN'S SHIRT", "men's shirt"), R"(Name="A")", R"(Name="a")");
  EXPECT_EQ(ImportMatches(kModel, area, document, ShirtItem()), "");
  EXPECT_EQ(ExportMatches(kModel, area, ShirtItem(), kShirt), "");
}

// Versions 0 and 1 lack the names record, version 0 the shrink records as
// well; bytes after the last record are ignored. Every readable item is
// written back as version 2.
TEST(Model, FormatVersions) {
  struct Case {
    int8_t version;
    bool shrink, names;
    size_t trailing;
    bool readable;
  } cases[] = {
      {0, false, false, 0, true}, {1, true, false, 0, true},  {2, true, true, 0, true},  {-3, false, false, 0, true},
      {0, false, false, 9, true}, {2, true, true, 30, true},  {3, true, true, 0, true},  {1, false, false, 0, false},
      {2, true, false, 0, false}, {2, false, false, 0, false},
  };
  TempArea area;
  for (const auto& c : cases) {
    ByteBuilder item = Header("", 1, 0, 0, c.version);
    EntryRecord(item, '=', '+', "", "P").U8(3);
    if (c.shrink) Shrink(item, 0.5, 2);
    if (c.names) Names(item, "L", "B", "S", "A");
    item.Zeros(c.trailing);
    std::string failure;
    const auto written = RoundTrip(kModel, area, item, &failure);
    if (!c.readable) {
      EXPECT_FALSE(written) << int{c.version};
      EXPECT_EQ(failure, "export: Unable to load Model");
      continue;
    }
    ByteBuilder expected = Header("", 1, 0, 0, 2);
    EntryRecord(expected, '=', '+', "", "P").U8(3);
    Shrink(expected, c.version >= 1 ? 0.5 : 0, c.version >= 1 ? 2 : 0);
    if (c.version >= 2)
      Names(expected, "L", "B", "S", "A");
    else
      Names(expected, "", "", "", "");
    EXPECT_EQ(written, expected.bytes()) << int{c.version} << " " << failure;
  }
}

// A count beyond its 8-bit field gives 4 (counts beyond 16 bits and values
// no field can hold: library_items_test).
TEST(Model, CountsBeyondEightBits) {
  TempArea area;
  for (const char* count : {R"(CountAsInput="200")", R"(CountAsInput="-129")"}) {
    const std::string document = Replaced(Example("Model/SHIRT"), R"(CountAsInput="2")", count);
    EXPECT_EQ(ImportFromString(kModel, area.path(), "X", document), 4) << count;
    EXPECT_FALSE(area.GetItem(kModel, "X"));
  }
}

// Fabric letters are read every one in order, blanks and zero bytes skipped.
TEST(Model, FabricLettersSkipBlanksAndZeros) {
  TempArea area;
  const std::pair<std::string_view, const char*> cases[] = {
      {std::string_view("a\0b\0", 4), "AB"}, {std::string_view(" \0 c", 4), "C"},
      {std::string_view("\0\0\0\0", 4), ""}, {std::string_view("wxyz", 4), "WXYZ"}};
  for (const auto& [field, letters] : cases) {
    ByteBuilder b = Header("", 1, 0, 0, 0);
    EntryRecord(b, '=', '+', "", "P").U8(0);
    Quantity(b, {0, 0, 0, 0}, 0, 0, 0, field);
    auto exported = ExportBytes(kModel, area, b);
    ASSERT_EQ(exported.code, 0) << LastErrorMessage();
    EXPECT_NE(exported.xml.find(std::string("FabricType=\"") + letters + "\""), std::string::npos) << letters;
  }
}

}  // namespace
}  // namespace tsln2xml::test
