#include "converters/cutplot/cutter_param.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "converters/cutplot/param_records.h"
#include "converters/library/library_records.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using Tessaline::CutParameterTable;
using DrillSize = CutParameterTable::DrillSize;
using Sequence = CutParameterTable::Sequence;
using cutplot::FlagField;
using library::ReadRecord;
using library::RecordsFit;
using library::ValueRecord;
using library::WriteRecord;

constexpr int16_t kDataType = 14;
constexpr double kLengthScale = 10000.0;
constexpr double kScaleScale = 10.0;
constexpr int16_t kWholeScale = 1000;  // 100 %
constexpr size_t kMaxSequenceBytes = 32767;
const char* const kLoadFailure = "Unable to load Cutter Parameter Table";
const char* const kSaveFailure = "Error writing Cutter Parameter Table";

// The letters of the 24 tool slots, in slot order, and the codes kept in
// extra records, in record order.
constexpr std::string_view kSlotLetters = "CIOUDJPVEKQWFLRXGMSYHNTZ";
constexpr std::string_view kExtraCodes = "0123456789:;<=>?@";

enum OptionBit : uint8_t { kNoOvercutOpenInternals = 0x01, kNCPlus = 0x02, kASTM = 0x04 };

struct Slot {
  uint8_t code = 0;
  int16_t tool = 0;
};
using Slots = std::array<Slot, kSlotLetters.size()>;

// The record's counts and the size value at 194 (written, never read).
struct Counts {
  int8_t sequences = 0;
  uint16_t size194 = 0;
  int8_t drillSizes = 0;
  int8_t extraTools = 0;
};

struct ParameterRecord {
  static constexpr size_t kSize = 210;
  template <class Io, class Table, class SlotArray, class C>
  static void Walk(Io& io, Table& t, SlotArray& slots, C& counts) {
    io.Int(0, t.cutterType);
    FlagField<int16_t>(io, 2, t.labeler);
    io.Int(4, t.bundleType);
    io.Text(6, t.firstBundle, Tessaline::kUpper);
    io.Int(10, t.tableWidth);
    io.Int(14, t.tableLength);
    FlagField<int16_t>(io, 18, t.variableBite);
    io.Int(20, t.biteLength);
    io.Text(24, t.notchEnvironmentName, Tessaline::kUpper);
    io.Int(46, t.perimeterTool);
    io.Int(48, t.cutSmallSlow);
    FlagField<int16_t>(io, 50, t.cutSmallFirst);
    io.Int(52, t.parkHead);
    io.Int(56, t.clip);
    for (size_t k = 0; k < slots.size(); ++k) {
      io.Int(60 + 4 * k, slots[k].code);
      io.Int(62 + 4 * k, slots[k].tool);
    }
    io.Int(156, t.edgeTolerance);
    io.Int(160, t.maxMove);
    io.Int(164, t.foldOvercut);
    FlagField<uint8_t>(io, 168, t.automatch);
    io.Int(170, t.labelHeight);
    io.Int(174, t.labelWidth);
    io.Int(178, t.labelMargin);
    FlagField<int16_t>(io, 182, t.cutNetParts);
    FlagField<uint8_t>(io, 184, t.bidirectionalCut);
    FlagField<uint8_t>(io, 185, t.bidirectionalCutMirror);
    io.Int(186, t.scaleX);
    io.Int(188, t.scaleY);
    FlagField<int16_t>(io, 190, t.flag190);
    io.Int(192, t.cutOptionBits);
    io.Int(193, counts.sequences);
    io.Int(194, counts.size194);
    io.Int(196, counts.drillSizes);
    io.Int(197, counts.extraTools);
    io.Int(198, t.value198);
  }
};

struct DrillSizeRecord {
  static constexpr size_t kSize = 12;
  template <class Io, class D>
  static void Walk(Io& io, D& drill) {
    io.Int(0, drill.internalId);
    io.Int(2, drill.diameter);
  }
};

struct ExtraToolRecord {
  static constexpr size_t kSize = 4;
  template <class Io, class S>
  static void Walk(Io& io, S& slot) {
    io.Int(0, slot.code);
    io.Int(2, slot.tool);
  }
};

// Lengths are written with exactly four decimals and read back through the
// scaling rule, so every stored value returns unchanged.
class CutterEmitter : public AttributeEmitter {
 public:
  explicit CutterEmitter(xml::Node element) : AttributeEmitter(element), element_(element) {}
  void Length(const char* name, const int32_t& stored) { xml::SetAttributeUtf8(element_, name, FourDecimals(stored)); }

 private:
  xml::Node element_;
};

class CutterParser : public AttributeParser {
 public:
  using AttributeParser::AttributeParser;
  void Length(const char* name, int32_t& stored) { Scaled(name, stored, kLengthScale); }
};

