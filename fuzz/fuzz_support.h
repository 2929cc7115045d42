#pragma once
// Shared pieces of the fuzz harnesses: a scratch storage area in memory-backed
// storage and the data types that have a converter in a direction.

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/data_types.h"
#include "converters/registry.h"

namespace tsln2xml::fuzz {

inline const std::string& ScratchArea() {
  static const std::string path = [] {
    const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    std::string templ = (base / "tsln2xml-fuzz-XXXXXX").string();
    if (!mkdtemp(templ.data())) abort();
    return templ;
  }();
  return path;
}

// Codes with a reader (readers = true) or a writer, in table order.
inline const std::vector<int16_t>& TypesWith(bool readers) {
  static const std::vector<int16_t> withReader = [] {
    std::vector<int16_t> codes;
    for (const auto& t : DataTypes())
      if (HasReader(t.code)) codes.push_back(t.code);
    return codes;
  }();
  static const std::vector<int16_t> withWriter = [] {
    std::vector<int16_t> codes;
    for (const auto& t : DataTypes())
      if (HasWriter(t.code)) codes.push_back(t.code);
    return codes;
  }();
  return readers ? withReader : withWriter;
}

}  // namespace tsln2xml::fuzz
