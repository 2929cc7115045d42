// `help [COMMAND]` and the manual page: both are made from the same text, the
// descriptions and options the commands register plus one example per
// command, so the manual cannot drift from what `--help` prints.

#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "cli/commands.h"

namespace tsln2xml::cli {
namespace {

// One or more example lines per command path ("raw get").
const std::map<std::string, std::string>& Examples() {
  static const std::map<std::string, std::string> examples = {
      {"export",
       "tsln2xml export SizeCode /tmp/area MISSES -o /tmp/MISSES.xml\n"
       "tsln2xml export --all /tmp/area -d /tmp/docs"},
      {"import",
       "tsln2xml import SizeCode /tmp/area MISSES examples/SizeCode/MISSES.xml\n"
       "tsln2xml import --all /tmp/area -d examples"},
      {"raw", "tsln2xml raw get SizeCode /tmp/area MISSES /tmp/MISSES.bin"},
      {"raw get", "tsln2xml raw get SizeCode /tmp/area MISSES /tmp/MISSES.bin"},
      {"raw put", "tsln2xml raw put SizeCode /tmp/area COPY /tmp/MISSES.bin"},
      {"types", "tsln2xml types"},
      {"list",
       "tsln2xml list /tmp/area\n"
       "tsln2xml list /tmp/area --type SizeCode --xml - --schema build/DATAITEMS.XSD"},
      {"marker", "tsln2xml marker /tmp/area DEMO -o /tmp/DEMO.xml --schema"},
      {"demo-marker", "tsln2xml demo-marker /tmp/area DEMO"},
      {"demo-piece",
       "tsln2xml demo-piece /tmp/area\n"
       "tsln2xml demo-piece /tmp/area DEMO"},
      {"render",
       "tsln2xml render Marker /tmp/area DEMO -o /tmp/DEMO.svg\n"
       "tsln2xml render Piece /tmp/area FRONT -o /tmp/FRONT.svg --unit cm"},
      {"dxf",
       "tsln2xml dxf Piece /tmp/area FRONT -o /tmp/FRONT.dxf --rul /tmp/FRONT.rul --units cm\n"
       "tsln2xml dxf Marker /tmp/area DEMO -o /tmp/DEMO.dxf --units cm"},
      {"help", "tsln2xml help export"},
  };
  return examples;
}

const char* const kExitStatus[][2] = {
    {"0", "success"},
    {"1", "the document or the item's content is unusable"},
    {"2", "schema failure: the document is not valid, or its namespace names no schema"},
    {"3", "no document object"},
    {"4", "the XML service failed, or a value does not fit its field"},
    {"5", "the item could not be opened, created or saved"},
    {"6", "a standard-library failure"},
    {"7", "the data type has no converter in that direction"},
    {"64", "usage error: unknown command, type or option, or missing arguments"},
};

const char* const kEnvironment[][2] = {
    {"TSLN2XML_CODEPAGE", "the code page of narrow text (item names, texts in items); 1252 by default"},
    {"TSLN2XML_DRIVE_X", "the directory that a storage path beginning with the drive X: maps to (/ when unset)"},
};

std::string PathOf(const CLI::App* app) {
  std::string path;
  for (const CLI::App* a = app; a && a->get_parent(); a = a->get_parent())
    path = path.empty() ? a->get_name() : a->get_name() + " " + path;
  return path;
}

void AttachExamples(CLI::App* app) {
  for (CLI::App* sub : app->get_subcommands({})) {
    auto it = Examples().find(PathOf(sub));
    if (it != Examples().end()) {
      std::string footer = "\nExample:\n";
      std::istringstream lines(it->second);
      for (std::string line; std::getline(lines, line);) footer += "  " + line + "\n";
      sub->footer(footer);
    }
    AttachExamples(sub);
  }
}

// Text for a roff page: backslashes escaped, no line taken for a request.
std::string Roff(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
    lineStart = c == '\n';
  }
  return out;
}

void CommandSections(std::ostream& out, const CLI::App* app) {
  for (const CLI::App* sub : app->get_subcommands({})) {
    if (sub->get_group().empty()) continue;  // hidden
    const std::string text = sub->get_formatter()->make_help(sub, "tsln2xml " + PathOf(sub), CLI::AppFormatMode::Normal);
    out << ".SS " << Roff(PathOf(sub)) << "\n.nf\n" << Roff(text) << "\n.fi\n";
    CommandSections(out, sub);
  }
}

void WriteManual(std::ostream& out, const CLI::App& app) {
  out << ".TH TSLN2XML 1 \"\" \"tsln2xml\" \"User Commands\"\n"
      << ".SH NAME\ntsln2xml \\- converts the data items of a storage area to XML documents and back\n"
      << ".SH SYNOPSIS\n.B tsln2xml\n.I COMMAND\n[\\fIOPTIONS\\fR] [\\fIARGUMENTS\\fR]\n"
      << ".SH DESCRIPTION\n" << Roff(app.get_description()) << "\n"
      << ".SH COMMANDS\n";
  CommandSections(out, &app);
  out << ".SH EXIT STATUS\n";
  for (const auto& s : kExitStatus) out << ".TP\n.B " << s[0] << "\n" << Roff(s[1]) << "\n";
  out << ".SH ENVIRONMENT\n";
  for (const auto& e : kEnvironment) out << ".TP\n.B " << e[0] << "\n" << Roff(e[1]) << "\n";
}

}  // namespace

void RegisterHelpCommands(CLI::App& app, Outcome& outcome) {
  AttachExamples(&app);
  auto topics = std::make_shared<std::vector<std::string>>();
  auto* help = app.add_subcommand("help", "Describe every command, or one (help raw get)");
  help->add_option("COMMAND", *topics, "Command path");
  help->callback([&app, &outcome, topics] {
    const CLI::App* target = &app;
    for (const std::string& name : *topics) {
      const CLI::App* next = nullptr;
      for (const CLI::App* sub : target->get_subcommands({}))
        if (sub->get_name() == name && !sub->get_group().empty()) next = sub;
      if (!next) {
        std::cerr << "Unknown command \"" << name << "\" (see: tsln2xml help)" << std::endl;
        outcome.code = kUsageError;
        return;
      }
      target = next;
    }
    // App::help() of the running app would describe the selected command
    // (help itself), so the formatter is asked directly.
    const std::string usageName = target == &app ? "tsln2xml" : "tsln2xml " + PathOf(target);
    std::cout << target->get_formatter()->make_help(target, usageName, CLI::AppFormatMode::Normal);
    if (target == &app) {
      std::cout << "\nExit status:\n";
      for (const auto& s : kExitStatus) std::printf("  %-4s %s\n", s[0], s[1]);
    }
  });
  help->footer("\nExample:\n  " + Examples().at("help") + "\n");
  auto* manual = app.add_subcommand("manual", "Write the manual page (roff) on standard output");
  manual->group("");  // hidden: the build makes tsln2xml.1 with it
  manual->callback([&app] { WriteManual(std::cout, app); });
}

}  // namespace tsln2xml::cli
