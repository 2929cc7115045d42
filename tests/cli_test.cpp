// The command-line tool: its list, batch export and import (status lines,
// summaries, exit codes, document directories, usage errors), single-item
// export, import, raw get/put and types, with the library's messages and codes.

#include <gtest/gtest.h>


#include <filesystem>
#include <regex>
#include <sstream>

#include "platform/host_files.h"
#include "support/catalog_fixture.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

namespace fs = std::filesystem;

const std::string kExamples = std::string(TSLN2XML_SOURCE_DIR) + "/examples/SizeCode/";

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every line of `lines` appears in `text`, each after the previous one.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& lines) {
  size_t at = 0;
  for (const auto& line : lines) {
    const size_t next = text.find(line, at);
    ASSERT_NE(next, std::string::npos) << "\"" << line << "\" missing or out of order in:\n" << text;
    at = next + line.size();
  }
}

void ImportExample(const std::string& area, const std::string& item, const char* example) {
  ASSERT_EQ(RunTool("import SizeCode " + Quote(area) + " " + Quote(item) + " " + Quote(kExamples + example)), 0);
}

TEST(CliList, TableAndDocument) {
  TempArea area;
  PutItemHistory(area.path(), 24, "MISSES", {{0, "ann"}, {1142327100, "bob"}}, 142);
  PutItemHistory(area.path(), 1, "ALTER", {{1000, "cy"}}, 7);
  std::string out;
  ASSERT_EQ(RunTool("list " + Quote(area.path()), &out), 0) << out;
  EXPECT_EQ(out,
            "NAME                TYPE              SIZE  MODIFIED              USER\n"
            "ALTER               Alteration           7  1970-01-01T00:16:40Z  cy\n"
            "MISSES              SizeCode           142  2006-03-14T09:05:00Z  bob\n"
            "2 items\n");

  const struct {
    const char* what;
    std::string options;
    std::vector<std::string> present, absent;
  } selections[] = {
      {"one type", "--type SizeCode", {"MISSES", "1 item\n"}, {"ALTER"}},
      {"types by name and code", "-t 24 -t Alteration", {"ALTER", "MISSES", "2 items"}, {}},
      {"all but one", "--not-type 24", {"ALTER", "1 item\n"}, {"MISSES"}},
      {"validated", "--schema " + Quote(std::string(TSLN2XML_BINARY_DIR) + "/DATAITEMS.XSD"), {"2 items"}, {}},
  };
  for (const auto& s : selections) {
    ASSERT_EQ(RunTool("list " + s.options + " " + Quote(area.path()), &out), 0) << s.what << ": " << out;
    for (const auto& p : s.present) EXPECT_TRUE(Contains(out, p)) << s.what << ": " << out;
    for (const auto& a : s.absent) EXPECT_FALSE(Contains(out, a)) << s.what << ": " << out;
  }

  ASSERT_EQ(RunTool("list " + Quote(area.path()) + " --xml -", &out), 0);
  EXPECT_TRUE(Contains(out, "<DataItem Name=\"ALTER\" DataType=\"Alteration\" Size=\"7\"")) << out;
  const std::string file = area.File("list.xml");
  ASSERT_EQ(RunTool("list -t 1 " + Quote(area.path()) + " -x " + Quote(file)), 0);
  EXPECT_TRUE(Contains(ReadFile(file), "<DataItem Name=\"ALTER\" DataType=\"Alteration\"")) << ReadFile(file);
  EXPECT_FALSE(Contains(ReadFile(file), "MISSES"));
}

