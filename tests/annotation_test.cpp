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

constexpr int16_t kAnnotation = 2;

ByteBuilder Header(std::string_view c1, std::string_view c2, int16_t entries) {
  ByteBuilder b;
  b.Text(c1, 20).Text(c2, 20).I16(entries);
  return b;
}

ByteBuilder& EntryRecord(ByteBuilder& b, std::string_view category, int8_t number, int8_t height, int16_t orders) {
  return b.Text(category, 20).I8(number).I8(height).I16(orders);
}

// A library of one entry "E" with `orders` orders, its order bytes to follow.
ByteBuilder OneEntry(int16_t orders) {
  ByteBuilder b = Header("", "", 1);
  EntryRecord(b, "E", 0, 0, orders);
  return b;
}

std::string Document(std::string_view entries) {
  return R"(<Annotation xmlns="urn:tsln2xml:data/Annotation" Name="A" Comment1="" Comment2="">)" + std::string(entries) +
         "</Annotation>";
}

// Points the drive of the translation file at a directory of the test's own,
// holding `contents` as the file when given.
class TranslationDrive {
 public:
  explicit TranslationDrive(const TempArea& area, const char* contents = nullptr) {
    const char* previous = std::getenv("TSLN2XML_DRIVE_C");
    if (previous) previous_ = previous;
    const std::string dir = area.path() + "/drive-c/userroot/system/mparam";
    std::filesystem::create_directories(dir);
    if (contents) WriteFile(dir + "/LangStrings.txt", contents);
    setenv("TSLN2XML_DRIVE_C", (area.path() + "/drive-c").c_str(), 1);
  }
  ~TranslationDrive() {
    if (previous_)
      setenv("TSLN2XML_DRIVE_C", previous_->c_str(), 1);
    else
      unsetenv("TSLN2XML_DRIVE_C");
  }

 private:
  std::optional<std::string> previous_;
};

TEST(Annotation, MixedOrderSequenceBothWays) {
  TempArea area;
  TranslationDrive noTranslations(area);
  const std::string document = R"(
      <Annotation xmlns="urn:tsln2xml:data/Annotation" version="1" Name="TWO" Comment1="FIRST" Comment2="SECOND">
        <Entry Category="PIECES">
          <Order Format="NewLine"/>
          <OrderFixed Format="PieceName" Start="1" End="5"/>
          <OrderVariable Format="Constant"><Text>SIZE:</Text></OrderVariable>
          <OrderSymbol Format="Symbol" Number="12" Height="30"/>
        </Entry>
      </Annotation>)";
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "TWO", document), 0) << LastErrorMessage();
  ByteBuilder expected = Header("FIRST", "SECOND", 1);
  EntryRecord(expected, "PIECES", 12, 30, 4);
  expected.U8(11).U8(6).I8(1).I8(5).U8(10).I16(5).Text("SIZE:", 5).U8(15);
  EXPECT_EQ(area.GetItem(kAnnotation, "TWO"), expected.bytes());
  EXPECT_EQ(expected.size(), 42u + 24u + (1 + 1 + 2 + 1 + 2 + 5 + 1));

  auto exported = ExportToString(kAnnotation, area.path(), "TWO");
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_EQ(CompareXml(document, exported.xml), "");
}

