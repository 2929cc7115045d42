// Annotation libraries through the exports and the store: the mixed order
// sequence byte for byte, symbols, constant texts (double-byte ones too),
// the special and construct categories, the format table, orders that do not
// match their format, and the failures.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "converters/library/annotation.h"
#include "platform/code_page.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

ByteBuilder& EntryRecord(ByteBuilder& b, std::string_view category, int8_t number, int8_t height, int16_t orders) {
  return b.Text(category, 20).I8(number).I8(height).I16(orders);
}

std::string Document(std::string_view entries) {
  return R"(<Annotation xmlns="urn:tsln2xml:data/Annotation" Name="A" Comment1="" Comment2="">)" + std::string(entries) +
         "</Annotation>";
}

// Points the drive of the translation file at a directory of the test's own,
// holding `contents` as the file when given.
class TranslationDrive {
 public:
  explicit TranslationDrive(const TempArea& area, const char* contents = nullptr)
      : dir_(area.path() + "/drive-c"), drive_("TSLN2XML_DRIVE_C", dir_.c_str()) {
    std::filesystem::create_directories(dir_ + "/userroot/system/mparam");
    if (contents) WriteFile(dir_ + "/userroot/system/mparam/LangStrings.txt", contents);
  }

 private:
  std::string dir_;
  EnvScope drive_;
};

// Most cases run without translations.
class Annotation : public ::testing::Test {
 protected:
  TempArea area;
  TranslationDrive noTranslations{area};
};

// An entry stores one symbol: every symbol of an entry reads back as its
// first one, and the next entry has none.
TEST_F(Annotation, MixedOrderSequenceBothWays) {
  const std::string document = R"(
      <Annotation xmlns="urn:tsln2xml:data/Annotation" version="1" Name="ONE" Comment1="FIRST" Comment2="SECOND">
        <Entry Category="PIECES">
          <Order Format="NewLine"/>
          <OrderFixed Format="PieceName" Start="1" End="5"/>
          <OrderVariable Format="Constant"><Text>SIZE:</Text></OrderVariable>
          <OrderSymbol Format="Symbol" Number="12" Height="30"/>
          <OrderSymbol Height="30" Number="12" Format="Symbol"/>
        </Entry>
        <Entry Category="T"><Order Format="Date"/></Entry>
      </Annotation>)";
  ByteBuilder expected = LibraryHeader("FIRST", "SECOND", 2);
  EntryRecord(expected, "PIECES", 12, 30, 5);
  expected.U8(11).U8(6).I8(1).I8(5).U8(10).I16(5).Text("SIZE:", 5).U8(15).U8(15);
  EntryRecord(expected, "T", 0, 0, 1).U8(13);
  const std::string secondSymbol = Replaced(document, R"(Height="30" Number="12")", R"(Height="1" Number="0")");
  EXPECT_EQ(ImportMatches(kAnnotation, area, secondSymbol, expected), "");
  EXPECT_EQ(ExportMatches(kAnnotation, area, expected, document), "");
}

TEST_F(Annotation, ConstantTexts) {
  // Written upper-cased with inner spaces and quotes kept, outer white space dropped.
  const std::string text = R"(SAY "CUT  HERE" & GO)";
  ByteBuilder expected = LibraryHeader("", "", 1);
  EntryRecord(expected, "C", 0, 0, 2).U8(10).I16(static_cast<int16_t>(text.size())).Text(text, text.size()).U8(10).I16(0);
  EXPECT_EQ(ImportMatches(kAnnotation, area, Document(R"(
      <Entry Category="C">
        <OrderVariable Format="Constant"><Text>  say "cut  here" &amp; go  </Text></OrderVariable>
        <OrderVariable Format="Constant"><Text/></OrderVariable>
      </Entry>)"), expected), "");

  // The reader keeps the case found in the store.
  ByteBuilder stored = LibraryHeader("", "", 1);
  EntryRecord(stored, "C", 0, 0, 1).U8(10).I16(9).Text("lower <b>", 9);
  auto exported = ExportBytes(kAnnotation, area, stored);
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find("<Text>lower &lt;b&gt;</Text>"), std::string::npos) << exported.xml;
}

TEST_F(Annotation, DoubleByteConstantTextsAreLimitedByTheirBytes) {
  CodePageScope japanese(932);
  const std::string kana = "\x83\x41";  // one katakana, two bytes
  auto constant = [&](const std::string& ansi) {
    return Document(R"(<Entry Category="K"><OrderVariable Format="Constant"><Text>)" + platform::AnsiToUtf8(ansi) +
                    "</Text></OrderVariable></Entry>");
  };
  std::string three = kana + "a" + kana + kana;
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "KANA", constant(three)), 0) << LastErrorMessage();
  ByteBuilder expected = LibraryHeader("", "", 1);
  EntryRecord(expected, "K", 0, 0, 1).U8(10).I16(7).Text(kana + "A" + kana + kana, 7);
  EXPECT_EQ(area.GetItem(kAnnotation, "KANA"), expected.bytes());
  auto exported = ExportToString(kAnnotation, area.path(), "KANA");
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find(platform::AnsiToUtf8(kana + "A" + kana + kana)), std::string::npos);

  // 32767 bytes fit the 16-bit length; 32768 do not.
  const std::string longest = Repeated(kana, 16383);
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "LONG", constant(longest + "X")), 0) << LastErrorMessage();
  EXPECT_EQ(area.GetItem(kAnnotation, "LONG")->size(), 42u + 24u + 1u + 2u + 32767u);
  EXPECT_EQ(ImportFromString(kAnnotation, area.path(), "TOOLONG", constant(longest + kana)), 1);
  EXPECT_EQ(LastErrorMessage(), "Annotation constant text too long: 32768 bytes (at most 32767)");
  EXPECT_FALSE(area.GetItem(kAnnotation, "TOOLONG"));
}

