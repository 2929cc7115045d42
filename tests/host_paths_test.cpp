// Storage areas, documents, schemas and outputs whose folder and file names
// hold characters beyond ASCII, through the C interface and the command: on
// Windows these reach the file system as UTF-16, whatever the system's ANSI
// code page, so a name of the library's code page that the system's lacks
// (Polish under Windows-1252, Japanese) is found and made as it is named.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/code_page.h"
#include "platform/host_files.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::test {
namespace {

namespace fs = std::filesystem;

constexpr short kSizeCode = 24;
constexpr std::string_view kDocument = R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" version="1" Name="A">)"
                                        R"(<Entry ActualSize="8" OrderedSize="S"/></SizeCode>)";

struct NamesCase {
  int codePage;
  const char* codePageText;
  std::string name;  // UTF-8, for a folder and the files in it
};

void PrintTo(const NamesCase& c, std::ostream* os) { *os << "code page " << c.codePage << ", " << c.name; }

class HostPaths : public testing::TestWithParam<NamesCase> {};

bool Exists(const std::string& utf8Path) { return fs::exists(platform::FsPath(utf8Path)); }

TEST_P(HostPaths, EveryFileCallAndCommandFindsTheNamesItWasGiven) {
  const NamesCase& c = GetParam();
  TempArea temp;
  CodePageScope codePage(c.codePage);
  EnvScope commandCodePage("TSLN2XML_CODEPAGE", c.codePageText);
  const std::string folder = temp.File("Daten-" + c.name);
  const std::string area = folder + "/" + c.name;
  ASSERT_TRUE(fs::create_directories(platform::FsPath(area)));
  const auto narrow = [](const std::string& utf8) {
    const std::string text = platform::Utf8ToAnsi(utf8);
    EXPECT_EQ(platform::AnsiToUtf8(text), utf8) << "the code page holds the name";
    return text;
  };
  const std::string document = folder + "/" + c.name + "-38.xml";
  WriteFile(document, kDocument);

  // The C interface: a document read, a catalog made in the area, a document
  // and a list written beside them, the list checked against a schema there.
  ASSERT_EQ(ConvertXMLFileToDataItem(kSizeCode, narrow(document).c_str(), 0, "", narrow(area).c_str(), "A"), 0)
      << LastErrorMessage();
  EXPECT_TRUE(Exists(area + "/sizpt.ctl"));
  const std::string exported = folder + "/" + c.name + "-out.xml";
  ASSERT_EQ(ConvertDataItemToXMLFile(kSizeCode, "", narrow(area).c_str(), "A", narrow(exported).c_str(), 0), 0)
      << LastErrorMessage();
  EXPECT_EQ(CompareXml(kDocument, ReadFile(exported)), "");
  for (const char* schema : {"DATAITEMS.XSD", "COMMON.XSD"})
    WriteFile(folder + "/" + schema, ReadFile(std::string(TSLN2XML_BINARY_DIR) + "/" + schema));
  const std::string list = folder + "/" + c.name + "-list.xml";
  ASSERT_EQ(EnumerateItems("", narrow(area).c_str(), narrow(list).c_str(), narrow(folder + "/DATAITEMS.XSD").c_str()),
            0)
      << LastErrorMessage();
  EXPECT_NE(ReadFile(list).find("SizeCode"), std::string::npos);

  // The command: a batch out into a folder named alike and back, one export.
  std::string out;
  const std::string docs = folder + "/" + c.name + "-docs";
  ASSERT_EQ(RunTool("export --all " + Quote(area) + " -d " + Quote(docs), &out), 0) << out;
  EXPECT_TRUE(Exists(docs + "/SizeCode/A.xml")) << out;
  ASSERT_EQ(RunTool("import --all " + Quote(area) + " -d " + Quote(docs), &out), 0) << out;
  const std::string single = folder + "/" + c.name + "-single.xml";
  ASSERT_EQ(RunTool("export SizeCode " + Quote(area) + " A -o " + Quote(single), &out), 0) << out;
  EXPECT_EQ(CompareXml(kDocument, ReadFile(single)), "");
  ASSERT_EQ(RunTool("list " + Quote(area), &out), 0) << out;
  EXPECT_NE(out.find("1 item\n"), std::string::npos) << out;

#ifndef _WIN32  // Windows takes its temporary folder from TMP (tests/windows/commands.sh)
  // A marker on standard output goes through a file in the temporary folder.
  ASSERT_EQ(RunTool("demo-marker " + Quote(area) + " DEMO", &out), 0) << out;
  ASSERT_TRUE(fs::create_directory(platform::FsPath(folder + "/tmp")));
  EnvScope temporaryFolder("TMPDIR", (folder + "/tmp").c_str());
  ASSERT_EQ(RunTool("marker " + Quote(area) + " DEMO", &out), 0) << out;
  EXPECT_TRUE(out.starts_with("\xFF\xFE<\0?\0x\0m\0l\0")) << out.substr(0, 100);
  EXPECT_TRUE(fs::is_empty(platform::FsPath(folder + "/tmp")));
#endif
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostPaths,
    testing::Values(NamesCase{1252, "1252", "Gr\xC3\xB6\xC3\x9F" "e M\xC3\xBCller"},  // "Größe Müller"
                    NamesCase{1250, "1250", "\xC5\x81\xC3\xB3" "d\xC5\xBA"},           // "Łódź"
                    NamesCase{932, "932", "\xE5\xAF\xB8\xE6\xB3\x95"}),                // "寸法"
    [](const testing::TestParamInfo<NamesCase>& info) { return "CodePage" + std::to_string(info.param.codePage); });

}  // namespace
}  // namespace tsln2xml::test
