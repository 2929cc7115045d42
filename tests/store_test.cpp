// The item store: transactional writes, history, names, and areas that are
// never created (damaged catalogs and many writers: store_faults_test).

#include <gtest/gtest.h>

#include <filesystem>

#include "store/catalog.h"
#include "store/item_path.h"
#include "store/item_store.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kSizeCode = 24;
const std::vector<uint8_t> kEmptyLibrary = {0, 0};

std::string SizeCodeCatalog(const TempArea& area) { return area.File("sizpt.ctl"); }

// A failure inside the conversion comes after the item was created for
// writing: nothing of it is committed, into a fresh area or over an item.
TEST(Store, FailedImportsLeaveTheAreaAsItWas) {
  TempArea area;
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\"/>"), 2);
  EXPECT_FALSE(std::filesystem::exists(SizeCodeCatalog(area)));
  std::string xml = R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A">)";
  for (int i = 0; i < 32768; ++i) xml += R"(<Entry ActualSize="1" OrderedSize="1"/>)";
  xml += "</SizeCode>";
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", xml), 1);
  EXPECT_FALSE(std::filesystem::exists(SizeCodeCatalog(area)));
  area.PutItem(kSizeCode, "A", kEmptyLibrary);
  EXPECT_EQ(ImportFromString(kSizeCode, area.path(), "A", xml), 1);
  EXPECT_EQ(area.GetItem(kSizeCode, "A"), kEmptyLibrary);
}

TEST(Store, AStorageAreaIsNeverCreated) {
  TempArea area;
  const std::string missing = area.File("no/such/area");
  EXPECT_EQ(ImportFromString(kSizeCode, missing, "A", R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"/>)"), 5);
  EXPECT_EQ(GetLastDbErrorXML(), store::kNoStorageArea);
  EXPECT_EQ(LastErrorMessage(), "Could not create file");
  EXPECT_FALSE(std::filesystem::exists(area.File("no")));
}

TEST(Store, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
  TempArea area;
  area.PutItem(kSizeCode, "Misses", kEmptyLibrary);
  area.PutItem(kSizeCode, "MISSES", std::vector<uint8_t>{1, 0});
  store::Catalog catalog;
  ASSERT_EQ(store::Catalog::OpenForReading(SizeCodeCatalog(area), catalog), store::CatalogStatus::kOk);
  std::vector<store::ItemAttributes> items;
  ASSERT_EQ(catalog.List(items), store::CatalogStatus::kOk);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, "Misses");
  EXPECT_EQ(area.GetItem(kSizeCode, "misses"), (std::vector<uint8_t>{1, 0}));
}

// The catalog's history of writes: item_enumeration_test.
TEST(Store, ImportsAreWrittenInTheNameOfTheProcessAccount) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "B", R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="B"/>)"), 0);
  store::Catalog catalog;
  store::StoredItem item;
  ASSERT_EQ(store::Catalog::OpenForReading(SizeCodeCatalog(area), catalog), store::CatalogStatus::kOk);
  ASSERT_EQ(catalog.Get("B", item), store::CatalogStatus::kOk);
  EXPECT_EQ(item.attributes.createdUser, store::CurrentUserName());
  EXPECT_EQ(item.attributes.modifiedUser, store::CurrentUserName());
  EXPECT_EQ(item.attributes.previousModified, 0);
}

}  // namespace
}  // namespace tsln2xml::test
