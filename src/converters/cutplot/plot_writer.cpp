// The plot's stream writer: the document's sections in their fixed order as
// records, then the header again with the section positions.

#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "converters/cutplot/plot.h"
#include "converters/cutplot/plot_layouts.h"
#include "platform/byte_order.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using namespace plot;

const char* const kWriteFailure = "Error writing Plot";

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
    RecordWalk walk(encoder);
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
