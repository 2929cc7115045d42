// The command-line tool: export, import, raw get/put and types, with the
// library's messages and codes.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

TEST(Cli, ImportExportAndRawBytes) {
  TempArea area;
  const std::string doc = area.File("in.xml");
  WriteFile(doc, R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"><Entry ActualSize="8" OrderedSize="s"/></SizeCode>)");
  std::string out;
  ASSERT_EQ(RunTool("import SizeCode " + Quote(area.path()) + " MISSES " + Quote(doc), &out), 0) << out;
  ASSERT_EQ(RunTool("export 24 " + Quote(area.path()) + " misses", &out), 0) << out;
  EXPECT_EQ(CompareXml(R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" version="1" Name="misses">
                            <Entry ActualSize="8" OrderedSize="S"/></SizeCode>)", out), "");

  ASSERT_EQ(RunTool("raw get 24 " + Quote(area.path()) + " MISSES " + Quote(area.File("item.bin"))), 0);
  EXPECT_EQ(ReadFile(area.File("item.bin")), std::string("\x01\x00" "8\0\0\0\0\0" "S\0\0\0\0\0" "\0\0", 16));
  ASSERT_EQ(RunTool("raw put SizeCode " + Quote(area.path()) + " COPY " + Quote(area.File("item.bin"))), 0);
  EXPECT_EQ(area.GetItem(24, "COPY"), area.GetItem(24, "MISSES"));
}

TEST(Cli, FailuresPrintTheMessageAndExitWithTheCode) {
  TempArea area;
  WriteFile(area.File("bad.xml"), R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode"/>)");
  struct Case {
    std::string args;
    int code;
    std::string message;
  } cases[] = {
      {"export 24 " + Quote(area.path()) + " NONE", 5,
       "Could not open file\n  SizeCode item \"NONE\" in the storage area " + area.path()},
      {"raw put 24 " + Quote(area.File("nowhere")) + " X " + Quote(area.File("bad.xml")), 5,
       "\n  the storage area " + area.File("nowhere") + " does not exist"},
      {"import 24 " + Quote(area.path()) + " A " + Quote(area.File("bad.xml")), 2, "XML Validation Error:"},
      {"export NoSuchType " + Quote(area.path()) + " A", 64, "Unknown data type"},
      {"export", 64, "ARGS is required"},
      {"frobnicate", 64, "subcommand is required"},
      {"help frobnicate", 64, "Unknown command \"frobnicate\""},
      {"list " + Quote(area.File("nowhere")), 5, "Storage area " + area.File("nowhere") + " does not exist"},
      {"list --type Nothing " + Quote(area.path()), 64, "Unknown data type \"Nothing\""},
      {"import --all " + Quote(area.path()) + " -d " + Quote(area.File("nodocs")), 1, "nodocs does not exist"},
      {"export --all Marker " + Quote(area.path()) + " -d " + Quote(area.File("d")), 7, "tsln2xml marker AREA NAME"},
      {"export Marker " + Quote(area.path()) + " M", 7, "tsln2xml marker AREA NAME"},
      {"raw get 24 " + Quote(area.path()) + " NONE -", 5, "Could not open file"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(RunTool(c.args, &out), c.code) << c.args;
    EXPECT_NE(out.find(c.message), std::string::npos) << c.args << ": " << out;
  }
}

// A failed export into a file leaves what the file held; a good one replaces it.
TEST(Cli, FailedExportKeepsTheFile) {
  TempArea area;
  const std::string doc = area.File("out.xml");
  WriteFile(doc, "precious");
  EXPECT_EQ(RunTool("export 24 " + Quote(area.path()) + " NONE -o " + Quote(doc)), 5);
  EXPECT_EQ(ReadFile(doc), "precious");
  area.PutItem(24, "MISSES", {0, 0});
  EXPECT_EQ(RunTool("export sizecode " + Quote(area.path()) + " MISSES -o " + Quote(doc)), 0);
  EXPECT_EQ(ReadFile(doc).rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SizeCode", 0), 0u) << ReadFile(doc);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(area.path()), {}), 2);  // the catalog and out.xml
}

// Names and paths outside ASCII: an item named on the command line is the
// same item as one named by a batch's file name, files and areas with such
// names are found and made under their UTF-8 names, and a name the code page
// cannot hold is a usage error rather than another name.
TEST(Cli, NamesAndPathsOutsideAscii) {
  TempArea area;
  const std::string dir = area.File("caf\xC3\xA9");  // UTF-8 "café"
  std::filesystem::create_directory(dir);
  const std::string doc = area.File("entr\xC3\xA9" "e.xml");
  WriteFile(doc, R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"><Entry ActualSize="8" OrderedSize="s"/></SizeCode>)");
  std::string out;
  ASSERT_EQ(RunTool("import SizeCode " + Quote(dir) + " CAF\xC3\x89 " + Quote(doc), &out), 0) << out;
  ASSERT_EQ(RunTool("export SizeCode " + Quote(dir) + " caf\xC3\x89 -o " + Quote(area.File("sortie_\xC3\xA9.xml")), &out), 0) << out;
  EXPECT_TRUE(std::filesystem::exists(area.File("sortie_\xC3\xA9.xml")));
  ASSERT_EQ(RunTool("export --all " + Quote(dir) + " -d " + Quote(area.File("docs")), &out), 0) << out;
  EXPECT_TRUE(std::filesystem::exists(area.File("docs/SizeCode/CAF\xC3\x89.xml"))) << out;
  ASSERT_EQ(RunTool("import --all " + Quote(dir) + " -d " + Quote(area.File("docs")), &out), 0) << out;
  ASSERT_EQ(RunTool("list " + Quote(dir), &out), 0);
  EXPECT_NE(out.find("CAF\xC3\x89 "), std::string::npos) << out;
  EXPECT_NE(out.find("1 item\n"), std::string::npos) << out;  // one item, whichever way it was named
  EXPECT_EQ(RunTool("import SizeCode " + Quote(dir) + " \xE5\x90\x8D " + Quote(doc), &out), 64);
  EXPECT_NE(out.find("cannot hold"), std::string::npos) << out;
}

// A marker document that its schema file refuses: the library's message, then
// the validator's first error with its line.
TEST(Cli, MarkerSchemaFailureSaysWhere) {
  TempArea area;
  WriteFile(area.File("other.xsd"), R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"><xs:element name="other"/></xs:schema>)");
  ASSERT_EQ(RunTool("demo-marker " + Quote(area.path()) + " M"), 0);
  std::string out;
  EXPECT_EQ(RunTool("marker " + Quote(area.path()) + " M -o " + Quote(area.File("m.xml")) + " --schema " +
                        Quote(area.File("other.xsd")), &out), 2);
  EXPECT_NE(out.find("error validating xml document"), std::string::npos) << out;
  EXPECT_NE(out.find("\n  line 2: Element 'marker'"), std::string::npos) << out;
}

TEST(Cli, TypesListsTheTable) {
  std::string out;
  ASSERT_EQ(RunTool("types", &out), 0);
  const size_t row = out.find("SizeCode");
  ASSERT_NE(row, std::string::npos) << out;
  const std::string line = out.substr(out.rfind('\n', row) + 1, out.find('\n', row) - out.rfind('\n', row) - 1);
  EXPECT_EQ(line.rfind("24 ", 0), 0u) << line;
  EXPECT_NE(line.find("sizpt.ctl"), std::string::npos) << line;
  EXPECT_EQ(out.find("\n10 "), std::string::npos);  // no row for a code without a type
}

// Every command that `help` lists has an example, and the manual page made
// from the same text renders with every command in it.
TEST(Cli, HelpAndManualDescribeEveryCommand) {
  std::string top;
  ASSERT_EQ(RunTool("help", &top), 0);
  std::vector<std::string> commands;
  const size_t list = top.find("Subcommands:\n");
  ASSERT_NE(list, std::string::npos) << top;
  std::istringstream lines(top.substr(list + 13));
  for (std::string line; std::getline(lines, line) && !line.empty();)
    if (line.rfind("  ", 0) == 0 && line[2] != ' ') commands.push_back(line.substr(2, line.find(' ', 2) - 2));
  EXPECT_GE(commands.size(), 8u) << top;
  EXPECT_NE(top.find("64   usage error"), std::string::npos);
  std::string manual;
  ASSERT_EQ(RunCommand("MANWIDTH=100 man -P cat -l " TSLN2XML_BINARY_DIR "/tsln2xml.1", &manual), 0) << manual;
  EXPECT_NE(manual.find("EXIT STATUS"), std::string::npos) << manual;
  for (const std::string& c : commands) {
    std::string help;
    EXPECT_EQ(RunTool("help " + c, &help), 0) << c;
    EXPECT_NE(help.find("Example:\n  tsln2xml " + c), std::string::npos) << c << ": " << help;
    EXPECT_NE(manual.find("tsln2xml " + c), std::string::npos) << c;
  }
}

}  // namespace
}  // namespace tsln2xml::test
