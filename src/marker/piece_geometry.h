#pragma once
// The geometry block of a marker piece: a byte stream read front to back.
// Its sections, in order: internal line heads, perimeter points, internal
// line points, perimeter point options, internal point options, extended
// notch types, internal line ids.
//
// An encoded point starts with a flag byte F. Bit 4 set: short form (type
// F & 7, option flag bit 3, notch type 0, no deltas). Otherwise type F & 15
// and an attribute byte A (option flag A >> 4, notch type A & 7, and when bit
// 3 of A is set an int32 delta x and delta y follow). Then the coordinates by
// mode (F >> 5) & 3: 0 absolute int32 x, y; 1 two 12-bit offsets in 3 bytes;
// 2 two int16 offsets; 3 two 20-bit offsets in 5 bytes. Offsets are added to
// the reference point. Bit 7 of F: a uint16 id follows (otherwise -1).
// Coordinates are ten-thousandths of the marker unit.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tsln2xml::marker {

struct GeometryPoint {
  int32_t rawX = 0, rawY = 0;  // the stored integers
  float x = 0, y = 0;          // divided by 10000
  uint8_t type = 0;
  uint8_t optionFlag = 0;
  uint8_t notchType = 0;
  bool hasDeltas = false;
  int32_t deltaX = 0, deltaY = 0;
  int32_t id = -1;
  std::optional<int8_t> option;  // the option code, for points with an option flag
};

struct GeometryLine {
  uint8_t type = 0;
  int16_t pointCount = 0;
  int16_t id = 0;  // 0 when the block holds no id for the line
  std::vector<GeometryPoint> points;
};

struct PieceGeometry {
  std::vector<GeometryPoint> perimeter;
  std::vector<GeometryLine> lines;
  // False when an option byte was missing: the piece then gets no lines.
  bool complete = true;
};

// Decodes a block. Running out of bytes is handled per section: a point that
// cannot be decoded is still added, with zero values and id 0; a missing
// option byte makes the block incomplete; missing heads, notch types and ids
// are left out. At most `pointLimit` points are decoded; a block declaring
// more fails with code 1 "MARKER.PIECE: more points than the marker data can
// hold", since its zero-valued points would be limited only by the counts.
PieceGeometry DecodePieceGeometry(std::span<const uint8_t> block, int32_t perimeterCount, int32_t lineCount,
                                  int8_t expandedNotchTable, size_t pointLimit);

// ------------------------------------------------------------- encoding

// How the builder encodes one point.
enum class CoordinateMode : uint8_t { kAbsolute = 0, kOffset12 = 1, kOffset16 = 2, kOffset20 = 3, kSmallest = 4 };
enum class PointForm : uint8_t { kShort, kLong, kShortWhenPossible };

struct PointInput {
  int32_t x = 0, y = 0;  // ten-thousandths
  uint8_t type = 0;      // 0 to 7 in short form, 0 to 15 in long form
  uint8_t notchType = 0; // 0 to 7; long form only
  std::optional<int8_t> option{};
  std::optional<std::pair<int32_t, int32_t>> deltas{};  // long form only
  std::optional<uint16_t> id{};
  std::optional<uint8_t> extendedNotchType{};  // written for notch types > 0 when the table is extended
  CoordinateMode mode = CoordinateMode::kSmallest;
  PointForm form = PointForm::kShortWhenPossible;
};

struct LineInput {
  uint8_t type = 0;
  std::optional<int16_t> id = 0;  // nullopt: no id written (then no later line's either)
  std::vector<PointInput> points{};
};

// Encodes a block that DecodePieceGeometry reads back into the same points.
// A point whose offset does not fit its mode, or whose form cannot carry its
// values, is a programming error (std::invalid_argument).
std::vector<uint8_t> EncodePieceGeometry(const std::vector<PointInput>& perimeter, const std::vector<LineInput>& lines,
                                         int8_t expandedNotchTable);

}  // namespace tsln2xml::marker
