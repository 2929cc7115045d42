// Fixed-width text fields: the one rule that builds a value from a record
// field or a document text, per field kind, with upper-casing and cleaning.

#include <gtest/gtest.h>

#include "model/fixed_text.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

using namespace Tessaline;

std::vector<uint8_t> Field(std::string_view bytes, size_t width) {
  std::vector<uint8_t> f(width, 0);
  std::copy_n(bytes.begin(), std::min(bytes.size(), width), f.begin());
  return f;
}

struct Case {
  FixedTextKind kind;
  std::string input;  // the field's bytes (NUL-padded to the kind's width) or the text
  TextOptions options;
  std::string expected;
};

void ExpectFromField(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    FixedText text(c.kind);
    text.FromField(Field(c.input, c.kind.width), c.options);
    EXPECT_EQ(text.str(), c.expected) << "field \"" << c.input << "\" width " << c.kind.width;
  }
}

TEST(FixedText, ReadingFieldsTrimsAndUpperCases) {
  ExpectFromField({
      {kSizeName6, "  m10 ", kUpper, "M10"},
      {kSizeName6, "  m10 ", kAsIs, "m10"},
      {kSizeName6, "ABCDEF", kAsIs, "ABCDEF"},  // full field, no terminator
      {kSizeName6, "      ", kAsIs, ""},
      {kSizeName6, std::string("\0AB", 3), kAsIs, ""},  // a leading NUL ends the text
      {kSizeName6, std::string("A\0B", 3), kAsIs, "A"},
      {kSizeName6, "\tx y\n", kUpper, "X Y"},
      {kPrintable10, "sleeve len", kUpper, "SLEEVE LEN"},
      {kPrintable20, "caf\xE9", kUpper, "CAF\xE9"},  // only ASCII letters change case
  });
}

TEST(FixedText, QuoteKindUsesTheAvailableLength) {
  FixedText text(kQuoted);
  const std::string bytes = "say \"hi\"   trailing";
  text.FromField(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), 11), kClean);
  EXPECT_EQ(text.str(), "say -hi-");
  text.FromText(bytes, kAsIs);
  EXPECT_EQ(text.str(), bytes);
}

TEST(FixedText, DoubleByteCharactersAreNeverSplit) {
  CodePageScope cp(932);
  const std::string a = "\x82\xA0";  // hiragana A
  ExpectFromField({
      {kSizeName6, a + a + a, kAsIs, a + a + a},                // exactly full
      {kSizeName6, "ab" + a + "c\x82", kAsIs, "ab" + a + "c"},  // a pair cut by the field end is dropped
      {kSizeName6, "\x82" "a", kUpper, "\x82" "a"},              // the second byte is not a letter to upper-case
      {kSizeName6, a + "!", kUpperClean, a + "-"},               // pairs pass the cleaning whole
      {kSizeName6, "x " + a + " ", kAsIs, "x " + a},
  });
  FixedText text(kSizeName6);
  text.FromText("abcde" + a, kAsIs);  // 6 bytes would end inside the pair
  EXPECT_EQ(text.str(), "abcde");
  std::string loneLead = "ab\x82";
  CleanText(loneLead, TextRule::kName);
  EXPECT_EQ(loneLead, "ab");
}

}  // namespace
}  // namespace tsln2xml::test
