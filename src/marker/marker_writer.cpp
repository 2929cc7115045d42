#include "marker/marker_writer.h"

#include <iostream>

#include "core/exception.h"
#include "marker/marker_fields.h"
#include "marker/marker_records.h"
#include "marker/piece_geometry.h"
#include "store/item_store.h"
#include "store/marker_file.h"

namespace tsln2xml::marker {
namespace {

using platform::ByteCursor;

// Elements a walk may produce: a real marker yields about one element per byte
// of its data at most; the fixed allowance covers small markers whose pieces
// hold zero-valued points.
size_t ElementBudget(size_t dataSize) { return 8 * dataSize + (size_t{1} << 16); }

[[noreturn]] void Fail(const std::string& message) { throw Tsln2XmlException(kContentUnusable, message); }
std::string RunsPast(const std::string& kindName) { return kindName + ": record runs past the end of the marker data"; }

// Decodes `record` from the next `size` bytes at `c` with `layout`, and
// returns the element `name` with one child per named field of it.
template <class Record, class Layout>
MarkerElement DecodeElement(ByteCursor& c, const char* name, Record& record, Layout layout,
                            size_t size = Record::kSize) {
  FieldDecoder decoder(c.Take(size));
  layout(decoder, record);
  MarkerElement element(name);
  LeafEmitter emitter(element);
  layout(emitter, record);
  return element;
}

std::string TextUpToNul(std::span<const uint8_t> bytes) {
  std::string text(bytes.begin(), bytes.end());
  text.resize(std::min(text.size(), text.find('\0')));
  return text;
}

MarkerElement PointElement(const char* name, const char* optionName, const GeometryPoint& p) {
  MarkerElement e(name);
  e.ReserveChildren(6);
  e.SetAttribute("X", static_cast<double>(p.x));
  e.SetAttribute("Y", static_cast<double>(p.y));
  e.AppendChild("type", std::string(CodeName(kPointType, p.type)));
  e.AppendChild("notchtype", static_cast<int32_t>(p.notchType));
  e.AppendChild("id", p.id);
  if (p.hasDeltas) {
    e.AppendChild("deltax", p.deltaX);
    e.AppendChild("deltay", p.deltaY);
  }
  if (p.option) e.AppendChild(optionName, std::string(CodeName(kPointOption, *p.option)));
  return e;
}

// The Static or Dynamic element of a block buffer rule: sides in the order
// Left, Top, Right, Bottom, Segment (the record holds left, right, top,
// bottom, segment); zero amounts are left out, and so is a method whose
// amounts are all zero.
void AppendMethod(MarkerElement& rule, const char* name, const std::array<double, 5>& amounts,
                  const std::array<int8_t, 5>& units) {
  static constexpr struct {
    const char* name;
    size_t index;
  } kSides[] = {{"Left", 0}, {"Top", 2}, {"Right", 1}, {"Bottom", 3}, {"Segment", 4}};
  MarkerElement method(name);
  for (const auto& side : kSides) {
    if (amounts[side.index] == 0) continue;
    MarkerElement amount(side.name);
    amount.SetAttribute("Amount", amounts[side.index]);
    amount.SetAttribute("Units", std::string(CodeName(kBlockUnits, units[side.index])));
    method.AppendChild(std::move(amount));
  }
  if (!method.Children().empty()) rule.AppendChild(std::move(method));
}

bool IsFixedWidthFormat(int code) {
  return (code >= 1 && code <= 7) || code == 9 || code == 18 || code == 19;
}
constexpr int kConstantFormat = 10;
constexpr int kSymbolFormat = 15;

}  // namespace

MarkerWriter::MarkerWriter(std::string_view storageDesignation, std::string_view markerName)
    : storageDesignation_(storageDesignation), markerName_(markerName) {
  root_.SetAttribute("version", 1.0);
}

void MarkerWriter::Load() {
  store::MarkerOpenInfo info{};
  const int32_t status = store::OpenMarkerFile(storageDesignation_, markerName_, info, 0);
  if (status != store::kMarkerOk) {
    const std::string detail = store::StoreFailureDetail(status, store::MarkerCatalogPath(storageDesignation_));
    throw Tsln2XmlException(kItemOpenFailure, status,
                            detail.empty() ? "Error opening marker" : "Error opening marker: " + detail);
  }
  struct Closer {
    MarkerWriter& writer;
    store::MarkerOpenInfo& info;
    ~Closer() { store::CloseMarkerFile(writer.storageDesignation_, writer.markerName_, info); }
  } closer{*this, info};
  const int32_t handle = store::OpenInfoHandle(info);
  const int32_t size = std::max(store::OpenInfoDataSize(info), 0);
  std::vector<uint8_t> data(static_cast<size_t>(size));
  const int32_t base = store::TellMarkerFile(handle);
  store::ReadMarkerFile(data.data(), size, 1, handle);  // one read of the whole data
  UseData(std::move(data), base);
}

void MarkerWriter::UseData(std::vector<uint8_t> data, int32_t basePosition) {
  buffer_ = std::move(data);
  basePosition_ = basePosition;
}

void MarkerWriter::ReadMarker(ElementSink& sink) {
  Load();
  Walk(sink);
}

void MarkerWriter::Walk(ElementSink& sink) {
  sink_ = &sink;
  header_ = {};
  budget_ = ElementBudget(buffer_.size());
  try {
    ReadDirectory();
    for (int kind = 0; kind < kWalkedKinds; ++kind) {
      if (!directory_[kind]) continue;
      switch (kind) {
        case kHeaderKind: WriteHeader(); break;
        case kNamesKind: WriteNames(); break;
        case kNotchKind: WriteNotches(); break;
        case kLayLimitKind: WriteLayLimits(); break;
        case kAnnotationKind: WriteAnnotations(); break;
        case kBlockBufferKind: WriteBlockBuffers(); break;
        case kSegmentKind: WriteSegments(); break;
        case kSliceMarkKind: Console("Implement SLICE_MARK - ", header_.numberSpliceMarks); break;
        case kMatchingKind: WriteMatchingRules(); break;
        case kSpecialPieceNumberKind: WriteSpecialPieceNumbers(); break;
        case kModelNameKind: WriteModelNames(); break;
        case kBundleKind: WriteBundles(); break;
        case kPieceKind: WritePieces(); break;
        case kOrderModelKind: WriteOrderModels(); break;
        case kCutdownKind: WriteCutdowns(); break;
        case kDynamicAlterationKind: WriteDynamicAlterations(); break;
        case 20: IgnoreRecord(); break;
        case kCartoonKind: WriteCartoons(); break;
        case kCartoonDataKind: Console("Implement CARTOON_DATA - ", header_.numberCartoonData); break;
        case 23: IgnoreRecord(); break;
        case kPointMapKind: WritePointMap(); break;
        case kPieceSplitKind: Console("Implement PIECE_SPLIT - ", header_.numberSplits); break;
        case kDynamicAmountsKind: Console("Implement DYN_ALT_AMTS", std::nullopt); break;
        case kGroupHeaderKind: Console("Implement GROUP_HEADER - ", header_.numberGroups); break;
        case kConstKind: Console("Implement CONST", std::nullopt); break;
        case 29: IgnoreRecord(); break;
        case kLayLimitExtensionKind: WriteLayLimitExtensions(); break;
        case kBlockPieceTempKind: Console("Implement BLOCK_PCE_TEMP - ", header_.numberBlockBuffersByPiece); break;
        case kHeaderAlternateKind: Console("Implement MARKER_HEADER_ALTERNATE", std::nullopt); break;
        case kCutSequenceKind: Console("Implement CUTSEQ", std::nullopt); break;
        default: break;  // the directory itself, the piece offset table, rules, 17, 34
      }
    }
  } catch (const Tsln2XmlException& e) {
    std::cerr << e.what() << std::endl;
  }
  sink_ = nullptr;
}

void MarkerWriter::ReadDirectory() {
  directory_.fill(std::nullopt);
  ByteCursor c(buffer_, RunsPast("MARKER.DIRECTORY"));
  for (auto& entry : directory_) {
    const int32_t position = c.I32();
    if (position != -1) entry = int64_t{position} - basePosition_;
  }
}

ByteCursor MarkerWriter::At(int kind, const std::string& kindName) const {
  ByteCursor c(buffer_, RunsPast(kindName));
  const auto& offset = directory_[static_cast<size_t>(kind)];
  if (!offset || *offset < 0 || *offset > static_cast<int64_t>(buffer_.size())) Fail(RunsPast(kindName));
  c.Seek(static_cast<size_t>(*offset));
  return c;
}

void MarkerWriter::Emit(MarkerElement element) {
  const size_t nodes = element.CountNodes();
  if (nodes > budget_) Fail(kindName_ + ": more elements than the marker data can hold");
  budget_ -= nodes;
  sink_->Append(std::move(element));
}

void MarkerWriter::Console(const char* text, std::optional<int32_t> count) const {
  if (count)
    std::cout << text << *count << " found" << std::endl;
  else
    std::cout << text << std::endl;
}

template <class Record, class Layout>
void MarkerWriter::WriteFixedEntries(int kind, const std::string& kindName, int32_t count, const char* elementName,
                                     Layout layout) {
  kindName_ = kindName;
  if (count <= 0) return;  // nothing to read, wherever the kind is said to be
  ByteCursor c = At(kind, kindName);
  for (int32_t i = 0; i < count; ++i) {
    Record record;
    Emit(DecodeElement(c, elementName, record, layout));
  }
}

void MarkerWriter::WriteHeader() {
  kindName_ = "MARKER.HEADER";
  ByteCursor c = At(kHeaderKind, kindName_);
  const MarkerElement leaves = DecodeElement(c, "header", header_, [](auto& io, auto& r) { HeaderLayout(io, r); });
  for (const auto& leaf : leaves.Children()) Emit(leaf);
}

void MarkerWriter::WriteNames() {
  kindName_ = "MARKER.NAMES";
  ByteCursor c = At(kNamesKind, kindName_);
  MarkerNames names;
  const MarkerElement leaves = DecodeElement(c, "names", names, [](auto& io, auto& r) { NamesLayout(io, r); });
  for (const auto& leaf : leaves.Children()) Emit(leaf);
}

void MarkerWriter::WriteNotches() {
  kindName_ = "MARKER.NOTCH";
  ByteCursor c = At(kNotchKind, kindName_);
  auto notch = [&](size_t size, auto layout) {
    NotchEntry entry;
    Emit(DecodeElement(c, "notch", entry, layout, size));
  };
  for (size_t i = 0; i < kStandardNotches; ++i)
    notch(kStandardNotchSize, [](auto& io, auto& e) { StandardNotchLayout(io, e); });
  if (header_.expandedNotchTable == 0) return;
  const int32_t extended = c.I32();
  for (int32_t i = 0; i < extended; ++i)
    notch(kExtendedNotchSize, [](auto& io, auto& e) { ExtendedNotchLayout(io, e); });
}

void MarkerWriter::WriteLayLimits() {
  WriteFixedEntries<LayLimit>(kLayLimitKind, "MARKER.LAY_LIMIT", header_.layLimitCount, "laylimit",
                              [](auto& io, auto& r) { LayLimitLayout(io, r); });
}

void MarkerWriter::WriteAnnotations() {
  kindName_ = "MARKER.ANNOTATION";
  if (header_.annotationCount <= 0) return;
  ByteCursor c = At(kAnnotationKind, kindName_);
  for (int32_t i = 0; i < header_.annotationCount; ++i) {
    AnnotationHead head;
    FieldDecoder decoder(c.Take(AnnotationHead::kSize));
    AnnotationHeadLayout(decoder, head);
    MarkerElement entry("AnnotationEntry");
    entry.SetAttribute("Category", head.category);
    for (int32_t j = 0; j < head.orderCount; ++j) {
      const int8_t code = c.I8();
      const std::string format(CodeName(kAnnotationFormat, code));
      if (IsFixedWidthFormat(code)) {
        MarkerElement order("OrderFixed");
        order.SetAttribute("Format", format);
        order.SetAttribute("Start", static_cast<int32_t>(c.I8()));
        order.SetAttribute("End", static_cast<int32_t>(c.I8()));
        entry.AppendChild(std::move(order));
      } else if (code == kConstantFormat) {
        const uint16_t length = c.U16();
        MarkerElement order("OrderVariable");
        order.SetAttribute("Format", format);
        order.AppendChild("Text", TextUpToNul(c.Take(length)));
        entry.AppendChild(std::move(order));
      } else if (code == kSymbolFormat) {
        MarkerElement order("OrderSymbol");
        order.SetAttribute("Format", format);
        order.SetAttribute("Number", static_cast<int32_t>(head.symbolNumber));
        order.SetAttribute("Height", static_cast<int32_t>(head.symbolHeight));
        entry.AppendChild(std::move(order));
      } else {
        MarkerElement order("Order");
        order.SetAttribute("Format", format);
        entry.AppendChild(std::move(order));
      }
    }
    Emit(std::move(entry));
  }
}

void MarkerWriter::WriteBlockBuffers() {
  kindName_ = "MARKER.BLOCK_BUFFER";
  if (header_.blockBufferCount <= 0) return;
  ByteCursor c = At(kBlockBufferKind, kindName_);
  for (int32_t i = 0; i < header_.blockBufferCount; ++i) {
    BlockBufferRule rule;
    FieldDecoder decoder(c.Take(BlockBufferRule::kSize));
    BlockBufferLayout(decoder, rule);
    MarkerElement element("BlockBuffer");
    element.SetAttribute("RuleType", std::string(CodeName(kBlockRuleType, rule.ruleType)));
    AppendMethod(element, "Static", rule.staticAmounts, rule.staticUnits);
    AppendMethod(element, "Dynamic", rule.dynamicAmounts, rule.dynamicUnits);
    element.SetAttribute("SegmentIndex", static_cast<int32_t>(rule.segmentIndex));
    element.SetAttribute("SegmentCount", static_cast<int32_t>(rule.segmentCount));
    element.SetAttribute("CartoonIndex", static_cast<int32_t>(rule.cartoonIndex));
    Emit(std::move(element));
  }
}

void MarkerWriter::WriteSegments() {
  WriteFixedEntries<Segment>(kSegmentKind, "MARKER.SEGMENT", header_.segmentCount, "segment",
                             [](auto& io, auto& r) { SegmentLayout(io, r); });
}

void MarkerWriter::WriteMatchingRules() {
  WriteFixedEntries<MatchingRule>(kMatchingKind, "MARKER.MATCHING_RULE", header_.matchingRuleCount, "matchingrule",
                                  [](auto& io, auto& r) { MatchingRuleLayout(io, r); });
}

void MarkerWriter::WriteSpecialPieceNumbers() {
  WriteFixedEntries<SpecialPieceNumber>(kSpecialPieceNumberKind, "MARKER.SPECIAL_PIECE_NUMBER",
                                        header_.specialPieceNumberCount, "specialpiecenumber",
                                        [](auto& io, auto& r) { SpecialPieceNumberLayout(io, r); });
}

void MarkerWriter::WriteModelNames() {
  kindName_ = "MARKER.MODEL_NAME";
  if (header_.modelCount <= 0) return;
  ByteCursor c = At(kModelNameKind, kindName_);
  for (int32_t i = 0; i < header_.modelCount; ++i)
    Emit(MarkerElement("modelnamevalue", TextUpToNul(c.Take(kModelNameSize))));
}

void MarkerWriter::WriteBundles() {
  WriteFixedEntries<Bundle>(kBundleKind, "MARKER.BUNDLE", header_.bundleCount, "bundle",
                            [](auto& io, auto& r) { BundleLayout(io, r); });
}

void MarkerWriter::WritePieces() {
  kindName_ = "MARKER.PIECE";
  if (header_.pieceCount <= 0) return;
  ByteCursor data = At(kPieceKind, kindName_);
  ByteCursor table = At(kPieceTableKind, kindName_);
  const int64_t start = *directory_[kPieceKind];
  for (int32_t i = 0; i < header_.pieceCount; ++i) {
    const int64_t position = start + table.I32();
    if (position < 0 || position > static_cast<int64_t>(buffer_.size())) Fail(RunsPast(kindName_));
    data.Seek(static_cast<size_t>(position));
    PieceHead head;
    FieldDecoder decoder(data.Take(PieceHead::kSize));
    PieceHeadLayout(decoder, head);
    if (head.sizeIdType < 0 || head.sizeIdType > 2) Fail("MARKER.PIECE: Invalid size_id_type");
    const auto block = data.Take(head.geometryLength);

    MarkerElement piece("markerpiece");
    LeafEmitter emitter(piece);
    PieceHeadLayout(emitter, head);
    MarkerElement baseSize("basesize");
    if (head.sizeIdType == kNumericSize)
      baseSize.SetAttribute("Value", static_cast<int32_t>(head.numericSize));
    else
      baseSize.SetAttribute("Value", head.alphaSize);
    baseSize.SetAttribute("Type", std::string(CodeName(kSizeIdType, head.sizeIdType)));
    piece.AppendChild(std::move(baseSize));

    const PieceGeometry geometry = DecodePieceGeometry(block, head.perimeterCount, head.lineCount,
                                                       header_.expandedNotchTable, budget_);
    if (geometry.complete) {
      MarkerElement perimeter("perimeterline");
      perimeter.ReserveChildren(geometry.perimeter.size());
      for (const auto& p : geometry.perimeter)
        perimeter.AppendChild(PointElement("perimeterpoint", "perimeterpointoption", p));
      piece.AppendChild(std::move(perimeter));
      for (const auto& line : geometry.lines) {
        MarkerElement internal("internalline");
        internal.AppendChild("type", static_cast<int32_t>(line.type));
        internal.AppendChild("id", static_cast<int32_t>(line.id));
        internal.ReserveChildren(2 + line.points.size());
        for (const auto& p : line.points)
          internal.AppendChild(PointElement("internalpoint", "internalpointoption", p));
        piece.AppendChild(std::move(internal));
      }
    }
    Emit(std::move(piece));
  }
}

void MarkerWriter::WriteOrderModels() {
  kindName_ = "MARKER.ORDER_MODEL";
  if (header_.modelCount <= 0) return;
  ByteCursor c = At(kOrderModelKind, kindName_);
  for (int32_t i = 0; i < header_.modelCount; ++i) {
    OrderModel model;
    MarkerElement element = DecodeElement(c, "ordermodel", model, [](auto& io, auto& r) { OrderModelLayout(io, r); });
    for (int32_t j = 0; j < model.optionCount; ++j) {
      MarkerElement option("option");
      option.AppendChild("optionname", TextUpToNul(c.Take(kOrderOptionSize)));
      element.AppendChild(std::move(option));
    }
    for (int32_t j = 0; j < model.sizeEntryCount; ++j) {
      SizeEntry entry;
      element.AppendChild(DecodeElement(c, "entry", entry, [](auto& io, auto& r) { SizeEntryLayout(io, r); }));
    }
    Emit(std::move(element));
  }
}

void MarkerWriter::WriteCutdowns() {
  WriteFixedEntries<Cutdown>(kCutdownKind, "MARKER.CUTDOWN", header_.cutdownCount, "cutdown",
                             [](auto& io, auto& r) { CutdownLayout(io, r); });
}

void MarkerWriter::WriteDynamicAlterations() {
  kindName_ = "MARKER.DYNAMIC_ALTERATION";
  if (header_.dynamicAlterationCount <= 0) return;
  ByteCursor c = At(kDynamicAlterationKind, kindName_);
  for (int32_t i = 0; i < header_.dynamicAlterationCount; ++i) {
    DynamicAlterationHead head;
    MarkerElement element =
        DecodeElement(c, "dynamicalteration", head, [](auto& io, auto& r) { DynamicAlterationHeadLayout(io, r); });
    if (head.ruleCount > 0) {
      // The rules of a head start at its byte position within kind 19.
      ByteCursor rules = At(kDynamicRuleKind, kindName_);
      const int64_t position = *directory_[kDynamicRuleKind] + head.position;
      if (position < 0 || position > static_cast<int64_t>(buffer_.size())) Fail(RunsPast(kindName_));
      rules.Seek(static_cast<size_t>(position));
      for (int32_t j = 0; j < head.ruleCount; ++j) {
        DynamicAlterationRule rule;
        element.AppendChild(
            DecodeElement(rules, "rule", rule, [](auto& io, auto& r) { DynamicAlterationRuleLayout(io, r); }));
      }
    }
    Emit(std::move(element));
  }
}

void MarkerWriter::WriteCartoons() {
  WriteFixedEntries<Cartoon>(kCartoonKind, "MARKER.CARTOON", header_.cartoonCount, "cartoon",
                             [](auto& io, auto& r) { CartoonLayout(io, r); });
}

void MarkerWriter::WritePointMap() {
  WriteFixedEntries<PointMapEntry>(kPointMapKind, "MARKER.POINT_MAP", header_.pointMapCount, "pointmapelement",
                                   [](auto& io, auto& r) { PointMapLayout(io, r); });
}

void MarkerWriter::WriteLayLimitExtensions() {
  WriteFixedEntries<LayLimitExtension>(kLayLimitExtensionKind, "MARKER.LAY_LIMIT_EXTENSION", header_.layLimitCount,
                                       "laylimitextension", [](auto& io, auto& r) { LayLimitExtensionLayout(io, r); });
}

}  // namespace tsln2xml::marker
