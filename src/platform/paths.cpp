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

std::string DocumentBaseUrl(std::string_view path) {
#ifdef _WIN32
  const bool drive = path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
  std::string url = drive ? "file:///" : "";
  constexpr bool kBackslashIsSeparator = true;
#else
  std::string url;
  constexpr bool kBackslashIsSeparator = false;
#endif
  // Escaped on every system: libxml2 cannot resolve a reference against a
  // base that holds a space or a byte beyond ASCII, and would take it as
  // relative to the current directory.
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\\' && kBackslashIsSeparator) {
      url += '/';
    } else if (std::isalnum(b) || std::string_view("/:-._~!$&'()*+,;=@").find(c) != std::string_view::npos) {
      url += c;
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      url += '%';
      url += kHex[b >> 4];
      url += kHex[b & 15];
    }
  }
  return url;
}

std::string ComparablePath(const std::string& resolvedHostPath) {
#ifdef _WIN32
  std::string path = resolvedHostPath;
  for (char& c : path) {
    if (c == '\\') c = '/';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return path;
#else
  return resolvedHostPath;
#endif
}

std::string FileUrlPath(std::string_view url) {
  constexpr std::string_view kScheme = "file://";
  if (url.size() <= kScheme.size()) return std::string(url);
  for (size_t i = 0; i < kScheme.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(url[i])) != kScheme[i]) return std::string(url);
  url.remove_prefix(kScheme.size());
#ifdef _WIN32
  if (url.size() >= 3 && url[0] == '/' && std::isalpha(static_cast<unsigned char>(url[1])) && url[2] == ':')
    url.remove_prefix(1);
#endif
  return std::string(url);
}

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
