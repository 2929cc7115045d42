#pragma once
// The "system ANSI code page" and the text conversions around it. Narrow text
// (item names, record texts, messages) is in this code page; XML text is
// Unicode. The code page is the one TSLN2XML_CODEPAGE names (single-byte:
// 1250-1258, 437, 850, 866, 874; double-byte: 932, 936, 949, 950); without
// it, the system's ANSI code page on Windows (when one of these) and
// Windows-1252 elsewhere. The tables come from MultiByteToWideChar on Windows
// and from iconv elsewhere, read the same way.
//
// No byte is lost in either direction for single-byte code pages: bytes the
// code page leaves undefined map to the code point of the same value and back.
// Characters a code page cannot represent become "?" on the way to narrow, as
// the Windows conversion does with its default character.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tsln2xml::platform {

int ActiveCodePage();
// Switches the code page of the process (tests; the CLI's --codepage). Not
// meant to be called while conversions run on other threads.
void SetActiveCodePage(int codePage);
bool IsSupportedCodePage(int codePage);
bool IsDoubleByteCodePage(int codePage);

bool IsDBCSLeadByteEx(int codePage, uint8_t byte);
// The same for the active code page, in one table lookup.
bool IsDBCSLeadByte(uint8_t byte);
// The same for every byte at once: a loop over many bytes looks the code page
// up once. Valid until the active code page changes.
const std::array<bool, 256>& ActiveLeadBytes();

std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view text);
std::string AnsiToUtf8(std::string_view ansi);
// `unfit`, when given, gets the first character that has no form in the
// code page (and became "?"), or 0 when every character has one.
std::string Utf8ToAnsi(std::string_view utf8, char32_t* unfit = nullptr);
// How many leading bytes of `ansi` read the same as UTF-8 (ASCII that the
// code page leaves as it is, both ways): a text of only such bytes is its
// own UTF-8 and comes back unchanged.
size_t Utf8IdentityPrefix(std::string_view ansi);

// Unicode transformations. Malformed input (bad UTF-8 sequences, lone
// surrogates) becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view text);
void AppendUtf8(std::string& out, char32_t cp);
// The number of UTF-16 code units of `utf8`, and the same units written to
// `out` (room for exactly that many), as Utf8ToUtf16 gives them.
size_t Utf16Length(std::string_view utf8);
void Utf8ToUtf16Into(std::string_view utf8, char16_t* out);
void AppendUtf16(std::u16string& out, char32_t cp);

}  // namespace tsln2xml::platform
