// tsln2xml: converts the data items of a storage area to XML and back.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/commands.h"
#include "framework/data_types.h"

namespace tsln2xml::cli {

std::optional<int16_t> ParseTypeArgument(const std::string& text) {
  auto code = ParseDataType(text);
  if (!code) std::cerr << "Unknown data type \"" << text << "\" (see: tsln2xml types)" << std::endl;
  return code;
}

Area AreaFromDirectory(const std::string& directory) { return Area{"", directory}; }

bool ReadInput(const std::string& path, std::string& out) {
  if (path == "-") {
    out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return !std::cin.bad();
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteOutput(const std::string& path, const std::string& bytes) {
  if (path == "-") {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
    return static_cast<bool>(std::cout);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace tsln2xml::cli

int main(int argc, char** argv) {
  using namespace tsln2xml::cli;
  CLI::App app{
      "tsln2xml: converts the data items of a storage area (a directory) to XML documents and back.\n"
      "TYPE is a data type name or code (tsln2xml types); AREA is the storage area's directory."};
  app.require_subcommand(1);
  Outcome outcome;
  RegisterConvertCommands(app, outcome);
  RegisterRawCommands(app, outcome);
  RegisterTypesCommand(app, outcome);
  RegisterListCommand(app, outcome);
  RegisterMarkerCommands(app, outcome);
  RegisterPieceCommands(app, outcome);
  CLI11_PARSE(app, argc, argv);
  return outcome.code;
}
