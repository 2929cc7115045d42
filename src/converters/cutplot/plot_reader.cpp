// The plot's stream reader: its records, in stream order, as elements.

#include <span>
#include <string>
#include <vector>

#include "converters/cutplot/plot.h"
#include "converters/cutplot/plot_layouts.h"
#include "platform/byte_cursor.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using namespace plot;
using platform::ByteCursor;

const char* const kInvalidPlot = "Error invalid plot file.";
const char* const kMissingPage1 = "Error invalid plot file.  Missing TAG_REPORT_DATA_PG1";

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
    RecordWalk walk(decoder);
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

}  // namespace

PlotReader::PlotReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void PlotReader::Convert() {
  xml::Node root = AppendRoot("Plot");
  // The whole rest of the item, walked in place.
  platform::ByteCursor cursor(RestOfItem());
  PlotStreamReader(*this, cursor, root).Walk();
}

}  // namespace tsln2xml
