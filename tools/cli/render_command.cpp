// render: a picture (SVG) of a marker or a piece of a storage area.

#include <cstring>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "converters/grading/piece_svg.h"
#include "core/data_types.h"
#include "core/exception.h"
#include "dxf/dxf_export.h"
#include "marker/marker_svg.h"
#include "store/item_store.h"

namespace tsln2xml::cli {
namespace {

struct RenderArgs {
  std::string type, area, name, output, unit;
};

// The unit of an area's lengths, for the scale bar: "cm" or "in" as the DXF
// export takes it from the notation of the area's one user environment,
// "units" when it has none or several, or they cannot be read.
std::string AreaUnit(const Area& area) {
  try {
    const std::optional<dxf::Unit> unit = dxf::ReadAreaSettings(area.root, area.name).unit;
    if (unit == dxf::Unit::kCentimetre) return "cm";
    if (unit == dxf::Unit::kInch) return "in";
  } catch (const Tsln2XmlException&) {
  }
  return "units";
}

int RunRender(const RenderArgs& a) {
  const auto type = ParseTypeArgument(a.type);
  if (!type) return kUsageError;
  if (*type != kMarkerDataType && *type != kPieceDataType) {
    std::cerr << "render draws markers and pieces: tsln2xml render Marker|Piece AREA NAME -o FILE.svg" << std::endl;
    return kUnimplemented;
  }
  if (a.output == "-") {
    std::cerr << "render writes a file: give -o FILE.svg" << std::endl;
    return kUsageError;
  }
  const Area area = AreaFromDirectory(a.area);
  const std::string unit = a.unit.empty() ? AreaUnit(area) : a.unit;
  try {
    if (*type == kPieceDataType) {
      RenderPiece(area.root, area.name, a.name, a.output, unit);
      return 0;
    }
    const size_t skipped = marker::RenderMarker(area.root, area.name, a.name, a.output, unit);
    if (skipped > 0)
      std::cerr << "Left out of the picture: " << skipped
                << (skipped == 1 ? " coordinate that is" : " coordinates that are")
                << " not finite or too large to draw" << std::endl;
    return 0;
  } catch (const Tsln2XmlException& e) {
    std::cerr << e.what() << std::endl;
    const std::string_view what = e.what();
    if (what == "could not write output file")
      std::cerr << "Could not write " << Shown(a.output) << ": " << std::strerror(e.SecondaryCode()) << std::endl;
    else if (what == "Error opening marker" && e.SecondaryCode() == store::kNoStorageArea)
      std::cerr << "Storage area " << Shown(a.area) << " does not exist" << std::endl;
    else if (what == "Error opening marker" || what == "Could not open file")
      std::cerr << "No " << (*type == kPieceDataType ? "piece" : "marker") << " \"" << Shown(a.name)
                << "\" in storage area " << Shown(a.area) << std::endl;
    return e.Code();
  }
}

}  // namespace

void RegisterRenderCommand(CLI::App& app, Outcome& outcome) {
  auto args = std::make_shared<RenderArgs>();
  auto* render = app.add_subcommand(
      "render",
      "Draw a marker or a piece as an SVG picture. A marker: the fabric, the placed pieces with their internal "
      "lines, notches and names, a scale bar and a title with width, length and utilisation. A piece: its "
      "outline, internal lines, drill holes, notches, grain line, name and size");
  render->add_option("TYPE", args->type, "Marker or Piece")->required();
  render->add_option("AREA", args->area, "Storage area directory")->required();
  render->add_option("NAME", args->name, "Marker or piece name")->required();
  render->add_option("-o,--output", args->output, "The SVG file to write")->required();
  render->add_option("--unit", args->unit,
                     "The unit named by the scale bar (by default cm or in, from the notation of the area's one "
                     "user environment)");
  render->callback([args, &outcome] { outcome.code = RunRender(*args); });
}

}  // namespace tsln2xml::cli
