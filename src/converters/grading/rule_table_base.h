#pragma once
// The grading layer that rule tables (data type 23) and pieces (data type 20)
// share: the code tables, the point codes, size names and rules turned into
// elements (RuleTableBaseReader) and parsed back (RuleTableBaseWriter).
//
// Point code: up to four flag characters of a point, padded with spaces.
// L K E M Z F R stand for the boolean flags, S/N for Smoothing On/Off, B/Q
// for SegmentBlockBuffer Start/End, A/X/P for Grading Averaging, FixedNext,
// FixedPrevious; digits anywhere form the notch index.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/xml_data_item.h"
#include "model/fixed_text.h"
#include "store/grading_records.h"

namespace tsln2xml {

using PointCode = std::array<uint8_t, grading::kPointCodeWidth>;

// A grading rule table as loaded from its item: the 90-byte header's fields,
// the size records and the rules (in ascending rule id once loaded).
// `numSizes` is the stored count, which may be negative (no records follow).
struct RULE_TABLE {
  Tessaline::FixedText comment1{Tessaline::kPrintable40};
  Tessaline::FixedText comment2{Tessaline::kPrintable40};
  int16_t numSizes = 0;
  int16_t numBreaks = 0;
  int16_t baseIndex = 0;
  uint8_t sizeIdType = 0;
  int8_t sizeIncrement = 0;
  std::vector<grading::SizeRecord> sizes;
  std::vector<grading::RuleNode> rules;
};

// The table owns its sizes and rules, so releasing it releases everything.
struct RuleTableDeleter {
  void operator()(RULE_TABLE* table) const { delete table; }
};

const xml::EnumNameTable<uint8_t>& SizeIdTypeNames();
const xml::EnumNameTable<uint8_t>& BreakFlagNames();

// Removes every "X", "P" and "A" from a code; the rest moves left and the
// code is padded with spaces (a table's rules never carry them).
void RemoveFixedGrading(PointCode& code);

class RuleTableBaseReader : public XMLReader {
 public:
  using XMLReader::XMLReader;

 protected:
  // One GradingRule per rule, with its Point and NumBreaks + 1 Growth
  // elements.
  void EmitRules(xml::Node parent, const std::vector<grading::RuleNode>& rules, int16_t numBreaks);
  // One PieceSize per size record; a size id type other than 0 to 2 fails
  // with "PIECE: Invalid size_id_type".
  void EmitSizes(xml::Node parent, const std::vector<grading::SizeRecord>& sizes, uint8_t sizeIdType);
  // `Value` then `Type` of a size name element.
  void EmitSizeName(xml::Node element, const grading::SizeName& name, uint8_t sizeIdType);
  void EmitPointCode(xml::Node point, const PointCode& code);
};

class RuleTableBaseWriter : public XMLWriter {
 public:
  using XMLWriter::XMLWriter;

 protected:
  grading::SizeName ParseSizeName(xml::Node element, uint8_t sizeIdType);
  grading::SizeRecord ParsePieceSize(xml::Node element, uint8_t sizeIdType);
  PointCode ParsePoint(xml::Node point);
  grading::RuleNode ParseRule(xml::Node element, int16_t numBreaks);
};

// The point code built from a Point element's attributes (exposed for tests).
PointCode BuildPointCode(xml::Node point);

}  // namespace tsln2xml
