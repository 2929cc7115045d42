#pragma once
// The translation and language-string libraries, as far as annotation
// libraries need them: the language forms of the special annotation
// categories and the test whether a category is one of them.
//
// Both read the translation file, a text in the ANSI code page with one
// message per line, "number=text"; blank lines and lines starting with "#"
// are skipped. The file's path is a storage path, translated to the host
// like any other. Without the file, every message has its built-in English
// text (or none), so the special categories match their English names only.

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tsln2xml::store {

// The translation file that the annotation converters hand over.
inline constexpr std::string_view kTranslationFile = "c:\\userroot\\system\\mparam\\LangStrings.txt";

// Message numbers of the special categories' language forms.
inline constexpr int kDefaultCategoryMessage = 5605;
inline constexpr int kMarkerCategoryMessage = 5224;
inline constexpr int kLabelCategoryMessage = 5197;
inline constexpr int kConstructCategoryMessage = 5198;

class LookupTable {
 public:
  explicit LookupTable(std::map<int, std::string> messages) : messages_(std::move(messages)) {}
  virtual ~LookupTable() = default;

  // Whether `category` is the special name `index`: it begins with the
  // English name or its language form (the longer one is tried first) and
  // goes on with nothing or with a character that is not a letter. The rest
  // after the name is handed back in `remainder`. Letters compare without
  // regard to case when `ignoreCase` is set; double-byte characters compare
  // exactly.
  virtual bool Matches(std::string_view category, size_t index, std::span<const std::string> englishNames,
                       std::span<const std::string> languageNames, std::string& remainder, bool ignoreCase) const;

  // The file's text of message `number`, if it has one.
  std::optional<std::string> Message(int number) const;

 private:
  std::map<int, std::string> messages_;
};

// The lookup table of a translation file (a storage path), read on first use
// and kept for the life of the process. A missing or unreadable file gives a
// table without messages.
const LookupTable& GetLookupTableObject(std::string_view translationFile, bool load);

// The text of message `number` in the user's language: the translation
// file's, else the built-in English text, else "".
std::string LoadMessageString(int number);

// Compares two ANSI texts, single-byte letters without regard to case and
// double-byte characters exactly.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace tsln2xml::store
