// The five enumeration exports: type selections and their order, the list
// document, dates and users, validation against a schema file, and every
// failure (code, message, error stream, nothing saved or handed out).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <filesystem>

#include "framework/item_enumeration.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "store/catalog.h"
#include "support/catalog_fixture.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/attributes.h"
#include "xml/document.h"

namespace tsln2xml::test {
namespace {

const std::string kListSchema = std::string(TSLN2XML_BINARY_DIR) + "/DATAITEMS.XSD";

// "DataType:Name" of every listed item, in document order.
std::vector<std::string> Listed(const std::string& xmlText) {
  xml::Document doc;
  EXPECT_TRUE(doc.LoadUtf8(xmlText)) << xmlText;
  std::vector<std::string> items;
  for (xml::Node n : xml::SelectNodes(doc.Root(), "DataItem", ""))
    items.push_back(*xml::GetAttributeUtf8(n, "DataType") + ":" + *xml::GetAttributeUtf8(n, "Name"));
  return items;
}

// One item of each of four types, written out of code order.
class ListedArea : public ::testing::Test {
 protected:
  void SetUp() override {
    PutItemAt(area.path(), 24, "SIZES");
    PutItemAt(area.path(), 12, "MODEL");
    PutItemAt(area.path(), 9, "MARKER");
    PutItemAt(area.path(), 1, "ALTER");
  }
  TempArea area;
};

TEST_F(ListedArea, SelectionsListTypesInAscendingCodeOrder) {
  using Items = std::vector<std::string>;
  const Items all = {"Alteration:ALTER", "Marker:MARKER", "Model:MODEL", "SizeCode:SIZES"};
  const std::string file = area.File("list.xml");
  const int alterThenSizes[] = {24, 1}, twice[] = {24, 24}, absent[] = {10, 99, -7}, every[] = {1, 9, 12, 24};
  const int sizes[] = {24};
  const struct {
    const char* what;
    std::function<int()> call;
    Items expected;
  } cases[] = {
      {"all", [&] { return EnumerateItems("", area.c_str(), file.c_str(), nullptr); }, all},
      {"one type", [&] { return EnumerateItemsOfType(12, "", area.c_str(), file.c_str(), nullptr); }, {"Model:MODEL"}},
      {"code outside the table", [&] { return EnumerateItemsOfType(99, "", area.c_str(), file.c_str(), nullptr); }, {}},
      {"types in ascending order",
       [&] { return EnumerateItemsOfTypes(alterThenSizes, 2, "", area.c_str(), file.c_str(), nullptr); },
       {"Alteration:ALTER", "SizeCode:SIZES"}},
      {"a type given twice", [&] { return EnumerateItemsOfTypes(twice, 2, "", area.c_str(), file.c_str(), nullptr); },
       {"SizeCode:SIZES"}},
      {"count 0", [&] { return EnumerateItemsOfTypes(every, 0, "", area.c_str(), file.c_str(), nullptr); }, {}},
      {"negative count", [&] { return EnumerateItemsOfTypes(every, -1, "", area.c_str(), file.c_str(), nullptr); }, {}},
      {"null codes", [&] { return EnumerateItemsOfTypes(nullptr, 3, "", area.c_str(), file.c_str(), nullptr); }, {}},
      {"absent codes only", [&] { return EnumerateItemsOfTypes(absent, 3, "", area.c_str(), file.c_str(), nullptr); },
       {}},
      {"all but size codes",
       [&] { return EnumerateItemsNotOfTypes(sizes, 1, "", area.c_str(), file.c_str(), nullptr); },
       {"Alteration:ALTER", "Marker:MARKER", "Model:MODEL"}},
      {"all but none", [&] { return EnumerateItemsNotOfTypes(every, 0, "", area.c_str(), file.c_str(), nullptr); }, all},
      {"all but null", [&] { return EnumerateItemsNotOfTypes(nullptr, 4, "", area.c_str(), file.c_str(), nullptr); },
       all},
      {"all but every listed type",
       [&] { return EnumerateItemsNotOfTypes(every, 4, "", area.c_str(), file.c_str(), nullptr); }, {}},
      // After selections with absent codes the shared table is unchanged.
      {"all again", [&] { return EnumerateItems("", area.c_str(), file.c_str(), nullptr); }, all},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(file);
    ASSERT_EQ(c.call(), 0) << c.what << ": " << LastErrorMessage();
    EXPECT_EQ(Listed(ReadFile(file)), c.expected) << c.what;
  }
  const ExportResult text = ListToString(area.path());
  ASSERT_EQ(text.code, 0);
  EXPECT_EQ(Listed(text.xml), all);
}

// Users that cannot be listed (not passing the name check, or longer than 40
// characters) are written empty, and a control character as a replacement.
TEST(ItemList, DocumentCarriesEveryAttributeInTableOrder) {
  TempArea area;
  PutItemHistory(area.path(), 24, "MISSES", {{0, "ann"}, {1142327100, "bob"}, {1700000000, "CAD\\user_2"}}, 42);
  PutItemHistory(area.path(), 24, "A", {{1, "-ann"}, {2, "ann.lee"}, {3, std::string(41, 'u')}});
  PutItemHistory(area.path(), 24, "B", {{1, std::string(40, 'u')}, {2, "jo\x0Cy"}, {3, "bob!"}});
  const ExportResult r = ListToString(area.path(), kListSchema.c_str());
  ASSERT_EQ(r.code, 0) << LastErrorMessage();
  EXPECT_EQ(CompareXml(R"(<ArrayOfDataItem version="1.0">
      <DataItem Name="A" DataType="SizeCode" Size="2" Created="1970-01-01T00:00:01Z" CreatedUser=""
                Modified="1970-01-01T00:00:03Z" ModifiedUser="" PreviousModified="1970-01-01T00:00:02Z"
                PreviousModifiedUser=""/>
      <DataItem Name="B" DataType="SizeCode" Size="2" Created="1970-01-01T00:00:01Z"
                CreatedUser="uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu"
                Modified="1970-01-01T00:00:03Z" ModifiedUser="" PreviousModified="1970-01-01T00:00:02Z"
                PreviousModifiedUser="jo&#xFFFD;y"/>
      <DataItem Name="MISSES" DataType="SizeCode" Size="42"
                Created="1970-01-01T00:00:00Z" CreatedUser="ann"
                Modified="2023-11-14T22:13:20Z" ModifiedUser="CAD\user_2"
                PreviousModified="2006-03-14T09:05:00Z" PreviousModifiedUser="bob"/>
    </ArrayOfDataItem>)", r.xml), "");
  const char* order[] = {"Name=", "DataType=", "Size=", "Created=", "CreatedUser=", "Modified=", "ModifiedUser=",
                         "PreviousModified=", "PreviousModifiedUser="};
  size_t at = 0;
  for (const char* attribute : order) {
    const size_t next = r.xml.find(std::string(" ") + attribute, at);
    ASSERT_NE(next, std::string::npos) << attribute << " out of order in " << r.xml;
    at = next;
  }
}

// An area with nothing but an empty catalog file, a missing area and an area
// that is a file.
TEST(ItemList, AreasWithoutItemsGiveTheBareRoot) {
  TempArea area;
  WriteFile(area.File("model.ctl"), "");
  for (const std::string& dir : {area.path(), area.File("does-not-exist"), area.File("model.ctl")}) {
    const ExportResult r = ListToString(dir, kListSchema.c_str());
    ASSERT_EQ(r.code, 0) << LastErrorMessage();
    EXPECT_EQ(CompareXml(R"(<ArrayOfDataItem version="1.0"/>)", r.xml), "") << dir;
    const std::string file = area.File("list.xml");
    ASSERT_EQ(EnumerateItems("", dir.c_str(), file.c_str(), nullptr), 0);
    const std::string saved = ReadFile(file);
    EXPECT_TRUE(saved.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << saved;
    EXPECT_EQ(CompareXml(R"(<ArrayOfDataItem version="1.0"/>)", saved), "");
  }
}

TEST(ItemList, StoragePathJoinsRootAndNameWithoutAColon) {
  TempArea area;
  std::filesystem::create_directory(area.File("sub"));
  PutItemAt(area.File("sub"), 24, "INSIDE");
  EnvScope drive("TSLN2XML_DRIVE_Q", area.c_str());
  const std::string file = area.File("list.xml");
  const struct {
    const char* root;
    std::string name;
    size_t items;
  } cases[] = {
      {"Q:", "\\sub", 1},                    // a drive path, written whole
      {"Q", "\\sub", 0},                     // "Q\sub": no colon is put in, so no drive
      {"", area.File("sub"), 1},
      {area.c_str(), "/sub", 1},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(EnumerateItems(c.root, c.name.c_str(), file.c_str(), nullptr), 0);
    EXPECT_EQ(Listed(ReadFile(file)).size(), c.items) << c.root << c.name;
  }
}

TEST(ItemList, TimesAsUtcCalendarText) {
  const struct {
    int32_t seconds;
    const char* text;
  } cases[] = {
      {0, "1970-01-01T00:00:00Z"},          {1142327100, "2006-03-14T09:05:00Z"},
      {-1, "1969-12-31T23:59:59Z"},         {951782400, "2000-02-29T00:00:00Z"},
      {INT32_MAX, "2038-01-19T03:14:07Z"},  {INT32_MIN, "1901-12-13T20:45:52Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatItemTime(c.seconds), c.text) << c.seconds;
}

TEST(ItemList, UserNameCheck) {
  const struct {
    const char* name;
    bool passes;
  } cases[] = {
      {"", true},           {"ann", true},      {"Ann Lee", true},   {"CAD\\ann", true},
      {"a-b_c9", true},     {"tab\there", true}, {"-ann", false},    {"ann!", false},
      {"a.b", false},       {"ann@cad", false}, {"jos\xE9", false},  {"-", false},
  };
  for (const auto& c : cases) EXPECT_EQ(PassesUserNameCheck(c.name), c.passes) << c.name;

  CodePageScope japanese(932);
  EXPECT_TRUE(PassesUserNameCheck("\x82\xA0\x82\xA2"));  // two hiragana, unchecked
  EXPECT_TRUE(PassesUserNameCheck("\x82\x21"));          // a double-byte pair whose trail looks like "!"
  EXPECT_FALSE(PassesUserNameCheck("\x82\xA0!"));
}

TEST(ItemList, NamesOutsideTheCodePageOrXmlStayWellFormed) {
  TempArea area;
  PutItemAt(area.path(), 24, "caf\xE9");        // a 1252 letter
  PutItemAt(area.path(), 24, "ctl\x01\x1F<&\"");  // control characters and markup
  PutItemAt(area.path(), 24, "odd\x81");         // undefined in 1252
  PutItemAt(area.path(), 24, "DOG");              // names are in order without regard to case
  PutItemAt(area.path(), 24, "Beta");
  ExportResult r = ListToString(area.path(), kListSchema.c_str());
  ASSERT_EQ(r.code, 0) << LastErrorMessage();
  EXPECT_EQ(Listed(r.xml), (std::vector<std::string>{"SizeCode:Beta", "SizeCode:caf\u00E9",
                                                      "SizeCode:ctl\uFFFD\uFFFD<&\"", "SizeCode:DOG",
                                                      "SizeCode:odd\u0081"}));

  CodePageScope japanese(932);
  PutItemAt(area.path(), 24, "zz\x82");  // a lead byte without its trail byte
  r = ListToString(area.path(), kListSchema.c_str());
  ASSERT_EQ(r.code, 0) << LastErrorMessage();
  EXPECT_EQ(Listed(r.xml).size(), 6u);
}

TEST(ItemList, ValidatesAgainstTheInstalledSchema) {
  TempArea area;
  for (int code : {1, 2, 3, 4, 6, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24})
    PutItemHistory(area.path(), code, "ITEM" + std::to_string(code), {{INT32_MIN, ""}, {INT32_MAX, "x"}}, 100000);
  const ExportResult r = ListToString(area.path(), kListSchema.c_str());
  ASSERT_EQ(r.code, 0) << LastErrorMessage();
  EXPECT_EQ(Listed(r.xml).size(), 20u);
}

// A failed call writes its message on the error stream, records it, returns
// its code and neither saves nor hands out a list.
struct Failure {
  int code;
  int secondary;
  std::string messageStart;
};

void ExpectFailure(const std::string& area, const char* schema, const Failure& f, const std::string& what) {
  const std::string file = area + "/list.xml";
  std::filesystem::remove(file);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(EnumerateItems("", area.c_str(), file.c_str(), schema), f.code) << what;
  const std::string stderrText = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(std::filesystem::exists(file)) << what;
  EXPECT_EQ(GetLastErrorXML(), f.code) << what;
  EXPECT_EQ(GetLastDbErrorXML(), f.secondary) << what;
  EXPECT_TRUE(LastErrorMessage().starts_with(f.messageStart)) << what << ": " << LastErrorMessage();
  EXPECT_TRUE(stderrText.starts_with(f.messageStart) && stderrText.ends_with("\n")) << what << ": " << stderrText;

  BSTR xml = nullptr;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(EnumerateItemsString("", area.c_str(), &xml, schema), f.code) << what;
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(xml, nullptr) << what;
}

TEST(ItemList, SchemaFilesThatCannotCheckTheList) {
  TempArea area;
  PutItemAt(area.path(), 24, "MISSES");
  WriteFile(area.File("strict.xsd"), R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
      <xs:element name="ArrayOfDataItem"><xs:complexType><xs:attribute name="version"/></xs:complexType></xs:element>
    </xs:schema>)");
  WriteFile(area.File("empty.xsd"), "");
  WriteFile(area.File("broken.xsd"), "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">");
  WriteFile(area.File("notschema.xsd"), "<ArrayOfDataItem/>");
  const std::string typeSchema = std::string(TSLN2XML_BINARY_DIR) + "/SIZECODE.XSD";
  const struct {
    const char* what;
    std::string schema;
    Failure failure;
  } cases[] = {
      {"missing file", area.File("missing.xsd"), {1, 0, "xmlFile failed to Load"}},
      {"not well-formed", area.File("broken.xsd"), {1, 0, "xmlFile failed to Load"}},
      {"empty", area.File("empty.xsd"), {2, 0, "XSD Document not Loaded."}},
      {"not a schema", area.File("notschema.xsd"), {2, 0, "XSD Document not Loaded."}},
      {"a schema without DataItem", area.File("strict.xsd"), {2, 0, "XML Validation Error:"}},
      {"a schema with a target namespace", typeSchema, {2, 0, "XML Validation Error:"}},
  };
  for (const auto& c : cases) ExpectFailure(area.path(), c.schema.c_str(), c.failure, c.what);
}

TEST(ItemList, SaveFailureAndNullTextArgument) {
  TempArea area;
  PutItemAt(area.path(), 24, "MISSES");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(EnumerateItems("", area.c_str(), area.File("no/such/dir/list.xml").c_str(), nullptr), 4);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "COM Error Saving XML.\n");
  EXPECT_EQ(GetLastDbErrorXML(), static_cast<int>(0x80070005));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(EnumerateItems("", area.c_str(), nullptr, nullptr), 4);
  ::testing::internal::GetCapturedStderr();

  // A null text argument still builds and checks the list.
  EXPECT_EQ(EnumerateItemsString("", area.c_str(), nullptr, kListSchema.c_str()), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(EnumerateItemsString("", area.c_str(), nullptr, area.File("missing.xsd").c_str()), 1);
  ::testing::internal::GetCapturedStderr();
}

// A list is written as its catalogs are read: the peak of a list of 100,000
// items grows by about its text beyond that of a list of one (a tree of it
// took ten times its text), and a table for people holds no rows at all.
TEST(ItemList, PeakGrowsWithTheTextNotBeyond) {
  if (!kPeaksAreMeaningful) GTEST_SKIP() << "peaks are not compared under AddressSanitizer";
  TempArea small, large;
  PutItemAt(small.path(), 24, "FIRST");
  PutItemAt(large.path(), 24, "FIRST");
  OpenSql(store::CatalogPath(large.path(), 24),
          "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 99999) "
          "INSERT INTO items SELECT printf('I%07d', i), x'0000', i, 'ann', i, 'bob', i, 'cy' FROM n");
  const std::string text = large.File("list.xml");
  for (const std::vector<std::string>& options : {std::vector<std::string>{"--xml", text}, std::vector<std::string>{}}) {
    SCOPED_TRACE(options.empty() ? "table" : "document");
    std::vector<std::string> smallArgs{"list", small.path()}, largeArgs{"list", large.path()};
    smallArgs.insert(smallArgs.end(), options.begin(), options.end());
    largeArgs.insert(largeArgs.end(), options.begin(), options.end());
    const long base = ToolPeakKilobytes(smallArgs), peak = ToolPeakKilobytes(largeArgs);
    ASSERT_GT(base, 0);
    ASSERT_GT(peak, 0);
    const long textKilobytes = static_cast<long>(std::filesystem::file_size(text) / 1024);
    ASSERT_GT(textKilobytes, 20'000);
    // Room for the text's growth by doubling (and a sanitizer's quarantine).
    EXPECT_LT(peak - base, options.empty() ? textKilobytes / 4 : 4 * textKilobytes) << base << " " << peak;
  }
}

}  // namespace
}  // namespace tsln2xml::test
