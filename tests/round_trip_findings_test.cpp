// Faults the round-trip fuzzing found, beyond the inputs kept in
// fuzz/corpus/*/finding-* (which the fuzz_replay tests run).

#include <gtest/gtest.h>

#include "xml/document.h"
#include "xml/element_content.h"

namespace tsln2xml::xml {
namespace {

// A control character in an item's text used to go into element text as it
// was: the export succeeded with a document that no parser (nor the import)
// accepts.
TEST(RoundTripFindings, ControlCharactersInElementTextKeepTheDocumentWellFormed) {
  for (const char* text : {"A\x03" "B", "\x01", "TAB\tLF\nCR\r", "\x1F\x7F"}) {
    Document doc;
    Node root = doc.CreateElement("r", "urn:x");
    doc.SetRoot(root);
    SetElementText(root, text);
    Document back;
    ASSERT_TRUE(back.LoadUtf8(doc.SerializeUtf8())) << doc.SerializeUtf8();
    const std::string read = GetElementText(back.Root());
    EXPECT_EQ(read.size(), std::string(text).size()) << read;  // one character for one
  }
}

}  // namespace
}  // namespace tsln2xml::xml
