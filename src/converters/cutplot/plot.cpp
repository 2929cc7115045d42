#include "converters/cutplot/plot.h"

#include <array>
#include <cstdio>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "model/record_io.h"
#include "model/plot_file.h"
#include "platform/byte_cursor.h"
#include "platform/byte_order.h"
#include "xml/attributes.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using Tessaline::FixedText;
using Tessaline::PlotFile;
using Point = PlotFile::Point;
using platform::ByteCursor;

constexpr int16_t kDataType = 22;
const char* const kInvalidPlot = "Error invalid plot file.";
const char* const kMissingPage1 = "Error invalid plot file.  Missing TAG_REPORT_DATA_PG1";
const char* const kWriteFailure = "Error writing Plot";
constexpr std::string_view kSignature = "GENPTV1";

enum Tag : uint16_t {
  kTagHeader = 0xEFBE,
  kTagHeadAnnotation = 0x0100,
  kTagHeadAnnotationsEnd = 0x01FF,
  kTagMarkerBorder = 0x0200,
  kTagSpliceMarks = 0x0201,
  kTagMatchingMarks = 0x0202,
  kTagMarksEnd = 0x02FF,
  kTagPieces = 0x0300,
  kTagPointList = 0x0301,
  kTagBoxPoint = 0x0302,
  kTagPieceConnect = 0x0303,
  kTagStartPos = 0x0304,
  kTagLiftPlunge = 0x0305,
  kTagPieceEnd = 0x03FF,
  kTagSelectPen = 0x0400,
  kTagSelectKnife = 0x0401,
  kTagLineTypeSel = 0x0410,
  kTagPieceAnnotation = 0x0500,
  kTagPieceAnnotationsEnd = 0x05FF,
  kTagReportPage1 = 0x0600,
  kTagReportPage2 = 0x0601,
  kTagReportOverride = 0x0602,
  kTagReportModels = 0x0603,
  kTagReportEnd = 0x06FF,
  kTagEnd = 0xFFFF,
};

// The types that the reader takes as records of their own, at the top level
// and inside a piece's run; an <UnknownTag> of such a type would not read
// back as one.
bool KnownTopLevel(uint16_t type) {
  switch (type) {
    case kTagHeader: case kTagHeadAnnotation: case kTagHeadAnnotationsEnd: case kTagMarkerBorder:
    case kTagSpliceMarks: case kTagMatchingMarks: case kTagMarksEnd: case kTagPieces: case kTagPieceAnnotation:
    case kTagPieceAnnotationsEnd: case kTagReportPage1: case kTagReportPage2: case kTagReportOverride:
    case kTagReportModels: case kTagReportEnd: case kTagEnd:
      return true;
    default: return false;
  }
}
bool KnownInPiece(uint16_t type) {
  return (type >= kTagPointList && type <= kTagLiftPlunge) || type == kTagPieceEnd || type == kTagSelectPen ||
         type == kTagSelectKnife || type == kTagLineTypeSel;
}

constexpr size_t kPointSize = 8;
constexpr size_t kAttPointSize = 10;
constexpr size_t kAnnotationHeadSize = 30;
constexpr size_t kMax16 = 65535;
constexpr size_t kPieceBoxSize = 20;
constexpr size_t kMaxPieces = kMax16 / kPieceBoxSize;  // the piece section's size is 16 bits

// ---------------------------------------------------------------- walkers
// A record's fields are described once, each with its offset in the record
// and its attribute name (nullptr: a field that is no attribute, such as a
// count the writer fills in), and walked over the record's bytes or over an
// element's attributes.

template <class Codec>  // RecordDecoder or RecordEncoder
class BytesWalk {
 public:
  explicit BytesWalk(Codec& codec) : codec_(codec) {}
  template <class T>
  void Field(size_t at, const char*, T& value) { codec_.Int(at, value); }
  void Text(size_t at, const char*, FixedText& text) { codec_.Text(at, text, Tessaline::kAsIs); }
  void Child(size_t at, const char*, Point& p) {
    codec_.Int(at, p.x);
    codec_.Int(at + 4, p.y);
  }
  template <size_t N>
  void Counts(size_t at, const char*, std::array<uint16_t, N>& counts) {
    for (size_t i = 0; i < N; ++i) codec_.Int(at + 2 * i, counts[i]);
  }

 private:
  Codec& codec_;
};

void SetPoint(xml::Node element, const char* x, const char* y, const Point& p) {
  xml::SetAttribute(element, x, int64_t{p.x});
  xml::SetAttribute(element, y, int64_t{p.y});
}

Point GetPoint(xml::Node element, const char* x, const char* y) {
  return {xml::GetAttributeInt32(element, x, 0), xml::GetAttributeInt32(element, y, 0)};
}

class AttributesOut {
 public:
  AttributesOut(XMLReader& reader, xml::Node element) : reader_(reader), element_(element) {}
  template <class T>
  void Field(size_t, const char* name, T& value) {
    if (!name) return;
    if constexpr (std::is_floating_point_v<T>)
      xml::SetAttribute(element_, name, static_cast<double>(value));
    else
      xml::SetAttribute(element_, name, static_cast<int64_t>(value));
  }
  void Text(size_t, const char* name, FixedText& text) { xml::SetAttributeText(element_, name, text.str()); }
  void Child(size_t, const char* name, Point& p) { SetPoint(reader_.AppendElement(element_, name), "X", "Y", p); }
  // Unsigned 16-bit values separated by single blanks.
  template <size_t N>
  void Counts(size_t, const char* name, std::array<uint16_t, N>& counts) {
    std::string list;
    for (uint16_t c : counts) {
      if (!list.empty()) list += ' ';
      list += std::to_string(c);
    }
    xml::SetAttributeUtf8(element_, name, list);
  }

