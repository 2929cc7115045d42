// tsln2xml: converts the data items of a storage area to XML and back.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/commands.h"
#include "core/data_types.h"
#include "platform/code_page.h"
#include "platform/command_line.h"
#include "platform/host_files.h"
#include "platform/paths.h"

namespace tsln2xml::cli {

std::filesystem::path HostFile(const std::string& codePage) { return platform::FsPath(platform::HostPath(codePage)); }
std::string Shown(const std::string& codePage) { return platform::AnsiToUtf8(codePage); }
std::string ToCodePage(const std::string& utf8) { return platform::Utf8ToAnsi(utf8); }

int ExplainItemFailure(int code, int16_t type, const std::string& areaDir, const std::string& item) {
  if (code != 5) return code;
  std::error_code ec;
  if (!std::filesystem::is_directory(HostFile(areaDir), ec))
    std::cerr << "  the storage area " << Shown(areaDir) << " does not exist" << std::endl;
  else
    std::cerr << "  " << DataTypeName(type) << " item \"" << Shown(item) << "\" in the storage area " << Shown(areaDir)
              << std::endl;
  return code;
}

std::optional<int16_t> ParseTypeArgument(const std::string& text) {
  auto code = ParseDataType(text);
  if (!code) std::cerr << "Unknown data type \"" << Shown(text) << "\" (see: tsln2xml types)" << std::endl;
  return code;
}

Area AreaFromDirectory(const std::string& directory) { return Area{"", directory}; }

bool ReadInput(const std::string& path, std::string& out) {
  if (path == "-") {
    out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return !std::cin.bad();
  }
  std::ifstream in(HostFile(path), std::ios::binary);
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
  std::ofstream out(HostFile(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

namespace {

// The arguments in the code page; false (after saying which) when one holds a
// character the code page cannot, which would otherwise name another item or
// file than the one meant.
bool ArgumentsInCodePage(int argc, char** argv, std::vector<std::string>& out) {
  out.assign(argv, argv + argc);
  for (int i = 1; i < argc; ++i) {
    out[i] = ToCodePage(argv[i]);
    if (Shown(out[i]) != argv[i]) {
      std::cerr << "The argument \"" << argv[i] << "\" has characters that code page "
                << tsln2xml::platform::ActiveCodePage() << " cannot hold (see TSLN2XML_CODEPAGE)" << std::endl;
      return false;
    }
  }
  return true;
}

}  // namespace

int RunCommandLine(int argc, char** argv) {
  std::vector<std::string> args;
  if (!ArgumentsInCodePage(argc, argv, args)) return kUsageError;
  std::vector<char*> argPointers;
  for (std::string& a : args) argPointers.push_back(a.data());
  CLI::App app{
      "tsln2xml: converts the data items of a storage area (a directory) to XML documents and back.\n"
      "TYPE is a data type name or code (tsln2xml types); AREA is the storage area's directory."};
  app.name("tsln2xml");
  // Options are dashed on every system: on Windows an argument such as
  // /data/area is a path (on the current drive), not an option.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);
  app.set_version_flag("--version", "tsln2xml " TSLN2XML_VERSION);
  Outcome outcome;
  RegisterConvertCommands(app, outcome);
  RegisterRawCommands(app, outcome);
  RegisterTypesCommand(app, outcome);
  RegisterListCommand(app, outcome);
  RegisterMarkerCommands(app, outcome);
  RegisterPieceCommands(app, outcome);
  RegisterRenderCommand(app, outcome);
  RegisterDxfCommand(app, outcome);
  RegisterHelpCommands(app, outcome);
  try {
    app.parse(argc, argPointers.data());
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kUsageError;
  }
  return outcome.code;
}

}  // namespace tsln2xml::cli

#ifdef _WIN32
// Windows hands the arguments over as UTF-16; they go on as UTF-8, as on Linux.
int wmain(int argc, wchar_t** argv) {
  tsln2xml::platform::UseBinaryStandardStreams();
  std::vector<std::string> args = tsln2xml::platform::Utf8Arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  return tsln2xml::cli::RunCommandLine(argc, pointers.data());
}
#else
int main(int argc, char** argv) { return tsln2xml::cli::RunCommandLine(argc, argv); }
#endif
