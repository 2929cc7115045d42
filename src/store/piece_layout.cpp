// The piece layout of docs/piece-format.md, described once: PieceLayout walks
// a piece with an encoder (appending bytes) or a decoder (a bounds-checked
// cursor that checks every count against the bytes left before it sizes a
// list, and consumes exactly the piece's bytes).

#include <array>
#include <limits>
#include <stdexcept>

#include "framework/record_io.h"
#include "platform/byte_cursor.h"
#include "store/grading_library.h"

namespace tsln2xml::grading {
namespace {

using Magic = std::array<uint8_t, 4>;
constexpr Magic kPieceMagic{'T', 'P', 'C', 'E'};
constexpr uint16_t kPieceFormatVersion = 1;
constexpr const char* kNotOurLayout = "Unable to load Piece";

// The bits of an internal's record byte: which optional records follow it.
constexpr uint8_t kHasLineName = 1;
constexpr uint8_t kHasInternal1 = 2;

struct HeaderLayout {
  static constexpr size_t kSize = 94;
  template <class Io, class P, class M, class V>
  static void Walk(Io& io, P& piece, M& magic, V& version) {
    io.Bytes(0, magic);
    io.Int(4, version);
    io.Text(6, piece.category, Tessaline::kAsIs);
    io.Text(26, piece.description, Tessaline::kAsIs);
    io.Int(46, piece.pieceType);
    io.Int(47, piece.numBreaks);
    io.Bytes(49, piece.baseSize);
    io.Int(57, piece.baseIndex);
    io.Int(59, piece.sizeIdType);
    io.Int(60, piece.sizeIncrement);
    io.Int(61, piece.ruleSourceType);
    io.Text(62, piece.ruleSourceName, Tessaline::kAsIs);
    io.Int(82, piece.nextPointId);
    io.Int(84, piece.nextInternalId);
    io.Bytes(86, piece.digitizedSize);
  }
};

struct PointLayout {
  static constexpr size_t kSize = 11;
  template <class Io, class Pt>
  static void Walk(Io& io, Pt& point) {
    io.Int(0, point.id);
    io.Int(2, point.x);
    io.Int(6, point.y);
    io.Int(10, point.type);
  }
};

struct ByteLayout {
  static constexpr size_t kSize = 1;
  template <class Io, class B>
  static void Walk(Io& io, B& value) {
    io.Int(0, value);
  }
};

struct CurvePointLayout {
  static constexpr size_t kSize = 8;
  template <class Io, class C>
  static void Walk(Io& io, C& point) {
    io.Int(0, point.x);
    io.Int(4, point.y);
  }
};

struct InternalLayout {
  static constexpr size_t kSize = 12;
  template <class Io, class I, class R>
  static void Walk(Io& io, I& internal, R& records) {
    io.Int(0, internal.id);
    io.Int(2, internal.type);
    io.Int(4, internal.perimeterLineNumber);
    io.Int(6, internal.styleLineNumber);
    io.Int(8, internal.index);
    io.Int(10, internal.hideLineFlag);
    io.Int(11, records);
  }
};

struct LineNameLayout {
  static constexpr size_t kSize = 28;
  template <class Io, class L>
  static void Walk(Io& io, L& line) {
    io.Text(0, line.name, Tessaline::kAsIs);  // 11 characters and a terminator
    io.Int(12, line.startX);
    io.Int(16, line.startY);
    io.Int(20, line.deltaX);
    io.Int(24, line.deltaY);
  }
};

struct Internal1Layout {
  static constexpr size_t kSize = 3;
  template <class Io, class R>
  static void Walk(Io& io, R& record) {
    io.Int(0, record.internalObjectId);
    io.Int(1, record.illustrationNumber);
    io.Int(2, record.penNumber);
  }
};

// Smallest encodings, which a count is checked against: a point with no
// attributes and no curve points, an internal with no points.
constexpr size_t kMinPoint = PointLayout::kSize + 1 + 2;
constexpr size_t kMinInternal = InternalLayout::kSize + 2;

class PieceEncoder {
 public:
  template <class Layout, class... Fields>
  void Record(const Fields&... fields) {
    const size_t at = bytes_.size();
    bytes_.resize(at + Layout::kSize, 0);
    RecordEncoder encoder(std::span<uint8_t>(bytes_).subspan(at, Layout::kSize));
    Layout::Walk(encoder, fields...);
  }
  // A list preceded by its count.
  template <class Count, class T, class Each>
  void List(const std::vector<T>& list, size_t, Each each) {
    if (list.size() > static_cast<size_t>(std::numeric_limits<Count>::max()))
      throw std::invalid_argument("too many entries in a piece list: " + std::to_string(list.size()));
    Count count = static_cast<Count>(list.size());
    Record<ValueLayout<Count>>(count);
    for (const T& entry : list) each(entry);
  }
  // A list whose count the header gives.
  template <class T, class Each>
  void Counted(const std::vector<T>& list, size_t count, size_t, Each each) {
    if (list.size() != count)
      throw std::invalid_argument("a rule has " + std::to_string(list.size()) + " growth pairs; NumBreaks asks for " +
                                  std::to_string(count));
    for (const T& entry : list) each(entry);
  }
  template <class T, class Each>
  void Optional(const std::optional<T>& value, bool, Each each) {
    if (value) each(*value);
  }
  void Check(bool) {}
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  template <class T>
  struct ValueLayout {
    static constexpr size_t kSize = sizeof(T);
    template <class Io, class V>
    static void Walk(Io& io, V& value) {
      io.Int(0, value);
    }
  };
  std::vector<uint8_t> bytes_;
};

class PieceDecoder {
 public:
  explicit PieceDecoder(std::span<const uint8_t> bytes) : cursor_(bytes, kNotOurLayout) {}