 private:
  XMLReader& reader_;
  xml::Node element_;
};

// The child `name` of `parent`, or "Missing required <name> element".
xml::Node Required(const XMLWriter& writer, xml::Node parent, const char* name) {
  xml::Node child = writer.SelectSingleNode(parent, name);
  if (!child) Fail(std::string("Missing required <") + name + "> element");
  return child;
}

class AttributesIn {
 public:
  AttributesIn(const XMLWriter& writer, xml::Node element) : writer_(writer), element_(element) {}
  template <class T>
  void Field(size_t, const char* name, T& value) {
    if (!name) return;
    if constexpr (std::is_floating_point_v<T>)
      value = xml::GetAttributeDouble(element_, name, value);
    else
      value = static_cast<T>(xml::GetAttributeInteger(element_, name, value, std::numeric_limits<T>::min(),
                                                      std::numeric_limits<T>::max()));
  }
  void Text(size_t, const char* name, FixedText& text) {
    text.FromText(xml::GetAttributeText(element_, name), Tessaline::kAsIs);
  }
  void Child(size_t, const char* name, Point& p) { p = GetPoint(Required(writer_, element_, name), "X", "Y"); }
  // Missing values are 0; more than N fail.
  template <size_t N>
  void Counts(size_t, const char* name, std::array<uint16_t, N>& counts) {
    counts.fill(0);
    const std::string list = xml::GetAttributeUtf8(element_, name).value_or("");
    size_t n = 0;
    for (size_t pos = 0; pos < list.size();) {
      const size_t start = list.find_first_not_of(" \t\r\n", pos);
      if (start == std::string::npos) break;
      const size_t end = std::min(list.find_first_of(" \t\r\n", start), list.size());
      if (n == N) Fail(std::string("Too many values in ") + name + " (at most " + std::to_string(N) + ")");
      counts[n++] = static_cast<uint16_t>(xml::ConvertToInteger(std::string_view(list).substr(start, end - start), 0, 65535));
      pos = end;
    }
  }

 private:
  const XMLWriter& writer_;
  xml::Node element_;
};

// ---------------------------------------------------------------- layouts

constexpr std::array<const char*, 4> kExtentNames = {"MinX", "MinY", "MaxX", "MaxY"};

template <class Io>
void Extent(Io& io, size_t at, std::array<int32_t, 4>& extent) {
  for (size_t i = 0; i < extent.size(); ++i) io.Field(at + 4 * i, kExtentNames[i], extent[i]);
}

struct HeaderLayout {
  static constexpr size_t kSize = 140;
  template <class Io>
  static void Walk(Io& io, PlotFile::Header& h) {
    static constexpr std::array<const char*, 10> kDefaults = {
        "DefaultCharacterSize", "DefaultInterBoxsize", "DefaultGradeBoxsize", "TopSeparation", "BottomSeparation",
        "LeftSeparation",       "RightSeparation",     "ScissorSeparation",   "AbsoluteX",     "AbsoluteY"};
    io.Text(0, "Signature", h.signature);
    io.Text(8, "PlotName", h.plotName);
    io.Field(30, "PlotFlags", h.plotFlags);
    io.Field(32, "PlotSource", h.plotSource);
    Extent(io, 34, h.extent);
    io.Field(50, nullptr, h.headAnnotations);
    io.Field(52, nullptr, h.pieceAnnotations);
    io.Field(54, nullptr, h.pieces);
    io.Text(58, "NumBytesPc", h.numBytesPc);
    for (size_t i = 0; i < kDefaults.size(); ++i) io.Field(70 + 4 * i, kDefaults[i], h.defaults[i]);
    io.Field(110, "CutForce", h.cutForce);
    io.Field(111, "TabForce", h.tabForce);
    io.Field(112, "CutLength", h.cutLength);
    io.Field(116, "TabLength", h.tabLength);
    for (size_t i = 0; i < h.positions.size(); ++i) io.Field(120 + 4 * i, nullptr, h.positions[i]);
  }
};

struct AnnotationLayout {
  static constexpr size_t kSize = kAnnotationHeadSize;
  template <class Io>
  static void Walk(Io& io, PlotFile::AnnotationHead& a) {
    io.Field(0, "Length", a.length);
    io.Field(2, "Flags", a.flags);
    io.Field(4, "InternalType", a.internalType);
    io.Field(5, "LabelOrigin", a.labelOrigin);
    Extent(io, 6, a.extent);
    io.Child(22, "Point", a.position);
  }
};

struct MatchingMarksLayout {
  static constexpr size_t kSize = 24;
  template <class Io>
  static void Walk(Io& io, PlotFile::MatchingMarks& m) {
    io.Child(0, "Start", m.start);
    io.Child(8, "End", m.end);
    io.Field(16, "Spacing", m.spacing);
    io.Field(20, "Size", m.size);
  }
};

struct PieceBoxLayout {
  static constexpr size_t kSize = kPieceBoxSize;
  template <class Io>
  static void Walk(Io& io, PlotFile::PieceBox& b) {
    Extent(io, 0, b.extent);
    io.Field(16, "PieceOffset", b.pieceOffset);
  }
};

