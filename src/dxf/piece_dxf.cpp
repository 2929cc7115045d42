#include "dxf/piece_dxf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>
#include <optional>
#include <string_view>

#include "converters/grading/piece.h"
#include "core/exception.h"
#include "dxf/group_writer.h"
#include "xml/svg_text.h"

#ifndef TSLN2XML_VERSION
#define TSLN2XML_VERSION "0"
#endif

namespace tsln2xml::dxf {
namespace {

using grading::PIECE;
using grading::PiecePoint;

constexpr uint8_t kFoldGrade = 4, kFoldNonGrade = 5, kMarkPoint = 6,
                  kNotchPoint = 8;

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

struct Bounds {
  double minX = std::numeric_limits<double>::infinity(), minY = minX;
  double maxX = -std::numeric_limits<double>::infinity(), maxY = maxX;
  void Add(XY p) {
    minX = std::min(minX, p.x);
    minY = std::min(minY, p.y);
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
  }
  bool Empty() const { return minX > maxX; }
  double Width() const { return Empty() ? 0 : maxX - minX; }
  double Height() const { return Empty() ? 0 : maxY - minY; }
};

// One block: a piece in one size.
struct Block {
  std::string name;
  std::string pieceName, sizeName;
  const PIECE* source = nullptr;  // the stored piece (for its texts)
  bool base = false;
  PIECE shape;                    // smoothed and aligned
  std::vector<int> gradeNumber;   // per perimeter point: the .rul number of its rule, 0 for none
  Bounds bounds;
};

double TextHeight(const Bounds& b) {
  const double extent = std::max(b.Width(), b.Height());
  return extent > 0 ? extent / 40 : 1.0;
}

XY Scaled(int64_t x, int64_t y, double scale) { return {static_cast<double>(x) * scale, static_cast<double>(y) * scale}; }

class BlockWriter {
 public:
  BlockWriter(GroupWriter& w, double scale) : w_(w), scale_(scale) {}

  XY At(int64_t x, int64_t y) const { return Scaled(x, y, scale_); }
  XY At(const PiecePoint& p) const { return At(p.x, p.y); }

  std::vector<XY> Drawn(const std::vector<PiecePoint>& points) const {
    std::vector<XY> out;
    for (const OutlinePoint& d : DrawnOutline(points)) out.push_back(At(d.x, d.y));
    return out;
  }

  // Writes the block; returns the bounds of what it drew, texts taken as
  // boxes of 0.7 of their height per character, so that INSERTs can keep
  // blocks apart.
  Bounds Write(const Block& b, const PieceDxfOptions& options) {
    drawn_ = b.bounds;
    const PIECE& piece = b.shape;
    const std::vector<OutlinePoint> outline = DrawnOutline(piece.perimeter);
    std::vector<XY> boundary;
    for (const OutlinePoint& d : outline) boundary.push_back(At(d.x, d.y));
    BeginBlock(w_, b.name);
    if (!boundary.empty()) Polyline(w_, "1", boundary, true);

    if (b.base) {
      const double inward = xml::SvgSignedArea(boundary) >= 0 ? 1 : -1;
      std::vector<XY> folds;
      for (size_t i = 0; i < outline.size(); ++i) {
        const XY at = boundary[i];
        if (outline[i].source < 0) {
          Point(w_, "3", at);
          continue;
        }
        const size_t index = static_cast<size_t>(outline[i].source);
        const PiecePoint& p = piece.perimeter[index];
        if (p.type == kFoldGrade || p.type == kFoldNonGrade) folds.push_back(at);
        if (p.type == kNotchPoint) {
          PointWithAngle(w_, "4", at, NotchAngle(boundary, i, inward));
          continue;
        }
        Point(w_, "2", at);
        if (index < b.gradeNumber.size() && b.gradeNumber[index] > 0)
          Text("2", at, TextHeight(b.bounds) / 2, "# " + std::to_string(b.gradeNumber[index]));
      }
      if (folds.size() >= 2) Line(w_, "6", folds.front(), folds.back());
    }

    for (const grading::PieceInternal& internal : piece.internals) {
      const std::vector<XY> points = Drawn(internal.points);
      if (points.size() >= 2 && IsGrainLine(internal)) {
        Line(w_, "7", points.front(), points.back());
      } else if (points.size() >= 2) {
        Polyline(w_, "8", points, false);
      }
      if (!b.base) continue;
      for (const PiecePoint& p : internal.points)
        if (points.size() == 1 || p.type == kMarkPoint) Point(w_, "13", At(p));
      if (internal.lineName && !IsGrainLine(internal) && !points.empty()) {
        const std::string name = internal.lineName->name.str();
        if (!name.empty()) Text("15", points.front(), TextHeight(b.bounds) / 2, name);
      }
    }

    std::vector<std::string> lines = {"Piece Name: " + b.pieceName, "Size: " + b.sizeName};
    if (b.base) {
      lines.push_back(options.flavour == Flavour::kAstm ? "Quantity: 1,0" : "Quantity: 1");
      lines.push_back("Category: " + b.source->category.str());
      lines.push_back("Annotation: " + b.source->description.str());
    }
    const double h = TextHeight(b.bounds);
    const XY centre = b.bounds.Empty() ? XY{0, 0}
                                       : XY{b.bounds.minX + b.bounds.Width() / 4,
                                            (b.bounds.minY + b.bounds.maxY) / 2 + h * static_cast<double>(lines.size()) * 0.75};
    for (size_t k = 0; k < lines.size(); ++k)
      Text("1", {centre.x, centre.y - 1.5 * h * static_cast<double>(k)}, h, lines[k]);
    EndBlock(w_);
    return drawn_;
  }

