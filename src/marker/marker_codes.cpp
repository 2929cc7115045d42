#include "marker/marker_codes.h"

namespace tsln2xml::marker {
namespace {

constexpr const char* kStatusNames[] = {"Made", "Unmade"};
constexpr const char* kLayRuleNames[] = {"Search", "Force", "CopyMarker", "Slide", "Category"};
constexpr const char* kFlipNames[] = {"Original",
                                      "Rotate180Clockwise",
                                      "FlipAboutX",
                                      "Rotate180ClockwiseFlipAboutX",
                                      "Rotate90CounterclockwiseFlipAboutX",
                                      "Rotate90Counterclockwise",
                                      "Rotate90Clockwise",
                                      "Rotate90ClockwiseFlipAboutX",
                                      "Rotate45CounterclockwiseFlipAboutX",
                                      "Rotate45Counterclockwise",
                                      "Rotate45Clockwise",
                                      "Rotate45ClockwiseFlipAboutX"};
constexpr const char* kFormatNames[] = {
    "MarkerName",        "OrderNumber",     "OrderDescription", "ModelName",         "PieceDescription",
    "PieceName",         "PieceSize",       "LeftRight",        "Bundle",            "Constant",
    "NewLine",           "SplitPiece",      "Date",             "LabelA",            "Symbol",
    "LineType1",         "PenNumber",       "PieceCategory",    "MarkerDescription", "ModelSizeQuantity",
    "Length",            "MarkerUtilization", "MarkerWidth",    "AddedPiecesBundles", "LabelB",
    "LineType0",         "LineType2",       "PlaidStripe",      "PlacedArea",        "PlacedPerimeter",
    "PlacedPieceCount"};
constexpr const char* kMatchTypeNames[] = {"Relative", "None", "Same", "SymmetricToStripe", "SymmetricCentering"};
constexpr const char* kOffsetUnitNames[] = {"Distance", "Percentage"};
constexpr const char* kMatchingTypeNames[] = {"Piece", "Model"};
constexpr const char* kDirectionNames[] = {"None", "Left", "Right"};
constexpr const char* kDynamicTypeNames[] = {"CounterclockwiseNoExtension", "Counterclockwise",
                                             "ClockwiseNoExtension", "Clockwise", "XYMove"};
constexpr const char* kDynamicDirectionNames[] = {"Left", "Right", "Both"};
constexpr const char* kPiecingNames[] = {"Fixed", "None"};
constexpr const char* kPointTypeNames[] = {"Grade", "NonGrade",     "Closure",      "Smooth",        "FoldGrade",
                                           "FoldNonGrade", "Mark", "Intersection", "TemporaryNotch"};
constexpr const char* kPointOptionNames[] = {
    "AlternateStart",     "LiftAndPlunge",     "Stack",          "Facing",          "FixedNext",
    "FixedPrevious",      "AverageRule",       "BlockBuffer",    "Entry",           "NoSmoothing",
    "ForceSmoothing",     "Transition",        "BlockBufferEnd", "Corner",          "CornerNotch",
    "MadeToMeasurePaste", "FirstDartPoint",    "LastDartPoint",  "DartTipPoint",    "FoldFirstDartPoint",
    "FoldLastDartPoint",  "PdsTextDefaultSize", "DartNotch"};
constexpr const char* kBlockRuleNames[] = {"Buffer", "Block"};
constexpr const char* kBlockUnitNames[] = {"Distance", "BadPercentage", "Percentage"};
constexpr const char* kSizeIdNames[] = {"Numeric", "Alpha", "LongAlpha"};

static_assert(std::size(kFlipNames) == 12);
static_assert(std::size(kFormatNames) == 31);
static_assert(std::size(kPointOptionNames) == 23);

constexpr FlagBit kLayLimitOptionBits[] = {
    {"Major", 15},    {"AllowInSplice", 4}, {"OneWay", 14},     {"Rotate180", 13},
    {"Rotate90", 12}, {"Rotate45", 11},     {"FoldPiece", 10},  {"OptionPiece", 9},
    {"NoPlot", 8},    {"NoInclude", 7},     {"NoCut", 6},       {"TiltInch", 5}};

}  // namespace

std::string_view CodeName(const CodeTable& table, int32_t code) {
  const int64_t index = static_cast<int64_t>(code) - table.first;
  if (index < 0 || index >= static_cast<int64_t>(table.names.size())) return kUnknownName;
  return table.names[static_cast<size_t>(index)];
}

const CodeTable kHeaderStatus{1, kStatusNames};
// Codes outside the table are written "Unknown", which the marker schema
// accepts beside the names of the table.
const CodeTable kLayRuleType{0, kLayRuleNames};
const CodeTable kFlipCode{0, kFlipNames};
const CodeTable kAnnotationFormat{1, kFormatNames};
const CodeTable kMatchType{0, kMatchTypeNames};
const CodeTable kOffsetUnits{0, kOffsetUnitNames};
const CodeTable kMatchingType{0, kMatchingTypeNames};
const CodeTable kEntryDirection{0, kDirectionNames};
const CodeTable kDynamicRuleType{0, kDynamicTypeNames};
const CodeTable kDynamicRuleDirection{0, kDynamicDirectionNames};
const CodeTable kPiecingType{-1, kPiecingNames};
const CodeTable kPointType{0, kPointTypeNames};
const CodeTable kPointOption{0, kPointOptionNames};
const CodeTable kBlockRuleType{0, kBlockRuleNames};
const CodeTable kBlockUnits{0, kBlockUnitNames};
const CodeTable kSizeIdType{0, kSizeIdNames};

const std::span<const FlagBit> kLayLimitOptions{kLayLimitOptionBits};

}  // namespace tsln2xml::marker