struct ReportPage1Layout {
  static constexpr size_t kSize = 146;
  template <class Io>
  static void Walk(Io& io, PlotFile::ReportPage1& r) {
    io.Text(0, "MarkerName", r.markerName);
    io.Text(21, "OrderNumber", r.orderNumber);
    io.Text(42, "Description", r.description);
    io.Field(64, "PaperWidth", r.paperWidth);
    io.Field(72, "PaperLength", r.paperLength);
    io.Field(92, "Rotation", r.rotation);
    io.Field(94, "ScaleX", r.scaleX);
    io.Field(96, "ScaleY", r.scaleY);
    io.Text(98, "NotchTable", r.notchTable);
    io.Text(119, "MarkerPlotParam", r.markerPlotParam);
    io.Field(140, "NumOverrides", r.numOverrides);
    io.Field(142, "NumModels", r.numModels);
    io.Field(144, "PerimTool", r.perimTool);
  }
};

struct ReportPage2Layout {
  static constexpr size_t kSize = 406;
  template <class Io>
  static void Walk(Io& io, PlotFile::ReportPage2& r) {
    static constexpr std::array<const char*, 14> kTotals = {
        "ClothWidth", "ClothLength", "Utilization", "Area",           "PlaidRepeat",       "PlaidOffset",
        "StripeRepeat", "StripeOffset", "TotalPerim", "TotStraightPerim", "TotCurvedPerim", "TotInternalLength",
        "TotStraightILength", "TotCurvedILength"};
    static constexpr std::array<const char*, 5> kNames = {"LayLimits", "Matching", "Annotation", "BlockBuffer",
                                                          "OrderName"};
    io.Text(0, "OrderNumber", r.orderNumber);
    io.Text(21, "Description", r.description);
    io.Text(42, "Complete", r.complete);
    for (size_t i = 0; i < kTotals.size(); ++i) io.Field(46 + 8 * i, kTotals[i], r.totals[i]);
    for (size_t i = 0; i < kNames.size(); ++i) io.Text(158 + 21 * i, kNames[i], r.names[i]);
    io.Field(264, "TotalSizes", r.totalSizes);
    io.Counts(266, "PtAttrCnt", r.ptAttrCnt);
    io.Counts(292, "NotchTypeCnt", r.notchTypeCnt);
    io.Counts(302, "IntlCnt", r.intlCnt);
    io.Counts(354, "Tool", r.tool);
  }
};

struct ReportOverrideLayout {
  static constexpr size_t kSize = 64;
  template <class Io>
  static void Walk(Io& io, PlotFile::ReportOverride& o) {
    io.Text(0, "Piece", o.piece);
    io.Text(21, "LeftRight", o.leftRight);
    io.Text(23, "OverrideType", o.overrideType);
    io.Text(35, "Size", o.size);
    io.Text(42, "Model", o.model);
  }
};

// A model of the order: the record, then its options, then its sizes (the
// size count comes first in the record).
struct OrderModelLayout {
  static constexpr size_t kSize = 128;
  template <class Io>
  static void Walk(Io& io, PlotFile::OrderModel& m) {
    io.Text(0, "ModName", m.modName);
    io.Text(21, "AltName", m.altName);
    io.Text(42, "DynAltName", m.dynAltName);
    io.Text(63, "SizeCode", m.sizeCode);
    io.Field(84, "ModelNumber", m.modelNumber);
    io.Field(86, "AddPieceBundle", m.addPieceBundle);
    io.Field(88, nullptr, m.sizes);
    io.Text(90, "FabricType", m.fabricType);
    io.Field(96, nullptr, m.options);
    io.Field(98, "ShStX", m.shStX);
    io.Field(102, "ShStY", m.shStY);
    io.Field(106, "OrderFlags", m.orderFlags);
  }
};

struct ModelOptionLayout {
  static constexpr size_t kSize = 7;
  template <class Io>
  static void Walk(Io& io, PlotFile::ModelOption& o) { io.Text(0, "Name", o.name); }
};

struct ModelSizeLayout {
  static constexpr size_t kSize = 50;
  template <class Io>
  static void Walk(Io& io, PlotFile::ModelSize& s) {
    io.Text(0, "Size", s.size);
    io.Field(8, "Quant", s.quant);
    io.Text(10, "Cutdown", s.cutdown);
    io.Text(17, "Halfpiece", s.halfpiece);
    io.Text(24, "BaseSize", s.baseSize);
    io.Field(32, "Direction", s.direction);
  }
};

// The piece records that hold a point list: a uint16 count, for some two
// bytes (each an attribute, or a byte not converted), then the points.
struct PointRecord {
  uint16_t tag;
  const char* element;
  const char* byte1;
  const char* byte2;
};
constexpr PointRecord kPointRecords[] = {
    {kTagBoxPoint, "BoxPoint", "Flags", "InternalType"},
    {kTagPieceConnect, "PieceConnect", "InternalType", nullptr},
    {kTagStartPos, "StartPos", nullptr, nullptr},
    {kTagLiftPlunge, "LiftPlunge", nullptr, nullptr},
};
const PointRecord* PointRecordOfTag(uint16_t tag) {
  for (const PointRecord& r : kPointRecords)
    if (r.tag == tag) return &r;
  return nullptr;
}
const PointRecord* PointRecordOfElement(std::string_view name) {
  for (const PointRecord& r : kPointRecords)
    if (name == r.element) return &r;
  return nullptr;
}

