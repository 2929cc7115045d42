#pragma once
// What a command needs from Windows before it parses its arguments.

#ifdef _WIN32

#include <string>
#include <vector>

namespace tsln2xml::platform {

// The arguments that wmain receives (UTF-16), in UTF-8, as a command on Linux
// receives them; a lone surrogate becomes U+FFFD.
std::vector<std::string> Utf8Arguments(int argc, const wchar_t* const* argv);

// Standard input, output and error pass bytes as they are: no CR/LF
// translation, no end at a Ctrl-Z (documents and item bytes go through them).
void UseBinaryStandardStreams();

}  // namespace tsln2xml::platform

#endif
