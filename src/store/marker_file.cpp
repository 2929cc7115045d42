#include "store/marker_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <mutex>

#include "core/data_types.h"
#include "platform/byte_order.h"
#include "platform/host_files.h"
#include "platform/paths.h"
#include "store/catalog.h"
#include "store/item_path.h"
#include "store/item_store.h"

namespace tsln2xml::store {
namespace {

// Container head: magic, version, data start, data size; the rest is zero.
constexpr char kMagic[8] = {'T', 'S', 'L', 'N', 'M', 'R', 'K', 'R'};
constexpr uint32_t kContainerVersion = 1;
constexpr size_t kVersionOffset = 8;
constexpr size_t kDataStartOffset = 12;
constexpr size_t kDataSizeOffset = 16;

// Our own words of the open-information block besides the two that callers
// use: a tag, the data start and the container size.
constexpr uint32_t kOpenInfoTag = 0x494F4B4D;  // "MKOI"
constexpr size_t kOpenInfoDataStartOffset = 32;
constexpr size_t kOpenInfoContainerSizeOffset = 36;

struct OpenMarker {
  std::vector<uint8_t> container;
  size_t position = 0;
};

struct HandleTable {
  std::mutex mutex;
  std::map<int32_t, OpenMarker> open;
  int32_t next = 1;
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

bool ValidName(std::string_view name) {
  return !name.empty() && name.size() <= kMarkerMaxName && name.find('\0') == std::string_view::npos;
}

// Moves every present directory entry by `delta` (32-bit wrap-around).
void MoveDirectory(std::span<uint8_t> data, uint32_t delta) {
  const size_t entries = std::min(kMarkerDirectoryEntries, data.size() / 4);
  for (size_t k = 0; k < entries; ++k) {
    uint8_t* p = data.data() + 4 * k;
    const int32_t entry = platform::LoadLE<int32_t>(p);
    if (entry == -1) continue;
    platform::StoreLE<uint32_t>(p, static_cast<uint32_t>(entry) + delta);
  }
}

int32_t FromCatalog(CatalogStatus status) {
  switch (status) {
    case CatalogStatus::kOk: return kMarkerOk;
    case CatalogStatus::kMissing:
    case CatalogStatus::kNotFound: return kMarkerNotFound;
    case CatalogStatus::kError: return kMarkerCatalogError;
    case CatalogStatus::kTooLong: return kMarkerPathTooLong;
  }
  return kMarkerCatalogError;
}

// The detail of a failure's message is found as for items.
static_assert(int{kMarkerCatalogError} == int{kCatalogError} && int{kMarkerPathTooLong} == int{kPathTooLong});

bool PathFits(std::string_view storageDesignation) {
  return CatalogPathFits(platform::HostPath(MarkerCatalogPath(storageDesignation)));
}

bool AreaExists(std::string_view storageDesignation) {
  std::error_code ec;
  return std::filesystem::is_directory(
      platform::FsPath(platform::HostPath(ItemDirectory(storageDesignation, kMarkerDataType))), ec);
}

// Reads the container of a marker from its catalog.
int32_t ReadContainer(std::string_view storageDesignation, std::string_view markerName, std::vector<uint8_t>& out) {
  if (!ValidName(markerName)) return kMarkerBadName;
  if (!PathFits(storageDesignation)) return kMarkerPathTooLong;
  if (!AreaExists(storageDesignation)) return kMarkerNoStorageArea;
  Catalog catalog;
  CatalogStatus status = Catalog::OpenForReading(MarkerCatalogPath(storageDesignation), catalog);
  StoredItem item;
  if (status == CatalogStatus::kOk) status = catalog.Get(markerName, item);
  if (status != CatalogStatus::kOk) return FromCatalog(status);
  out = std::move(item.content);
  return kMarkerOk;
}

// Checks a container's head and gives its data start and size.
bool ReadContainerHead(std::span<const uint8_t> container, uint32_t& start, uint32_t& size) {
  if (container.size() < kMarkerDataStart || std::memcmp(container.data(), kMagic, sizeof kMagic) != 0) return false;
  if (platform::LoadLE<uint32_t>(container.data() + kVersionOffset) != kContainerVersion) return false;
  start = platform::LoadLE<uint32_t>(container.data() + kDataStartOffset);
  size = platform::LoadLE<uint32_t>(container.data() + kDataSizeOffset);
  return start >= kMarkerDataStart && start <= container.size() && size == container.size() - start;
}

}  // namespace

int32_t OpenInfoHandle(const MarkerOpenInfo& info) {
  return platform::LoadLE<int32_t>(info.data() + kOpenInfoHandleOffset);
}

int32_t OpenInfoDataSize(const MarkerOpenInfo& info) {
  return platform::LoadLE<int32_t>(info.data() + kOpenInfoDataSizeOffset);
}

std::string MarkerCatalogPath(std::string_view storageDesignation) {
  return ItemDirectory(storageDesignation, kMarkerDataType) + CatalogFileName(kMarkerDataType);
}

std::vector<uint8_t> WrapMarkerData(std::span<const uint8_t> data) {
  std::vector<uint8_t> container(kMarkerDataStart + data.size(), 0);
  std::memcpy(container.data(), kMagic, sizeof kMagic);
  platform::StoreLE<uint32_t>(container.data() + kVersionOffset, kContainerVersion);
  platform::StoreLE<uint32_t>(container.data() + kDataStartOffset, kMarkerDataStart);
  platform::StoreLE<uint32_t>(container.data() + kDataSizeOffset, static_cast<uint32_t>(data.size()));
  if (!data.empty()) std::memcpy(container.data() + kMarkerDataStart, data.data(), data.size());
  MoveDirectory(std::span<uint8_t>(container).subspan(kMarkerDataStart), kMarkerDataStart);
  return container;
}

bool UnwrapMarkerData(std::span<const uint8_t> container, std::vector<uint8_t>& data) {
  uint32_t start = 0, size = 0;
  if (!ReadContainerHead(container, start, size)) return false;
  data.assign(container.begin() + start, container.end());
  MoveDirectory(data, 0u - start);
  return true;
}

int32_t OpenMarkerFile(std::string_view storageDesignation, std::string_view markerName, MarkerOpenInfo& info,
                       int32_t /*reserved*/) {
  OpenMarker marker;
  const int32_t status = ReadContainer(storageDesignation, markerName, marker.container);
  if (status != kMarkerOk) return status;
  const auto& c = marker.container;
  uint32_t start = 0, size = 0;
  if (c.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) || !ReadContainerHead(c, start, size))
    return kMarkerDamaged;
  marker.position = start;

