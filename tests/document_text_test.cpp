// The document text written by our own writer: the same bytes as libxml2's
// serialiser for every shape a built document takes, libxml2's text for
// anything else, and a failed write reported.

#include <gtest/gtest.h>

#include "core/data_types.h"
#include "framework/xml_data_item.h"
#include "platform/code_page.h"
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

// Nesting past the 30 indented levels, text beside elements (unless
// `mixed` is false: a streamed document refuses it), empty and repeated
// attributes (a value given again, also before others), values on both sides
// of the size kept inside a node, every character that is escaped (also at
// each place in and across the sixteen-byte blocks the writer tests at once,
// and once more after it), and more text than one buffer holds.
void BuildEveryShape(Document& doc, bool mixed = true) {
  Node root = doc.CreateElement("Root", kNs);
  doc.SetRoot(root);
  SetAttributeUtf8(root, "Empty", "");
  SetAttributeUtf8(root, "Fifteen", "123456789012345");
  SetAttributeUtf8(root, "Sixteen", "1234567890123456");
  SetAttributeUtf8(root, "Escaped", "\t\n\r\"<>&' \xC3\xA9\x01");
  SetAttribute(root, "Again", int32_t{1});
  SetAttribute(root, "Again", 2.5);
  SetAttributeUtf8(root, "Fifteen", "<longer & longer>");
  SetAttribute(root, "Again", int32_t{3});
  Node deep = root;
  for (int i = 0; i < 34; ++i) deep = AppendChild(deep, doc.CreateElement("Level", kNs));
  SetElementText(AppendChild(deep, doc.CreateElement("Text", kNs)), "a<b>&c\r\n\"d\" \xE9");
  if (mixed) {
    Node element = AppendChild(root, doc.CreateElement("Mixed", kNs));
    SetElementText(element, "before");
    SetAttribute(AppendChild(element, doc.CreateElement("Inner", kNs)), "N", int32_t{3});
  }
  SetElementText(AppendChild(root, doc.CreateElement("NoText", kNs)), "");
  for (const char escaped : std::string_view("<>&\r\"\n\t\xC3")) {
    for (size_t at = 0; at < 34; ++at) {
      const std::string text = std::string(at, 'x') + escaped + std::string(33 - at, 'y') + escaped;
      Node word = AppendChild(root, doc.CreateElement("Word", kNs));
      SetAttributeUtf8(word, "V", text);
      SetElementText(word, text);
    }
  }
  for (int i = 0; i < 4000; ++i) SetAttribute(AppendChild(root, doc.CreateElement("Entry", kNs)), "Value", i / 7.0);
}

