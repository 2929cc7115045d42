#pragma once
// The fabric types a piece or a model is cut from: up to four one-letter
// codes, kept joined in one text. Letters are taken in order from a store
// field or a document's text; blanks and zero bytes are skipped, so no letter
// is lost to a gap, and letters are upper-cased.

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace Tessaline {

class FabricTypes {
 public:
  static constexpr size_t kMaxLetters = 4;

  FabricTypes() = default;
  explicit FabricTypes(std::string_view text) { Assign(text); }

  // From a field's bytes or a document's text (in the ANSI code page).
  void Assign(std::string_view text) {
    letters_.clear();
    for (char c : text) {
      if (c == ' ' || c == '\0') continue;
      letters_.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
      if (letters_.size() == kMaxLetters) break;
    }
  }
  // The letters into a field, zero-padded.
  void ToField(std::span<uint8_t> field) const {
    std::fill(field.begin(), field.end(), uint8_t{0});
    std::copy_n(letters_.begin(), std::min(letters_.size(), field.size()), field.begin());
  }

  const std::string& str() const { return letters_; }
  bool operator==(std::string_view other) const { return letters_ == other; }

 private:
  std::string letters_;
};

}  // namespace Tessaline
