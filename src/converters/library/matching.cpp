#include "converters/library/matching.h"

#include "converters/library/library_records.h"

namespace tsln2xml {
namespace {

using Tessaline::MatchingLibrary;
using Rule = MatchingLibrary::Rule;
using Axis = MatchingLibrary::Axis;
using Point = MatchingLibrary::Point;

constexpr int16_t kDataType = 11;
constexpr double kScale = 10000.0;
constexpr size_t kCommentWidth = 20;
const char* const kLoadFailure = "Unable to load Matching library";
const char* const kSaveFailure = "Error writing Matching library";

// Where the four fields of a direction sit in the rule record.
struct AxisOffsets {
  size_t type, offset, units, repeat;
};
constexpr AxisOffsets kPlaidAt{66, 68, 72, 74};
constexpr AxisOffsets kStripeAt{75, 76, 80, 82};

template <class Io, class A>
void AxisFields(Io& io, A& axis, AxisOffsets at) {
  io.Int(at.type, axis.type);
  io.Int(at.offset, axis.offset);
  io.Int(at.units, axis.units);
  io.Int(at.repeat, axis.repeat);
}

struct RuleRecord {
  static constexpr size_t kSize = 92;
  template <class Io, class R>
  static void Walk(Io& io, R& rule) {
    io.Int(0, rule.number);
    io.Text(2, rule.comment, Tessaline::kUpper);
    io.Text(22, rule.points[0].category, Tessaline::kUpper);
    io.Int(42, rule.points[0].number);
    io.Text(44, rule.points[1].category, Tessaline::kUpper);
    io.Int(64, rule.points[1].number);
    AxisFields(io, rule.plaid, kPlaidAt);
    AxisFields(io, rule.stripe, kStripeAt);
    io.Int(84, rule.target);
  }
};

template <class Io>
void RuleAttributes(Io& io, Rule& rule) {
  io.Int("Number", rule.number);
  io.Text("Comment", rule.comment, Tessaline::kUpper);
  io.Code("Target", rule.target, MatchingTargetNames());
}

template <class Io>
void AxisAttributes(Io& io, Axis& axis) {
  io.Code("Type", axis.type, MatchingRuleTypeNames());
  io.Int("Repeat", axis.repeat);
}

template <class Io>
void OffsetAttributes(Io& io, Axis& axis) {
  io.Scaled("Amount", axis.offset, kScale);
  io.Code("Units", axis.units, MatchingUnitsNames());
}

template <class Io>
void PointAttributes(Io& io, Point& point) {
  io.Text("Category", point.category, Tessaline::kUpper);
  io.Int("Number", point.number);
}

}  // namespace

const xml::EnumNameTable<int16_t>& MatchingTargetNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "Piece"}, {1, "Fabric"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& MatchingRuleTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {0, "Relative"}, {1, "None"}, {2, "Same"}, {3, "Symmetric"}, {4, "SymmetricCentered"},
  };
  return table;
}

const xml::EnumNameTable<uint8_t>& MatchingUnitsNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "Distance"}, {1, "Percentage"}};
  return table;
}

std::shared_ptr<MatchingLibrary> LoadMatchingLibrary(XMLDataItem& item) {
  return library::LoadRuleLibrary<MatchingLibrary, RuleRecord, kCommentWidth>(item);
}

void SaveMatchingLibrary(XMLDataItem& item, const MatchingLibrary& library) {
  library::SaveCommentedTable<RuleRecord, kCommentWidth>(item, library.comment1, library.comment2, library.rules,
                                                         "Matching rules", kSaveFailure);
}

MatchingReader::MatchingReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void MatchingReader::Convert() {
  xml::Node root = AppendRoot("Matching");
  auto library = LoadMatchingLibrary(*this);
  if (!library) Fail(kLoadFailure);
  library::EmitRuleLibrary(*this, root, *library, [&](xml::Node ruleElement, Rule& rule) {
    AttributeEmitter ruleAttributes(ruleElement);
    RuleAttributes(ruleAttributes, rule);
    for (auto [name, axis] : {std::pair{"Plaid", &rule.plaid}, std::pair{"Stripe", &rule.stripe}}) {
      xml::Node axisElement = AppendElement(ruleElement, name);
      AttributeEmitter axisAttributes(axisElement);
      AxisAttributes(axisAttributes, *axis);
      AttributeEmitter offsetAttributes(AppendElement(axisElement, "Offset"));
      OffsetAttributes(offsetAttributes, *axis);
    }
    for (Point& point : rule.points) {
      AttributeEmitter pointAttributes(AppendElement(ruleElement, "Point"));
      PointAttributes(pointAttributes, point);
    }
  });
}

MatchingWriter::MatchingWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void MatchingWriter::Convert() {
  const auto library = library::ParseRuleLibrary<MatchingLibrary>(
      *this, "Matching", "Matching rules", [&](xml::Node ruleElement, Rule& rule) {
    AttributeParser ruleAttributes(ruleElement);
    RuleAttributes(ruleAttributes, rule);
    for (auto [name, axis] : {std::pair{"Plaid", &rule.plaid}, std::pair{"Stripe", &rule.stripe}}) {
      xml::Node axisElement = SelectSingleNode(ruleElement, name);
      AttributeParser axisAttributes(axisElement);
      AxisAttributes(axisAttributes, *axis);
      AttributeParser offsetAttributes(SelectSingleNode(axisElement, "Offset"));
      OffsetAttributes(offsetAttributes, *axis);
    }
    const auto points = SelectNodes(ruleElement, "Point");
    if (points.size() < rule.points.size())
      throw XmlServiceError(hresult::kFail, "A matching rule needs two <Point> elements");
    for (size_t p = 0; p < rule.points.size(); ++p) {
      AttributeParser pointAttributes(points[p]);
      PointAttributes(pointAttributes, rule.points[p]);
    }
  });
  SaveMatchingLibrary(*this, library);
}

}  // namespace tsln2xml
