#include "converters/library/annotation.h"

#include <array>
#include <vector>

#include "converters/library/library_records.h"
#include "store/translation.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using Tessaline::AnnotationLibrary;
using Tessaline::FixedText;
using Entry = AnnotationLibrary::Entry;
using Order = Entry::Order;
using SimpleOrder = Entry::SimpleOrder;
using FixedOrder = Entry::FixedOrder;
using VariableOrder = Entry::VariableOrder;
using SymbolOrder = Entry::SymbolOrder;

constexpr int16_t kDataType = 2;
constexpr size_t kCommentWidth = 20;
constexpr uint8_t kConstantFormat = 10;
constexpr uint8_t kSymbolFormat = 15;
constexpr uint8_t kDefaultFormat = 1;  // "MarkerName", when an order gives none
constexpr std::string_view kConstructCategory = "#CONSTRUCT";
const char* const kLoadFailure = "Unable to load Annotation library";
const char* const kSaveFailure = "Error writing Annotation library";

struct EntryRecord {
  static constexpr size_t kSize = 24;
  template <class Io, class Text, class Byte, class Count>
  static void Walk(Io& io, Text& category, Byte& symbolNumber, Byte& symbolHeight, Count& orders) {
    io.Text(0, category, Tessaline::kUpper);
    io.Int(20, symbolNumber);
    io.Int(21, symbolHeight);
    io.Int(22, orders);
  }
};

struct SliceRecord {
  static constexpr size_t kSize = 2;
  template <class Io, class Byte>
  static void Walk(Io& io, Byte& start, Byte& end) {
    io.Int(0, start);
    io.Int(1, end);
  }
};

// Reads one order; nullptr when the item ends inside it.
std::shared_ptr<Order> LoadOrder(XMLDataItem& item, int8_t symbolNumber, int8_t symbolHeight) {
  uint8_t format = 0;
  if (!library::ReadRecord<library::ValueRecord<uint8_t>>(item, format)) return nullptr;
  switch (KindOfAnnotationFormat(format)) {
    case AnnotationOrderKind::kFixed: {
      int8_t start = 0, end = 0;
      if (!library::ReadRecord<SliceRecord>(item, start, end)) return nullptr;
      return std::make_shared<FixedOrder>(format, start, end);
    }
    case AnnotationOrderKind::kConstant: {
      int16_t length = 0;
      if (!library::ReadRecord<library::ValueRecord<int16_t>>(item, length)) return nullptr;
      if (!library::RecordsFit(item, length, 1)) return nullptr;
      std::vector<uint8_t> bytes(static_cast<size_t>(length));
      if (!item.ReadExact(bytes.data(), bytes.size())) return nullptr;
      FixedText text(Tessaline::kQuoted);
      text.FromField(bytes, Tessaline::kAsIs);
      return std::make_shared<VariableOrder>(format, std::move(text));
    }
    case AnnotationOrderKind::kSymbol: return std::make_shared<SymbolOrder>(format, symbolNumber, symbolHeight);
    case AnnotationOrderKind::kSimple: break;
  }
  return std::make_shared<SimpleOrder>(format);
}

// Writes each order after its format byte.
class OrderRecords : public Entry::OrderVisitor {
 public:
  explicit OrderRecords(XMLDataItem& item) : item_(item) {}
  void Visit(const VariableOrder& order) override {
    Format(order);
    const std::string& text = order.text.str();
    const int16_t length = static_cast<int16_t>(text.size());  // checked when the order was made
    library::WriteRecord<library::ValueRecord<int16_t>>(item_, kSaveFailure, length);
    item_.WriteExact(text.data(), text.size(), kSaveFailure);
  }
  void Visit(const FixedOrder& order) override {
    Format(order);
    library::WriteRecord<SliceRecord>(item_, kSaveFailure, order.start, order.end);
  }
  void Visit(const SymbolOrder& order) override { Format(order); }
  void Visit(const SimpleOrder& order) override { Format(order); }

 private:
  void Format(const Order& order) { library::WriteRecord<library::ValueRecord<uint8_t>>(item_, kSaveFailure, order.format); }
  XMLDataItem& item_;
};

// Builds each order's element under an entry's element.
class OrderElements : public Entry::OrderVisitor {
 public:
  OrderElements(XMLReader& reader, xml::Node entry) : reader_(reader), entry_(entry) {}
  void Visit(const VariableOrder& order) override {
    xml::Node element = Element("OrderVariable", order);
    xml::SetElementText(reader_.AppendElement(element, "Text"), order.text.str());
  }
  void Visit(const FixedOrder& order) override {
    xml::Node element = Element("OrderFixed", order);
    reader_.SetAttribute(element, "Start", int32_t{order.start});
    reader_.SetAttribute(element, "End", int32_t{order.end});
  }
  void Visit(const SymbolOrder& order) override {
    xml::Node element = Element("OrderSymbol", order);
    reader_.SetAttribute(element, "Number", int32_t{order.number});
    reader_.SetAttribute(element, "Height", int32_t{order.height});
  }
  void Visit(const SimpleOrder& order) override { Element("Order", order); }

