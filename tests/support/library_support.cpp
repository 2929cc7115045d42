#include "support/library_support.h"

#include <gtest/gtest.h>

namespace tsln2xml::test {

ExportResult ExportBytes(int16_t type, const TempArea& area, const std::vector<uint8_t>& bytes) {
  area.PutItem(type, "ONE", bytes);
  return ExportToString(type, area.path(), "ONE");
}

std::string ExportMatches(int16_t type, const TempArea& area, std::string_view item, std::string_view expected) {
  const ExportResult result = ExportToString(type, area.path(), item);
  if (result.code != 0) return "export gave " + std::to_string(result.code) + ": " + LastErrorMessage();
  return CompareXml(expected, result.xml);
}

std::string ExportMatches(int16_t type, const TempArea& area, const std::vector<uint8_t>& bytes, std::string_view expected) {
  area.PutItem(type, "ONE", bytes);
  return ExportMatches(type, area, "ONE", expected);
}

std::string ImportMatches(int16_t type, const TempArea& area, std::string_view utf8Xml, const std::vector<uint8_t>& expected) {
  const int code = ImportFromString(type, area.path(), "IMPORTED", utf8Xml);
  if (code != 0) return "import gave " + std::to_string(code) + ": " + LastErrorMessage();
  if (area.GetItem(type, "IMPORTED") != expected) return "the stored bytes differ";
  return "";
}

std::optional<std::vector<uint8_t>> RoundTrip(int16_t type, const TempArea& area, const std::vector<uint8_t>& bytes,
                                              std::string* failure, std::string* document) {
  auto exported = ExportBytes(type, area, bytes);
  if (document) *document = exported.xml;
  if (exported.code != 0) {
    if (failure) *failure = "export: " + LastErrorMessage();
    return std::nullopt;
  }
  if (ImportFromString(type, area.path(), "ONE", exported.xml) != 0) {
    if (failure) *failure = "import: " + LastErrorMessage() + "\n" + exported.xml;
    return std::nullopt;
  }
  return area.GetItem(type, "ONE");
}

ByteBuilder LibraryHeader(std::string_view comment1, std::string_view comment2, int16_t count, size_t width) {
  return std::move(ByteBuilder().Text(comment1, width).Text(comment2, width).I16(count));
}

std::string Example(std::string_view path) {
  return ReadFile(std::string(TSLN2XML_SOURCE_DIR) + "/examples/" + std::string(path) + ".xml");
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  const size_t at = text.find(from);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no \"" << from << "\" to replace";
    return text;
  }
  return text.replace(at, from.size(), to);
}

std::string Repeated(std::string_view element, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += element;
  return text;
}

}  // namespace tsln2xml::test