// A scale in tenths of a percent; a stored 0 reads as 100 %.
template <class Io>
void ScaleAttribute(Io& io, const char* name, int16_t& stored) {
  if constexpr (Io::kDecoding) {
    io.Scaled(name, stored, kScaleScale);
  } else {
    const int16_t shown = stored == 0 ? kWholeScale : stored;
    io.Scaled(name, shown, kScaleScale);
  }
}

template <class Io>
void RootAttributes(Io& io, CutParameterTable& t) {
  io.Text("NotchEnvironmentName", t.notchEnvironmentName, Tessaline::kUpper);
  ScaleAttribute(io, "ScaleX", t.scaleX);
  ScaleAttribute(io, "ScaleY", t.scaleY);
  io.Code("PerimeterTool", t.perimeterTool, CutterToolNames());
}

template <class Io>
void CutterTableAttributes(Io& io, CutParameterTable& t) {
  io.Code("Type", t.cutterType, CutterTypeNames());
  io.Length("BiteLength", t.biteLength);
  io.Bool("VariableBite", t.variableBite);
  io.Length("Width", t.tableWidth);
  io.Length("Length", t.tableLength);
}

template <class Io>
void LabelerAttributes(Io& io, CutParameterTable& t) {
  io.Length("Width", t.labelWidth);
  io.Length("Height", t.labelHeight);
  io.Length("Margin", t.labelMargin);
}

template <class Io>
void BundlingAttributes(Io& io, CutParameterTable& t) {
  io.Code("BundleType", t.bundleType, BundleTypeNames());
  io.Text("FirstBundle", t.firstBundle, Tessaline::kUpper);
}

template <class Io>
void CutOptionsAttributes(Io& io, CutParameterTable& t) {
  io.Bool("BidirectionalCut", t.bidirectionalCut);
  io.Bool("BidirectionalCutMirror", t.bidirectionalCutMirror);
  io.Bool("CutSmallFirst", t.cutSmallFirst);
  io.Bool("CutNetParts", t.cutNetParts);
  io.Bool("Automatch", t.automatch);
  cutplot::BitAttribute<Io, uint8_t>(io, "NoOvercutOpenInternals", t.cutOptionBits, kNoOvercutOpenInternals);
  cutplot::BitAttribute<Io, uint8_t>(io, "NCPlus", t.cutOptionBits, kNCPlus);
  cutplot::BitAttribute<Io, uint8_t>(io, "ASTM", t.cutOptionBits, kASTM);
  io.Int("CutSmallSlow", t.cutSmallSlow);
  io.Length("MaxMove", t.maxMove);
  io.Length("EdgeTolerance", t.edgeTolerance);
  io.Length("FoldOvercut", t.foldOvercut);
}

template <class Io>
void BiteOptionsAttributes(Io& io, CutParameterTable& t) {
  io.Length("Clip", t.clip);
  io.Length("ParkHead", t.parkHead);
}

template <class Io>
void InternalToolAttributes(Io& io, uint16_t& code, int16_t& tool) {
  io.Code("Internal", code, InternalCodeNames());
  io.Code("Tool", tool, CutterToolNames());
}

template <class Io>
void DrillSizeAttributes(Io& io, DrillSize& drill) {
  io.Int("InternalId", drill.internalId);
  io.Length("Diameter", drill.diameter);
}

// A sequence's stored text: L bytes whose last is the terminator (the text
// also ends at an earlier zero byte); the categories are the non-empty pieces
// between commas.
std::shared_ptr<Sequence> SplitSequence(std::string_view text) {
  auto sequence = std::make_shared<Sequence>();
  text = text.substr(0, text.empty() ? 0 : text.size() - 1);
  text = text.substr(0, text.find('\0'));
  while (!text.empty()) {
    const size_t comma = std::min(text.find(','), text.size());
    const std::string_view piece = text.substr(0, comma);
    if (!piece.empty()) {
      Tessaline::FixedText category = Sequence::Category();
      category.FromField({reinterpret_cast<const uint8_t*>(piece.data()), piece.size()}, Tessaline::kUpper);
      sequence->categories.push_back(std::move(category));
    }
    text.remove_prefix(std::min(comma + 1, text.size()));
  }
  return sequence;
}

}  // namespace

std::string FourDecimals(int32_t stored) {
  const int64_t value = stored;
  const uint64_t magnitude = static_cast<uint64_t>(value < 0 ? -value : value);
  // Formatted in one go: GCC 12 at -O3 warns falsely (-Wrestrict) about
  // inserting into and concatenating short strings here.
  char text[32];
  std::snprintf(text, sizeof text, "%s%llu.%04llu", value < 0 ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000), static_cast<unsigned long long>(magnitude % 10000));
  return text;
}

