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

}  // namespace

// A user as written in the list: a name that fails the check is written
// empty, and so is one longer than the list's 40 characters (cut, it could
// name another user, and whole it would make the list invalid).
std::string UserText(const char* ansi) {
  if (!PassesUserNameCheck(ansi)) return {};
  std::string utf8 = platform::AnsiToUtf8(ansi);
  if (CodePoints(utf8) > kMaxUserName) return {};
  return utf8;
}

namespace {

// The list document written as text while the catalogs are read: each
// item's element is written and freed before the next one is read, so a list
// holds no more than its text, however many items it has.
class ListWriter {
 public:
  ListWriter() : doc_(xml::Document::Streamed()) {
    root_ = doc_.CreateElement("ArrayOfDataItem", "");
    if (!root_) throw XmlServiceError(hresult::kOutOfMemory, "Out of memory building the item list");
    doc_.SetRoot(root_);
    xml::SetAttributeUtf8(root_, "version", "1.0");
  }

  void Add(const store::ItemAttributes& attributes, const std::string& typeName) {
    xml::Node item = doc_.CreateElement("DataItem", "");
    if (!item || !xml::AppendChild(root_, item))
      throw XmlServiceError(hresult::kOutOfMemory, "Out of memory building the item list");
    // The element before is closed now and its text written: it goes.
    if (last_) {
      xmlUnlinkNode(last_);
      xmlFreeNode(last_);
    }
    last_ = item;
    xml::SetAttributeUtf8(item, "Name", platform::AnsiToUtf8(attributes.name));
    xml::SetAttributeUtf8(item, "DataType", typeName);
    xml::SetAttribute(item, "Size", attributes.size);
    xml::SetAttributeUtf8(item, "Created", FormatItemTime(attributes.created));
    xml::SetAttributeUtf8(item, "CreatedUser", UserText(attributes.createdUser.c_str()));
    xml::SetAttributeUtf8(item, "Modified", FormatItemTime(attributes.modified));
    xml::SetAttributeUtf8(item, "ModifiedUser", UserText(attributes.modifiedUser.c_str()));
    xml::SetAttributeUtf8(item, "PreviousModified", FormatItemTime(attributes.previousModified));
    xml::SetAttributeUtf8(item, "PreviousModifiedUser", UserText(attributes.previousModifiedUser.c_str()));
  }

  std::string Finish(size_t& longestText) { return doc_.FinishText(longestText); }

 private:
  xml::Document doc_;
  xml::Node root_ = nullptr;
  xml::Node last_ = nullptr;
};

void VisitItemsOfType(const std::string& storagePath, int32_t code, const std::string& typeName,
                      const ItemVisitor& visit) {
  store::ItemLookup lookup;
  const int32_t result = lookup.ForEachItem(code, storagePath, "*",
                                            [&](const store::ItemAttributes& item) { visit(item, typeName); });
  // A catalog that cannot be read must not pass for an empty one: the list
  // would look complete without its items.
  if (result == store::kCatalogError || result == store::kPathTooLong)
    throw Tsln2XmlException(kItemOpenFailure, result,
                            "Could not read item catalog " + std::string(CatalogFileName(code)) + ": " +
                                lookup.LastError());
}

}  // namespace

void VisitListedItems(const TypeSelection& selection, std::string_view areaRoot, std::string_view areaName,
                      const ItemVisitor& visit) {
  // Joined as given: no colon after a one-letter root here. Never cut: a
  // path too long for a catalog fails when the catalog is looked for.
  const std::string storagePath = std::string(areaRoot) + std::string(areaName);
  for (const auto& [code, name] : selection)
    if (code != kNoSuchCode) VisitItemsOfType(storagePath, code, name, visit);
}

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

std::string ItemListText(const TypeSelection& selection, std::string_view areaRoot, std::string_view areaName,
                         const char* schemaFileName) {
  try {
    ListWriter list;
    VisitListedItems(selection, areaRoot, areaName,
                     [&list](const store::ItemAttributes& item, const std::string& type) { list.Add(item, type); });
    size_t longestText = 0;
    std::string text = list.Finish(longestText);
    if (schemaFileName) xml::ValidateTextAgainstSchemaFile(text, longestText, schemaFileName);
    return text;
  } catch (const XmlServiceError& e) {
    throw Tsln2XmlException(kXmlServiceFailure, e.HResult(), kServiceFailure);
  } catch (const xml::NotStreamable&) {
    throw Tsln2XmlException(kXmlServiceFailure, hresult::kFail, kServiceFailure);
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
