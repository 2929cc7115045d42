// list: the items of a storage area, as a table for people or as the item
// list document of the enumeration calls.

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "cli/commands.h"
#include "api/boundary.h"
#include "api/item_lists.h"
#include "framework/item_enumeration.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/attributes.h"
#include "xml/document.h"
#include "xml/document_text.h"

namespace tsln2xml::cli {
namespace {

struct ListArgs {
  std::string area;
  std::vector<std::string> types;
  std::vector<std::string> notTypes;
  std::string xml;
  std::string schema;
};

size_t Width(std::string_view utf8) {
  size_t n = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

// `text` followed by spaces up to `width` characters (at least one space).
std::string Column(std::string_view text, size_t width) {
  const size_t w = Width(text);
  return std::string(text) + std::string(w < width ? width - w : 1, ' ');
}

// The list as a table: name, type, size, last modification and its user.
// The items are read twice, for the widths of the columns and then for the
// rows, so that no list is held whole, however many items it has.
int PrintTable(const TypeSelection& selection, const Area& area) {
  size_t nameWidth = 20, typeWidth = 12;
  const int rc = RunAtBoundary([&] {
    VisitListedItems(selection, area.root, area.name, [&](const store::ItemAttributes& item, const std::string& type) {
      nameWidth = std::max(nameWidth, Width(platform::AnsiToUtf8(item.name)) + 1);
      typeWidth = std::max(typeWidth, Width(type) + 1);
    });
  });
  if (rc != 0) return rc;
  std::string line = Column("NAME", nameWidth) + Column("TYPE", typeWidth) + "      SIZE  " + Column("MODIFIED", 22) +
                     "USER\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  size_t count = 0;
  const int rows = RunAtBoundary([&] {
    VisitListedItems(selection, area.root, area.name, [&](const store::ItemAttributes& item, const std::string& type) {
      char size[32];
      std::snprintf(size, sizeof size, "%10d  ", static_cast<int>(item.size));
      line = Column(platform::AnsiToUtf8(item.name), nameWidth) + Column(type, typeWidth) + size +
             Column(FormatItemTime(item.modified), 22) + UserText(item.modifiedUser.c_str()) + "\n";
      std::fwrite(line.data(), 1, line.size(), stdout);
      ++count;
    });
  });
  if (rows != 0) return rows;
  line = std::to_string(count) + (count == 1 ? " item\n" : " items\n");
  std::fwrite(line.data(), 1, line.size(), stdout);
  return 0;
}

int RunList(const ListArgs& a) {
  std::vector<int> codes;
  for (const auto& t : a.notTypes.empty() ? a.types : a.notTypes) {
    auto code = ParseTypeArgument(t);
    if (!code) return kUsageError;
    codes.push_back(*code);
  }
  const TypeFilter filter =
      !a.notTypes.empty() ? TypeFilter::kAllBut : (!a.types.empty() ? TypeFilter::kOnly : TypeFilter::kAll);
  // The library lists a missing storage area as an empty one; a person who
  // mistyped the directory should hear about it.
  std::error_code ec;
  if (!std::filesystem::is_directory(HostFile(a.area), ec)) {
    std::cerr << "Storage area " << Shown(a.area) << " does not exist" << std::endl;
    return 5;
  }
  const Area area = AreaFromDirectory(a.area);
  const char* schema = a.schema.empty() ? nullptr : a.schema.c_str();
  const int count = static_cast<int>(codes.size());

  // The library has already written its message on the error stream.
  if (!a.xml.empty() && a.xml != "-")
    return EnumerateItemsToFile(filter, codes.data(), count, area.root.c_str(), area.name.c_str(), a.xml.c_str(),
                                schema);
  const TypeSelection selection = SelectDataTypes(filter, CallerCodes(codes.data(), count));
  if (a.xml == "-" || schema) {
    // The document, checked against the schema when one is given.
    std::string text;
    const int rc = RunAtBoundary([&] { text = ItemListText(selection, area.root, area.name, schema); });
    if (rc != 0 || a.xml != "-") return rc != 0 ? rc : PrintTable(selection, area);
    // As the string call gives it: its declaration names no encoding.
    if (text.starts_with(xml::kUtf8Declaration)) text.replace(0, xml::kUtf8Declaration.size(), xml::kPlainDeclaration);
    return WriteOutput("-", text) ? 0 : 1;
  }
  return PrintTable(selection, area);
}

}  // namespace

void RegisterListCommand(CLI::App& app, Outcome& outcome) {
  auto args = std::make_shared<ListArgs>();
  auto* list = app.add_subcommand("list", "List the items of a storage area (a table, or the item list document)");
  list->add_option("AREA", args->area, "Storage area directory")->required();
  // One type per occurrence, so that a type never swallows the AREA argument.
  auto* type = list->add_option("-t,--type", args->types, "List only this data type (repeatable)")
                   ->allow_extra_args(false);
  list->add_option("-n,--not-type", args->notTypes, "List every data type but this one (repeatable)")
      ->allow_extra_args(false)
      ->excludes(type);
  list->add_option("-x,--xml", args->xml, "Write the item list document to this file (- for standard output)");
  list->add_option("-s,--schema", args->schema, "Validate the list against this schema file (e.g. build/DATAITEMS.XSD)");
  list->callback([args, &outcome] { outcome.code = RunList(*args); });
}

}  // namespace tsln2xml::cli
