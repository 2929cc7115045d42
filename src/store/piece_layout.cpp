// The piece layout of docs/piece-format.md, described once: PieceLayout walks
// a piece with an encoder (appending bytes) or a decoder (a bounds-checked
// cursor that checks every count against the bytes left before it sizes a
// list, consumes exactly the piece's bytes, and names the field and offset
// of what it refuses).

#include <array>
#include <limits>
#include <stdexcept>

#include "model/record_io.h"
#include "platform/byte_cursor.h"
#include "store/grading_library.h"

namespace tsln2xml::grading {
namespace {

using Magic = std::array<uint8_t, 4>;
constexpr Magic kPieceMagic{'T', 'P', 'C', 'E'};
constexpr uint16_t kPieceFormatVersion = 1;
constexpr const char* kNotOurLayout = "Unable to load Piece";
// The fewest perimeter points a piece's document shows.
constexpr size_t kLeastPerimeterPoints = 3;

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
  void Record(const char*, const Fields&... fields) {
    const size_t at = bytes_.size();
    bytes_.resize(at + Layout::kSize, 0);
    RecordEncoder encoder(std::span<uint8_t>(bytes_).subspan(at, Layout::kSize));
    Layout::Walk(encoder, fields...);
  }
  // A list preceded by its count.
  template <class Count, class T, class Each>
  void List(const char*, const std::vector<T>& list, size_t, size_t, Each each) {
    if (list.size() > static_cast<size_t>(std::numeric_limits<Count>::max()))
      throw std::invalid_argument("too many entries in a piece list: " + std::to_string(list.size()));
    Count count = static_cast<Count>(list.size());
    Record<ValueLayout<Count>>("count", count);
    for (const T& entry : list) each(entry);
  }
  // A list whose count the header gives.
  template <class T, class Each>
  void Counted(const char*, const std::vector<T>& list, size_t count, size_t, Each each) {
    if (list.size() != count)
      throw std::invalid_argument("a rule has " + std::to_string(list.size()) + " growth pairs; NumBreaks asks for " +
                                  std::to_string(count));
    for (const T& entry : list) each(entry);
  }
  template <class T, class Each>
  void Optional(const std::optional<T>& value, bool, Each each) {
    if (value) each(*value);
  }
  void Check(bool, size_t, const std::string&) {}
  // The encoder stores any code: a piece with codes its document cannot
  // show is still a piece (the export refuses it).
  void Code(unsigned, unsigned, size_t, const char*) {}
  size_t Position() const { return bytes_.size(); }
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

// Reads the layout; a failure names the field and its offset in the bytes.
// With PieceCheck::kExportable it also refuses the codes and counts that
// the piece's document cannot show.
class PieceDecoder {
 public:
  PieceDecoder(std::span<const uint8_t> bytes, PieceCheck check) : cursor_(bytes, kNotOurLayout), check_(check) {}

  template <class Layout, class... Fields>
  void Record(const char* name, Fields&... fields) {
    recordStart_ = cursor_.Position();
    Check(cursor_.Remaining() >= Layout::kSize, recordStart_,
          std::string("the ") + name + " needs " + std::to_string(Layout::kSize) + " bytes; " + Left());
    RecordDecoder decoder(cursor_.Take(Layout::kSize));
    Layout::Walk(decoder, fields...);
  }
  // `least`: the fewest entries the document can show.
  template <class Count, class T, class Each>
  void List(const char* name, std::vector<T>& list, size_t minSize, size_t least, Each each) {
    const size_t at = cursor_.Position();
    Check(cursor_.Remaining() >= sizeof(Count), at,
          std::string("the ") + name + " count needs " + std::to_string(sizeof(Count)) + " bytes; " + Left());
    const int64_t count = cursor_.Get<Count>();
    if (check_ == PieceCheck::kExportable)
      Check(count < 0 || static_cast<size_t>(count) >= least, at,
            std::string("the ") + name + " count is " + std::to_string(count) + "; the document needs at least " +
                std::to_string(least));
    Counted(name, list, count, minSize, each, at);
  }
  template <class T, class Each>
  void Counted(const char* name, std::vector<T>& list, int64_t count, size_t minSize, Each each) {
    Counted(name, list, count, minSize, each, cursor_.Position());
  }
  template <class T, class Each>
  void Optional(std::optional<T>& value, bool present, Each each) {
    if (!present) return;
    value.emplace();
    each(*value);
  }
  void Check(bool ok, size_t offset, const std::string& what) {
    if (!ok) throw Fault(what + " (offset " + std::to_string(offset) + ")");
  }
  // A code of the record just read, at `offset` in it, is below `count`.
  void Code(unsigned value, unsigned count, size_t offset, const char* name) {
    if (check_ == PieceCheck::kExportable)
      Check(value < count, recordStart_ + offset,
            std::string(name) + " " + std::to_string(value) + " is not one of the " + std::to_string(count) +
                " codes 0 to " + std::to_string(count - 1));
  }
  bool AtEnd() const { return cursor_.AtEnd(); }
  size_t Position() const { return cursor_.Position(); }

