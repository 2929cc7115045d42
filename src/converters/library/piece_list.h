#pragma once
// Piece lists (data type 21): store records <-> "PieceList" documents.
//
// Store layout: an 82-byte header (two 40-byte comments, name count: int16),
// then one 20-byte, NUL-padded piece name per entry, in list order.

#include <memory>

#include "framework/xml_data_item.h"
#include "model/piece_list.h"

namespace tsln2xml {

class PieceListReader : public XMLReader {
 public:
  PieceListReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class PieceListWriter : public XMLWriter {
 public:
  PieceListWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The list in an open item, or nullptr when any record cannot be read.
std::shared_ptr<Tessaline::PieceList> LoadPieceList(XMLDataItem& item);
// Writes the list's records; a refused write or more than 32767 names fails
// with code 1.
void SavePieceList(XMLDataItem& item, const Tessaline::PieceList& list);

}  // namespace tsln2xml
