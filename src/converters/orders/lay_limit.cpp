#include "converters/orders/lay_limit.h"

#include <algorithm>

#include "converters/library/library_records.h"
#include "converters/orders/flag_attributes.h"

namespace tsln2xml {
namespace {

using Tessaline::LayLimitLibrary;
using Entry = LayLimitLibrary::Entry;

constexpr int16_t kDataType = 6;
constexpr double kScale = 10000.0;
constexpr uint8_t kOriginal = 1;  // the flip code of an entry that names none
const char* const kLoadFailure = "Unable to load LayLimit library";
const char* const kSaveFailure = "Error writing LayLimit library";

// The option flags shown in a document, bit 4 upwards; bits 0 to 3 are
// neither shown nor written.
constexpr orders::FlagBit kOptions[] = {
    {"AllowInSplice", 4}, {"TiltInch", 5},  {"NoCut", 6},     {"NoInclude", 7},  {"NoPlot", 8},  {"OptionPiece", 9},
    {"FoldPiece", 10},    {"Rotate45", 11}, {"Rotate90", 12}, {"Rotate180", 13}, {"OneWay", 14}, {"Major", 15},
};
constexpr uint16_t kOptionBits = 0xFFF0;

struct HeaderRecord {
  static constexpr size_t kSize = 44;
  template <class Io, class L, class Count>
  static void Walk(Io& io, L& library, Count& count) {
    io.Text(0, library.comment1, Tessaline::kUpper);
    io.Text(20, library.comment2, Tessaline::kUpper);
    io.Int(40, library.spread);
    io.Int(41, library.bundling);
    io.Int(42, count);
  }
};

struct EntryRecord {
  static constexpr size_t kSize = 32;
  template <class Io, class E>
  static void Walk(Io& io, E& entry) {
    io.Text(0, entry.category, Tessaline::kUpper);
    io.Int(22, entry.flipCode);
    io.Int(24, entry.blockBufferRule);
    io.Int(30, entry.units);
    if constexpr (Io::kDecoding) {
      io.Int(20, entry.flags);
      io.Int(26, entry.cwTilt);  // both tilts until a tilt record says otherwise
      entry.ccwTilt = entry.cwTilt;
    } else {
      io.Int(20, static_cast<uint16_t>(entry.flags & kOptionBits));
      io.Int(26, std::min(entry.cwTilt, entry.ccwTilt));
    }
  }
};

struct TiltRecord {
  static constexpr size_t kSize = 8;
  template <class Io, class E>
  static void Walk(Io& io, E& entry) {
    io.Int(0, entry.cwTilt);
    io.Int(4, entry.ccwTilt);
  }
};

template <class Io>
void LibraryAttributes(Io& io, LayLimitLibrary& library) {
  library::CommentAttributes(io, library.comment1, library.comment2);
  io.Code("Spread", library.spread, LayLimitSpreadNames());
  io.Code("Bundling", library.bundling, LayLimitBundlingNames());
}

template <class Io>
void EntryAttributes(Io& io, Entry& entry) {
  io.Text("Category", entry.category, Tessaline::kUpper);
  io.Code("FlipCode", entry.flipCode, LayLimitFlipCodeNames());
  io.Int("BlockBufferRule", entry.blockBufferRule);
  io.Scaled("CWTilt", entry.cwTilt, kScale);
  io.Scaled("CCWTilt", entry.ccwTilt, kScale);
  io.Code("Units", entry.units, LayLimitUnitsNames());
}

}  // namespace

const xml::EnumNameTable<uint8_t>& LayLimitSpreadNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "SinglePly"}, {1, "FaceToFace"}, {2, "BookFold"}, {3, "Tubular"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& LayLimitBundlingNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {0, "AllBundleSameDirection"}, {1, "AllBundleAlternateDirection"}, {2, "SameSizeSameDirection"}};
  return table;
}