TEST(Annotation, OnlyTheFirstSymbolIsStored) {
  TempArea area;
  TranslationDrive noTranslations(area);
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "SYM", Document(R"(
      <Entry Category="S">
        <Order Format="Date"/>
        <OrderSymbol Format="Symbol" Number="7" Height="99"/>
        <OrderSymbol Format="Symbol" Number="0" Height="1"/>
      </Entry>
      <Entry Category="T"><Order Format="Date"/></Entry>)")), 0) << LastErrorMessage();
  ByteBuilder expected = Header("", "", 2);
  EntryRecord(expected, "S", 7, 99, 3).U8(13).U8(15).U8(15);
  EntryRecord(expected, "T", 0, 0, 1).U8(13);
  EXPECT_EQ(area.GetItem(kAnnotation, "SYM"), expected.bytes());
  auto exported = ExportToString(kAnnotation, area.path(), "SYM");
  ASSERT_EQ(exported.code, 0);
  EXPECT_EQ(CompareXml(R"(
      <Annotation xmlns="urn:tsln2xml:data/Annotation" version="1" Name="SYM" Comment1="" Comment2="">
        <Entry Category="S">
          <Order Format="Date"/>
          <OrderSymbol Format="Symbol" Number="7" Height="99"/>
          <OrderSymbol Format="Symbol" Number="7" Height="99"/>
        </Entry>
        <Entry Category="T"><Order Format="Date"/></Entry>
      </Annotation>)", exported.xml), "");
}

TEST(Annotation, ConstantTexts) {
  TempArea area;
  TranslationDrive noTranslations(area);
  // Written upper-cased with inner spaces and quotes kept, outer white space dropped.
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "TXT", Document(R"(
      <Entry Category="C">
        <OrderVariable Format="Constant"><Text>  say "cut  here" &amp; go  </Text></OrderVariable>
        <OrderVariable Format="Constant"><Text/></OrderVariable>
      </Entry>)")), 0) << LastErrorMessage();
  const std::string text = R"(SAY "CUT  HERE" & GO)";
  ByteBuilder expected = Header("", "", 1);
  EntryRecord(expected, "C", 0, 0, 2).U8(10).I16(static_cast<int16_t>(text.size())).Text(text, text.size()).U8(10).I16(0);
  EXPECT_EQ(area.GetItem(kAnnotation, "TXT"), expected.bytes());

  // The reader keeps the case found in the store.
  ByteBuilder stored = Header("", "", 1);
  EntryRecord(stored, "C", 0, 0, 1).U8(10).I16(9).Text("lower <b>", 9);
  auto exported = ExportBytes(kAnnotation, area, stored);
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find("<Text>lower &lt;b&gt;</Text>"), std::string::npos) << exported.xml;
}

TEST(Annotation, DoubleByteConstantTextsAreLimitedByTheirBytes) {
  CodePageScope japanese(932);
  TempArea area;
  TranslationDrive noTranslations(area);
  const std::string kana = "\x83\x41";  // one katakana, two bytes
  auto constant = [&](const std::string& ansi) {
    return Document(R"(<Entry Category="K"><OrderVariable Format="Constant"><Text>)" + platform::AnsiToUtf8(ansi) +
                    "</Text></OrderVariable></Entry>");
  };
  std::string three = kana + "a" + kana + kana;
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "KANA", constant(three)), 0) << LastErrorMessage();
  ByteBuilder expected = Header("", "", 1);
  EntryRecord(expected, "K", 0, 0, 1).U8(10).I16(7).Text(kana + "A" + kana + kana, 7);
  EXPECT_EQ(area.GetItem(kAnnotation, "KANA"), expected.bytes());
  auto exported = ExportToString(kAnnotation, area.path(), "KANA");
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find(platform::AnsiToUtf8(kana + "A" + kana + kana)), std::string::npos);

  // 32767 bytes fit the 16-bit length; 32768 do not.
  std::string longest;
  for (int i = 0; i < 16383; ++i) longest += kana;
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "LONG", constant(longest + "X")), 0) << LastErrorMessage();
  EXPECT_EQ(area.GetItem(kAnnotation, "LONG")->size(), 42u + 24u + 1u + 2u + 32767u);
  EXPECT_EQ(ImportFromString(kAnnotation, area.path(), "TOOLONG", constant(longest + kana)), 1);
  EXPECT_EQ(LastErrorMessage(), "Annotation constant text too long: 32768 bytes (at most 32767)");
  EXPECT_FALSE(area.GetItem(kAnnotation, "TOOLONG"));
}