Document EveryShape() {
  Document doc;
  BuildEveryShape(doc);
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

// A document written as it is built gives the tree's text, and refuses (so
// that the caller builds the tree) whatever its text cannot follow.
TEST(DocumentText, StreamedTextIsTheTreesText) {
  Document tree;
  BuildEveryShape(tree, false);
  Document streamed = Document::Streamed();
  BuildEveryShape(streamed, false);
  size_t longest = 0;
  EXPECT_EQ(streamed.FinishText(longest), tree.SerializeUtf8());

  using Build = void (*)(Document&, Node root);
  const struct {
    const char* what;
    Build build;
  } refused[] = {
      {"an attribute after a child",
       [](Document& d, Node root) {
         AppendChild(root, d.CreateElement("A", kNs));
         SetAttributeUtf8(root, "Late", "x");
       }},
      {"an element appended to a closed one",
       [](Document& d, Node root) {
         Node first = AppendChild(root, d.CreateElement("A", kNs));
         AppendChild(root, d.CreateElement("B", kNs));
         AppendChild(first, d.CreateElement("C", kNs));
       }},
      {"an element after text",
       [](Document& d, Node root) {
         Node a = AppendChild(root, d.CreateElement("A", kNs));
         SetElementText(a, "text");
         AppendChild(a, d.CreateElement("B", kNs));
       }},
      {"text after an element",
       [](Document& d, Node root) {
         AppendChild(root, d.CreateElement("A", kNs));
         SetElementText(root, "text");
       }},
      {"an attribute of an element not yet appended",
       [](Document& d, Node) {
         const std::unique_ptr<xmlNode, void (*)(xmlNodePtr)> unattached(d.CreateElement("A", kNs), xmlFreeNode);
         SetAttributeUtf8(unattached.get(), "X", "1");
       }},
      {"a second root", [](Document& d, Node) { d.SetRoot(d.CreateElement("Other", kNs)); }},
      {"a prefixed attribute", [](Document&, Node root) { SetAttributeUtf8(root, "p:x", "1"); }},
      {"an attribute read back", [](Document&, Node root) { GetAttributeText(root, "X"); }},
      {"elements looked up", [](Document&, Node root) { SelectNodes(root, "A", kNs); }},
  };
  for (const auto& row : refused) {
    Document doc = Document::Streamed();
    Node root = doc.CreateElement("Root", kNs);
    doc.SetRoot(root);
    SetAttributeUtf8(root, "X", "1");
    EXPECT_THROW(row.build(doc, root), NotStreamable) << row.what;
  }
}

// A reader over no item, building a small alteration document in document
// order or not, valid or not, or failing half way.
enum class Ending { kValid, kInvalid, kFailing };

class ShapedReader : public XMLReader {
 public:
  ShapedReader(bool inOrder, Ending ending, bool streams)
      : XMLReader("", "AREA", "SHAPED", *FindItemFileEntry(kAlteration)),
        inOrder_(inOrder),
        ending_(ending),
        streams_(streams) {}
  void Open() override {}
  void Convert() override {
    Node root = AppendRoot("Alteration");
    Node rule = AppendElement(root, "Rule");
    if (inOrder_) SetAttribute(rule, "Name", "HEM");
    SetAttribute(rule, "PieceUsage", "Both");
    Node item = AppendElement(rule, "Item");
    for (const char* name : {"FirstPoint", "SecondPoint", "XPercentAlt", "YPercentAlt"})
      SetAttribute(item, name, int32_t{4});
    SetAttribute(item, "Type", "XYMove");
    if (!inOrder_) SetAttribute(rule, "Name", "HEM");
    if (ending_ == Ending::kFailing) {
      SetAttribute(AppendElement(root, "Rule"), "Name", "HALF");
      Fail("failed half way");
    }
    if (ending_ == Ending::kInvalid) AppendElement(root, "Unknown");
  }

 protected:
  bool StreamsDocument() const override { return streams_; }

 private:
  bool inOrder_;
  Ending ending_;
  bool streams_;
};

// The document as text, or the failure and the file written after it.
std::string Outcome(bool inOrder, Ending ending, bool streams, TempArea& dir) {
  const std::string file = dir.File(streams ? "streamed.xml" : "tree.xml");
  ShapedReader reader(inOrder, ending, streams);
  try {
    return platform::Utf16ToUtf8(reader.ToString());
  } catch (const Tsln2XmlException&) {
  }
  ShapedReader again(inOrder, ending, streams);
  try {
    again.ToFile(file);
    return "written";
  } catch (const Tsln2XmlException& e) {
    again.SaveAsFarAsBuilt(file);
    return std::to_string(e.Code()) + ": " + e.what() + "\n" + ReadFile(file);
  }
}

TEST(DocumentText, ReadersGiveTheSameDocumentStreamedOrNot) {
  TempArea dir;
  for (const bool inOrder : {true, false}) {
    for (const Ending ending : {Ending::kValid, Ending::kInvalid, Ending::kFailing}) {
      const std::string streamed = Outcome(inOrder, ending, true, dir);
      EXPECT_EQ(streamed, Outcome(inOrder, ending, false, dir)) << inOrder << static_cast<int>(ending);
      EXPECT_EQ(streamed.starts_with("<?xml version=\"1.0\"?>\n<Alteration"), ending == Ending::kValid) << streamed;
      // What was built goes to the file after a failure, closed.
      if (ending == Ending::kFailing) {
        EXPECT_NE(streamed.find("<Rule Name=\"HALF\"/>\n</Alteration>\n"), std::string::npos) << streamed;
      }
    }
  }
}

}  // namespace
}  // namespace tsln2xml::test
