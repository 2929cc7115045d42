// The document text written by our own writer: the same bytes as libxml2's
// serialiser for every shape a built document takes, libxml2's text for
// anything else, and a failed write reported.

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "xml/attributes.h"
#include "xml/document.h"
#include "xml/element_content.h"

namespace tsln2xml::test {
namespace {

using namespace xml;

constexpr const char* kNs = "urn:tsln2xml:data/SizeCode";

std::string LibxmlText(const Document& doc) {
  xmlChar* mem = nullptr;
  int size = 0;
  xmlDocDumpFormatMemoryEnc(doc.get(), &mem, &size, "UTF-8", 1);
  std::string text(reinterpret_cast<const char*>(mem), static_cast<size_t>(size));
  xmlFree(mem);
  return text;
}

// Nesting past the 30 indented levels, text beside elements, empty and
// repeated attributes, values on both sides of the size kept inside a node,
// every character that is escaped (also at each place in and across the
// sixteen-byte blocks the writer tests at once, and once more after it), and
// more text than one buffer holds.
Document EveryShape() {
  Document doc;
  Node root = doc.CreateElement("Root", kNs);
  doc.SetRoot(root);
  SetAttributeUtf8(root, "Empty", "");
  SetAttributeUtf8(root, "Fifteen", "123456789012345");
  SetAttributeUtf8(root, "Sixteen", "1234567890123456");
  SetAttributeUtf8(root, "Escaped", "\t\n\r\"<>&' \xC3\xA9\x01");
  SetAttribute(root, "Again", int32_t{1});
  SetAttribute(root, "Again", 2.5);
  Node deep = root;
  for (int i = 0; i < 34; ++i) deep = AppendChild(deep, doc.CreateElement("Level", kNs));
  SetElementText(AppendChild(deep, doc.CreateElement("Text", kNs)), "a<b>&c\r\n\"d\" \xE9");
  Node mixed = AppendChild(root, doc.CreateElement("Mixed", kNs));
  SetElementText(mixed, "before");
  SetAttribute(AppendChild(mixed, doc.CreateElement("Inner", kNs)), "N", int32_t{3});
  for (const char escaped : std::string_view("<>&\r\"\n\t\xC3")) {
    for (size_t at = 0; at < 34; ++at) {
      const std::string text = std::string(at, 'x') + escaped + std::string(33 - at, 'y') + escaped;
      Node word = AppendChild(root, doc.CreateElement("Word", kNs));
      SetAttributeUtf8(word, "V", text);
      SetElementText(word, text);
    }
  }
  for (int i = 0; i < 4000; ++i) SetAttribute(AppendChild(root, doc.CreateElement("Entry", kNs)), "Value", i / 7.0);
  return doc;
}

TEST(DocumentText, SameBytesAsLibxml2) {
  const Document doc = EveryShape();
  const std::string expected = LibxmlText(doc);
  ASSERT_GT(expected.size(), size_t{128 * 1024});
  EXPECT_EQ(doc.SerializeUtf8(), expected);
  TempArea dir;
  ASSERT_TRUE(doc.SaveFile(dir.File("out.xml")));
  EXPECT_EQ(ReadFile(dir.File("out.xml")), expected);

  // A comment is not ours to write: what was already written is replaced
  // by libxml2's text of the whole document.
  xmlAddChild(doc.Root(), xmlNewDocComment(doc.get(), reinterpret_cast<const xmlChar*>(" c ")));
  ASSERT_TRUE(doc.SaveFile(dir.File("comment.xml")));
  EXPECT_EQ(ReadFile(dir.File("comment.xml")), LibxmlText(doc));
}

TEST(DocumentText, FullDiskIsAFailure) {
  Document small;
  small.SetRoot(small.CreateElement("E", kNs));
  EXPECT_FALSE(small.SaveFile("/dev/full"));
  EXPECT_FALSE(EveryShape().SaveFile("/dev/full"));
}

}  // namespace
}  // namespace tsln2xml::test
