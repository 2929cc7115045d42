#pragma once
// The records of a plot file described once, for the plot's stream reader
// (plot_reader.cpp) and stream writer (plot_writer.cpp): the record tags, the
// fixed record layouts, and the two walks over a layout, one over a record's
// bytes and one over an element's attributes.
//
// A layout names each field once, with its offset in the record and its
// attribute name (nullptr: a field that is no attribute, such as a count the
// writer fills in):
//
//   struct MatchingMarksLayout {
//     static constexpr size_t kSize = 24;
//     template <class Io>
//     static void Walk(Io& io, PlotFile::MatchingMarks& m) {
//       io.Child(0, "Start", m.start);
//       io.Field(16, "Spacing", m.spacing);
//     }
//   };

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

#include "framework/attribute_io.h"
#include "framework/xml_data_item.h"
#include "model/plot_file.h"
#include "model/record_io.h"
#include "xml/attributes.h"

namespace tsln2xml::plot {

using Tessaline::FixedText;
using Tessaline::PlotFile;
using Point = PlotFile::Point;

inline constexpr int16_t kDataType = 22;
inline constexpr std::string_view kSignature = "GENPTV1";

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
inline bool KnownTopLevel(uint16_t type) {
  switch (type) {
    case kTagHeader: case kTagHeadAnnotation: case kTagHeadAnnotationsEnd: case kTagMarkerBorder:
    case kTagSpliceMarks: case kTagMatchingMarks: case kTagMarksEnd: case kTagPieces: case kTagPieceAnnotation:
    case kTagPieceAnnotationsEnd: case kTagReportPage1: case kTagReportPage2: case kTagReportOverride:
    case kTagReportModels: case kTagReportEnd: case kTagEnd:
      return true;
    default: return false;
  }
}
inline bool KnownInPiece(uint16_t type) {
  return (type >= kTagPointList && type <= kTagLiftPlunge) || type == kTagPieceEnd || type == kTagSelectPen ||
         type == kTagSelectKnife || type == kTagLineTypeSel;
}

inline constexpr size_t kPointSize = 8;
inline constexpr size_t kAttPointSize = 10;
inline constexpr size_t kAnnotationHeadSize = 30;
inline constexpr size_t kMax16 = 65535;
inline constexpr size_t kPieceBoxSize = 20;
inline constexpr size_t kMaxPieces = kMax16 / kPieceBoxSize;  // the piece section's size is 16 bits

// ---------------------------------------------------------------- walks

// A layout over a record's bytes, with the shared record codec
// (RecordDecoder or RecordEncoder).
template <class Codec>
class RecordWalk {
 public:
  explicit RecordWalk(Codec& codec) : codec_(codec) {}
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

inline void SetPoint(xml::Node element, const char* x, const char* y, const Point& p) {
  xml::SetAttribute(element, x, int64_t{p.x});
  xml::SetAttribute(element, y, int64_t{p.y});
}

inline Point GetPoint(xml::Node element, const char* x, const char* y) {
  return {xml::GetAttributeInt32(element, x, 0), xml::GetAttributeInt32(element, y, 0)};
}

// The child `name` of `parent`, or "Missing required <name> element".
inline xml::Node Required(const XMLWriter& writer, xml::Node parent, const char* name) {
  xml::Node child = writer.SelectSingleNode(parent, name);
  if (!child) Fail(std::string("Missing required <") + name + "> element");
  return child;
}

// A layout over an element's attributes, with the shared attribute walkers:
// AttributeEmitter (record to document; the reader appends a point's child
// element) or AttributeParser (document to record; the writer finds it).
// Texts are kept as they are; a point is a child element with X and Y; a
// list of counts is one attribute of unsigned 16-bit values separated by
// single blanks, of which a document may give fewer (the rest are 0) but not
// more.
template <class Attributes>
class AttributeWalk {
 public:
  using Item = std::conditional_t<Attributes::kDecoding, const XMLWriter, XMLReader>;
  AttributeWalk(Item& item, xml::Node element) : item_(item), element_(element), attributes_(element) {}

  template <class T>
  void Field(size_t, const char* name, T& value) {
    if (!name) return;
    if constexpr (std::is_floating_point_v<T>) {
      double wide = value;
      attributes_.Double(name, wide);
      value = static_cast<T>(wide);
    } else {
      attributes_.Int(name, value);
    }
  }
  void Text(size_t, const char* name, FixedText& text) { attributes_.Text(name, text, Tessaline::kAsIs); }
  void Child(size_t, const char* name, Point& p) {
    if constexpr (Attributes::kDecoding)
      p = GetPoint(Required(item_, element_, name), "X", "Y");
    else
      SetPoint(item_.AppendElement(element_, name), "X", "Y", p);
  }
  template <size_t N>
  void Counts(size_t, const char* name, std::array<uint16_t, N>& counts) {
    if constexpr (Attributes::kDecoding)
      ParseCounts(name, counts);
    else
      EmitCounts(name, counts);
  }

 private:
  template <size_t N>
  void EmitCounts(const char* name, const std::array<uint16_t, N>& counts) {
    std::string list;
    for (uint16_t c : counts) {
      if (!list.empty()) list += ' ';
      list += std::to_string(c);
    }
    xml::SetAttributeUtf8(element_, name, list);
  }
  template <size_t N>
  void ParseCounts(const char* name, std::array<uint16_t, N>& counts) {
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

  Item& item_;
  xml::Node element_;
  Attributes attributes_;
};

using AttributesOut = AttributeWalk<AttributeEmitter>;
using AttributesIn = AttributeWalk<AttributeParser>;

// ---------------------------------------------------------------- layouts

inline constexpr std::array<const char*, 4> kExtentNames = {"MinX", "MinY", "MaxX", "MaxY"};

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
inline constexpr PointRecord kPointRecords[] = {
    {kTagBoxPoint, "BoxPoint", "Flags", "InternalType"},
    {kTagPieceConnect, "PieceConnect", "InternalType", nullptr},
    {kTagStartPos, "StartPos", nullptr, nullptr},
    {kTagLiftPlunge, "LiftPlunge", nullptr, nullptr},
};
inline const PointRecord* PointRecordOfTag(uint16_t tag) {
  for (const PointRecord& r : kPointRecords)
    if (r.tag == tag) return &r;
  return nullptr;
}
inline const PointRecord* PointRecordOfElement(std::string_view name) {
  for (const PointRecord& r : kPointRecords)
    if (name == r.element) return &r;
  return nullptr;
}

}  // namespace tsln2xml::plot