const xml::EnumNameTable<uint8_t>& LayLimitFlipCodeNames() {
  static const xml::EnumNameTable<uint8_t> table{
      {1, "Original"},         {2, "Rotate180cw"},  {3, "FlipX"},       {4, "Rotate180cwFlipX"},
      {5, "Rotate90ccwFlipX"}, {6, "Rotate90ccw"},  {7, "Rotate90cw"},  {8, "Rotate90cwFlipX"},
      {9, "Rotate45ccwFlipX"}, {10, "Rotate45ccw"}, {11, "Rotate45cw"}, {12, "Rotate45cwFlipX"},
  };
  return table;
}

const xml::EnumNameTable<uint8_t>& LayLimitUnitsNames() {
  static const xml::EnumNameTable<uint8_t> table{{0, "Distance"}, {1, "Angular"}};
  return table;
}

std::shared_ptr<LayLimitLibrary> LoadLayLimitLibrary(XMLDataItem& item) {
  auto library = std::make_shared<LayLimitLibrary>();
  int16_t count = 0;
  if (!library::ReadRecord<HeaderRecord>(item, *library, count)) return nullptr;
  if (!library::RecordsFit(item, count, EntryRecord::kSize)) return nullptr;
  library->entries.resize(static_cast<size_t>(count));
  for (Entry& entry : library->entries)
    if (!library::ReadRecord<EntryRecord>(item, entry)) return nullptr;
  // Older items end here. A tilt record that is cut short leaves its entry,
  // and every later one, with the entry record's tilt.
  if (item.Tell() < item.ItemSize())
    for (Entry& entry : library->entries)
      if (!library::ReadRecord<TiltRecord>(item, entry)) break;
  return library;
}

void SaveLayLimitLibrary(XMLDataItem& item, const LayLimitLibrary& library) {
  const int16_t count = Count16(library.entries.size(), "LayLimit entries");
  library::WriteRecord<HeaderRecord>(item, kSaveFailure, library, count);
  for (const Entry& entry : library.entries) library::WriteRecord<EntryRecord>(item, kSaveFailure, entry);
  for (const Entry& entry : library.entries) library::WriteRecord<TiltRecord>(item, kSaveFailure, entry);
}

LayLimitReader::LayLimitReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void LayLimitReader::Convert() {
  xml::Node root = AppendRoot("LayLimit");
  auto library = LoadLayLimitLibrary(*this);
  if (!library) Fail(kLoadFailure);
  AttributeEmitter rootAttributes(root);
  LibraryAttributes(rootAttributes, *library);
  for (Entry& entry : library->entries) {
    xml::Node entryElement = AppendElement(root, "Entry");
    AttributeEmitter entryAttributes(entryElement);
    EntryAttributes(entryAttributes, entry);
    AttributeEmitter optionAttributes(AppendElement(entryElement, "Options"));
    orders::FlagAttributes(optionAttributes, entry.flags, kOptions);
  }
}

LayLimitWriter::LayLimitWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void LayLimitWriter::Convert() {
  xml::Node root = RequireRoot("LayLimit");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  LayLimitLibrary library;
  AttributeParser rootAttributes(root);
  LibraryAttributes(rootAttributes, library);
  const auto entries = SelectNodes(root, "Entry");
  Count16(entries.size(), "LayLimit entries");
  library.entries.resize(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    Entry& entry = library.entries[i];
    // The schema allows an entry without options; the store has no way to
    // say "no options given", so the writer insists on them.
    xml::Node options = SelectSingleNode(entries[i], "Options");
    if (!options) Fail("Missing required <Options> element");
    AttributeParser optionAttributes(options);
    orders::FlagAttributes(optionAttributes, entry.flags, kOptions);
    entry.flipCode = kOriginal;
    AttributeParser entryAttributes(entries[i]);
    EntryAttributes(entryAttributes, entry);
  }
  SaveLayLimitLibrary(*this, library);
}

}  // namespace tsln2xml
