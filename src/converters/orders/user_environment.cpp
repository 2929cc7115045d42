#include "converters/orders/user_environment.h"

#include "converters/library/library_records.h"

namespace tsln2xml {
namespace {

constexpr int16_t kDataType = 19;
constexpr double kScale = 10000.0;
constexpr int16_t kImperial = 1;  // the notation of a document that names none
const char* const kLoadFailure = "Unable to load UserEnvironment";
const char* const kSaveFailure = "Error writing UserEnvironment";

struct EnvironmentRecord {
  static constexpr size_t kSize = 42;
  template <class Io, class R>
  static void Walk(Io& io, R& record) {
    io.Int(0, record.notation);
    io.Int(2, record.precision);
    io.Int(4, record.seamAllowance);
    io.Int(8, record.alteration);
    io.Int(10, record.bundle);
    io.Int(12, record.options);
    io.Int(14, record.blockFuseAmount);
    io.Int(18, record.reduceFuseAmount);
  }
};

// One field of the option word: the word masked with `mask` is looked up as
// it is. Reading a document replaces the field's bits with the value's; bits
// outside every field stay zero in a record being built.
template <class Io>
void OptionField(Io& io, const char* name, uint16_t& word, uint16_t mask, const xml::EnumNameTable<uint16_t>& table) {
  uint16_t value = word & mask;
  io.Code(name, value, table);
  if constexpr (Io::kDecoding) word = static_cast<uint16_t>((word & ~mask) | (value & mask));
}

template <class Io>
void EnvironmentAttributes(Io& io, DISK_USER_ENVIRON& record) {
  io.Int("Precision", record.precision);
  io.Scaled("SeamAllowance", record.seamAllowance, kScale);
  io.Scaled("BlockFuseAmount", record.blockFuseAmount, kScale);
  io.Scaled("ReduceFuseAmount", record.reduceFuseAmount, kScale);
  io.Code("Notation", record.notation, NotationNames());
  io.Code("Alteration", record.alteration, UserAlterationNames());
  io.Code("Bundle", record.bundle, BundleNames());
  OptionField(io, "Overwrite", record.options, 0x0003, OverwriteNames());
  OptionField(io, "IconMenu", record.options, 0x0004, IconMenuNames());
  OptionField(io, "LayRule", record.options, 0x0618, LayRuleNames());
  OptionField(io, "FillPiece", record.options, 0x0080, FillPieceNames());
  OptionField(io, "GradeMethod", record.options, 0x0060, GradeMethodNames());
}

}  // namespace

const xml::EnumNameTable<int16_t>& NotationNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "Metric"}, {1, "Imperial"}};
  return table;
}

const xml::EnumNameTable<int16_t>& UserAlterationNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "Nested"}, {1, "Cumulative"}};
  return table;
}

const xml::EnumNameTable<int16_t>& BundleNames() {
  static const xml::EnumNameTable<int16_t> table{{0, "Marker"}, {1, "Model"}};
  return table;
}

const xml::EnumNameTable<uint16_t>& OverwriteNames() {
  static const xml::EnumNameTable<uint16_t> table{{0, "No"}, {1, "Yes"}, {2, "Prompt"}};
  return table;
}

const xml::EnumNameTable<uint16_t>& IconMenuNames() {
  static const xml::EnumNameTable<uint16_t> table{{0, "Off"}, {4, "On"}};
  return table;
}

// "None" is the lay rule of a zero field and of a writer given none.
const xml::EnumNameTable<uint16_t>& LayRuleNames() {
  static const xml::EnumNameTable<uint16_t> table{
      {0, "None"}, {8, "Force"}, {16, "Search"}, {512, "Slide"}, {1024, "Category"}};
  return table;
}

const xml::EnumNameTable<uint16_t>& GradeMethodNames() {
  static const xml::EnumNameTable<uint16_t> table{{0, "SmallToLarge"}, {32, "Cumulative"}, {64, "Incremental"}};
  return table;
}

// The bit set means off.
const xml::EnumNameTable<uint16_t>& FillPieceNames() {
  static const xml::EnumNameTable<uint16_t> table{{0, "On"}, {128, "Off"}};
  return table;
}

std::shared_ptr<DISK_USER_ENVIRON> NewUserEnvironment() {
  return std::shared_ptr<DISK_USER_ENVIRON>(new DISK_USER_ENVIRON{}, UserEnvironmentDeleter{});
}

std::shared_ptr<DISK_USER_ENVIRON> LoadUserEnvironment(XMLDataItem& item) {
  auto record = NewUserEnvironment();
  if (!library::ReadRecord<EnvironmentRecord>(item, *record)) return nullptr;
  return record;
}

void SaveUserEnvironment(XMLDataItem& item, const DISK_USER_ENVIRON& record) {
  library::WriteRecord<EnvironmentRecord>(item, kSaveFailure, record);
}

UserEnvironmentReader::UserEnvironmentReader(std::string_view areaRoot, std::string_view areaName,
                                             std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void UserEnvironmentReader::Convert() {
  auto record = LoadUserEnvironment(*this);
  if (!record) Fail(kLoadFailure);
  AttributeEmitter attributes(AppendRoot("UserEnvironment"));
  EnvironmentAttributes(attributes, *record);
}

UserEnvironmentWriter::UserEnvironmentWriter(std::string_view areaRoot, std::string_view areaName,
                                             std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void UserEnvironmentWriter::Convert() {
  xml::Node root = RequireRoot("UserEnvironment");
  if (xml::GetAttributeText(root, "Name") != ItemName()) Fail("Inconsistent name supplied");
  auto record = NewUserEnvironment();
  record->notation = kImperial;
  AttributeParser attributes(root);
  EnvironmentAttributes(attributes, *record);
  SaveUserEnvironment(*this, *record);
}

}  // namespace tsln2xml
