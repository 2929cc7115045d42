#pragma once
// The converter classes' common base. A converter is made for one call with
// the storage area and the item name; it owns the XML document and the open
// item, and runs the fixed sequence around its type's own step:
//   reader: Open, Convert, Close, Validate, then the document is handed out;
//   writer: load the document, Validate, Open, Convert, Commit, Close.
// Every failure leaves Run as a Tsln2XmlException, and the item is closed on
// every path; a writer's item becomes visible only when everything succeeded.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_types.h"
#include "core/exception.h"
#include "store/item_store.h"
#include "xml/attributes.h"
#include "xml/document.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class XMLDataItem {
 public:
  XMLDataItem(std::string_view areaRoot, std::string_view areaName, std::string_view itemName,
              const ItemFileEntry& entry);
  virtual ~XMLDataItem();
  XMLDataItem(const XMLDataItem&) = delete;
  XMLDataItem& operator=(const XMLDataItem&) = delete;

  virtual void Open() = 0;
  virtual void Convert() = 0;
  virtual void Close();

  // Item access, relative to the item's data start; 0 without an open item.
  int32_t Tell() const;
  // As fseek (origins SEEK_SET, SEEK_CUR, SEEK_END): 0 when moved, -1 when
  // refused or without an open item.
  int32_t Seek(int32_t offset, int origin);
  size_t Read(void* buffer, size_t bytes);
  // The open item's bytes from the position to the end, not copied: valid
  // until the item is closed.
  std::span<const uint8_t> RestOfItem() const;
  size_t Write(const void* buffer, size_t bytes);
  int32_t ItemSize() const;
  // Reads exactly `bytes`; false when the item ended first.
  bool ReadExact(void* buffer, size_t bytes) { return Read(buffer, bytes) == bytes; }
  // Writes exactly `bytes`; a record the store refuses fails with code 1 and
  // `failure`, so a short item is never reported as success.
  void WriteExact(const void* buffer, size_t bytes, const std::string& failure) {
    if (Write(buffer, bytes) != bytes) throw Tsln2XmlException(kContentUnusable, failure);
  }

  void Run();
  // Validates the document against the schema set of its root's namespace.
  void Validate();
  // Loads a document from a file, from bytes in any encoding a file may have
  // (standard input: the same loader as a file), or from UTF-16 text. Beyond
  // xml::kMaxDocumentBytes: code 1, nothing read whole.
  void LoadFile(const std::string& fileName, xml::Tree tree = xml::Tree::kEditable);
  void LoadBytes(std::string_view bytes, xml::Tree tree = xml::Tree::kEditable);
  void LoadString(std::u16string_view text, xml::Tree tree = xml::Tree::kEditable);
  void SaveToFile(const std::string& fileName);
  std::u16string SaveToString();

  // The namespace of this data type's documents.
  const std::string& GetNamespace() const { return namespace_; }
  xml::Node CreateElement(std::string_view name);
  std::vector<xml::Node> SelectNodes(xml::Node parent, std::string_view name) const;
  xml::Node SelectSingleNode(xml::Node parent, std::string_view name) const;

  xml::Document& Document() { return document_; }
  const std::string& ItemName() const { return itemName_; }
  const std::string& StoragePath() const { return storagePath_; }
  const std::string& Directory() const { return directory_; }
  std::string ControlPath() const;
  const ItemFileEntry& FileEntry() const { return entry_; }

 protected:
  // Opens the item in `mode`; `failure` is the message when the store refuses.
  void OpenItemIn(int16_t mode, const char* failure);
  // Code 5 with the store's `result` and `failure`, followed by what the
  // store adds about it (a path too long, a catalog locked by another process).
  Tsln2XmlException StoreFailure(int32_t result, const char* failure) const;
  // The message of a failure of the XML service inside Run.
  virtual const char* ServiceFailureMessage() const = 0;
  // Runs after a successful Convert, before Close (a writer commits here).
  virtual void Finish() {}

  store::ItemHandle* handle_ = nullptr;
  int32_t dataStart_ = -1;

 private:
  std::string directory_;
  std::string storagePath_;
  std::string itemName_;
  const ItemFileEntry& entry_;
  std::string namespace_;
  xml::Document document_;
};

