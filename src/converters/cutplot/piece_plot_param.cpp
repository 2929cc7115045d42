#include "converters/cutplot/piece_plot_param.h"

#include "converters/cutplot/marker_plot_param.h"
#include "converters/cutplot/param_records.h"
#include "converters/library/library_records.h"

namespace tsln2xml {
namespace {

using Tessaline::PiecePlotParameterTable;
using LabelTool = PiecePlotParameterTable::LabelTool;
using cutplot::FlagField;
using cutplot::NarrowField;

constexpr int16_t kDataType = 18;
constexpr double kScaleScale = 10.0;
constexpr int16_t kWholeScale = 1000;  // 100 %
const char* const kLoadFailure = "Unable to load Piece Plot Parameter Table";
const char* const kSaveFailure = "Error writing Piece Plot Parameter Table";

enum Flag : uint8_t { kTitleBlockSizes = 0x01, kPieceAnnotationGrain = 0x02 };

struct Counts {
  int16_t sizes = 0;
  int8_t labels = 0;
};

struct ParameterRecord {
  static constexpr size_t kSize = 48;
  template <class Io, class Table, class C>
  static void Walk(Io& io, Table& t, C& counts) {
    io.Text(0, t.notchEnvironmentName, Tessaline::kAsIs);
    io.Int(22, t.rotation);
    io.Int(24, t.scaleX);
    io.Int(26, t.scaleY);
    FlagField<int8_t>(io, 28, t.pointAnnotation);
    FlagField<int8_t>(io, 29, t.gradingAnnotation);
    FlagField<int8_t>(io, 30, t.connectGradePoints);
    FlagField<int8_t>(io, 31, t.titleName);
    FlagField<int8_t>(io, 32, t.titleDate);
    FlagField<int8_t>(io, 33, t.titleCategory);
    FlagField<int8_t>(io, 34, t.titleDescription);
    FlagField<int8_t>(io, 35, t.titleGradingName);
    FlagField<int8_t>(io, 36, t.titleArea);
    FlagField<int8_t>(io, 37, t.titlePerimeter);
    NarrowField<int8_t>(io, 38, t.titleLocation);
    io.Int(40, counts.sizes);
    FlagField<int8_t>(io, 42, t.titleLabels);
    NarrowField<int8_t>(io, 43, t.perimeterTool);
    io.Int(44, counts.labels);
    NarrowField<int8_t>(io, 45, t.plotSizes);
    io.Int(46, t.flags);
  }
};

struct SizeRecord {
  static constexpr size_t kSize = 9;
  template <class Io, class Text>
  static void Walk(Io& io, Text& name) {
    io.Text(0, name, Tessaline::kAsIs);
  }
};

struct LabelToolRecord {
  static constexpr size_t kSize = 3;
  template <class Io, class L>
  static void Walk(Io& io, L& entry) {
    io.Int(0, entry.label);
    NarrowField<int8_t>(io, 2, entry.tool);
  }
};

const xml::EnumNameTable<uint8_t>& PieceAnnotationNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "Center"}, {kPieceAnnotationGrain, "Grain"}};
  return table;
}

template <class Io>
void RootAttributes(Io& io, PiecePlotParameterTable& t) {
  io.Text("NotchEnvironmentName", t.notchEnvironmentName, Tessaline::kAsIs);
  io.Scaled("Rotation", t.rotation, 1.0);
  io.Scaled("ScaleX", t.scaleX, kScaleScale);
  io.Scaled("ScaleY", t.scaleY, kScaleScale);
  io.Bool("PointAnnotation", t.pointAnnotation);
  io.Bool("GradingAnnotation", t.gradingAnnotation);
  io.Bool("ConnectGradePoints", t.connectGradePoints);
  cutplot::BitCodeAttribute<Io, uint8_t>(io, "PieceAnnotation", t.flags, kPieceAnnotationGrain, PieceAnnotationNames());
  io.Code("PlotSizes", t.plotSizes, PlotSizesNames());
  io.Code("PerimeterTool", t.perimeterTool, PlotToolNames());
}

template <class Io>
void TitleBlockAttributes(Io& io, PiecePlotParameterTable& t) {
  io.Bool("Name", t.titleName);
  io.Bool("Date", t.titleDate);
  io.Bool("Category", t.titleCategory);
  io.Bool("Description", t.titleDescription);
  io.Bool("GradingName", t.titleGradingName);
  io.Bool("Area", t.titleArea);
  io.Bool("Perimeter", t.titlePerimeter);
  cutplot::BitAttribute<Io, uint8_t>(io, "Sizes", t.flags, kTitleBlockSizes);
  io.Bool("Labels", t.titleLabels);
  io.Code("Location", t.titleLocation, TitleBlockLocationNames());
}