const xml::EnumNameTable<int16_t>& CutterTypeNames() {
  // Types 3 and 4 read as the kinds they are and are written back as 0 and 1.
  static const xml::EnumNameTable<int16_t> table{
      {0, "Static"}, {1, "VariableBite"}, {2, "FixedBite"}, {3, "Static"}, {4, "VariableBite"}};
  return table;
}

const xml::EnumNameTable<int16_t>& BundleTypeNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "Numeric"}, {1, "Alphanumeric"}};
  return table;
}

const xml::EnumNameTable<int16_t>& CutterToolNames() {
  // "Labeler" has no tool code of its own: it is stored as 0, read as "None".
  static const xml::EnumNameTable<int16_t> table{{0, "None"},  {1, "Drill1"}, {2, "Drill2"}, {3, "OpStop"},
                                                 {4, "Knife"}, {5, "Pen"},    {0, "Labeler"}};
  return table;
}

const xml::EnumNameTable<uint16_t>& InternalCodeNames() {
  static const xml::EnumNameTable<uint16_t> table{
      {'0', "0"}, {'1', "1"},  {'2', "2"},  {'3', "3"},  {'4', "4"},  {'5', "5"},  {'6', "6"},  {'7', "7"},  {'8', "8"},
      {'9', "9"}, {':', "10"}, {';', "11"}, {'<', "12"}, {'=', "13"}, {'>', "14"}, {'?', "15"}, {'@', "16"}, {'C', "C"},
      {'D', "D"}, {'E', "E"},  {'F', "F"},  {'G', "G"},  {'H', "H"},  {'I', "I"},  {'J', "J"},  {'K', "K"},  {'L', "L"},
      {'M', "M"}, {'N', "N"},  {'O', "O"},  {'P', "P"},  {'Q', "Q"},  {'R', "R"},  {'S', "S"},  {'T', "T"},  {'U', "U"},
      {'V', "V"}, {'W', "W"},  {'X', "X"},  {'Y', "Y"},  {'Z', "Z"},
  };
  return table;
}

std::shared_ptr<CutParameterTable> LoadCutParameterTable(XMLDataItem& item) {
  auto table = std::make_shared<CutParameterTable>();
  Slots slots{};
  Counts counts;
  if (!ReadRecord<ParameterRecord>(item, *table, slots, counts)) return nullptr;
  if (counts.sequences < 0 || counts.drillSizes < 0 || counts.extraTools < 0) return nullptr;

  for (int k = 0; k < counts.sequences; ++k) {
    int16_t length = 0;
    if (!ReadRecord<ValueRecord<int16_t>>(item, length) || !RecordsFit(item, length, 1)) return nullptr;
    std::string text(static_cast<size_t>(length), '\0');
    if (!item.ReadExact(text.data(), text.size())) return nullptr;
    table->sequences.push_back(SplitSequence(text));
  }

  if (!RecordsFit(item, counts.drillSizes, DrillSizeRecord::kSize)) return nullptr;
  table->drillSizes.resize(static_cast<size_t>(counts.drillSizes));
  for (DrillSize& drill : table->drillSizes)
    if (!ReadRecord<DrillSizeRecord>(item, drill)) return nullptr;

  for (const Slot& slot : slots)
    if (slot.code != 0 && slot.tool != 0) table->internalTools.emplace(slot.code, slot.tool);
  if (!RecordsFit(item, counts.extraTools, ExtraToolRecord::kSize)) return nullptr;
  for (int k = 0; k < counts.extraTools; ++k) {
    Slot extra;
    if (!ReadRecord<ExtraToolRecord>(item, extra)) return nullptr;
    table->internalTools.emplace(extra.code, extra.tool);
  }
  return table;
}

void SaveCutParameterTable(XMLDataItem& item, const CutParameterTable& table) {
  // Everything is checked and laid out before the first record is written.
  Counts counts;
  counts.sequences = cutplot::Count8(table.sequences.size(), "piece-priority sequences");
  counts.drillSizes = cutplot::Count8(table.drillSizes.size(), "drill sizes");
  std::vector<std::string> texts;
  size_t size194 = ParameterRecord::kSize;
  for (const auto& sequence : table.sequences) {
    std::string text;
    size194 += 4;
    for (size_t k = 0; k < sequence->categories.size(); ++k) {
      const auto& category = sequence->categories[k];
      if (category.str().find(',') != std::string::npos)
        Fail("Invalid Category \"" + category.str() + "\": a category cannot hold \",\"");
      if (k > 0) text += ',';
      text += category.str();
      size194 += category.size() + 1;
    }
    if (text.size() + 1 > kMaxSequenceBytes)
      Fail("Too many bytes in a piece-priority sequence: " + std::to_string(text.size() + 1) + " (at most " +
           std::to_string(kMaxSequenceBytes) + ")");
    texts.push_back(std::move(text));
  }
  // The value at 194 keeps its low 16 bits, as the record holds them.
  counts.size194 = static_cast<uint16_t>(size194);

  Slots slots{};
  for (size_t k = 0; k < slots.size(); ++k) {
    slots[k].code = static_cast<uint8_t>(kSlotLetters[k]);
    auto it = table.internalTools.find(slots[k].code);
    if (it != table.internalTools.end()) slots[k].tool = it->second;
  }
  std::vector<Slot> extras;
  for (char code : kExtraCodes) {
    auto it = table.internalTools.find(static_cast<uint8_t>(code));
    if (it != table.internalTools.end()) extras.push_back({static_cast<uint8_t>(code), it->second});
  }
  counts.extraTools = static_cast<int8_t>(extras.size());

  WriteRecord<ParameterRecord>(item, kSaveFailure, table, slots, counts);
  for (const std::string& text : texts) {
    const auto length = static_cast<int16_t>(text.size() + 1);
    WriteRecord<ValueRecord<int16_t>>(item, kSaveFailure, length);
    item.WriteExact(text.c_str(), text.size() + 1, kSaveFailure);
  }
  for (const DrillSize& drill : table.drillSizes) WriteRecord<DrillSizeRecord>(item, kSaveFailure, drill);
  for (const Slot& extra : extras) WriteRecord<ExtraToolRecord>(item, kSaveFailure, extra);
}

