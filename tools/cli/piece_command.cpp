// demo-piece: stores the demo shirt's pieces (demo/shirt.h) in a storage
// area, in the layout of docs/piece-format.md: all eight under their own
// names, or the front under a given name.

#include <iostream>

#include "cli/commands.h"
#include "demo/shirt.h"

namespace tsln2xml::cli {
namespace {

int StoreOne(const std::string& area, const std::string& name, std::string_view piece) {
  const int32_t status = grading::StorePiece(area, name, demo::ShirtPiece(piece));
  if (status == 1) return 0;
  std::cerr << "Could not store the piece " << name << " (store status " << status << ")" << std::endl;
  return 5;
}

int RunDemoPiece(const std::string& area, const std::string& name) {
  if (!name.empty()) return StoreOne(area, name, "FRONT");
  for (const auto& piece : demo::ShirtPieceCounts())
    if (const int code = StoreOne(area, std::string(piece.name), piece.name)) return code;
  return 0;
}

}  // namespace

void RegisterPieceCommands(CLI::App& app, Outcome& outcome) {
  auto area = std::make_shared<std::string>();
  auto name = std::make_shared<std::string>();
  auto* demo = app.add_subcommand(
      "demo-piece", "Store the demo shirt's eight pieces in a storage area (or, given a NAME, its front)");
  demo->add_option("AREA", *area, "Storage area directory")->required();
  demo->add_option("NAME", *name, "Store only the front, under this name");
  demo->callback([area, name, &outcome] { outcome.code = RunDemoPiece(*area, *name); });
}

}  // namespace tsln2xml::cli
