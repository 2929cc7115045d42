// Piece geometry blocks decoded from bytes written out by hand: the four
// coordinate modes with their signs, the reference points, and what each
// section does when the bytes run out (the point forms, options, deltas and
// ids in a document: marker_layout_test).

#include <gtest/gtest.h>

#include "core/exception.h"
#include "marker/piece_geometry.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

using marker::DecodePieceGeometry;
using marker::PieceGeometry;

constexpr size_t kNoLimit = 1 << 20;

PieceGeometry Decode(const std::vector<uint8_t>& block, int perimeter, int lines = 0, int8_t expanded = 0) {
  return DecodePieceGeometry(block, perimeter, lines, expanded, kNoLimit);
}

// A first point at (1000, 2000) in short form, absolute.
ByteBuilder Reference() { return std::move(ByteBuilder().U8(0x10).I32(1000).I32(2000)); }

TEST(MarkerGeometry, CoordinateModesAndTheirSigns) {
  const struct {
    const char* what;
    std::vector<uint8_t> point;  // the second point, after Reference()
    int32_t x, y;
  } cases[] = {
      {"absolute ignores the reference", ByteBuilder().U8(0x10).I32(-123456).I32(7), -123456, 7},
      {"12-bit: F0 FF gives dx -1", ByteBuilder().U8(0x30).U8(0xF0).U8(0xFF).U8(0x01), 999, 2001},
      {"12-bit: largest and a negative dy", ByteBuilder().U8(0x30).U8(0x7F).U8(0xFF).U8(0x00), 3047, 1744},
      {"12-bit: smallest", ByteBuilder().U8(0x30).U8(0x88).U8(0x00).U8(0x00), 1000 - 2048, 2000 - 2048},
      {"16-bit offsets", ByteBuilder().U8(0x50).I16(-32768).I16(32767), 1000 - 32768, 2000 + 32767},
      {"20-bit: all ones and the sign bit", ByteBuilder().U8(0x70).U16(0xFFFF).U16(0x0000).U8(0xF8), 999,
       2000 - 524288},
      {"20-bit: high nibbles", ByteBuilder().U8(0x70).U16(0x0001).U16(0x2345).U8(0x71), 1000 + 0x70001,
       2000 + 0x12345},
  };
  for (const auto& c : cases) {
    ByteBuilder block = Reference();
    block.Bytes(c.point);
    const PieceGeometry g = Decode(block, 2);
    ASSERT_EQ(g.perimeter.size(), 2u) << c.what;
    EXPECT_EQ(g.perimeter[1].rawX, c.x) << c.what;
    EXPECT_EQ(g.perimeter[1].rawY, c.y) << c.what;
    EXPECT_FLOAT_EQ(g.perimeter[1].x, static_cast<float>(c.x / 10000.0)) << c.what;
    EXPECT_EQ(g.perimeter[1].id, -1) << c.what;
  }
}

TEST(MarkerGeometry, InternalLinesShareTheLastPointOfTheLineBefore) {
  const std::vector<uint8_t> block = ByteBuilder()
      .U8(4).U8(0).I16(2)                // line 1: type 4, two points
      .U8(9).U8(0).I16(2)                // line 2: type 9, two points
      .U8(0x10).I32(500).I32(500)        // perimeter point: not a reference for lines
      .U8(0x50).I16(10).I16(20)          // line 1: from (0, 0)
      .U8(0x50).I16(30).I16(40)          // line 1: from (0, 0) again, not from (10, 20)
      .U8(0x50).I16(1).I16(1)            // line 2: from (30, 40), the last point of line 1
      .U8(0x50).I16(2).I16(2)            // line 2: from (30, 40) too
      .I16(71).I16(-72);                 // line ids
  const PieceGeometry g = Decode(block, 1, 2);
  ASSERT_EQ(g.lines.size(), 2u);
  EXPECT_EQ(g.lines[0].type, 4);
  EXPECT_EQ(g.lines[1].type, 9);
  EXPECT_EQ(g.lines[0].points[0].rawX, 10);
  EXPECT_EQ(g.lines[0].points[1].rawX, 30);
  EXPECT_EQ(g.lines[0].points[1].rawY, 40);
  EXPECT_EQ(g.lines[1].points[0].rawX, 31);
  EXPECT_EQ(g.lines[1].points[1].rawX, 32);
  EXPECT_EQ(g.lines[1].points[1].rawY, 42);
  EXPECT_EQ(g.lines[0].id, 71);
  EXPECT_EQ(g.lines[1].id, -72);
}