TEST_F(Annotation, SpecialCategoriesComeOutInEnglish) {
  TranslationDrive french(area, "# categories\n5605 = STANDARD\n5224=MARQUEUR\r\n5197=ETIQUETTE\n5198=construire\n");
  ByteBuilder b = LibraryHeader("", "", 8);
  for (const char* category : {"STANDARD", "MARQUEUR", "ETIQUETTE2", "ETIQUETTES", "DEFAULT", "LABEL-A", "#CONSTRUCT", "OTHER"})
    EntryRecord(b, category, 0, 0, 1).U8(11);
  std::string expected = R"(<Annotation xmlns="urn:tsln2xml:data/Annotation" version="1" Name="ONE" Comment1="" Comment2="">)";
  for (const char* category : {"DEFAULT", "MARKER", "LABEL2", "ETIQUETTES", "DEFAULT", "LABEL-A", "#CONSTRUCT", "OTHER"})
    expected += std::string(R"(<Entry Category=")") + category + R"("><Order Format="NewLine"/></Entry>)";
  EXPECT_EQ(ExportMatches(kAnnotation, area, b, expected + "</Annotation>"), "");

  // The construct category in the user's language is stored as #CONSTRUCT;
  // the English word is an ordinary category here.
  ByteBuilder stored = LibraryHeader("", "", 2);
  EntryRecord(stored, "#CONSTRUCT", 0, 0, 1).U8(13);
  EntryRecord(stored, "CONSTRUCT", 0, 0, 1).U8(13);
  EXPECT_EQ(ImportMatches(kAnnotation, area, Document(R"(
      <Entry Category="Construire "><Order Format="Date"/></Entry>
      <Entry Category="construct"><Order Format="Date"/></Entry>)"), stored), "");
}

TEST_F(Annotation, WithoutTranslationsOnlyEnglishNamesMatch) {
  ByteBuilder b = LibraryHeader("", "", 3);
  for (const char* category : {"STANDARD", "marker1", ""}) EntryRecord(b, category, 0, 0, 1).U8(11);
  auto exported = ExportBytes(kAnnotation, area, b);
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find(R"(Category="STANDARD")"), std::string::npos);
  EXPECT_NE(exported.xml.find(R"(Category="MARKER1")"), std::string::npos);

  ByteBuilder stored = LibraryHeader("", "", 2);
  EntryRecord(stored, "#CONSTRUCT", 0, 0, 1).U8(13);
  EntryRecord(stored, "", 0, 0, 1).U8(13);
  EXPECT_EQ(ImportMatches(kAnnotation, area, Document(R"(
      <Entry Category="construct"><Order Format="Date"/></Entry>
      <Entry Category=""><Order Format="Date"/></Entry>)"), stored), "");
}

TEST_F(Annotation, EveryFormatSurvivesTheRoundTrip) {
  ByteBuilder b = LibraryHeader("ALL", "FORMATS", 1);
  EntryRecord(b, "EVERY", 4, 8, 31);
  for (uint8_t format = 1; format <= 31; ++format) {
    b.U8(format);
    if (format <= 7 || format == 9 || format == 18 || format == 19) b.I8(static_cast<int8_t>(format)).I8(-1);
    if (format == 10) b.I16(4).Text("TEXT", 4);
  }
  std::string failure;
  EXPECT_EQ(RoundTrip(kAnnotation, area, b, &failure), b.bytes()) << failure;
}

TEST_F(Annotation, OrdersThatDoNotMatchTheirFormatAreRefused) {
  area.PutItem(kAnnotation, "KEEP", LibraryHeader("", "", 0));
  struct Case {
    const char* order;
    const char* message;
  } cases[] = {
      {R"(<OrderFixed Format="Constant" Start="1" End="2"/>)", R"(Annotation order <OrderFixed> cannot have the format "Constant")"},
      {R"(<OrderVariable Format="PieceName"><Text>A</Text></OrderVariable>)", R"(Annotation order <OrderVariable> cannot have the format "PieceName")"},
      {R"(<OrderSymbol Format="Constant" Number="1" Height="1"/>)", R"(Annotation order <OrderSymbol> cannot have the format "Constant")"},
      {R"(<Order Format="PieceSize"/>)", R"(Annotation order <Order> cannot have the format "PieceSize")"},
      {R"(<Order Format="Symbol"/>)", R"(Annotation order <Order> cannot have the format "Symbol")"},
  };
  for (const auto& c : cases) {
    const std::string xml = Document(std::string(R"(<Entry Category="E"><Order Format="Date"/>)") + c.order + "</Entry>");
    EXPECT_EQ(ImportFromString(kAnnotation, area.path(), "KEEP", xml), 1) << c.order;
    EXPECT_EQ(LastErrorMessage(), c.message);
    EXPECT_EQ(area.GetItem(kAnnotation, "KEEP"), LibraryHeader("", "", 0).bytes());
  }
}

}  // namespace
}  // namespace tsln2xml::test
