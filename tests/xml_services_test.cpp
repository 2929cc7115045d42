// Document services and the input they take: typed attributes, element
// bytes, serialisation; hostile documents, documents beyond the size limit,
// the bounds of the parser with long values in validation errors, text that
// is not text, absurd BSTR lengths, and standard input loaded as a file.

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <filesystem>
#include <functional>

#include "core/data_types.h"
#include "core/exception.h"
#include "platform/code_page.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/attributes.h"
#include "xml/document.h"
#include "xml/element_content.h"

namespace tsln2xml::test {
namespace {

using namespace xml;

constexpr const char* kNs = "urn:tsln2xml:data/SizeCode";

TEST(Attributes, WrittenForms) {
  Document doc;
  Node e = doc.CreateElement("E", kNs);
  doc.SetRoot(e);
  SetAttribute(e, "D", 2.54);
  SetAttributeText(e, "S", "  A1 ");
  SetAttributeText(e, "Blank", "   ");
  SetAttributeText(e, "Tab", "\tA\t");  // only spaces are trimmed
  SetAttribute(e, "I", int32_t{-7});
  SetAttributeText(e, "Amp", "a&b<c\"d");
  EXPECT_EQ(CompareXml(R"(<E xmlns="urn:tsln2xml:data/SizeCode" D="2.54000000000000003552714" S="A1" Blank=""
                          Tab="&#9;A&#9;" I="-7" Amp="a&amp;b&lt;c&quot;d"/>)",
                       doc.SerializeUtf8()), "");
  EXPECT_EQ(doc.SerializeUtf8().rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u);
  EXPECT_EQ(doc.SerializeUtf16().rfind(u"<?xml version=\"1.0\"?>\n", 0), 0u);
}

// Long values go through scans that look at eight bytes at a time: a
// character to replace, or a byte outside ASCII, is found at any place of a
// word (escaping at every place: document_text_test).
TEST(Attributes, LongValuesAreCheckedAtEveryPlace) {
  const std::string base = "ABCDEFGHIJ\nKLMNOPQRSTUVWXYZ";
  const std::string baseWritten = "ABCDEFGHIJ&#10;KLMNOPQRSTUVWXYZ";
  const struct {
    std::string put, written;
    bool ansi;
  } cases[] = {
      {"\x01", "\xEF\xBF\xBD", false},        {"\x1F", "\xEF\xBF\xBD", false},
      {"\xEF\xBF\xBF", "\xEF\xBF\xBD", false}, {"\xEF\xBF\xBE", "\xEF\xBF\xBD", false},
      {"\xEF\xBF\xBD", "\xEF\xBF\xBD", false}, {"\xEF\xBC\xA1", "\xEF\xBC\xA1", false},
      {"\xE9", "\xC3\xA9", true},
  };
  for (const auto& c : cases) {
    for (size_t at = 0; at <= base.size(); ++at) {
      Document doc;
      Node e = doc.CreateElement("E", kNs);
      doc.SetRoot(e);
      const std::string value = base.substr(0, at) + c.put + base.substr(at);
      c.ansi ? SetAttributeText(e, "V", value) : SetAttributeUtf8(e, "V", value);
      const std::string written = std::string(baseWritten).insert(at + (at > 10 ? 4 : 0), c.written);
      EXPECT_NE(doc.SerializeUtf8().find("V=\"" + written + "\""), std::string::npos) << c.written << " at " << at;
    }
  }
}

TEST(Attributes, TypedReadsFollowTheConversionRules) {
  Document doc;
  ASSERT_TRUE(doc.LoadUtf8(R"(<E I="12" Big="70000" Neg="-129" Frac="1.5" Half="2.5" Text="abc" D="2.54000000000000003552714"
                               B1="1" B0="0" BT="true" BF=" false " Sp=" 42 "/>)"));
  Node e = doc.Root();
  EXPECT_EQ(GetAttributeInt32(e, "I", 0), 12);
  EXPECT_EQ(GetAttributeInt16(e, "Missing", 5), 5);
  EXPECT_EQ(GetAttributeInt32(e, "Sp", 0), 42);
  EXPECT_EQ(GetAttributeInt32(e, "Frac", 0), 2);  // halves round to even
  EXPECT_EQ(GetAttributeInt32(e, "Half", 0), 2);
  EXPECT_EQ(GetAttributeDouble(e, "D", 0), 2.54);
  EXPECT_EQ((std::vector<bool>{GetAttributeBool(e, "B1", false), GetAttributeBool(e, "B0", true),
                               GetAttributeBool(e, "BT", false), GetAttributeBool(e, "BF", true)}),
            (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(GetAttributeText(e, "Missing", "dflt"), "dflt");

  struct Bad {
    const char* what;
    std::function<void()> read;
    int32_t hr;
  } bad[] = {
      {"70000 as int16", [&] { GetAttributeInt16(e, "Big", 0); }, hresult::kOverflow},
      {"-129 as int8", [&] { GetAttributeInt8(e, "Neg", 0); }, hresult::kOverflow},
      {"-129 as uint8", [&] { GetAttributeUInt8(e, "Neg", 0); }, hresult::kOverflow},
      {"text as int32", [&] { GetAttributeInt32(e, "Text", 0); }, hresult::kTypeMismatch},
      {"text as double", [&] { GetAttributeDouble(e, "Text", 0); }, hresult::kTypeMismatch},
  };
  for (const auto& b : bad) {
    try {
      b.read();
      ADD_FAILURE() << b.what << " converted";
    } catch (const XmlServiceError& error) {
      EXPECT_EQ(error.HResult(), b.hr) << b.what;
    }
  }
}

TEST(Attributes, NumbersIgnoreTheProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
    GTEST_SKIP() << "no locale with a decimal comma installed";
  Document doc;
  ASSERT_TRUE(doc.LoadUtf8(R"(<E D="1.5"/>)"));
  const double d = GetAttributeDouble(doc.Root(), "D", 0);
  SetAttribute(doc.Root(), "W", 0.25);
  const auto written = GetAttributeUtf8(doc.Root(), "W");
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(d, 1.5);
  EXPECT_EQ(written, "0.25");
}

// Raw item bytes in element text come back byte for byte through a serialised
// and reparsed document, as text where they can, as base64 where they cannot.
TEST(ElementBytes, SurviveTheDocumentText) {
  const struct {
    std::string bytes;
    bool base64;
  } cases[] = {
      {"G01X10\r\nG02Y20\r\n*M0*", false},  // CRLF lines as character references
      {"  \t lead and trail \n", false},
      {"a&b<c>\x81\x8D\xE9", false},          // undefined 1252 bytes map to themselves
      {std::string("N\0L", 3), true},        // characters XML 1.0 forbids
      {"", false},
      {std::string("\xFF\x00\x10\x80", 4), true},
  };
  for (const auto& c : cases) {
    Document doc;
    Node e = doc.CreateElement("E", kNs);
    doc.SetRoot(e);
    SetElementBytes(e, c.bytes);
    EXPECT_EQ(GetAttributeUtf8(e, "Encoding").has_value(), c.base64) << c.bytes;
    Document back;
    ASSERT_TRUE(back.LoadUtf8(doc.SerializeUtf8()));
    std::string bytes;
    ASSERT_TRUE(GetElementBytes(back.Root(), bytes));
    EXPECT_EQ(bytes, c.bytes);
  }
}

// An element's text in the code page, whatever nodes the parser made of it,
// in both trees; a dropped content reads and writes as none.
TEST(ElementText, ReadInEveryForm) {
  const struct {
    const char* xml;
    std::string text;
  } cases[] = {
      {"<E>PLAIN</E>", "PLAIN"},
      {"<E>caf&#233;</E>", "caf\xE9"},
      {"<E>\xC3\xA9t\xC3\xA9</E>", "\xE9t\xE9"},
      {"<E>a<![CDATA[<b>]]>c</E>", "a<b>c"},
      {"<E><F>x</F>y</E>", "xy"},
      {"<E>a&amp;b&lt;c</E>", "a&b<c"},
      {"<E/>", ""},
      {"<E>  </E>", "  "},
  };
  for (const Tree tree : {Tree::kCompact, Tree::kEditable}) {
    for (const auto& c : cases) {
      Document doc;
      ASSERT_TRUE(doc.LoadUtf8(c.xml, tree)) << c.xml;
      EXPECT_EQ(GetElementText(doc.Root()), c.text) << c.xml;
      DropElementContent(doc.Root());
      EXPECT_EQ(GetElementText(doc.Root()), "") << c.xml;
      EXPECT_NE(doc.SerializeUtf8().find("<E/>"), std::string::npos) << c.xml;
    }
  }
}

// A control character in element text (which an item's text may hold) is
// written so that the document stays well-formed, one character for one.
TEST(ElementText, ControlCharactersKeepTheDocumentWellFormed) {
  for (const char* text : {"A\x03" "B", "\x01", "TAB\tLF\nCR\r", "\x1F\x7F"}) {
    Document doc;
    doc.SetRoot(doc.CreateElement("r", "urn:x"));
    SetElementText(doc.Root(), text);
    Document back;
    ASSERT_TRUE(back.LoadUtf8(doc.SerializeUtf8())) << doc.SerializeUtf8();
    EXPECT_EQ(GetElementText(back.Root()).size(), std::string(text).size()) << GetElementText(back.Root());
  }
}

TEST(ElementBytes, Base64Forms) {
  std::string out;
  EXPECT_TRUE(Base64Decode(" TWFu\n TWE=\r\n", out));
  EXPECT_EQ(out, "ManMa");
  EXPECT_EQ(Base64Encode("ManMa"), "TWFuTWE=");
  EXPECT_EQ(Base64Encode("M"), "TQ==");
  for (std::string_view bad : {"TWF", "TW=u", "T===", "TWFu!", "TQ==TQ=="}) EXPECT_FALSE(Base64Decode(bad, out)) << bad;
  Document doc;
  ASSERT_TRUE(doc.LoadUtf8(R"(<E xmlns="urn:x" Encoding="hex">00</E>)"));
  EXPECT_FALSE(GetElementBytes(doc.Root(), out));
}

TEST(Loading, Utf16TextWithAnyDeclaration) {
  Document doc;
  EXPECT_TRUE(doc.LoadUtf16(u"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?><E A=\"\u00E9\u4E2D\"/>"));
  EXPECT_EQ(GetAttributeUtf8(doc.Root(), "A"), "\xC3\xA9\xE4\xB8\xAD");
  EXPECT_TRUE(doc.LoadUtf16(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><E A=\"\u00E9\"/>"));
  EXPECT_EQ(GetAttributeUtf8(doc.Root(), "A"), "\xC3\xA9");
}

// Hostile documents fail to load, quickly, without touching files or the network.
TEST(Loading, HostileInputIsRefused) {
  TempArea area;
  WriteFile(area.File("secret.txt"), "SECRET");
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  laughs += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
  for (int i = 2; i <= 9; ++i)
    laughs += "<!ENTITY lol" + std::to_string(i) + " \"" + [&] {
      std::string s;
      for (int k = 0; k < 10; ++k) s += "&lol" + std::to_string(i - 1) + ";";
      return s;
    }() + "\">";
  laughs += "]><SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"&lol9;\"/>";
  const std::string cases[] = {
      laughs,
      "<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + area.File("secret.txt") + "\">]><SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"&x;\"/>",
      "<!DOCTYPE r SYSTEM \"http://127.0.0.1:9/x.dtd\"><SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"/>",
      "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"&undefined;\"/>",
      "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" xmlns:xi=\"http://www.w3.org/2001/XInclude\" Name=\"A\"><xi:include href=\"" +
          area.File("secret.txt") + "\" parse=\"text\"/></SizeCode>",
      "\xFF\xFE garbage",
  };
  for (const auto& xml : cases) {
    Document doc;
    const bool loaded = doc.LoadBytes(xml);
    if (loaded) {
      // Only the XInclude case is well-formed; it must not have pulled the file in.
      EXPECT_EQ(doc.SerializeUtf8().find("SECRET"), std::string::npos);
      EXPECT_EQ(ImportFromString(24, area.path(), "X", xml), 2);
    } else {
      EXPECT_EQ(ImportFromString(24, area.path(), "X", xml), 1) << xml.substr(0, 60);
      EXPECT_EQ(LastErrorMessage().rfind("Unable to load XML String.", 0), 0u) << LastErrorMessage();
    }
  }
  EXPECT_FALSE(area.GetItem(24, "X"));
}

const std::string kTool = TSLN2XML_CLI_PATH;

std::string SizeCodeDocument(std::string_view actualSize) {
  return "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"><Entry ActualSize=\"" + std::string(actualSize) +
         "\" OrderedSize=\"S\"/></SizeCode>";
}

TEST(InputLimits, ADocumentBeyondTheLimitIsRefusedBeforeItIsRead) {
  TempArea area;
  const std::string doc = area.File("huge.xml");
  WriteFile(doc, "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\">");
  std::filesystem::resize_file(doc, xml::kMaxDocumentBytes + 1);  // sparse: nothing is written
  EXPECT_EQ(ConvertXMLFileToDataItem(kSizeCode, doc.c_str(), 0, "", area.c_str(), "A"), 1);
  EXPECT_EQ(LastErrorMessage(), "The document is larger than 512 MB, the most a document may have");
  EXPECT_FALSE(area.GetItem(kSizeCode, "A"));
}

// A file is parsed as it is read, a few kilobytes at a time: a document of
// many pieces imports as its text does, and one cut short anywhere fails.
TEST(InputLimits, AFileReadInPiecesImportsWholeOrNotAtAll) {
  TempArea area;
  std::string xml = "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\">\n";
  for (int i = 0; i < 3000; ++i)
    xml += "  <Entry ActualSize=\"A" + std::to_string(i) + "\" OrderedSize=\"O" + std::to_string(i) +
           "\"><Alteration Name=\"X\" Amount=\"" + std::to_string(i) + ".5\"/></Entry>\n";
  xml += "</SizeCode>\n";
  ASSERT_EQ(ImportFromString(kSizeCode, area.path(), "TEXT", xml), 0) << LastErrorMessage();
  const std::string doc = area.File("doc.xml");
  WriteFile(doc, xml);
  EXPECT_EQ(ConvertXMLFileToDataItem(kSizeCode, doc.c_str(), 0, "", area.c_str(), "FILE"), 0) << LastErrorMessage();
  EXPECT_EQ(area.GetItem(kSizeCode, "FILE"), area.GetItem(kSizeCode, "TEXT"));
  for (const size_t cut : {size_t{4000}, size_t{65536}, xml.size() / 2, xml.size() - 2}) {
    WriteFile(doc, xml.substr(0, cut));
    EXPECT_EQ(ConvertXMLFileToDataItem(kSizeCode, doc.c_str(), 0, "", area.c_str(), "CUT"), 1) << cut;
    EXPECT_EQ(LastErrorMessage(), "xmlFile failed to Load") << cut;
  }
  EXPECT_FALSE(area.GetItem(kSizeCode, "CUT"));
}

// Each bound holds a document that reaches it (which the schema then refuses,
// code 2, quoting no more than the start of a long value) and refuses one
// byte or level beyond it, naming the bound.
TEST(InputLimits, BoundsAreExactAndNamedInTheMessage) {
  TempArea area;
  const std::string root = "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"";
  const auto nested = [&](int levels) {
    std::string xml = root + ">";
    for (int i = 1; i < levels; ++i) xml += "<Entry>";
    for (int i = 1; i < levels; ++i) xml += "</Entry>";
    return xml + "</SizeCode>";
  };
  const auto attributes = [](int count, std::string_view space = " ") {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::string(space) + "a" + std::to_string(i) + "=\"1\"";
    return text;
  };
  const struct {
    std::string xml;
    const char* why;  // nullptr: loaded
  } cases[] = {
      {root + "><Entry" + attributes(256) + "/></SizeCode>", nullptr},
      {root + "><Entry" + attributes(257) + "/></SizeCode>", "an element with more than 256 attributes: Entry on line 1"},
      // Refused at once, not after the parser's duplicate check has spent
      // minutes on it.
      {root + ">\n<Entry\n" + attributes(200'000, "\n") + "/></SizeCode>",
       "an element with more than 256 attributes: Entry on line 2"},
      // Lines counted over many reads of the text, lines of every length.
      {root + ">\n" + [] {
         std::string lines;
         for (int i = 0; i < 3000; ++i) lines += "<Entry>" + std::string(static_cast<size_t>(i % 37), 'x') + "</Entry>\n";
         return lines;
       }() + "<Entry" + attributes(257) + "/></SizeCode>",
       "an element with more than 256 attributes: Entry on line 3002"},
      {root + " " + attributes(255) + "><Entry/></SizeCode>",
       "an element with more than 256 attributes: SizeCode on line 1"},  // xmlns and Name count too
      // "=" in values, comments, processing instructions and character data
      // are not attributes.
      {root + "><!-- <a" + attributes(300) + "> --><?pi" + attributes(300) + "?><Entry a='" + std::string(300, '=') +
           "' b='" + attributes(300) + "'><![CDATA[" + attributes(300) + "]]></Entry></SizeCode>",
       nullptr},
      {nested(256), nullptr},
      {nested(257), "elements nested deeper than 256 levels"},
      {root + "><Entry>" + std::string(12u << 20, 'x') + "</Entry></SizeCode>", nullptr},  // text has no bound
      {root + "><" + std::string(50'000, 'e') + "/></SizeCode>", nullptr},
      {root + "><" + std::string(50'001, 'e') + "/></SizeCode>", "a name longer than 50,000 bytes"},
      {root + " " + std::string(50'001, 'n') + "=\"1\"/>", "a name longer than 50,000 bytes"},
      {SizeCodeDocument(std::string(10'000'000, 'v')), nullptr},
      {SizeCodeDocument(std::string(10'000'001, 'v')), "an attribute value longer than 10,000,000 bytes"},
      {"<!DOCTYPE SizeCode []>" + SizeCodeDocument("4"), "a document type declaration is not accepted"},
  };
  for (const auto& c : cases) {
    const int code = ImportFromString(kSizeCode, area.path(), "A", c.xml);
    if (c.why) {
      EXPECT_EQ(code, 1) << c.why;
      EXPECT_EQ(LastErrorMessage(), std::string("Unable to load XML String. (") + c.why + ")");
    } else {
      EXPECT_EQ(code, 2) << c.xml.size();
      EXPECT_TRUE(LastErrorMessage().starts_with("XML Validation Error:")) << c.xml.size();
      EXPECT_LT(LastErrorMessage().size(), 2000u) << "a report quotes only the start of a long value";
    }
  }
  EXPECT_FALSE(area.GetItem(kSizeCode, "A"));
}

// An invalid document is loaded a second time for its report, as an
// editable tree: the first tree goes before, so the import's peak is that of
// one tree, not two (it was almost twice that of a valid document's).
TEST(InputLimits, AnInvalidDocumentIsNeverHeldAsTwoTrees) {
  if (!kPeaksAreMeaningful) GTEST_SKIP() << "peaks are not compared under AddressSanitizer";
  TempArea area;
  std::string names;
  for (int i = 0; i < 300'000; ++i) names += "<PieceName>A</PieceName>";
  const std::string start = R"(<PieceList xmlns="urn:tsln2xml:data/PieceList" version="1" Name="X")";
  WriteFile(area.File("valid.xml"), start + R"( Comment1="" Comment2="">)" + names + "</PieceList>");
  WriteFile(area.File("invalid.xml"), start + ">" + names + "</PieceList>");  // the comments are required
  WriteFile(area.File("small.xml"), start + ">" + "</PieceList>");
  const auto peak = [&](const char* file) {
    return ToolPeakKilobytes({"import", "PieceList", area.path(), "X", area.File(file)}, false);
  };
  const long base = peak("small.xml"), valid = peak("valid.xml"), invalid = peak("invalid.xml");
  ASSERT_GT(base, 0);
  EXPECT_LT(invalid - base, (valid - base) * 3 / 2) << base << " " << valid << " " << invalid;
}

// A file in UTF-16 (either order, with or without a byte order mark) is
// counted unit by unit, as the same text in UTF-8 is.
TEST(InputLimits, AttributesAreCountedInUtf16FilesToo) {
  TempArea area;
  for (int count : {256, 257}) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                       "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\">\n<Entry";
    for (int i = 0; i < count; ++i) text += " a" + std::to_string(i) + "='\xC3\xA9'";
    text += "/></SizeCode>";
    const std::u16string utf16 = platform::Utf8ToUtf16(text);
    for (const bool bigEndian : {false, true})
      for (const bool mark : {false, true}) {
        SCOPED_TRACE(std::to_string(count) + (bigEndian ? " BE" : " LE") + (mark ? " BOM" : ""));
        std::string bytes;
        if (mark) bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t u : utf16) {
          const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
          bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        WriteFile(area.File("doc.xml"), bytes);
        const int code = ConvertXMLFileToDataItem(kSizeCode, area.File("doc.xml").c_str(), 0, "", area.c_str(), "A");
        if (count == 256) {
          EXPECT_EQ(code, 2) << LastErrorMessage();  // loaded; the schema knows no such attributes
        } else {
          EXPECT_EQ(code, 1);
          EXPECT_EQ(LastErrorMessage(),
                    "xmlFile failed to Load (an element with more than 256 attributes: Entry on line 3)");
        }
      }
  }
}

TEST(InputLimits, AStringWithALoneSurrogateIsRefusedLikeInvalidUtf8InAFile) {
  TempArea area;
  for (const char16_t* bad : {u"\xD800", u"\xDC00", u"\xD800x"}) {
    const std::u16string text = u"<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"><Entry ActualSize=\"" +
                                std::u16string(bad) + u"\" OrderedSize=\"S\"/></SizeCode>";
    EXPECT_EQ(ConvertXMLStringToDataItem(kSizeCode, text.c_str(), 0, "", area.c_str(), "A"), 1);
    EXPECT_EQ(LastErrorMessage(), "Unable to load XML String.");
  }
  WriteFile(area.File("bad.xml"), SizeCodeDocument("\xFF"));
  EXPECT_EQ(ConvertXMLFileToDataItem(kSizeCode, area.File("bad.xml").c_str(), 0, "", area.c_str(), "A"), 1);
  EXPECT_FALSE(area.GetItem(kSizeCode, "A"));
}

// A document's text with a character the area's code page has no form for
// fails the import with code 4 naming the element, the attribute and the
// character, and stores nothing, whatever the type and the call; under a
// code page that holds it, the same document imports.
TEST(CodePageText, ACharacterTheCodePageCannotHoldFailsTheImport) {
  namespace fs = std::filesystem;
  const std::string examples = std::string(TSLN2XML_SOURCE_DIR) + "/examples/";
  // Every type's example with its root's Name made Japanese ("日本"), and
  // values read by the types' own code: attributes and element texts.
  struct Case {
    int16_t type;
    std::string example;
    std::string from, to;  // the first `from` becomes `to`
    std::string named;     // what the message names
  };
  std::vector<Case> cases = {
      {kModel, "Model/SHIRT.xml", "Comment1=\"MEN", "Comment1=\"\xE6\x97\xA5\xE6\x9C\xAC", "Comment1 of element Model"},
      {kPieceList, "PieceList/SHIRT.xml", "<PieceName>", "<PieceName>\xE6\x97\xA5", "text of element PieceName"},
  };
  for (const auto& dir : fs::directory_iterator(examples)) {
    if (!dir.is_directory()) continue;
    for (const auto& file : fs::directory_iterator(dir.path())) {
      const std::string text = ReadFile(file.path().string());
      const size_t root = text.find("<" + dir.path().filename().string() + " ");
      const size_t name = text.find(" Name=\"", root);
      if (root == std::string::npos || name == std::string::npos) continue;
      cases.push_back({0, dir.path().filename().string() + "/" + file.path().filename().string(),
                       text.substr(name, text.find('"', name + 7) + 1 - name), " Name=\"\xE6\x97\xA5\xE6\x9C\xAC\"",
                       "Name of element " + dir.path().filename().string()});
    }
  }
  ASSERT_GE(cases.size(), 20u);
  TempArea area;
  int japaneseImports = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.example);
    const std::string item = "JP" + std::to_string(&c - cases.data());
    std::string text = ReadFile(examples + c.example);
    const size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, c.from.size(), c.to);
    const std::string typeName = c.example.substr(0, c.example.find('/'));
    const int16_t type = c.type ? c.type : ParseDataType(typeName).value_or(0);
    if (type == kPiece) continue;
    WriteFile(area.File("doc.xml"), text);
    for (bool fromFile : {false, true}) {
      const int code = fromFile ? ConvertXMLFileToDataItem(type, area.File("doc.xml").c_str(), 0, "", area.c_str(), item.c_str())
                                : ImportFromString(type, area.path(), item, text);
      EXPECT_EQ(code, 4) << LastErrorMessage();
      EXPECT_EQ(GetLastDbErrorXML(), hresult::kNoMapping);
      EXPECT_NE(LastErrorMessage().find("U+65E5"), std::string::npos) << LastErrorMessage();
      EXPECT_NE(LastErrorMessage().find(c.named), std::string::npos) << LastErrorMessage();
      EXPECT_FALSE(area.GetItem(type, item));
    }
    CodePageScope japanese(932);
    const int code = ImportFromString(type, area.path(), item, text);
    // A name the type compares with the item's own is refused as another name.
    if (code == 0) ++japaneseImports;
    EXPECT_NE(code, 4) << LastErrorMessage();
  }
  EXPECT_GE(japaneseImports, 15);

  // U+FFFD stands where a character was lost already (an export writes it
  // for a control character): read as "?", as before; the first other
  // character that does not fit is named.
  std::string model = ReadFile(examples + "Model/SHIRT.xml");
  model.replace(model.find("Comment1=\"MEN"), 13, "Comment1=\"\xEF\xBF\xBD");
  EXPECT_EQ(ImportFromString(kModel, area.path(), "LOST", model), 0) << LastErrorMessage();
  model.replace(model.find("Comment1=\""), 10, "Comment1=\"\xE2\x82\xAC\xEF\xBF\xBD\xE6\x9C\xAC");
  EXPECT_EQ(ImportFromString(kModel, area.path(), "LOST", model), 4);
  EXPECT_NE(LastErrorMessage().find("U+672C"), std::string::npos) << LastErrorMessage();
}

// A BSTR: its length in bytes in the four bytes before it, a terminator after.
TEST(InputLimits, SysAllocStringLenOfAnAbsurdLengthFailsAtOnce) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr);
  EXPECT_EQ(SysAllocStringLen(u"abc", 0xFFFFFFFFu), nullptr);
  BSTR zeros = SysAllocStringLen(nullptr, 3);
  ASSERT_NE(zeros, nullptr);
  EXPECT_EQ(SysStringLen(zeros), 3u);
  EXPECT_EQ(std::u16string_view(zeros, 4), std::u16string_view(u"\0\0\0\0", 4));
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<uint8_t*>(zeros) - 4, 4);
  EXPECT_EQ(bytes, 6u);
  SysFreeString(zeros);
  SysFreeString(nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
}

// Standard input and the same bytes in a file give the same result.
TEST(InputLimits, StandardInputIsLoadedAsAFileIs) {
  TempArea area;
  const std::string good = SizeCodeDocument("4");
  std::string utf16 = "\xFF\xFE";
  for (char c : good) utf16 += std::string{c, '\0'};
  const struct {
    const char* what;
    std::string bytes;
    int exitCode;
  } cases[] = {
      {"UTF-8", good, 0},
      {"UTF-16 with a byte-order mark", utf16, 0},
      {"invalid UTF-8", SizeCodeDocument("\xFF\xFE"), 1},
  };
  for (const auto& c : cases) {
    const std::string file = area.File("doc.xml");
    WriteFile(file, c.bytes);
    const int fromFile = RunCommand(kTool + " import SizeCode " + area.path() + " FILE " + file);
    const int fromStdin = RunCommand(kTool + " import SizeCode " + area.path() + " STDIN - < " + file);
    EXPECT_EQ(fromFile, c.exitCode) << c.what;
    EXPECT_EQ(fromStdin, c.exitCode) << c.what;
    if (c.exitCode == 0) {
      EXPECT_EQ(area.GetItem(kSizeCode, "STDIN"), area.GetItem(kSizeCode, "FILE")) << c.what;
    }
  }
}

}  // namespace
}  // namespace tsln2xml::test
