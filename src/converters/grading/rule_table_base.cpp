#include "converters/grading/rule_table_base.h"

#include <algorithm>
#include <string>

#include "framework/attribute_io.h"
#include "platform/byte_order.h"

namespace tsln2xml {
namespace {

using grading::GrowthPair;
using grading::RuleNode;
using grading::SizeName;
using grading::SizeRecord;

constexpr Tessaline::FixedTextKind kAlphaSize{7, Tessaline::TextRule::kNone};  // the 8th byte stays a terminator
constexpr Tessaline::FixedTextKind kLongAlphaSize{8, Tessaline::TextRule::kNone};
constexpr double kGrowthScale = 10000.0;

// The point-code characters, in the fixed order a code is built in. A
// boolean flag is present when its attribute is true; an enumerated one
// when its attribute has the value.
struct PointFlag {
  char ch;
  const char* attribute;
  const char* value;
  bool boolean;
};

constexpr PointFlag kPointFlags[] = {
    {'L', "LiftAndPlunge", "true", true},   {'K', "AlternateStart", "true", true},
    {'E', "Entry", "true", true},           {'M', "MTMPasteAdjust", "true", true},
    {'Z', "Stacking", "true", true},        {'F', "Facing", "true", true},
    {'R', "Rotation", "true", true},        {'S', "Smoothing", "On", false},
    {'N', "Smoothing", "Off", false},       {'B', "SegmentBlockBuffer", "Start", false},
    {'Q', "SegmentBlockBuffer", "End", false}, {'A', "Grading", "Averaging", false},
    {'X', "Grading", "FixedNext", false},   {'P', "Grading", "FixedPrevious", false},
};

const PointFlag* FindFlag(uint8_t ch) {
  for (const PointFlag& f : kPointFlags)
    if (static_cast<uint8_t>(f.ch) == ch) return &f;
  return nullptr;
}

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The NotchIndex text that goes into the code: a text of one or two
// characters as it stands, a longer one (the schema allows "0099") by the
// digits of its value; the white space around an integer never reaches the
// code.
std::string NotchText(xml::Node point) {
  auto text = xml::GetAttributeUtf8(point, "NotchIndex");
  if (!text || text->empty()) return {};
  std::string notch = text->size() <= 2 ? *text : std::to_string(xml::ConvertToInteger(*text, 0, 99));
  std::erase_if(notch, IsXmlSpace);
  return notch;
}

template <class Io, class G>
void GrowthAttributes(Io& io, G& pair) {
  io.Scaled("GrowthX", pair.x, kGrowthScale);
  io.Scaled("GrowthY", pair.y, kGrowthScale);
}

}  // namespace

const xml::EnumNameTable<uint8_t>& SizeIdTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {grading::kNumeric, "Numeric"}, {grading::kAlpha, "Alpha"}, {grading::kLongAlpha, "LongAlpha"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& BreakFlagNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "NonGrading"}, {1, "Grading"}};
  return table;
}

void RemoveFixedGrading(PointCode& code) {
  auto end = std::remove_if(code.begin(), code.end(), [](uint8_t c) { return c == 'X' || c == 'P' || c == 'A'; });
  std::fill(end, code.end(), uint8_t{' '});
}

PointCode BuildPointCode(xml::Node point) {
  std::string flags;
  for (const PointFlag& f : kPointFlags) {
    const bool present = f.boolean ? xml::GetAttributeBool(point, f.attribute, false)
                                   : xml::GetAttributeUtf8(point, f.attribute) == std::string(f.value);
    if (present) flags.push_back(f.ch);
  }
  // Flags beyond four are dropped; a notch index goes in only when all its
  // digits fit, since a cut index would read back as another index.
  const std::string notch = NotchText(point);
  if (flags.size() + notch.size() <= grading::kPointCodeWidth) flags += notch;
  PointCode code;
  code.fill(' ');
  for (size_t i = 0; i < code.size() && i < flags.size(); ++i) code[i] = static_cast<uint8_t>(flags[i]);
  return code;
}

void RuleTableBaseReader::EmitPointCode(xml::Node point, const PointCode& code) {
  int notch = 0;
  for (uint8_t c : code) {
    if (IsDigit(c)) {
      notch = notch * 10 + (c - '0');
    } else if (const PointFlag* f = FindFlag(c)) {
      xml::SetAttributeUtf8(point, f->attribute, f->value);
    }
  }
  if (notch > 0) SetAttribute(point, "NotchIndex", int32_t{notch});
}