 private:
  xml::Node Element(const char* name, const Order& order) {
    xml::Node element = reader_.AppendElement(entry_, name);
    xml::SetAttributeUtf8(element, "Format", AnnotationFormatNames().NameOf(order.format));
    return element;
  }
  XMLReader& reader_;
  xml::Node entry_;
};

// The order that an element describes. Its element decides what is written
// after the format byte and its format decides what is read back, so the two
// must agree or the item would read back misaligned.
std::shared_ptr<Order> ParseOrder(xml::Node element, const XMLWriter& writer) {
  const std::string elementName = xml::LocalName(element);
  const auto formatName = xml::GetAttributeUtf8(element, "Format");
  const uint8_t format = formatName ? AnnotationFormatNames().ValueOf(*formatName) : kDefaultFormat;
  const AnnotationOrderKind kind = KindOfAnnotationFormat(format);
  const AnnotationOrderKind expected = elementName == "OrderFixed"      ? AnnotationOrderKind::kFixed
                                       : elementName == "OrderVariable" ? AnnotationOrderKind::kConstant
                                       : elementName == "OrderSymbol"   ? AnnotationOrderKind::kSymbol
                                                                        : AnnotationOrderKind::kSimple;
  if (kind != expected)
    Fail("Annotation order <" + elementName + "> cannot have the format \"" + formatName.value_or("MarkerName") + "\"");
  switch (kind) {
    case AnnotationOrderKind::kFixed:
      return std::make_shared<FixedOrder>(format, xml::GetAttributeInt8(element, "Start", 0),
                                          xml::GetAttributeInt8(element, "End", 0));
    case AnnotationOrderKind::kConstant: {
      // Limited by its bytes in the code page, whole characters only; the
      // stored length is a signed 16-bit value.
      FixedText text(Tessaline::kQuoted);
      text.FromText(xml::GetElementText(writer.SelectSingleNode(element, "Text")), Tessaline::kUpper);
      if (text.size() > AnnotationLibrary::kMaxTextBytes)
        Fail("Annotation constant text too long: " + std::to_string(text.size()) + " bytes (at most " +
             std::to_string(AnnotationLibrary::kMaxTextBytes) + ")");
      return std::make_shared<VariableOrder>(format, std::move(text));
    }
    case AnnotationOrderKind::kSymbol:
      return std::make_shared<SymbolOrder>(format, xml::GetAttributeInt8(element, "Number", 0),
                                           xml::GetAttributeInt8(element, "Height", 0));
    case AnnotationOrderKind::kSimple: break;
  }
  return std::make_shared<SimpleOrder>(format);
}

bool IsOrderElement(std::string_view name) {
  return name == "Order" || name == "OrderFixed" || name == "OrderVariable" || name == "OrderSymbol";
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

const xml::EnumNameTable<uint8_t>& AnnotationFormatNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {1, "MarkerName"},         {2, "OrderNumber"},        {3, "OrderDescription"},  {4, "ModelName"},
      {5, "PieceDescription"},   {6, "PieceName"},          {7, "PieceSize"},         {8, "LeftRight"},
      {9, "Bundle"},             {10, "Constant"},          {11, "NewLine"},          {12, "SplitPiece"},
      {13, "Date"},              {14, "LabelA"},            {15, "Symbol"},           {16, "LineType1"},
      {17, "PenNumber"},         {18, "PieceCategory"},     {19, "MarkerDescription"}, {20, "ModelSizeQuantity"},
      {21, "Length"},            {22, "MarkerUtilization"}, {23, "MarkerWidth"},      {24, "AddedPiecesBundles"},
      {25, "LabelB"},            {26, "LineType0"},         {27, "LineType2"},        {28, "PlaidStripe"},
      {29, "PlacedArea"},        {30, "PlacedPerimeter"},   {31, "PlacedPieceCount"},
  };
  return table;
}

AnnotationOrderKind KindOfAnnotationFormat(uint8_t format) {
  switch (format) {
    case 1: case 2: case 3: case 4: case 5: case 6: case 7: case 9: case 18: case 19:
      return AnnotationOrderKind::kFixed;
    case kConstantFormat: return AnnotationOrderKind::kConstant;
    case kSymbolFormat: return AnnotationOrderKind::kSymbol;
    default: return AnnotationOrderKind::kSimple;
  }
}

FixedText EnglishCategory(const FixedText& stored) {
  static const std::array<std::string, 3> kEnglish = {"DEFAULT", "MARKER", "LABEL"};
  constexpr std::array<int, 3> kMessages = {store::kDefaultCategoryMessage, store::kMarkerCategoryMessage,
                                            store::kLabelCategoryMessage};
  std::array<std::string, 3> language;
  for (size_t i = 0; i < language.size(); ++i) {
    language[i] = store::LoadMessageString(kMessages[i]);
    if (language[i].empty()) language[i] = kEnglish[i];
  }
  const std::string_view category = TrimEnd(stored.str());
  const store::LookupTable& table = store::GetLookupTableObject(store::kTranslationFile, true);
  std::string remainder;
  for (size_t i = 0; i < kEnglish.size(); ++i)
    if (table.Matches(category, i, kEnglish, language, remainder, true))
      return FixedText(Tessaline::kName20, kEnglish[i] + remainder);
  return stored;
}

