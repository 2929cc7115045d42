#pragma once
// Writing a file whole or not at all.

#include <string>
#include <string_view>

namespace tsln2xml::platform {

// Writes `bytes` to a new file beside `hostPath` (a name of our own, made
// exclusively, its mode following the umask) and renames it over `hostPath`
// once everything is written. Returns 0, or the errno of the failure; a
// failure removes the file beside and leaves `hostPath` as it was.
int ReplaceFile(const std::string& hostPath, std::string_view bytes);

}  // namespace tsln2xml::platform
