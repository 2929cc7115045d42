#pragma once
// Plot files (data type 22): the tagged record stream of a plot <-> "Plot"
// documents.
//
// Every record starts with a 4-byte head (uint16 tag type, uint16 size of the
// data that follows). The reader turns the records into elements in stream
// order and keeps records of unknown types as <UnknownTag> with their bytes in
// hexadecimal. The writer emits the sections in a fixed order (header, head
// annotations, marker marks, pieces, piece annotations, report, unknown tags,
// end) and then writes the header again with the position of each section.

#include "framework/xml_data_item.h"

namespace tsln2xml {

class PlotReader : public XMLReader {
 public:
  PlotReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class PlotWriter : public XMLWriter {
 public:
  PlotWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

}  // namespace tsln2xml