// ---------------------------------------------------------------- reading

std::string HexOf(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

// Walks the records of a plot held in memory and appends their elements.
class PlotStreamReader {
 public:
  PlotStreamReader(XMLReader& reader, ByteCursor& cursor, xml::Node root)
      : reader_(reader), cursor_(cursor), root_(root) {}

  void Walk() {
    if (cursor_.AtEnd()) Fail(kInvalidPlot);
    bool first = true;
    while (!cursor_.AtEnd()) {
      const uint16_t type = cursor_.U16();
      const uint16_t size = cursor_.U16();
      if (first && type != kTagHeader) Fail(kInvalidPlot);
      first = false;
      switch (type) {
        case kTagHeader: {
          // A header without the signature is not a plot file of this format
          // (and the document would not import).
          PlotFile::Header header;
          Decode<HeaderLayout>(header);
          std::string_view signature = header.signature.str();
          while (signature.starts_with(' ')) signature.remove_prefix(1);
          while (signature.ends_with(' ')) signature.remove_suffix(1);
          if (signature != kSignature) Fail(kInvalidPlot);
          Emit<HeaderLayout>(Append(root_, "PlotHeader"), header);
          break;
        }
        case kTagHeadAnnotation: Annotation("HeadAnnotation"); break;
        case kTagPieceAnnotation: Annotation("PieceAnnotation"); break;
        case kTagHeadAnnotationsEnd:
        case kTagMarksEnd:
        case kTagPieceAnnotationsEnd:
        case kTagReportEnd: cursor_.Skip(size); break;
        case kTagMarkerBorder: {
          const uint16_t count = cursor_.U16();
          Points(Append(root_, "MarkerBorder"), count);
          break;
        }
        case kTagSpliceMarks: {
          const uint16_t count = cursor_.U16();
          xml::Node marks = Append(root_, "SpliceMarks");
          xml::SetAttribute(marks, "Flags", int64_t{cursor_.U16()});
          Points(marks, count);
          break;
        }
        case kTagMatchingMarks: DecodeInto<MatchingMarksLayout, PlotFile::MatchingMarks>(Append(root_, "MatchingMarks")); break;
        case kTagPieces: Pieces(size); break;
        case kTagReportPage1: {
          PlotFile::ReportPage1 page;
          Decode<ReportPage1Layout>(page);
          report_ = Append(root_, "Report");
          Emit<ReportPage1Layout>(report_, page);
          reportModels_ = page.numModels;
          break;
        }
        case kTagReportPage2: DecodeInto<ReportPage2Layout, PlotFile::ReportPage2>(Report()); break;
        case kTagReportOverride:
          DecodeInto<ReportOverrideLayout, PlotFile::ReportOverride>(Append(Report(), "ReportOverride"));
          break;
        case kTagReportModels: OrderModels(); break;
        case kTagEnd: return;
        default: Unknown(root_, type, size); break;
      }
    }
  }

 private:
  xml::Node Append(xml::Node parent, const char* name) { return reader_.AppendElement(parent, name); }

  template <class Layout, class Record>
  void Decode(Record& record) {
    RecordDecoder decoder(cursor_.Take(Layout::kSize));
    BytesWalk walk(decoder);
    Layout::Walk(walk, record);
  }
  template <class Layout, class Record>
  void Emit(xml::Node element, Record& record) {
    AttributesOut out(reader_, element);
    Layout::Walk(out, record);
  }
  template <class Layout, class Rec>
  void DecodeInto(xml::Node element) {
    Rec record;
    Decode<Layout>(record);
    Emit<Layout>(element, record);
  }

  // The report that page 2, overrides and models belong to.
  xml::Node Report() {
    if (!report_) Fail(kMissingPage1);
    return report_;
  }

  // `count` points of 8 bytes, as PlotPoint children.
  void Points(xml::Node parent, size_t count) {
    cursor_.RequireRecords(static_cast<int64_t>(count), kPointSize);
    for (size_t i = 0; i < count; ++i) {
      const int32_t x = cursor_.I32();
      const int32_t y = cursor_.I32();
      SetPoint(Append(parent, "PlotPoint"), "X", "Y", {x, y});
    }
  }

  void Annotation(const char* name) {
    PlotFile::AnnotationHead head;
    Decode<AnnotationLayout>(head);
    xml::Node element = Append(root_, name);
    Emit<AnnotationLayout>(element, head);
    if (head.flags & PlotFile::kHasDirection) {
      const int32_t dx = cursor_.I32();
      const int32_t dy = cursor_.I32();
      SetPoint(Append(element, "PlotDirection"), "DeltaX", "DeltaY", {dx, dy});
    }
    if (head.flags & PlotFile::kHasCharSize)
      xml::SetAttribute(Append(element, "PlotCharSize"), "CharSize", int64_t{cursor_.I32()});
    if (head.flags & PlotFile::kHasCharSet)
      xml::SetAttribute(Append(element, "PlotCharSet"), "CharSet", int64_t{cursor_.U16()});
    if (head.flags & PlotFile::kHasStrokes) {
      xml::Node strokes = Append(element, "Strokes");
      cursor_.RequireRecords(head.length, 4);
      for (uint16_t i = 0; i < head.length; ++i) {
        xml::Node list = Append(strokes, "PointList");
        xml::SetAttribute(list, "Flags", int64_t{cursor_.U16()});
        Points(list, cursor_.U16());
      }
    } else {
      const auto text = cursor_.Take(head.length);
      xml::SetElementBytes(Append(element, "Text"),
                           std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
    }
  }

  // The section's data is one bounding box per piece; a size that is not a
  // multiple of 20 leaves bytes that are skipped. Then comes each piece's run
  // of records.
  void Pieces(uint16_t size) {
    const size_t count = size / kPieceBoxSize;
    cursor_.RequireRecords(static_cast<int64_t>(count), kPieceBoxSize);
    std::vector<PlotFile::PieceBox> boxes(count);
    for (auto& box : boxes) Decode<PieceBoxLayout>(box);
    cursor_.Skip(size % kPieceBoxSize);
    for (auto& box : boxes) {
      xml::Node piece = Append(root_, "Piece");
      Emit<PieceBoxLayout>(Append(piece, "PieceBoundingBox"), box);
      PieceRecords(piece);
    }
  }

  void PieceRecords(xml::Node piece) {
    while (true) {
      const uint16_t type = cursor_.U16();
      const uint16_t size = cursor_.U16();
      switch (type) {
        case kTagPieceEnd: return;
        case kTagPointList: {
          xml::Node list = Append(piece, "PointList");
          xml::SetAttribute(list, "Flags", int64_t{cursor_.U16()});
          const uint16_t count = cursor_.U16();
          cursor_.RequireRecords(count, kAttPointSize);
          for (uint16_t i = 0; i < count; ++i) {
            const int32_t x = cursor_.I32();
            const int32_t y = cursor_.I32();
            xml::Node point = Append(list, "PlotPointAtt");
            SetPoint(point, "X", "Y", {x, y});
            xml::SetAttribute(point, "Flags", int64_t{cursor_.U16()});
          }
          break;
        }
        case kTagSelectPen: Append(piece, "SelectPen"); break;
        case kTagSelectKnife: Append(piece, "SelectKnife"); break;
        case kTagLineTypeSel: xml::SetAttribute(Append(piece, "LineTypeSel"), "Value", int64_t{cursor_.I8()}); break;
        default:
          if (const PointRecord* kind = PointRecordOfTag(type))
            PointRecordElement(piece, *kind);
          else
            Unknown(piece, type, size);
          break;
      }
    }
  }

  // A count, the record's two prefix bytes when it has them, the points.
  void PointRecordElement(xml::Node piece, const PointRecord& kind) {
    const uint16_t count = cursor_.U16();
    xml::Node element = Append(piece, kind.element);
    if (kind.byte1) xml::SetAttribute(element, kind.byte1, int64_t{cursor_.U8()});
    if (kind.byte2) xml::SetAttribute(element, kind.byte2, int64_t{cursor_.U8()});
    if (kind.byte1 && !kind.byte2) cursor_.Skip(1);
    Points(element, count);
  }

  // The models of the current report: as many as its page 1 says.
  void OrderModels() {
    xml::Node report = Report();
    if (reportModels_ < 0) Fail(platform::kReadPastEnd);
    cursor_.RequireRecords(reportModels_, OrderModelLayout::kSize);
    for (int16_t i = 0; i < reportModels_; ++i) {
      PlotFile::OrderModel model;
      Decode<OrderModelLayout>(model);
      xml::Node element = Append(report, "ReportOrderModel");
      Emit<OrderModelLayout>(element, model);
      cursor_.RequireRecords(model.options, ModelOptionLayout::kSize);
      for (int16_t k = 0; k < model.options; ++k)
        DecodeInto<ModelOptionLayout, PlotFile::ModelOption>(Append(element, "ModelOption"));
      cursor_.RequireRecords(model.sizes, ModelSizeLayout::kSize);
      for (int16_t k = 0; k < model.sizes; ++k)
        DecodeInto<ModelSizeLayout, PlotFile::ModelSize>(Append(element, "ModelList"));
    }
  }

  void Unknown(xml::Node parent, uint16_t type, uint16_t size) {
    const auto bytes = cursor_.Take(size);
    xml::Node tag = Append(parent, "UnknownTag");
    xml::SetAttribute(tag, "TagType", int64_t{type});
    xml::SetAttribute(tag, "Size", int64_t{size});
    xml::SetElementText(tag, HexOf(bytes));
  }

  XMLReader& reader_;
  ByteCursor& cursor_;
  xml::Node root_;
  xml::Node report_ = nullptr;
  int16_t reportModels_ = 0;
};

// ---------------------------------------------------------------- writing

// A count or size for a 16-bit unsigned field; more fail before anything
// wrapped is written.
uint16_t Count16u(size_t count, const std::string& what, size_t most = kMax16) {
  if (count > most) Fail("Too many " + what + ": " + std::to_string(count) + " (at most " + std::to_string(most) + ")");
  return static_cast<uint16_t>(count);
}

bool HexDecode(std::string_view text, std::string& out) {
  auto value = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out.clear();
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    const int v = value(c);
    if (v < 0) return false;
    if (high < 0) {
      high = v;
    } else {
      out += static_cast<char>(high << 4 | v);
      high = -1;
    }
  }
  return high < 0;
}

// The bytes of the plot on their way into the item. Records are collected and
// written in blocks; a write that the store refuses fails with "Error writing
// Plot". A position is the offset from the item's start of the next byte.
class PlotSink {
 public:
  explicit PlotSink(XMLDataItem& item) : item_(item) {}

  int32_t Position() const { return item_.Tell() + static_cast<int32_t>(pending_.size()); }

  // A record's head. The size is its data's byte count; where that does not
  // fit, its low 16 bits (the reader finds such records by their own layout).
  void Head(uint16_t tag, size_t size) {
    Put<uint16_t>(tag);
    Put<uint16_t>(static_cast<uint16_t>(size & 0xFFFF));
  }
  template <class T>
  void Put(T value) {
    platform::StoreLE<T>(Grow(sizeof(T)), value);
  }
  void PutBytes(std::string_view bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }
  template <class Layout, class Record>
  void PutRecord(Record& record) {
    RecordEncoder encoder(std::span<uint8_t>(Grow(Layout::kSize), Layout::kSize));
    BytesWalk walk(encoder);
    Layout::Walk(walk, record);
  }

  void Flush() {
    if (pending_.empty()) return;
    item_.WriteExact(pending_.data(), pending_.size(), kWriteFailure);
    pending_.clear();
  }
  void FlushWhenFull() {
    if (pending_.size() >= (1u << 20)) Flush();
  }
  void SeekTo(int32_t position) {
    Flush();
    if (item_.Seek(position, SEEK_SET) != 0) Fail(kWriteFailure);
  }

 private:
  uint8_t* Grow(size_t n) {
    pending_.resize(pending_.size() + n);
    return pending_.data() + pending_.size() - n;
  }

  XMLDataItem& item_;
  std::vector<uint8_t> pending_;
};

class PlotStreamWriter {
 public:
  PlotStreamWriter(XMLWriter& writer, PlotSink& sink) : writer_(writer), sink_(sink) {}

  void Header(PlotFile::Header& header) {
    sink_.Head(kTagHeader, HeaderLayout::kSize);
    sink_.PutRecord<HeaderLayout>(header);
  }

  void Annotation(xml::Node element) {
    const std::string kind = xml::LocalName(element);
    const uint16_t tag = kind == "HeadAnnotation"    ? kTagHeadAnnotation
                         : kind == "PieceAnnotation" ? kTagPieceAnnotation
                                                     : 0;
    if (!tag) Fail("Invalid Annotation tag");
    PlotFile::AnnotationHead head;
    AttributesIn in(writer_, element);
    AnnotationLayout::Walk(in, head);
    size_t size = kAnnotationHeadSize;
    Point direction;
    int32_t charSize = 0;
    uint16_t charSet = 0;
    if (head.flags & PlotFile::kHasDirection) {
      direction = GetPoint(Required(writer_, element, "PlotDirection"), "DeltaX", "DeltaY");
      size += 8;
    }
    if (head.flags & PlotFile::kHasCharSize) {
      charSize = xml::GetAttributeInt32(Required(writer_, element, "PlotCharSize"), "CharSize", 0);
      size += 4;
    }
    if (head.flags & PlotFile::kHasCharSet) {
      charSet = xml::GetAttributeUInt16(Required(writer_, element, "PlotCharSet"), "CharSet", 0);
      size += 2;
    }
    // The length is what is written: a disagreeing attribute would make the
    // reader misread every later record.
    std::string text;
    std::vector<std::pair<xml::Node, std::vector<xml::Node>>> strokes;
    if (head.flags & PlotFile::kHasStrokes) {
      for (xml::Node list : writer_.SelectNodes(Required(writer_, element, "Strokes"), "PointList")) {
        strokes.emplace_back(list, Points(list, "PlotPoint elements in a stroke"));
        size += 4 + kPointSize * strokes.back().second.size();
      }
      head.length = Count16u(strokes.size(), "strokes in an annotation");
    } else {
      xml::Node textElement = writer_.SelectSingleNode(element, "Text");
      if (textElement && !xml::GetElementBytes(textElement, text)) Fail("Invalid base64 data in <Text>");
      head.length = Count16u(text.size(), "text bytes in an annotation");
      size += text.size();
    }
    sink_.Head(tag, size);
    sink_.PutRecord<AnnotationLayout>(head);
    if (head.flags & PlotFile::kHasDirection) {
      sink_.Put(direction.x);
      sink_.Put(direction.y);
    }
    if (head.flags & PlotFile::kHasCharSize) sink_.Put(charSize);
    if (head.flags & PlotFile::kHasCharSet) sink_.Put(charSet);
    sink_.PutBytes(text);
    for (const auto& [list, points] : strokes) {
      sink_.Put(xml::GetAttributeUInt16(list, "Flags", 0));
      sink_.Put(static_cast<uint16_t>(points.size()));
      PutPoints(points);
    }
    sink_.FlushWhenFull();
  }

  // Marker border, splice marks and matching marks.
  void Marks(xml::Node element) {
    const std::string kind = xml::LocalName(element);
    if (kind == "MatchingMarks") {
      PlotFile::MatchingMarks marks;
      AttributesIn in(writer_, element);
      MatchingMarksLayout::Walk(in, marks);
      sink_.Head(kTagMatchingMarks, MatchingMarksLayout::kSize);
      sink_.PutRecord<MatchingMarksLayout>(marks);
      return;
    }
    const bool border = kind == "MarkerBorder";
    const auto points = Points(element, "PlotPoint elements in a <" + kind + ">");
    sink_.Head(border ? kTagMarkerBorder : kTagSpliceMarks, (border ? 2 : 4) + kPointSize * points.size());
    sink_.Put(static_cast<uint16_t>(points.size()));
    if (!border) sink_.Put(xml::GetAttributeUInt16(element, "Flags", 0));
    PutPoints(points);
  }

  // The pen, knife and line type records, in a piece or at the top level;
  // false for other elements.
  bool PenOrKnife(xml::Node element) {
    const std::string kind = xml::LocalName(element);
    if (kind == "SelectPen" || kind == "SelectKnife") {
      sink_.Head(kind == "SelectPen" ? kTagSelectPen : kTagSelectKnife, 0);
    } else if (kind == "LineTypeSel") {
      sink_.Head(kTagLineTypeSel, 1);
      sink_.Put(xml::GetAttributeInt8(element, "Value", 0));
    } else {
      return false;
    }
    return true;
  }

  // The piece section: the bounding boxes, then each piece's records in
  // document order, ended by 0x03FF.
  void Pieces(const std::vector<xml::Node>& pieces) {
    sink_.Head(kTagPieces, kPieceBoxSize * pieces.size());
    for (xml::Node piece : pieces) {
      PlotFile::PieceBox box;
      AttributesIn in(writer_, Required(writer_, piece, "PieceBoundingBox"));
      PieceBoxLayout::Walk(in, box);
      sink_.PutRecord<PieceBoxLayout>(box);
    }
    for (xml::Node piece : pieces) {
      for (xml::Node child : xml::ChildElements(piece, writer_.GetNamespace())) PieceRecord(child);
      sink_.Head(kTagPieceEnd, 0);
      sink_.FlushWhenFull();
    }
  }

  // A report's two pages, its overrides and, when it has models, their record.
  void Report(xml::Node report) {
    const auto overrides = writer_.SelectNodes(report, "ReportOverride");
    const auto models = writer_.SelectNodes(report, "ReportOrderModel");
    PlotFile::ReportPage1 page1;
    AttributesIn in(writer_, report);
    ReportPage1Layout::Walk(in, page1);
    page1.numModels = Count16(models.size(), "ReportOrderModel elements in a <Report>");
    PlotFile::ReportPage2 page2;
    ReportPage2Layout::Walk(in, page2);

    struct Model {
      xml::Node element;
      std::vector<xml::Node> options, sizes;
    };
    std::vector<Model> parts;
    size_t modelBytes = 0;
    for (xml::Node model : models) {
      parts.push_back({model, writer_.SelectNodes(model, "ModelOption"), writer_.SelectNodes(model, "ModelList")});
      Count16(parts.back().options.size(), "ModelOption elements in a <ReportOrderModel>");
      Count16(parts.back().sizes.size(), "ModelList elements in a <ReportOrderModel>");
      modelBytes += OrderModelLayout::kSize + ModelOptionLayout::kSize * parts.back().options.size() +
                    ModelSizeLayout::kSize * parts.back().sizes.size();
    }

    sink_.Head(kTagReportPage1, ReportPage1Layout::kSize);
    sink_.PutRecord<ReportPage1Layout>(page1);
    sink_.Head(kTagReportPage2, ReportPage2Layout::kSize);
    sink_.PutRecord<ReportPage2Layout>(page2);
    for (xml::Node element : overrides) {
      PlotFile::ReportOverride record;
      AttributesIn overrideIn(writer_, element);
      ReportOverrideLayout::Walk(overrideIn, record);
      sink_.Head(kTagReportOverride, ReportOverrideLayout::kSize);
      sink_.PutRecord<ReportOverrideLayout>(record);
    }
    if (parts.empty()) return;
    sink_.Head(kTagReportModels, modelBytes);
    for (const Model& part : parts) {
      PlotFile::OrderModel model;
      AttributesIn modelIn(writer_, part.element);
      OrderModelLayout::Walk(modelIn, model);
      model.options = static_cast<int16_t>(part.options.size());
      model.sizes = static_cast<int16_t>(part.sizes.size());
      sink_.PutRecord<OrderModelLayout>(model);
      for (xml::Node element : part.options) Put<ModelOptionLayout, PlotFile::ModelOption>(element);
      for (xml::Node element : part.sizes) Put<ModelSizeLayout, PlotFile::ModelSize>(element);
    }
  }

  // A record kept as its bytes. Its type must be one that the reader does
  // not take as a record of its own where it is written; its size is that of
  // the bytes.
  void Unknown(xml::Node element, bool inPiece) {
    const uint16_t type = xml::GetAttributeUInt16(element, "TagType", 0);
    if (inPiece ? KnownInPiece(type) : KnownTopLevel(type))
      Fail("<UnknownTag> with TagType " + std::to_string(type) + " would read back as a known record" +
           (inPiece ? " of a piece" : ""));
    std::string bytes;
    if (!HexDecode(xml::GetElementText(element), bytes)) Fail("Invalid hexadecimal data in <UnknownTag>");
    sink_.Head(type, Count16u(bytes.size(), "bytes in an <UnknownTag>"));
    sink_.PutBytes(bytes);
  }

  void End(uint16_t tag) { sink_.Head(tag, 0); }

 private:
  std::vector<xml::Node> Points(xml::Node parent, const std::string& what) {
    auto points = writer_.SelectNodes(parent, "PlotPoint");
    Count16u(points.size(), what);
    return points;
  }
  void PutPoints(const std::vector<xml::Node>& points) {
    for (xml::Node p : points) {
      const Point point = GetPoint(p, "X", "Y");
      sink_.Put(point.x);
      sink_.Put(point.y);
    }
  }
  template <class Layout, class Record>
  void Put(xml::Node element) {
    Record record;
    AttributesIn in(writer_, element);
    Layout::Walk(in, record);
    sink_.PutRecord<Layout>(record);
  }

  void PieceRecord(xml::Node child) {
    const std::string kind = xml::LocalName(child);
    if (kind == "PieceBoundingBox" || PenOrKnife(child)) return;
    if (kind == "UnknownTag") return Unknown(child, true);
    if (kind == "PointList") {
      const auto points = writer_.SelectNodes(child, "PlotPointAtt");
      Count16u(points.size(), "PlotPointAtt elements in a <PointList>");
      sink_.Head(kTagPointList, 4 + kAttPointSize * points.size());
      sink_.Put(xml::GetAttributeUInt16(child, "Flags", 0));
      sink_.Put(static_cast<uint16_t>(points.size()));
      for (xml::Node p : points) {
        const Point point = GetPoint(p, "X", "Y");
        sink_.Put(point.x);
        sink_.Put(point.y);
        sink_.Put(xml::GetAttributeUInt16(p, "Flags", 0));
      }
      return;
    }
    const PointRecord* record = PointRecordOfElement(kind);
    if (!record) return;  // nothing else belongs in a piece
    const auto points = Points(child, "PlotPoint elements in a <" + kind + ">");
    sink_.Head(record->tag, (record->byte1 ? 4 : 2) + kPointSize * points.size());
    sink_.Put(static_cast<uint16_t>(points.size()));
    if (record->byte1) sink_.Put(xml::GetAttributeUInt8(child, record->byte1, 0));
    if (record->byte1) sink_.Put(record->byte2 ? xml::GetAttributeUInt8(child, record->byte2, 0) : uint8_t{0});
    PutPoints(points);
  }

  XMLWriter& writer_;
  PlotSink& sink_;
};

}  // namespace

