#include "platform/paths.h"

#include <cctype>
#include <cstdlib>

#include "platform/code_page.h"

namespace tsln2xml::platform {

std::string StoragePath(std::string_view root, std::string_view name) {
  std::string path(root);
  if (root.size() == 1) path += ':';
  path += name;
  return path;
}

std::string HostPath(std::string_view codePagePath) { return AnsiToUtf8(codePagePath); }

#ifdef _WIN32

// Windows takes drive letters, backslashes and slashes as they are.
std::string TranslateStoragePath(std::string_view storagePath) { return std::string(storagePath); }

#else

std::string TranslateStoragePath(std::string_view storagePath) {
  std::string path(storagePath);
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    // Built by appending: GCC 12 at -O3 warns falsely (-Wrestrict) about
    // operator+ of a literal and a character.
    std::string var = "TSLN2XML_DRIVE_";
    var.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(path[0]))));
    const char* base = std::getenv(var.c_str());
    std::string result = (base && *base) ? base : "/";
    std::string rest = path.substr(2);
    while (!result.empty() && result.back() == '/') result.pop_back();
    size_t skip = 0;
    while (skip < rest.size() && rest[skip] == '/') ++skip;
    rest.erase(0, skip);
    if (rest.empty()) return result.empty() ? "/" : result;
    result += '/';
    result += rest;
    return result;
  }
  return path;
}

#endif

}  // namespace tsln2xml::platform
