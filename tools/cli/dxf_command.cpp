// dxf: pieces (AAMA/ASTM, graded, with a .rul file) or a marker of a storage
// area as a DXF file.

#include <cstring>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "core/data_types.h"
#include "core/exception.h"
#include "dxf/dxf_export.h"
#include "store/item_store.h"

namespace tsln2xml::cli {
namespace {

struct DxfArgs {
  std::string type, area, output, rul, flavour = "aama", units, sizes, method;
  std::vector<std::string> names;
};

bool Bad(const std::string& what) {
  std::cerr << what << std::endl;
  return false;
}

bool Parse(const DxfArgs& a, int16_t type, dxf::PieceExportRequest& request) {
  if (!a.units.empty() && !(request.unit = dxf::ParseUnit(a.units))) return Bad("--units is mm, cm or in");
  if (type == kMarkerDataType) {
    if (a.names.size() != 1) return Bad("dxf Marker writes one marker: tsln2xml dxf Marker AREA NAME -o FILE.dxf");
    if (!a.rul.empty() || a.flavour != "aama" || !a.sizes.empty() || !a.method.empty())
      return Bad("dxf Marker takes only --units");
    return true;
  }
  const auto flavour = dxf::ParseFlavour(a.flavour);
  if (!flavour) return Bad("--flavour is aama or astm");
  request.flavour = *flavour;
  if (!a.sizes.empty() && !(request.sizes = dxf::ParseSizeSet(a.sizes))) return Bad("--sizes is base or all");
  if (!a.method.empty() && !(request.method = grading::ParseGradeMethod(a.method)))
    return Bad("--grade-method is Incremental, SmallToLarge or Cumulative");
  // Item names match without regard to ASCII case.
  auto upper = [](std::string text) {
    for (char& c : text)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
  };
  for (size_t i = 0; i < a.names.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (upper(a.names[i]) == upper(a.names[j])) return Bad("The piece " + Shown(a.names[i]) + " is named twice");
  return true;
}

int RunDxf(const DxfArgs& a) {
  const auto type = ParseTypeArgument(a.type);
  if (!type) return kUsageError;
  if (*type != kMarkerDataType && *type != kPieceDataType) {
    std::cerr << "dxf writes pieces and markers: tsln2xml dxf Piece|Marker AREA NAME... -o FILE.dxf" << std::endl;
    return kUnimplemented;
  }
  if (a.output == "-" || a.rul == "-") {
    std::cerr << "dxf writes files: give -o FILE.dxf (and --rul FILE.rul)" << std::endl;
    return kUsageError;
  }
  const Area area = AreaFromDirectory(a.area);
  dxf::PieceExportRequest request;
  if (!Parse(a, *type, request)) return kUsageError;
  request.areaRoot = area.root;
  request.areaName = area.name;
  request.names = a.names;
  request.dxfFile = a.output;
  request.rulFile = a.rul;
  try {
    if (*type == kMarkerDataType) {
      const size_t skipped =
          dxf::ExportMarkerDxf(area.root, area.name, a.names.front(), request.unit, request.dxfFile);
      if (skipped > 0)
        std::cerr << "Left out of the DXF: " << skipped
                  << (skipped == 1 ? " coordinate that is" : " coordinates that are") << " not finite or too large"
                  << std::endl;
      return 0;
    }
    const size_t replaced = dxf::ExportPieceDxf(request);
    if (replaced > 0)
      std::cerr << "Written as \"_\": " << replaced
                << (replaced == 1 ? " character" : " characters") << " of names and texts that DXF keeps to 7-bit ASCII"
                << std::endl;
    return 0;
  } catch (const Tsln2XmlException& e) {
    std::cerr << e.what() << std::endl;
    const std::string_view what = e.what();
    if (what == "could not write output file")
      std::cerr << "Could not write the output file: " << std::strerror(e.SecondaryCode()) << std::endl;
    else if (what == "Error opening marker" && e.SecondaryCode() == store::kNoStorageArea)
      std::cerr << "Storage area " << Shown(a.area) << " does not exist" << std::endl;
    else if (what == "Error opening marker")
      std::cerr << "No marker \"" << Shown(a.names.front()) << "\" in storage area " << Shown(a.area) << std::endl;
    else if (what == "Could not open file")
      std::cerr << "A piece of " << Shown(a.names.size() == 1 ? a.names.front() : "the list")
                << " is not in storage area " << Shown(a.area) << std::endl;
    return e.Code();
  } catch (const std::exception& e) {
    // Storage running out on a piece with very many sizes and points.
    std::cerr << "DXF export failed: " << e.what() << std::endl;
    return kStandardLibrary;
  }
}

}  // namespace

void RegisterDxfCommand(CLI::App& app, Outcome& outcome) {
  auto args = std::make_shared<DxfArgs>();
  auto* dxf = app.add_subcommand(
      "dxf",
      "Write pieces or a marker as a DXF file (ASCII R12). Pieces: AAMA or ASTM layers, one block per piece and "
      "size (graded, docs/grading.md), side by side, and with --rul the grade rule file. A marker: the fabric and "
      "the placed pieces on layers FABRIC, PIECES, INTERNAL, NOTCHES, DRILL and NAMES. Units come from --units or "
      "from the area's single user environment");
  dxf->add_option("TYPE", args->type, "Piece or Marker")->required();
  dxf->add_option("AREA", args->area, "Storage area directory")->required();
  dxf->add_option("NAME", args->names, "Piece names (one marker name)")->required();
  dxf->add_option("-o,--output", args->output, "The DXF file to write")->required();
  dxf->add_option("--rul", args->rul, "Pieces: also write the grade rule file");
  dxf->add_option("--flavour", args->flavour, "Pieces: aama (default) or astm");
  dxf->add_option("--units", args->units, "The area's unit: mm, cm or in (metric is written in mm)");
  dxf->add_option("--sizes", args->sizes, "Pieces: base (AAMA's default) or all (ASTM's default)");
  dxf->add_option("--grade-method", args->method, "Pieces: Incremental, SmallToLarge or Cumulative");
  dxf->callback([args, &outcome] { outcome.code = RunDxf(*args); });
}

}  // namespace tsln2xml::cli
