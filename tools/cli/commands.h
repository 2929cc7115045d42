#pragma once
// The command-line tool's subcommands. Each maps onto one export or one
// store operation, prints the library's own message and exits with its code.

#include <CLI/CLI.hpp>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tsln2xml::cli {

// The exit code of a usage error (an unknown command, type or option, or
// missing arguments), as sysexits.h has it; the library's codes are 1 to 7.
constexpr int kUsageError = 64;

// Every subcommand stores its outcome here; main returns it.
struct Outcome {
  int code = 0;
};

void RegisterConvertCommands(CLI::App& app, Outcome& outcome);
void RegisterRawCommands(CLI::App& app, Outcome& outcome);
void RegisterTypesCommand(CLI::App& app, Outcome& outcome);
void RegisterListCommand(CLI::App& app, Outcome& outcome);
void RegisterMarkerCommands(CLI::App& app, Outcome& outcome);
void RegisterPieceCommands(CLI::App& app, Outcome& outcome);
void RegisterRenderCommand(CLI::App& app, Outcome& outcome);
void RegisterDxfCommand(CLI::App& app, Outcome& outcome);
// Registered last: attaches an example to every command registered before.
void RegisterHelpCommands(CLI::App& app, Outcome& outcome);

// A data type by name or code; prints an error and returns nullopt otherwise.
std::optional<int16_t> ParseTypeArgument(const std::string& text);

// The storage area arguments of the exports for a host directory.
struct Area {
  std::string root;  // always empty: the directory is given whole
  std::string name;
};
Area AreaFromDirectory(const std::string& directory);

// Arguments are converted once, when the command starts, from UTF-8 to the
// code page of the library's narrow strings; these convert back where the
// command itself meets the file system (HostFile) or the terminal (Shown),
// and bring a host path (UTF-8) to the library (ToCodePage).
std::filesystem::path HostFile(const std::string& codePage);
std::string Shown(const std::string& codePage);
std::string ToCodePage(const std::string& utf8);

// After a failure to open, create or save an item (the library's code 5): a
// second line naming the item, its type and the storage area, or saying that
// the storage area itself does not exist. Returns `code`.
int ExplainItemFailure(int code, int16_t type, const std::string& areaDir, const std::string& item);

// Reads a file ("-" for standard input) / writes one ("-" for standard output).
bool ReadInput(const std::string& path, std::string& out);
bool WriteOutput(const std::string& path, const std::string& bytes);

}  // namespace tsln2xml::cli
