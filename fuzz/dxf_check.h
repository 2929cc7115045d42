#pragma once
// What the fuzz harnesses ask of every DXF export: a text that the readers
// take (7-bit printable ASCII in CRLF lines, group codes and values in pairs,
// from the HEADER section to EOF), or a clear failure (Tsln2XmlException).
// Anything else is a finding and aborts; a number that is not finite never
// reaches the text (the group writer throws std::invalid_argument, which
// ends the run as a crash).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/exception.h"

namespace tsln2xml::fuzz {

[[noreturn]] inline void DxfFinding(const char* what) {
  std::fprintf(stderr, "finding: DXF export: %s\n", what);
  std::abort();
}

inline void CheckDxfText(std::string_view text) {
  if (text.substr(0, 16) != "  0\r\nSECTION\r\n  ") DxfFinding("does not start with a section");
  if (text.size() < 10 || text.substr(text.size() - 10) != "  0\r\nEOF\r\n") DxfFinding("does not end with EOF");
  size_t lines = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string_view::npos) DxfFinding("a line without CRLF");
    const std::string_view line = text.substr(at, end - at);
    for (char c : line)
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) DxfFinding("not 7-bit ASCII");
    ++lines;
    at = end + 2;
  }
  if (lines % 2 != 0) DxfFinding("an odd number of lines");
}

// Runs an export and checks what it gives; a Tsln2XmlException is a clear
// failure and passes.
template <class Export>
void CheckDxfExport(Export&& run) {
  try {
    CheckDxfText(run());
  } catch (const Tsln2XmlException&) {
  }
}

}  // namespace tsln2xml::fuzz
