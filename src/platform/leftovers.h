#pragma once
// Files that a process writes beside another under a private name carry the
// process's id in that name. A process killed before it removed or renamed
// its file leaves it behind; the next process that writes there removes the
// files of processes that no longer exist.

#include <string>
#include <string_view>

namespace tsln2xml::platform {

// The shape of a private name: `prefix`, a process id in decimal, and a rest
// that `restIsOurs` accepts (a counter, a random part, a suffix such as
// "-journal").
struct LeftoverName {
  std::string prefix;
  bool (*restIsOurs)(std::string_view rest);
};

// The process id in `name` when it has the shape of `shape`; 0 when not.
long LeftoverProcess(std::string_view name, const LeftoverName& shape);

// Whether a process of id `pid` exists (one of another user included).
bool ProcessExists(long pid);

// Removes the regular files in host directory `directory` whose names have
// the shape of `shape` and whose process does not exist. Nothing else is
// touched: no file of a live process, no name of another shape, no
// directory or link. Returns how many files were removed.
int RemoveLeftovers(const std::string& directory, const LeftoverName& shape);

// Rests of private names: "-" and decimal digits; the same followed by
// "-journal" (SQLite's journal of such a file); "." and six letters or
// digits (mkstemp's); "-" and digits followed by ".part".
bool IsCounter(std::string_view rest);
bool IsCounterOrItsJournal(std::string_view rest);
bool IsTemporaryFileRest(std::string_view rest);
bool IsCounterPart(std::string_view rest);

}  // namespace tsln2xml::platform