TEST(CliBatch, WholeAreaRoundTripThroughADocumentDirectory) {
  TempArea from, to, docs;
  ImportExample(from.path(), "MISSES", "MISSES.xml");
  ImportExample(from.path(), "KIDS", "KIDS.xml");
  ImportExample(from.path(), "a/b%c", "KIDS.xml");  // characters a file name cannot hold
  ImportExample(from.path(), ".dot", "KIDS.xml");
  // Names that Windows file names cannot be: a stream of the file "A", and
  // its null device (on Linux plain file names).
  ImportExample(from.path(), "A:B", "KIDS.xml");
  ImportExample(from.path(), "nul", "KIDS.xml");
#ifdef _WIN32
  const std::string streamName = "A%3AB.xml", deviceName = "%6Eul.xml";
#else
  const std::string streamName = "A:B.xml", deviceName = "nul.xml";
#endif
  PutItemAt(from.path(), 9, "MARKER");  // markers have their own command

  std::string out;
  ASSERT_EQ(RunTool("export --all " + Quote(from.path()) + " -d " + Quote(docs.path()), &out), 0) << out;
  const std::string sizes = (std::filesystem::path(docs.path()) / "SizeCode" / "").string();  // native separators
  ExpectInOrder(out, {"exported SizeCode .dot -> " + sizes + "%2Edot.xml\n",
                      "exported SizeCode a/b%c -> " + sizes + "a%2Fb%25c.xml\n",
                      "exported SizeCode KIDS -> " + sizes + "KIDS.xml\n",
                      "exported SizeCode MISSES -> " + sizes + "MISSES.xml\n", "6 exported, 0 failed, 1 skipped\n"});
  EXPECT_TRUE(Contains(out, "exported SizeCode A:B -> " + sizes + streamName + "\n")) << out;
  EXPECT_TRUE(Contains(out, "exported SizeCode nul -> " + sizes + deviceName + "\n")) << out;

  ASSERT_EQ(RunTool("import --all " + Quote(to.path()) + " -d " + Quote(docs.path()), &out), 0) << out;
  EXPECT_TRUE(Contains(out, "imported SizeCode a/b%c <- " + sizes + "a%2Fb%25c.xml\n")) << out;
  EXPECT_TRUE(Contains(out, "6 imported, 0 failed\n")) << out;
  for (const char* item : {"MISSES", "KIDS", "a/b%c", ".dot", "A:B", "nul"}) {
    ASSERT_TRUE(to.GetItem(24, item).has_value()) << item;
    EXPECT_EQ(to.GetItem(24, item), from.GetItem(24, item)) << item;
  }
}

TEST(CliBatch, FailedItemsAreReportedAndTheRunGoesOn) {
  TempArea area, docs;
  ImportExample(area.path(), "MISSES", "MISSES.xml");
  ImportExample(area.path(), "KIDS", "KIDS.xml");
  std::string out;
  EXPECT_EQ(RunTool("export SizeCode " + Quote(area.path()) + " MISSES NOPE KIDS -d " + Quote(docs.path()), &out), 5);
  ExpectInOrder(out, {"exported SizeCode MISSES", "FAILED SizeCode NOPE: Could not open file (code 5)\n",
                      "exported SizeCode KIDS", "2 exported, 1 failed\n"});
  // A failed item leaves no document behind, partial or temporary.
  EXPECT_FALSE(fs::exists(docs.path() + "/SizeCode/NOPE.xml"));
  EXPECT_FALSE(fs::exists(docs.path() + "/SizeCode/NOPE.xml.part"));

  // A catalog that cannot be read fails an export of the whole area.
  WriteFile(area.File("sizpt.ctl"), std::string(4096, 'x'));
  EXPECT_EQ(RunTool("export --all " + Quote(area.path()) + " -d " + Quote(docs.path()), &out), 5);
  ExpectInOrder(out, {"Could not read item catalog sizpt.ctl", "0 exported, 0 failed, 1 unreadable catalog\n"});
}

