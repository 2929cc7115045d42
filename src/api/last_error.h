#pragma once
// The record of the last failure, kept for the life of the loaded library.
// Only failures write it; a successful call leaves it as it was.

#include <cstdint>
#include <string>

namespace tsln2xml {

struct LastError {
  int32_t code = 0;
  int32_t secondary = 0;
  std::u16string message;
};

// Records a failure; the narrow message is converted with the ANSI code page.
void RecordLastError(int32_t code, int32_t secondary, const std::string& message);
LastError GetLastError();

}  // namespace tsln2xml
