// Item lists over a hostile catalog. The first byte names a data type with a
// catalog (its low five bits, as in fuzz_support.h), the rest is the file
// that becomes that type's catalog in a scratch storage area: any SQLite
// file, damaged or written by another program. Over it run
//   the list of the whole area and the list of the one type (they must agree,
//     and either succeed with a well-formed document or fail with code 5);
//   a read of every item the lookup delivers (each name can name an item,
//     no size exceeds the file that holds it);
//   the export of every such item for types with a reader;
//   a write of one item, which must read back as written when it succeeds
//     and fail with the store's code 5 when it does not.
// A catalog the store cannot trust (tables, views or triggers of its own,
// another text encoding, rows of the wrong kinds) is refused with code 5.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "api/item_lists.h"
#include "core/data_types.h"
#include "fuzz/fuzz_support.h"
#include "store/item_lookup.h"
#include "store/marker_file.h"
#include "xml/libxml.h"

namespace {

using namespace tsln2xml;

// An item name with a byte beyond ASCII, which a catalog of another text
// encoding would not give back.
constexpr std::string_view kWrittenName = "fuzz\xC9";
constexpr uint8_t kWrittenBytes[] = {0x46, 0x55, 0x5A, 0x5A, 0x00, 0xFF};

// Whatever the previous input left: the catalog, its journal, WAL and shared
// memory files, documents written.
void Clear(const std::string& area) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(area, ec)) std::filesystem::remove(entry.path(), ec);
}

