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

// Gives the file `from` the name `to` when no file has that name yet, in one
// step that fails when another process made `to` first; `from` is gone
// afterwards either way. Both are host paths. A hard link on Linux, a move
// that does not replace on Windows (where an open file's second name could not
// be removed).
bool MoveIntoPlaceIfAbsent(const std::string& from, const std::string& to);

}  // namespace tsln2xml::platform