PlotReader::PlotReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void PlotReader::Convert() {
  xml::Node root = AppendRoot("Plot");
  // The whole rest of the item, walked in place.
  platform::ByteCursor cursor(RestOfItem());
  PlotStreamReader(*this, cursor, root).Walk();
}

PlotWriter::PlotWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void PlotWriter::Convert() {
  xml::Node root = RequireRoot("Plot");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  xml::Node headerElement = SelectSingleNode(root, "PlotHeader");
  if (!headerElement) Fail("Missing required <PlotHeader> element");
  if (xml::GetAttributeText(headerElement, "Signature") != kSignature) Fail("Incorrect <PlotHeader> signature");
  PlotFile::Header header;
  header.numBytesPc = FixedText(Tessaline::kPlotText10);
  AttributesIn headerIn(*this, headerElement);
  HeaderLayout::Walk(headerIn, header);

  // The sections, each in document order.
  std::vector<xml::Node> headAnnotations, marks, pens, pieces, pieceAnnotations, reports, unknown;
  for (xml::Node child : xml::ChildElements(root, GetNamespace())) {
    const std::string kind = xml::LocalName(child);
    if (kind == "HeadAnnotation") headAnnotations.push_back(child);
    else if (kind == "MarkerBorder" || kind == "SpliceMarks" || kind == "MatchingMarks") marks.push_back(child);
    else if (kind == "SelectPen" || kind == "SelectKnife" || kind == "LineTypeSel") pens.push_back(child);
    else if (kind == "Piece") pieces.push_back(child);
    else if (kind == "PieceAnnotation") pieceAnnotations.push_back(child);
    else if (kind == "Report") reports.push_back(child);
    else if (kind == "UnknownTag") unknown.push_back(child);
  }
  header.headAnnotations = Count16(headAnnotations.size(), "HeadAnnotation elements");
  header.pieceAnnotations = Count16(pieceAnnotations.size(), "PieceAnnotation elements");
  header.pieces = static_cast<int16_t>(Count16u(pieces.size(), "Piece elements", kMaxPieces));

  PlotSink sink(*this);
  PlotStreamWriter out(*this, sink);
  const int32_t start = sink.Position();
  out.Header(header);
  auto& positions = header.positions;
  for (xml::Node element : headAnnotations) {
    if (positions[0] < 0) positions[0] = sink.Position();
    out.Annotation(element);
  }
  out.End(kTagHeadAnnotationsEnd);
  for (xml::Node element : marks) {
    if (positions[1] < 0 && xml::LocalName(element) == "MarkerBorder") positions[1] = sink.Position();
    out.Marks(element);
  }
  for (xml::Node element : pens) out.PenOrKnife(element);
  out.End(kTagMarksEnd);
  if (!pieces.empty()) {
    positions[2] = sink.Position();
    out.Pieces(pieces);
  }
  for (xml::Node element : pieceAnnotations) {
    if (positions[3] < 0) positions[3] = sink.Position();
    out.Annotation(element);
  }
  out.End(kTagPieceAnnotationsEnd);
  for (xml::Node element : reports) {
    if (positions[4] < 0) positions[4] = sink.Position();
    out.Report(element);
  }
  out.End(kTagReportEnd);
  for (xml::Node element : unknown) out.Unknown(element, false);
  out.End(kTagEnd);
  // The header again, now with the section positions.
  sink.SeekTo(start);
  out.Header(header);
  sink.Flush();
}

}  // namespace tsln2xml
