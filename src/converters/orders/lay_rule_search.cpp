#include "converters/orders/lay_rule_search.h"

#include "converters/library/library_records.h"
#include "converters/orders/flag_attributes.h"

namespace tsln2xml {
namespace {

constexpr int16_t kDataType = 15;
const char* const kLoadFailure = "Unable to load LayRuleSearch";
const char* const kSaveFailure = "Error writing LayRuleSearch";

// The flag word's bits: three shown on the root, the others on Criteria.
// Bits 15 to 31 are neither shown nor written.
constexpr orders::FlagBit kRootFlags[] = {{"AreaCompare", 11}, {"CopyDynamics", 12}, {"AllowOverrides", 13}};
constexpr orders::FlagBit kCriteriaFlags[] = {
    {"MarkerName", 0}, {"Description", 1}, {"OrderNumber", 2},  {"Width", 3},
    {"LayLimits", 4},  {"BlockBuffer", 5}, {"Matching", 6},     {"NumberOfModels", 7},
    {"ModelNames", 8}, {"Alteration", 9},  {"ActualSizes", 10}, {"ModelOptions", 14},
};

struct CriteriaRecord {
  static constexpr size_t kSize = 48;
  template <class Io, class R>
  static void Walk(Io& io, R& record) {
    io.Int(0, record.flags);
    io.Int(4, record.areaTolerance);
    io.Int(8, record.areaSign);
    io.Int(10, record.maxTries);
    io.Int(12, record.acceptableUtilization);
  }
};

template <class Io>
void RootAttributes(Io& io, LR_CRITERIA& record) {
  io.Code("AreaSign", record.areaSign, AreaSignNames());
  io.Float("AreaTolerance", record.areaTolerance);
  orders::FlagAttributes(io, record.flags, kRootFlags);
  io.Code("AcceptableUtilization", record.acceptableUtilization, AcceptableUtilizationNames());
  io.Int("MaxTries", record.maxTries);
}

}  // namespace

const xml::EnumNameTable<uint8_t>& AreaSignNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "PlusOrMinus"}, {1, "Plus"}, {2, "Minus"}};
  return table;
}

const xml::EnumNameTable<int16_t>& AcceptableUtilizationNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "Best"}, {1, "Acceptable"}};
  return table;
}

std::shared_ptr<LR_CRITERIA> NewLayRuleSearch() {
  return std::shared_ptr<LR_CRITERIA>(new LR_CRITERIA{}, LayRuleSearchDeleter{});
}

std::shared_ptr<LR_CRITERIA> LoadLayRuleSearch(XMLDataItem& item) {
  auto record = NewLayRuleSearch();
  // A short item is damaged: its missing bytes must not pass for zeros.
  if (!library::ReadRecord<CriteriaRecord>(item, *record)) return nullptr;
  return record;
}

void SaveLayRuleSearch(XMLDataItem& item, const LR_CRITERIA& record) {
  library::WriteRecord<CriteriaRecord>(item, kSaveFailure, record);
}

LayRuleSearchReader::LayRuleSearchReader(std::string_view areaRoot, std::string_view areaName,
                                         std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void LayRuleSearchReader::Convert() {
  xml::Node root = AppendRoot("LayRuleSearch");
  auto record = LoadLayRuleSearch(*this);
  if (!record) Fail(kLoadFailure);
  AttributeEmitter rootAttributes(root);
  RootAttributes(rootAttributes, *record);
  AttributeEmitter criteria(AppendElement(root, "Criteria"));
  orders::FlagAttributes(criteria, record->flags, kCriteriaFlags);
}

LayRuleSearchWriter::LayRuleSearchWriter(std::string_view areaRoot, std::string_view areaName,
                                         std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void LayRuleSearchWriter::Convert() {
  xml::Node root = RequireRoot("LayRuleSearch");
  if (xml::GetAttributeText(root, "Name") != ItemName()) Fail("Inconsistent name supplied");
  auto record = NewLayRuleSearch();
  AttributeParser rootAttributes(root);
  RootAttributes(rootAttributes, *record);
  // Without Criteria (the schema requires it) no criterion is set.
  AttributeParser criteria(SelectSingleNode(root, "Criteria"));
  orders::FlagAttributes(criteria, record->flags, kCriteriaFlags);
  SaveLayRuleSearch(*this, *record);
}

}  // namespace tsln2xml
