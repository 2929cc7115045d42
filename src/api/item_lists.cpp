#include "api/item_lists.h"

#include <new>
#include <string>

#include "api/boundary.h"
#include "core/exception.h"

namespace tsln2xml {
namespace {

std::string_view Arg(const char* s) { return s ? std::string_view(s) : std::string_view(); }

}  // namespace

int32_t EnumerateItemsToFile(TypeFilter filter, const int* codes, int count, const char* areaRoot,
                             const char* areaName, const char* xmlFileName, const char* schemaFileName) {
  return RunAtBoundary([&] {
    const xml::Document doc = BuildItemList(SelectDataTypes(filter, CallerCodes(codes, count)), Arg(areaRoot),
                                            Arg(areaName), schemaFileName);
    if (!doc.SaveFile(std::string(Arg(xmlFileName))))
      throw Tsln2XmlException(kXmlServiceFailure, hresult::kAccessDenied, "COM Error Saving XML.");
  });
}

int32_t EnumerateItemsToString(TypeFilter filter, const int* codes, int count, const char* areaRoot,
                               const char* areaName, platform::Bstr* xml, const char* schemaFileName) {
  return RunAtBoundary([&] {
    const xml::Document doc = BuildItemList(SelectDataTypes(filter, CallerCodes(codes, count)), Arg(areaRoot),
                                            Arg(areaName), schemaFileName);
    if (!xml) return;
    platform::Bstr text = platform::AllocBstr(doc.SerializeUtf16());
    if (!text) throw std::bad_alloc();
    *xml = text;
  });
}

}  // namespace tsln2xml
