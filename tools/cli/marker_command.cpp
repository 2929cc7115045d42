// marker: a marker of a storage area as a UTF-16 XML document, optionally
// checked against a schema file. demo-marker: stores the demo's marker
// (demo/shirt_marker.h).

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "demo/shirt_marker.h"
#include "marker/marker_export.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "platform/host_files.h"
#include "platform/program_path.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::cli {
namespace {

struct MarkerArgs {
  std::string area, name, output;
  std::string schema;
  bool validate = false;
};

// The MARKER.XSD installed beside the tool (the build directory), in the
// installed share directory, or in the schemas folder of the Windows zip.
std::string InstalledMarkerSchema() {
  std::error_code ec;
  const auto exe = platform::ProgramPath();
  if (exe.empty()) return "MARKER.XSD";
  const auto dir = exe.parent_path();
  for (const auto& candidate :
       {dir / "MARKER.XSD", dir / ".." / "share" / "tsln2xml" / "marker.xsd", dir / "schemas" / "MARKER.XSD"})
    if (std::filesystem::is_regular_file(candidate, ec)) return platform::HostString(candidate);
  return platform::HostString(dir / "MARKER.XSD");
}

// The marker export writes nothing on the error stream itself.
int Report(int code) {
  if (code == 0) return 0;
  BSTR text = nullptr;
  GetLastErrorStringXML(&text);
  std::cerr << platform::Utf16ToUtf8(platform::BstrView(text)) << std::endl;
  SysFreeString(text);
  return code;
}

int Export(const MarkerArgs& a, const std::string& file) {
  const Area area = AreaFromDirectory(a.area);
  const std::string schema = a.schema.empty() ? ToCodePage(InstalledMarkerSchema()) : a.schema;
  const int code = Report(ConvertMarkerToXML(area.root.c_str(), area.name.c_str(), a.name.c_str(), file.c_str(),
                                             a.validate ? schema.c_str() : nullptr));
  // The document was written but is not valid, or the schema file does not
  // compile: say where.
  if (code == 2 || code == 4) {
    const std::string first = marker::FirstValidationError(file, schema);
    if (!first.empty()) std::cerr << "  " << first << std::endl;
  }
  return code;
}

int RunMarker(const MarkerArgs& a) {
  if (!a.output.empty() && a.output != "-") return Export(a, a.output);
  // Standard output: the file's bytes, written to a temporary file first.
  std::error_code ec;
  const std::string path =
      platform::MakeTemporaryFile(platform::HostString(std::filesystem::temp_directory_path(ec)), "tsln2xml-marker-");
  if (ec || path.empty()) {
    std::cerr << "could not open output file" << std::endl;
    return 1;
  }
  // The export's diagnostic lines go to the error stream while standard
  // output carries the document.
  std::cout.flush();
  const int saved = dup(STDOUT_FILENO);
  if (saved >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
  const int code = Export(a, ToCodePage(path));
  std::cout.flush();
  if (saved >= 0) {
    dup2(saved, STDOUT_FILENO);
    close(saved);
  }
  // A document that failed validation was still written: it goes out too.
  std::string bytes;
  ReadInput(ToCodePage(path), bytes);
  std::filesystem::remove(platform::FsPath(path), ec);
  if (!bytes.empty() && !WriteOutput("-", bytes) && code == 0) return 1;
  return code;
}

int RunDemoMarker(const std::string& area, const std::string& name) {
  marker::MarkerData data;
  try {
    data = demo::ShirtMarker(name).Build();
  } catch (const std::exception& e) {
    std::cerr << "Could not build the marker: " << e.what() << std::endl;
    return 6;
  }
  const int32_t status = marker::StoreMarker(area, name, data);
  if (status == 1) return 0;
  std::cerr << "Could not store the marker (store status " << status << ")" << std::endl;
  return 5;
}

}  // namespace

void RegisterMarkerCommands(CLI::App& app, Outcome& outcome) {
  auto args = std::make_shared<MarkerArgs>();
  auto* marker = app.add_subcommand(
      "marker", "Export a marker as a UTF-16 XML document (standard output without -o)");
  marker->add_option("AREA", args->area, "Storage area directory")->required();
  marker->add_option("NAME", args->name, "Marker name (at most 20 characters)")->required();
  marker->add_option("-o,--output", args->output, "Write the document to this file");
  auto* schema = marker->add_option("--schema", args->schema,
                                    "Validate the written document against this schema file "
                                    "(the MARKER.XSD beside the tool when no file is given)");
  schema->expected(0, 1);
  marker->callback([args, schema, &outcome] {
    args->validate = schema->count() > 0;
    outcome.code = RunMarker(*args);
  });

  auto demoArea = std::make_shared<std::string>();
  auto demoName = std::make_shared<std::string>();
  auto* demo = app.add_subcommand("demo-marker",
                                  "Store the demo's marker (six shirts on fabric 150 cm wide) in a storage area");
  demo->add_option("AREA", *demoArea, "Storage area directory")->required();
  demo->add_option("NAME", *demoName, "Marker name")->required();
  demo->callback([demoArea, demoName, &outcome] { outcome.code = RunDemoMarker(*demoArea, *demoName); });
}

}  // namespace tsln2xml::cli
