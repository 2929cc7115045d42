#include "converters/grading/piece.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>

#include "framework/attribute_io.h"
#include "store/item_store.h"

namespace tsln2xml {
namespace {

using grading::CurvePoint;
using grading::PIECE;
using grading::PieceInternal;
using grading::PiecePoint;

constexpr int16_t kDataType = 20;
constexpr double kScale = 10000.0;
// Halving stops after three rounds, when every side of the polygon is shorter
// than this (1/10000 units), or when another round would leave more curve
// points than a point's 16-bit count holds.
constexpr int kMaxHalvings = 3;
constexpr double kSmoothTolerance = 250.0;
constexpr size_t kMaxCurvePoints = 32767;

struct Vertex {
  int64_t x, y;
};

bool ShortSides(const std::vector<Vertex>& polygon) {
  for (size_t k = 1; k < polygon.size(); ++k)
    if (std::hypot(static_cast<double>(polygon[k].x - polygon[k - 1].x),
                   static_cast<double>(polygon[k].y - polygon[k - 1].y)) >= kSmoothTolerance)
      return false;
  return true;
}

// The inner points of the polygon through points[first..last] after repeated
// halving: each side is replaced by its points at one quarter and three
// quarters, the ends staying where they are. Every point made is between two
// given points, so it keeps their 32-bit range.
std::vector<CurvePoint> Curve(const std::vector<PiecePoint>& points, size_t first, size_t last) {
  std::vector<Vertex> polygon;
  polygon.reserve(last - first + 1);
  for (size_t k = first; k <= last; ++k) polygon.push_back({points[k].x, points[k].y});
  for (int round = 0; round < kMaxHalvings; ++round) {
    if (2 * polygon.size() - 2 > kMaxCurvePoints || ShortSides(polygon)) break;
    std::vector<Vertex> next;
    next.reserve(2 * polygon.size());
    next.push_back(polygon.front());
    for (size_t k = 1; k < polygon.size(); ++k) {
      const Vertex& a = polygon[k - 1];
      const Vertex& b = polygon[k];
      next.push_back({(3 * a.x + b.x) / 4, (3 * a.y + b.y) / 4});
      next.push_back({(a.x + 3 * b.x) / 4, (a.y + 3 * b.y) / 4});
    }
    next.push_back(polygon.back());
    polygon.swap(next);
  }
  std::vector<CurvePoint> curve;
  if (polygon.size() > 2) curve.reserve(polygon.size() - 2);
  for (size_t k = 1; k + 1 < polygon.size(); ++k)
    curve.push_back({static_cast<int32_t>(polygon[k].x), static_cast<int32_t>(polygon[k].y)});
  return curve;
}

void SmoothList(std::vector<PiecePoint>& points) {
  if (points.size() <= 2) return;
  // The walk ends at the first closure point, or at the end of a list
  // without one.
  size_t last = points.size() - 1;
  for (size_t k = 0; k < points.size(); ++k)
    if (points[k].type == grading::kClosurePoint) {
      last = k;
      break;
    }
  for (size_t k = 0; k <= last;) {
    if (points[k].type != grading::kSmoothPoint) {
      ++k;
      continue;
    }
    const size_t start = k > 0 ? k - 1 : k;
    while (k <= last && points[k].type == grading::kSmoothPoint) ++k;
    const size_t end = std::min(k, last);
    points[start].curve = Curve(points, start, end);
  }
}

bool Marked(const PiecePoint& point) {
  return std::find(point.attributes.begin(), point.attributes.end(), grading::kAlignmentMark) !=
         point.attributes.end();
}

// A point turned by (cos, sin) about (cx, cy) in 64-bit arithmetic, each
// coordinate truncated toward zero. A coordinate the document shows must stay
// in 32 bits; curve points, which it does not show, wrap.
class Turn {
 public:
  Turn(double cos, double sin, int64_t cx, int64_t cy) : cos_(cos), sin_(sin), cx_(cx), cy_(cy) {}

  template <class P>
  void Apply(P& point, bool shown) const {
    const auto X = static_cast<double>(int64_t{point.x} - cx_);
    const auto Y = static_cast<double>(int64_t{point.y} - cy_);
    const int64_t x = static_cast<int64_t>(std::trunc(X * cos_ - Y * sin_)) + cx_;
    const int64_t y = static_cast<int64_t>(std::trunc(X * sin_ + Y * cos_)) + cy_;
    if (shown && (!Fits(x) || !Fits(y))) Fail("Piece coordinate out of range after alignment");
    point.x = static_cast<int32_t>(x);
    point.y = static_cast<int32_t>(y);
  }
  void Apply(std::vector<PiecePoint>& points) const {
    for (PiecePoint& point : points) {
      Apply(point, true);
      for (CurvePoint& curve : point.curve) Apply(curve, false);
    }
  }

