#pragma once
// Grading rule tables (data type 23): store records <-> "Grading" documents.
//
// Store layout: a 90-byte header (two 40-byte comments, NumSizes, NumBreaks,
// BaseIndex, size id type, SizeIncrement, rule count), NumSizes 10-byte size
// records, then per rule a 26-byte rule record followed by NumBreaks + 1
// growth pairs (store/grading_records.h).

#include <memory>

#include "converters/grading/rule_table_base.h"

namespace tsln2xml {

class RuleTableReader : public RuleTableBaseReader {
 public:
  RuleTableReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class RuleTableWriter : public RuleTableBaseWriter {
 public:
  RuleTableWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The table in an open item, its rules in ascending rule id (equal ids in
// item order), or nullptr when a record cannot be read.
std::shared_ptr<RULE_TABLE> LoadRuleTable(XMLDataItem& item);

// Results of SaveRuleTable.
enum RuleTableSaveResult : int {
  kRuleSaveFailed = 0,
  kRuleTableSaved = 1,
  kSizeSaveFailed = 3,
  kHeaderSaveFailed = 10,
};
// Writes the header, the size records and the rules in list order; the first
// refused write ends the save.
RuleTableSaveResult SaveRuleTable(XMLDataItem& item, const RULE_TABLE& table);

}  // namespace tsln2xml