void RuleTableBaseReader::EmitSizeName(xml::Node element, const SizeName& name, uint8_t sizeIdType) {
  switch (sizeIdType) {
    case grading::kNumeric:
      SetAttribute(element, "Value", int32_t{platform::LoadLE<int16_t>(name.data())});
      break;
    case grading::kAlpha:
    case grading::kLongAlpha: {
      Tessaline::FixedText text(kLongAlphaSize);
      text.FromField(name, Tessaline::kAsIs);
      SetAttribute(element, "Value", text.str());
      break;
    }
    default: Fail("PIECE: Invalid size_id_type");
  }
  xml::SetAttributeUtf8(element, "Type", SizeIdTypeNames().NameOf(sizeIdType));
}

void RuleTableBaseReader::EmitSizes(xml::Node parent, const std::vector<SizeRecord>& sizes, uint8_t sizeIdType) {
  for (const SizeRecord& size : sizes) {
    xml::Node element = AppendElement(parent, "PieceSize");
    xml::SetAttributeUtf8(element, "BreakFlag", BreakFlagNames().NameOf(size.breakFlag));
    EmitSizeName(AppendElement(element, "Name"), size.name, sizeIdType);
  }
}

void RuleTableBaseReader::EmitRules(xml::Node parent, const std::vector<RuleNode>& rules, int16_t numBreaks) {
  const size_t pairs = grading::GrowthPairCount(numBreaks);
  for (const RuleNode& rule : rules) {
    xml::Node element = AppendElement(parent, "GradingRule");
    if (rule.hasComment) SetAttribute(element, "Comment", rule.comment.str());
    SetAttribute(element, "RuleId", int32_t{rule.id});
    EmitPointCode(AppendElement(element, "Point"), rule.code);
    for (size_t i = 0; i < pairs && i < rule.growth.size(); ++i) {
      AttributeEmitter growth(AppendElement(element, "Growth"));
      GrowthAttributes(growth, rule.growth[i]);
    }
  }
}

SizeName RuleTableBaseWriter::ParseSizeName(xml::Node element, uint8_t sizeIdType) {
  SizeName name{};
  switch (sizeIdType) {
    case grading::kNumeric:
      platform::StoreLE<int16_t>(name.data(), xml::GetAttributeInt16(element, "Value", 0));
      break;
    case grading::kAlpha:
    case grading::kLongAlpha: {
      Tessaline::FixedText text(sizeIdType == grading::kAlpha ? kAlphaSize : kLongAlphaSize);
      text.FromText(xml::GetAttributeText(element, "Value"), Tessaline::kAsIs);
      text.ToField(name);
      break;
    }
    default: Fail("GRADING: Invalid size_id_type");
  }
  return name;
}

SizeRecord RuleTableBaseWriter::ParsePieceSize(xml::Node element, uint8_t sizeIdType) {
  xml::Node name = SelectSingleNode(element, "Name");
  if (!name) Fail("Missing required <Name> element");
  SizeRecord size;
  size.name = ParseSizeName(name, sizeIdType);
  size.breakFlag = xml::GetAttributeText(element, "BreakFlag", "NonGrading") == "Grading" ? 1 : 0;
  return size;
}

PointCode RuleTableBaseWriter::ParsePoint(xml::Node point) { return BuildPointCode(point); }

RuleNode RuleTableBaseWriter::ParseRule(xml::Node element, int16_t numBreaks) {
  RuleNode rule;
  // An empty comment (or one of spaces, which the reader would give back
  // empty) means none.
  rule.comment.FromText(xml::GetAttributeText(element, "Comment"), Tessaline::kAsIs);
  rule.hasComment = !rule.comment.empty();
  rule.id = xml::GetAttributeInt16(element, "RuleId", 0);
  xml::Node point = SelectSingleNode(element, "Point");
  if (!point) Fail("Missing required <Point> element");
  rule.code = ParsePoint(point);
  const auto growth = SelectNodes(element, "Growth");
  // A negative NumBreaks stands for no growth pairs, as the reader reads it.
  if (growth.size() != grading::GrowthPairCount(numBreaks))
    Fail("Inconsistent number of GradingRuleGrowth Elements and NumBreaks.");
  rule.growth.resize(growth.size());
  for (size_t i = 0; i < growth.size(); ++i) {
    AttributeParser parser(growth[i]);
    GrowthAttributes(parser, rule.growth[i]);
  }
  return rule;
}

}  // namespace tsln2xml
