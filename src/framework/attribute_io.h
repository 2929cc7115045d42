#pragma once
// The attributes of one element described once, like store records: a
// function template over a walker that either writes the model's values as
// attributes (store to XML) or reads them back (XML to store):
//
//   template <class Io>
//   void AlterationAttributes(Io& io, Alteration& a) {
//     io.Text("Name", a.name, Tessaline::kUpper);
//     io.Scaled("Amount", a.amount, 10000.0);
//   }

#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>

#include "framework/xml_data_item.h"
#include "model/fixed_text.h"
#include "xml/attributes.h"
#include "xml/enum_name_table.h"

namespace tsln2xml {

class AttributeEmitter {
 public:
  static constexpr bool kDecoding = false;
  explicit AttributeEmitter(xml::Node element) : element_(element) {}

  void Text(const char* name, const Tessaline::FixedText& text, Tessaline::TextOptions) {
    xml::SetAttributeText(element_, name, text.str());
  }
  template <class T>
    requires std::is_integral_v<T>
  void Int(const char* name, const T& value) {
    xml::SetAttribute(element_, name, static_cast<int64_t>(value));
  }
  void Double(const char* name, const double& value) { xml::SetAttribute(element_, name, value); }
  void Float(const char* name, const float& value) { xml::SetAttributeFloat(element_, name, value); }
  // A stored integer in units of 1/scale, written as a double.
  template <class T>
    requires std::is_integral_v<T>
  void Scaled(const char* name, const T& stored, double scale) {
    xml::SetAttribute(element_, name, static_cast<double>(stored) / scale);
  }
  template <class T>
  void Code(const char* name, const T& value, const xml::EnumNameTable<T>& table) {
    xml::SetAttributeUtf8(element_, name, table.NameOf(value));
  }
  void Bool(const char* name, const bool& value) {
    xml::SetAttributeUtf8(element_, name, xml::BooleanNames().NameOf(value));
  }

 private:
  xml::Node element_;
};

class AttributeParser {
 public:
  static constexpr bool kDecoding = true;
  explicit AttributeParser(xml::Node element) : element_(element) {}

  void Text(const char* name, Tessaline::FixedText& text, Tessaline::TextOptions options) {
    text.FromText(xml::GetAttributeText(element_, name), options);
  }
  template <class T>
    requires std::is_integral_v<T>
  void Int(const char* name, T& value) {
    value = static_cast<T>(xml::GetAttributeInteger(element_, name, static_cast<int64_t>(value),
                                                    std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
  }
  void Double(const char* name, double& value) { value = xml::GetAttributeDouble(element_, name, value); }
  // Beyond the float range: an overflow (code 4).
  void Float(const char* name, float& value) { value = xml::GetAttributeFloat(element_, name, value); }
  // Read as a double, then scaled and truncated toward zero, so fractions of
  // the stored unit survive.
  template <class T>
    requires std::is_integral_v<T>
  void Scaled(const char* name, T& stored, double scale) {
    xml::AttributeValue text(element_, name);
    if (!text) return;
    const int32_t scaled = xml::ScaleToInt32(xml::ConvertToDouble(*text), scale);
    if (scaled < std::numeric_limits<T>::min() || scaled > std::numeric_limits<T>::max())
      throw XmlServiceError(hresult::kOverflow, std::string("Overflow scaling ") + name);
    stored = static_cast<T>(scaled);
  }
  template <class T>
  void Code(const char* name, T& value, const xml::EnumNameTable<T>& table) {
    xml::AttributeValue text(element_, name);
    if (text) value = table.ValueOf(*text);
  }
  void Bool(const char* name, bool& value) { value = xml::GetAttributeBool(element_, name, value); }

 private:
  xml::Node element_;
};

}  // namespace tsln2xml
