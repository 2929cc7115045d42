#include "converters/library/size_code.h"

#include <array>

#include "framework/attribute_io.h"
#include "model/record_io.h"

namespace tsln2xml {
namespace {

using Tessaline::SizeCodeLibrary;
using Entry = SizeCodeLibrary::Entry;
using Alteration = SizeCodeLibrary::Alteration;

constexpr size_t kEntryRecord = 14;
constexpr size_t kAlterationRecord = 14;
constexpr int16_t kDataType = 24;

template <class Io>
void EntryRecord(Io& io, Entry& e, int16_t& alterations) {
  io.Text(0, e.actualSize, Tessaline::kUpper);
  io.Text(6, e.orderedSize, Tessaline::kUpper);
  io.Int(12, alterations);
}

template <class Io>
void AlterationRecord(Io& io, Alteration& a) {
  io.Text(0, a.name, Tessaline::kUpper);
  io.Int(10, a.amount);
}

template <class Io>
void EntryAttributes(Io& io, Entry& e) {
  io.Text("ActualSize", e.actualSize, Tessaline::kUpper);
  io.Text("OrderedSize", e.orderedSize, Tessaline::kUpper);
}

template <class Io>
void AlterationAttributes(Io& io, Alteration& a) {
  io.Text("Name", a.name, Tessaline::kUpper);
  io.Scaled("Amount", a.amount, 10000.0);
}

}  // namespace

std::shared_ptr<SizeCodeLibrary> LoadSizeCodeLibrary(XMLDataItem& item) {
  auto library = std::make_shared<SizeCodeLibrary>();
  std::array<uint8_t, 2> header;
  if (!item.ReadExact(header.data(), header.size())) return nullptr;
  int16_t entries = 0;
  RecordDecoder(header).Int(0, entries);
  if (entries < 0) return nullptr;
  library->entries.reserve(static_cast<size_t>(entries));
  for (int16_t i = 0; i < entries; ++i) {
    std::array<uint8_t, kEntryRecord> record;
    if (!item.ReadExact(record.data(), record.size())) return nullptr;
    auto entry = std::make_shared<Entry>();
    int16_t alterations = 0;
    RecordDecoder decoder(record);
    EntryRecord(decoder, *entry, alterations);
    if (alterations < 0) return nullptr;
    entry->alterations.resize(static_cast<size_t>(alterations));
    for (auto& alteration : entry->alterations) {
      std::array<uint8_t, kAlterationRecord> alt;
      if (!item.ReadExact(alt.data(), alt.size())) return nullptr;
      RecordDecoder altDecoder(alt);
      AlterationRecord(altDecoder, alteration);
    }
    library->entries.push_back(std::move(entry));
  }
  return library;
}

void SaveSizeCodeLibrary(XMLDataItem& item, const SizeCodeLibrary& library) {
  const std::string failure = "Error writing SizeCode library";
  std::array<uint8_t, 2> header{};
  RecordEncoder(header).Int(0, Count16(library.entries.size(), "SizeCode entries"));
  item.WriteExact(header.data(), header.size(), failure);
  for (const auto& entry : library.entries) {
    std::array<uint8_t, kEntryRecord> record{};
    int16_t alterations = Count16(entry->alterations.size(), "alterations in a SizeCode entry");
    RecordEncoder encoder(record);
    EntryRecord(encoder, *entry, alterations);
    item.WriteExact(record.data(), record.size(), failure);
    for (auto alteration : entry->alterations) {
      std::array<uint8_t, kAlterationRecord> alt{};
      RecordEncoder altEncoder(alt);
      AlterationRecord(altEncoder, alteration);
      item.WriteExact(alt.data(), alt.size(), failure);
    }
  }
}

SizeCodeReader::SizeCodeReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void SizeCodeReader::Convert() {
  xml::Node root = AppendRoot("SizeCode");
  auto library = LoadSizeCodeLibrary(*this);
  if (!library) Fail("Unable to load SizeCode library");
  for (const auto& entry : library->entries) {
    xml::Node entryElement = AppendElement(root, "Entry");
    AttributeEmitter entryAttributes(entryElement);
    EntryAttributes(entryAttributes, *entry);
    for (auto& alteration : entry->alterations) {
      AttributeEmitter altAttributes(AppendElement(entryElement, "Alteration"));
      AlterationAttributes(altAttributes, alteration);
    }
  }
}

SizeCodeWriter::SizeCodeWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void SizeCodeWriter::Convert() {
  xml::Node root = RequireRoot("SizeCode");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  SizeCodeLibrary library;
  const auto entries = SelectNodes(root, "Entry");
  Count16(entries.size(), "SizeCode entries");
  library.entries.reserve(entries.size());
  for (xml::Node entryElement : entries) {
    auto entry = std::make_shared<Entry>();
    AttributeParser entryAttributes(entryElement);
    EntryAttributes(entryAttributes, *entry);
    const auto alterations = SelectNodes(entryElement, "Alteration");
    Count16(alterations.size(), "alterations in a SizeCode entry");
    entry->alterations.resize(alterations.size());
    for (size_t i = 0; i < alterations.size(); ++i) {
      AttributeParser altAttributes(alterations[i]);
      AlterationAttributes(altAttributes, entry->alterations[i]);
    }
    library.entries.push_back(std::move(entry));
  }
  SaveSizeCodeLibrary(*this, library);
}

}  // namespace tsln2xml