TEST(Annotation, SpecialCategoriesComeOutInEnglish) {
  TempArea area;
  TranslationDrive french(area, "# categories\n5605 = STANDARD\n5224=MARQUEUR\r\n5197=ETIQUETTE\n5198=construire\n");
  ByteBuilder b = Header("", "", 8);
  for (const char* category : {"STANDARD", "MARQUEUR", "ETIQUETTE2", "ETIQUETTES", "DEFAULT", "LABEL-A", "#CONSTRUCT", "OTHER"})
    EntryRecord(b, category, 0, 0, 1).U8(11);
  auto exported = ExportBytes(kAnnotation, area, b);
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  std::string expected = R"(<Annotation xmlns="urn:tsln2xml:data/Annotation" version="1" Name="ONE" Comment1="" Comment2="">)";
  for (const char* category : {"DEFAULT", "MARKER", "LABEL2", "ETIQUETTES", "DEFAULT", "LABEL-A", "#CONSTRUCT", "OTHER"})
    expected += std::string(R"(<Entry Category=")") + category + R"("><Order Format="NewLine"/></Entry>)";
  EXPECT_EQ(CompareXml(expected + "</Annotation>", exported.xml), "");

  // The construct category in the user's language is stored as #CONSTRUCT;
  // the English word is an ordinary category here.
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "CON", Document(R"(
      <Entry Category="Construire "><Order Format="Date"/></Entry>
      <Entry Category="construct"><Order Format="Date"/></Entry>)")), 0) << LastErrorMessage();
  ByteBuilder stored = Header("", "", 2);
  EntryRecord(stored, "#CONSTRUCT", 0, 0, 1).U8(13);
  EntryRecord(stored, "CONSTRUCT", 0, 0, 1).U8(13);
  EXPECT_EQ(area.GetItem(kAnnotation, "CON"), stored.bytes());
}

TEST(Annotation, WithoutTranslationsOnlyEnglishNamesMatch) {
  TempArea area;
  TranslationDrive noTranslations(area);
  ByteBuilder b = Header("", "", 3);
  for (const char* category : {"STANDARD", "marker1", ""}) EntryRecord(b, category, 0, 0, 1).U8(11);
  auto exported = ExportBytes(kAnnotation, area, b);
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find(R"(Category="STANDARD")"), std::string::npos);
  EXPECT_NE(exported.xml.find(R"(Category="MARKER1")"), std::string::npos);

  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "CON", Document(R"(
      <Entry Category="construct"><Order Format="Date"/></Entry>
      <Entry Category=""><Order Format="Date"/></Entry>)")), 0) << LastErrorMessage();
  ByteBuilder stored = Header("", "", 2);
  EntryRecord(stored, "#CONSTRUCT", 0, 0, 1).U8(13);
  EntryRecord(stored, "", 0, 0, 1).U8(13);
  EXPECT_EQ(area.GetItem(kAnnotation, "CON"), stored.bytes());
}

TEST(Annotation, EveryFormatSurvivesTheRoundTrip) {
  TempArea area;
  TranslationDrive noTranslations(area);
  const auto& formats = AnnotationFormatNames().Entries();
  ByteBuilder b = Header("ALL", "FORMATS", 1);
  EntryRecord(b, "EVERY", 4, 8, static_cast<int16_t>(formats.size()));
  for (const auto& [format, name] : formats) {
    b.U8(format);
    switch (KindOfAnnotationFormat(format)) {
      case AnnotationOrderKind::kFixed: b.I8(static_cast<int8_t>(format)).I8(-1); break;
      case AnnotationOrderKind::kConstant: b.I16(4).Text("TEXT", 4); break;
      default: break;
    }
  }
  std::string failure;
  EXPECT_EQ(RoundTrip(kAnnotation, area, b, &failure), b.bytes()) << failure;
  auto exported = ExportBytes(kAnnotation, area, b);
  for (const auto& [format, name] : formats)
    EXPECT_NE(exported.xml.find("Format=\"" + name + "\""), std::string::npos) << name;
}

