#include "api/item_lists.h"

#include <algorithm>
#include <new>
#include <string>

#include "api/boundary.h"
#include "core/exception.h"
#include "platform/code_page.h"
#include "xml/document.h"
#include "xml/document_text.h"

namespace tsln2xml {
namespace {

std::string_view Arg(const char* s) { return s ? std::string_view(s) : std::string_view(); }

}  // namespace

int32_t EnumerateItemsToFile(TypeFilter filter, const int* codes, int count, const char* areaRoot,
                             const char* areaName, const char* xmlFileName, const char* schemaFileName) {
  return RunAtBoundary([&] {
    const std::string text = ItemListText(SelectDataTypes(filter, CallerCodes(codes, count)), Arg(areaRoot),
                                          Arg(areaName), schemaFileName);
    if (!xml::WriteTextFile(std::string(Arg(xmlFileName)), text))
      throw Tsln2XmlException(kXmlServiceFailure, hresult::kAccessDenied, "COM Error Saving XML.");
  });
}

int32_t EnumerateItemsToString(TypeFilter filter, const int* codes, int count, const char* areaRoot,
                               const char* areaName, platform::Bstr* xml, const char* schemaFileName) {
  return RunAtBoundary([&] {
    std::string text = ItemListText(SelectDataTypes(filter, CallerCodes(codes, count)), Arg(areaRoot),
                                    Arg(areaName), schemaFileName);
    if (!xml) return;
    // A string's declaration names no encoding; the BSTR is filled from the
    // text without a UTF-16 copy between them.
    std::string_view body = text;
    if (body.starts_with(xml::kUtf8Declaration)) body.remove_prefix(xml::kUtf8Declaration.size());
    const size_t declaration = xml::kPlainDeclaration.size();
    platform::Bstr bstr = platform::AllocBstrLen(nullptr, declaration + platform::Utf16Length(body));
    if (!bstr) throw std::bad_alloc();
    std::copy(xml::kPlainDeclaration.begin(), xml::kPlainDeclaration.end(), bstr);
    platform::Utf8ToUtf16Into(body, bstr + declaration);
    *xml = bstr;
  });
}

}  // namespace tsln2xml