  template <class Layout, class... Fields>
  void Record(Fields&... fields) {
    RecordDecoder decoder(cursor_.Take(Layout::kSize));
    Layout::Walk(decoder, fields...);
  }
  template <class Count, class T, class Each>
  void List(std::vector<T>& list, size_t minSize, Each each) {
    Counted(list, cursor_.Get<Count>(), minSize, each);
  }
  template <class T, class Each>
  void Counted(std::vector<T>& list, int64_t count, size_t minSize, Each each) {
    cursor_.RequireRecords(count, minSize);
    list.resize(static_cast<size_t>(count));
    for (T& entry : list) each(entry);
  }
  template <class T, class Each>
  void Optional(std::optional<T>& value, bool present, Each each) {
    if (!present) return;
    value.emplace();
    each(*value);
  }
  void Check(bool ok) {
    if (!ok) throw Tsln2XmlException(kContentUnusable, kNotOurLayout);
  }
  bool AtEnd() const { return cursor_.AtEnd(); }

 private:
  platform::ByteCursor cursor_;
};

template <class Io, class Pt>
void PointList(Io& io, Pt& points) {
  io.template List<int16_t>(points, kMinPoint, [&](auto& point) {
    io.template Record<PointLayout>(point);
    io.template List<uint8_t>(point.attributes, ByteLayout::kSize,
                              [&](auto& kind) { io.template Record<ByteLayout>(kind); });
    io.template List<int16_t>(point.curve, CurvePointLayout::kSize,
                              [&](auto& curve) { io.template Record<CurvePointLayout>(curve); });
  });
}

template <class Io, class P>
void PieceLayout(Io& io, P& piece) {
  Magic magic = kPieceMagic;
  uint16_t version = kPieceFormatVersion;
  io.template Record<HeaderLayout>(piece, magic, version);
  io.Check(magic == kPieceMagic && version == kPieceFormatVersion);
  io.template List<int16_t>(piece.sizes, SizeRecordLayout::kSize,
                            [&](auto& size) { io.template Record<SizeRecordLayout>(size); });
  const size_t pairs = GrowthPairCount(piece.numBreaks);
  io.template List<int16_t>(piece.rules, RuleRecordLayout::kSize + pairs * GrowthPairLayout::kSize, [&](auto& rule) {
    io.template Record<RuleRecordLayout>(rule);
    io.Counted(rule.growth, pairs, GrowthPairLayout::kSize,
               [&](auto& pair) { io.template Record<GrowthPairLayout>(pair); });
  });
  PointList(io, piece.perimeter);
  io.template List<int16_t>(piece.internals, kMinInternal, [&](auto& internal) {
    uint8_t records = (internal.lineName ? kHasLineName : 0) | (internal.internal1 ? kHasInternal1 : 0);
    io.template Record<InternalLayout>(internal, records);
    io.Check((records & ~(kHasLineName | kHasInternal1)) == 0);
    PointList(io, internal.points);
    io.Optional(internal.lineName, records & kHasLineName,
                [&](auto& line) { io.template Record<LineNameLayout>(line); });
    io.Optional(internal.internal1, records & kHasInternal1,
                [&](auto& record) { io.template Record<Internal1Layout>(record); });
  });
}

}  // namespace

std::vector<uint8_t> EncodePiece(const PIECE& piece) {
  PieceEncoder encoder;
  PieceLayout(encoder, piece);
  return encoder.Take();
}

bool DecodePiece(std::span<const uint8_t> bytes, PIECE& piece) {
  try {
    PIECE decoded;
    PieceDecoder decoder(bytes);
    PieceLayout(decoder, decoded);
    if (!decoder.AtEnd()) return false;  // trailing bytes: not one piece
    piece = std::move(decoded);
    return true;
  } catch (const Tsln2XmlException&) {
    return false;
  }
}

}  // namespace tsln2xml::grading
