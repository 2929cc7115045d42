#pragma once
// Code tables: a fixed list of (value, name) pairs used in both directions.
// Readers look a value up (an unknown value gives an empty name, which the
// schema then rejects); writers look a name up (an unknown name gives 0, but
// writers only see names that passed the schema's enumeration). Names match
// exactly, case included.

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tsln2xml::xml {

template <class T>
class EnumNameTable {
 public:
  EnumNameTable(std::initializer_list<std::pair<T, const char*>> pairs) {
    for (const auto& [value, name] : pairs) {
      entries_.emplace_back(value, name);
      byValue_.emplace(value, name);
      byName_.emplace(name, value);
    }
  }

  std::string_view NameOf(T value) const {
    auto it = byValue_.find(value);
    return it == byValue_.end() ? std::string_view() : std::string_view(it->second);
  }
  T ValueOf(std::string_view name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? T{} : it->second;
  }
  bool HasName(std::string_view name) const { return byName_.find(name) != byName_.end(); }
  const std::vector<std::pair<T, std::string>>& Entries() const { return entries_; }

 private:
  std::vector<std::pair<T, std::string>> entries_;
  std::map<T, std::string> byValue_;
  std::map<std::string, T, std::less<>> byName_;
};

inline const EnumNameTable<bool>& BooleanNames() {
  static const EnumNameTable<bool> table{{false, "false"}, {true, "true"}};
  return table;
}

}  // namespace tsln2xml::xml
