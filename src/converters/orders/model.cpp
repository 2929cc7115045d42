#include "converters/orders/model.h"

#include <cstdio>

#include "converters/library/library_records.h"
#include "converters/orders/model_fields.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using Tessaline::FixedText;
using Tessaline::Model;
using Entry = Model::Entry;
using Option = Model::Option;

constexpr int16_t kDataType = 12;
constexpr int8_t kWrittenVersion = 2;
const char* const kLoadFailure = "Unable to load Model";
const char* const kSaveFailure = "Error writing Model";

struct HeaderRecord {
  static constexpr size_t kSize = 100;
  template <class Io, class M, class Count, class Version>
  static void Walk(Io& io, M& model, Count& entries, Count& defaults, Count& options, Version& version) {
    io.Text(0, model.comment1, Tessaline::kUpper);
    io.Text(40, model.comment2, Tessaline::kUpper);
    io.Int(80, entries);
    io.Int(82, defaults);
    io.Int(84, options);
    io.Int(86, version);
    io.Int(87, model.measure);
  }
};

struct EntryRecord {
  static constexpr size_t kSize = 29;
  template <class Io, class E>
  static void Walk(Io& io, E& entry) {
    io.Int(0, entry.condition);
    io.Int(1, entry.operation);
    io.Text(2, entry.size, Tessaline::kUpper);  // 6 bytes of a 7-byte field
    io.Text(9, entry.pieceName, Tessaline::kUpper);
  }
};

struct PieceTypeRecord {
  static constexpr size_t kSize = 1;
  template <class Io, class E>
  static void Walk(Io& io, E& entry) {
    io.Int(0, entry.pieceType);
  }
};

struct QuantityRecord {
  static constexpr size_t kSize = 11;
  template <class Io, class E>
  static void Walk(Io& io, E& entry) {
    io.Int(0, entry.countAsInput);
    io.Int(1, entry.countMirrorX);
    io.Int(2, entry.countMirrorY);
    io.Int(3, entry.countMirrorXY);
    io.Int(4, entry.halfPiece);
    io.Int(5, entry.splitLimit);
    orders::FlagField<uint8_t>(io, 6, entry.addPiece);
    orders::FabricField(io, 7, entry.fabric);
  }
};

struct NameRecord {
  static constexpr size_t kSize = 7;
  template <class Io, class Text>
  static void Walk(Io& io, Text& name) {
    io.Text(0, name, Tessaline::kUpper);
  }
};

struct OptionRecord {
  static constexpr size_t kSize = 14;
  template <class Io, class Text, class Count, class Position>
  static void Walk(Io& io, Text& name, Count& entries, Position& position) {
    io.Text(0, name, Tessaline::kUpper);
    io.Int(8, entries);
    io.Int(10, position);
  }
};

struct ShrinkRecord {
  static constexpr size_t kSize = 26;
  template <class Io, class E>
  static void Walk(Io& io, E& entry) {
    io.Int(0, entry.shrinkX);
    io.Int(8, entry.shrinkY);
  }
};

struct LibraryNamesRecord {
  static constexpr size_t kSize = 84;
  template <class Io, class M>
  static void Walk(Io& io, M& model) {
    io.Text(0, model.layLimitName, Tessaline::kUpper);
    io.Text(21, model.blockBufferName, Tessaline::kUpper);
    io.Text(42, model.sizeCodeName, Tessaline::kUpper);
    io.Text(63, model.alterationName, Tessaline::kUpper);
  }
};

template <class Io>
void ModelAttributes(Io& io, Model& model) {
  library::CommentAttributes(io, model.comment1, model.comment2);
  io.Code("ShrinkStretchMeasure", model.measure, ShrinkStretchMeasureNames());
  io.Text("AlterationName", model.alterationName, Tessaline::kUpper);
  io.Text("BlockBufferName", model.blockBufferName, Tessaline::kUpper);
  io.Text("LayLimitName", model.layLimitName, Tessaline::kUpper);
  io.Text("SizeCodeName", model.sizeCodeName, Tessaline::kUpper);
}

template <class Io>
void EntryAttributes(Io& io, xml::Node element, Entry& entry) {
  io.Code("Condition", entry.condition, ConditionNames());
  io.Text("Size", entry.size, Tessaline::kUpper);
  io.Code("Operation", entry.operation, OperationNames());
  io.Text("PieceName", entry.pieceName, Tessaline::kUpper);
  io.Code("PieceType", entry.pieceType, ModelPieceTypeNames());
  orders::FabricAttribute<Io>(element, "FabricType", entry.fabric);
  io.Int("CountAsInput", entry.countAsInput);
  io.Int("CountMirrorX", entry.countMirrorX);
  io.Int("CountMirrorY", entry.countMirrorY);
  io.Int("CountMirrorXY", entry.countMirrorXY);
  io.Code("HalfPiece", entry.halfPiece, HalfPieceNames());
  io.Int("DynamicSplitLimit", entry.splitLimit);
  io.Bool("AddPiece", entry.addPiece);
  io.Double("ShrinkX", entry.shrinkX);
  io.Double("ShrinkY", entry.shrinkY);
}

