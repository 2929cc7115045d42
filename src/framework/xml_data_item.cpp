#include "framework/xml_data_item.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <limits>

#include "platform/code_page.h"
#include "platform/paths.h"
#include "store/item_path.h"
#include "xml/schema.h"

namespace tsln2xml {

XMLDataItem::XMLDataItem(std::string_view areaRoot, std::string_view areaName, std::string_view itemName,
                         const ItemFileEntry& entry)
    : storagePath_(platform::StoragePath(areaRoot, areaName)),
      itemName_(platform::Truncate(itemName, store::kMaxItemName)),
      entry_(entry),
      namespace_(std::string(xml::kSchemaNamespacePrefix) + std::string(DataTypeName(entry.code))) {
  directory_ = store::ItemDirectory(storagePath_, entry.code);
}

XMLDataItem::~XMLDataItem() { XMLDataItem::Close(); }

std::string XMLDataItem::ControlPath() const { return directory_ + entry_.controlFile; }

void XMLDataItem::OpenItemIn(int16_t mode, const char* failure) {
  const int32_t result =
      store::OpenItem(ControlPath(), itemName_, mode, entry_.itemFileTemplate, handle_, nullptr);
  if (result != store::kStoreOk) throw StoreFailure(result, failure);
  dataStart_ = store::TellItem(handle_);
}

Tsln2XmlException XMLDataItem::StoreFailure(int32_t result, const char* failure) const {
  const std::string detail = store::StoreFailureDetail(result, ControlPath());
  return Tsln2XmlException(kItemOpenFailure, result, detail.empty() ? failure : failure + (": " + detail));
}

void XMLDataItem::Close() {
  if (!handle_) return;
  store::CloseItem(ControlPath(), itemName_, handle_);
  handle_ = nullptr;
}

int32_t XMLDataItem::Tell() const { return handle_ ? store::TellItem(handle_) - dataStart_ : 0; }

// Only a position from the start is moved by the data start; one from the
// current position or the end is already where the caller means. Without an
// item there is nothing to seek in.
int32_t XMLDataItem::Seek(int32_t offset, int origin) {
  if (!handle_) return -1;
  const int64_t target = origin == SEEK_SET ? int64_t{dataStart_} + offset : offset;
  if (target > std::numeric_limits<int32_t>::max()) return -1;
  return store::SeekItem(handle_, static_cast<int32_t>(target), origin);
}

size_t XMLDataItem::Read(void* buffer, size_t bytes) { return handle_ ? store::ReadItem(buffer, 1, bytes, handle_) : 0; }

std::span<const uint8_t> XMLDataItem::RestOfItem() const { return store::PeekItem(handle_); }

size_t XMLDataItem::Write(const void* buffer, size_t bytes) {
  return handle_ ? store::WriteItem(buffer, 1, bytes, handle_) : 0;
}

int32_t XMLDataItem::ItemSize() const { return handle_ ? handle_->size - dataStart_ : 0; }

void XMLDataItem::Run() {
  try {
    Open();
    Convert();
    Finish();
    Close();
  } catch (const Tsln2XmlException&) {
    Close();
    throw;
  } catch (const xml::NotStreamable&) {
    Close();
    throw;
  } catch (const XmlServiceError& e) {
    Close();
    throw Tsln2XmlException(kXmlServiceFailure, e.HResult(), ServiceFailureMessage());
  } catch (const std::exception& e) {
    Close();
    std::cerr << e.what() << std::endl;
    throw Tsln2XmlException(kStandardLibrary, e.what());
  }
}

void XMLDataItem::Validate() { xml::ValidateDocument(document_); }

[[noreturn]] void DocumentTooLarge() {
  throw Tsln2XmlException(kContentUnusable, "The document is larger than " +
                                                std::to_string(xml::kMaxDocumentBytes >> 20) +
                                                " MB, the most a document may have");
}

namespace {

// A UTF-16 text holds a surrogate without its partner: not text a file could
// hold, so it is refused as a file with invalid UTF-8 is.
bool HasUnpairedSurrogate(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xDC00 && c <= 0xDFFF) return true;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
      ++i;
    }
  }
  return false;
}

// A document that did not load: `message`, with the bound it went beyond
// when that was the reason.
[[noreturn]] void NotLoaded(const std::string& message) {
  const char* why = xml::LastParseRefusal();
  throw Tsln2XmlException(kContentUnusable, why ? message + " (" + why + ")" : message);
}

}  // namespace

void XMLDataItem::LoadFile(const std::string& fileName, xml::Tree tree) {
  switch (document_.LoadFile(fileName, tree)) {
    case xml::LoadStatus::kOk:
      return;
    case xml::LoadStatus::kTooLarge:
      DocumentTooLarge();
    case xml::LoadStatus::kUnreadable:
      throw Tsln2XmlException(kContentUnusable, "xmlFile failed to Load");
    case xml::LoadStatus::kNotWellFormed:
      break;
  }
  NotLoaded("xmlFile failed to Load");
}

void XMLDataItem::LoadBytes(std::string_view bytes, xml::Tree tree) {
  if (bytes.size() > xml::kMaxDocumentBytes) DocumentTooLarge();
  if (!document_.LoadBytes(bytes, tree)) NotLoaded("xmlFile failed to Load");
}

void XMLDataItem::LoadString(std::u16string_view text, xml::Tree tree) {
  if (text.size() > xml::kMaxDocumentBytes / 2) DocumentTooLarge();
  if (HasUnpairedSurrogate(text)) throw Tsln2XmlException(kContentUnusable, "Unable to load XML String.");
  if (!document_.LoadUtf16(text, tree)) NotLoaded("Unable to load XML String.");
}