// docs/batches.md's worked example: its commands, and the output it shows (a
// document in the middle that is not valid fails alone on two threads, and
// the lines come in the order of the documents).
TEST(CliBatch, TheWorkedExampleOfTheBatchPage) {
  const std::string page = ReadFile(std::string(TSLN2XML_SOURCE_DIR) + "/docs/batches.md");
  const std::string command = "$ tsln2xml import --all area -d docs -j 2 2>/dev/null\n";
  const size_t start = page.find(command);
  ASSERT_NE(start, std::string::npos);
  const size_t end = page.find("```", start);
  ASSERT_NE(end, std::string::npos);
  const std::string expected = page.substr(start + command.size(), end - start - command.size());
  TempArea dir;
  fs::create_directories(dir.File("docs/SizeCode"));
  fs::create_directories(dir.File("area"));
  for (const char* name : {"A", "B", "D", "E"}) WriteFile(dir.File("docs/SizeCode/") + name + ".xml", ReadFile(kExamples + "MISSES.xml"));
  WriteFile(dir.File("docs/SizeCode/C.xml"), "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"C\" Bad=\"1\"/>\n");
  std::string out;
  EXPECT_EQ(RunCommand("(cd " + Quote(dir.path()) + " && " + TSLN2XML_CLI_PATH +
                           " import --all area -d docs -j 2 2>/dev/null)",
                       &out),
            2);
  EXPECT_EQ(out, expected);
  std::string list;
  ASSERT_EQ(RunTool("list " + Quote(dir.File("area")), &list), 0);
  EXPECT_TRUE(Contains(list, "4 items\n")) << list;
}

// What a document directory holds besides documents: links to nothing or
// out of it, FIFOs, folders named *.xml and folders of no type are skipped
// with the reason; a file name that names no item (not UTF-8, a NUL, a
// character the code page cannot hold) fails that file instead of becoming
// another item's name.
TEST(CliBatch, DocumentDirectoryEntriesThatAreNotDocuments) {
  TempArea docs, outside, area;
  const std::string folder = docs.path() + "/SizeCode/";
  fs::create_directories(folder + "dir.xml");
  fs::create_directories(docs.path() + "/Sizes");
  const std::string text = ReadFile(kExamples + "MISSES.xml");
  for (const char* name : {"NUL.xml", "NUL%00X.xml", "bad\xff.xml", "%E6%97%A5.xml"}) WriteFile(folder + name, text);
  WriteFile(outside.File("o.xml"), text);
  fs::create_symlink(outside.File("o.xml"), folder + "out.xml");
  fs::create_symlink("nowhere.xml", folder + "dangling.xml");
  fs::create_symlink("NUL.xml", folder + "inside.xml");
  ASSERT_EQ(RunCommand("mkfifo " + Quote(folder + "fifo.xml")), 0);
  std::string out;
  EXPECT_EQ(RunTool("import --all " + Quote(area.path()) + " -d " + Quote(docs.path()), &out), 5);
  for (const std::string& line : std::vector<std::string>{
           "skipped " + folder + "dangling.xml: a symbolic link to nothing\n", "skipped " + folder + "dir.xml: a directory\n",
        "skipped " + folder + "fifo.xml: not a regular file\n",
        "skipped " + folder + "out.xml: a symbolic link to a file outside the document directory\n",
        "skipped " + docs.path() + "/Sizes: not the folder of a data type\n",
        "FAILED SizeCode " + folder + "NUL%00X.xml: the file name gives an item name with a NUL character (code 5)\n",
        "FAILED SizeCode " + folder + "bad\xff.xml: the file name is not UTF-8 (code 5)\n",
        "FAILED SizeCode " + folder + "%E6%97%A5.xml: the file name gives an item name with characters that code page "
                                     "1252 cannot hold (code 5)\n",
        "imported SizeCode NUL <-", "imported SizeCode inside <-", "2 imported, 3 failed, 5 skipped\n"})
    EXPECT_TRUE(Contains(out, line)) << line << " in:\n" << out;
  EXPECT_EQ(area.GetItem(24, "NUL"), area.GetItem(24, "inside"));
}

