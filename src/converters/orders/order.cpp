#include "converters/orders/order.h"

#include "converters/library/library_records.h"
#include "converters/orders/model_fields.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using Tessaline::FixedText;
using Tessaline::Order;
using Axis = Order::Axis;
using Construct = Order::Construct;
using Entry = Order::Entry;
using OrderModel = Order::Model;
using Point = Order::Point;

constexpr int16_t kDataType = 13;
constexpr double kScale = 10000.0;
constexpr double kUtilizationScale = 10.0;
const char* const kLoadFailure = "Unable to load Order";
const char* const kSaveFailure = "Error writing Order";

template <class Io, class P>
void PointField(Io& io, size_t offset, P& point) {
  io.Int(offset, point.x);
  io.Int(offset + 4, point.y);
}

template <class Io, class A>
void AxisField(Io& io, size_t offset, A& axis) {
  io.Int(offset, axis.repeat);
  io.Int(offset + 4, axis.offset);
}

struct HeaderRecord {
  static constexpr size_t kSize = 276;
  template <class Io, class O, class Count>
  static void Walk(Io& io, O& order, Count& models, Count& constructs) {
    io.Text(0, order.markerName, Tessaline::kUpper);
    io.Text(21, order.description, Tessaline::kUpper);
    io.Text(42, order.number, Tessaline::kUpper);
    io.Int(64, order.targetLength);
    io.Int(68, order.width);
    io.Int(72, order.targetUtilization);
    for (size_t i = 0; i < 3; ++i) {  // plaid and stripe axes alternate
      AxisField(io, 74 + 16 * i, order.plaids[i]);
      AxisField(io, 82 + 16 * i, order.stripes[i]);
    }
    io.Text(122, order.layLimitName, Tessaline::kUpper);
    io.Text(143, order.annotationName, Tessaline::kUpper);
    io.Text(164, order.blockBufferName, Tessaline::kUpper);
    io.Text(185, order.matchingName, Tessaline::kUpper);
    io.Text(206, order.notchEnvironmentName, Tessaline::kUpper);
    io.Text(227, order.blockFuseName, Tessaline::kUpper);
    io.Int(248, order.layRuleType);
    io.Text(249, order.layRuleName, Tessaline::kUpper);
    orders::FlagField<uint8_t>(io, 270, order.fiveStarMatching);
    io.Int(272, models);
    io.Int(274, constructs);
  }
};

// `shrink` and `flags` are the order's in the first model record, zero in
// the others.
struct ModelRecord {
  static constexpr size_t kSize = 128;
  template <class Io, class M, class Count, class P, class Flags>
  static void Walk(Io& io, M& model, Count& entries, Count& options, P& shrink, Flags& flags) {
    io.Text(0, model.name, Tessaline::kUpper);
    io.Text(21, model.alterationName, Tessaline::kUpper);
    io.Text(42, model.dynamicAlterationName, Tessaline::kUpper);
    io.Text(63, model.sizeCodeName, Tessaline::kUpper);
    io.Int(84, model.position);
    orders::FlagField<uint16_t>(io, 86, model.addPieceBundle);
    io.Int(88, entries);
    orders::FabricField(io, 90, model.fabric);
    io.Int(96, options);
    PointField(io, 98, shrink);
    io.Int(106, flags);
  }
};

struct OptionRecord {
  static constexpr size_t kSize = 7;
  template <class Io, class Text>
  static void Walk(Io& io, Text& name) {
    io.Text(0, name, Tessaline::kUpper);
  }
};

struct EntryRecord {
  static constexpr size_t kSize = 50;
  template <class Io, class E>
  static void Walk(Io& io, E& entry) {
    io.Text(0, entry.size, Tessaline::kUpper);
    io.Int(8, entry.quantity);
    io.Text(10, entry.cutDown, Tessaline::kUpper);
    io.Text(17, entry.halfPiece, Tessaline::kUpper);
    io.Text(24, entry.baseSize, Tessaline::kUpper);
    io.Int(32, entry.pieceDirection);
  }
};

// The corners are stored lower left, upper right, upper left, lower right.
struct ConstructRecord {
  static constexpr size_t kSize = 104;
  template <class Io, class C>
  static void Walk(Io& io, C& construct) {
    io.Text(0, construct.name, Tessaline::kUpper);
    orders::FlagField<uint8_t>(io, 49, construct.plot);
    orders::FlagField<uint8_t>(io, 50, construct.cut);
    io.Int(51, construct.extra);
    PointField(io, 52, construct.lowerLeft);
    PointField(io, 60, construct.upperRight);
    PointField(io, 68, construct.upperLeft);
    PointField(io, 76, construct.lowerRight);
    PointField(io, 84, construct.repeat);
  }
};

