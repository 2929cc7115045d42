#include "marker/marker_builder.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "marker/marker_fields.h"
#include "platform/paths.h"
#include "store/marker_file.h"

namespace tsln2xml::marker {
namespace {

int16_t Count16(size_t n, const char* what) {
  if (n > static_cast<size_t>(std::numeric_limits<int16_t>::max()))
    throw std::invalid_argument(std::string("too many ") + what + " for a marker");
  return static_cast<int16_t>(n);
}

// Appends a zeroed record of `size` bytes and encodes `record` into it with
// `layout`.
template <class Record, class Layout>
void AppendRecord(std::vector<uint8_t>& out, Record record, Layout layout, size_t size = Record::kSize) {
  const size_t at = out.size();
  out.resize(at + size, 0);
  FieldEncoder encoder(std::span<uint8_t>(out).subspan(at, size));
  layout(encoder, record);
}

template <class Record, class Layout>
std::vector<uint8_t> Records(const std::vector<Record>& records, Layout layout) {
  std::vector<uint8_t> out;
  for (const auto& r : records) AppendRecord(out, r, layout);
  return out;
}

void AppendText(std::vector<uint8_t>& out, const std::string& text, size_t width) {
  const size_t at = out.size();
  out.resize(at + width, 0);
  std::copy_n(text.begin(), std::min(width, text.size()), out.begin() + static_cast<std::ptrdiff_t>(at));
}

template <class T>
void AppendLE(std::vector<uint8_t>& out, T value) {
  const size_t at = out.size();
  out.resize(at + sizeof(T));
  platform::StoreLE<T>(out.data() + at, value);
}

bool IsFixedWidthFormat(int code) { return (code >= 1 && code <= 7) || code == 9 || code == 18 || code == 19; }

}  // namespace

int32_t MarkerData::Position(int kind) const {
  return platform::LoadLE<int32_t>(bytes.data() + 4 * static_cast<size_t>(kind));
}

void MarkerData::SetPosition(int kind, int32_t position) {
  platform::StoreLE<int32_t>(bytes.data() + 4 * static_cast<size_t>(kind), position);
}

MarkerData MarkerBuilder::Build() const {
  MarkerHeader h = header.value_or(MarkerHeader{});
  std::vector<std::vector<uint8_t>> kinds(40);
  std::vector<bool> present(40, false);
  auto set = [&](int kind, std::vector<uint8_t> bytes) {
    kinds[static_cast<size_t>(kind)] = std::move(bytes);
    present[static_cast<size_t>(kind)] = true;
  };

  if (fillCounts) {
    h.layLimitCount = Count16(std::max(layLimits.size(), layLimitExtensions.size()), "lay limits");
    h.annotationCount = Count16(annotations.size(), "annotation entries");
    h.blockBufferCount = Count16(blockBuffers.size(), "block buffer rules");
    h.segmentCount = Count16(segments.size(), "segments");
    h.matchingRuleCount = Count16(matchingRules.size(), "matching rules");
    h.specialPieceNumberCount = Count16(specialPieceNumbers.size(), "special piece numbers");
    h.modelCount = Count16(std::max(modelNames.size(), orderModels.size()), "models");
    h.bundleCount = Count16(bundles.size(), "bundles");
    h.pieceCount = Count16(pieces.size(), "pieces");
    h.cutdownCount = Count16(cutdowns.size(), "cutdowns");
    h.dynamicAlterationCount = Count16(dynamicAlterations.size(), "dynamic alterations");
    h.cartoonCount = Count16(cartoons.size(), "cartoons");
    h.pointMapCount = Count16(pointMap.size(), "point map entries");
  }

  if (header) {
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, h, [](auto& io, auto& r) { HeaderLayout(io, r); });
    set(kHeaderKind, std::move(bytes));
  }
  if (names) {
    std::vector<uint8_t> bytes;
    AppendRecord(bytes, *names, [](auto& io, auto& r) { NamesLayout(io, r); });
    set(kNamesKind, std::move(bytes));
  }
  if (notches) {
    std::vector<uint8_t> bytes;
    for (const auto& e : notches->standard)
      AppendRecord(bytes, e, [](auto& io, auto& r) { StandardNotchLayout(io, r); }, kStandardNotchSize);
    AppendLE<int32_t>(bytes, notches->extendedCount.value_or(static_cast<int32_t>(notches->extended.size())));
    for (const auto& e : notches->extended)
      AppendRecord(bytes, e, [](auto& io, auto& r) { ExtendedNotchLayout(io, r); }, kExtendedNotchSize);
    set(kNotchKind, std::move(bytes));
  }
  if (!layLimits.empty()) set(kLayLimitKind, Records(layLimits, [](auto& io, auto& r) { LayLimitLayout(io, r); }));
  if (!annotations.empty()) {
    std::vector<uint8_t> bytes;
    for (const auto& a : annotations) {
      AnnotationHead head{a.category, a.symbolNumber, a.symbolHeight, Count16(a.orders.size(), "annotation orders")};
      AppendRecord(bytes, head, [](auto& io, auto& r) { AnnotationHeadLayout(io, r); });
      for (const auto& o : a.orders) {
        AppendLE<int8_t>(bytes, o.format);
        if (IsFixedWidthFormat(o.format)) {
          AppendLE<int8_t>(bytes, o.start);
          AppendLE<int8_t>(bytes, o.end);
        } else if (o.format == 10) {
          if (o.text.size() > 0xFFFF) throw std::invalid_argument("annotation text too long");
          AppendLE<uint16_t>(bytes, static_cast<uint16_t>(o.text.size()));
          bytes.insert(bytes.end(), o.text.begin(), o.text.end());
        }
      }
    }
    set(kAnnotationKind, std::move(bytes));
  }
  if (!blockBuffers.empty())
    set(kBlockBufferKind, Records(blockBuffers, [](auto& io, auto& r) { BlockBufferLayout(io, r); }));
  if (!segments.empty()) set(kSegmentKind, Records(segments, [](auto& io, auto& r) { SegmentLayout(io, r); }));
  if (!matchingRules.empty())
    set(kMatchingKind, Records(matchingRules, [](auto& io, auto& r) { MatchingRuleLayout(io, r); }));
  if (!specialPieceNumbers.empty())
    set(kSpecialPieceNumberKind,
        Records(specialPieceNumbers, [](auto& io, auto& r) { SpecialPieceNumberLayout(io, r); }));
  if (!modelNames.empty()) {
    std::vector<uint8_t> bytes;
    for (const auto& name : modelNames) AppendText(bytes, name, kModelNameSize);
    set(kModelNameKind, std::move(bytes));
  }
  if (!bundles.empty()) set(kBundleKind, Records(bundles, [](auto& io, auto& r) { BundleLayout(io, r); }));
  if (!pieces.empty()) {
    std::vector<uint8_t> table, data;
    for (const auto& piece : pieces) {
      AppendLE<int32_t>(table, static_cast<int32_t>(data.size()));
      const std::vector<uint8_t> block =
          piece.geometry ? *piece.geometry : EncodePieceGeometry(piece.perimeter, piece.lines, h.expandedNotchTable);
      PieceHead head = piece.head;
      if (fillCounts) {
        head.perimeterCount = Count16(piece.perimeter.size(), "perimeter points");
        head.lineCount = Count16(piece.lines.size(), "internal lines");
        if (block.size() > 0xFFFF) throw std::invalid_argument("piece geometry longer than 65535 bytes");
        head.geometryLength = static_cast<uint16_t>(block.size());
      }
      AppendRecord(data, head, [](auto& io, auto& r) { PieceHeadLayout(io, r); });
      data.insert(data.end(), block.begin(), block.end());
    }
    set(kPieceTableKind, std::move(table));
    set(kPieceKind, std::move(data));
  }
  if (!orderModels.empty()) {
    std::vector<uint8_t> bytes;
    for (const auto& m : orderModels) {
      OrderModel model = m.model;
      if (fillCounts) {
        model.optionCount = Count16(m.options.size(), "order model options");
        model.sizeEntryCount = Count16(m.entries.size(), "order model entries");
      }
      AppendRecord(bytes, model, [](auto& io, auto& r) { OrderModelLayout(io, r); });
      for (const auto& option : m.options) AppendText(bytes, option, kOrderOptionSize);
      for (const auto& entry : m.entries) AppendRecord(bytes, entry, [](auto& io, auto& r) { SizeEntryLayout(io, r); });
    }
    set(kOrderModelKind, std::move(bytes));
  }
  if (!cutdowns.empty()) set(kCutdownKind, Records(cutdowns, [](auto& io, auto& r) { CutdownLayout(io, r); }));
  if (!dynamicAlterations.empty()) {
    std::vector<uint8_t> heads, rules;
    for (const auto& d : dynamicAlterations) {
      if (rules.size() > static_cast<size_t>(std::numeric_limits<int16_t>::max()))
        throw std::invalid_argument("dynamic alteration rules past the reach of a 16-bit position");
      DynamicAlterationHead head{Count16(d.rules.size(), "dynamic alteration rules"), static_cast<int16_t>(rules.size()),
                                 d.name};
      AppendRecord(heads, head, [](auto& io, auto& r) { DynamicAlterationHeadLayout(io, r); });
      for (const auto& rule : d.rules)
        AppendRecord(rules, rule, [](auto& io, auto& r) { DynamicAlterationRuleLayout(io, r); });
    }
    set(kDynamicAlterationKind, std::move(heads));
    set(kDynamicRuleKind, std::move(rules));
  }
  if (!cartoons.empty()) set(kCartoonKind, Records(cartoons, [](auto& io, auto& r) { CartoonLayout(io, r); }));
  if (!pointMap.empty()) set(kPointMapKind, Records(pointMap, [](auto& io, auto& r) { PointMapLayout(io, r); }));
  if (!layLimitExtensions.empty())
    set(kLayLimitExtensionKind,
        Records(layLimitExtensions, [](auto& io, auto& r) { LayLimitExtensionLayout(io, r); }));
  for (const auto& [kind, bytes] : rawKinds) {
    if (kind <= kDirectoryKind || kind >= 40) throw std::invalid_argument("no such marker record kind");
    set(kind, bytes);
  }

