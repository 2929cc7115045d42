#pragma once
// Composes marker data from values: the records of every kind that the
// export converts, piece geometry in every point encoding, and raw bytes for
// the kinds it does not convert (or to replace any kind). The result is in the
// position-independent form (directory entries counted from the start of the
// data), as raw put takes it; StoreMarker keeps it as a marker of a storage
// area. Tests, fuzz seeds, the demo and the benchmark build their markers
// with it.
//
// Kinds are laid out in ascending order after the directory. A kind is present
// when it has entries (or, for the header, names and notches, a value); the
// header's counts are filled in from the entries unless `fillCounts` is off.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "marker/marker_records.h"
#include "marker/piece_geometry.h"
#include "platform/byte_order.h"

namespace tsln2xml::marker {

struct NotchTableInput {
  std::array<NotchEntry, kStandardNotches> standard{};
  std::vector<NotchEntry> extended;
  std::optional<int32_t> extendedCount;  // the stored count; the number of entries by default
};

struct AnnotationOrderInput {
  int8_t format = 1;
  int8_t start = 0, end = 0;  // fixed-width formats
  std::string text{};         // the constant format (10)
};

struct AnnotationEntryInput {
  std::string category{};
  int8_t symbolNumber = 0, symbolHeight = 0;
  std::vector<AnnotationOrderInput> orders{};
};

struct PieceInput {
  PieceHead head;  // counts and geometry length are filled in unless fillCounts is off
  std::vector<PointInput> perimeter{};
  std::vector<LineInput> lines{};
  std::optional<std::vector<uint8_t>> geometry{};  // this block instead of the encoded points
};

struct OrderModelInput {
  OrderModel model;  // option and size entry counts are filled in unless fillCounts is off
  std::vector<std::string> options{};
  std::vector<SizeEntry> entries{};
};

struct DynamicAlterationInput {
  std::string name{};
  std::vector<DynamicAlterationRule> rules{};
};

// Marker data in the position-independent form.
struct MarkerData {
  std::vector<uint8_t> bytes;

  // The directory entry of a kind (-1 when absent) and its replacement.
  int32_t Position(int kind) const;
  void SetPosition(int kind, int32_t position);
  // Overwrites a little-endian value inside a record of a present kind.
  template <class T>
  void Patch(int kind, size_t offset, T value) {
    platform::StoreLE<T>(bytes.data() + static_cast<size_t>(Position(kind)) + offset, value);
  }
};

class MarkerBuilder {
 public:
  std::optional<MarkerHeader> header = MarkerHeader{};
  bool fillCounts = true;
  std::optional<MarkerNames> names;
  std::optional<NotchTableInput> notches;
  std::vector<LayLimit> layLimits;
  std::vector<AnnotationEntryInput> annotations;
  std::vector<BlockBufferRule> blockBuffers;
  std::vector<Segment> segments;
  std::vector<MatchingRule> matchingRules;
  std::vector<SpecialPieceNumber> specialPieceNumbers;
  std::vector<std::string> modelNames;
  std::vector<Bundle> bundles;
  std::vector<PieceInput> pieces;
  std::vector<OrderModelInput> orderModels;
  std::vector<Cutdown> cutdowns;
  std::vector<DynamicAlterationInput> dynamicAlterations;
  std::vector<Cartoon> cartoons;
  std::vector<PointMapEntry> pointMap;
  std::vector<LayLimitExtension> layLimitExtensions;
  // Kinds given as bytes: the kinds the export does not convert, or any kind
  // replaced by exactly these bytes.
  std::map<int, std::vector<uint8_t>> rawKinds;

  // Throws std::invalid_argument when the values cannot be stored (more than
  // 32767 entries, a geometry block over 65535 bytes, a rule position past
  // 32767, points that do not fit their encoding).
  MarkerData Build() const;
};

// Stores marker data as the marker `name` of the storage area in directory
// `areaDirectory`; returns the store's status (1 on success).
int32_t StoreMarker(const std::string& areaDirectory, std::string_view name, const MarkerData& data);

// A marker of a few pieces with every converted kind and one that is not:
// a fixture for tests (the demo's marker is demo/shirt_marker.h).
MarkerBuilder DemoMarker();

}  // namespace tsln2xml::marker
