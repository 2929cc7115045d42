#include "platform/number_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cmath>
#include <limits>
#include <system_error>

namespace tsln2xml::platform {

namespace {
// Widens the exponent to at least three digits, as the Windows runtime does.
std::string WidenExponent(std::string text) {
  const auto e = text.find('e');
  if (e != std::string::npos) {
    size_t digits = e + 2;  // after 'e' and its sign
    const size_t count = text.size() - digits;
    if (count < 3) text.insert(digits, 3 - count, '0');
  }
  return text;
}
}  // namespace

std::string_view FormatDouble(double value, int precision, NumberBuffer& buffer) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char* const begin = buffer.data();
  // More digits than this say nothing more about a double and would not fit.
  precision = std::min(precision, 40);
  // The exponent is widened in place, so two characters stay free for it.
  const auto res = std::to_chars(begin, begin + buffer.size() - 2, value, std::chars_format::general, precision);
  char* end = res.ptr;
  if (char* e = std::find(begin, end, 'e'); e != end) {
    char* digits = e + 2;  // after 'e' and its sign
    const auto count = end - digits;
    if (count < 3) {
      const auto widen = 3 - count;
      std::memmove(digits + widen, digits, static_cast<size_t>(count));
      std::fill(digits, digits + widen, '0');
      end += widen;
    }
  }
  return std::string_view(begin, static_cast<size_t>(end - begin));
}

std::string FormatDouble(double value, int precision) {
  NumberBuffer buffer;
  return std::string(FormatDouble(value, precision, buffer));
}

std::string_view FormatInteger(int64_t value, NumberBuffer& buffer) {
  const auto res = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string_view(buffer.data(), static_cast<size_t>(res.ptr - buffer.data()));
}

std::string FormatFloatShortest(float value) {
  if (!std::isfinite(value)) return FormatDouble(value, 9);
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  std::string text = WidenExponent(std::string(buf, res.ptr));
  // Readers take the text as a double and narrow it; should that ever land on
  // another float, nine digits always come back to the same one.
  const auto back = ParseDouble(text);
  if (!back || static_cast<float>(*back) != value) return FormatDouble(value, 9);
  return text;
}

namespace {
bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
}  // namespace

std::optional<double> ParseDouble(std::string_view text, bool* overflow) {
  if (overflow) *overflow = false;
  while (!text.empty() && IsXmlSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsXmlSpace(text.back())) text.remove_suffix(1);
  if (text == "INF" || text == "+INF") return std::numeric_limits<double>::infinity();
  if (text == "-INF") return -std::numeric_limits<double>::infinity();
  if (text == "NaN") return std::numeric_limits<double>::quiet_NaN();
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  // Only digits, one sign, point and exponent: from_chars would also take
  // "inf", "nan" and hexadecimal forms that are not numbers here.
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+'))
      return std::nullopt;
  }
  double value = 0;
  auto res = std::from_chars(text.data(), text.data() + text.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    if (overflow) *overflow = true;
    return std::nullopt;
  }
  if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace tsln2xml::platform