  MarkerData data;
  data.bytes.assign(kDirectorySize, 0);
  for (size_t k = 0; k < 40; ++k) platform::StoreLE<int32_t>(data.bytes.data() + 4 * k, -1);
  data.SetPosition(kDirectoryKind, 0);
  for (int kind = 1; kind < 40; ++kind) {
    if (!present[static_cast<size_t>(kind)]) continue;
    if (data.bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
      throw std::invalid_argument("marker data too large");
    data.SetPosition(kind, static_cast<int32_t>(data.bytes.size()));
    const auto& bytes = kinds[static_cast<size_t>(kind)];
    data.bytes.insert(data.bytes.end(), bytes.begin(), bytes.end());
  }
  return data;
}

int32_t StoreMarker(const std::string& areaDirectory, std::string_view name, const MarkerData& data) {
  return store::PutMarker(platform::StoragePath("", areaDirectory), name, data.bytes);
}

MarkerBuilder DemoMarker() {
  MarkerBuilder b;
  MarkerHeader& h = *b.header;
  h.status = 1;
  h.width = 60;
  h.length = 41.25;
  h.currentLength = 41.25;
  h.stripeRepeat = {2.5, 0, 0};
  h.totalArea = 1980.5;
  h.placedArea = 1650.25;
  h.targetEfficiency = 80;
  h.utilization = 83.32;
  h.totalPerimeter = 402.75;
  h.placedPerimeter = 402.75;
  h.placedPieces = 3;
  h.totalNotches = 4;
  h.placedNotches = 4;
  h.maximumPoints = 6;
  h.spread = 1;
  h.seamAllowance = 6250;
  h.totalNumberOfPoints = 14;
  h.cutVersion = 1;
  h.plotVersion = 1;
  h.editVersion = 2;
  h.expandedNotchTable = 1;
  h.numberSpliceMarks = 1;  // kind 8 is kept as it came, not converted

  MarkerNames& n = b.names.emplace();
  n.version = "7.2";
  n.name = "DEMO";
  n.description = "Shirt, sizes M and L";
  n.orderId = "ORD-2041";
  n.orderNumber = "2041";
  n.layLimitName = "STANDARD";
  n.annotationName = "CUTTING";
  n.blockBufferName = "SHIRTS";
  n.matchingName = "STRIPES";
  n.notchName = "VNOTCH";
  n.layRuleType = 1;
  n.layRuleItemName = "SHIRT-RULE";

  NotchTableInput& notches = b.notches.emplace();
  for (int32_t i = 0; i < 5; ++i) notches.standard[static_cast<size_t>(i)] = {0, 1000 + 250 * i, 500, 1250};
  notches.extended.push_back({3, 800, 400, 1500});

  b.layLimits.push_back({0, 0, 0x8010});
  b.layLimits.push_back({5, 1.5, 0x1020});
  b.layLimitExtensions.push_back({2, 2});
  b.layLimitExtensions.push_back({1.5, 0.75});

  b.annotations.push_back({"LABEL", 2, 12,
                           {{.format = 6, .start = 1, .end = 10}, {.format = 10, .text = "Size & fit"},
                            {.format = 15}, {.format = 11}}});
  b.blockBuffers.push_back({0, {0.25, 0.25, 0, 0, 0}, {}, {}, {}, 0, 0, -1});
  b.blockBuffers.push_back({1, {0, 0, 0.5, 0.5, 0}, {0, 0, 0, 0, 2.5}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 2}, 1, 2, 0});
  b.segments.push_back({1, 2, 0, 1});
  b.matchingRules.push_back({1, 3, 0, 2, 0, 1, 0, 2, 0.5, 0, 0, 1, 0});
  b.specialPieceNumbers.push_back({"FRONT", "1", 0, 0, 0, 0, 0, 0, 1, 1});
  b.specialPieceNumbers.push_back({"BACK", "2", 0, 1, 1, 0, 6, 90, 0, 0});
  b.modelNames = {"SHIRT"};
  b.bundles.push_back({"M", 0, 2, 0});
  b.bundles.push_back({"L", 0, 1, 2});