template <class Io>
void LabelToolAttributes(Io& io, LabelTool& entry) {
  io.Int("Label", entry.label);
  io.Code("Tool", entry.tool, PlotToolNames());
}

}  // namespace

const xml::EnumNameTable<int16_t>& TitleBlockLocationNames() {
  static const xml::EnumNameTable<int16_t> table{
      {1, "BottomLeft"}, {2, "TopLeft"}, {3, "BottomRight"}, {4, "TopRight"}};
  return table;
}

const xml::EnumNameTable<int16_t>& PlotSizesNames() {
  static const xml::EnumNameTable<int16_t> table{{2, "Single"}, {1, "Nest"}};
  return table;
}

std::shared_ptr<PiecePlotParameterTable> LoadPiecePlotParameterTable(XMLDataItem& item) {
  auto table = std::make_shared<PiecePlotParameterTable>();
  Counts counts;
  if (!library::ReadRecord<ParameterRecord>(item, *table, counts)) return nullptr;
  if (!library::RecordsFit(item, counts.sizes, SizeRecord::kSize)) return nullptr;
  table->sizes.assign(static_cast<size_t>(counts.sizes), Tessaline::FixedText(Tessaline::kSizeName9));
  for (auto& size : table->sizes)
    if (!library::ReadRecord<SizeRecord>(item, size)) return nullptr;
  if (!library::RecordsFit(item, counts.labels, LabelToolRecord::kSize)) return nullptr;
  table->labels.resize(static_cast<size_t>(counts.labels));
  for (LabelTool& entry : table->labels)
    if (!library::ReadRecord<LabelToolRecord>(item, entry)) return nullptr;
  return table;
}

void SavePiecePlotParameterTable(XMLDataItem& item, const PiecePlotParameterTable& table) {
  Counts counts;
  counts.sizes = Count16(table.sizes.size(), "Size entries");
  counts.labels = cutplot::Count8(table.labels.size(), "LabelToolMap entries");
  library::WriteRecord<ParameterRecord>(item, kSaveFailure, table, counts);
  for (const auto& size : table.sizes) library::WriteRecord<SizeRecord>(item, kSaveFailure, size);
  for (const LabelTool& entry : table.labels) library::WriteRecord<LabelToolRecord>(item, kSaveFailure, entry);
}

PiecePlotParamReader::PiecePlotParamReader(std::string_view areaRoot, std::string_view areaName,
                                           std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void PiecePlotParamReader::Convert() {
  xml::Node root = AppendRoot("PiecePlotEnvironment");
  auto table = LoadPiecePlotParameterTable(*this);
  if (!table) Fail(kLoadFailure);
  PiecePlotParameterTable& t = *table;
  AttributeEmitter rootIo(root);
  RootAttributes(rootIo, t);
  AttributeEmitter titleBlock(AppendElement(root, "TitleBlockAnnotation"));
  TitleBlockAttributes(titleBlock, t);
  for (LabelTool& entry : t.labels) {
    AttributeEmitter io(AppendElement(root, "LabelToolMap"));
    LabelToolAttributes(io, entry);
  }
  for (const auto& size : t.sizes) AttributeEmitter(AppendElement(root, "Size")).Text("Name", size, Tessaline::kAsIs);
}

PiecePlotParamWriter::PiecePlotParamWriter(std::string_view areaRoot, std::string_view areaName,
                                           std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void PiecePlotParamWriter::Convert() {
  xml::Node root = RequireRoot("PiecePlotEnvironment");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  PiecePlotParameterTable t;
  t.scaleX = t.scaleY = kWholeScale;
  AttributeParser rootIo(root);
  RootAttributes(rootIo, t);
  AttributeParser titleBlock(cutplot::RequireChild(*this, root, "TitleBlockAnnotation"));
  TitleBlockAttributes(titleBlock, t);
  for (xml::Node map : SelectNodes(root, "LabelToolMap")) {
    AttributeParser io(map);
    LabelToolAttributes(io, t.labels.emplace_back());
  }
  for (xml::Node size : SelectNodes(root, "Size"))
    AttributeParser(size).Text("Name", t.sizes.emplace_back(Tessaline::kSizeName9), Tessaline::kAsIs);
  SavePiecePlotParameterTable(*this, t);
}

}  // namespace tsln2xml
