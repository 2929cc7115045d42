#include "converters/library/block_buffer.h"

#include <algorithm>

#include "converters/library/library_records.h"

namespace tsln2xml {
namespace {

using Tessaline::BlockBufferLibrary;
using Rule = BlockBufferLibrary::Rule;
using Amount = BlockBufferLibrary::Amount;

constexpr int16_t kDataType = 3;
constexpr double kScale = 10000.0;
constexpr size_t kCommentWidth = 20;
const char* const kLoadFailure = "Unable to load BlockBuffer library";
const char* const kSaveFailure = "Error writing BlockBuffer library";

struct RuleRecord {
  static constexpr size_t kSize = 70;
  template <class Io, class R>
  static void Walk(Io& io, R& rule) {
    io.Int(0, rule.number);
    io.Int(2, rule.type);
    for (size_t k = 0; k < BlockBufferLibrary::kAmounts; ++k) {
      io.Int(4 + 6 * k, rule.amounts[k].amount);
      io.Int(8 + 6 * k, rule.amounts[k].units);
    }
  }
};

// The two methods and the five sides of each, in document and store order.
constexpr const char* kMethods[] = {"Static", "Dynamic"};
constexpr const char* kSides[] = {"Left", "Top", "Right", "Bottom", "Segment"};

template <class Io>
void RuleAttributes(Io& io, Rule& rule) {
  io.Int("RuleNumber", rule.number);
  io.Code("RuleType", rule.type, BlockBufferRuleTypeNames());
}

template <class Io>
void AmountAttributes(Io& io, Amount& amount) {
  io.Scaled("Amount", amount.amount, kScale);
  io.Code("Units", amount.units, BlockBufferUnitsNames());
}

}  // namespace

const xml::EnumNameTable<uint8_t>& BlockBufferRuleTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "Buffer"}, {1, "Block"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& BlockBufferUnitsNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "Distance"}, {1, "BadPercentage"}, {2, "Percentage"}};
  return table;
}

std::shared_ptr<BlockBufferLibrary> LoadBlockBufferLibrary(XMLDataItem& item) {
  return library::LoadRuleLibrary<BlockBufferLibrary, RuleRecord, kCommentWidth>(item);
}

void SaveBlockBufferLibrary(XMLDataItem& item, const BlockBufferLibrary& library) {
  library::SaveCommentedTable<RuleRecord, kCommentWidth>(item, library.comment1, library.comment2, library.rules,
                                                         "BlockBuffer rules", kSaveFailure);
}

BlockBufferReader::BlockBufferReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void BlockBufferReader::Convert() {
  xml::Node root = AppendRoot("BlockBuffer");
  auto library = LoadBlockBufferLibrary(*this);
  if (!library) Fail(kLoadFailure);
  library::EmitRuleLibrary(*this, root, *library, [&](xml::Node ruleElement, Rule& rule) {
    AttributeEmitter ruleAttributes(ruleElement);
    RuleAttributes(ruleAttributes, rule);
    // Zero amounts are left out whatever their units, and a method with no
    // amount at all is left out with them.
    for (size_t m = 0; m < std::size(kMethods); ++m) {
      auto first = rule.amounts.begin() + static_cast<ptrdiff_t>(m * BlockBufferLibrary::kSides);
      auto last = first + BlockBufferLibrary::kSides;
      if (std::all_of(first, last, [](const Amount& a) { return a.amount == 0; })) continue;
      xml::Node method = AppendElement(ruleElement, kMethods[m]);
      for (size_t s = 0; s < std::size(kSides); ++s) {
        Amount& amount = first[static_cast<ptrdiff_t>(s)];
        if (amount.amount == 0) continue;
        AttributeEmitter amountAttributes(AppendElement(method, kSides[s]));
        AmountAttributes(amountAttributes, amount);
      }
    }
  });
}

BlockBufferWriter::BlockBufferWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void BlockBufferWriter::Convert() {
  const auto library = library::ParseRuleLibrary<BlockBufferLibrary>(
      *this, "BlockBuffer", "BlockBuffer rules", [&](xml::Node ruleElement, Rule& rule) {
    AttributeParser ruleAttributes(ruleElement);
    RuleAttributes(ruleAttributes, rule);
    // Absent methods and sides keep amount 0 in units 0.
    for (size_t m = 0; m < std::size(kMethods); ++m) {
      xml::Node method = SelectSingleNode(ruleElement, kMethods[m]);
      if (!method) continue;
      for (size_t s = 0; s < std::size(kSides); ++s) {
        xml::Node side = SelectSingleNode(method, kSides[s]);
        if (!side) continue;
        AttributeParser amountAttributes(side);
        AmountAttributes(amountAttributes, rule.amounts[m * BlockBufferLibrary::kSides + s]);
      }
    }
  });
  SaveBlockBufferLibrary(*this, library);
}

}  // namespace tsln2xml
