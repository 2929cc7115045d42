// Faults the round-trip fuzzing found, beyond the inputs kept in
// fuzz/corpus/*/finding-* (which the fuzz_replay tests run).

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "xml/document.h"
#include "xml/element_content.h"

namespace tsln2xml::xml {
namespace {

// A negative NumBreaks or NumSizes reads as no growth pairs or no sizes; the
// import used to refuse the document such an item exports (NumBreaks below
// -1 can never have NumBreaks + 1 growth elements).
TEST(RoundTripFindings, NegativeGradingCountsComeBack) {
  test::TempArea area;
  for (const char* counts : {R"(NumBreaks="-2" NumSizes="0")", R"(NumBreaks="-1" NumSizes="-5")",
                             R"(NumBreaks="-3072" NumSizes="-22007")"}) {
    const std::string document = std::string(R"(<Grading xmlns="urn:tsln2xml:data/Grading" version="1" Name="G" Comment1="" Comment2="" )") +
                                 counts + R"( SizeIdType="Numeric" BaseIndex="0" SizeIncrement="0">)" +
                                 R"(<GradingRule RuleId="1"><Point/></GradingRule></Grading>)";
    ASSERT_EQ(test::ImportFromString(23, area.path(), "G", document), 0) << counts;
    const auto exported = test::ExportToString(23, area.path(), "G");
    ASSERT_EQ(exported.code, 0) << counts;
    EXPECT_EQ(test::CompareXml(document, exported.xml), "") << counts;
  }
}

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
