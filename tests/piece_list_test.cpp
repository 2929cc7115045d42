// Piece lists through the exports and the store: byte-exact layouts both
// ways, names in order, double-byte names, and the failures.

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kPieceList = 21;

TEST(PieceList, ReadsNamesInOrder) {
  TempArea area;
  const std::string fullComment(40, 'c');
  ByteBuilder b = LibraryHeader(fullComment, "  second line ", 4, 40);
  b.Text("front", 20).Text("TWENTYCHARACTERSLONG", 20).Text("", 20).Text("A&B<C>", 20);
  EXPECT_EQ(ExportMatches(kPieceList, area, b, R"(
      <PieceList xmlns="urn:tsln2xml:data/PieceList" version="1" Name="ONE"
                 Comment1="CCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCC" Comment2="SECOND LINE">
        <PieceName>FRONT</PieceName>
        <PieceName>TWENTYCHARACTERSLONG</PieceName>
        <PieceName></PieceName>
        <PieceName>A&amp;B&lt;C&gt;</PieceName>
      </PieceList>)"), "");
}

TEST(PieceList, WritesNamesAsTwentyByteRecords) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kPieceList, area.path(), "LIST", R"(
      <PieceList xmlns="urn:tsln2xml:data/PieceList" Name="X" Comment1="spring" Comment2="">
        <PieceName>  back  </PieceName>
        <PieceName>twentycharacterslong</PieceName>
        <PieceName>Cuff &amp; band</PieceName>
        <PieceName/>
      </PieceList>)"), 0) << LastErrorMessage();
  ByteBuilder expected = LibraryHeader("SPRING", "", 4, 40);
  expected.Text("BACK", 20).Text("TWENTYCHARACTERSLONG", 20).Text("CUFF & BAND", 20).Text("", 20);
  EXPECT_EQ(area.GetItem(kPieceList, "LIST"), expected.bytes());
}

TEST(PieceList, DoubleByteNamesAreNeverSplit) {
  CodePageScope japanese(932);
  TempArea area;
  // Eleven katakana of two bytes each: only ten fit the 20-byte field. The
  // trail byte 0x61 of the first is a lower-case letter in ASCII and must
  // not be upper-cased.
  const std::string first = "\x83\x61";
  std::string eleven = first;
  for (int i = 0; i < 10; ++i) eleven += "\x83\x41";
  const std::string utf8 = platform::AnsiToUtf8(eleven);
  ASSERT_EQ(platform::Utf8ToUtf16(utf8).size(), 11u);
  ASSERT_EQ(ImportFromString(kPieceList, area.path(), "KANA",
                             R"(<PieceList xmlns="urn:tsln2xml:data/PieceList" Name="K" Comment1="" Comment2=""><PieceName>)" +
                                 utf8 + "</PieceName></PieceList>"),
            0) << LastErrorMessage();
  ByteBuilder expected = LibraryHeader("", "", 1, 40);
  expected.Text(eleven.substr(0, 20), 20);
  EXPECT_EQ(area.GetItem(kPieceList, "KANA"), expected.bytes());

  // A stored field whose last byte is a lead byte loses that half character.
  ByteBuilder cut = LibraryHeader("", "", 1, 40);
  cut.Text("ABCDEFGHIJKLMNOPQRS\x83", 20);
  auto exported = ExportBytes(kPieceList, area, cut);
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find("<PieceName>ABCDEFGHIJKLMNOPQRS</PieceName>"), std::string::npos) << exported.xml;
}

}  // namespace
}  // namespace tsln2xml::test
