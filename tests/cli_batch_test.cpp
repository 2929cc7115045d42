// The command line's list and its batch export and import: status lines,
// summaries, exit codes, document directories, and usage errors.

#include <gtest/gtest.h>

#include <filesystem>

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
  EXPECT_EQ(CompareXml(R"(<ArrayOfDataItem version="1.0">
      <DataItem Name="ALTER" DataType="Alteration" Size="7" Created="1970-01-01T00:16:40Z" CreatedUser="cy"
                Modified="1970-01-01T00:16:40Z" ModifiedUser="cy" PreviousModified="1970-01-01T00:00:00Z"
                PreviousModifiedUser=""/>
    </ArrayOfDataItem>)", ReadFile(file)), "");
}

TEST(CliBatch, WholeAreaRoundTripThroughADocumentDirectory) {
  TempArea from, to, docs;
  ImportExample(from.path(), "MISSES", "MISSES.xml");
  ImportExample(from.path(), "KIDS", "KIDS.xml");
  ImportExample(from.path(), "a/b%c", "KIDS.xml");  // characters a file name cannot hold
  ImportExample(from.path(), ".dot", "KIDS.xml");
  PutItemAt(from.path(), 9, "MARKER");  // markers have their own command

  std::string out;
  ASSERT_EQ(RunTool("export --all " + Quote(from.path()) + " -d " + Quote(docs.path()), &out), 0) << out;
  const std::string sizes = docs.path() + "/SizeCode/";
  ExpectInOrder(out, {"exported SizeCode .dot -> " + sizes + "%2Edot.xml\n",
                      "exported SizeCode a/b%c -> " + sizes + "a%2Fb%25c.xml\n",
                      "exported SizeCode KIDS -> " + sizes + "KIDS.xml\n",
                      "exported SizeCode MISSES -> " + sizes + "MISSES.xml\n", "4 exported, 0 failed, 1 skipped\n"});

  ASSERT_EQ(RunTool("import --all " + Quote(to.path()) + " -d " + Quote(docs.path()), &out), 0) << out;
  EXPECT_TRUE(Contains(out, "imported SizeCode a/b%c <- " + sizes + "a%2Fb%25c.xml\n")) << out;
  EXPECT_TRUE(Contains(out, "4 imported, 0 failed\n")) << out;
  for (const char* item : {"MISSES", "KIDS", "a/b%c", ".dot"}) {
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

  // An invalid document fails its item only; the item it names keeps its bytes.
  TempArea target;
  target.PutItem(24, "KIDS", {0, 0});
  WriteFile(docs.path() + "/SizeCode/KIDS.xml", R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="K" Bad="1"/>)");
  EXPECT_EQ(RunTool("import 24 " + Quote(target.path()) + " KIDS MISSES -d " + Quote(docs.path()), &out), 2);
  ExpectInOrder(out, {"FAILED SizeCode KIDS: XML Validation Error: ... (code 2)\n", "imported SizeCode MISSES",
                      "1 imported, 1 failed\n"});
  EXPECT_EQ(target.GetItem(24, "KIDS"), std::vector<uint8_t>({0, 0}));

  // A catalog that cannot be read fails an export of the whole area.
  WriteFile(area.File("sizpt.ctl"), std::string(4096, 'x'));
  EXPECT_EQ(RunTool("export --all " + Quote(area.path()) + " -d " + Quote(docs.path()), &out), 5);
  ExpectInOrder(out, {"Could not read item catalog sizpt.ctl", "0 exported, 0 failed, 1 unreadable catalog\n"});
}

TEST(CliBatch, UsageErrors) {
  std::string out;
  const struct {
    const char* what;
    std::string args;
    const char* message;
  } usage[] = {
      {"several items without a directory", "export 24 AREA A B", "several items with -d DIR"},
      {"--all without a directory", "export --all AREA", "give the document directory with -d DIR"},
      {"--all with item names", "export 24 AREA A --all -d D", "give [TYPE] AREA"},
      {"one document for a batch", "export 24 AREA A -d D -o F", "a batch writes into -d DIR"},
      {"import without a file", "import 24 AREA A", "give TYPE AREA ITEM FILE"},
      {"unknown type in a batch", "import Nothing AREA A -d D", "Unknown data type"},
  };
  for (const auto& u : usage) {
    EXPECT_EQ(RunTool(u.args, &out), 64) << u.what;
    EXPECT_TRUE(Contains(out, u.message)) << u.what << ": " << out;
  }
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

}  // namespace
}  // namespace tsln2xml::test
