#include "marker/piece_geometry.h"

#include <stdexcept>

#include "core/exception.h"
#include "platform/byte_cursor.h"

namespace tsln2xml::marker {
namespace {

using platform::ByteCursor;

constexpr uint8_t kShortForm = 0x10;
constexpr uint8_t kShortOption = 0x08;
constexpr uint8_t kHasId = 0x80;
constexpr uint8_t kHasDeltas = 0x08;
constexpr size_t kCoordinateBytes[4] = {8, 3, 4, 5};

// The two's-complement value of the low `bits` bits of `v`.
int32_t SignExtend(uint32_t v, int bits) {
  const uint32_t sign = 1u << (bits - 1);
  v &= (sign << 1) - 1;
  return static_cast<int32_t>((v ^ sign) - sign);
}

// Adds with 32-bit wrap-around: stored values are whatever the bytes say.
int32_t Offset(int32_t reference, int32_t delta) {
  return static_cast<int32_t>(static_cast<uint32_t>(reference) + static_cast<uint32_t>(delta));
}

struct Raw {
  int32_t x = 0, y = 0;
};

// Decodes one point; false when the bytes run out within it.
bool DecodePoint(ByteCursor& c, Raw reference, GeometryPoint& p) {
  if (c.Remaining() < 1) return false;
  const uint8_t f = c.U8();
  if (f & kShortForm) {
    p.type = f & 0x07;
    p.optionFlag = (f & kShortOption) ? 1 : 0;
  } else {
    if (c.Remaining() < 1) return false;
    const uint8_t a = c.U8();
    p.type = f & 0x0F;
    p.optionFlag = a >> 4;
    p.notchType = a & 0x07;
    if (a & kHasDeltas) {
      if (c.Remaining() < 8) return false;
      p.hasDeltas = true;
      p.deltaX = c.I32();
      p.deltaY = c.I32();
    }
  }
  const int mode = (f >> 5) & 3;
  if (c.Remaining() < kCoordinateBytes[mode]) return false;
  switch (mode) {
    case 0:
      p.rawX = c.I32();
      p.rawY = c.I32();
      break;
    case 1: {
      const uint8_t b0 = c.U8(), b1 = c.U8(), b2 = c.U8();
      p.rawX = Offset(reference.x, SignExtend(static_cast<uint32_t>(b0 >> 4) << 8 | b1, 12));
      p.rawY = Offset(reference.y, SignExtend(static_cast<uint32_t>(b0 & 0x0F) << 8 | b2, 12));
      break;
    }
    case 2: {
      const int16_t dx = c.I16(), dy = c.I16();
      p.rawX = Offset(reference.x, dx);
      p.rawY = Offset(reference.y, dy);
      break;
    }
    default: {
      const uint16_t u0 = c.U16(), u1 = c.U16();
      const uint8_t b4 = c.U8();
      p.rawX = Offset(reference.x, SignExtend(static_cast<uint32_t>(b4 >> 4) << 16 | u0, 20));
      p.rawY = Offset(reference.y, SignExtend(static_cast<uint32_t>(b4 & 0x0F) << 16 | u1, 20));
      break;
    }
  }
  if (f & kHasId) {
    if (c.Remaining() < 2) return false;
    p.id = c.U16();
  }
  p.x = static_cast<float>(p.rawX / 10000.0);
  p.y = static_cast<float>(p.rawY / 10000.0);
  return true;
}

// The next point of a section: decoded, or, when the stream ends within it,
// a zero point (id 0) that leaves the reference as it was and the stream at
// its end.
GeometryPoint NextPoint(ByteCursor& c, Raw reference, Raw& last) {
  GeometryPoint p;
  if (DecodePoint(c, reference, p)) {
    last = {p.rawX, p.rawY};
    return p;
  }
  c.Seek(c.Size());
  GeometryPoint zero;
  zero.id = 0;
  return zero;
}

class PointCounter {
 public:
  explicit PointCounter(size_t limit) : left_(limit) {}
  void Take() {
    if (left_ == 0) throw Tsln2XmlException(kContentUnusable, "MARKER.PIECE: more points than the marker data can hold");
    --left_;
  }

