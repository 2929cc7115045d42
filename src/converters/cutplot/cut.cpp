#include "converters/cutplot/cut.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "converters/library/library_records.h"
#include "framework/attribute_io.h"
#include "model/record_io.h"
#include "platform/byte_cursor.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using Tessaline::CutFile;
using Tessaline::FixedText;

constexpr int16_t kDataType = 4;
constexpr std::string_view kTerminator = "*M0*";
const char* const kSaveFailure = "Error writing Cut";

// A text field of a cut record: read over the field's whole width up to its
// first NUL; written with at most `limit` bytes (never a split double-byte
// character), so a NUL always follows the text in the zeroed record.
template <class Io, class Text>
void TextField(Io& io, size_t offset, Text& text, size_t limit) {
  if constexpr (Io::kDecoding) {
    io.Text(offset, text, Tessaline::kAsIs);
  } else {
    FixedText capped(Tessaline::CutField(limit));
    capped.FromText(text.str(), Tessaline::kAsIs);
    io.Text(offset, capped, Tessaline::kAsIs);
  }
}

// The four record counts of the header, in stored order.
struct ReportCounts {
  int16_t overrides = 0;
  int16_t attributes = 0;
  int16_t labels = 0;
  int16_t models = 0;
};

constexpr const char* kMeasureNames[] = {
    "Utilization",  "PieceArea",      "PlaidRepeat",          "PlaidOffset",
    "StripeRepeat", "StripeOffset",   "TotalPerimeter",       "TotalStraightPerimeter",
    "TotalCurvedPerimeter", "TotalInternalLength", "TotalStraightInternalLength", "TotalCurvedInternalLength"};
static_assert(std::size(kMeasureNames) == std::tuple_size_v<decltype(CutFile::Report::measures)>);
constexpr const char* kNotchNames[] = {"Notch1Ct", "Notch2Ct", "Notch3Ct", "Notch4Ct", "Notch5Ct"};

// Each record kind: its size and fields (Walk), and the attributes of its
// element (Attributes), both described once for the two directions.
struct HeaderRecord {
  static constexpr size_t kSize = 364;
  template <class Io, class R, class C>
  static void Walk(Io& io, R& r, C& counts) {
    TextField(io, 0, r.markerName, 20);
    TextField(io, 21, r.orderNumber, 20);
    TextField(io, 42, r.description, 20);
    TextField(io, 63, r.m20, 32);
    io.Int(96, r.clothWidth);
    io.Int(104, r.clothLength);
    io.Int(112, r.labeler);
    io.Int(113, r.opStop);
    TextField(io, 114, r.cutParam, 20);
    TextField(io, 135, r.notchParam, 20);
    TextField(io, 156, r.estTimeM, 3);
    TextField(io, 160, r.estTimeS, 2);
    io.Int(163, r.complete);
    for (size_t i = 0; i < r.measures.size(); ++i) io.Int(164 + 8 * i, r.measures[i]);
    TextField(io, 260, r.layLimits, 20);
    TextField(io, 281, r.matching, 20);
    TextField(io, 302, r.annotation, 20);
    TextField(io, 323, r.blockBuffer, 20);
    for (size_t i = 0; i < r.notchCounts.size(); ++i) io.Int(344 + 2 * i, r.notchCounts[i]);
    io.Int(354, r.totalSizes);
    io.Int(356, counts.overrides);
    io.Int(358, counts.attributes);
    io.Int(360, counts.labels);
    io.Int(362, counts.models);
  }
  template <class Io, class R>
  static void Attributes(Io& io, R& r) {
    io.Text("MarkerName", r.markerName, Tessaline::kAsIs);
    io.Text("OrderNumber", r.orderNumber, Tessaline::kAsIs);
    io.Text("Description", r.description, Tessaline::kAsIs);
    io.Text("M20", r.m20, Tessaline::kAsIs);
    io.Double("ClothWidth", r.clothWidth);
    io.Double("ClothLength", r.clothLength);
    io.Int("Labeler", r.labeler);
    io.Int("OpStop", r.opStop);
    io.Text("CutParam", r.cutParam, Tessaline::kAsIs);
    io.Text("NotchParam", r.notchParam, Tessaline::kAsIs);
    io.Text("EstTimeM", r.estTimeM, Tessaline::kAsIs);
    io.Text("EstTimeS", r.estTimeS, Tessaline::kAsIs);
    io.Int("Complete", r.complete);
    for (size_t i = 0; i < r.measures.size(); ++i) io.Double(kMeasureNames[i], r.measures[i]);
    io.Text("LayLimits", r.layLimits, Tessaline::kAsIs);
    io.Text("Matching", r.matching, Tessaline::kAsIs);
    io.Text("Annotation", r.annotation, Tessaline::kAsIs);
    io.Text("BlockBuffer", r.blockBuffer, Tessaline::kAsIs);
    for (size_t i = 0; i < r.notchCounts.size(); ++i) io.Int(kNotchNames[i], r.notchCounts[i]);
    io.Int("TotalSizes", r.totalSizes);
  }
};