struct MessageRecord {
  static constexpr size_t kSize = 21;
  template <class Io, class E>
  static void Walk(Io& io, E& entry) {
    io.Text(0, entry.message, Tessaline::kUpper);
  }
};

// Tenths of a percent, truncated; the low 16 bits of the product are kept.
template <class Io>
void UtilizationAttribute(Io& io, xml::Node root, uint16_t& utilization) {
  if constexpr (Io::kDecoding) {
    if (auto text = xml::GetAttributeUtf8(root, "TargetUtilization"))
      utilization = static_cast<uint16_t>(xml::ScaleToInt32(xml::ConvertToDouble(*text), kUtilizationScale));
  } else {
    io.Scaled("TargetUtilization", utilization, kUtilizationScale);
  }
}

template <class Io>
void OrderAttributes(Io& io, xml::Node root, Order& order) {
  io.Text("MarkerName", order.markerName, Tessaline::kUpper);
  io.Text("Description", order.description, Tessaline::kUpper);
  io.Text("Number", order.number, Tessaline::kUpper);
  io.Text("LayLimitName", order.layLimitName, Tessaline::kUpper);
  io.Text("AnnotationName", order.annotationName, Tessaline::kUpper);
  io.Text("BlockBufferName", order.blockBufferName, Tessaline::kUpper);
  io.Text("BlockFuseName", order.blockFuseName, Tessaline::kUpper);
  io.Text("NotchEnvironmentName", order.notchEnvironmentName, Tessaline::kUpper);
  io.Text("MatchingName", order.matchingName, Tessaline::kUpper);
  io.Text("LayRuleName", order.layRuleName, Tessaline::kUpper);
  io.Bool("FiveStarMatching", order.fiveStarMatching);
  io.Scaled("Width", order.width, kScale);
  io.Scaled("TargetLength", order.targetLength, kScale);
  UtilizationAttribute(io, root, order.targetUtilization);
  io.Code("LayRuleType", order.layRuleType, LayRuleTypeNames());
  uint8_t usage = order.flags & Order::kModelShrinkStretch;
  bool annotation = (order.flags & Order::kEntryAnnotation) != 0;
  io.Code("ShrinkStretchUsage", usage, ShrinkStretchUsageNames());
  io.Bool("EntryAnnotation", annotation);
  if constexpr (Io::kDecoding)
    order.flags = static_cast<uint8_t>((usage & Order::kModelShrinkStretch) | (annotation ? Order::kEntryAnnotation : 0));
}

template <class Io>
void AxisAttributes(Io& io, Axis& axis) {
  io.Scaled("Repeat", axis.repeat, kScale);
  io.Scaled("Offset", axis.offset, kScale);
}

template <class Io>
void PointAttributes(Io& io, Point& point) {
  io.Scaled("X", point.x, kScale);
  io.Scaled("Y", point.y, kScale);
}

template <class Io>
void ModelAttributes(Io& io, xml::Node element, OrderModel& model) {
  io.Text("Name", model.name, Tessaline::kUpper);
  io.Text("SizeCodeName", model.sizeCodeName, Tessaline::kUpper);
  io.Text("AlterationName", model.alterationName, Tessaline::kUpper);
  io.Text("DynamicAlterationName", model.dynamicAlterationName, Tessaline::kUpper);
  orders::FabricAttribute<Io>(element, "Fabric", model.fabric);
  io.Bool("AddPieceBundle", model.addPieceBundle);
}

template <class Io>
void EntryAttributes(Io& io, Entry& entry, bool message) {
  io.Text("Size", entry.size, Tessaline::kUpper);
  io.Text("BaseSize", entry.baseSize, Tessaline::kUpper);
  io.Int("Quantity", entry.quantity);
  io.Text("CutDown", entry.cutDown, Tessaline::kUpper);
  io.Text("HalfPiece", entry.halfPiece, Tessaline::kUpper);
  io.Code("PieceDirection", entry.pieceDirection, PieceDirectionNames());
  if (message) io.Text("Message", entry.message, Tessaline::kUpper);
}

template <class Io>
void ConstructAttributes(Io& io, Construct& construct) {
  io.Text("Name", construct.name, Tessaline::kUpper);
  io.Bool("Plot", construct.plot);
  io.Bool("Cut", construct.cut);
}

