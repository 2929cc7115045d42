// render: a picture (SVG) of a marker or a piece of a storage area.

#include <cstring>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "converters/grading/piece_svg.h"
#include "core/data_types.h"
#include "core/exception.h"
#include "marker/marker_svg.h"

namespace tsln2xml::cli {
namespace {

struct RenderArgs {
  std::string type, area, name, output;
};

constexpr int16_t kPieceDataType = 20;
// The marker open status of a storage area that does not exist.
constexpr int32_t kNoStorageArea = 3;

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
  try {
    if (*type == kPieceDataType) {
      RenderPiece(area.root, area.name, a.name, a.output);
      return 0;
    }
    const size_t skipped = marker::RenderMarker(area.root, area.name, a.name, a.output);
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
    else if (what == "Error opening marker" && e.SecondaryCode() == kNoStorageArea)
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
  render->callback([args, &outcome] { outcome.code = RunRender(*args); });
}

}  // namespace tsln2xml::cli
