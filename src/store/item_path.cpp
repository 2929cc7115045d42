#include "store/item_path.h"

#include "framework/data_types.h"
#include "platform/paths.h"

namespace tsln2xml::store {

std::string BuildItemPath(std::string_view storagePath, int code) {
  std::string dir = platform::TranslateStoragePath(storagePath);
  if (dir.empty()) dir = ".";
  if (dir.back() != '/') dir += '/';
  const ItemFileEntry* entry = FindItemFileEntry(code);
  std::string file = entry ? entry->itemFileTemplate : "item%c%c%c.dat";
  for (size_t pos; (pos = file.find("%c")) != std::string::npos;) file.replace(pos, 2, "0");
  return dir + file;
}

std::string ItemDirectory(std::string_view storagePath, int code) {
  std::string path = BuildItemPath(storagePath, code);
  path.erase(path.find_last_of('/') + 1);
  return path;
}

}  // namespace tsln2xml::store