// One entry group: the piece-type byte only for "+", the quantity record
// only for a Normal piece; the other fields keep a new entry's values.
bool ReadEntryGroup(XMLDataItem& item, Entry& entry) {
  if (!library::ReadRecord<EntryRecord>(item, entry)) return false;
  if (entry.operation != Model::kAdd) return true;
  if (!library::ReadRecord<PieceTypeRecord>(item, entry)) return false;
  return entry.pieceType != Model::kNormal || library::ReadRecord<QuantityRecord>(item, entry);
}

void WriteEntryGroup(XMLDataItem& item, const Entry& entry) {
  library::WriteRecord<EntryRecord>(item, kSaveFailure, entry);
  if (entry.operation != Model::kAdd) return;
  library::WriteRecord<PieceTypeRecord>(item, kSaveFailure, entry);
  if (entry.pieceType == Model::kNormal) library::WriteRecord<QuantityRecord>(item, kSaveFailure, entry);
}

// `count` entry groups into `entries`; every group holds at least an entry
// record, so a count the item cannot hold is refused before anything is sized.
bool ReadEntryGroups(XMLDataItem& item, int16_t count, std::vector<Entry>& entries) {
  if (!library::RecordsFit(item, count, EntryRecord::kSize)) return false;
  entries.resize(static_cast<size_t>(count));
  for (Entry& entry : entries)
    if (!ReadEntryGroup(item, entry)) return false;
  return true;
}

// A refused seek fails the save like a refused record.
void Seek(XMLDataItem& item, int32_t offset, int origin) {
  if (item.Seek(offset, origin) != 0) Fail(kSaveFailure);
}

// The Entry elements of the model or of one option, in both directions.
void AppendEntries(XMLReader& reader, xml::Node parent, std::vector<Entry>& entries) {
  for (Entry& entry : entries) {
    xml::Node element = reader.AppendElement(parent, "Entry");
    AttributeEmitter attributes(element);
    EntryAttributes(attributes, element, entry);
  }
}

std::vector<Entry> ParseEntries(const XMLWriter& writer, xml::Node parent, const std::string& what) {
  const auto elements = writer.SelectNodes(parent, "Entry");
  Count16(elements.size(), what);
  std::vector<Entry> entries(elements.size());
  for (size_t i = 0; i < elements.size(); ++i) {
    AttributeParser attributes(elements[i]);
    EntryAttributes(attributes, elements[i], entries[i]);
  }
  return entries;
}

}  // namespace

