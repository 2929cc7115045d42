#include "store/translation.h"

#include <charconv>
#include <fstream>
#include <memory>
#include <mutex>

#include "platform/code_page.h"
#include "platform/host_files.h"
#include "platform/paths.h"

namespace tsln2xml::store {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string_view Trim(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && space(s.front())) s.remove_prefix(1);
  while (!s.empty() && space(s.back())) s.remove_suffix(1);
  return s;
}

std::map<int, std::string> ReadMessages(const std::string& hostPath) {
  std::map<int, std::string> messages;
  std::ifstream in(platform::FsPath(platform::HostPath(hostPath)), std::ios::binary);
  std::string line;
  while (in && std::getline(in, line)) {
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') continue;
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = Trim(text.substr(0, equals));
    int number = 0;
    const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), number);
    if (ec != std::errc() || end != key.data() + key.size()) continue;
    messages[number] = std::string(Trim(text.substr(equals + 1)));
  }
  return messages;
}

bool StartsWithName(std::string_view text, std::string_view name, bool ignoreCase) {
  if (name.empty() || name.size() > text.size()) return false;
  const std::string_view head = text.substr(0, name.size());
  return ignoreCase ? EqualsIgnoringCase(head, name) : head == name;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (platform::IsDBCSLeadByte(static_cast<uint8_t>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

bool LookupTable::Matches(std::string_view category, size_t index, std::span<const std::string> englishNames,
                          std::span<const std::string> languageNames, std::string& remainder, bool ignoreCase) const {
  if (index >= englishNames.size()) return false;
  const std::string_view language =
      index < languageNames.size() ? std::string_view(languageNames[index]) : std::string_view();
  std::string_view names[2] = {englishNames[index], language};
  if (names[1].size() > names[0].size()) std::swap(names[0], names[1]);
  for (std::string_view name : names) {
    if (!StartsWithName(category, name, ignoreCase)) continue;
    const std::string_view rest = category.substr(name.size());
    if (!rest.empty() && IsAsciiLetter(rest.front())) continue;
    remainder.assign(rest);
    return true;
  }
  return false;
}

std::optional<std::string> LookupTable::Message(int number) const {
  auto it = messages_.find(number);
  if (it == messages_.end()) return std::nullopt;
  return it->second;
}

const LookupTable& GetLookupTableObject(std::string_view translationFile, bool /*load*/) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<LookupTable>, std::less<>> tables;
  const std::string hostPath = platform::TranslateStoragePath(translationFile);
  std::lock_guard lock(mutex);
  auto it = tables.find(hostPath);
  if (it == tables.end())
    it = tables.emplace(hostPath, std::make_unique<LookupTable>(ReadMessages(hostPath))).first;
  return *it->second;
}

std::string LoadMessageString(int number) {
  if (auto text = GetLookupTableObject(kTranslationFile, true).Message(number)) return *text;
  switch (number) {
    case kDefaultCategoryMessage: return "DEFAULT";
    case kMarkerCategoryMessage: return "MARKER";
    case kLabelCategoryMessage: return "LABEL";
    case kConstructCategoryMessage: return "CONSTRUCT";
    default: return {};
  }
}

}  // namespace tsln2xml::store
