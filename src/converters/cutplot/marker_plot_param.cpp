#include "converters/cutplot/marker_plot_param.h"

#include "converters/cutplot/param_records.h"
#include "converters/library/library_records.h"

namespace tsln2xml {
namespace {

using Tessaline::MarkerPlotParameterTable;
using LabelTool = MarkerPlotParameterTable::LabelTool;
using cutplot::BitAttribute;
using cutplot::FlagField;

constexpr int16_t kDataType = 16;
constexpr double kLengthScale = 10000.0;
constexpr double kScaleScale = 10.0;
constexpr int16_t kWholeScale = 1000;          // 100 %
constexpr int32_t kDefaultSeparation = 40000;  // 4 units
const char* const kLoadFailure = "Unable to load Marker Plot Parameter Table";
const char* const kSaveFailure = "Error writing Marker Plot Parameter Table";

enum Option : uint16_t {
  kAllPieces = 0x0001,
  kPieceLocationGrain = 0x0002,
  kDieCutBlocks = 0x0004,
  kUseScale = 0x0008,
  kPdsPiece = 0x0010,
  kUnplaced = 0x0020,
  kBundlePrompt = 0x0040,
};

struct ParameterRecord {
  static constexpr size_t kSize = 74;
  template <class Io, class Table, class Count>
  static void Walk(Io& io, Table& t, Count& labels) {
    io.Int(0, t.rotation);
    io.Int(2, t.scaleX);
    io.Int(4, t.scaleY);
    io.Text(6, t.notchEnvironmentName, Tessaline::kAsIs);
    io.Int(28, t.options);
    io.Int(30, t.markerLocation);
    io.Int(32, t.pieces);
    io.Int(34, t.markerBorder);
    io.Int(36, t.matching);
    io.Int(38, t.bundleCodes);
    io.Text(40, t.firstBundle, Tessaline::kAsIs);
    io.Int(44, t.spliceLocation);
    FlagField<int16_t>(io, 46, t.spliceAnnotate);
    io.Int(48, t.spliceSeparation);
    io.Int(52, t.spliceMinimum);
    io.Int(56, t.spliceMaximum);
    io.Int(60, t.spliceMargin);
    io.Int(64, t.separation);
    FlagField<int16_t>(io, 68, t.grain);
    io.Int(70, t.perimeterTool);
    io.Int(72, labels);
  }
};

struct LabelToolRecord {
  static constexpr size_t kSize = 4;
  template <class Io, class L>
  static void Walk(Io& io, L& entry) {
    io.Int(0, entry.label);
    io.Int(2, entry.tool);
  }
};

// A splice length: -1 ("not set") is written and read as -1, any other value
// in 1/10000 units.
template <class Io>
void SpliceLength(Io& io, const char* name, int32_t& stored) {
  if constexpr (Io::kDecoding) {
    double value = stored / kLengthScale;  // stands when the attribute is absent
    io.Double(name, value);
    stored = value == -1.0 ? MarkerPlotParameterTable::kNoLength : xml::ScaleToInt32(value, kLengthScale);
  } else if (stored == MarkerPlotParameterTable::kNoLength) {
    io.Double(name, -1.0);
  } else {
    io.Scaled(name, stored, kLengthScale);
  }
}

template <class Io>
void RootAttributes(Io& io, MarkerPlotParameterTable& t) {
  io.Text("NotchEnvironmentName", t.notchEnvironmentName, Tessaline::kAsIs);
  io.Scaled("Rotation", t.rotation, 1.0);
  io.Scaled("ScaleX", t.scaleX, kScaleScale);
  io.Scaled("ScaleY", t.scaleY, kScaleScale);
  io.Code("PerimeterTool", t.perimeterTool, PlotToolNames());
  io.Scaled("Separation", t.separation, kLengthScale);
}

template <class Io>
void OptionsAttributes(Io& io, MarkerPlotParameterTable& t) {
  BitAttribute<Io, uint16_t>(io, "DieCutBlocks", t.options, kDieCutBlocks);
  io.Bool("Grain", t.grain);
  BitAttribute<Io, uint16_t>(io, "Unplaced", t.options, kUnplaced);
  io.Code("MarkerBorder", t.markerBorder, MarkerBorderNames());
  io.Code("Pieces", t.pieces, PlotPiecesNames());
  io.Code("Matching", t.matching, PlotMatchingNames());
}

const xml::EnumNameTable<uint16_t>& PieceLocationNames() {
  static const xml::EnumNameTable<uint16_t> table{{0, "Center"}, {kPieceLocationGrain, "Grain"}};
  return table;
}

template <class Io>
void AnnotationAttributes(Io& io, MarkerPlotParameterTable& t) {
  io.Code("MarkerLocation", t.markerLocation, MarkerLocationNames());
  BitAttribute<Io, uint16_t>(io, "AllPieces", t.options, kAllPieces);
  cutplot::BitCodeAttribute<Io, uint16_t>(io, "PieceLocation", t.options, kPieceLocationGrain, PieceLocationNames());
  io.Code("BundleCodes", t.bundleCodes, PlotBundleCodeNames());
  io.Text("FirstBundle", t.firstBundle, Tessaline::kAsIs);
  BitAttribute<Io, uint16_t>(io, "UseScale", t.options, kUseScale);
  BitAttribute<Io, uint16_t>(io, "PdsPiece", t.options, kPdsPiece);
  BitAttribute<Io, uint16_t>(io, "BundlePrompt", t.options, kBundlePrompt);
}

template <class Io>
void SpliceAttributes(Io& io, MarkerPlotParameterTable& t) {
  SpliceLength(io, "MinimumLength", t.spliceMinimum);
  SpliceLength(io, "MaximumLength", t.spliceMaximum);
  SpliceLength(io, "Margin", t.spliceMargin);
  io.Scaled("Separation", t.spliceSeparation, kLengthScale);
  io.Code("Location", t.spliceLocation, SpliceLocationNames());
  io.Bool("Annotate", t.spliceAnnotate);
}

template <class Io>
void LabelToolAttributes(Io& io, LabelTool& entry) {
  io.Int("Label", entry.label);
  io.Code("Tool", entry.tool, PlotToolNames());
}

}  // namespace

const xml::EnumNameTable<int16_t>& PlotToolNames() {
  static const xml::EnumNameTable<int16_t> table{{4, "Knife"}, {6, "Pen"}};
  return table;
}

const xml::EnumNameTable<int16_t>& MarkerBorderNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "None"}, {1, "Bottom"}, {2, "All"}};
  return table;
}

