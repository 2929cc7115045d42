#include "dxf/dxf_export.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include "converters/grading/piece.h"
#include "core/data_types.h"
#include "core/exception.h"
#include "dxf/marker_dxf.h"
#include "framework/output_file.h"
#include "platform/byte_order.h"
#include "platform/host_files.h"
#include "platform/paths.h"
#include "platform/replace_file.h"
#include "store/catalog.h"
#include "store/item_path.h"

namespace tsln2xml::dxf {
namespace {

constexpr int kUserEnvironmentType = 19;
constexpr size_t kEnvironmentSize = 42;
constexpr int16_t kImperial = 1;
constexpr uint16_t kGradeMethodMask = 0x0060;

Unit AreaUnit(const std::optional<Unit>& given, const AreaSettings& area) {
  if (given) return *given;
  if (area.unit) return *area.unit;
  const std::string has = area.userEnvironments == 1 ? "a user environment that cannot be read"
                                                      : std::to_string(area.userEnvironments) + " user environments";
  throw Tsln2XmlException(kContentUnusable,
                          "The storage area has " + has + ", so its unit is not known: give --units mm, cm or in");
}

// Whether two names name one file (the second would replace the first),
// however they are spelled.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const std::filesystem::path pa = std::filesystem::weakly_canonical(platform::FsPath(platform::HostPath(a)), error);
  if (error) return platform::HostPath(a) == platform::HostPath(b);
  const std::filesystem::path pb = std::filesystem::weakly_canonical(platform::FsPath(platform::HostPath(b)), error);
  if (error) return platform::HostPath(a) == platform::HostPath(b);
  return pa == pb;
}

}  // namespace

std::optional<Unit> ParseUnit(std::string_view text) {
  if (text == "mm") return Unit::kMillimetre;
  if (text == "cm") return Unit::kCentimetre;
  if (text == "in") return Unit::kInch;
  return std::nullopt;
}

std::optional<Flavour> ParseFlavour(std::string_view text) {
  if (text == "aama") return Flavour::kAama;
  if (text == "astm") return Flavour::kAstm;
  return std::nullopt;
}

std::optional<SizeSet> ParseSizeSet(std::string_view text) {
  if (text == "base") return SizeSet::kBase;
  if (text == "all") return SizeSet::kAll;
  return std::nullopt;
}

AreaSettings ReadAreaSettings(std::string_view areaRoot, std::string_view areaName) {
  AreaSettings settings;
  const std::string control = store::ItemDirectory(platform::StoragePath(areaRoot, areaName), kUserEnvironmentType) +
                              FindItemFileEntry(kUserEnvironmentType)->controlFile;
  store::Catalog catalog;
  const store::CatalogStatus opened = store::Catalog::OpenForReading(platform::HostPath(control), catalog);
  if (opened == store::CatalogStatus::kMissing) return settings;
  std::vector<store::ItemAttributes> items;
  if (opened != store::CatalogStatus::kOk || catalog.List(items) != store::CatalogStatus::kOk)
    throw Tsln2XmlException(kItemOpenFailure, "Could not read the user environments of the storage area");
  settings.userEnvironments = items.size();
  if (items.size() != 1) return settings;
  store::StoredItem item;
  if (catalog.Get(items.front().name, item) != store::CatalogStatus::kOk || item.content.size() < kEnvironmentSize)
    return settings;
  const int16_t notation = platform::LoadLE<int16_t>(item.content.data());
  const uint16_t options = platform::LoadLE<uint16_t>(item.content.data() + 12);
  settings.unit = notation == kImperial ? Unit::kInch : Unit::kCentimetre;
  switch (options & kGradeMethodMask) {
    case 0: settings.method = grading::GradeMethod::kSmallToLarge; break;
    case 0x20: settings.method = grading::GradeMethod::kCumulative; break;
    case 0x40: settings.method = grading::GradeMethod::kIncremental; break;
    default: break;  // both bits: no method of the table
  }
  return settings;
}

