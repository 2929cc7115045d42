#pragma once
// The item list calls at the boundary: the list of the types that `filter`
// picks with the caller's `codes` (`count` of them; none when null or
// `count` <= 0) saved to `xmlFileName` or handed out as UTF-16 text. They
// return 0 or the failure's code, after writing its message on the error
// stream and recording it as the last error; on failure nothing is saved or
// handed out. A null `xml` still builds and checks the list.

#include <cstdint>

#include "framework/item_enumeration.h"
#include "platform/bstr.h"

namespace tsln2xml {

int32_t EnumerateItemsToFile(TypeFilter filter, const int* codes, int count, const char* areaRoot,
                             const char* areaName, const char* xmlFileName, const char* schemaFileName);
int32_t EnumerateItemsToString(TypeFilter filter, const int* codes, int count, const char* areaRoot,
                               const char* areaName, platform::Bstr* xml, const char* schemaFileName);

}  // namespace tsln2xml
