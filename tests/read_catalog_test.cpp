// Reads keep the last catalog open for the next one: a catalog replaced by
// another file under the same name, or removed, is never read through the
// connection kept from before.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

std::string Library(const char* actualSize) {
  return std::string(R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"><Entry ActualSize=")") + actualSize +
         R"(" OrderedSize="M"/></SizeCode>)";
}

TEST(KeptCatalog, AReplacedOrRemovedCatalogIsReadAfresh) {
  TempArea area, other;
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "A", Library("OLD")), 0);
  ASSERT_EQ(ImportFromString(kSizeCode, other.path(), "A", Library("NEW")), 0);
  ASSERT_NE(ExportToString(kSizeCode, area.path(), "A").xml.find("OLD"), std::string::npos);
  std::filesystem::rename(other.File("sizpt.ctl"), area.File("sizpt.ctl"));
  EXPECT_NE(ExportToString(kSizeCode, area.path(), "A").xml.find("NEW"), std::string::npos);
  std::filesystem::remove(area.File("sizpt.ctl"));
  EXPECT_EQ(ExportToString(kSizeCode, area.path(), "A").code, 5);
}

}  // namespace
}  // namespace tsln2xml::test
