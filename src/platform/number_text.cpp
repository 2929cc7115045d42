#include "platform/number_text.h"

#include <charconv>
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

std::string FormatDouble(double value, int precision) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, precision);
  return WidenExponent(std::string(buf, res.ptr));
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
