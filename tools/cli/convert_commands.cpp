// export and import: one item between a storage area and an XML document.

#include <iostream>

#include "cli/commands.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::cli {
namespace {

struct ExportArgs {
  std::string type, area, item, output;
};
struct ImportArgs {
  std::string type, area, item, input;
};

// The library has already written its message on the error stream.
int RunExport(const ExportArgs& a) {
  auto type = ParseTypeArgument(a.type);
  if (!type) return 2;
  const Area area = AreaFromDirectory(a.area);
  if (!a.output.empty() && a.output != "-")
    return ConvertDataItemToXMLFile(*type, area.root.c_str(), area.name.c_str(), a.item.c_str(), a.output.c_str(), 0);
  BSTR xml = nullptr;
  const int rc = ConvertDataItemToXMLString(*type, area.root.c_str(), area.name.c_str(), a.item.c_str(), &xml, 0);
  if (rc != 0) return rc;
  const std::string text = platform::Utf16ToUtf8(platform::BstrView(xml)) + "";
  SysFreeString(xml);
  return WriteOutput("-", text) ? 0 : 1;
}

int RunImport(const ImportArgs& a) {
  auto type = ParseTypeArgument(a.type);
  if (!type) return 2;
  const Area area = AreaFromDirectory(a.area);
  if (a.input != "-")
    return ConvertXMLFileToDataItem(*type, a.input.c_str(), 0, area.root.c_str(), area.name.c_str(), a.item.c_str());
  std::string bytes;
  if (!ReadInput("-", bytes)) {
    std::cerr << "xmlFile failed to Load" << std::endl;
    return 1;
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
  const std::u16string text = platform::Utf8ToUtf16(bytes);
  return ConvertXMLStringToDataItem(*type, text.c_str(), 0, area.root.c_str(), area.name.c_str(), a.item.c_str());
}

}  // namespace

void RegisterConvertCommands(CLI::App& app, Outcome& outcome) {
  auto exportArgs = std::make_shared<ExportArgs>();
  auto* exp = app.add_subcommand("export", "Export an item to an XML document (standard output without -o)");
  exp->add_option("TYPE", exportArgs->type, "Data type name or code")->required();
  exp->add_option("AREA", exportArgs->area, "Storage area directory")->required();
  exp->add_option("ITEM", exportArgs->item, "Item name (at most 20 characters)")->required();
  exp->add_option("-o,--output", exportArgs->output, "Write the document to this file");
  exp->callback([exportArgs, &outcome] { outcome.code = RunExport(*exportArgs); });

  auto importArgs = std::make_shared<ImportArgs>();
  auto* imp = app.add_subcommand("import", "Import an XML document into an item");
  imp->add_option("TYPE", importArgs->type, "Data type name or code")->required();
  imp->add_option("AREA", importArgs->area, "Storage area directory")->required();
  imp->add_option("ITEM", importArgs->item, "Item name (at most 20 characters)")->required();
  imp->add_option("FILE", importArgs->input, "The XML document (- for standard input)")->required();
  imp->callback([importArgs, &outcome] { outcome.code = RunImport(*importArgs); });
}

}  // namespace tsln2xml::cli
