#pragma once
// User environments (data type 19): one 42-byte DISK_USER_ENVIRON record <->
// "UserEnvironment" documents. There is no model: both converters work on the
// raw record.
//
// Store layout: notation, precision (int16 each), seam allowance (int32 in
// 1/10000), alteration, bundle (int16 each), option word (uint16: overwrite,
// icon menu, lay rule, grade method and fill piece, each the word masked with
// its field's mask, not shifted), block-fuse and reduce-fuse amounts (int32
// in 1/10000 each), 20 reserved bytes.

#include <cstdint>
#include <memory>

#include "framework/xml_data_item.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

struct DISK_USER_ENVIRON {
  int16_t notation = 0;
  int16_t precision = 0;
  int32_t seamAllowance = 0;  // 1/10000 units
  int16_t alteration = 0;
  int16_t bundle = 0;
  uint16_t options = 0;
  int32_t blockFuseAmount = 0;   // 1/10000 units
  int32_t reduceFuseAmount = 0;  // 1/10000 units
};

// Releases a record allocated by NewUserEnvironment.
struct UserEnvironmentDeleter {
  void operator()(DISK_USER_ENVIRON* record) const { delete record; }
};

// A zero-filled record under shared ownership.
std::shared_ptr<DISK_USER_ENVIRON> NewUserEnvironment();

class UserEnvironmentReader : public XMLReader {
 public:
  UserEnvironmentReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// Writes the item only when the document's Name is the item's name, byte for
// byte ("Inconsistent name supplied", code 1).
class UserEnvironmentWriter : public XMLWriter {
 public:
  UserEnvironmentWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName);
  void Convert() override;
};

// The record in an open item, or nullptr when the item is shorter than it.
std::shared_ptr<DISK_USER_ENVIRON> LoadUserEnvironment(XMLDataItem& item);
// Writes the record; a refused write fails with code 1.
void SaveUserEnvironment(XMLDataItem& item, const DISK_USER_ENVIRON& record);

// The code tables of the 16-bit fields and of the option word's fields (the
// masked values, unshifted).
const xml::EnumNameTable<int16_t>& NotationNames();
const xml::EnumNameTable<int16_t>& UserAlterationNames();
const xml::EnumNameTable<int16_t>& BundleNames();
const xml::EnumNameTable<uint16_t>& OverwriteNames();
const xml::EnumNameTable<uint16_t>& IconMenuNames();
const xml::EnumNameTable<uint16_t>& LayRuleNames();
const xml::EnumNameTable<uint16_t>& GradeMethodNames();
const xml::EnumNameTable<uint16_t>& FillPieceNames();

}  // namespace tsln2xml
