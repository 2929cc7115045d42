#include "converters/library/alteration.h"

#include "converters/library/library_records.h"

namespace tsln2xml {
namespace {

using Tessaline::AlterationLibrary;
using Rule = AlterationLibrary::Rule;
using Item = AlterationLibrary::Item;

constexpr int16_t kDataType = 1;
constexpr double kScale = 1000.0;  // X and Y are kept in 1/1000, not 1/10000
const char* const kLoadFailure = "Unable to load Alteration library";
const char* const kSaveFailure = "Error writing Alteration library";

struct RuleRecord {
  static constexpr size_t kSize = 14;
  template <class Io, class R, class Count>
  static void Walk(Io& io, R& rule, Count& items) {
    io.Text(0, rule.name, Tessaline::kUpper);
    io.Int(10, rule.pieceUsage);
    io.Int(12, items);
  }
};

struct ItemRecord {
  static constexpr size_t kSize = 14;
  template <class Io, class I>
  static void Walk(Io& io, I& item) {
    io.Int(0, item.type);
    io.Int(2, item.firstPoint);
    io.Int(4, item.secondPoint);
    io.Int(6, item.x);
    io.Int(10, item.y);
  }
};

template <class Io>
void RuleAttributes(Io& io, Rule& rule) {
  io.Text("Name", rule.name, Tessaline::kUpper);
  io.Code("PieceUsage", rule.pieceUsage, PieceUsageNames());
}

template <class Io>
void ItemAttributes(Io& io, Item& item) {
  io.Code("Type", item.type, AlterationTypeNames());
  io.Int("FirstPoint", item.firstPoint);
  io.Int("SecondPoint", item.secondPoint);
  io.Scaled("XPercentAlt", item.x, kScale);
  io.Scaled("YPercentAlt", item.y, kScale);
}

}  // namespace

const xml::EnumNameTable<uint8_t>& PieceUsageNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "Left"}, {1, "Right"}, {2, "Both"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& AlterationTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {0, "CounterClockwiseNoExtension"},
      {1, "CounterClockwiseExtension"},
      {2, "ClockwiseNoExtension"},
      {3, "ClockwiseExtension"},
      {4, "XYMove"},
  };
  return table;
}

std::shared_ptr<AlterationLibrary> LoadAlterationLibrary(XMLDataItem& item) {
  auto library = std::make_shared<AlterationLibrary>();
  int16_t rules = 0;
  if (!library::ReadRecord<library::ValueRecord<int16_t>>(item, rules)) return nullptr;
  if (!library::RecordsFit(item, rules, RuleRecord::kSize)) return nullptr;
  library->rules.reserve(static_cast<size_t>(rules));
  for (int16_t r = 0; r < rules; ++r) {
    auto rule = std::make_shared<Rule>();
    int16_t items = 0;
    if (!library::ReadRecord<RuleRecord>(item, *rule, items)) return nullptr;
    if (!library::RecordsFit(item, items, ItemRecord::kSize)) return nullptr;
    rule->items.resize(static_cast<size_t>(items));
    for (Item& entry : rule->items)
      if (!library::ReadRecord<ItemRecord>(item, entry)) return nullptr;
    library->rules.push_back(std::move(rule));
  }
  return library;
}

void SaveAlterationLibrary(XMLDataItem& item, const AlterationLibrary& library) {
  const int16_t rules = Count16(library.rules.size(), "Alteration rules");
  for (const auto& rule : library.rules) Count16(rule->items.size(), "items in an Alteration rule");
  library::WriteRecord<library::ValueRecord<int16_t>>(item, kSaveFailure, rules);
  for (const auto& rule : library.rules) {
    const int16_t items = static_cast<int16_t>(rule->items.size());
    library::WriteRecord<RuleRecord>(item, kSaveFailure, *rule, items);
    for (const Item& entry : rule->items) library::WriteRecord<ItemRecord>(item, kSaveFailure, entry);
  }
}

AlterationReader::AlterationReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void AlterationReader::Convert() {
  xml::Node root = AppendRoot("Alteration");
  auto library = LoadAlterationLibrary(*this);
  if (!library) Fail(kLoadFailure);
  for (const auto& rule : library->rules) {
    xml::Node ruleElement = AppendElement(root, "Rule");
    AttributeEmitter ruleAttributes(ruleElement);
    RuleAttributes(ruleAttributes, *rule);
    for (Item& entry : rule->items) {
      AttributeEmitter itemAttributes(AppendElement(ruleElement, "Item"));
      ItemAttributes(itemAttributes, entry);
    }
  }
}

AlterationWriter::AlterationWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void AlterationWriter::Convert() {
  xml::Node root = RequireRoot("Alteration");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  AlterationLibrary library;
  const auto rules = SelectNodes(root, "Rule");
  Count16(rules.size(), "Alteration rules");
  library.rules.reserve(rules.size());
  for (xml::Node ruleElement : rules) {
    auto rule = std::make_shared<Rule>();
    AttributeParser ruleAttributes(ruleElement);
    RuleAttributes(ruleAttributes, *rule);
    const auto items = SelectNodes(ruleElement, "Item");
    Count16(items.size(), "items in an Alteration rule");
    rule->items.resize(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
      AttributeParser itemAttributes(items[i]);
      ItemAttributes(itemAttributes, rule->items[i]);
    }
    library.rules.push_back(std::move(rule));
  }
  SaveAlterationLibrary(*this, library);
}

}  // namespace tsln2xml
