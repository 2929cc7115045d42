#pragma once
// Annotation libraries (data type 2): store records <-> "Annotation"
// documents.
//
// Store layout: a 42-byte header (two 20-byte comments, entry count: int16),
// then per entry a 24-byte entry record (category: 20-byte text; symbol
// number and height: int8; order count: int16) followed at once by its
// orders: a format byte, then start and end (int8 each) for the slice
// formats, a length (int16) and that many bytes of text for "Constant", and
// nothing for the others ("Symbol" takes number and height from the entry).
//
// Special categories are stored in the user's language and carried in the
// document in English; the construct category is stored as "#CONSTRUCT".

#include <memory>

#include "framework/xml_data_item.h"
#include "model/annotation_library.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class AnnotationReader : public XMLReader {
 public:
  AnnotationReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class AnnotationWriter : public XMLWriter {
 public:
  AnnotationWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The library in an open item, or nullptr when any record cannot be read.
std::shared_ptr<Tessaline::AnnotationLibrary> LoadAnnotationLibrary(XMLDataItem& item);
// Writes the library's records; a refused write or a count beyond 32767
// fails with code 1.
void SaveAnnotationLibrary(XMLDataItem& item, const Tessaline::AnnotationLibrary& library);

// What follows an order's format byte, by its format code.
enum class AnnotationOrderKind { kSimple, kFixed, kConstant, kSymbol };
AnnotationOrderKind KindOfAnnotationFormat(uint8_t format);

// A stored category in its English form when it is one of the special
// categories (DEFAULT, MARKER, LABEL) in the user's language.
Tessaline::FixedText EnglishCategory(const Tessaline::FixedText& stored);
// A category in its stored form: the construct category becomes "#CONSTRUCT".
Tessaline::FixedText StoredCategory(const Tessaline::FixedText& category);

// The code table of "Format".
const xml::EnumNameTable<uint8_t>& AnnotationFormatNames();

}  // namespace tsln2xml
