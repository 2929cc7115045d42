#pragma once
// Where the running program lies.

#include <filesystem>

namespace tsln2xml::platform {

// The running program's file (/proc/self/exe; GetModuleFileNameW on
// Windows), or an empty path when it cannot be told.
std::filesystem::path ProgramPath();

}  // namespace tsln2xml::platform