  // A front panel: a rectangle with a notch and a line of drill marks.
  PieceInput front;
  front.head = {"FRONT", "Front panel", 0, 0, 0, 0, 1, 4, 300, kNumericSize, 38, "", 0};
  front.perimeter = {{.x = 0, .y = 0, .id = 1},
                     {.x = 200000, .y = 0, .id = 2},
                     {.x = 200000, .y = 150000, .type = 1, .notchType = 2, .id = 3, .extendedNotchType = 7},
                     {.x = 0, .y = 150000, .type = 3, .option = 13, .id = 4}};
  front.lines.push_back({6, 1, {{.x = 50000, .y = 50000, .type = 6}, {.x = 150000, .y = 50000, .type = 6}}});
  b.pieces.push_back(front);
  // A back panel in alpha sizes, with deltas and every coordinate mode.
  PieceInput back;
  back.head = {"BACK", "Back panel", 1, 0, 0, 0, 0, 3, 250.5, 1, 0, "M", 0};
  back.perimeter = {{.x = 0, .y = 0, .id = 5, .mode = CoordinateMode::kAbsolute},
                    {.x = 1000, .y = 500, .type = 1, .deltas = std::pair{25, -25}, .mode = CoordinateMode::kOffset12},
                    {.x = 30000, .y = 500, .mode = CoordinateMode::kOffset16},
                    {.x = 300000, .y = 200000, .mode = CoordinateMode::kOffset20}};
  b.pieces.push_back(back);
  // A pocket: a triangle without internal lines, in long alpha sizes.
  PieceInput pocket;
  pocket.head = {"POCKET", "Patch pocket", 0, 0, 0, 0, 0, 3, 24.75, 2, 0, "LONGSIZE", 0};
  pocket.perimeter = {{.x = 0, .y = 0}, {.x = 60000, .y = 0}, {.x = 30000, .y = 70000, .type = 2}};
  b.pieces.push_back(pocket);

