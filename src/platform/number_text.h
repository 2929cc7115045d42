#pragma once
// Text forms of numbers, independent of the process locale.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tsln2xml::platform {

// Up to `precision` significant digits, plain notation or, when the decimal
// exponent is below -4 or at least `precision`, exponent notation with a sign
// and at least three exponent digits (1.00000000000000008180305e-005); trailing
// zeros dropped. Non-finite values take their XML Schema forms NaN, INF, -INF.
std::string FormatDouble(double value, int precision);
// The attribute form of doubles: 24 significant digits.
inline std::string FormatDouble24(double value) { return FormatDouble(value, 24); }

// Room for the text of any number formatted here.
using NumberBuffer = std::array<char, 64>;
// The same texts written into `buffer`, without a string on the heap; the
// result views `buffer`.
std::string_view FormatDouble(double value, int precision, NumberBuffer& buffer);
std::string_view FormatInteger(int64_t value, NumberBuffer& buffer);
// The shortest text that reads back as the same single-precision float (0.1f
// is "0.1"), in the same notation; non-finite values as above.
std::string FormatFloatShortest(float value);

// Invariant-locale parsing of a whole text (surrounding XML white space
// allowed). ParseDouble accepts the xs:double forms (leading "+", exponent,
// INF, -INF, NaN); nullopt when the text is not a number. Results outside the
// double range are reported through `overflow`.
std::optional<double> ParseDouble(std::string_view text, bool* overflow = nullptr);

}  // namespace tsln2xml::platform
