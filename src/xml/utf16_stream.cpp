#include "xml/utf16_stream.h"

#include "platform/host_files.h"
#include "platform/paths.h"

namespace tsln2xml::xml {

Utf16FileStream::Utf16FileStream(const std::string& path) {
  file_ = platform::OpenFile(platform::HostPath(path), "wb");
  if (!file_) {
    failed_ = true;
    return;
  }
  Write(u"\xFEFF");
}

Utf16FileStream::~Utf16FileStream() { Close(); }

Utf16FileStream& Utf16FileStream::Write(std::u16string_view text) {
  if (!file_) return *this;
  for (char16_t u : text) {
    buffer_.push_back(static_cast<char>(u & 0xFF));
    buffer_.push_back(static_cast<char>(u >> 8));
  }
  if (buffer_.size() >= (1u << 16)) FlushBuffer();
  return *this;
}

void Utf16FileStream::FlushBuffer() {
  if (file_ && !buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
    failed_ = true;
  buffer_.clear();
}

bool Utf16FileStream::Close() {
  if (!file_) return false;
  FlushBuffer();
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  return !failed_;
}

}  // namespace tsln2xml::xml
