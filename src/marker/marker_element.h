#pragma once
// One node of a marker document: a name, text or children (never both),
// and attributes in insertion order. Names, texts and values are narrow
// strings in the ANSI code page; numbers are stored in their text forms.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tsln2xml::marker {

// The text forms of numbers in marker documents: integers in decimal, doubles
// with 6 significant digits and a three-digit exponent (1e+006, 0.5).
std::string FormatInteger(int64_t value);
std::string FormatReal(double value);

class MarkerElement {
 public:
  using Attribute = std::pair<std::string, std::string>;

  explicit MarkerElement(std::string name) : name_(std::move(name)) {}
  MarkerElement(std::string name, std::string text) : name_(std::move(name)), text_(std::move(text)) {}
  MarkerElement(std::string name, const char* text) : name_(std::move(name)), text_(text) {}
  MarkerElement(std::string name, int32_t number) : name_(std::move(name)), text_(FormatInteger(number)) {}
  MarkerElement(std::string name, double number) : name_(std::move(name)), text_(FormatReal(number)) {}

  const std::string& Name() const { return name_; }
  const std::string& Text() const { return text_; }
  const std::vector<Attribute>& Attributes() const { return attributes_; }
  const std::vector<MarkerElement>& Children() const { return children_; }
  bool Empty() const { return text_.empty() && children_.empty(); }

  // Appends a child; an element with text takes none (the child is dropped).
  void AppendChild(MarkerElement child) {
    if (text_.empty()) children_.push_back(std::move(child));
  }
  // Room for `count` children, so that appending them moves none.
  void ReserveChildren(size_t count) { children_.reserve(count); }
  template <class Value>
  void AppendChild(std::string name, Value&& value) {
    AppendChild(MarkerElement(std::move(name), std::forward<Value>(value)));
  }

  void SetAttribute(std::string name, std::string value) { attributes_.emplace_back(std::move(name), std::move(value)); }
  void SetAttribute(std::string name, const char* value) { attributes_.emplace_back(std::move(name), value); }
  void SetAttribute(std::string name, int32_t value) { SetAttribute(std::move(name), FormatInteger(value)); }
  void SetAttribute(std::string name, double value) { SetAttribute(std::move(name), FormatReal(value)); }

  // This element and all its descendants.
  size_t CountNodes() const;

 private:
  std::string name_;
  std::string text_;
  std::vector<Attribute> attributes_;
  std::vector<MarkerElement> children_;
};

}  // namespace tsln2xml::marker
