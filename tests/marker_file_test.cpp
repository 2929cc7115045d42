// Marker files in a storage area: the open-information block, file positions
// that start after the container head, one whole read, the container's way
// in and out, and raw get / raw put of markers on the command line.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>

#include "marker/marker_builder.h"
#include "platform/byte_order.h"
#include "platform/paths.h"
#include "store/catalog.h"
#include "store/item_lookup.h"
#include "store/marker_file.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

using namespace tsln2xml::store;

std::string Storage(const TempArea& area) { return platform::StoragePath("", area.path()); }

std::vector<uint8_t> SmallMarker() {
  marker::MarkerBuilder b;
  b.names.emplace().name = "SMALL";
  b.segments.push_back({1, 2, 3, 4});
  return b.Build().bytes;
}

TEST(MarkerFile, OpenTellReadCloseDeliverFilePositions) {
  TempArea area;
  const std::vector<uint8_t> data = SmallMarker();
  ASSERT_EQ(PutMarker(Storage(area), "Small", data), kMarkerOk);

  MarkerOpenInfo info{};
  ASSERT_EQ(OpenMarkerFile(Storage(area), "SMALL", info, 0), kMarkerOk);  // names match without case
  const int32_t handle = platform::LoadLE<int32_t>(info.data() + 28);
  EXPECT_EQ(handle, OpenInfoHandle(info));
  EXPECT_EQ(platform::LoadLE<int32_t>(info.data() + 44), static_cast<int32_t>(data.size()));

  const int32_t base = TellMarkerFile(handle);
  EXPECT_GT(base, 0);
  std::vector<uint8_t> read(data.size());
  EXPECT_EQ(ReadMarkerFile(read.data(), static_cast<int32_t>(read.size()), 1, handle), 1);
  EXPECT_EQ(TellMarkerFile(handle), base + static_cast<int32_t>(data.size()));
  EXPECT_EQ(ReadMarkerFile(read.data(), 1, 1, handle), 0) << "nothing is left after the data";

  // The directory read from the file holds file positions: present entries
  // are moved by the data start, absent ones stay -1.
  for (size_t k = 0; k < 40; ++k) {
    const int32_t stored = platform::LoadLE<int32_t>(data.data() + 4 * k);
    const int32_t inFile = platform::LoadLE<int32_t>(read.data() + 4 * k);
    EXPECT_EQ(inFile, stored == -1 ? -1 : stored + base) << "entry " << k;
  }
  EXPECT_TRUE(std::equal(data.begin() + 160, data.end(), read.begin() + 160));

  EXPECT_EQ(CloseMarkerFile(Storage(area), "SMALL", info), kMarkerOk);
  EXPECT_EQ(TellMarkerFile(handle), -1);
  EXPECT_EQ(CloseMarkerFile(Storage(area), "SMALL", info), 0) << "a handle is closed once";
}

TEST(MarkerFile, OpenFailuresAreStatusesAndLeaveTheBlockAlone) {
  TempArea area;
  ASSERT_EQ(PutMarker(Storage(area), "THERE", SmallMarker()), kMarkerOk);
  // A catalog row that is not a marker container.
  Catalog catalog;
  ASSERT_EQ(Catalog::OpenForWriting(MarkerCatalogPath(Storage(area)), catalog), CatalogStatus::kOk);
  const std::vector<uint8_t> junk(100, 0x41);
  ASSERT_EQ(catalog.Put("JUNK", junk, 0, "test"), CatalogStatus::kOk);

  const struct {
    std::string storage, name;
    int32_t status;
  } cases[] = {
      {Storage(area), "MISSING", kMarkerNotFound},
      {Storage(area) + "/no-such-dir", "THERE", kMarkerNoStorageArea},
      {Storage(area), "", kMarkerBadName},
      {Storage(area), "NAME-OF-TWENTY-ONE-C", kMarkerNotFound},
      {Storage(area), "NAME-OF-TWENTY-ONE-CH", kMarkerBadName},
      {Storage(area), std::string("TH\0ERE", 6), kMarkerBadName},
      {Storage(area), "JUNK", kMarkerDamaged},
  };
  for (const auto& c : cases) {
    MarkerOpenInfo info{};
    info[5] = 0x5A;
    EXPECT_EQ(OpenMarkerFile(c.storage, c.name, info, 0), c.status) << c.name;
    EXPECT_EQ(info[5], 0x5A);
    EXPECT_EQ(OpenInfoHandle(info), 0);
  }
  // An area without a marker catalog has no markers.
  TempArea empty;
  MarkerOpenInfo info{};
  EXPECT_EQ(OpenMarkerFile(Storage(empty), "ANY", info, 0), kMarkerNotFound);
}