TEST(CliBatch, ProgressOnlyOnATerminal) {
  TempArea area, docs;
  for (int i = 0; i < 25; ++i) area.PutItem(24, "ITEM" + std::to_string(i), {0, 0});
  const std::string command =
      std::string(TSLN2XML_CLI_PATH) + " export --all " + Quote(area.path()) + " -d " + Quote(docs.path());
  std::string out;
  ASSERT_EQ(RunCommand(command, &out), 0) << out;
  EXPECT_FALSE(Contains(out, "exporting")) << out;
  EXPECT_TRUE(Contains(out, "25 exported, 0 failed\n"));

  // script(1) runs the command on a pseudo-terminal; it needs an open input.
  if (RunCommand("script --version") != 0) GTEST_SKIP() << "script(1) is not installed";
  ASSERT_EQ(RunCommand("script -qec " + Quote(command) + " /dev/null < /dev/null", &out), 0) << out;
  EXPECT_TRUE(Contains(out, "\rexporting 24/25 (96%)")) << out;
  EXPECT_TRUE(Contains(out, "25 exported, 0 failed")) << out;
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
      {"help frobnicate", 64, "Unknown command \"frobnicate\""},
      {"list " + Quote(area.File("nowhere")), 5, "Storage area " + area.File("nowhere") + " does not exist"},
      {"list --type Nothing " + Quote(area.path()), 64, "Unknown data type \"Nothing\""},
      {"import --all " + Quote(area.path()) + " -d " + Quote(area.File("nodocs")), 1, "nodocs does not exist"},
      {"export Marker " + Quote(area.path()) + " M", 7, "tsln2xml marker AREA NAME"},
      {"import Piece " + Quote(area.path()) + " A " + Quote(area.File("bad.xml")), 7,
       "Unimplemented data type\nPiece items are export-only; store their bytes with: tsln2xml raw put Piece"},
      {"raw get 24 " + Quote(area.path()) + " NONE -", 5, "Could not open file"},
      // Batches: several items need a directory, and a whole area takes no item names.
      {"export 24 AREA A B", 64, "several items with -d DIR"},
      {"export --all AREA", 64, "give the document directory with -d DIR"},
      {"export 24 AREA A --all -d D", 64, "give [TYPE] AREA"},
      {"export 24 AREA A -d D -o F", 64, "a batch writes into -d DIR"},
      {"import 24 AREA A", 64, "give TYPE AREA ITEM FILE"},
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

// Names outside ASCII: an item named on the command line is the same item as
// one named by a batch's file name, and a name the code page cannot hold is a
// usage error rather than another name (files and areas with such names:
// HostPaths).
TEST(Cli, NamesAndPathsOutsideAscii) {
  TempArea area;
  const std::string dir = area.File("caf\xC3\xA9");  // UTF-8 "café"
  std::filesystem::create_directory(platform::FsPath(dir));
  const std::string doc = area.File("entr\xC3\xA9" "e.xml");
  WriteFile(doc, R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"><Entry ActualSize="8" OrderedSize="s"/></SizeCode>)");
  std::string out;
  ASSERT_EQ(RunTool("import SizeCode " + Quote(dir) + " CAF\xC3\x89 " + Quote(doc), &out), 0) << out;
  ASSERT_EQ(RunTool("export --all " + Quote(dir) + " -d " + Quote(area.File("docs")), &out), 0) << out;
  EXPECT_TRUE(std::filesystem::exists(platform::FsPath(area.File("docs/SizeCode/CAF\xC3\x89.xml")))) << out;
  ASSERT_EQ(RunTool("import --all " + Quote(dir) + " -d " + Quote(area.File("docs")), &out), 0) << out;
  ASSERT_EQ(RunTool("list " + Quote(dir), &out), 0);
  EXPECT_NE(out.find("CAF\xC3\x89 "), std::string::npos) << out;
  EXPECT_NE(out.find("1 item\n"), std::string::npos) << out;  // one item, whichever way it was named
  EXPECT_EQ(RunTool("import SizeCode " + Quote(dir) + " \xE5\x90\x8D " + Quote(doc), &out), 64);
  EXPECT_NE(out.find("cannot hold"), std::string::npos) << out;
}

// --version prints the version on standard output and succeeds, as a script
// checking which release it runs expects.
TEST(Cli, VersionPrintsTheVersion) {
  std::string out;
  ASSERT_EQ(RunTool("--version", &out), 0) << out;
  EXPECT_TRUE(std::regex_match(out, std::regex("tsln2xml [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << out;
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