CutterParamReader::CutterParamReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void CutterParamReader::Convert() {
  xml::Node root = AppendRoot("CutterEnvironment");
  auto table = LoadCutParameterTable(*this);
  if (!table) Fail(kLoadFailure);
  CutParameterTable& t = *table;
  auto element = [&](std::string_view name) { return CutterEmitter(AppendElement(root, name)); };
  CutterEmitter rootIo(root);
  RootAttributes(rootIo, t);
  CutterEmitter cutterTable = element("CutterTable");
  CutterTableAttributes(cutterTable, t);
  if (t.labeler) {
    CutterEmitter labeler = element("Labeler");
    LabelerAttributes(labeler, t);
  }
  CutterEmitter bundling = element("Bundling");
  BundlingAttributes(bundling, t);
  CutterEmitter cutOptions = element("CutOptions");
  CutOptionsAttributes(cutOptions, t);
  CutterEmitter biteOptions = element("BiteOptions");
  BiteOptionsAttributes(biteOptions, t);
  for (const auto& [storedCode, storedTool] : t.internalTools) {
    uint16_t code = storedCode;
    int16_t tool = storedTool;
    CutterEmitter io = element("InternalToolMap");
    InternalToolAttributes(io, code, tool);
  }
  for (const auto& sequence : t.sequences) {
    xml::Node priority = AppendElement(root, "PiecePriority");
    for (const auto& category : sequence->categories)
      xml::SetElementText(AppendElement(priority, "Category"), category.str());
  }
  for (DrillSize& drill : t.drillSizes) {
    CutterEmitter io = element("DrillSizeMap");
    DrillSizeAttributes(io, drill);
  }
}

CutterParamWriter::CutterParamWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void CutterParamWriter::Convert() {
  xml::Node root = RequireRoot("CutterEnvironment");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  CutParameterTable t;
  t.scaleX = t.scaleY = kWholeScale;
  for (xml::Node priority : SelectNodes(root, "PiecePriority")) {
    auto sequence = std::make_shared<Sequence>();
    for (xml::Node category : SelectNodes(priority, "Category"))
      sequence->categories.push_back(Sequence::Category(xml::GetElementText(category)));
    t.sequences.push_back(std::move(sequence));
  }
  auto child = [&](const char* name) { return CutterParser(cutplot::RequireChild(*this, root, name)); };
  CutterParser rootIo(root);
  RootAttributes(rootIo, t);
  CutterParser cutterTable = child("CutterTable");
  CutterTableAttributes(cutterTable, t);
  if (xml::Node labeler = SelectSingleNode(root, "Labeler")) {
    t.labeler = true;
    CutterParser io(labeler);
    LabelerAttributes(io, t);
  }
  CutterParser bundling = child("Bundling");
  BundlingAttributes(bundling, t);
  CutterParser cutOptions = child("CutOptions");
  CutOptionsAttributes(cutOptions, t);
  CutterParser biteOptions = child("BiteOptions");
  BiteOptionsAttributes(biteOptions, t);
  for (xml::Node map : SelectNodes(root, "InternalToolMap")) {
    uint16_t code = 0;
    int16_t tool = 0;
    CutterParser io(map);
    InternalToolAttributes(io, code, tool);
    t.internalTools.emplace(code, tool);  // the first of a code wins
  }
  for (xml::Node map : SelectNodes(root, "DrillSizeMap")) {
    CutterParser io(map);
    DrillSizeAttributes(io, t.drillSizes.emplace_back());
  }
  SaveCutParameterTable(*this, t);
}

}  // namespace tsln2xml
