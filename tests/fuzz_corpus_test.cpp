// The seed corpora of the fuzz harnesses stay valid: every item seed exports
// through the in-memory item the harnesses use (and gives the same document
// as through a storage area), every document seed imports.

#include <gtest/gtest.h>

#include <filesystem>

#include "../fuzz/fuzz_support.h"
#include "platform/code_page.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

std::vector<std::filesystem::path> Seeds(const char* harness) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(std::string(TSLN2XML_SOURCE_DIR) + "/fuzz/corpus/" + harness))
    if (e.path().filename().string().rfind("finding-", 0) != 0) files.push_back(e.path());
  return files;
}

std::vector<uint8_t> Bytes(const std::filesystem::path& file) {
  const std::string text = ReadFile(file.string());
  return std::vector<uint8_t>(text.begin(), text.end());
}

TEST(FuzzCorpus, ItemSeedsExportInMemoryAsFromAStorageArea) {
  const auto seeds = Seeds("item_to_xml_fuzzer");
  ASSERT_FALSE(seeds.empty());
  for (const auto& seed : seeds) {
    const std::vector<uint8_t> bytes = Bytes(seed);
    const int16_t code = fuzz::ItemInputType(bytes);
    ASSERT_NE(code, 0) << seed;
    std::u16string inMemory;
    EXPECT_EQ(fuzz::ItemToXml(code, std::span(bytes).subspan(1), inMemory), 0) << seed << ": " << LastErrorMessage();
    TempArea area;
    area.PutItem(code, "FUZZ", std::vector<uint8_t>(bytes.begin() + 1, bytes.end()));
    const ExportResult stored = ExportToString(code, area.path(), "FUZZ");
    EXPECT_EQ(stored.code, 0) << seed;
    EXPECT_EQ(platform::Utf16ToUtf8(inMemory), stored.xml) << seed;
  }
}

TEST(FuzzCorpus, DocumentSeedsImportInMemory) {
  const auto seeds = Seeds("xml_to_item_fuzzer");
  ASSERT_FALSE(seeds.empty());
  for (const auto& seed : seeds) {
    const std::string text = ReadFile(seed.string());
    const int16_t code = fuzz::DocumentInputType(text);
    ASSERT_NE(code, 0) << seed;
    std::vector<uint8_t> item;
    EXPECT_EQ(fuzz::XmlToItem(code, platform::Utf8ToUtf16(text), item), 0) << seed << ": " << LastErrorMessage();
    EXPECT_FALSE(item.empty()) << seed;
  }
}

// The catalogs kept as findings of the item list harness fail its lists with
// code 5; those of another schema or text encoding (finding-schema-*) and
// those with rows of the wrong kinds (finding-rows-*) say so.
TEST(FuzzCorpus, CatalogFindingsAreRefused) {
  const std::string corpus = std::string(TSLN2XML_SOURCE_DIR) + "/fuzz/corpus/item_list_fuzzer";
  for (const auto& e : std::filesystem::directory_iterator(corpus)) {
    const std::string name = e.path().filename().string();
    if (!name.starts_with("finding-")) continue;
    const std::string bytes = ReadFile(e.path().string());
    TempArea area;
    WriteFile(area.File(CatalogFileName(bytes[0] & 0x1F)), bytes.substr(1));
    BSTR xml = nullptr;
    EXPECT_EQ(EnumerateItemsString("", area.path().c_str(), &xml, nullptr), 5) << name;
    const std::string message = LastErrorMessage();
    const std::string why = name.starts_with("finding-schema-") ? ".ctl: not an item catalog: "
                            : name.starts_with("finding-rows-") ? ".ctl: damaged catalog: "
                                                                : ".ctl: ";
    EXPECT_TRUE(message.starts_with("Could not read item catalog ") && message.find(why) != std::string::npos)
        << name << ": " << message;
  }
}

}  // namespace
}  // namespace tsln2xml::test
