// Item bytes -> XML for every data type with a reader. The first byte picks
// the type; the rest is the item as stored.

#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "platform/bstr.h"
#include "store/catalog.h"
#include "tsln2xml/tsln2xml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsln2xml;
  const auto& types = fuzz::TypesWith(true);
  if (size < 1 || types.empty()) return 0;
  const int16_t code = types[data[0] % types.size()];
  const std::string& area = fuzz::ScratchArea();
  store::Catalog catalog;
  if (store::Catalog::OpenForWriting(area + "/" + CatalogFileName(code), catalog) != store::CatalogStatus::kOk) return 0;
  if (catalog.Put("FUZZ", std::span<const uint8_t>(data + 1, size - 1), 0, "fuzz") != store::CatalogStatus::kOk) return 0;
  BSTR xml = nullptr;
  ConvertDataItemToXMLString(code, "", area.c_str(), "FUZZ", &xml, 0);
  SysFreeString(xml);
  return 0;
}
