#include "framework/item_enumeration.h"

#include <cstdio>
#include <ctime>
#include <new>

#include "core/data_types.h"
#include "core/exception.h"
#include "platform/code_page.h"
#include "platform/paths.h"
#include "store/item_lookup.h"
#include "store/item_store.h"
#include "xml/attributes.h"
#include "xml/schema.h"

namespace tsln2xml {
namespace {

static_assert(sizeof(int) == sizeof(int32_t));

constexpr int32_t kNoSuchCode = 10;        // never listed
constexpr size_t kMaxUserName = 40;        // "string40" of the list schema
constexpr const char* kServiceFailure = "COM Error in EnumerateItemsHelper.";

size_t CodePoints(std::string_view utf8) {
  size_t n = 0;
  for (char c : utf8)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

// A user as written in the list: a name that fails the check is written
// empty, and so is one longer than the list's 40 characters (cut, it could
// name another user, and whole it would make the list invalid).
std::string UserText(const char* ansi) {
  if (!PassesUserNameCheck(ansi)) return {};
  std::string utf8 = platform::AnsiToUtf8(ansi);
  if (CodePoints(utf8) > kMaxUserName) return {};
  return utf8;
}

void AppendItem(xml::Document& doc, xml::Node root, const store::ItemLookup& lookup, const std::string& itemName,
                const std::string& typeName) {
  xml::Node item = doc.CreateElement("DataItem", "");
  if (!item || !xml::AppendChild(root, item))
    throw XmlServiceError(hresult::kOutOfMemory, "Out of memory building the item list");
  xml::SetAttributeUtf8(item, "Name", platform::AnsiToUtf8(itemName));
  xml::SetAttributeUtf8(item, "DataType", typeName);
  xml::SetAttribute(item, "Size", lookup.ItemDataSize());
  xml::SetAttributeUtf8(item, "Created", FormatItemTime(lookup.ItemCreationTime()));
  xml::SetAttributeUtf8(item, "CreatedUser", UserText(lookup.ItemCreatedUser()));
  xml::SetAttributeUtf8(item, "Modified", FormatItemTime(lookup.ItemLastModTime()));
  xml::SetAttributeUtf8(item, "ModifiedUser", UserText(lookup.ItemLastModUser()));
  xml::SetAttributeUtf8(item, "PreviousModified", FormatItemTime(lookup.ItemPrevModTime()));
  xml::SetAttributeUtf8(item, "PreviousModifiedUser", UserText(lookup.ItemPrevModUser()));
}

void AppendItemsOfType(xml::Document& doc, xml::Node root, const std::string& storagePath, int32_t code,
                       const std::string& typeName) {
  store::ItemLookup lookup;
  std::string itemName;
  int32_t result = lookup.LookupItemData(code, storagePath, itemName, "*", 0);
  while (result == store::kLookupDelivered) {
    AppendItem(doc, root, lookup, itemName, typeName);
    result = lookup.LookupItemData(code, storagePath, itemName, "*", 1);
  }
  // A catalog that cannot be read must not pass for an empty one: the list
  // would look complete without its items.
  if (result == store::kCatalogError || result == store::kPathTooLong)
    throw Tsln2XmlException(kItemOpenFailure, result,
                            "Could not read item catalog " + std::string(CatalogFileName(code)) + ": " +
                                lookup.LastError());
}

}  // namespace

TypeSelection AllDataTypes() {
  TypeSelection selection;
  for (const DataTypeInfo& t : DataTypes()) selection.emplace(t.code, t.name);
  return selection;
}

TypeSelection DataTypesOf(std::span<const int32_t> codes) {
  TypeSelection selection;
  for (int32_t code : codes) selection.emplace(code, std::string(DataTypeName(code)));
  return selection;
}

TypeSelection AllDataTypesBut(std::span<const int32_t> codes) {
  TypeSelection selection = AllDataTypes();
  for (int32_t code : codes) selection.erase(code);
  return selection;
}

std::span<const int32_t> CallerCodes(const int* codes, int count) {
  if (!codes || count <= 0) return {};
  return {reinterpret_cast<const int32_t*>(codes), static_cast<size_t>(count)};
}

std::string FormatItemTime(int32_t seconds) {
  const std::time_t t = seconds;
  std::tm tm{};
  if (!gmtime_r(&t, &tm)) return "1970-01-01T00:00:00Z";  // not reached for 32-bit times
  char text[80];  // room for any int field, as the compiler counts
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

bool PassesUserNameCheck(std::string_view name) {
  if (!name.empty() && name.front() == '-') return false;
  const bool doubleByte = platform::IsDoubleByteCodePage(platform::ActiveCodePage());
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (doubleByte && platform::IsDBCSLeadByte(c)) {
      ++i;  // a double-byte character passes, trail byte included
      continue;
    }
    const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    const bool space = c == ' ' || (c >= '\t' && c <= '\r');
    if (!letterOrDigit && !space && c != '-' && c != '\\' && c != '_') return false;
  }
  return true;
}

xml::Document BuildItemList(const TypeSelection& selection, std::string_view areaRoot, std::string_view areaName,
                            const char* schemaFileName) {
  try {
    xml::Document doc;
    xml::Node root = doc.CreateElement("ArrayOfDataItem", "");
    if (!root) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory building the item list");
    doc.SetRoot(root);
    xml::SetAttributeUtf8(root, "version", "1.0");

    // Joined as given: no colon after a one-letter root here. Never cut: a
    // path too long for a catalog fails when the catalog is looked for.
    const std::string storagePath = std::string(areaRoot) + std::string(areaName);
    for (const auto& [code, name] : selection)
      if (code != kNoSuchCode) AppendItemsOfType(doc, root, storagePath, code, name);

    if (schemaFileName) xml::ValidateAgainstSchemaFile(doc, schemaFileName);
    return doc;
  } catch (const XmlServiceError& e) {
    throw Tsln2XmlException(kXmlServiceFailure, e.HResult(), kServiceFailure);
  }
}

TypeSelection SelectDataTypes(TypeFilter filter, std::span<const int32_t> codes) {
  switch (filter) {
    case TypeFilter::kAll: return AllDataTypes();
    case TypeFilter::kOnly: return DataTypesOf(codes);
    case TypeFilter::kAllBut: return AllDataTypesBut(codes);
  }
  return {};
}

}  // namespace tsln2xml
