#include "marker/marker_element.h"

#include <charconv>

#include "platform/number_text.h"

namespace tsln2xml::marker {

std::string FormatInteger(int64_t value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

std::string FormatReal(double value) { return platform::FormatDouble(value, 6); }

size_t MarkerElement::CountNodes() const {
  size_t n = 1;
  for (const auto& child : children_) n += child.CountNodes();
  return n;
}

}  // namespace tsln2xml::marker
