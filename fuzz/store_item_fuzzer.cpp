// Item bytes -> XML through the real store: every input is put into a SQLite
// catalog of a scratch storage area and exported from there, so the store's
// reading of what it holds is fuzzed too. Slower than item_to_xml_fuzzer,
// which holds the item in memory. The first byte names the type
// (fuzz_support.h).

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "store/catalog.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tsln2xml::fuzz::QuietFailures();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsln2xml;
  const int16_t code = fuzz::ItemInputType(std::span<const uint8_t>(data, size));
  if (!code) return 0;
  const std::string& area = fuzz::ScratchArea();
  store::Catalog catalog;
  if (store::Catalog::OpenForWriting(area + "/" + CatalogFileName(code), catalog) != store::CatalogStatus::kOk) return 0;
  if (catalog.Put("FUZZ", std::span<const uint8_t>(data + 1, size - 1), 0, "fuzz") != store::CatalogStatus::kOk) return 0;
  BSTR xml = nullptr;
  ConvertDataItemToXMLString(code, "", area.c_str(), "FUZZ", &xml, 0);
  SysFreeString(xml);
  return 0;
}
