#include "platform/code_page.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/byte_scan.h"

namespace tsln2xml::platform {
namespace {

constexpr char16_t kUnmappedPair = 0;
constexpr uint16_t kUnmappedReverse = 0xFFFF;
constexpr char16_t kReplacement = 0xFFFD;

struct LeadRange {
  uint8_t first, last;
};

// Lead-byte ranges of the double-byte code pages.
std::vector<LeadRange> LeadRanges(int codePage) {
  switch (codePage) {
    case 932: return {{0x81, 0x9F}, {0xE0, 0xFC}};
    case 936:
    case 949:
    case 950: return {{0x81, 0xFE}};
    default: return {};
  }
}

// One code page as tables built once from iconv: byte -> UTF-16, lead/trail
// pair -> UTF-16, and UTF-16 -> byte or pair.
struct CodePageTable {
  int codePage = 0;
  bool doubleByte = false;
  std::array<bool, 256> lead{};
  std::array<char16_t, 256> single{};
  std::array<bool, 256> identity{};  // an ASCII byte that both directions keep as it is
  bool asciiIdentity = false;        // every ASCII byte is kept as it is
  std::vector<char16_t> pair;       // index lead << 8 | trail, double-byte only
  std::vector<uint16_t> reverse;    // code unit -> byte (< 0x100) or pair
};

#ifdef _WIN32

// Decodes with the system's own tables (MultiByteToWideChar), refusing
// sequences that the code page leaves undefined.
class Decoder {
 public:
  explicit Decoder(int codePage) : codePage_(codePage) {}
  bool Usable() const { return IsValidCodePage(static_cast<UINT>(codePage_)) != 0; }
  // The single UTF-16 code unit `bytes` decode to, or 0 when the sequence is
  // undefined or gives something else.
  char16_t One(const char* bytes, size_t n) const {
    wchar_t out[4];
    const int got = MultiByteToWideChar(static_cast<UINT>(codePage_), MB_ERR_INVALID_CHARS, bytes,
                                        static_cast<int>(n), out, 4);
    return got == 1 ? static_cast<char16_t>(out[0]) : 0;
  }

