#pragma once
// Storage paths. A storage area is named by a root and a name; on this
// platform it is a host directory. A one-letter root is a drive letter.

#include <string>
#include <string_view>

namespace tsln2xml::platform {

// `root`, then ":" when `root` is exactly one character, then `name`. Never
// cut: a path too long for a catalog is refused where the catalog is opened,
// where a cut one would name another directory.
std::string StoragePath(std::string_view root, std::string_view name);

// The host directory of a storage path. On Windows the path itself; elsewhere
// backslashes become slashes, and a drive prefix "X:" maps to the directory
// named by TSLN2XML_DRIVE_X, or to "/" when that variable is unset.
std::string TranslateStoragePath(std::string_view storagePath);

// The file system's name (UTF-8) of a path given in the code page, as every
// narrow path that crosses the C interface is. Every place that opens or
// inspects a file or directory goes through here.
std::string HostPath(std::string_view codePagePath);

// The local path that a "file:" URL names: "file://" (any case) taken off,
// and on Windows also the slash before a drive letter ("file:///C:/dir/a.xsd"
// is C:/dir/a.xsd there). Anything else comes back as it is.
std::string FileUrlPath(std::string_view url);

// The base URL of a document read from `path`, against which the references
// in it (a schema's includes) are resolved: the path with %XX for the
// characters a URL cannot hold (spaces, bytes beyond ASCII), and on Windows
// slashes for backslashes and "file:///" before a drive letter. FileUrlPath
// and unescaping give the path back.
std::string DocumentBaseUrl(std::string_view path);

// A resolved host path (std::filesystem::canonical's) in the form in which
// two names of one file compare equal and a folder's name with "/" after it
// begins the names of the files below it: on Windows with slashes for
// backslashes and ASCII letters in lower case (its names have no case);
// elsewhere the path itself.
std::string ComparablePath(const std::string& resolvedHostPath);

// `text` cut to at most `n` bytes.
inline std::string Truncate(std::string_view text, size_t n) {
  return std::string(text.substr(0, n));
}

}  // namespace tsln2xml::platform
