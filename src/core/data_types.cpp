#include "core/data_types.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tsln2xml {
namespace {

constexpr ItemFileEntry kItemFiles[] = {
    {"alter.ctl", "alter%c%c%c.alt", 1},  {"annot.ctl", "annot%c%c%c.ann", 2},
    {"block.ctl", "block%c%c%c.blk", 3},  {"cut.ctl", "cut%c%c%c.cut", 4},
    {"lay.ctl", "lay%c%c%c.lay", 6},      {"match.ctl", "match%c%c%c.mat", 11},
    {"model.ctl", "model%c%c%c.mod", 12}, {"order.ctl", "order%c%c%c.ord", 13},
    {"cutpt.ctl", "cutpt%c%c%c.par", 14}, {"lyrpt.ctl", "lyrpt%c%c%c.par", 15},
    {"mplpt.ctl", "mplpt%c%c%c.par", 16}, {"notpt.ctl", "notpt%c%c%c.par", 17},
    {"pplpt.ctl", "pplpt%c%c%c.par", 18}, {"usrpt.ctl", "usrpt%c%c%c.par", 19},
    {"piece.ctl", "piece%c%c%c.pce", 20}, {"pcels.ctl", "pcels%c%c%c.pls", 21},
    {"plot.ctl", "plot%c%c%c.plo", 22},   {"rutab.ctl", "rutab%c%c%c.rtb", 23},
    {"sizpt.ctl", "sizpt%c%c%c.siz", 24},
};

constexpr const ItemFileEntry* Entry(int code) {
  for (const auto& e : kItemFiles)
    if (e.code == code) return &e;
  return nullptr;
}

constexpr DataTypeInfo kDataTypes[] = {
    {1, "Alteration", Entry(1)},
    {2, "Annotation", Entry(2)},
    {3, "BlockBuffer", Entry(3)},
    {4, "Cut", Entry(4)},
    {5, "RawPiece", nullptr},
    {6, "LayLimit", Entry(6)},
    {7, "LayRule", nullptr},
    {8, "Macro", nullptr},
    {9, "Marker", nullptr},
    {11, "Matching", Entry(11)},
    {12, "Model", Entry(12)},
    {13, "Order", Entry(13)},
    {14, "CutterEnvironment", Entry(14)},
    {15, "LayRuleSearch", Entry(15)},
    {16, "MarkerPlotEnvironment", Entry(16)},
    {17, "NotchEnvironment", Entry(17)},
    {18, "PiecePlotEnvironment", Entry(18)},
    {19, "UserEnvironment", Entry(19)},
    {20, "Piece", Entry(20)},
    {21, "PieceList", Entry(21)},
    {22, "Plot", Entry(22)},
    {23, "Grading", Entry(23)},
    {24, "SizeCode", Entry(24)},
    {25, "Text", nullptr},
};
static_assert(std::size(kDataTypes) == 24);
static_assert(std::size(kItemFiles) == 19);

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::span<const DataTypeInfo> DataTypes() { return kDataTypes; }
std::span<const ItemFileEntry> ItemFileEntries() { return kItemFiles; }

const DataTypeInfo* FindDataType(int code) {
  for (const auto& t : kDataTypes)
    if (t.code == code) return &t;
  return nullptr;
}

const ItemFileEntry* FindItemFileEntry(int code) { return Entry(code); }

const char* CatalogFileName(int code) {
  if (code == kMarkerDataType) return kMarkerCatalog;
  const ItemFileEntry* entry = Entry(code);
  return entry ? entry->controlFile : nullptr;
}

std::string_view DataTypeName(int code) {
  const DataTypeInfo* t = FindDataType(code);
  return t ? t->name : "";
}

std::optional<int16_t> ParseDataType(std::string_view text) {
  int code = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), code);
  if (res.ec == std::errc() && res.ptr == text.data() + text.size()) {
    if (code < INT16_MIN || code > INT16_MAX) return std::nullopt;
    return static_cast<int16_t>(code);
  }
  for (const auto& t : kDataTypes)
    if (EqualsNoCase(t.name, text)) return t.code;
  return std::nullopt;
}

}  // namespace tsln2xml
