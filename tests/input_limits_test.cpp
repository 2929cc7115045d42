// Hostile input at the edges: documents beyond the size limit, text that is
// not text, absurd BSTR lengths, long values in validation errors, the
// schema cache under made-up namespaces, and standard input loaded as a file.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/code_page.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/document.h"
#include "xml/schema.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kSizeCode = 24;
const std::string kTool = TSLN2XML_CLI_PATH;

std::string SizeCodeDocument(std::string_view actualSize) {
  return "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"><Entry ActualSize=\"" + std::string(actualSize) +
         "\" OrderedSize=\"S\"/></SizeCode>";
}

TEST(InputLimits, ADocumentBeyondTheLimitIsRefusedBeforeItIsRead) {
  TempArea area;
  const std::string doc = area.File("huge.xml");
  WriteFile(doc, "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\">");
  std::filesystem::resize_file(doc, xml::kMaxDocumentBytes + 1);  // sparse: nothing is written
  EXPECT_EQ(ConvertXMLFileToDataItem(kSizeCode, doc.c_str(), 0, "", area.c_str(), "A"), 1);
  EXPECT_EQ(LastErrorMessage(), "The document is larger than 512 MB, the most a document may have");
  EXPECT_FALSE(area.GetItem(kSizeCode, "A"));
}

// A file is parsed as it is read, a few kilobytes at a time: a document of
// many pieces imports as its text does, and one cut short anywhere fails.
TEST(InputLimits, AFileReadInPiecesImportsWholeOrNotAtAll) {
  TempArea area;
  std::string xml = "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\">\n";
  for (int i = 0; i < 3000; ++i)
    xml += "  <Entry ActualSize=\"A" + std::to_string(i) + "\" OrderedSize=\"O" + std::to_string(i) +
           "\"><Alteration Name=\"X\" Amount=\"" + std::to_string(i) + ".5\"/></Entry>\n";
  xml += "</SizeCode>\n";
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "TEXT", xml), 0) << LastErrorMessage();
  const std::string doc = area.File("doc.xml");
  WriteFile(doc, xml);
  EXPECT_EQ(ConvertXMLFileToDataItem(kSizeCode, doc.c_str(), 0, "", area.c_str(), "FILE"), 0) << LastErrorMessage();
  EXPECT_EQ(area.GetItem(kSizeCode, "FILE"), area.GetItem(kSizeCode, "TEXT"));
  for (const size_t cut : {size_t{4000}, size_t{65536}, xml.size() / 2, xml.size() - 2}) {
    WriteFile(doc, xml.substr(0, cut));
    EXPECT_EQ(ConvertXMLFileToDataItem(kSizeCode, doc.c_str(), 0, "", area.c_str(), "CUT"), 1) << cut;
    EXPECT_EQ(LastErrorMessage(), "xmlFile failed to Load") << cut;
  }
  EXPECT_FALSE(area.GetItem(kSizeCode, "CUT"));
}

TEST(InputLimits, ABoundGoneBeyondIsNamedInTheMessage) {
  TempArea area;
  std::string deep = "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\">";
  for (int i = 0; i < 10'000; ++i) deep += "<Entry>";
  const struct {
    std::string xml;
    const char* why;
  } cases[] = {
      {deep, "elements nested deeper than 256 levels"},
      {SizeCodeDocument(std::string(10'000'001, 'v')), "an attribute value longer than 10,000,000 bytes"},
      {"<!DOCTYPE SizeCode []>" + SizeCodeDocument("4"), "a document type declaration is not accepted"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", c.xml), 1) << c.why;
    EXPECT_EQ(LastErrorMessage(), std::string("Unable to load XML String. (") + c.why + ")");
  }
  EXPECT_FALSE(area.GetItem(kSizeCode, "A"));
}

TEST(InputLimits, AStringWithALoneSurrogateIsRefusedLikeInvalidUtf8InAFile) {
  TempArea area;
  for (const char16_t* bad : {u"\xD800", u"\xDC00", u"\xD800x"}) {
    const std::u16string text = u"<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"><Entry ActualSize=\"" +
                                std::u16string(bad) + u"\" OrderedSize=\"S\"/></SizeCode>";
    EXPECT_EQ(ConvertXMLStringToDataItem(kSizeCode, text.c_str(), 0, "", area.c_str(), "A"), 1);
    EXPECT_EQ(LastErrorMessage(), "Unable to load XML String.");
  }
  WriteFile(area.File("bad.xml"), SizeCodeDocument("\xFF"));
  EXPECT_EQ(ConvertXMLFileToDataItem(kSizeCode, area.File("bad.xml").c_str(), 0, "", area.c_str(), "A"), 1);
  EXPECT_FALSE(area.GetItem(kSizeCode, "A"));
}

TEST(InputLimits, SysAllocStringLenOfAnAbsurdLengthFailsAtOnce) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringLen(u"abc", 0xFFFFFFFFu), nullptr);
  BSTR zeros = SysAllocStringLen(nullptr, 3);
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(SysStringLen(zeros), 3u);
  EXPECT_EQ(std::u16string_view(zeros, 4), std::u16string_view(u"\0\0\0\0", 4));
  SysFreeString(zeros);
}

TEST(InputLimits, AValidationErrorQuotesOnlyTheStartOfALongValue) {
  TempArea area;
  const std::string value(1'000'000, '9');  // too long for the size name
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", SizeCodeDocument(value)), 2);
  const std::string message = LastErrorMessage();
  EXPECT_LT(message.size(), 2000u) << message.substr(0, 2000);
  EXPECT_NE(message.find("ActualSize"), std::string::npos);
}

TEST(InputLimits, NamespacesLeadingToOneSchemaShareOneCachedSet) {
  const auto first = xml::SchemaSetForNamespace("urn:tsln2xml:data/SizeCode");
  for (const char* ns : {"urn:x1/SizeCode", "urn:x2/SizeCode", "http://example.com/a/b/SizeCode"})
    EXPECT_EQ(xml::SchemaSetForNamespace(ns), first) << ns;
}

// Standard input and the same bytes in a file give the same result.
TEST(InputLimits, StandardInputIsLoadedAsAFileIs) {
  TempArea area;
  const std::string good = SizeCodeDocument("4");
  std::string utf16 = "\xFF\xFE";
  for (char c : good) utf16 += std::string{c, '\0'};
  const struct {
    const char* what;
    std::string bytes;
    int exitCode;
  } cases[] = {
      {"UTF-8", good, 0},
      {"UTF-16 with a byte-order mark", utf16, 0},
      {"invalid UTF-8", SizeCodeDocument("\xFF\xFE"), 1},
  };
  for (const auto& c : cases) {
    const std::string file = area.File("doc.xml");
    WriteFile(file, c.bytes);
    const int fromFile = RunCommand(kTool + " import SizeCode " + area.path() + " FILE " + file);
    const int fromStdin = RunCommand(kTool + " import SizeCode " + area.path() + " STDIN - < " + file);
    EXPECT_EQ(fromFile, c.exitCode) << c.what;
    EXPECT_EQ(fromStdin, c.exitCode) << c.what;
    if (c.exitCode == 0) {
      EXPECT_EQ(area.GetItem(kSizeCode, "STDIN"), area.GetItem(kSizeCode, "FILE")) << c.what;
    }
  }
}

}  // namespace
}  // namespace tsln2xml::test
