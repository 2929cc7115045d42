#include "platform/command_line.h"

#ifdef _WIN32

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string_view>

#include "platform/code_page.h"

namespace tsln2xml::platform {

std::vector<std::string> Utf8Arguments(int argc, const wchar_t* const* argv) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  std::vector<std::string> out;
  for (int i = 0; i < argc; ++i) {
    const auto* units = reinterpret_cast<const char16_t*>(argv[i]);
    out.push_back(Utf16ToUtf8(std::u16string_view(units)));
  }
  return out;
}

void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace tsln2xml::platform

#endif