 private:
  int codePage_;
};

#else

// Decodes with glibc's iconv.
class Decoder {
 public:
  explicit Decoder(int codePage) : cd_(iconv_open("UTF-16LE", ("CP" + std::to_string(codePage)).c_str())) {}
  ~Decoder() {
    if (Usable()) iconv_close(cd_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  bool Usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // The single UTF-16 code unit `bytes` decode to, or 0 when the sequence is
  // undefined or gives something else.
  char16_t One(const char* bytes, size_t n) const {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char in[2] = {bytes[0], n > 1 ? bytes[1] : '\0'};
    char out[8];
    char* inp = in;
    char* outp = out;
    size_t inLeft = n, outLeft = sizeof out;
    if (iconv(cd_, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return 0;
    if (sizeof out - outLeft != 2) return 0;
    return static_cast<char16_t>(static_cast<uint8_t>(out[0]) | (static_cast<uint8_t>(out[1]) << 8));
  }

 private:
  iconv_t cd_;
};

#endif

std::unique_ptr<CodePageTable> BuildTable(int codePage) {
  const Decoder decoder(codePage);
  if (!decoder.Usable()) return nullptr;
  auto table = std::make_unique<CodePageTable>();
  table->codePage = codePage;
  for (auto r : LeadRanges(codePage))
    for (int b = r.first; b <= r.last; ++b) table->lead[b] = true;
  table->doubleByte = !LeadRanges(codePage).empty();
  table->reverse.assign(0x10000, kUnmappedReverse);

  std::vector<int> undefinedSingles;
  for (int b = 0; b < 256; ++b) {
    if (table->lead[b]) continue;
    const char byte = static_cast<char>(b);
    char16_t u = b == 0 ? u'\0' : decoder.One(&byte, 1);
    if (b != 0 && u == 0) {
      undefinedSingles.push_back(b);
      u = static_cast<char16_t>(b);  // same value, as the Windows conversion does
    } else if (table->reverse[u] == kUnmappedReverse) {
      table->reverse[u] = static_cast<uint16_t>(b);
    }
    table->single[b] = u;
  }
  if (table->doubleByte) {
    table->pair.assign(0x10000, kUnmappedPair);
    for (int lead = 0; lead < 256; ++lead) {
      if (!table->lead[lead]) continue;
      for (int trail = 0x20; trail < 256; ++trail) {
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        const char16_t u = decoder.One(bytes, 2);
        if (u == 0) continue;
        const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
        table->pair[code] = u;
        if (table->reverse[u] == kUnmappedReverse) table->reverse[u] = code;
      }
    }
  }
  // Undefined single bytes round-trip through the code point of the same
  // value, unless that code point already belongs to a defined character.
  for (int b : undefinedSingles)
    if (table->reverse[b] == kUnmappedReverse) table->reverse[b] = static_cast<uint16_t>(b);
  for (int b = 0; b < 0x80; ++b) table->identity[b] = table->single[b] == b && table->reverse[b] == b;
  table->asciiIdentity = std::all_of(table->identity.begin(), table->identity.begin() + 0x80, [](bool b) { return b; });
  return table;
}

std::mutex gTablesMutex;
std::map<int, std::unique_ptr<CodePageTable>>& Tables() {
  // Never destroyed: the process's exit would otherwise free tables of
  // 128 KiB, which makes the allocator sort out every small block freed
  // before (a document's worth).
  static auto& tables = *new std::map<int, std::unique_ptr<CodePageTable>>;
  return tables;
}

const CodePageTable* TableFor(int codePage) {
  std::lock_guard lock(gTablesMutex);
  auto& tables = Tables();
  auto it = tables.find(codePage);
  if (it == tables.end()) it = tables.emplace(codePage, BuildTable(codePage)).first;
  return it->second.get();
}

bool KnownCodePage(int cp) {
  static constexpr int kKnown[] = {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258,
                                   437,  850,  866,  874,  932,  936,  949,  950};
  for (int k : kKnown)
    if (k == cp) return true;
  return false;
}

int InitialCodePage() {
  if (const char* env = std::getenv("TSLN2XML_CODEPAGE")) {
    char* end = nullptr;
    const long cp = std::strtol(env, &end, 10);
    if (end != env && *end == '\0' && KnownCodePage(static_cast<int>(cp)) &&
        TableFor(static_cast<int>(cp)))
      return static_cast<int>(cp);
  }
#ifdef _WIN32
  // The system's ANSI code page, when it is one of ours.
  const int system = static_cast<int>(GetACP());
  if (KnownCodePage(system) && TableFor(system)) return system;
#endif
  return 1252;
}

std::atomic<const CodePageTable*> gActive{nullptr};

const CodePageTable& Active() {
  const CodePageTable* t = gActive.load(std::memory_order_acquire);
  if (!t) {
    static const CodePageTable* initial = TableFor(InitialCodePage());
    const CodePageTable* expected = nullptr;
    gActive.compare_exchange_strong(expected, initial);
    t = gActive.load(std::memory_order_acquire);
  }
  return *t;
}

}  // namespace

int ActiveCodePage() { return Active().codePage; }

bool IsSupportedCodePage(int codePage) {
  return KnownCodePage(codePage) && TableFor(codePage) != nullptr;
}

void SetActiveCodePage(int codePage) {
  if (!IsSupportedCodePage(codePage)) return;
  gActive.store(TableFor(codePage), std::memory_order_release);
}

bool IsDoubleByteCodePage(int codePage) { return !LeadRanges(codePage).empty(); }

bool IsDBCSLeadByte(uint8_t byte) { return Active().lead[byte]; }

const std::array<bool, 256>& ActiveLeadBytes() { return Active().lead; }

bool IsDBCSLeadByteEx(int codePage, uint8_t byte) {
  if (codePage == Active().codePage) return Active().lead[byte];
  for (auto r : LeadRanges(codePage))
    if (byte >= r.first && byte <= r.last) return true;
  return false;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

namespace {

// Decodes one code point from UTF-8 at `i`, advancing it; malformed input
// gives U+FFFD and advances by one byte.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len;
  char32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + len > s.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<uint8_t>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
  if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += len;
  return cp;
}

// Decodes one code point from UTF-16 at `i`, advancing it.
char32_t DecodeUtf16(std::u16string_view s, size_t& i) {
  const char16_t u = s[i++];
  if (u >= 0xD800 && u <= 0xDBFF) {
    if (i < s.size() && s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (s[i] - 0xDC00);
      ++i;
      return cp;
    }
    return kReplacement;
  }
  if (u >= 0xDC00 && u <= 0xDFFF) return kReplacement;
  return u;
}

// Decodes one narrow character at `i` into a UTF-16 code unit, advancing `i`.
char16_t DecodeAnsi(const CodePageTable& t, std::string_view s, size_t& i) {
  const auto b = static_cast<uint8_t>(s[i]);
  if (t.doubleByte && t.lead[b]) {
    if (i + 1 < s.size()) {
      const char16_t u = t.pair[b << 8 | static_cast<uint8_t>(s[i + 1])];
      if (u != kUnmappedPair) {
        i += 2;
        return u;
      }
    }
    ++i;
    return kReplacement;
  }
  ++i;
  return t.single[b];
}

// False when `cp` has no form in the code page (it became "?").
bool EncodeAnsi(const CodePageTable& t, char32_t cp, std::string& out) {
  const uint16_t code = cp < 0x10000 ? t.reverse[cp] : kUnmappedReverse;
  if (code == kUnmappedReverse) {
    out.push_back('?');
    return false;
  } else if (code < 0x100) {
    out.push_back(static_cast<char>(code));
  } else {
    out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
  return true;
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
  const CodePageTable& t = Active();
  std::u16string out;
  out.reserve(ansi.size());
  for (size_t i = 0; i < ansi.size();) out.push_back(DecodeAnsi(t, ansi, i));
  return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
  const CodePageTable& t = Active();
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) EncodeAnsi(t, DecodeUtf16(text, i), out);
  return out;
}

namespace {

// The end of the run of bytes from `from` that stand for themselves in both
// directions (UTF-8 to the code page gives them back).
size_t IdentityRun(const CodePageTable& t, std::string_view ansi, size_t from) {
  size_t run = t.asciiIdentity ? AsciiRunEnd(ansi, from) : from;
  while (run < ansi.size() && t.identity[static_cast<uint8_t>(ansi[run])]) ++run;
  return run;
}

}  // namespace

size_t Utf8IdentityPrefix(std::string_view ansi) { return IdentityRun(Active(), ansi, 0); }

std::string AnsiToUtf8(std::string_view ansi) {
  const CodePageTable& t = Active();
  std::string out;
  out.reserve(ansi.size() + 8);
  for (size_t i = 0; i < ansi.size();) {
    // Runs of bytes that stand for themselves are copied at once.
    const size_t run = IdentityRun(t, ansi, i);
    out.append(ansi.data() + i, run - i);
    i = run;
    if (i < ansi.size()) AppendUtf8(out, DecodeAnsi(t, ansi, i));
  }
  return out;
}

std::string Utf8ToAnsi(std::string_view utf8, char32_t* unfit) {
  if (unfit) *unfit = 0;
  const CodePageTable& t = Active();
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    size_t run = i;
    while (run < utf8.size() && static_cast<uint8_t>(utf8[run]) < 0x80 &&
           t.reverse[static_cast<uint8_t>(utf8[run])] == static_cast<uint8_t>(utf8[run]))
      ++run;
    out.append(utf8.data() + i, run - i);
    i = run;
    if (i < utf8.size()) {
      const char32_t cp = DecodeUtf8(utf8, i);
      if (!EncodeAnsi(t, cp, out) && unfit && *unfit == 0) *unfit = cp;
    }
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) AppendUtf16(out, DecodeUtf8(utf8, i));
  return out;
}

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (size_t i = 0; i < utf8.size();) units += DecodeUtf8(utf8, i) < 0x10000 ? 1 : 2;
  return units;
}

void Utf8ToUtf16Into(std::string_view utf8, char16_t* out) {
  for (size_t i = 0; i < utf8.size();) {
    const char32_t cp = DecodeUtf8(utf8, i);
    if (cp < 0x10000) {
      *out++ = static_cast<char16_t>(cp);
    } else {
      *out++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) AppendUtf8(out, DecodeUtf16(text, i));
  return out;
}

}  // namespace tsln2xml::platform