TEST(MarkerFile, ContainerKeepsAnyBytesOnTheWayInAndOut) {
  const std::vector<std::vector<uint8_t>> datas = {
      {},                                      // no directory at all
      {1, 2, 3},                               // a part of one entry
      ByteBuilder().I32(-1).I32(0).I32(7),     // a part of the directory
      ByteBuilder().I32(2147483647).I32(-2147483647 - 1).I32(-2).Zeros(148).I32(-1).Text("tail", 4),
      SmallMarker(),
  };
  for (const auto& data : datas) {
    const std::vector<uint8_t> container = WrapMarkerData(data);
    EXPECT_EQ(container.size(), data.size() + kMarkerDataStart);
    std::vector<uint8_t> back;
    ASSERT_TRUE(UnwrapMarkerData(container, back));
    EXPECT_EQ(back, data);
  }
  std::vector<uint8_t> out;
  std::vector<uint8_t> container = WrapMarkerData(SmallMarker());
  container[16] ^= 1;  // the recorded data size no longer matches
  EXPECT_FALSE(UnwrapMarkerData(container, out));
  EXPECT_FALSE(UnwrapMarkerData(std::vector<uint8_t>(63, 0), out));
}

TEST(MarkerFile, ConcurrentOpensGetTheirOwnHandles) {
  TempArea area;
  ASSERT_EQ(PutMarker(Storage(area), "M", SmallMarker()), kMarkerOk);
  std::vector<int32_t> handles(8);
  std::vector<std::thread> threads;
  std::vector<MarkerOpenInfo> infos(8);
  for (size_t i = 0; i < handles.size(); ++i)
    threads.emplace_back([&, i] {
      OpenMarkerFile(Storage(area), "M", infos[i], 0);
      handles[i] = OpenInfoHandle(infos[i]);
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(std::set<int32_t>(handles.begin(), handles.end()).size(), handles.size());
  for (auto& info : infos) EXPECT_EQ(CloseMarkerFile(Storage(area), "M", info), kMarkerOk);
}

TEST(MarkerFile, RawGetAndPutExchangeThePositionIndependentForm) {
  TempArea area;
  const std::vector<uint8_t> data = SmallMarker();
  const std::string in = area.File("in.bin"), out = area.File("out.bin");
  WriteFile(in, std::string(data.begin(), data.end()));
  ASSERT_EQ(RunTool("raw put 9 " + area.path() + " SMALL " + in), 0);
  ASSERT_EQ(RunTool("raw get Marker " + area.path() + " small " + out), 0);
  EXPECT_EQ(ReadFile(out), ReadFile(in));

  // The catalog row holds file positions, not the bytes that were put.
  std::vector<uint8_t> stored;
  ASSERT_EQ(GetMarker(Storage(area), "SMALL", stored), kMarkerOk);
  EXPECT_EQ(stored, data);
  Catalog catalog;
  StoredItem row;
  ASSERT_EQ(Catalog::OpenForReading(MarkerCatalogPath(Storage(area)), catalog), CatalogStatus::kOk);
  ASSERT_EQ(catalog.Get("SMALL", row), CatalogStatus::kOk);
  EXPECT_NE(std::vector<uint8_t>(row.content.begin() + kMarkerDataStart, row.content.end()), data);

  std::string message;
  EXPECT_EQ(RunTool("raw get 9 " + area.path() + " NONE " + out, &message), 5);
  EXPECT_NE(message.find("no such item"), std::string::npos) << message;
}

}  // namespace
}  // namespace tsln2xml::test

namespace tsln2xml::test {
namespace {

TEST(MarkerFile, ItemListsGiveTheSizeOfTheMarkerData) {
  TempArea area;
  const std::vector<uint8_t> data = SmallMarker();
  ASSERT_EQ(store::PutMarker(Storage(area), "M", data), store::kMarkerOk);
  store::ItemLookup lookup;
  std::string name;
  ASSERT_EQ(lookup.LookupItemData(9, Storage(area), name, "*", 0), store::kLookupDelivered);
  EXPECT_EQ(name, "M");
  EXPECT_EQ(lookup.ItemDataSize(), static_cast<int32_t>(data.size()));
}

}  // namespace
}  // namespace tsln2xml::test