 private:
  static bool Fits(int64_t v) {
    return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
  }
  double cos_, sin_;
  int64_t cx_, cy_;
};

template <class Io>
void PointAttributes(Io& io, PiecePoint& point) {
  io.Int("PointId", point.id);
  io.Scaled("X", point.x, kScale);
  io.Scaled("Y", point.y, kScale);
  io.Code("PointType", point.type, PointTypeNames());
}

template <class Io>
void InternalAttributes(Io& io, PieceInternal& internal) {
  io.Int("InternalId", internal.id);
  io.Int("InternalType", internal.type);
  io.Int("PerimeterLineNumber", internal.perimeterLineNumber);
  io.Int("StyleLineNumber", internal.styleLineNumber);
  io.Int("Index", internal.index);
  io.Int("HideLineFlag", internal.hideLineFlag);
}

template <class Io>
void LineNameAttributes(Io& io, grading::LineNameRecord& line) {
  io.Text("LineName", line.name, Tessaline::kAsIs);
  io.Scaled("StartX", line.startX, kScale);
  io.Scaled("StartY", line.startY, kScale);
  io.Scaled("DeltaX", line.deltaX, kScale);
  io.Scaled("DeltaY", line.deltaY, kScale);
}

template <class Io>
void Internal1Attributes(Io& io, grading::Internal1Record& record) {
  io.Int("InternalObjectId", record.internalObjectId);
  io.Int("IllustrationNumber", record.illustrationNumber);
  io.Int("PenNumber", record.penNumber);
}

// Closes the manager, and frees the piece it delivered, on every path.
struct ManagerCloser {
  void operator()(grading::GradePieceManager* manager) const { grading::CloseGradePieceManager(manager); }
};
struct PieceFreer {
  grading::GradePieceManager* manager;
  void operator()(PIECE* piece) const { grading::FreeGradedPiece(manager, piece); }
};

}  // namespace

bool IsGrainLine(const PieceInternal& internal) {
  if (!internal.lineName) return false;
  std::string name = internal.lineName->name.str();
  name.erase(name.find_last_not_of(" ") + 1);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name == "GRAIN";
}

std::vector<OutlinePoint> DrawnOutline(const std::vector<PiecePoint>& points) {
  std::vector<OutlinePoint> out;
  for (size_t k = 0; k < points.size(); ++k) {
    const PiecePoint& p = points[k];
    out.push_back({p.x, p.y, static_cast<int>(k)});
    if (p.type == grading::kClosurePoint) break;
    if (p.curve.empty()) continue;
    for (const CurvePoint& c : p.curve) out.push_back({c.x, c.y, -1});
    while (k + 1 < points.size() && points[k + 1].type == grading::kSmoothPoint) ++k;
  }
  return out;
}

const xml::EnumNameTable<uint8_t>& PieceTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {0, "Regular"}, {1, "FollowOn"}, {2, "Mirror"}, {3, "Large"}, {4, "Draft"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& RuleSourceTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "RuleTable"}, {1, "CopyPiece"}, {2, "Digitizer"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& PointTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {0, "Grade"}, {1, "NonGrade"},     {2, "Closure"},      {3, "Smooth"},         {4, "FoldGrade"},
      {5, "FoldNonGrade"}, {6, "Mark"}, {7, "Intersection"}, {8, "TemporaryNotch"},
  };
  return table;
}

void SmoothPiece(PIECE& piece) {
  try {
    SmoothList(piece.perimeter);
    for (PieceInternal& internal : piece.internals) SmoothList(internal.points);
  } catch (const std::bad_alloc&) {
    throw Tsln2XmlException(kItemOpenFailure, "Piece smoothing error.");
  }
}

void AlignPiece(PIECE& piece) { AlignPieceAs(piece, piece); }

std::optional<Alignment> AlignmentOf(const PIECE& reference) {
  const PiecePoint* marks[2] = {nullptr, nullptr};
  size_t found = 0;
  auto search = [&](const std::vector<PiecePoint>& points) {
    for (const PiecePoint& point : points)
      if (found < 2 && Marked(point)) marks[found++] = &point;
  };
  search(reference.perimeter);
  for (const PieceInternal& internal : reference.internals) search(internal.points);
  if (found < 2 || reference.internals.empty() || reference.internals.front().points.empty()) return std::nullopt;

  const int64_t dx = int64_t{marks[1]->x} - marks[0]->x;
  const int64_t dy = int64_t{marks[1]->y} - marks[0]->y;
  Alignment a;
  if (dx == 0) {
    if (dy == 0) return std::nullopt;  // coincident points give no direction
    // Quarter turns with exact values: cos(pi/2) in doubles would move
    // points by a unit after truncation.
    a.cos = 0.0;
    a.sin = dy > 0 ? -1.0 : 1.0;
  } else {
    double theta = -std::atan2(static_cast<double>(dy), static_cast<double>(dx));
    if (theta > std::numbers::pi / 2) theta -= std::numbers::pi;
    if (theta < -std::numbers::pi / 2) theta += std::numbers::pi;
    a.cos = std::cos(theta);
    a.sin = std::sin(theta);
  }
  const auto& first = reference.internals.front().points;
  a.centreX = (int64_t{first.front().x} + first.back().x) / 2;
  a.centreY = (int64_t{first.front().y} + first.back().y) / 2;
  return a;
}