  // The direction into the piece across the outline at point i, in degrees
  // from the x axis (0 to 360).
  static double NotchAngle(const std::vector<XY>& p, size_t i, double inward) {
    const size_t n = p.size();
    if (n < 3) return 0;
    const XY& before = p[(i + n - 1) % n];
    const XY& after = p[(i + 1) % n];
    const double tx = after.x - before.x, ty = after.y - before.y;
    if (tx == 0 && ty == 0) return 0;
    double degrees = std::atan2(inward * tx, -inward * ty) * 180 / std::numbers::pi;
    if (degrees < 0) degrees += 360;
    if (degrees >= 360) degrees -= 360;
    return degrees;
  }

 private:
  void Text(std::string_view layer, XY at, double height, const std::string& text) {
    TextEntity(w_, layer, at, height, text);
    drawn_.Add(at);
    drawn_.Add({at.x + 0.7 * height * static_cast<double>(text.size()), at.y + height});
  }

  GroupWriter& w_;
  double scale_;
  Bounds drawn_;
};

std::string DateText(std::time_t t, bool date) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buffer[32];
  if (date)
    std::snprintf(buffer, sizeof buffer, "%02d-%02d-%04d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900);
  else
    std::snprintf(buffer, sizeof buffer, "%02d:%02d", tm.tm_hour, tm.tm_min);
  return buffer;
}

std::vector<std::string> SizeNames(const PIECE& piece) {
  std::vector<std::string> names;
  if (piece.sizes.empty()) names.push_back(grading::SizeText(piece.baseSize, piece.sizeIdType));
  for (const grading::SizeRecord& s : piece.sizes) names.push_back(grading::SizeText(s.name, piece.sizeIdType));
  return names;
}

// A delta in stored units turned as the piece is aligned, in output units.
XY TurnedDelta(const grading::Delta& d, const std::optional<Alignment>& a, double scale) {
  const double x = static_cast<double>(d.x), y = static_cast<double>(d.y);
  if (!a) return {x * scale, y * scale};
  return {(x * a->cos - y * a->sin) * scale, (x * a->sin + y * a->cos) * scale};
}

}  // namespace

double UnitScale(Unit unit) { return unit == Unit::kCentimetre ? 1.0 / 1000 : 1.0 / 10000; }
const char* UnitsText(Unit unit) { return unit == Unit::kInch ? "ENGLISH" : "METRIC"; }

PieceDxf BuildPieceDxf(const std::vector<NamedPiece>& pieces, const PieceDxfOptions& options) {
  if (pieces.empty()) throw Tsln2XmlException(kContentUnusable, "No piece to export");
  const double scale = UnitScale(options.unit);
  const std::vector<std::string> sizeNames = SizeNames(pieces.front().piece);
  for (const NamedPiece& p : pieces)
    if (SizeNames(p.piece) != sizeNames || p.piece.baseIndex != pieces.front().piece.baseIndex)
      throw Tsln2XmlException(kContentUnusable, "Pieces " + pieces.front().name + " and " + p.name +
                                                    " have different sizes; export them to separate files");

  PieceDxf out;
  size_t& replaced = out.replacedCharacters;
  std::vector<Block> blocks;
  std::vector<std::string> usedNames;
  std::string rules;
  int nextRule = 1;
  for (const NamedPiece& named : pieces) {
    const PIECE& stored = named.piece;
    const grading::GradedPiece graded = options.sizes == SizeSet::kAll ? grading::GradePiece(stored, options.method)
                                                                       : grading::GradeRules(stored, options.method);
    const std::optional<Alignment> alignment = AlignmentOf(stored);
    const int firstRule = nextRule;
    std::vector<int> gradeNumber(stored.perimeter.size(), 0);
    for (size_t j = 0; j < graded.gradePoints.size(); ++j)
      if (graded.gradeRule[j] >= 0) gradeNumber[graded.gradePoints[j]] = firstRule + graded.gradeRule[j];
    for (const grading::GradedRule& rule : graded.rules) {
      rules += "RULE: DELTA " + std::to_string(nextRule++) + "\r\n";
      for (const grading::Delta& d : rule.sizes) {
        const XY t = TurnedDelta(d, alignment, scale);
        rules += NumberText(t.x) + ", " + NumberText(t.y) + "\r\n";
      }
    }
    for (const grading::GradedSize& size : graded.sizes) {
      if (options.sizes == SizeSet::kBase && !size.base) continue;
      Block b;
      b.pieceName = AsciiOnly(named.name, replaced);
      b.sizeName = AsciiOnly(size.name, replaced);
      std::string name = BlockName(named.name + "_" + size.name, replaced);
      // Names made alike by the replacement, or alike but for case (which
      // block names do not tell apart), stay apart.
      const std::string plain = name;
      for (int k = 2; std::find(usedNames.begin(), usedNames.end(), Upper(name)) != usedNames.end(); ++k)
        name = plain + "_" + std::to_string(k);
      usedNames.push_back(Upper(name));
      b.name = name;
      b.source = &stored;
      b.base = size.base;
      b.shape = size.base ? stored : grading::SizedPiece(stored, size);
      SmoothPiece(b.shape);
      AlignPieceAs(b.shape, stored);
      b.gradeNumber = gradeNumber;
      for (const OutlinePoint& d : DrawnOutline(b.shape.perimeter)) b.bounds.Add(Scaled(d.x, d.y, scale));
      for (const grading::PieceInternal& internal : b.shape.internals)
        for (const PiecePoint& p : internal.points) b.bounds.Add(Scaled(p.x, p.y, scale));
      blocks.push_back(std::move(b));
    }
  }

  GroupWriter w;
  Header(w);
  BeginSection(w, "BLOCKS");
  BlockWriter writer(w, scale);
  std::vector<Bounds> drawn;
  for (const Block& b : blocks) drawn.push_back(writer.Write(b, options));
  EndSection(w);

  // Side by side, bottoms level, a tenth of the largest piece apart.
  double tallest = 0;
  for (const Block& b : blocks) tallest = std::max({tallest, b.bounds.Height(), b.bounds.Width()});
  const double gap = tallest > 0 ? tallest / 10 : 10.0;
  BeginSection(w, "ENTITIES");
  double cursor = 0;
  for (size_t k = 0; k < blocks.size(); ++k) {
    const Bounds& d = drawn[k];
    const XY at = d.Empty() ? XY{cursor, 0} : XY{cursor - d.minX, -d.minY};
    Insert(w, "0", blocks[k].name, at);
    cursor += d.Width() + gap;
  }

  const PIECE& first = pieces.front().piece;
  const std::string style = AsciiOnly(first.category.str().empty() ? pieces.front().name : first.category.str(), replaced);
  const std::string sample = AsciiOnly(sizeNames[std::min<size_t>(static_cast<size_t>(std::max<int16_t>(first.baseIndex, 0)),
                                                                   sizeNames.size() - 1)],
                                       replaced);
  const std::string table = AsciiOnly(first.ruleSourceName.str(), replaced);
  std::vector<std::string> styleText = {
      "Style Name: " + style,
      "Creation Date: " + DateText(options.created, true),
      "Creation Time: " + DateText(options.created, false),
      std::string("Author: tsln2xml ") + TSLN2XML_VERSION,
      "Sample Size: " + sample,
      "Grade Rule Table: " + table,
      "Number of Sizes: " + std::to_string(sizeNames.size()),
      std::string("Units: ") + UnitsText(options.unit)};
  if (options.flavour == Flavour::kAstm) styleText.push_back("ASTM/D13Proposal 1 Version: D 6673-04");
  const double h = tallest > 0 ? tallest / 40 : 1.0;
  for (size_t k = 0; k < styleText.size(); ++k)
    TextEntity(w, "1", {0, -3 * h - 1.5 * h * static_cast<double>(k)}, h, styleText[k]);
  EndSection(w);
  EndOfFile(w);
  replaced += w.Replaced();
  out.dxf = w.Take();

  std::string sizeList;
  for (const std::string& s : sizeNames) sizeList += (sizeList.empty() ? "" : " ") + AsciiOnly(s, replaced);
  out.rul = std::string(options.flavour == Flavour::kAstm ? "ASTM/D6673/RUL" : "ANSI/AAMA VERSION: 1.0.0") + "\r\n" +
            "AUTHOR: tsln2xml " + TSLN2XML_VERSION + "\r\n" + "PRODUCT: " + style + "\r\n" + "VERSION: 1\r\n" +
            "CREATION DATE: " + DateText(options.created, true) + "\r\n" + "CREATION TIME: " +
            DateText(options.created, false) + "\r\n" + "UNITS: " + UnitsText(options.unit) + "\r\n" +
            "GRADE RULE TABLE: " + table + "\r\n" + "NUMBER OF SIZES: " + std::to_string(sizeNames.size()) + "\r\n" +
            "SIZE LIST: " + sizeList + "\r\n" + "SAMPLE SIZE: " + sample + "\r\n" + rules + "END\r\n";
  return out;
}

}  // namespace tsln2xml::dxf