TEST(Annotation, UnknownFormats) {
  TempArea area;
  TranslationDrive noTranslations(area);
  for (uint8_t code : {uint8_t{0}, uint8_t{32}, uint8_t{255}}) {
    ByteBuilder b = Header("", "", 1);
    EntryRecord(b, "X", 0, 0, 2).U8(code).U8(11);  // read as a simple order without bytes of its own
    EXPECT_EQ(ExportBytes(kAnnotation, area, b).code, 2) << int{code};
  }
  auto outcome = ImportUnvalidated(kAnnotation, area.path(), "ODD", Document(R"(
      <Entry Category="X"><Order Format="Sparkle"/><OrderFixed Start="2" End="3"/></Entry>)"));
  ASSERT_EQ(outcome.code, 0) << outcome.message;
  ByteBuilder expected = Header("", "", 1);
  EntryRecord(expected, "X", 0, 0, 2).U8(0).U8(1).I8(2).I8(3);
  EXPECT_EQ(area.GetItem(kAnnotation, "ODD"), expected.bytes());
}

TEST(Annotation, OrdersThatDoNotMatchTheirFormatAreRefused) {
  TempArea area;
  TranslationDrive noTranslations(area);
  area.PutItem(kAnnotation, "KEEP", Header("", "", 0));
  struct Case {
    const char* order;
    const char* message;
  } cases[] = {
      {R"(<OrderFixed Format="NewLine" Start="1" End="2"/>)", R"(Annotation order <OrderFixed> cannot have the format "NewLine")"},
      {R"(<OrderFixed Format="Constant" Start="1" End="2"/>)", R"(Annotation order <OrderFixed> cannot have the format "Constant")"},
      {R"(<OrderVariable Format="PieceName"><Text>A</Text></OrderVariable>)", R"(Annotation order <OrderVariable> cannot have the format "PieceName")"},
      {R"(<OrderSymbol Format="Constant" Number="1" Height="1"/>)", R"(Annotation order <OrderSymbol> cannot have the format "Constant")"},
      {R"(<Order Format="PieceSize"/>)", R"(Annotation order <Order> cannot have the format "PieceSize")"},
      {R"(<Order Format="Constant"/>)", R"(Annotation order <Order> cannot have the format "Constant")"},
      {R"(<Order Format="Symbol"/>)", R"(Annotation order <Order> cannot have the format "Symbol")"},
  };
  for (const auto& c : cases) {
    const std::string xml = Document(std::string(R"(<Entry Category="E"><Order Format="Date"/>)") + c.order + "</Entry>");
    EXPECT_EQ(ImportFromString(kAnnotation, area.path(), "KEEP", xml), 1) << c.order;
    EXPECT_EQ(LastErrorMessage(), c.message);
    EXPECT_EQ(area.GetItem(kAnnotation, "KEEP"), Header("", "", 0).bytes());
  }
}

TEST(Annotation, UnusableItemsFail) {
  ByteBuilder good = Header("", "", 1);
  EntryRecord(good, "E", 0, 0, 3).U8(6).I8(1).I8(2).U8(10).I16(4).Text("ABCD", 4).U8(11);
  const std::vector<uint8_t> full = good;
  auto cut = [&](size_t n) { return std::vector<uint8_t>(full.begin(), full.begin() + static_cast<ptrdiff_t>(n)); };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty item", {}},
      {"header cut short", cut(41)},
      {"negative entry count", Header("", "", -1)},
      {"entries beyond the item", Header("", "", 2).Bytes(std::vector<uint8_t>(full.begin() + 42, full.end()))},
      {"entry record cut short", cut(42 + 23)},
      {"negative order count", OneEntry(-1)},
      {"slice cut short", cut(42 + 24 + 2)},
      {"text length cut short", cut(42 + 24 + 3 + 2)},
      {"text running past the end", cut(42 + 24 + 3 + 3 + 3)},
      {"last order missing", cut(full.size() - 1)},
      {"negative text length", OneEntry(1).U8(10).I16(-2).Text("AB", 2)},
      {"text length beyond the item", OneEntry(1).U8(10).I16(32767)},
  };
  TempArea area;
  TranslationDrive noTranslations(area);
  ASSERT_EQ(ExportBytes(kAnnotation, area, full).code, 0) << LastErrorMessage();
  for (const auto& c : cases) {
    EXPECT_EQ(ExportBytes(kAnnotation, area, c.bytes).code, 1) << c.what;
    EXPECT_EQ(LastErrorMessage(), "Unable to load Annotation library") << c.what;
  }
}

TEST(Annotation, EmptyLibraryAndInvalidDocuments) {
  TempArea area;
  TranslationDrive noTranslations(area);
  ASSERT_EQ(ImportFromString(kAnnotation, area.path(), "EMPTY", Document("")), 0);
  EXPECT_EQ(area.GetItem(kAnnotation, "EMPTY"), Header("", "", 0).bytes());

  struct Invalid {
    const char* what;
    const char* entries;
  } invalid[] = {
      {"entry without orders", R"(<Entry Category="E"/>)"},
      {"symbol number over 99", R"(<Entry Category="E"><OrderSymbol Format="Symbol" Number="100" Height="1"/></Entry>)"},
      {"constant without its text", R"(<Entry Category="E"><OrderVariable Format="Constant"/></Entry>)"},
      {"category over 20", R"(<Entry Category="ABCDEFGHIJKLMNOPQRSTU"><Order Format="Date"/></Entry>)"},
      {"start beyond 8 bits", R"(<Entry Category="E"><OrderFixed Format="Bundle" Start="128" End="1"/></Entry>)"},
  };
  for (const auto& c : invalid) EXPECT_EQ(ImportFromString(kAnnotation, area.path(), "X", Document(c.entries)), 2) << c.what;
  EXPECT_FALSE(area.GetItem(kAnnotation, "X"));
}

}  // namespace
}  // namespace tsln2xml::test