bool WriteFile(const std::string& path, std::span<const uint8_t> bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

void ExpectListFailure(int16_t code, int rc) {
  BSTR message = nullptr;
  GetLastErrorStringXML(&message);
  const bool said = platform::BstrView(message).starts_with(u"Could not read item catalog ");
  SysFreeString(message);
  if (rc != 5 || GetLastErrorXML() != 5 || !said)
    fuzz::Finding("a list fails otherwise than with the store's code 5", code);
}

void ExpectWellFormed(int16_t code, BSTR text) {
  const std::u16string_view view = platform::BstrView(text);
  std::string bytes = "\xFF\xFE";
  bytes.resize(2 + view.size() * 2);
  static_assert(std::endian::native == std::endian::little);
  std::memcpy(bytes.data() + 2, view.data(), view.size() * 2);
  if (!xml::ParseUntrusted(bytes.data(), bytes.size(), nullptr))
    fuzz::Finding("a list is not a well-formed document", code, std::u16string(view));
}

struct Listed {
  std::string name;
  int32_t size;
};

// The items the lookup delivers; false when the catalog cannot be read.
bool Lookup(int16_t code, const std::string& area, std::vector<Listed>& items) {
  store::ItemLookup lookup;
  std::string name;
  int32_t result = lookup.LookupItemData(code, area, name, "*", 0);
  for (; result == store::kLookupDelivered; result = lookup.LookupItemData(code, area, name, "*", 1))
    items.push_back({name, lookup.ItemDataSize()});
  return result == store::kLookupNoMore;
}

// Reads an item as a conversion does; its bytes, or nothing when it cannot
// be opened.
bool ReadItem(int16_t code, const std::string& area, const std::string& name, std::vector<uint8_t>& bytes) {
  if (code == kMarkerDataType) return store::GetMarker(area, name, bytes) == store::kMarkerOk;
  store::ItemHandle* handle = nullptr;
  if (store::OpenItem(store::CatalogPath(area, code), name, store::kModeRead, "", handle, nullptr) != store::kStoreOk)
    return false;
  bytes.resize(static_cast<size_t>(store::GetItemSize(handle)));
  const size_t read = store::ReadItem(bytes.data(), 1, bytes.size(), handle);
  store::CloseItem("", "", handle);
  if (read != bytes.size()) fuzz::Finding("an item reads fewer bytes than its size", code);
  return true;
}

// Writes an item as an import does; the store's result.
int32_t WriteItem(int16_t code, const std::string& area, std::string_view name, std::span<const uint8_t> bytes) {
  if (code == kMarkerDataType) return store::PutMarker(area, name, bytes);
  store::ItemHandle* handle = nullptr;
  int32_t result = store::OpenItem(store::CatalogPath(area, code), name, store::kModeCreate, "", handle, nullptr);
  if (result != store::kStoreOk) return result;
  store::WriteItem(bytes.data(), 1, bytes.size(), handle);
  result = store::CommitItem(handle);
  store::CloseItem("", "", handle);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::QuietFailures();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int16_t code = data[0] & 0x1F;
  const char* catalogName = CatalogFileName(code);
  if (!catalogName) return 0;
  const std::string& area = fuzz::ScratchArea();
  Clear(area);
  const std::span<const uint8_t> file(data + 1, size - 1);
  if (!WriteFile(area + "/" + catalogName, file)) abort();

  BSTR whole = nullptr, ofType = nullptr;
  const int rcWhole = EnumerateItemsString("", area.c_str(), &whole, nullptr);
  const int codes[] = {code};
  const int rcOfType = EnumerateItemsToString(TypeFilter::kOnly, codes, 1, "", area.c_str(), &ofType, nullptr);
  if (rcWhole != rcOfType) fuzz::Finding("the whole area's list and the type's list disagree", code);
  if (rcWhole != 0) {
    ExpectListFailure(code, rcWhole);
  } else {
    // The area holds one catalog: both lists are the same document.
    if (platform::BstrView(whole) != platform::BstrView(ofType))
      fuzz::Finding("the whole area's list and the type's list differ", code);
    ExpectWellFormed(code, whole);
  }
  SysFreeString(whole);
  SysFreeString(ofType);

  std::vector<Listed> items;
  if (!Lookup(code, area, items) != (rcWhole != 0)) fuzz::Finding("the lookup and the list disagree", code);
  for (const Listed& item : items) {
    if (item.name.empty() || item.name.size() > store::kMaxItemName || item.name.find('\0') != std::string::npos)
      fuzz::Finding("a listed name cannot name an item", code);
    if (static_cast<uint32_t>(item.size) > file.size()) fuzz::Finding("a listed item is larger than its catalog", code);
  }

  for (const Listed& item : items) {
    std::vector<uint8_t> bytes;
    // A marker's listed size leaves out the head of its container.
    if (ReadItem(code, area, item.name, bytes) && code != kMarkerDataType &&
        bytes.size() != static_cast<uint32_t>(item.size))
      fuzz::Finding("an item reads another number of bytes than its listed size", code);
    if (HasReader(code)) {
      BSTR xml = nullptr;
      ConvertDataItemToXMLString(code, "", area.c_str(), item.name.c_str(), &xml, 0);
      SysFreeString(xml);
    }
  }

  // A write that reports success is stored and listed under its name (or
  // the spelling an item of that name had); one that fails says so with the
  // store's code.
  const int32_t written = WriteItem(code, area, kWrittenName, kWrittenBytes);
  if (written == store::kStoreOk) {
    std::vector<uint8_t> back;
    if (!ReadItem(code, area, std::string(kWrittenName), back) ||
        !std::equal(back.begin(), back.end(), std::begin(kWrittenBytes), std::end(kWrittenBytes)))
      fuzz::Finding("a write reported as done does not read back", code);
    // (A list may still refuse the catalog for another item's damaged row.)
    items.clear();
    const auto isWritten = [](const Listed& item) { return store::MatchesItemPattern(item.name, kWrittenName); };
    if (Lookup(code, area, items) && std::ranges::none_of(items, isWritten))
      fuzz::Finding("a write reported as done is not listed under its name", code);
  } else if (written != store::kCatalogError) {
    fuzz::Finding("a write into a catalog fails with another code than 5", code);
  }
  return 0;
}