struct AttributeRecord {
  static constexpr size_t kSize = 4;
  static constexpr const char* kElement = "Attribute";
  template <class Io, class A>
  static void Walk(Io& io, A& a) {
    io.Int(0, a.attributeChar);
    io.Int(2, a.totalNum);
  }
  template <class Io, class A>
  static void Attributes(Io& io, A& a) {
    io.Int("AttributeChar", a.attributeChar);
    io.Int("TotalNum", a.totalNum);
  }
};

struct LabelRecord {
  static constexpr size_t kSize = 6;
  static constexpr const char* kElement = "Label";
  template <class Io, class L>
  static void Walk(Io& io, L& l) {
    TextField(io, 0, l.labelChar, 1);  // the first character only
    io.Int(2, l.totalNum);
    io.Int(4, l.toolNum);
  }
  template <class Io, class L>
  static void Attributes(Io& io, L& l) {
    io.Text("LabelChar", l.labelChar, Tessaline::kAsIs);
    io.Int("TotalNum", l.totalNum);
    io.Int("ToolNum", l.toolNum);
  }
};

struct OverrideRecord {
  static constexpr size_t kSize = 70;
  static constexpr const char* kElement = "Override";
  template <class Io, class O>
  static void Walk(Io& io, O& o) {
    TextField(io, 0, o.piece, 20);
    TextField(io, 21, o.leftRight, 1);
    TextField(io, 23, o.overrideType, 11);
    TextField(io, 35, o.size, 6);
    TextField(io, 42, o.model, 20);
  }
  template <class Io, class O>
  static void Attributes(Io& io, O& o) {
    io.Text("Piece", o.piece, Tessaline::kAsIs);
    io.Text("LeftRight", o.leftRight, Tessaline::kAsIs);
    io.Text("OverrideType", o.overrideType, Tessaline::kAsIs);
    io.Text("Size", o.size, Tessaline::kAsIs);
    io.Text("Model", o.model, Tessaline::kAsIs);
  }
};

// The size count (88) comes before the option count (96), but the option
// records are stored first.
struct OrderModelRecord {
  static constexpr size_t kSize = 128;
  template <class Io, class M, class Count>
  static void Walk(Io& io, M& m, Count& sizes, Count& options) {
    TextField(io, 0, m.modName, 20);
    TextField(io, 21, m.altName, 20);
    TextField(io, 42, m.dynAltName, 20);
    TextField(io, 63, m.sizeCode, 20);
    io.Int(84, m.modelNumber);
    io.Int(86, m.addPieceBundle);
    io.Int(88, sizes);
    TextField(io, 90, m.fabricType, 4);
    io.Int(96, options);
    io.Int(98, m.shStX);
    io.Int(102, m.shStY);
    io.Int(106, m.orderFlags);
  }
  template <class Io, class M>
  static void Attributes(Io& io, M& m) {
    io.Text("ModName", m.modName, Tessaline::kAsIs);
    io.Text("AltName", m.altName, Tessaline::kAsIs);
    io.Text("DynAltName", m.dynAltName, Tessaline::kAsIs);
    io.Text("SizeCode", m.sizeCode, Tessaline::kAsIs);
    io.Int("ModelNumber", m.modelNumber);
    io.Int("AddPieceBundle", m.addPieceBundle);
    io.Text("FabricType", m.fabricType, Tessaline::kAsIs);
    io.Int("ShStX", m.shStX);
    io.Int("ShStY", m.shStY);
    io.Int("OrderFlags", m.orderFlags);
  }
};

struct OptionRecord {
  static constexpr size_t kSize = 7;
  static constexpr const char* kElement = "ModelOption";
  template <class Io, class O>
  static void Walk(Io& io, O& o) {
    TextField(io, 0, o.name, 6);
  }
  template <class Io, class O>
  static void Attributes(Io& io, O& o) {
    io.Text("Name", o.name, Tessaline::kAsIs);
  }
};

