#include "converters/grading/rule_table.h"

#include <algorithm>

#include "converters/library/library_records.h"

namespace tsln2xml {
namespace {

using grading::GrowthPairLayout;
using grading::RuleNode;
using grading::RuleRecordLayout;
using grading::SizeRecordLayout;

constexpr int16_t kDataType = 23;
const char* const kLoadFailure = "Unable to load Grading rule table";
const char* const kSaveFailure = "Error writing Grading rule table";

struct HeaderLayout {
  static constexpr size_t kSize = 90;
  template <class Io, class T, class Count>
  static void Walk(Io& io, T& table, Count& rules) {
    io.Text(0, table.comment1, Tessaline::kAsIs);
    io.Text(40, table.comment2, Tessaline::kAsIs);
    io.Int(80, table.numSizes);
    io.Int(82, table.numBreaks);
    io.Int(84, table.baseIndex);
    io.Int(86, table.sizeIdType);
    io.Int(87, table.sizeIncrement);
    io.Int(88, rules);
  }
};

// Appends `Layout`'s record of `fields` to `out`.
template <class Layout, class... Fields>
void Encode(std::vector<uint8_t>& out, const Fields&... fields) {
  const size_t at = out.size();
  out.resize(at + Layout::kSize, 0);
  RecordEncoder encoder(std::span<uint8_t>(out).subspan(at, Layout::kSize));
  Layout::Walk(encoder, fields...);
}

bool WriteAll(XMLDataItem& item, const std::vector<uint8_t>& bytes) {
  return bytes.empty() || item.Write(bytes.data(), bytes.size()) == bytes.size();
}

template <class Io>
void HeaderAttributes(Io& io, RULE_TABLE& table) {
  io.Text("Comment1", table.comment1, Tessaline::kAsIs);
  io.Text("Comment2", table.comment2, Tessaline::kAsIs);
  io.Code("SizeIdType", table.sizeIdType, SizeIdTypeNames());
  io.Int("NumBreaks", table.numBreaks);
  io.Int("NumSizes", table.numSizes);
  io.Int("BaseIndex", table.baseIndex);
  io.Int("SizeIncrement", table.sizeIncrement);
}

}  // namespace

std::shared_ptr<RULE_TABLE> LoadRuleTable(XMLDataItem& item) {
  std::shared_ptr<RULE_TABLE> table(new RULE_TABLE, RuleTableDeleter());
  int16_t rules = 0;
  if (!library::ReadRecord<HeaderLayout>(item, *table, rules)) return nullptr;
  // A negative count reads no records.
  if (table->numSizes > 0) {
    if (!library::RecordsFit(item, table->numSizes, SizeRecordLayout::kSize)) return nullptr;
    table->sizes.resize(static_cast<size_t>(table->numSizes));
    for (auto& size : table->sizes)
      if (!library::ReadRecord<SizeRecordLayout>(item, size)) return nullptr;
  }
  const size_t pairs = grading::GrowthPairCount(table->numBreaks);
  if (rules > 0) {
    if (!library::RecordsFit(item, rules, RuleRecordLayout::kSize + pairs * GrowthPairLayout::kSize)) return nullptr;
    table->rules.resize(static_cast<size_t>(rules));
    for (RuleNode& rule : table->rules) {
      if (!library::ReadRecord<RuleRecordLayout>(item, rule)) return nullptr;
      RemoveFixedGrading(rule.code);
      rule.growth.resize(pairs);
      for (auto& pair : rule.growth)
        if (!library::ReadRecord<GrowthPairLayout>(item, pair)) return nullptr;
    }
  }
  std::stable_sort(table->rules.begin(), table->rules.end(),
                   [](const RuleNode& a, const RuleNode& b) { return a.id < b.id; });
  return table;
}

RuleTableSaveResult SaveRuleTable(XMLDataItem& item, const RULE_TABLE& table) {
  std::vector<uint8_t> bytes;
  const int16_t rules = Count16(table.rules.size(), "grading rules");
  Encode<HeaderLayout>(bytes, table, rules);
  if (!WriteAll(item, bytes)) return kHeaderSaveFailed;
  bytes.clear();
  for (const auto& size : table.sizes) Encode<SizeRecordLayout>(bytes, size);
  if (!WriteAll(item, bytes)) return kSizeSaveFailed;
  for (const RuleNode& rule : table.rules) {
    bytes.clear();
    Encode<RuleRecordLayout>(bytes, rule);
    for (const auto& pair : rule.growth) Encode<GrowthPairLayout>(bytes, pair);
    if (!WriteAll(item, bytes)) return kRuleSaveFailed;
  }
  return kRuleTableSaved;
}

RuleTableReader::RuleTableReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : RuleTableBaseReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void RuleTableReader::Convert() {
  std::shared_ptr<RULE_TABLE> table = LoadRuleTable(*this);
  if (!table) Fail(kLoadFailure);
  xml::Node root = AppendRoot("Grading");
  AttributeEmitter attributes(root);
  HeaderAttributes(attributes, *table);
  EmitRules(root, table->rules, table->numBreaks);
  EmitSizes(root, table->sizes, table->sizeIdType);
}

RuleTableWriter::RuleTableWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : RuleTableBaseWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void RuleTableWriter::Convert() {
  xml::Node root = RequireRoot("Grading");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  std::shared_ptr<RULE_TABLE> table(new RULE_TABLE, RuleTableDeleter());
  AttributeParser attributes(root);
  HeaderAttributes(attributes, *table);
  const auto rules = SelectNodes(root, "GradingRule");
  Count16(rules.size(), "grading rules");
  table->rules.reserve(rules.size());
  for (xml::Node rule : rules) table->rules.push_back(ParseRule(rule, table->numBreaks));
  const auto sizes = SelectNodes(root, "PieceSize");
  // A negative NumSizes stands for no sizes, as the reader reads it.
  if (static_cast<int64_t>(sizes.size()) != std::max<int64_t>(table->numSizes, 0))
    Fail("Inconsistent number of PieceSize Elements and NumSizes.");
  for (xml::Node size : sizes) table->sizes.push_back(ParsePieceSize(size, table->sizeIdType));
  if (SaveRuleTable(*this, *table) != kRuleTableSaved) Fail(kSaveFailure);
}

}  // namespace tsln2xml