void AlignPieceAs(PIECE& piece, const PIECE& reference) {
  const std::optional<Alignment> a = AlignmentOf(reference);
  if (!a) return;
  const Turn turn(a->cos, a->sin, a->centreX, a->centreY);
  turn.Apply(piece.perimeter);
  for (PieceInternal& internal : piece.internals) turn.Apply(internal.points);
}

PieceReader::PieceReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : RuleTableBaseReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

PieceReader::PieceReader(std::string_view itemName, const PIECE& piece)
    : RuleTableBaseReader("", "", itemName, *FindItemFileEntry(kDataType)), given_(piece) {}

std::shared_ptr<PIECE> PieceReader::ObtainPiece() {
  if (given_) return std::shared_ptr<PIECE>(new PIECE(*given_), grading::PieceDeleter());
  std::unique_ptr<grading::GradePieceManager, ManagerCloser> manager(grading::OpenGradePieceManager(1));
  store::ItemControlEntry entry;
  int32_t result = store::LookupItem(ControlPath(), ItemName(), &entry);
  std::string path;
  if (result == store::kStoreOk) result = store::TranslateStoragePath(StoragePath(), path);
  if (result != store::kStoreOk) throw Tsln2XmlException(kItemOpenFailure, result, "Could not open file");
  std::unique_ptr<PIECE, PieceFreer> delivered(grading::GetBasePiece(manager.get(), path, ItemName(), 1),
                                               PieceFreer{manager.get()});
  if (!delivered) throw Tsln2XmlException(kItemOpenFailure, "Unable to load Piece");
  return std::shared_ptr<PIECE>(new PIECE(*delivered), grading::PieceDeleter());
}

std::shared_ptr<PIECE> PieceReader::PreparedPiece() {
  std::shared_ptr<PIECE> piece = ObtainPiece();
  SmoothPiece(*piece);
  AlignPiece(*piece);
  return piece;
}

void PieceReader::Convert() {
  std::shared_ptr<PIECE> piece = PreparedPiece();

  xml::Node root = AppendRoot("Piece");
  AttributeEmitter head(root);
  head.Text("Description", piece->description, Tessaline::kAsIs);
  head.Text("Category", piece->category, Tessaline::kAsIs);
  head.Code("PieceType", piece->pieceType, PieceTypeNames());
  head.Code("SizeIdType", piece->sizeIdType, SizeIdTypeNames());
  head.Int("NumBreaks", piece->numBreaks);
  head.Int("NumSizes", static_cast<int16_t>(piece->sizes.size()));
  head.Int("BaseIndex", piece->baseIndex);
  head.Int("SizeIncrement", piece->sizeIncrement);
  head.Code("RuleSourceType", piece->ruleSourceType, RuleSourceTypeNames());
  head.Text("RuleSourceName", piece->ruleSourceName, Tessaline::kAsIs);
  head.Int("NextPointId", piece->nextPointId);
  head.Int("NextInternalId", piece->nextInternalId);
  EmitRules(root, piece->rules, piece->numBreaks);
  EmitSizes(root, piece->sizes, piece->sizeIdType);
  EmitSizeName(AppendElement(root, "BaseSize"), piece->baseSize, piece->sizeIdType);
  EmitSizeName(AppendElement(root, "DigitizedSize"), piece->digitizedSize, piece->sizeIdType);

  auto emitPoints = [&](xml::Node parent, std::vector<PiecePoint>& points) {
    for (PiecePoint& point : points) {
      AttributeEmitter attributes(AppendElement(parent, "PiecePoint"));
      PointAttributes(attributes, point);
    }
  };
  emitPoints(root, piece->perimeter);
  for (PieceInternal& internal : piece->internals) {
    xml::Node element = AppendElement(root, "PieceInternal");
    AttributeEmitter attributes(element);
    InternalAttributes(attributes, internal);
    emitPoints(element, internal.points);
    if (internal.lineName) {
      AttributeEmitter line(AppendElement(element, "LineName"));
      LineNameAttributes(line, *internal.lineName);
    }
    if (internal.internal1) {
      AttributeEmitter record(AppendElement(element, "Internal1"));
      Internal1Attributes(record, *internal.internal1);
    }
  }
}

std::u16string PieceDocument(const PIECE& piece, std::string_view itemName) {
  PieceReader reader(itemName, piece);
  return reader.ToString();
}

}  // namespace tsln2xml