// The corner elements in document order.
struct Corner {
  const char* name;
  Point Construct::*point;
};
constexpr Corner kCorners[] = {{"LowerLeft", &Construct::lowerLeft},
                               {"UpperLeft", &Construct::upperLeft},
                               {"LowerRight", &Construct::lowerRight},
                               {"UpperRight", &Construct::upperRight},
                               {"Repeat", &Construct::repeat}};

void CheckCounts(const Order& order) {
  Count16(order.models.size(), "Order models");
  Count16(order.constructs.size(), "Order constructs");
  for (const auto& model : order.models) {
    Count16(model->options.size(), "options in an Order model");
    Count16(model->entries.size(), "entries in an Order model");
  }
}

}  // namespace

const xml::EnumNameTable<uint8_t>& LayRuleTypeNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {0, "Search"}, {1, "Force"}, {2, "CopyMarker"}, {3, "Slide"}, {4, "Category"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& ShrinkStretchUsageNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "Order"}, {1, "Model"}};
  return table;
}

const xml::EnumNameTable<int16_t>& PieceDirectionNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "None"}, {1, "Left"}, {2, "Right"}};
  return table;
}

std::shared_ptr<Order> LoadOrder(XMLDataItem& item) {
  auto order = std::make_shared<Order>();
  int16_t models = 0, constructs = 0;
  if (!library::ReadRecord<HeaderRecord>(item, *order, models, constructs)) return nullptr;
  if (!library::RecordsFit(item, models, ModelRecord::kSize)) return nullptr;
  for (int16_t i = 0; i < models; ++i) {
    auto model = std::make_shared<OrderModel>();
    int16_t entries = 0, options = 0;
    Point otherShrink;
    uint8_t otherFlags = 0;
    if (!library::ReadRecord<ModelRecord>(item, *model, entries, options, i == 0 ? order->shrinkStretch : otherShrink,
                                          i == 0 ? order->flags : otherFlags))
      return nullptr;
    if (!library::RecordsFit(item, options, OptionRecord::kSize)) return nullptr;
    model->options.assign(static_cast<size_t>(options), FixedText(Tessaline::kSizeName6));
    for (FixedText& name : model->options)
      if (!library::ReadRecord<OptionRecord>(item, name)) return nullptr;
    if (!library::RecordsFit(item, entries, EntryRecord::kSize)) return nullptr;
    model->entries.resize(static_cast<size_t>(entries));
    for (Entry& entry : model->entries)
      if (!library::ReadRecord<EntryRecord>(item, entry)) return nullptr;
    order->models.push_back(std::move(model));
  }
  if (!library::RecordsFit(item, constructs, ConstructRecord::kSize)) return nullptr;
  for (int16_t i = 0; i < constructs; ++i) {
    auto construct = std::make_shared<Construct>();
    if (!library::ReadRecord<ConstructRecord>(item, *construct)) return nullptr;
    order->constructs.push_back(std::move(construct));
  }
  if (order->flags & Order::kEntryAnnotation)
    for (const auto& model : order->models)
      for (Entry& entry : model->entries)
        if (!library::ReadRecord<MessageRecord>(item, entry)) return nullptr;
  return order;
}

void SaveOrder(XMLDataItem& item, const Order& order) {
  CheckCounts(order);
  // An order without models keeps one empty model record for the point and
  // the flags.
  const OrderModel empty;
  std::vector<const OrderModel*> models;
  for (const auto& model : order.models) models.push_back(model.get());
  if (models.empty()) models.push_back(&empty);

  const int16_t modelCount = static_cast<int16_t>(models.size());
  const int16_t constructs = static_cast<int16_t>(order.constructs.size());
  library::WriteRecord<HeaderRecord>(item, kSaveFailure, order, modelCount, constructs);
  const Point noShrink;
  const uint8_t noFlags = 0;
  for (const OrderModel* model : models) {
    const bool first = model == models.front();
    const int16_t entries = static_cast<int16_t>(model->entries.size());
    const int16_t options = static_cast<int16_t>(model->options.size());
    library::WriteRecord<ModelRecord>(item, kSaveFailure, *model, entries, options,
                                      first ? order.shrinkStretch : noShrink, first ? order.flags : noFlags);
    for (const FixedText& name : model->options) library::WriteRecord<OptionRecord>(item, kSaveFailure, name);
    for (const Entry& entry : model->entries) library::WriteRecord<EntryRecord>(item, kSaveFailure, entry);
  }
  for (const auto& construct : order.constructs) {
    Construct stored = *construct;
    stored.extra = 0;  // the byte after the flags is always written as 0
    library::WriteRecord<ConstructRecord>(item, kSaveFailure, stored);
  }
  if (order.flags & Order::kEntryAnnotation)
    for (const OrderModel* model : models)
      for (const Entry& entry : model->entries) library::WriteRecord<MessageRecord>(item, kSaveFailure, entry);
}

