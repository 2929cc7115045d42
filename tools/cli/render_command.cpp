// render: a picture (SVG) of a marker of a storage area.

#include <cstring>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "framework/data_types.h"
#include "framework/exception.h"
#include "marker/marker_svg.h"

namespace tsln2xml::cli {
namespace {

struct RenderArgs {
  std::string type, area, name, output;
};

// The marker open status of a storage area that does not exist.
constexpr int32_t kNoStorageArea = 3;

int RunRender(const RenderArgs& a) {
  const auto type = ParseTypeArgument(a.type);
  if (!type) return kUsageError;
  if (*type != kMarkerDataType) {
    std::cerr << "render draws markers: tsln2xml render Marker AREA NAME -o FILE.svg" << std::endl;
    return kUnimplemented;
  }
  const Area area = AreaFromDirectory(a.area);
  try {
    const size_t skipped = marker::RenderMarker(area.root, area.name, a.name, a.output);
    if (skipped > 0)
      std::cerr << "Left out of the picture: " << skipped
                << (skipped == 1 ? " coordinate that is" : " coordinates that are")
                << " not finite or too large to draw" << std::endl;
    return 0;
  } catch (const Tsln2XmlException& e) {
    std::cerr << e.what() << std::endl;
    if (std::string_view(e.what()) == "Error opening marker") {
      if (e.SecondaryCode() == kNoStorageArea)
        std::cerr << "Storage area " << Shown(a.area) << " does not exist" << std::endl;
      else
        std::cerr << "No marker \"" << Shown(a.name) << "\" in storage area " << Shown(a.area) << std::endl;
    } else {
      std::cerr << "Could not write " << Shown(a.output) << ": " << std::strerror(e.SecondaryCode()) << std::endl;
    }
    return e.Code();
  }
}

}  // namespace

void RegisterRenderCommand(CLI::App& app, Outcome& outcome) {
  auto args = std::make_shared<RenderArgs>();
  auto* render = app.add_subcommand(
      "render", "Draw a marker as an SVG picture: the fabric, the placed pieces with their internal lines, "
                "notches and names, a scale bar and a title with width, length and utilisation");
  render->add_option("TYPE", args->type, "Marker")->required();
  render->add_option("AREA", args->area, "Storage area directory")->required();
  render->add_option("NAME", args->name, "Marker name (at most 20 characters)")->required();
  render->add_option("-o,--output", args->output, "The SVG file to write")->required();
  render->callback([args, &outcome] { outcome.code = RunRender(*args); });
}

}  // namespace tsln2xml::cli
