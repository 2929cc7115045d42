// The exported boundary: result codes, the last-error record, the partial
// document of a failed export to a file, and the shared library's symbols.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/bstr.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::test {
namespace {

constexpr const char* kEmptyDocument = R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"/>)";

TEST(LastErrorDeathTest, StartsEmptyAndOnlyFailuresChangeIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: nothing has failed yet
  EXPECT_EXIT(
      {
        const bool fresh = GetLastErrorXML() == 0 && GetLastDbErrorXML() == 0 && LastErrorMessage().empty();
        std::exit(fresh ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(LastError, ASuccessLeavesTheEarlierFailure) {
  TempArea area;
  EXPECT_EQ(ExportToString(kSizeCode, area.path(), "NOTHERE").code, 5);
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", kEmptyDocument), 0);
  ASSERT_EQ(ExportToString(kSizeCode, area.path(), "A").code, 0);
  EXPECT_EQ(GetLastErrorXML(), 5);
  EXPECT_EQ(GetLastDbErrorXML(), 2);  // no such item
  EXPECT_EQ(LastErrorMessage(), "Could not open file");
}

TEST(LastError, MessagesPassThroughTheCodePage) {
  TempArea area;
  // The validation report quotes the value, which is not ASCII.
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A",
                             "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"><Entry ActualSize=\"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\" OrderedSize=\"S\"/></SizeCode>"),
            2);
  EXPECT_NE(LastErrorMessage().find("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"), std::string::npos);
}

TEST(Exports, FailureTable) {
  TempArea area;
  const std::string out = area.File("out.xml");
  const std::string doc = area.File("in.xml");
  WriteFile(doc, kEmptyDocument);
  struct Case {
    const char* what;
    std::function<int()> call;
    int code;
    const char* message;
  } cases[] = {
      {"marker through the item export", [&] { return ConvertDataItemToXMLFile(9, "", area.c_str(), "A", out.c_str(), 0); }, 7,
       "Unimplemented data type"},
      {"code 10", [&] { return ConvertDataItemToXMLFile(10, "", area.c_str(), "A", out.c_str(), 0); }, 7, "Unimplemented data type"},
      {"pieces are exported only", [&] { return ConvertXMLFileToDataItem(20, doc.c_str(), 0, "", area.c_str(), "A"); }, 7,
       "Unimplemented data type"},
      {"empty item name", [&] { return ImportFromString(kSizeCode, area.path(), "", kEmptyDocument); }, 5, "Could not create file"},
      {"missing document file", [&] { return ConvertXMLFileToDataItem(kSizeCode, area.File("none.xml").c_str(), 0, "", area.c_str(), "A"); },
       1, "xmlFile failed to Load"},
      {"document file is a directory", [&] { return ConvertXMLFileToDataItem(kSizeCode, area.c_str(), 0, "", area.c_str(), "A"); }, 1,
       "xmlFile failed to Load"},
      {"null document text", [&] { return ConvertXMLStringToDataItem(kSizeCode, nullptr, 0, "", area.c_str(), "A"); }, 1,
       "Unable to load XML String."},
      {"output file cannot be written", [&] {
         ImportFromString(kSizeCode, area.path(), "A", kEmptyDocument);
         return ConvertDataItemToXMLFile(kSizeCode, "", area.c_str(), "A", area.File("no/dir/out.xml").c_str(), 0);
       }, 4, "COM Error Saving XML."},
      // Last: a failed export to a file leaves the partial document.
      {"missing item", [&] { return ConvertDataItemToXMLFile(kSizeCode, "", area.c_str(), "NONE", out.c_str(), 0); }, 5,
       "Could not open file"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(out);
    EXPECT_EQ(c.call(), c.code) << c.what;
    EXPECT_EQ(GetLastErrorXML(), c.code) << c.what;
    EXPECT_EQ(LastErrorMessage(), c.message) << c.what;
    if (c.code == 7) {
      EXPECT_FALSE(std::filesystem::exists(out)) << c.what;
    }
  }
  EXPECT_EQ(ReadFile(out), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
}

// Names are cut to twenty characters; a null out argument still converts.
TEST(Exports, ItemNamesAreCutToTwentyCharacters) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "ABCDEFGHIJKLMNOPQRSTUVWXY", kEmptyDocument), 0);
  EXPECT_EQ(ConvertDataItemToXMLString(kSizeCode, "", area.c_str(), "ABCDEFGHIJKLMNOPQRST", nullptr, 0), 0);
  auto result = ExportToString(kSizeCode, area.path(), "ABCDEFGHIJKLMNOPQRST");
  ASSERT_EQ(result.code, 0);
  EXPECT_NE(result.xml.find("Name=\"ABCDEFGHIJKLMNOPQRST\""), std::string::npos);
}

// The shared library loads by itself and exports the calls and nothing of its
// inside (a program built against the installed library: install_and_consume).
TEST(Exports, TheSharedLibraryExportsTheCallsAndNothingElse) {
  void* lib = dlopen(TSLN2XML_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  for (const char* name : {"ConvertDataItemToXMLFile", "ConvertDataItemToXMLString", "ConvertXMLFileToDataItem",
                           "ConvertXMLStringToDataItem", "ConvertMarkerToXML", "EnumerateItems", "EnumerateItemsString",
                           "EnumerateItemsOfType", "EnumerateItemsOfTypes", "EnumerateItemsNotOfTypes", "GetLastErrorXML",
                           "GetLastDbErrorXML", "GetLastErrorStringXML", "SysAllocString", "SysAllocStringLen",
                           "SysFreeString", "SysStringLen", "ExportDXF"})
    EXPECT_NE(dlsym(lib, name), nullptr) << name;
  dlclose(lib);
  std::string exported;
  ASSERT_EQ(RunCommand(std::string("nm -D --defined-only ") + TSLN2XML_LIBRARY_PATH, &exported), 0);
  EXPECT_EQ(exported.find("tsln2xml"), std::string::npos) << exported;
}

}  // namespace
}  // namespace tsln2xml::test