OrderReader::OrderReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void OrderReader::Convert() {
  xml::Node root = AppendRoot("Order");
  auto order = LoadOrder(*this);
  if (!order) Fail(kLoadFailure);
  AttributeEmitter rootAttributes(root);
  OrderAttributes(rootAttributes, root, *order);
  for (Axis& axis : order->plaids) {
    AttributeEmitter attributes(AppendElement(root, "Plaid"));
    AxisAttributes(attributes, axis);
  }
  for (Axis& axis : order->stripes) {
    AttributeEmitter attributes(AppendElement(root, "Stripe"));
    AxisAttributes(attributes, axis);
  }
  AttributeEmitter shrink(AppendElement(root, "ShrinkStretch"));
  PointAttributes(shrink, order->shrinkStretch);
  const bool messages = (order->flags & Order::kEntryAnnotation) != 0;
  for (const auto& model : order->models) {
    xml::Node modelElement = AppendElement(root, "Model");
    AttributeEmitter modelAttributes(modelElement);
    ModelAttributes(modelAttributes, modelElement, *model);
    for (FixedText& name : model->options) {
      AttributeEmitter attributes(AppendElement(modelElement, "Option"));
      attributes.Text("Name", name, Tessaline::kUpper);
    }
    for (Entry& entry : model->entries) {
      AttributeEmitter attributes(AppendElement(modelElement, "Entry"));
      EntryAttributes(attributes, entry, messages);
    }
  }
  for (const auto& construct : order->constructs) {
    xml::Node constructElement = AppendElement(root, "Construct");
    AttributeEmitter attributes(constructElement);
    ConstructAttributes(attributes, *construct);
    for (const Corner& corner : kCorners) {
      AttributeEmitter point(AppendElement(constructElement, corner.name));
      PointAttributes(point, (*construct).*corner.point);
    }
  }
}

OrderWriter::OrderWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void OrderWriter::Convert() {
  xml::Node root = RequireRoot("Order");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  Order order;
  AttributeParser rootAttributes(root);
  OrderAttributes(rootAttributes, root, order);
  // The first three axes of each kind; the others have no place in the store.
  const auto plaids = SelectNodes(root, "Plaid");
  const auto stripes = SelectNodes(root, "Stripe");
  for (size_t i = 0; i < order.plaids.size(); ++i) {
    if (i < plaids.size()) {
      AttributeParser attributes(plaids[i]);
      AxisAttributes(attributes, order.plaids[i]);
    }
    if (i < stripes.size()) {
      AttributeParser attributes(stripes[i]);
      AxisAttributes(attributes, order.stripes[i]);
    }
  }
  AttributeParser shrink(SelectSingleNode(root, "ShrinkStretch"));
  PointAttributes(shrink, order.shrinkStretch);

  const auto models = SelectNodes(root, "Model");
  Count16(models.size(), "Order models");
  for (size_t i = 0; i < models.size(); ++i) {
    auto model = std::make_shared<OrderModel>();
    model->position = static_cast<uint16_t>(i + 1);
    AttributeParser modelAttributes(models[i]);
    ModelAttributes(modelAttributes, models[i], *model);
    for (xml::Node option : SelectNodes(models[i], "Option"))
      model->options.emplace_back(Tessaline::kSizeName6, xml::GetAttributeText(option, "Name"));
    const auto entries = SelectNodes(models[i], "Entry");
    model->entries.reserve(entries.size());
    for (xml::Node element : entries) {
      AttributeParser attributes(element);
      EntryAttributes(attributes, model->entries.emplace_back(), true);
    }
    order.models.push_back(std::move(model));
    // The model's elements are read: their memory goes to the models that
    // follow, so that the tree and the order it becomes do not add up.
    xml::DropElementContent(models[i]);
  }
  for (xml::Node element : SelectNodes(root, "Construct")) {
    auto construct = std::make_shared<Construct>();
    AttributeParser attributes(element);
    ConstructAttributes(attributes, *construct);
    for (const Corner& corner : kCorners) {
      AttributeParser point(SelectSingleNode(element, corner.name));
      PointAttributes(point, (*construct).*corner.point);
    }
    order.constructs.push_back(std::move(construct));
  }
  SaveOrder(*this, order);
}

}  // namespace tsln2xml
