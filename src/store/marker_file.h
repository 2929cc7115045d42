#pragma once
// Marker files: markers kept in a storage area's "marker.ctl" catalog, opened,
// positioned and read whole as a marker file.
//
// A catalog row holds a marker as a small container: a 64-byte container head
// followed by the marker data. The data begins with a 40-entry directory of
// int32 record positions; in the container those are file positions (counted
// from the start of the container), so a reader subtracts the data start that
// TellMarkerFile reports right after the open. Markers come from elsewhere and
// go back out (raw get / raw put) in their position-independent form, where
// the directory counts from the start of the data.
//
// Open files are held in a process-wide table of handles (guarded by a
// mutex), so conversions on different threads may open markers at once.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tsln2xml::store {

// Results of OpenMarkerFile, PutMarker and GetMarker (1 is success; the
// others become the secondary code of a failure). 2 to 5 mean what they mean
// for items (item_store.h).
enum MarkerFileStatus : int32_t {
  kMarkerOk = 1,
  kMarkerNotFound = 2,        // no marker of that name
  kMarkerNoStorageArea = 3,   // the storage area's directory does not exist
  kMarkerBadName = 4,         // empty, longer than 20 characters, or with a NUL
  kMarkerCatalogError = 5,    // the catalog could not be read or written
  kMarkerDamaged = 8,         // the catalog row is not a marker container
  kMarkerTooManyOpen = 9,     // every handle is in use
  kMarkerPathTooLong = 10,    // the catalog's path is longer than a catalog path may be
};

// The open-information block that OpenMarkerFile fills. Callers zero it and
// take the open file handle at offset 28 and the marker data's size in bytes
// at offset 44 (both int32, little-endian).
inline constexpr size_t kMarkerOpenInfoSize = 168;
inline constexpr size_t kOpenInfoHandleOffset = 28;
inline constexpr size_t kOpenInfoDataSizeOffset = 44;
using MarkerOpenInfo = std::array<uint8_t, kMarkerOpenInfoSize>;

int32_t OpenInfoHandle(const MarkerOpenInfo& info);
int32_t OpenInfoDataSize(const MarkerOpenInfo& info);

inline constexpr size_t kMarkerDirectoryEntries = 40;
inline constexpr size_t kMarkerMaxName = 20;

// Opens a marker of the storage area named by `storageDesignation` (a storage
// path, see platform::StoragePath); `reserved` is ignored. Returns 1 and
// fills `info`, or a failure status and leaves `info` as it was.
int32_t OpenMarkerFile(std::string_view storageDesignation, std::string_view markerName, MarkerOpenInfo& info,
                       int32_t reserved);
// The current byte position in the marker file; -1 for an unknown handle.
int32_t TellMarkerFile(int32_t handle);
// Reads up to `count` whole elements of `elementSize` bytes from the current
// position and returns how many were read.
int32_t ReadMarkerFile(void* buffer, int32_t elementSize, int32_t count, int32_t handle);
// Releases the handle named in `info`; 1, or 0 when it was not open.
int32_t CloseMarkerFile(std::string_view storageDesignation, std::string_view markerName, MarkerOpenInfo& info);

// The container of a catalog row and the position-independent marker data.
// Directory entries other than -1 are moved by the data start (with 32-bit
// wrap-around, so any bytes survive the way back; an entry of -65, which
// would point before the data, reads back as -1).
inline constexpr uint32_t kMarkerDataStart = 64;
std::vector<uint8_t> WrapMarkerData(std::span<const uint8_t> data);
// False when `container` is not a marker container.
bool UnwrapMarkerData(std::span<const uint8_t> container, std::vector<uint8_t>& data);

// The catalog file of a storage area's markers.
std::string MarkerCatalogPath(std::string_view storageDesignation);
// Stores / reads a marker in its position-independent form; PutMarker is one
// transaction, like an item's commit.
int32_t PutMarker(std::string_view storageDesignation, std::string_view markerName, std::span<const uint8_t> data);
int32_t GetMarker(std::string_view storageDesignation, std::string_view markerName, std::vector<uint8_t>& data);

}  // namespace tsln2xml::store
