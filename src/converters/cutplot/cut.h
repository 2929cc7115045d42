#pragma once
// Cut files (data type 4): store items <-> "Cut" documents.
//
// Item layout: the NC data up to and including the first "*M0*"; a 364-byte
// report header whose counts at 356-362 are those of the override,
// attribute, label and ordered model records; the attribute (4 bytes),
// label (6), override (70) and ordered model (128) records in that order,
// each model record followed by its option (7) and then its size (50)
// records; the labeller data, every byte that remains.

#include "framework/xml_data_item.h"
#include "model/cut_file.h"
#include "platform/byte_cursor.h"

namespace tsln2xml {

class CutReader : public XMLReader {
 public:
  CutReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;

 protected:
  // Mostly one text of megabytes: validated faster as a tree.
  bool StreamsDocument() const override { return false; }
};

class CutWriter : public XMLWriter {
 public:
  CutWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The cut file under `cursor` (from its position to its end), its NC and
// labeller data views of the cursor's bytes. Fails with code 1: "NC
// terminator '*M0*' missing" without a terminator, "Error reading past end
// of file." when a record or a count runs past the end.
Tessaline::CutFile LoadCutFile(platform::ByteCursor& cursor);
// Writes the cut file's bytes into the item being written; the NC data must
// end with its terminator and hold it nowhere else (code 1).
void SaveCutFile(XMLDataItem& item, const Tessaline::CutFile& cut);

}  // namespace tsln2xml