struct SizeRecord {
  static constexpr size_t kSize = 50;
  static constexpr const char* kElement = "ModelList";
  template <class Io, class S>
  static void Walk(Io& io, S& s) {
    TextField(io, 0, s.size, 6);
    io.Int(8, s.quant);
    TextField(io, 10, s.cutdown, 6);
    TextField(io, 17, s.halfpiece, 6);
    TextField(io, 24, s.baseSize, 6);
    io.Int(32, s.direction);
  }
  template <class Io, class S>
  static void Attributes(Io& io, S& s) {
    io.Text("Size", s.size, Tessaline::kAsIs);
    io.Int("Quant", s.quant);
    io.Text("Cutdown", s.cutdown, Tessaline::kAsIs);
    io.Text("Halfpiece", s.halfpiece, Tessaline::kAsIs);
    io.Text("BaseSize", s.baseSize, Tessaline::kAsIs);
    io.Int("Direction", s.direction);
  }
};

// --- reading ---------------------------------------------------------------

template <class Layout, class... Fields>
void Decode(platform::ByteCursor& cursor, Fields&... fields) {
  RecordDecoder decoder(cursor.Take(Layout::kSize));
  Layout::Walk(decoder, fields...);
}

// `count` records, checked to be there (and not negative) before the list is
// sized from it.
template <class Layout, class T>
void DecodeList(platform::ByteCursor& cursor, int16_t count, std::vector<T>& list) {
  cursor.RequireRecords(count, Layout::kSize);
  list.resize(static_cast<size_t>(count));
  for (T& record : list) Decode<Layout>(cursor, record);
}

template <class Layout, class T>
void EmitList(XMLReader& reader, xml::Node parent, std::vector<T>& list) {
  for (T& record : list) {
    AttributeEmitter emitter(reader.AppendElement(parent, Layout::kElement));
    Layout::Attributes(emitter, record);
  }
}

// --- writing ---------------------------------------------------------------

template <class Layout, class T>
std::vector<T> ParseList(const XMLWriter& writer, xml::Node parent) {
  const auto nodes = writer.SelectNodes(parent, Layout::kElement);
  std::vector<T> list(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    AttributeParser parser(nodes[i]);
    Layout::Attributes(parser, list[i]);
  }
  return list;
}

template <class Layout, class T>
void WriteList(XMLDataItem& item, const std::vector<T>& list) {
  for (const T& record : list) library::WriteRecord<Layout>(item, kSaveFailure, record);
}

// The bytes of an element that carries raw item bytes, in place where they
// can be (ElementBytesView); malformed base64 is code 1.
std::string_view ElementBytes(xml::Node element, const char* name, std::string& storage) {
  const std::optional<std::string_view> bytes = xml::ElementBytesView(element, storage);
  if (!bytes) Fail(std::string("Invalid base64 content in <") + name + ">");
  return *bytes;
}

std::string_view AsText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace

CutFile LoadCutFile(platform::ByteCursor& cursor) {
  CutFile cut;
  const size_t start = cursor.Position();
  const size_t terminator = AsText(cursor.Take(cursor.Remaining())).find(kTerminator);
  if (terminator == std::string_view::npos) Fail("NC terminator '*M0*' missing");
  cursor.Seek(start);
  cut.ncData = AsText(cursor.Take(terminator + kTerminator.size()));

  CutFile::Report& r = cut.report;
  ReportCounts counts;
  Decode<HeaderRecord>(cursor, r, counts);
  DecodeList<AttributeRecord>(cursor, counts.attributes, r.attributes);
  DecodeList<LabelRecord>(cursor, counts.labels, r.labels);
  DecodeList<OverrideRecord>(cursor, counts.overrides, r.overrides);
  cursor.RequireRecords(counts.models, OrderModelRecord::kSize);
  r.orderModels.resize(static_cast<size_t>(counts.models));
  for (auto& model : r.orderModels) {
    int16_t sizes = 0;
    int16_t options = 0;
    Decode<OrderModelRecord>(cursor, model, sizes, options);
    DecodeList<OptionRecord>(cursor, options, model.options);
    DecodeList<SizeRecord>(cursor, sizes, model.sizes);
  }
  cut.labellerData = AsText(cursor.Take(cursor.Remaining()));
  return cut;
}