  struct Fault : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

 private:
  std::string Left() const { return std::to_string(cursor_.Remaining()) + " are left"; }
  template <class T, class Each>
  void Counted(const char* name, std::vector<T>& list, int64_t count, size_t minSize, Each each, size_t at) {
    Check(count >= 0, at, std::string("the ") + name + " count " + std::to_string(count) + " is negative");
    Check(minSize == 0 || static_cast<uint64_t>(count) <= cursor_.Remaining() / minSize, at,
          std::string("the ") + name + " count " + std::to_string(count) + " needs at least " +
              std::to_string(static_cast<uint64_t>(count) * minSize) + " bytes; " + Left());
    list.resize(static_cast<size_t>(count));
    for (T& entry : list) each(entry);
  }

  platform::ByteCursor cursor_;
  PieceCheck check_;
  size_t recordStart_ = 0;
};

template <class Io, class Pt>
void PointList(Io& io, const char* name, size_t least, Pt& points) {
  io.template List<int16_t>(name, points, kMinPoint, least, [&](auto& point) {
    io.template Record<PointLayout>("point", point);
    io.Code(point.type, kPointTypes, 10, "point type");
    io.template List<uint8_t>("point attribute", point.attributes, ByteLayout::kSize, 0,
                              [&](auto& kind) { io.template Record<ByteLayout>("point attribute", kind); });
    io.template List<int16_t>("curve point", point.curve, CurvePointLayout::kSize, 0,
                              [&](auto& curve) { io.template Record<CurvePointLayout>("curve point", curve); });
  });
}

template <class Io, class P>
void PieceLayout(Io& io, P& piece) {
  Magic magic = kPieceMagic;
  uint16_t version = kPieceFormatVersion;
  io.template Record<HeaderLayout>("header", piece, magic, version);
  io.Check(magic == kPieceMagic, 0, "the magic is not \"TPCE\"");
  io.Check(version == kPieceFormatVersion, 4, "the format version " + std::to_string(version) + " is not 1");
  io.Code(piece.pieceType, kPieceTypes, 46, "piece type");
  io.Code(piece.sizeIdType, kSizeIdTypes, 59, "size id type");
  io.Code(piece.ruleSourceType, kRuleSourceTypes, 61, "rule source type");
  io.template List<int16_t>("size", piece.sizes, SizeRecordLayout::kSize, 0, [&](auto& size) {
    io.template Record<SizeRecordLayout>("size", size);
    io.Code(size.breakFlag, kBreakFlags, 8, "break flag");
  });
  const size_t pairs = GrowthPairCount(piece.numBreaks);
  io.template List<int16_t>("rule", piece.rules, RuleRecordLayout::kSize + pairs * GrowthPairLayout::kSize, 0,
                            [&](auto& rule) {
                              io.template Record<RuleRecordLayout>("rule", rule);
                              io.Counted("growth pair", rule.growth, pairs, GrowthPairLayout::kSize, [&](auto& pair) {
                                io.template Record<GrowthPairLayout>("growth pair", pair);
                              });
                            });
  PointList(io, "perimeter point", kLeastPerimeterPoints, piece.perimeter);
  io.template List<int16_t>("internal", piece.internals, kMinInternal, 0, [&](auto& internal) {
    uint8_t records = (internal.lineName ? kHasLineName : 0) | (internal.internal1 ? kHasInternal1 : 0);
    io.template Record<InternalLayout>("internal", internal, records);
    io.Check((records & ~(kHasLineName | kHasInternal1)) == 0, io.Position() - 1,
             "the internal's record bits " + std::to_string(records) + " are not 0 to 3");
    PointList(io, "internal point", 1, internal.points);
    io.Optional(internal.lineName, records & kHasLineName,
                [&](auto& line) { io.template Record<LineNameLayout>("line name", line); });
    io.Optional(internal.internal1, records & kHasInternal1,
                [&](auto& record) { io.template Record<Internal1Layout>("internal-1 record", record); });
  });
}

}  // namespace

std::vector<uint8_t> EncodePiece(const PIECE& piece) {
  PieceEncoder encoder;
  PieceLayout(encoder, piece);
  return encoder.Take();
}

bool DecodePiece(std::span<const uint8_t> bytes, PIECE& piece, PieceCheck check, std::string* fault) {
  try {
    PIECE decoded;
    PieceDecoder decoder(bytes, check);
    PieceLayout(decoder, decoded);
    decoder.Check(decoder.AtEnd(), decoder.Position(), "bytes follow the end of the piece");
    piece = std::move(decoded);
    return true;
  } catch (const PieceDecoder::Fault& e) {
    if (fault) *fault = e.what();
    return false;
  } catch (const Tsln2XmlException& e) {
    if (fault) *fault = e.what();
    return false;
  }
}

}  // namespace tsln2xml::grading
