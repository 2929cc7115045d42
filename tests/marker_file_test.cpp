// Marker containers in a storage area: any bytes on the way in and out, and
// raw get / raw put of markers on the command line (the marker export reads
// them through the file positions: marker_layout_test, marker_document_test).

#include <gtest/gtest.h>

#include <filesystem>

#include "marker/marker_builder.h"
#include "platform/paths.h"
#include "store/catalog.h"
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

  // Item lists give the size of the marker data, not of its container.
  EXPECT_NE(ListToString(area.path()).xml.find("Size=\"" + std::to_string(data.size()) + "\""), std::string::npos);

  std::string message;
  EXPECT_EQ(RunTool("raw get 9 " + area.path() + " NONE " + out, &message), 5);
  EXPECT_NE(message.find("no such item"), std::string::npos) << message;
}

}  // namespace
}  // namespace tsln2xml::test

