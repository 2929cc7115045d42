// types: the data type table with what each type can do.

#include <cstdio>

#include "cli/commands.h"
#include "core/data_types.h"
#include "converters/registry.h"

namespace tsln2xml::cli {

void RegisterTypesCommand(CLI::App& app, Outcome& outcome) {
  auto* types = app.add_subcommand("types", "List the data types");
  types->callback([&outcome] {
    std::printf("%-5s %-22s %-10s %s\n", "CODE", "NAME", "CATALOG", "CONVERSIONS");
    for (const auto& t : DataTypes()) {
      std::string conversions;
      if (HasReader(t.code)) conversions += "export";
      if (HasWriter(t.code)) conversions += conversions.empty() ? "import" : ", import";
      if (t.code == kMarkerDataType) conversions = "marker";
      std::printf("%-5d %-22s %-10s %s\n", t.code, t.name, t.itemFile ? t.itemFile->controlFile : "-",
                  conversions.empty() ? "-" : conversions.c_str());
    }
    outcome.code = 0;
  });
}

}  // namespace tsln2xml::cli