const xml::EnumNameTable<uint8_t>& ConditionNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {Model::kLessThan, "LessThan"}, {Model::kEqualTo, "EqualTo"}, {Model::kGreaterThan, "GreaterThan"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& OperationNames() {
  static const xml::EnumNameTable<uint8_t> table{{Model::kAdd, "Add"}, {Model::kRemove, "Remove"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& ModelPieceTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{{Model::kNormal, "Normal"}, {Model::kPaste, "Paste"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& HalfPieceNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "None"}, {1, "Same"}, {2, "Any"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& ShrinkStretchMeasureNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "Percentage"}, {1, "Linear"}};
  return table;
}

std::shared_ptr<Model> LoadModel(XMLDataItem& item) {
  auto model = std::make_shared<Model>();
  int16_t entries = 0, defaults = 0, options = 0;
  int8_t version = 0;
  if (!library::ReadRecord<HeaderRecord>(item, *model, entries, defaults, options, version)) return nullptr;
  if (!ReadEntryGroups(item, entries, model->entries)) return nullptr;

  if (!library::RecordsFit(item, defaults, NameRecord::kSize)) return nullptr;
  model->defaultOptions.assign(static_cast<size_t>(defaults), FixedText(Tessaline::kSizeName6));
  for (FixedText& name : model->defaultOptions)
    if (!library::ReadRecord<NameRecord>(item, name)) return nullptr;

  // The option table first, then each option's entry groups in table order;
  // the stored positions are not needed to find them.
  if (!library::RecordsFit(item, options, OptionRecord::kSize)) return nullptr;
  std::vector<int16_t> optionEntries(static_cast<size_t>(options));
  for (int16_t& count : optionEntries) {
    auto option = std::make_shared<Option>();
    int32_t position = 0;
    if (!library::ReadRecord<OptionRecord>(item, option->name, count, position)) return nullptr;
    model->options.push_back(std::move(option));
  }
  for (size_t i = 0; i < model->options.size(); ++i)
    if (!ReadEntryGroups(item, optionEntries[i], model->options[i]->entries)) return nullptr;

  if (version >= 1) {
    for (Entry& entry : model->entries)
      if (!library::ReadRecord<ShrinkRecord>(item, entry)) return nullptr;
    for (const auto& option : model->options)
      for (Entry& entry : option->entries)
        if (!library::ReadRecord<ShrinkRecord>(item, entry)) return nullptr;
  }
  if (version >= 2 && !library::ReadRecord<LibraryNamesRecord>(item, *model)) return nullptr;
  return model;
}

void SaveModel(XMLDataItem& item, const Model& model) {
  const int16_t entries = Count16(model.entries.size(), "Model entries");
  const int16_t defaults = Count16(model.defaultOptions.size(), "Model default options");
  const int16_t options = Count16(model.options.size(), "Model options");
  for (const auto& option : model.options) Count16(option->entries.size(), "entries in a Model option");

  library::WriteRecord<HeaderRecord>(item, kSaveFailure, model, entries, defaults, options, kWrittenVersion);
  for (Entry entry : model.entries) {
    entry.condition = Model::kEqualTo;
    entry.size.Assign("");
    entry.operation = Model::kAdd;
    WriteEntryGroup(item, entry);
  }
  for (const FixedText& name : model.defaultOptions) library::WriteRecord<NameRecord>(item, kSaveFailure, name);

  // The option table holds each option's entry position, counted from the
  // table's end: leave room for it, write the entry groups, then go back.
  if (!model.options.empty()) {
    const int32_t tableStart = item.Tell();
    Seek(item, options * static_cast<int32_t>(OptionRecord::kSize), SEEK_CUR);
    const int32_t tableEnd = item.Tell();
    std::vector<int32_t> positions;
    for (const auto& option : model.options) {
      positions.push_back(item.Tell() - tableEnd);
      for (const Entry& entry : option->entries) WriteEntryGroup(item, entry);
    }
    Seek(item, tableStart, SEEK_SET);
    for (size_t i = 0; i < model.options.size(); ++i) {
      const int16_t count = static_cast<int16_t>(model.options[i]->entries.size());
      library::WriteRecord<OptionRecord>(item, kSaveFailure, model.options[i]->name, count, positions[i]);
    }
    Seek(item, 0, SEEK_END);
  }

  for (const Entry& entry : model.entries) library::WriteRecord<ShrinkRecord>(item, kSaveFailure, entry);
  for (const auto& option : model.options)
    for (const Entry& entry : option->entries) library::WriteRecord<ShrinkRecord>(item, kSaveFailure, entry);
  library::WriteRecord<LibraryNamesRecord>(item, kSaveFailure, model);
}

ModelReader::ModelReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void ModelReader::Convert() {
  xml::Node root = AppendRoot("Model");
  auto model = LoadModel(*this);
  if (!model) Fail(kLoadFailure);
  AttributeEmitter rootAttributes(root);
  ModelAttributes(rootAttributes, *model);
  for (const FixedText& name : model->defaultOptions) xml::SetElementText(AppendElement(root, "DefaultOption"), name.str());
  AppendEntries(*this, root, model->entries);
  for (const auto& option : model->options) {
    xml::Node element = AppendElement(root, "Option");
    AttributeEmitter attributes(element);
    attributes.Text("Name", option->name, Tessaline::kUpper);
    AppendEntries(*this, element, option->entries);
  }
}

ModelWriter::ModelWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void ModelWriter::Convert() {
  xml::Node root = RequireRoot("Model");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  Model model;
  AttributeParser rootAttributes(root);
  ModelAttributes(rootAttributes, model);
  model.entries = ParseEntries(*this, root, "Model entries");
  const auto options = SelectNodes(root, "Option");
  Count16(options.size(), "Model options");
  for (xml::Node element : options) {
    auto option = std::make_shared<Option>();
    AttributeParser attributes(element);
    attributes.Text("Name", option->name, Tessaline::kUpper);
    option->entries = ParseEntries(*this, element, "entries in a Model option");
    model.options.push_back(std::move(option));
  }
  const auto defaults = SelectNodes(root, "DefaultOption");
  Count16(defaults.size(), "Model default options");
  for (xml::Node element : defaults)
    model.defaultOptions.emplace_back(Tessaline::kSizeName6, xml::GetElementText(element));
  SaveModel(*this, model);
}

}  // namespace tsln2xml
