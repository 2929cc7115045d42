#pragma once
// A UTF-16LE text file: each UTF-16 code unit reaches the file as its two
// little-endian bytes, with no newline translation. Opening truncates the
// file and writes the byte-order mark U+FEFF first; a file that cannot be
// opened leaves the stream failed and nothing is written.

#include <cstdio>
#include <string>
#include <string_view>

namespace tsln2xml::xml {

class Utf16FileStream {
 public:
  explicit Utf16FileStream(const std::string& path);
  ~Utf16FileStream();
  Utf16FileStream(const Utf16FileStream&) = delete;
  Utf16FileStream& operator=(const Utf16FileStream&) = delete;

  bool Good() const { return file_ != nullptr && !failed_; }
  Utf16FileStream& Write(std::u16string_view text);
  Utf16FileStream& operator<<(std::u16string_view text) { return Write(text); }
  // Flushes and closes; false when anything failed to reach the file.
  bool Close();

 private:
  void FlushBuffer();

  std::FILE* file_ = nullptr;
  bool failed_ = false;
  std::string buffer_;
};

}  // namespace tsln2xml::xml