FixedText StoredCategory(const FixedText& category) {
  // An empty language form would make every empty category the construct
  // category; only a real name counts.
  const std::string construct = store::LoadMessageString(store::kConstructCategoryMessage);
  if (!TrimEnd(construct).empty() && store::EqualsIgnoringCase(TrimEnd(category.str()), TrimEnd(construct)))
    return FixedText(Tessaline::kName20, kConstructCategory);
  return category;
}

std::shared_ptr<AnnotationLibrary> LoadAnnotationLibrary(XMLDataItem& item) {
  auto library = std::make_shared<AnnotationLibrary>();
  int16_t entries = 0;
  if (!library::ReadRecord<library::CommentHeader<kCommentWidth>>(item, library->comment1, library->comment2, entries))
    return nullptr;
  if (!library::RecordsFit(item, entries, EntryRecord::kSize)) return nullptr;
  library->entries.resize(static_cast<size_t>(entries));
  for (Entry& entry : library->entries) {
    int8_t symbolNumber = 0, symbolHeight = 0;
    int16_t orders = 0;
    if (!library::ReadRecord<EntryRecord>(item, entry.category, symbolNumber, symbolHeight, orders)) return nullptr;
    if (!library::RecordsFit(item, orders, library::ValueRecord<uint8_t>::kSize)) return nullptr;
    entry.orders.reserve(static_cast<size_t>(orders));
    for (int16_t k = 0; k < orders; ++k) {
      auto order = LoadOrder(item, symbolNumber, symbolHeight);
      if (!order) return nullptr;
      entry.orders.push_back(std::move(order));
    }
  }
  return library;
}

void SaveAnnotationLibrary(XMLDataItem& item, const AnnotationLibrary& library) {
  const int16_t entries = Count16(library.entries.size(), "Annotation entries");
  for (const Entry& entry : library.entries) Count16(entry.orders.size(), "orders in an Annotation entry");
  library::WriteRecord<library::CommentHeader<kCommentWidth>>(item, kSaveFailure, library.comment1, library.comment2,
                                                              entries);
  OrderRecords records(item);
  for (const Entry& entry : library.entries) {
    // The entry record carries the number and height of its first symbol.
    int8_t symbolNumber = 0, symbolHeight = 0;
    for (const auto& order : entry.orders) {
      if (const auto* symbol = dynamic_cast<const SymbolOrder*>(order.get())) {
        symbolNumber = symbol->number;
        symbolHeight = symbol->height;
        break;
      }
    }
    const int16_t orders = static_cast<int16_t>(entry.orders.size());
    library::WriteRecord<EntryRecord>(item, kSaveFailure, StoredCategory(entry.category), symbolNumber, symbolHeight,
                                      orders);
    for (const auto& order : entry.orders) order->Accept(records);
  }
}

AnnotationReader::AnnotationReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void AnnotationReader::Convert() {
  xml::Node root = AppendRoot("Annotation");
  auto library = LoadAnnotationLibrary(*this);
  if (!library) Fail(kLoadFailure);
  AttributeEmitter rootAttributes(root);
  library::CommentAttributes(rootAttributes, library->comment1, library->comment2);
  for (const Entry& entry : library->entries) {
    xml::Node entryElement = AppendElement(root, "Entry");
    SetAttribute(entryElement, "Category", EnglishCategory(entry.category).str());
    OrderElements elements(*this, entryElement);
    for (const auto& order : entry.orders) order->Accept(elements);
  }
}

AnnotationWriter::AnnotationWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void AnnotationWriter::Convert() {
  xml::Node root = RequireRoot("Annotation");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  AnnotationLibrary library;
  AttributeParser rootAttributes(root);
  library::CommentAttributes(rootAttributes, library.comment1, library.comment2);
  const auto entries = SelectNodes(root, "Entry");
  Count16(entries.size(), "Annotation entries");
  library.entries.resize(entries.size());
  for (size_t e = 0; e < entries.size(); ++e) {
    Entry& entry = library.entries[e];
    entry.category.FromText(xml::GetAttributeText(entries[e], "Category"), Tessaline::kUpper);
    // The four order elements together, in document order.
    std::vector<xml::Node> orders;
    for (xml::Node child : xml::ChildElements(entries[e], GetNamespace()))
      if (IsOrderElement(xml::LocalName(child))) orders.push_back(child);
    Count16(orders.size(), "orders in an Annotation entry");
    entry.orders.reserve(orders.size());
    for (xml::Node order : orders) entry.orders.push_back(ParseOrder(order, *this));
  }
  SaveAnnotationLibrary(*this, library);
}

}  // namespace tsln2xml