void XMLDataItem::SaveToFile(const std::string& fileName) {
  if (!document_.SaveFile(fileName))
    throw Tsln2XmlException(kXmlServiceFailure, hresult::kAccessDenied, "COM Error Saving XML.");
}

std::u16string XMLDataItem::SaveToString() { return document_.SerializeUtf16(); }

xml::Node XMLDataItem::CreateElement(std::string_view name) { return document_.CreateElement(name, namespace_); }

std::vector<xml::Node> XMLDataItem::SelectNodes(xml::Node parent, std::string_view name) const {
  return xml::SelectNodes(parent, name, namespace_);
}

xml::Node XMLDataItem::SelectSingleNode(xml::Node parent, std::string_view name) const {
  return xml::SelectSingleNode(parent, name, namespace_);
}

void XMLReader::Open() { OpenItemIn(store::kModeRead, "Could not open file"); }

std::optional<std::string> XMLReader::ConvertToText() {
  partialText_.reset();
  if (!StreamsDocument()) return std::nullopt;
  Document() = xml::Document::Streamed();
  size_t longestText = 0;
  std::string text;
  try {
    Run();
    text = Document().FinishText(longestText);
  } catch (const xml::NotStreamable&) {
    Document() = xml::Document();
    return std::nullopt;
  } catch (...) {
    KeepPartialText();
    throw;
  }
  const std::string nsUri = xml::NamespaceOf(Document().Root());
  Document() = xml::Document();  // the elements are not needed for the check
  if (text.empty()) throw Tsln2XmlException(kSchemaFailure, "XML Document not Loaded.");
  try {
    xml::ValidateDocumentText(text, longestText, nsUri);
  } catch (...) {
    partialText_ = std::move(text);
    throw;
  }
  return text;
}

void XMLReader::KeepPartialText() {
  size_t longestText = 0;
  try {
    partialText_ = Document().FinishText(longestText);
  } catch (...) {
    partialText_.reset();  // nothing to keep; the empty document below is written
  }
  Document() = xml::Document();
}

void XMLReader::SaveAsFarAsBuilt(const std::string& xmlFileName) {
  if (partialText_ && !partialText_->empty())
    (void)xml::WriteTextFile(xmlFileName, *partialText_);
  else
    (void)Document().SaveFile(xmlFileName);
}

void XMLReader::ToFile(const std::string& xmlFileName) {
  if (std::optional<std::string> text = ConvertToText()) {
    if (!xml::WriteTextFile(xmlFileName, *text)) {
      partialText_ = std::move(text);  // the whole document, for the caller's second try
      throw Tsln2XmlException(kXmlServiceFailure, hresult::kAccessDenied, "COM Error Saving XML.");
    }
    return;
  }
  Run();
  Validate();
  SaveToFile(xmlFileName);
}

std::string XMLReader::ToText() {
  if (std::optional<std::string> text = ConvertToText()) return std::move(*text);
  Run();
  Validate();
  return Document().SerializeUtf8();
}

std::u16string XMLReader::ToString() {
  if (std::optional<std::string> text = ConvertToText()) return xml::ToStringText(std::move(*text));
  Run();
  Validate();
  return SaveToString();
}

xml::Node XMLReader::AppendElement(xml::Node parent, std::string_view name) {
  xml::Node element = CreateElement(name);
  if (parent)
    xml::AppendChild(parent, element);
  else
    Document().SetRoot(element);
  return element;
}

xml::Node XMLReader::AppendRoot(std::string_view name) {
  // A document is rarely more than ten times its item; pages of the room
  // that are not written cost nothing.
  constexpr size_t kTextPerItemByte = 16;
  constexpr size_t kMaxRoom = size_t{1} << 30;
  Document().ReserveText(std::min(kMaxRoom, static_cast<size_t>(ItemSize()) * kTextPerItemByte + 4096));
  xml::Node root = AppendElement(nullptr, name);
  SetAttribute(root, "version", int32_t{1});
  SetAttribute(root, "Name", ItemName());
  return root;
}

void XMLWriter::Open() { OpenItemIn(store::kModeCreate, "Could not create file"); }

void XMLWriter::Finish() {
  const int32_t result = store::CommitItem(handle_);
  if (result != store::kStoreOk) throw StoreFailure(result, "Could not save file");
}

void XMLWriter::LoadAndValidate(const std::function<void(xml::Tree)>& load) {
  load(xml::Tree::kCompact);
  if (xml::ConformsToSchema(Document())) return;
  // The compact tree goes first: two trees of a large document at once
  // would double the peak.
  Document() = xml::Document();
  load(xml::Tree::kEditable);
  Validate();
}

void XMLWriter::FromFile(const std::string& xmlFileName) {
  LoadAndValidate([&](xml::Tree tree) { LoadFile(xmlFileName, tree); });
  Run();
}

void XMLWriter::FromString(std::u16string_view text) {
  LoadAndValidate([&](xml::Tree tree) { LoadString(text, tree); });
  Run();
}

void XMLWriter::FromBytes(std::string_view bytes) {
  LoadAndValidate([&](xml::Tree tree) { LoadBytes(bytes, tree); });
  Run();
}

xml::Node XMLWriter::RequireRoot(std::string_view name) {
  xml::Node root = SelectSingleNode(Document().AsNode(), name);
  if (!root) Fail("Missing required <" + std::string(name) + "> element");
  return root;
}

}  // namespace tsln2xml
