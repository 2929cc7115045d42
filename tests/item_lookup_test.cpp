// The item lookup over a storage area's catalogs: the continue-flag protocol,
// the attribute values, and the types and areas that deliver nothing
// (catalogs that cannot be read: item_enumeration_test).

#include <gtest/gtest.h>

#include "store/item_lookup.h"
#include "store/item_store.h"
#include "support/catalog_fixture.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

using store::ItemLookup;
using store::kLookupDelivered;
using store::kLookupNoMore;

constexpr int kSizeCode = 24;

// Every item name that a lookup of `code` delivers, in order.
std::vector<std::string> Names(const std::string& area, int code, std::string_view pattern = "*") {
  ItemLookup lookup;
  std::vector<std::string> names;
  std::string name;
  for (int flag = 0; lookup.LookupItemData(code, area, name, pattern, flag) == kLookupDelivered; flag = 1)
    names.push_back(name);
  return names;
}

TEST(ItemLookup, DeliversEveryItemOnceInCatalogOrderWithItsAttributes) {
  TempArea area;
  PutItemHistory(area.path(), kSizeCode, "gamma", {{100, "ann"}}, 7);
  PutItemHistory(area.path(), kSizeCode, "Beta", {{10, "bob"}, {20, "cy"}, {30, "dee"}}, 3);
  PutItemHistory(area.path(), kSizeCode, "alpha", {{1, "eve"}}, 0);

  ItemLookup lookup;
  std::string name;
  ASSERT_EQ(lookup.LookupItemData(kSizeCode, area.path(), name, "*", 0), kLookupDelivered);
  EXPECT_EQ(name, "alpha");
  EXPECT_EQ(lookup.ItemDataSize(), 0);
  ASSERT_EQ(lookup.LookupItemData(kSizeCode, area.path(), name, "*", 1), kLookupDelivered);
  EXPECT_EQ(name, "Beta");
  EXPECT_EQ(lookup.ItemDataSize(), 3);
  EXPECT_EQ(lookup.ItemCreationTime(), 10);
  EXPECT_STREQ(lookup.ItemCreatedUser(), "bob");
  EXPECT_EQ(lookup.ItemLastModTime(), 30);
  EXPECT_STREQ(lookup.ItemLastModUser(), "dee");
  EXPECT_EQ(lookup.ItemPrevModTime(), 20);
  EXPECT_STREQ(lookup.ItemPrevModUser(), "cy");
  ASSERT_EQ(lookup.LookupItemData(kSizeCode, area.path(), name, "*", 1), kLookupDelivered);
  EXPECT_EQ(name, "gamma");
  EXPECT_EQ(lookup.ItemPrevModTime(), 0);
  EXPECT_STREQ(lookup.ItemPrevModUser(), "");
  // The end stays the end; a new start begins again.
  EXPECT_EQ(lookup.LookupItemData(kSizeCode, area.path(), name, "*", 1), kLookupNoMore);
  EXPECT_EQ(lookup.LookupItemData(kSizeCode, area.path(), name, "*", 1), kLookupNoMore);
  ASSERT_EQ(lookup.LookupItemData(kSizeCode, area.path(), name, "*", 0), kLookupDelivered);
  EXPECT_EQ(name, "alpha");
}

TEST(ItemLookup, TypesAndAreasWithoutItemsDeliverNothing) {
  TempArea area;
  PutItemAt(area.path(), kSizeCode, "ONE");
  PutItemAt(area.path(), 9, "MARKER1");  // markers are kept in marker.ctl
  WriteFile(area.File("model.ctl"), "");  // an empty file is an empty catalog
  const struct {
    const char* what;
    std::string area;
    int code;
  } cases[] = {
      {"no such code", area.path(), 10},
      {"code outside the table", area.path(), 99},
      {"negative code", area.path(), -24},
      {"type without catalog", area.path(), 5},
      {"catalog not created yet", area.path(), 1},
      {"empty catalog file", area.path(), 12},
      {"area does not exist", area.File("missing"), kSizeCode},
      {"area is a file", area.File("sizpt.ctl"), kSizeCode},
      {"continue without a start", area.path(), -1},
  };
  for (const auto& c : cases) {
    ItemLookup lookup;
    std::string name = "untouched";
    EXPECT_EQ(lookup.LookupItemData(c.code, c.area, name, "*", c.code == -1 ? 1 : 0), kLookupNoMore) << c.what;
    EXPECT_EQ(name, "untouched") << c.what;
  }
  EXPECT_EQ(Names(area.path(), 9), std::vector<std::string>{"MARKER1"});
}

}  // namespace
}  // namespace tsln2xml::test
