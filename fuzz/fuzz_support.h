#pragma once
// Shared pieces of the fuzz harnesses: how an input names its data type, the
// conversions of one item held in memory (no storage area, no catalog), and
// a scratch storage area for the harness that goes through the real store.
//
// An item input starts with one byte whose low five bits are the data type
// code (the codes run from 1 to 24); a document input names its type by the
// namespace of its root, as every document does. Both stay the same however
// many converters a build has, so the seeds in fuzz/corpus can be committed.

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <filesystem>
#include <iostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "converters/registry.h"
#include "core/data_types.h"
#include "platform/bstr.h"
#include "platform/code_page.h"
#include "store/item_store.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/schema.h"

namespace tsln2xml::fuzz {

inline const std::string& ScratchArea() {
  static const std::string path = [] {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string templ = (base / "tsln2xml-fuzz-XXXXXX").string();
    if (!mkdtemp(templ.data())) abort();
    return templ;
  }();
  return path;
}

// The failure lines of the exported calls would drown the fuzzer's output.
inline void QuietFailures() {
  std::cout.setstate(std::ios::failbit);
  std::cerr.setstate(std::ios::failbit);
}

// The type an item input names, or 0 when the type has no reader.
inline int16_t ItemInputType(std::span<const uint8_t> input) {
  if (input.empty()) return 0;
  const int16_t code = input[0] & 0x1F;
  return HasReader(code) ? code : 0;
}

// The type a document names by its root's namespace ("urn:tsln2xml:data/Order"),
// or 0 when it names none with a writer. A plain search of the text: whether
// the root really has that namespace is the writer's business.
inline int16_t DocumentInputType(std::string_view text) {
  const size_t at = text.find(xml::kSchemaNamespacePrefix);
  if (at == std::string_view::npos) return 0;
  std::string_view rest = text.substr(at + xml::kSchemaNamespacePrefix.size());
  rest = rest.substr(0, rest.find_first_of("\"'"));
  const auto code = ParseDataType(rest);
  return code && HasWriter(*code) && FindDataType(*code) && rest == DataTypeName(*code) ? *code : 0;
}

// Item bytes -> document text through the exported call, over an item held
// in memory. The call's code.
inline int ItemToXml(int16_t code, std::span<const uint8_t> bytes, std::u16string& xml) {
  store::MemoryItemScope item(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  BSTR text = nullptr;
  const int rc = ConvertDataItemToXMLString(code, "", "memory", "FUZZ", &text, 0);
  xml = text ? std::u16string(text, SysStringLen(text)) : std::u16string();
  SysFreeString(text);
  return rc;
}

// Document text -> item bytes through the exported call, into memory.
inline int XmlToItem(int16_t code, const std::u16string& xml, std::vector<uint8_t>& bytes) {
  store::MemoryItemScope item({});
  const int rc = ConvertXMLStringToDataItem(code, xml.c_str(), 0, "", "memory", "FUZZ");
  if (rc == 0 && !item.wasCommitted) return -1;
  bytes = std::move(item.committed);
  return rc;
}

// Ends the run with what differs: a finding.
[[noreturn]] inline void Finding(const char* what, int16_t code, const std::u16string& first = {},
                                 const std::u16string& second = {}) {
  std::fprintf(stderr, "finding: %s (data type %d)\n", what, code);
  BSTR message = nullptr;
  GetLastErrorStringXML(&message);
  std::fprintf(stderr, "last error: %d ", GetLastErrorXML());
  for (char16_t c : platform::BstrView(message)) std::fputc(c < 0x80 ? static_cast<int>(c) : '?', stderr);
  std::fputc('\n', stderr);
  SysFreeString(message);
  auto print = [](const std::u16string& text) {
    for (char16_t c : text) std::fputc(c < 0x80 ? static_cast<int>(c) : '?', stderr);
    std::fputc('\n', stderr);
  };
  if (!first.empty()) print(first);
  if (!second.empty()) print(second);
  // Both documents whole, for a closer look: TSLN2XML_FUZZ_DUMP=dir.
  if (const char* dir = std::getenv("TSLN2XML_FUZZ_DUMP")) {
    for (const auto& [name, text] : {std::pair{"first.xml", &first}, std::pair{"second.xml", &second}}) {
      if (FILE* f = std::fopen((std::string(dir) + "/" + name).c_str(), "wb")) {
        const std::string utf8 = platform::Utf16ToUtf8(*text);
        std::fwrite(utf8.data(), 1, utf8.size(), f);
        std::fclose(f);
      }
    }
  }
  abort();
}

}  // namespace tsln2xml::fuzz