// What each section does when the block is too short.
TEST(MarkerGeometry, RunningOutOfBytesSectionBySection) {
  {  // Length 0 with three perimeter points: three zero points with id 0.
    const PieceGeometry g = Decode({}, 3);
    ASSERT_TRUE(g.complete);
    ASSERT_EQ(g.perimeter.size(), 3u);
    for (const auto& p : g.perimeter) {
      EXPECT_EQ(p.rawX, 0);
      EXPECT_EQ(p.type, 0);
      EXPECT_EQ(p.id, 0);
    }
  }
  {  // Section 1: heads only while four bytes are left.
    const PieceGeometry g = Decode(ByteBuilder().U8(1).U8(0).I16(0).U8(2).U8(0).I16(0).U8(3), 0, 3);
    EXPECT_EQ(g.lines.size(), 2u);
  }
  {  // Section 2: a point cut in its coordinates is a zero point, and so is
     // every point after it.
    const std::vector<uint8_t> block = ByteBuilder().U8(0x10).I32(100).I32(200).U8(0x50).I16(5);
    const PieceGeometry g = Decode(block, 3);
    ASSERT_EQ(g.perimeter.size(), 3u);
    EXPECT_EQ(g.perimeter[0].rawX, 100);
    EXPECT_EQ(g.perimeter[1].rawX, 0);
    EXPECT_EQ(g.perimeter[1].id, 0);
    EXPECT_EQ(g.perimeter[2].rawX, 0);
    EXPECT_TRUE(g.complete);
  }
  {  // Section 2: a point cut in its id.
    const PieceGeometry g = Decode(ByteBuilder().U8(0x90).I32(1).I32(2).U8(7), 1);
    EXPECT_EQ(g.perimeter[0].rawX, 0);
    EXPECT_EQ(g.perimeter[0].id, 0);
  }
  {  // Section 4: the last perimeter point's option byte is missing.
    const PieceGeometry g = Decode(ByteBuilder().U8(0x18).I32(1).I32(1).U8(0x18).I32(2).I32(2).I8(4), 2);
    EXPECT_FALSE(g.complete);
  }
  {  // Section 5: an internal point's option byte is missing.
    const std::vector<uint8_t> block = ByteBuilder().U8(0).U8(0).I16(1).U8(0x18).I32(2).I32(2);
    EXPECT_FALSE(Decode(block, 0, 1).complete);
  }
  {  // Section 6: extended notch types replace notch types while bytes last;
     // a table that is not extended leaves the bytes to the line ids.
    const std::vector<uint8_t> block = ByteBuilder()
        .U8(0).U8(0).I16(1)
        .U8(0x00).U8(0x02).I32(0).I32(0)   // perimeter, notch 2
        .U8(0x00).U8(0x05).I32(0).I32(0)   // internal, notch 5
        .U8(200);                          // one extended byte only
    PieceGeometry g = Decode(block, 1, 1, 1);
    EXPECT_EQ(g.perimeter[0].notchType, 200);
    EXPECT_EQ(g.lines[0].points[0].notchType, 5);
    EXPECT_EQ(g.lines[0].id, 0);
    for (int8_t expanded : {0, -1}) {
      g = Decode(ByteBuilder().Bytes(block).U8(1), 1, 1, expanded);
      EXPECT_EQ(g.perimeter[0].notchType, 2);
      EXPECT_EQ(g.lines[0].id, 200 + 256);
    }
  }
  {  // Section 7: ids while two bytes are left.
    const std::vector<uint8_t> block = ByteBuilder().U8(0).U8(0).I16(0).U8(0).U8(0).I16(0).I16(-9).U8(1);
    const PieceGeometry g = Decode(block, 0, 2);
    EXPECT_EQ(g.lines[0].id, -9);
    EXPECT_EQ(g.lines[1].id, 0);
  }
}

TEST(MarkerGeometry, CountsBeyondTheLimitFailInsteadOfMultiplyingZeroPoints) {
  // Sixteen thousand heads of 32767 points each fit in 64 KB of heads.
  ByteBuilder block;
  for (int i = 0; i < 16000; ++i) block.U8(0).U8(0).I16(32767);
  try {
    DecodePieceGeometry(block.bytes(), 32767, 16000, 0, 1000000);
    FAIL() << "no failure";
  } catch (const Tsln2XmlException& e) {
    EXPECT_EQ(e.Code(), 1);
    EXPECT_STREQ(e.what(), "MARKER.PIECE: more points than the marker data can hold");
  }
  EXPECT_EQ(DecodePieceGeometry({}, 5, 0, 0, 5).perimeter.size(), 5u);
}

}  // namespace
}  // namespace tsln2xml::test
