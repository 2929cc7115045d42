// Hostile input at the edges: documents beyond the size limit, the bounds of
// the parser with long values in validation errors, text that is not text,
// absurd BSTR lengths, and standard input loaded as a file.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/code_page.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/document.h"

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

// Each bound holds a document that reaches it (which the schema then refuses,
// code 2, quoting no more than the start of a long value) and refuses one
// byte or level beyond it, naming the bound.
TEST(InputLimits, BoundsAreExactAndNamedInTheMessage) {
  TempArea area;
  const std::string root = "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"";
  const auto nested = [&](int levels) {
    std::string xml = root + ">";
    for (int i = 1; i < levels; ++i) xml += "<Entry>";
    for (int i = 1; i < levels; ++i) xml += "</Entry>";
    return xml + "</SizeCode>";
  };
  const struct {
    std::string xml;
    const char* why;  // nullptr: loaded
  } cases[] = {
      {nested(256), nullptr},
      {nested(257), "elements nested deeper than 256 levels"},
      {root + "><Entry>" + std::string(12u << 20, 'x') + "</Entry></SizeCode>", nullptr},  // text has no bound
      {root + "><" + std::string(50'000, 'e') + "/></SizeCode>", nullptr},
      {root + "><" + std::string(50'001, 'e') + "/></SizeCode>", "a name longer than 50,000 bytes"},
      {root + " " + std::string(50'001, 'n') + "=\"1\"/>", "a name longer than 50,000 bytes"},
      {SizeCodeDocument(std::string(10'000'000, 'v')), nullptr},
      {SizeCodeDocument(std::string(10'000'001, 'v')), "an attribute value longer than 10,000,000 bytes"},
      {"<!DOCTYPE SizeCode []>" + SizeCodeDocument("4"), "a document type declaration is not accepted"},
  };
  for (const auto& c : cases) {
    const int code = ImportFromString(kSizeCode, area.path(), "A", c.xml);
    if (c.why) {
      EXPECT_EQ(code, 1) << c.why;
      EXPECT_EQ(LastErrorMessage(), std::string("Unable to load XML String. (") + c.why + ")");
    } else {
      EXPECT_EQ(code, 2) << c.xml.size();
      EXPECT_TRUE(LastErrorMessage().starts_with("XML Validation Error:")) << c.xml.size();
      EXPECT_LT(LastErrorMessage().size(), 2000u) << "a report quotes only the start of a long value";
    }
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

// A BSTR: its length in bytes in the four bytes before it, a terminator after.
TEST(InputLimits, SysAllocStringLenOfAnAbsurdLengthFailsAtOnce) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringLen(u"abc", 0xFFFFFFFFu), nullptr);
  BSTR zeros = SysAllocStringLen(nullptr, 3);
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(SysStringLen(zeros), 3u);
  EXPECT_EQ(std::u16string_view(zeros, 4), std::u16string_view(u"\0\0\0\0", 4));
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<uint8_t*>(zeros) - 4, 4);
  EXPECT_EQ(bytes, 6u);
  SysFreeString(zeros);
  SysFreeString(nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
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
