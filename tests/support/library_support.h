#pragma once
// Fixtures for the stored data types: readers over bytes in memory (no store
// around them), export and import compared with what is expected, and the
// round trip item -> document -> item.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"
#include "store/item_store.h"
#include "support/test_support.h"

namespace tsln2xml::test {

struct Outcome {
  int code = 0;
  std::string message;
};

// A reader whose item is `bytes` held in memory, so that thousands of items
// can be read without a store around them.
template <class Reader>
class InMemory : public Reader {
 public:
  explicit InMemory(const std::vector<uint8_t>& bytes) : Reader("", "/nowhere", "MEMORY"), bytes_(bytes) {}
  void Open() override {
    auto* handle = new store::ItemHandle;
    handle->data = bytes_;
    handle->size = static_cast<int32_t>(bytes_.size());
    this->handle_ = handle;
    this->dataStart_ = 0;
  }

 private:
  std::vector<uint8_t> bytes_;
};

// The outcome of reading `bytes` with Reader, validation included.
template <class Reader>
Outcome ReadInMemory(const std::vector<uint8_t>& bytes) {
  try {
    InMemory<Reader>(bytes).ToString();
    return {};
  } catch (const Tsln2XmlException& e) {
    return {e.Code(), e.what()};
  }
}

// Stores `bytes` as ONE, exports it (the document to `document` when given)
// and imports the document as ONE again, as the writers that check the
// document's name need; the bytes written, or nullopt (with the failure in
// `failure`) when a step fails.
std::optional<std::vector<uint8_t>> RoundTrip(int16_t type, const TempArea& area, const std::vector<uint8_t>& bytes,
                                              std::string* failure = nullptr, std::string* document = nullptr);

// The document that the export of `bytes` gives (code and text).
ExportResult ExportBytes(int16_t type, const TempArea& area, const std::vector<uint8_t>& bytes);

// Export of stored item `item` compared with `expected`: "" when the documents
// match, otherwise the failure or the first difference.
std::string ExportMatches(int16_t type, const TempArea& area, std::string_view item, std::string_view expected);
// The same for `bytes` stored as ONE.
std::string ExportMatches(int16_t type, const TempArea& area, const std::vector<uint8_t>& bytes, std::string_view expected);
// Import of `utf8Xml` compared with the bytes `expected`: "" when they match.
std::string ImportMatches(int16_t type, const TempArea& area, std::string_view utf8Xml, const std::vector<uint8_t>& expected);

// The header of a library item: two comments of `width` bytes and a count.
ByteBuilder LibraryHeader(std::string_view comment1, std::string_view comment2, int16_t count, size_t width = 20);

// The document examples/`path`.xml of the source tree.
std::string Example(std::string_view path);
// `text` with the first `from` replaced by `to`; a test failure when `text`
// holds no `from`.
std::string Replaced(std::string text, std::string_view from, std::string_view to);
// `element` `n` times over.
std::string Repeated(std::string_view element, int n);

}  // namespace tsln2xml::test