class XMLReader : public XMLDataItem {
 public:
  using XMLDataItem::XMLDataItem;
  void Open() override;
  // Convert, validate and write the document. Its text is written as the
  // converter builds it (xml::Document::Streamed), with no tree of its
  // attributes and text; a converter that builds it in an order its text
  // cannot follow is run again over a tree, with the same result.
  void ToFile(const std::string& xmlFileName);
  std::u16string ToString();
  // The text ToFile writes, held in memory (a batch writes it itself).
  std::string ToText();
  // After ToFile failed: writes the document as far as it was built (the
  // same text whether it was built as text or as a tree).
  void SaveAsFarAsBuilt(const std::string& xmlFileName);

  // Attribute writing: doubles with 24 significant digits, integers in
  // decimal, narrow texts trimmed of spaces.
  void SetAttribute(xml::Node element, const char* name, double value) { xml::SetAttribute(element, name, value); }
  void SetAttribute(xml::Node element, const char* name, int64_t value) { xml::SetAttribute(element, name, value); }
  void SetAttribute(xml::Node element, const char* name, int32_t value) { xml::SetAttribute(element, name, value); }
  void SetAttribute(xml::Node element, const char* name, uint32_t value) { xml::SetAttribute(element, name, value); }
  void SetAttribute(xml::Node element, const char* name, std::string_view ansiText) {
    xml::SetAttributeText(element, name, ansiText);
  }
  void SetAttribute(xml::Node element, const char* name, const char* ansiText) {
    xml::SetAttributeText(element, name, ansiText);
  }
  void SetAttribute(xml::Node element, const char* name, const std::string& ansiText) {
    xml::SetAttributeText(element, name, ansiText);
  }
  void SetAttribute(xml::Node element, const char* name, bool value) = delete;

  // Creates an element in this type's namespace and appends it to `parent`
  // (the document, when `parent` is null).
  xml::Node AppendElement(xml::Node parent, std::string_view name);
  // The document's root element `name` with "version" 1 and "Name" the item
  // name, as every reader writes it.
  xml::Node AppendRoot(std::string_view name);

 protected:
  const char* ServiceFailureMessage() const override { return "COM Error while Processing."; }
  // Whether the document is written as text while it is built: true for
  // documents of many elements with short texts. One that is mostly a single
  // long text is validated faster as a tree (the validator of a text stream
  // joins a long text piece by piece, in time that grows with its square).
  virtual bool StreamsDocument() const { return true; }

 private:
  // The validated text of the document built as text, or nothing when the
  // converter did not build it in document order.
  std::optional<std::string> ConvertToText();
  // After a failure while building as text: the text so far, with every
  // open element closed, as the tree built so far would be written.
  void KeepPartialText();

  std::optional<std::string> partialText_;
};

class XMLWriter : public XMLDataItem {
 public:
  using XMLDataItem::XMLDataItem;
  void Open() override;
  void FromFile(const std::string& xmlFileName);
  void FromString(std::u16string_view text);
  void FromBytes(std::string_view bytes);

  // The root element `name`, or "Missing required <name> element" (code 1).
  xml::Node RequireRoot(std::string_view name);

 protected:
  const char* ServiceFailureMessage() const override { return "COM error while Processing"; }
  void Finish() override;

 private:
  // The document is loaded compact (a converter only reads it) by `load`,
  // and validated. An invalid one is loaded again whole before the failure
  // is reported, so the report names the place of the error in the same
  // serialised text as before.
  void LoadAndValidate(const std::function<void(xml::Tree)>& load);
};

// Failures raised by converters.
[[noreturn]] inline void Fail(const std::string& message) { throw Tsln2XmlException(kContentUnusable, message); }

// A document beyond xml::kMaxDocumentBytes: code 1 saying so.
[[noreturn]] void DocumentTooLarge();

// A count for a signed 16-bit store field; more than 32767 fails with code 1
// ("Too many <what>: N (at most 32767)") instead of writing a wrapped count.
inline int16_t Count16(size_t count, const std::string& what) {
  if (count > 32767)
    Fail("Too many " + what + ": " + std::to_string(count) + " (at most 32767)");
  return static_cast<int16_t>(count);
}

}  // namespace tsln2xml
