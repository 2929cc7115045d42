#pragma once
// Size code libraries (data type 24): store records <-> "SizeCode" documents.
//
// Store layout: a 2-byte entry count, then per entry a 14-byte entry record
// (actual size, ordered size: 6-byte texts; alteration count: int16) followed
// at once by its 14-byte alteration records (name: 10-byte text; amount:
// int32 in 1/10000).

#include <memory>

#include "framework/xml_data_item.h"
#include "model/size_code_library.h"

namespace tsln2xml {

class SizeCodeReader : public XMLReader {
 public:
  SizeCodeReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class SizeCodeWriter : public XMLWriter {
 public:
  SizeCodeWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The library in an open item, or nullptr when any record cannot be read.
std::shared_ptr<Tessaline::SizeCodeLibrary> LoadSizeCodeLibrary(XMLDataItem& item);
// Writes the library's records into the item being written.
void SaveSizeCodeLibrary(XMLDataItem& item, const Tessaline::SizeCodeLibrary& library);

}  // namespace tsln2xml
