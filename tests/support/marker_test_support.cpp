#include "support/marker_test_support.h"

#include <gtest/gtest.h>
#include <libxml/xpath.h>

#include <filesystem>
#include <stdexcept>

#include "platform/code_page.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/document.h"

namespace tsln2xml::test {

MarkerExport ExportMarker(const TempArea& area, const std::string& name, const char* schema) {
  const std::string file = area.File("marker.xml");
  std::filesystem::remove(file);
  MarkerExport result;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  result.code = ConvertMarkerToXML("", area.c_str(), name.c_str(), file.c_str(), schema);
  result.out = testing::internal::GetCapturedStdout();
  result.err = testing::internal::GetCapturedStderr();
  if (!std::filesystem::exists(file)) return result;
  result.bytes = ReadFile(file);
  std::u16string text((result.bytes.size() - std::min<size_t>(result.bytes.size(), 2)) / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(static_cast<uint8_t>(result.bytes[2 + 2 * i]) |
                                    static_cast<uint8_t>(result.bytes[3 + 2 * i]) << 8);
  result.xml = platform::Utf16ToUtf8(text);
  return result;
}

MarkerExport ExportData(const marker::MarkerData& data, const char* schema) {
  TempArea area;
  if (marker::StoreMarker(area.path(), "M", data) != 1) throw std::runtime_error("cannot store the marker");
  return ExportMarker(area, "M", schema);
}

MarkerExport ExportBuilt(const marker::MarkerBuilder& builder, const char* schema) {
  return ExportData(builder.Build(), schema);
}

namespace {

std::vector<xmlNodePtr> Nodes(const xml::Document& doc, const std::string& xpath) {
  std::vector<xmlNodePtr> nodes;
  xml::XPathContextPtr ctxt(xmlXPathNewContext(doc.get()));
  xml::XPathObjectPtr result(xmlXPathEvalExpression(xml::X(xpath.c_str()), ctxt.get()));
  if (!result) throw std::runtime_error("bad XPath expression " + xpath);
  if (result->nodesetval)
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) nodes.push_back(result->nodesetval->nodeTab[i]);
  return nodes;
}

xml::Document Parse(const std::string& xml) {
  xml::Document doc;
  if (!doc.LoadUtf8(xml)) throw std::runtime_error("not well-formed:\n" + xml);
  return doc;
}

}  // namespace

std::vector<std::string> Select(const std::string& xml, const std::string& xpath) {
  const xml::Document doc = Parse(xml);
  std::vector<std::string> values;
  for (xmlNodePtr n : Nodes(doc, xpath)) {
    xml::XmlCharPtr content(xmlNodeGetContent(n));
    values.emplace_back(content ? xml::C(content.get()) : "");
  }
  return values;
}

std::vector<std::string> ChildNames(const std::string& xml, const std::string& xpath) {
  const xml::Document doc = Parse(xml);
  const auto nodes = Nodes(doc, xpath);
  std::vector<std::string> names;
  if (nodes.empty()) return names;
  for (xmlNodePtr c = xmlFirstElementChild(nodes.front()); c; c = xmlNextElementSibling(c))
    names.emplace_back(xml::C(c->name));
  return names;
}

std::string Leaves(const std::string& xml, const std::string& xpath) {
  const xml::Document doc = Parse(xml);
  std::string out;
  for (xmlNodePtr n : Nodes(doc, xpath)) {
    out += (out.empty() ? "" : " ") + std::string(xml::C(n->name));
    for (xmlAttrPtr a = n->properties; a; a = a->next) {
      xml::XmlCharPtr value(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(a)));
      out += " @" + std::string(xml::C(a->name)) + "=" + xml::C(value.get());
    }
    if (!xmlFirstElementChild(n)) {
      xml::XmlCharPtr content(xmlNodeGetContent(n));
      if (content && *content.get()) out += "=" + std::string(xml::C(content.get()));
    }
  }
  return out;
}

std::string InstalledMarkerSchema() { return std::string(TSLN2XML_BINARY_DIR) + "/MARKER.XSD"; }

}  // namespace tsln2xml::test