 private:
  size_t left_;
};

// Section 4 or 5: one option byte per point with an option flag; false when
// one is missing.
bool ReadOptions(ByteCursor& c, std::vector<GeometryPoint>& points) {
  for (auto& p : points) {
    if (p.optionFlag == 0) continue;
    if (c.Remaining() < 1) return false;
    p.option = c.I8();
  }
  return true;
}

// Section 6: a byte per notched point replaces its notch type, while bytes last.
bool ReadNotchTypes(ByteCursor& c, std::vector<GeometryPoint>& points) {
  for (auto& p : points) {
    if (p.notchType == 0) continue;
    if (c.Remaining() < 1) return false;
    p.notchType = c.U8();
  }
  return true;
}

}  // namespace

PieceGeometry DecodePieceGeometry(std::span<const uint8_t> block, int32_t perimeterCount, int32_t lineCount,
                                  int8_t expandedNotchTable, size_t pointLimit) {
  ByteCursor c(block);
  PieceGeometry g;
  PointCounter counter(pointLimit);

  for (int32_t i = 0; i < lineCount && c.Remaining() >= 4; ++i) {
    GeometryLine line;
    line.type = c.U8();
    c.Skip(1);
    line.pointCount = c.I16();
    g.lines.push_back(std::move(line));
  }

  Raw last;
  for (int32_t i = 0; i < perimeterCount; ++i) {
    counter.Take();
    g.perimeter.push_back(NextPoint(c, last, last));
  }

  // Every point of a line is offset from the last point of the line before.
  last = {};
  for (auto& line : g.lines) {
    const Raw reference = last;
    for (int32_t i = 0; i < line.pointCount; ++i) {
      counter.Take();
      line.points.push_back(NextPoint(c, reference, last));
    }
  }

  if (!ReadOptions(c, g.perimeter)) {
    g.complete = false;
    return g;
  }
  for (auto& line : g.lines) {
    if (!ReadOptions(c, line.points)) {
      g.complete = false;
      return g;
    }
  }

  if (expandedNotchTable > 0 && c.Remaining() > 0) {
    bool more = ReadNotchTypes(c, g.perimeter);
    for (auto& line : g.lines)
      if (more) more = ReadNotchTypes(c, line.points);
  }

  for (auto& line : g.lines) {
    if (c.Remaining() < 2) break;
    line.id = c.I16();
  }
  return g;
}

// ------------------------------------------------------------- encoding

namespace {

void Put8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }
void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool Fits(int64_t v, int bits) { return v >= -(int64_t{1} << (bits - 1)) && v < (int64_t{1} << (bits - 1)); }

void EncodePoint(std::vector<uint8_t>& out, const PointInput& p, Raw reference) {
  const bool shortPossible = p.type <= 7 && p.notchType == 0 && !p.deltas;
  const bool shortForm = p.form == PointForm::kShort || (p.form == PointForm::kShortWhenPossible && shortPossible);
  if (shortForm && !shortPossible) throw std::invalid_argument("point cannot be written in short form");
  if (p.type > 15 || p.notchType > 7) throw std::invalid_argument("point type or notch type out of range");

  const int64_t dx = int64_t{p.x} - reference.x, dy = int64_t{p.y} - reference.y;
  int mode = static_cast<int>(p.mode);
  if (p.mode == CoordinateMode::kSmallest)
    mode = Fits(dx, 12) && Fits(dy, 12) ? 1 : Fits(dx, 16) && Fits(dy, 16) ? 2 : Fits(dx, 20) && Fits(dy, 20) ? 3 : 0;
  static constexpr int kBits[4] = {0, 12, 16, 20};
  if (mode != 0 && !(Fits(dx, kBits[mode]) && Fits(dy, kBits[mode])))
    throw std::invalid_argument("point offset does not fit its coordinate mode");

  uint8_t f = static_cast<uint8_t>(mode << 5);
  if (p.id) f |= kHasId;
  if (shortForm) {
    f |= kShortForm | p.type;
    if (p.option) f |= kShortOption;
    Put8(out, f);
  } else {
    f |= p.type;
    Put8(out, f);
    uint8_t a = p.notchType;
    if (p.option) a |= 1 << 4;
    if (p.deltas) a |= kHasDeltas;
    Put8(out, a);
    if (p.deltas) {
      Put32(out, static_cast<uint32_t>(p.deltas->first));
      Put32(out, static_cast<uint32_t>(p.deltas->second));
    }
  }
  switch (mode) {
    case 0:
      Put32(out, static_cast<uint32_t>(p.x));
      Put32(out, static_cast<uint32_t>(p.y));
      break;
    case 1:
      Put8(out, static_cast<uint8_t>(((dx >> 8) & 0x0F) << 4 | ((dy >> 8) & 0x0F)));
      Put8(out, static_cast<uint8_t>(dx & 0xFF));
      Put8(out, static_cast<uint8_t>(dy & 0xFF));
      break;
    case 2:
      Put16(out, static_cast<uint16_t>(dx));
      Put16(out, static_cast<uint16_t>(dy));
      break;
    default:
      Put16(out, static_cast<uint16_t>(dx & 0xFFFF));
      Put16(out, static_cast<uint16_t>(dy & 0xFFFF));
      Put8(out, static_cast<uint8_t>(((dx >> 16) & 0x0F) << 4 | ((dy >> 16) & 0x0F)));
      break;
  }
  if (p.id) Put16(out, *p.id);
}

void EncodeOptions(std::vector<uint8_t>& out, const std::vector<PointInput>& points) {
  for (const auto& p : points)
    if (p.option) Put8(out, static_cast<uint8_t>(*p.option));
}

void EncodeNotchTypes(std::vector<uint8_t>& out, const std::vector<PointInput>& points) {
  for (const auto& p : points)
    if (p.notchType > 0) Put8(out, p.extendedNotchType.value_or(p.notchType));
}

}  // namespace

std::vector<uint8_t> EncodePieceGeometry(const std::vector<PointInput>& perimeter, const std::vector<LineInput>& lines,
                                         int8_t expandedNotchTable) {
  std::vector<uint8_t> out;
  for (const auto& line : lines) {
    if (line.points.size() > 32767) throw std::invalid_argument("too many points in an internal line");
    Put8(out, line.type);
    Put8(out, 0);
    Put16(out, static_cast<uint16_t>(line.points.size()));
  }
  Raw last;
  for (const auto& p : perimeter) {
    EncodePoint(out, p, last);
    last = {p.x, p.y};
  }
  last = {};
  for (const auto& line : lines) {
    const Raw reference = last;
    for (const auto& p : line.points) {
      EncodePoint(out, p, reference);
      last = {p.x, p.y};
    }
  }
  EncodeOptions(out, perimeter);
  for (const auto& line : lines) EncodeOptions(out, line.points);
  if (expandedNotchTable > 0) {
    EncodeNotchTypes(out, perimeter);
    for (const auto& line : lines) EncodeNotchTypes(out, line.points);
  }
  for (const auto& line : lines) {
    if (!line.id) break;
    Put16(out, static_cast<uint16_t>(*line.id));
  }
  return out;
}

}  // namespace tsln2xml::marker
