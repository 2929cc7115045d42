#pragma once
// Models (data type 12): store records <-> "Model" documents.
//
// Store layout: a 100-byte header (two 40-byte comments; entry, default
// option and option counts: int16; format version: int8; shrink/stretch
// measure: uint8); the model-level entry groups; 7-byte default-option
// records; the table of 14-byte option records followed by each option's
// entry groups; from version 1 one 26-byte shrink record per entry group;
// from version 2 an 84-byte record of four library names.
//
// An entry group is a 29-byte entry record, then for operation "+" a
// piece-type byte, then for piece type Normal an 11-byte quantity record:
// 29, 30 or 41 bytes.

#include <memory>

#include "framework/xml_data_item.h"
#include "model/model.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class ModelReader : public XMLReader {
 public:
  ModelReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

class ModelWriter : public XMLWriter {
 public:
  ModelWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The model in an open item (format versions 0, 1 and 2), or nullptr when a
// record cannot be read or a count is negative or more than the item holds.
std::shared_ptr<Tessaline::Model> LoadModel(XMLDataItem& item);
// Writes the model as format version 2; model-level entries are stored with
// condition "=", an empty size and operation "+". A refused write or seek,
// or a count beyond 32767, fails with code 1.
void SaveModel(XMLDataItem& item, const Tessaline::Model& model);

// The code tables: "Condition", "Operation", "PieceType", "HalfPiece" and
// "ShrinkStretchMeasure".
const xml::EnumNameTable<uint8_t>& ConditionNames();
const xml::EnumNameTable<uint8_t>& OperationNames();
const xml::EnumNameTable<uint8_t>& ModelPieceTypeNames();
const xml::EnumNameTable<uint8_t>& HalfPieceNames();
const xml::EnumNameTable<uint8_t>& ShrinkStretchMeasureNames();

}  // namespace tsln2xml