void SaveCutFile(XMLDataItem& item, const CutFile& cut) {
  // Everything that can refuse the document is checked before a byte is
  // written: the reader splits the item at the first terminator, and a
  // wrapped count would make it take what follows as other records.
  const std::string_view nc = cut.ncData;
  if (!nc.ends_with(kTerminator)) Fail("NC terminator '*M0*' missing at the end of <NCData>");
  if (nc.find(kTerminator) != nc.size() - kTerminator.size())
    Fail("<NCData> holds the NC terminator '*M0*' before its end");
  const CutFile::Report& r = cut.report;
  ReportCounts counts{Count16(r.overrides.size(), "Cut overrides"), Count16(r.attributes.size(), "Cut attributes"),
                      Count16(r.labels.size(), "Cut labels"), Count16(r.orderModels.size(), "Cut ordered models")};
  for (const auto& model : r.orderModels) {
    Count16(model.options.size(), "options of a Cut ordered model");
    Count16(model.sizes.size(), "sizes of a Cut ordered model");
  }

  item.WriteExact(nc.data(), nc.size(), kSaveFailure);
  library::WriteRecord<HeaderRecord>(item, kSaveFailure, r, counts);
  WriteList<AttributeRecord>(item, r.attributes);
  WriteList<LabelRecord>(item, r.labels);
  WriteList<OverrideRecord>(item, r.overrides);
  for (const auto& model : r.orderModels) {
    const auto sizes = static_cast<int16_t>(model.sizes.size());
    const auto options = static_cast<int16_t>(model.options.size());
    library::WriteRecord<OrderModelRecord>(item, kSaveFailure, model, sizes, options);
    WriteList<OptionRecord>(item, model.options);
    WriteList<SizeRecord>(item, model.sizes);
  }
  if (!cut.labellerData.empty())
    item.WriteExact(cut.labellerData.data(), cut.labellerData.size(), kSaveFailure);
}

CutReader::CutReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void CutReader::Convert() {
  xml::Node root = AppendRoot("Cut");
  // The cut file is taken from the item's bytes in place; its NC and
  // labeller data are views of them until the item is closed at the end.
  platform::ByteCursor cursor(RestOfItem());
  CutFile cut = LoadCutFile(cursor);

  xml::SetElementBytes(AppendElement(root, "NCData"), cut.ncData);
  xml::Node report = AppendElement(root, "Report");
  AttributeEmitter emitter(report);
  HeaderRecord::Attributes(emitter, cut.report);
  EmitList<AttributeRecord>(*this, report, cut.report.attributes);
  EmitList<LabelRecord>(*this, report, cut.report.labels);
  EmitList<OverrideRecord>(*this, report, cut.report.overrides);
  for (auto& model : cut.report.orderModels) {
    xml::Node element = AppendElement(report, "OrderModel");
    AttributeEmitter modelEmitter(element);
    OrderModelRecord::Attributes(modelEmitter, model);
    EmitList<OptionRecord>(*this, element, model.options);
    EmitList<SizeRecord>(*this, element, model.sizes);
  }
  xml::SetElementBytes(AppendElement(root, "LabellerData"), cut.labellerData);
}

CutWriter::CutWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void CutWriter::Convert() {
  xml::Node root = RequireRoot("Cut");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  CutFile cut;
  xml::Node nc = SelectSingleNode(root, "NCData");
  if (!nc) Fail("Missing required <NCData> element");
  // Plain NC text is written from the document's own text, not copied.
  std::string ncStorage;
  cut.ncData = ElementBytes(nc, "NCData", ncStorage);
  // Without a report the header stays zero and no records follow.
  if (xml::Node report = SelectSingleNode(root, "Report")) {
    CutFile::Report& r = cut.report;
    AttributeParser parser(report);
    HeaderRecord::Attributes(parser, r);
    r.attributes = ParseList<AttributeRecord, CutFile::Attribute>(*this, report);
    r.labels = ParseList<LabelRecord, CutFile::Label>(*this, report);
    r.overrides = ParseList<OverrideRecord, CutFile::Override>(*this, report);
    for (xml::Node element : SelectNodes(report, "OrderModel")) {
      CutFile::OrderModel& model = r.orderModels.emplace_back();
      AttributeParser modelParser(element);
      OrderModelRecord::Attributes(modelParser, model);
      model.options = ParseList<OptionRecord, CutFile::Option>(*this, element);
      model.sizes = ParseList<SizeRecord, CutFile::Size>(*this, element);
    }
  }
  std::string labellerStorage;
  xml::Node labeller = SelectSingleNode(root, "LabellerData");
  if (labeller) cut.labellerData = ElementBytes(labeller, "LabellerData", labellerStorage);
  SaveCutFile(*this, cut);
  // The item now holds the NC and labeller bytes, which the two texts (most
  // of the document) were read from in place: they are freed before the
  // item is stored, which takes as much memory again.
  xml::DropElementContent(nc);
  xml::DropElementContent(labeller);
}

}  // namespace tsln2xml