const xml::EnumNameTable<int16_t>& PlotPiecesNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "All"}, {1, "First"}, {2, "Window"}, {3, "Blocks"}};
  return table;
}

const xml::EnumNameTable<int16_t>& PlotMatchingNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "None"},      {1, "Both"},       {2, "Plaid"},
                                                 {3, "Stripe"},    {4, "BottomLeft"}, {5, "BothFull"},
                                                 {6, "PlaidFull"}, {7, "StripeFull"}};
  return table;
}

const xml::EnumNameTable<int16_t>& MarkerLocationNames() {
  static const xml::EnumNameTable<int16_t> table{
      {0, "None"},        {1, "BottomLeftIn"}, {2, "BottomLeftOut"}, {3, "BottomRightIn"}, {4, "BottomRightOut"},
      {5, "TopLeftIn"},   {6, "TopLeftOut"},   {7, "TopRightIn"},    {8, "TopRightOut"},   {9, "EndLeftIn"},
      {10, "EndLeftOut"}, {11, "EndRightIn"},  {12, "EndRightOut"},  {13, "BothEndIn"},    {14, "BothEndOut"}};
  return table;
}

const xml::EnumNameTable<int16_t>& PlotBundleCodeNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "Numeric"}, {1, "Alphanumeric"}};
  return table;
}

const xml::EnumNameTable<int16_t>& SpliceLocationNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "None"},  {1, "BottomIn"}, {2, "BottomOut"},
                                                 {3, "TopIn"}, {4, "TopOut"},   {5, "Inside"}};
  return table;
}

std::shared_ptr<MarkerPlotParameterTable> LoadMarkerPlotParameterTable(XMLDataItem& item) {
  auto table = std::make_shared<MarkerPlotParameterTable>();
  int16_t labels = 0;
  if (!library::ReadRecord<ParameterRecord>(item, *table, labels)) return nullptr;
  if (!library::RecordsFit(item, labels, LabelToolRecord::kSize)) return nullptr;
  table->labels.resize(static_cast<size_t>(labels));
  for (LabelTool& entry : table->labels)
    if (!library::ReadRecord<LabelToolRecord>(item, entry)) return nullptr;
  return table;
}

void SaveMarkerPlotParameterTable(XMLDataItem& item, const MarkerPlotParameterTable& table) {
  const int16_t labels = Count16(table.labels.size(), "LabelToolMap entries");
  library::WriteRecord<ParameterRecord>(item, kSaveFailure, table, labels);
  for (const LabelTool& entry : table.labels) library::WriteRecord<LabelToolRecord>(item, kSaveFailure, entry);
}

MarkerPlotParamReader::MarkerPlotParamReader(std::string_view areaRoot, std::string_view areaName,
                                             std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void MarkerPlotParamReader::Convert() {
  xml::Node root = AppendRoot("MarkerPlotEnvironment");
  auto table = LoadMarkerPlotParameterTable(*this);
  if (!table) Fail(kLoadFailure);
  MarkerPlotParameterTable& t = *table;
  AttributeEmitter rootIo(root);
  RootAttributes(rootIo, t);
  AttributeEmitter options(AppendElement(root, "Options"));
  OptionsAttributes(options, t);
  AttributeEmitter annotation(AppendElement(root, "Annotation"));
  AnnotationAttributes(annotation, t);
  AttributeEmitter splice(AppendElement(root, "Splice"));
  SpliceAttributes(splice, t);
  for (LabelTool& entry : t.labels) {
    AttributeEmitter io(AppendElement(root, "LabelToolMap"));
    LabelToolAttributes(io, entry);
  }
}

MarkerPlotParamWriter::MarkerPlotParamWriter(std::string_view areaRoot, std::string_view areaName,
                                             std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void MarkerPlotParamWriter::Convert() {
  xml::Node root = RequireRoot("MarkerPlotEnvironment");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  MarkerPlotParameterTable t;
  t.scaleX = t.scaleY = kWholeScale;
  t.separation = t.spliceSeparation = kDefaultSeparation;
  AttributeParser rootIo(root);
  RootAttributes(rootIo, t);
  AttributeParser options(cutplot::RequireChild(*this, root, "Options"));
  OptionsAttributes(options, t);
  AttributeParser annotation(cutplot::RequireChild(*this, root, "Annotation"));
  AnnotationAttributes(annotation, t);
  AttributeParser splice(cutplot::RequireChild(*this, root, "Splice"));
  SpliceAttributes(splice, t);
  for (xml::Node map : SelectNodes(root, "LabelToolMap")) {
    AttributeParser io(map);
    LabelToolAttributes(io, t.labels.emplace_back());
  }
  SaveMarkerPlotParameterTable(*this, t);
}

}  // namespace tsln2xml