  HandleTable& table = Handles();
  std::lock_guard lock(table.mutex);
  if (table.open.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max() - 1)) return kMarkerTooManyOpen;
  int32_t handle = table.next;
  while (table.open.count(handle)) handle = handle == std::numeric_limits<int32_t>::max() ? 1 : handle + 1;
  table.next = handle == std::numeric_limits<int32_t>::max() ? 1 : handle + 1;
  table.open.emplace(handle, std::move(marker));

  info.fill(0);
  platform::StoreLE<uint32_t>(info.data(), kOpenInfoTag);
  platform::StoreLE<int32_t>(info.data() + kOpenInfoHandleOffset, handle);
  platform::StoreLE<uint32_t>(info.data() + kOpenInfoDataStartOffset, start);
  platform::StoreLE<uint32_t>(info.data() + kOpenInfoContainerSizeOffset, static_cast<uint32_t>(c.size()));
  platform::StoreLE<uint32_t>(info.data() + kOpenInfoDataSizeOffset, size);
  return kMarkerOk;
}

int32_t TellMarkerFile(int32_t handle) {
  HandleTable& table = Handles();
  std::lock_guard lock(table.mutex);
  auto it = table.open.find(handle);
  return it == table.open.end() ? -1 : static_cast<int32_t>(it->second.position);
}

int32_t ReadMarkerFile(void* buffer, int32_t elementSize, int32_t count, int32_t handle) {
  if (!buffer || elementSize <= 0 || count <= 0) return 0;
  HandleTable& table = Handles();
  std::lock_guard lock(table.mutex);
  auto it = table.open.find(handle);
  if (it == table.open.end()) return 0;
  OpenMarker& marker = it->second;
  const size_t available = marker.container.size() - std::min(marker.position, marker.container.size());
  const size_t whole = std::min(static_cast<size_t>(count), available / static_cast<size_t>(elementSize));
  const size_t bytes = whole * static_cast<size_t>(elementSize);
  if (bytes) std::memcpy(buffer, marker.container.data() + marker.position, bytes);
  marker.position += bytes;
  return static_cast<int32_t>(whole);
}

int32_t CloseMarkerFile(std::string_view, std::string_view, MarkerOpenInfo& info) {
  HandleTable& table = Handles();
  std::lock_guard lock(table.mutex);
  return table.open.erase(OpenInfoHandle(info)) ? kMarkerOk : 0;
}

int32_t PutMarker(std::string_view storageDesignation, std::string_view markerName, std::span<const uint8_t> data) {
  if (!ValidName(markerName)) return kMarkerBadName;
  if (!PathFits(storageDesignation)) return kMarkerPathTooLong;
  if (!AreaExists(storageDesignation)) return kMarkerNoStorageArea;
  if (data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) - kMarkerDataStart)
    return kMarkerCatalogError;
  const CatalogStatus status = StoreItem(MarkerCatalogPath(storageDesignation), markerName, WrapMarkerData(data),
                                         CurrentTime(), CurrentUserName());
  if (status == CatalogStatus::kMissing) return kMarkerNoStorageArea;
  return FromCatalog(status);
}

int32_t GetMarker(std::string_view storageDesignation, std::string_view markerName, std::vector<uint8_t>& data) {
  std::vector<uint8_t> container;
  const int32_t status = ReadContainer(storageDesignation, markerName, container);
  if (status != kMarkerOk) return status;
  return UnwrapMarkerData(container, data) ? kMarkerOk : kMarkerDamaged;
}

}  // namespace tsln2xml::store
