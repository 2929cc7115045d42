// demo-piece: stores the demo's piece (store/piece_builder.h) in a storage
// area, in the layout of docs/piece-format.md.

#include <iostream>

#include "cli/commands.h"
#include "store/piece_builder.h"

namespace tsln2xml::cli {
namespace {

int RunDemoPiece(const std::string& area, const std::string& name) {
  const int32_t status = grading::StorePiece(area, name, grading::DemoPiece());
  if (status == 1) return 0;
  std::cerr << "Could not store the piece (store status " << status << ")" << std::endl;
  return 5;
}

}  // namespace

void RegisterPieceCommands(CLI::App& app, Outcome& outcome) {
  auto area = std::make_shared<std::string>();
  auto name = std::make_shared<std::string>();
  auto* demo = app.add_subcommand("demo-piece", "Store the demo's piece (a shirt front) in a storage area");
  demo->add_option("AREA", *area, "Storage area directory")->required();
  demo->add_option("NAME", *name, "Piece name")->required();
  demo->callback([area, name, &outcome] { outcome.code = RunDemoPiece(*area, *name); });
}

}  // namespace tsln2xml::cli
