#include "store/piece_builder.h"

#include <algorithm>

#include "platform/byte_order.h"

namespace tsln2xml::grading {

SizeName NumericSizeName(int16_t value) {
  SizeName name{};
  platform::StoreLE<int16_t>(name.data(), value);
  return name;
}

SizeName TextSizeName(std::string_view text) {
  SizeName name{};
  std::copy_n(text.begin(), std::min(text.size(), name.size()), name.begin());
  return name;
}

RuleNode MakeRule(int16_t id, std::string_view code, std::optional<std::string_view> comment,
                  std::vector<GrowthPair> growth) {
  RuleNode rule;
  rule.id = id;
  std::copy_n(code.begin(), std::min(code.size(), rule.code.size()), rule.code.begin());
  if (comment) {
    rule.hasComment = true;
    rule.comment.FromText(*comment, Tessaline::kAsIs);
  }
  rule.growth = std::move(growth);
  return rule;
}

PiecePoint MakePoint(int16_t id, int32_t x, int32_t y, uint8_t type, std::vector<uint8_t> attributes) {
  PiecePoint point;
  point.id = id;
  point.x = x;
  point.y = y;
  point.type = type;
  point.attributes = std::move(attributes);
  return point;
}

PIECE DemoPiece() {
  constexpr uint8_t kGrade = 0, kNonGrade = 1, kMark = 6;
  PIECE piece;
  piece.category.FromText("SHIRT", Tessaline::kAsIs);
  piece.description.FromText("Front", Tessaline::kAsIs);
  piece.numBreaks = 1;
  piece.sizeIdType = kAlpha;
  piece.baseSize = TextSizeName("M");
  piece.baseIndex = 1;
  piece.sizeIncrement = 1;
  for (const auto& [name, flag] : {std::pair{"S", 0}, {"M", 1}, {"L", 0}, {"XL", 1}})
    piece.sizes.push_back({TextSizeName(name), static_cast<uint8_t>(flag)});
  piece.ruleSourceName.FromText("MISSES", Tessaline::kAsIs);
  piece.rules.push_back(MakeRule(10, "S3  ", "Side seam", {{2500, 1250}, {5000, 2500}}));
  piece.rules.push_back(MakeRule(20, "LEX ", std::nullopt, {{0, -1250}, {0, -2500}}));
  piece.perimeter = {
      MakePoint(1, 0, 0, kGrade, {kAlignmentMark}),
      MakePoint(2, 100000, 0, kNonGrade),
      MakePoint(3, 200000, 0, kGrade, {1, kAlignmentMark}),
      MakePoint(4, 200000, 100000, kSmoothPoint),
      MakePoint(5, 210000, 200000, kSmoothPoint),
      MakePoint(6, 200000, 300000, kGrade),
      MakePoint(7, 100000, 310000, kSmoothPoint),
      MakePoint(8, 0, 300000, kGrade, {1}),
      MakePoint(9, 0, 0, kClosurePoint),
  };
  piece.nextPointId = 10;
  PieceInternal grain;
  grain.id = 1;
  grain.type = 1;
  grain.styleLineNumber = 2;
  grain.points = {MakePoint(1, 100000, 50000, kGrade), MakePoint(2, 100000, 150000, kSmoothPoint),
                  MakePoint(3, 100000, 250000, kGrade)};
  grain.lineName.emplace();
  grain.lineName->name.FromText("GRAIN", Tessaline::kAsIs);
  grain.lineName->startX = 12345;
  grain.lineName->startY = 500000;
  grain.lineName->deltaY = 25005;
  grain.internal1 = Internal1Record{7, 2, 1};
  PieceInternal drill;
  drill.id = 2;
  drill.type = 3;
  drill.hideLineFlag = -1;
  drill.points = {MakePoint(1, 150000, 150000, kMark)};
  piece.internals = {std::move(grain), std::move(drill)};
  piece.nextInternalId = 3;
  piece.digitizedSize = TextSizeName("M");
  return piece;
}

}  // namespace tsln2xml::grading