size_t ExportPieceDxf(const PieceExportRequest& request) {
  if (request.names.empty()) throw Tsln2XmlException(kContentUnusable, "No piece to export");
  // The pieces first: a missing area or piece is reported as such, not as
  // an area without units.
  std::vector<NamedPiece> pieces;
  for (const std::string& name : request.names) {
    PieceReader reader(request.areaRoot, request.areaName, name);
    pieces.push_back({std::string(reader.ItemName()), *reader.ObtainPiece()});
  }
  const AreaSettings area =
      request.unit && request.method ? AreaSettings{} : ReadAreaSettings(request.areaRoot, request.areaName);
  PieceDxfOptions options;
  options.flavour = request.flavour;
  options.unit = AreaUnit(request.unit, area);
  options.sizes = request.sizes.value_or(request.flavour == Flavour::kAstm ? SizeSet::kAll : SizeSet::kBase);
  options.method = request.method.value_or(area.method.value_or(grading::GradeMethod::kIncremental));
  options.created = std::time(nullptr);

  if (!request.rulFile.empty() && SameFile(request.rulFile, request.dxfFile))
    throw Tsln2XmlException(kContentUnusable, "The DXF and the .rul file must be two files: give --rul another name");
  const PieceDxf made = BuildPieceDxf(pieces, options);
  // The DXF and its rule file are a pair: both are written beside their
  // places before either replaces a file, so a failure leaves both old files
  // as they were.
  std::vector<platform::FileContent> files;
  if (!request.rulFile.empty()) files.push_back({platform::HostPath(request.rulFile), made.rul});
  files.push_back({platform::HostPath(request.dxfFile), made.dxf});
  if (const int error = platform::ReplaceFiles(files))
    throw Tsln2XmlException(kItemOpenFailure, error, "could not write output file");
  return made.replacedCharacters;
}

size_t ExportMarkerDxf(std::string_view areaRoot, std::string_view areaName, std::string_view markerName,
                       std::optional<Unit> unit, const std::string& dxfFile) {
  marker::MarkerPlan plan{std::string(marker::MarkerItemName(markerName))};
  marker::WalkMarker(areaRoot, areaName, markerName, plan);
  const Unit chosen = AreaUnit(unit, unit ? AreaSettings{} : ReadAreaSettings(areaRoot, areaName));
  const marker::PlacedMarker placed = plan.Place();
  size_t replaced = 0;
  WriteOutputFile(dxfFile, BuildMarkerDxf(placed, chosen, replaced));
  return placed.skippedValues;
}

}  // namespace tsln2xml::dxf

namespace tsln2xml::dxf {
namespace {

[[noreturn]] void BadArgument(const std::string& what) { throw Tsln2XmlException(kContentUnusable, what); }

}  // namespace

void ExportDxfCall(int dataType, const char* areaRoot, const char* areaName, const char* const* itemNames,
                   int itemCount, const char* dxfFileName, const char* rulFileName, const char* options) {
  if (dataType != kPieceDataType && dataType != kMarkerDataType)
    BadArgument("ExportDXF writes pieces (20) and markers (9), not data type " + std::to_string(dataType));
  if (!itemNames || itemCount < 1) BadArgument("ExportDXF needs at least one item name");
  if (dataType == kMarkerDataType && itemCount != 1) BadArgument("ExportDXF writes one marker per file");
  if (!dxfFileName || !*dxfFileName) BadArgument("ExportDXF needs a DXF file name");
  if (dataType == kMarkerDataType && rulFileName) BadArgument("A marker has no rule file");
  PieceExportRequest request;
  request.areaRoot = areaRoot ? areaRoot : "";
  request.areaName = areaName ? areaName : "";
  for (int k = 0; k < itemCount; ++k) {
    if (!itemNames[k]) BadArgument("ExportDXF item name " + std::to_string(k) + " is NULL");
    request.names.emplace_back(itemNames[k]);
  }
  request.dxfFile = dxfFileName;
  if (rulFileName) request.rulFile = rulFileName;
  std::string_view rest = options ? options : "";
  while (!rest.empty()) {
    const size_t space = rest.find(' ');
    const std::string_view word = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    if (word.empty()) continue;
    const size_t equals = word.find('=');
    const std::string_view key = word.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
    bool known = false;
    if (key == "units") known = static_cast<bool>(request.unit = ParseUnit(value));
    else if (key == "flavour" && dataType == kPieceDataType) {
      const auto f = ParseFlavour(value);
      if (f) request.flavour = *f;
      known = static_cast<bool>(f);
    } else if (key == "sizes" && dataType == kPieceDataType) known = static_cast<bool>(request.sizes = ParseSizeSet(value));
    else if (key == "grade-method" && dataType == kPieceDataType)
      known = static_cast<bool>(request.method = grading::ParseGradeMethod(value));
    if (!known) BadArgument("Unknown DXF option \"" + std::string(word) + "\"");
  }
  if (dataType == kMarkerDataType)
    ExportMarkerDxf(request.areaRoot, request.areaName, request.names.front(), request.unit, request.dxfFile);
  else
    ExportPieceDxf(request);
}

}  // namespace tsln2xml::dxf
