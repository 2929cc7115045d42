#include "store/item_path.h"

#include "core/data_types.h"
#include "platform/paths.h"

namespace tsln2xml::store {

std::string BuildItemPath(std::string_view storagePath, int code) {
  std::string dir = platform::TranslateStoragePath(storagePath);
  if (dir.empty()) dir.push_back('.');
  if (dir.back() != '/') dir += '/';
  const ItemFileEntry* entry = FindItemFileEntry(code);
  // The file name template with each "%c" made "0", copied character by
  // character (GCC 12 at -O3 warns falsely, -Wrestrict, about assigning and
  // replacing parts of a std::string here).
  const std::string_view templ = entry ? std::string_view(entry->itemFileTemplate) : "item%c%c%c.dat";
  for (size_t i = 0; i < templ.size(); ++i) {
    if (templ.compare(i, 2, "%c") == 0) {
      dir += '0';
      ++i;
    } else {
      dir += templ[i];
    }
  }
  return dir;
}

std::string ItemDirectory(std::string_view storagePath, int code) {
  std::string path = BuildItemPath(storagePath, code);
  path.erase(path.find_last_of('/') + 1);
  return path;
}

}  // namespace tsln2xml::store
