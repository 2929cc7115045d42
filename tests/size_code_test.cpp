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

}  // namespace
}  // namespace tsln2xml::test
