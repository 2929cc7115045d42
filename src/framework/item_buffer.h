#pragma once
// An item read whole into memory, with a cursor over its bytes. Reading past
// the end fails with code 1 "Error reading past end of file." and leaves the
// position where it was.

#include <cstdint>
#include <memory>
#include <span>

#include "platform/byte_cursor.h"

namespace tsln2xml {

class ItemBuffer {
 public:
  ItemBuffer(std::shared_ptr<uint8_t[]> bytes, size_t count)
      : bytes_(std::move(bytes)), count_(count), cursor_(std::span<const uint8_t>(bytes_.get(), count_)) {}

  const uint8_t* Take(size_t n) { return cursor_.Take(n).data(); }
  void ReadBytes(void* destination, size_t n) { cursor_.ReadBytes(destination, n); }
  void Skip(size_t n) { cursor_.Skip(n); }
  size_t Position() const { return cursor_.Position(); }
  size_t Count() const { return count_; }
  platform::ByteCursor& Cursor() { return cursor_; }

 private:
  std::shared_ptr<uint8_t[]> bytes_;
  size_t count_;
  platform::ByteCursor cursor_;
};

}  // namespace tsln2xml