  OrderModelInput model;
  model.model = {"SHIRT", "NONE", "", "MENS", 0, 0, 0, "COTTON", 0};
  model.options = {"POCKET"};
  model.entries = {{"M", 2, "", "", "M", 0}, {"L", 1, "", "LEFT", "M", 1}};
  b.orderModels.push_back(model);

  b.cutdowns.push_back({2, {0, 1, -1, -1}, {0, 1, -1, -1}});
  b.dynamicAlterations.push_back({"SLEEVE", {{0, 1, 2, 3, 0.5f, -0.25f, 4, 0, 2}}});

  const double centres[][2] = {{10.5, 7.5}, {32, 7}, {50, 4}};
  for (int16_t i = 0; i < 3; ++i) {
    Cartoon c;
    c.pieceIndex = i;
    c.specialPieceNumberIndex = i == 1 ? 1 : 0;
    c.bundleIndex = 0;
    c.centerX = centres[i][0];
    c.centerY = centres[i][1];
    c.right = centres[i][0] + 10;
    c.top = centres[i][1] + 7.5;
    c.rotation = i == 1 ? 180.0f : 0.0f;
    c.area = i == 2 ? 24.75 : 300;
    c.piecingType = i == 2 ? -1 : 0;
    c.pointCount = i == 2 ? 3 : 4;
    b.cartoons.push_back(c);
  }
  b.pointMap.push_back({0, 0, 1, 0, 0, 2});
  b.rawKinds[kSliceMarkKind] = std::vector<uint8_t>(16, 0);
  return b;
}

}  // namespace tsln2xml::marker
