// Size code libraries through the exports and the real store: byte-exact
// layouts both ways, round trips and the failures of bad items and documents.

#include <gtest/gtest.h>

#include "support/library_support.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kSizeCode = 24;

std::vector<uint8_t> TwoEntryItem() {
  return ByteBuilder()
      .I16(2)
      .Text("  m10 ", 6).Text("m", 6).I16(2)
      .Text("length", 10).I32(2500)
      .Text("sleeve", 10).I32(-12345)
      .Text("LARGE1", 6).Text("XL", 6).I16(0);
}

TEST(SizeCode, ReadsStoreRecordsIntoTheDocument) {
  TempArea area;
  area.PutItem(kSizeCode, "MISSES", TwoEntryItem());
  EXPECT_EQ(ExportMatches(kSizeCode, area, "MISSES", R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" version="1" Name="MISSES">
      <Entry ActualSize="M10" OrderedSize="M">
        <Alteration Name="LENGTH" Amount="0.25"/>
        <Alteration Name="SLEEVE" Amount="-1.23449999999999993072208"/>
      </Entry>
      <Entry ActualSize="LARGE1" OrderedSize="XL"/>
    </SizeCode>)"), "");
}

TEST(SizeCode, WritesTheDocumentAsStoreRecords) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "MISSES", R"(<?xml version="1.0"?>
      <SizeCode xmlns="urn:tsln2xml:data/SizeCode" version="1" Name="IGNORED">
        <Entry ActualSize=" m10 " OrderedSize=" xl ">
          <Alteration Name="length" Amount="0.25"/>
          <Alteration Name="  a name of twenty c" Amount="-1.00009"/>
        </Entry>
        <Entry ActualSize="LARGE1" OrderedSize="XL"/>
      </SizeCode>)"), 0) << LastErrorMessage();
  const std::vector<uint8_t> expected = ByteBuilder()
      .I16(2)
      .Text("M10", 6).Text("XL", 6).I16(2)
      .Text("LENGTH", 10).I32(2500)
      .Text("A NAME O", 10).I32(-10000)  // 10 bytes counted from the field start; truncated toward zero
      .Text("LARGE1", 6).Text("XL", 6).I16(0);
  EXPECT_EQ(area.GetItem(kSizeCode, "misses"), expected);
}

TEST(SizeCode, DocumentFailuresLeaveTheStoreUntouched) {
  TempArea area;
  area.PutItem(kSizeCode, "KEEP", TwoEntryItem());
  struct Case {
    const char* what;
    const char* xml;
    int code;
    const char* messageStart;
  } cases[] = {
      {"wrong root in the right namespace", R"(<Other xmlns="urn:tsln2xml:data/SizeCode"/>)", 2, "XML Validation Error:"},
      {"another type's valid document",
       R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCodeX" Name="A"/>)", 2, "XSD Resource could not be found"},
      {"no namespace at all", R"(<SizeCode Name="A"/>)", 2, "XML namespace malformed"},
      {"size name too long", R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"><Entry ActualSize="1234567" OrderedSize="S"/></SizeCode>)",
       2, "XML Validation Error:"},
      {"not well-formed", R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A">)", 1, "Unable to load XML String."},
      {"empty text", "", 1, "Unable to load XML String."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "KEEP", c.xml), c.code) << c.what;
    EXPECT_EQ(LastErrorMessage().rfind(c.messageStart, 0), 0u) << c.what << ": " << LastErrorMessage();
    EXPECT_EQ(area.GetItem(kSizeCode, "KEEP"), TwoEntryItem()) << c.what;
  }
}

}  // namespace
}  // namespace tsln2xml::test
