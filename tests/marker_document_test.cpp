// The marker document as written: its bytes, code tables and escaping (its
// reals: platform_test); the export's failures and their codes, the check
// against a schema file, the storage area and name arguments, threads, the
// command line; and marker containers in the store, with raw get and put (the
// export reads them through file positions: marker_layout_test).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "marker/marker_export.h"
#include "platform/code_page.h"
#include "store/catalog.h"
#include "store/marker_file.h"
#include "support/catalog_fixture.h"
#include "support/marker_test_support.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::test {
namespace {

using namespace tsln2xml::marker;

std::string Utf16Bytes(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

TEST(MarkerDocument, BytesOfASmallMarker) {
  MarkerBuilder empty;
  empty.header.reset();
  EXPECT_EQ(ExportBuilt(empty).bytes,
            Utf16Bytes(u"<?xml version=\"1.0\" encoding=\"UTF-16\" ?>\r\n<marker version=\"1\" />\r\n"));

  // Entry counts come from the header, so a marker with entries has one.
  MarkerBuilder b;
  b.layLimits.push_back({7, -2.5, 0x0020});
  b.modelNames = {"SHIRT"};
  b.annotations.push_back({"C", 0, 0, {{.format = 10}}});
  const std::string bytes = ExportBuilt(b).bytes;
  const std::string head = Utf16Bytes(u"<?xml version=\"1.0\" encoding=\"UTF-16\" ?>\r\n"
                                      u"<marker version=\"1\">\r\n\t<status>Unknown</status>\r\n");
  const std::string tail = Utf16Bytes(
      u"\t<numbergroups>0</numbergroups>\r\n"
      u"\t<laylimit>\r\n"
      u"\t\t<flipcode>Rotate90ClockwiseFlipAboutX</flipcode>\r\n"
      u"\t\t<tilt>-2.5</tilt>\r\n"
      u"\t\t<Options Major=\"0\" AllowInSplice=\"0\" OneWay=\"0\" Rotate180=\"0\" Rotate90=\"0\" "
      u"Rotate45=\"0\" FoldPiece=\"0\" OptionPiece=\"0\" NoPlot=\"0\" NoInclude=\"0\" NoCut=\"0\" "
      u"TiltInch=\"1\" />\r\n"
      u"\t</laylimit>\r\n"
      u"\t<AnnotationEntry Category=\"C\">\r\n"
      u"\t\t<OrderVariable Format=\"Constant\">\r\n"
      u"\t\t\t<Text />\r\n"
      u"\t\t</OrderVariable>\r\n"
      u"\t</AnnotationEntry>\r\n"
      u"\t<modelnamevalue>SHIRT</modelnamevalue>\r\n"
      u"</marker>\r\n").substr(2);
  EXPECT_EQ(bytes.substr(0, head.size()), head);
  ASSERT_GT(bytes.size(), tail.size());
  EXPECT_EQ(bytes.substr(bytes.size() - tail.size()), tail);
}

TEST(MarkerDocument, CodesOutsideTheirTablesAreWrittenUnknown) {
  MarkerBuilder b;
  b.header->status = 0;
  b.names.emplace().layRuleType = 1;
  b.layLimits = {{-1, 0, 0x8010}, {11, 0, 0}, {12, 0, 0xFFFF}};
  b.annotations.push_back({"X", 5, 6, {{.format = 40}, {.format = -3}, {.format = 19, .start = -1, .end = 127},
                                       {.format = 15}, {.format = 31}}});
  b.matchingRules.push_back({0, 0, 0, 0, 0, 0, 4, 5, 0, 0, 1, 2, -1});
  b.orderModels.push_back({{"M"}, {}, {{"S", 1, "", "", "", 3}, {"S", 1, "", "", "", 2}}});
  b.blockBuffers.push_back({.segmentIndex = 1});
  Cartoon fixed, odd;
  fixed.piecingType = -1;
  odd.piecingType = 1;
  b.cartoons = {fixed, odd};
  const MarkerExport result = ExportBuilt(b, InstalledMarkerSchema().c_str());
  ASSERT_EQ(result.code, 0) << LastErrorMessage();
  const std::string& x = result.xml;
  EXPECT_EQ(Select(x, "/marker/status"), std::vector<std::string>{"Unknown"});
  EXPECT_EQ(Select(x, "/marker/layruletype"), std::vector<std::string>{"Force"});
  EXPECT_EQ(Select(x, "/marker/laylimit/flipcode"),
            (std::vector<std::string>{"Unknown", "Rotate45ClockwiseFlipAboutX", "Unknown"}));
  EXPECT_EQ(Select(x, "/marker/laylimit[1]/Options/@*"),
            (std::vector<std::string>{"1", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(Select(x, "/marker/laylimit[3]/Options/@*"), std::vector<std::string>(12, "1"));
  EXPECT_EQ(ChildNames(x, "/marker/AnnotationEntry"),
            (std::vector<std::string>{"Order", "Order", "OrderFixed", "OrderSymbol", "Order"}));
  EXPECT_EQ(Select(x, "/marker/AnnotationEntry/*/@Format"),
            (std::vector<std::string>{"Unknown", "Unknown", "MarkerDescription", "Symbol", "PlacedPieceCount"}));
  EXPECT_EQ(Select(x, "/marker/AnnotationEntry/OrderFixed/@*"),
            (std::vector<std::string>{"MarkerDescription", "-1", "127"}));
  EXPECT_EQ(Select(x, "/marker/AnnotationEntry/OrderSymbol/@*"), (std::vector<std::string>{"Symbol", "5", "6"}));
  EXPECT_EQ(Select(x, "/marker/matchingrule/*[contains(name(), 'type') or contains(name(), 'units')]"),
            (std::vector<std::string>{"SymmetricCentering", "Unknown", "Percentage", "Unknown", "Unknown"}));
  EXPECT_EQ(Select(x, "/marker/ordermodel/entry/direction"), (std::vector<std::string>{"Unknown", "Right"}));
  EXPECT_EQ(Select(x, "/marker/cartoon/typepiecing"), (std::vector<std::string>{"Fixed", "Unknown"}));
  EXPECT_NE(x.find("<BlockBuffer RuleType=\"Buffer\" SegmentIndex=\"1\" SegmentCount=\"0\" CartoonIndex=\"0\" />"),
            std::string::npos)
      << "a rule whose amounts are all zero has its attributes only";
}

TEST(MarkerDocument, LayRuleTypesAllValidate) {
  for (int8_t code : {0, 1, 2, 3, 4, 5, -1}) {
    MarkerBuilder b;
    b.names.emplace().layRuleType = code;
    const MarkerExport result = ExportBuilt(b, InstalledMarkerSchema().c_str());
    EXPECT_EQ(result.code, 0) << int(code) << ": " << LastErrorMessage();
  }
}

TEST(MarkerDocument, TextsAreEscapedSoTheFileIsAlwaysWellFormed) {
  MarkerBuilder b;
  MarkerNames& n = b.names.emplace();
  n.name = "A&B";
  n.description = "<tag> \"q\" 'a'";
  n.orderId = "bell\x07tab\tend";
  b.annotations.push_back({"<&\">", 0, 0, {}});
  const MarkerExport result = ExportBuilt(b, InstalledMarkerSchema().c_str());
  ASSERT_EQ(result.code, 0) << LastErrorMessage();
  EXPECT_NE(result.xml.find("<name>A&#38;B</name>"), std::string::npos);
  EXPECT_NE(result.xml.find("<description>&#60;tag&#62; &#34;q&#34; 'a'</description>"), std::string::npos);
  EXPECT_NE(result.xml.find("<AnnotationEntry Category=\"&#60;&#38;&#34;&#62;\" />"), std::string::npos);
  EXPECT_EQ(Select(result.xml, "/marker/description"), std::vector<std::string>{"<tag> \"q\" 'a'"});
  EXPECT_EQ(Select(result.xml, "/marker/orderid"), std::vector<std::string>{"bell\xEF\xBF\xBDtab\tend"});
  EXPECT_EQ(Select(result.xml, "/marker/AnnotationEntry/@Category"), std::vector<std::string>{"<&\">"});
}

TEST(MarkerDocument, NarrowTextGoesThroughTheCodePage) {
  MarkerBuilder b;
  b.names.emplace().name = "\x83\x65\x83\x58\x83\x67";  // "テスト" in code page 932
  b.modelNames = {"caf\xE9"};
  {
    CodePageScope scope(932);
    const MarkerExport result = ExportBuilt(b);
    ASSERT_EQ(result.code, 0);
    EXPECT_EQ(Select(result.xml, "/marker/name"), std::vector<std::string>{"\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"});
  }
  CodePageScope scope(1252);
  EXPECT_EQ(Select(ExportBuilt(b).xml, "/marker/modelnamevalue"), std::vector<std::string>{"caf\xC3\xA9"});
}

TEST(MarkerDocument, ValidationOutcomesBecomeTheCodes) {
  TempArea area;
  ASSERT_EQ(StoreMarker(area.path(), "M", DemoMarker().Build()), 1);
  MarkerBuilder unknownRule;
  unknownRule.blockBuffers.push_back({.ruleType = 5});
  ASSERT_EQ(StoreMarker(area.path(), "ODD", unknownRule.Build()), 1);

  WriteFile(area.File("notxml.xsd"), "<xs:schema");
  WriteFile(area.File("blank.xsd"), "  \n");
  WriteFile(area.File("wrong.xsd"),
            "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'><xs:element name='marker' type='nothing'/>"
            "</xs:schema>");
  WriteFile(area.File("strict.xsd"),
            "<xs:schema xmlns:xs='http://www.w3.org/2001/XMLSchema'><xs:element name='marker'><xs:complexType>"
            "<xs:attribute name='version' type='xs:int'/><xs:attribute name='must' use='required'/>"
            "</xs:complexType></xs:element></xs:schema>");
  const std::string installed = InstalledMarkerSchema();
  const std::string sizeCodes = std::string(TSLN2XML_BINARY_DIR) + "/SIZECODE.XSD";
  const struct {
    const char* marker;
    std::string schema;
    std::string output;
    int code;
  } cases[] = {
      {"M", installed, "out.xml", 0},
      {"M", area.File("missing.xsd"), "out.xml", 1},
      {"M", area.File("notxml.xsd"), "out.xml", 1},
      {"M", area.File("blank.xsd"), "out.xml", 1},
      {"M", area.File("strict.xsd"), "out.xml", 2},
      {"ODD", installed, "out.xml", 2},
      {"M", area.File("wrong.xsd"), "out.xml", 4},
      {"M", sizeCodes, "out.xml", 4},
      {"M", installed, "/dev/null", 4},
  };
  for (const auto& c : cases) {
    const std::string output = c.output[0] == '/' ? c.output : area.File(c.output);
    std::filesystem::remove(area.File("out.xml"));
    testing::internal::CaptureStdout();
    const int code = ConvertMarkerToXML("", area.c_str(), c.marker, output.c_str(), c.schema.c_str());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, c.code) << c.schema;
    if (code != 0) {
      EXPECT_EQ(LastErrorMessage(), "error validating xml document");
      EXPECT_EQ(GetLastErrorXML(), c.code);
    }
    if (output != "/dev/null") {
      EXPECT_GT(std::filesystem::file_size(output), 100u) << "the file stays as written";
    }
  }
  // Without a schema file nothing is checked, whatever is in the marker.
  EXPECT_EQ(ConvertMarkerToXML("", area.c_str(), "ODD", area.File("out.xml").c_str(), nullptr), 0);
}

TEST(MarkerDocument, FailuresToOpenEitherEndLeaveNoFileAndPrintNothing) {
  TempArea area, empty;
  ASSERT_EQ(StoreMarker(area.path(), "M", DemoMarker().Build()), 1);
  PutItemAt(area.path(), 9, "JUNK", 100);  // a catalog row that is not a marker container
  const std::string file = area.File("out.xml");
  const struct {
    std::string areaName, marker, output;
    int code, secondary;
    const char* message;
  } cases[] = {
      {area.path(), "NONE", file, 5, 2, "Error opening marker"},
      {area.path() + "/none", "M", file, 5, 3, "Error opening marker"},
      {area.path(), "", file, 5, 4, "Error opening marker"},
      {area.path(), "JUNK", file, 5, 8, "Error opening marker"},
      {empty.path(), "M", file, 5, 2, "Error opening marker"},  // no marker catalog
      {area.path(), "M", area.path(), 1, 0, "could not open output file"},
      {area.path(), "M", area.File("no/such/dir.xml"), 1, 0, "could not open output file"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const int code = ConvertMarkerToXML("", c.areaName.c_str(), c.marker.c_str(), c.output.c_str(), nullptr);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, c.code) << c.marker;
    EXPECT_EQ(GetLastErrorXML(), c.code);
    EXPECT_EQ(GetLastDbErrorXML(), c.secondary);
    EXPECT_EQ(LastErrorMessage(), c.message);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, "") << "the walk never started";
    EXPECT_FALSE(std::filesystem::exists(file));
  }
  EXPECT_EQ(ConvertMarkerToXML(nullptr, nullptr, nullptr, nullptr, nullptr), 5);
}

TEST(MarkerDocument, StorageAreaIsUsedWholeAndTheMarkerNameCutTo20) {
  TempArea area;
  const std::string deep = area.path() + "/a-storage-area-directory-with-a-long-name/and-another-level";
  std::filesystem::create_directories(deep);
  ASSERT_EQ(StoreMarker(deep, "ABCDEFGHIJKLMNOPQRST", MarkerBuilder{}.Build()), 1);
  const std::string file = area.File("out.xml");
  EXPECT_EQ(ConvertMarkerToXML("", deep.c_str(), "ABCDEFGHIJKLMNOPQRSTUVWXYZ", file.c_str(), nullptr), 0)
      << LastErrorMessage();
}

TEST(MarkerDocument, ExportsOnSeveralThreadsAtOnceWriteTheSameFiles) {
  TempArea area;
  MarkerBuilder big = DemoMarker();
  big.rawKinds.clear();
  for (size_t i = 0; i < 200; ++i) {
    const PieceInput piece = big.pieces[i % 3];
    big.pieces.push_back(piece);
  }
  ASSERT_EQ(StoreMarker(area.path(), "BIG", big.Build()), 1);
  testing::internal::CaptureStdout();
  ASSERT_EQ(ConvertMarkerToXML("", area.c_str(), "BIG", area.File("alone.xml").c_str(), nullptr), 0);
  testing::internal::GetCapturedStdout();

  std::vector<std::thread> threads;
  std::vector<int> codes(6, -1);
  for (size_t i = 0; i < codes.size(); ++i)
    threads.emplace_back([&, i] {
      const std::string file = area.File("t" + std::to_string(i) + ".xml");
      codes[i] = ConvertMarkerToXML("", area.c_str(), "BIG", file.c_str(), InstalledMarkerSchema().c_str());
    });
  for (auto& t : threads) t.join();
  const std::string alone = ReadFile(area.File("alone.xml"));
  for (size_t i = 0; i < codes.size(); ++i) {
    EXPECT_EQ(codes[i], 0);
    EXPECT_EQ(ReadFile(area.File("t" + std::to_string(i) + ".xml")), alone) << i;
  }
}

TEST(MarkerDocument, CommandLine) {
  TempArea area;
  const std::string cli = TSLN2XML_CLI_PATH;
  const std::string file = area.File("demo.xml");
  ASSERT_EQ(RunTool("demo-marker " + area.path() + " DEMO"), 0);
  std::string output;
  EXPECT_EQ(RunTool("marker " + area.path() + " DEMO -o " + file + " --schema", &output), 0) << output;
  EXPECT_EQ(output, "");  // every kind of the demo's marker is converted
  const std::string written = ReadFile(file);
  EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");

  // On standard output the document alone; the diagnostics go to the error stream.
  EXPECT_EQ(RunCommand("(" + cli + " marker " + area.path() + " DEMO --schema " + InstalledMarkerSchema() +
                           " 2>/dev/null)",
                       &output),
            0);
  EXPECT_EQ(output, written);

  // A schema file that refuses the document: the library's message, then the
  // validator's first error with its line.
  WriteFile(area.File("other.xsd"), R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"><xs:element name="other"/></xs:schema>)");
  EXPECT_EQ(RunTool("marker " + area.path() + " DEMO -o " + file + " --schema " + area.File("other.xsd"), &output), 2);
  EXPECT_NE(output.find("error validating xml document"), std::string::npos) << output;
  EXPECT_NE(output.find("\n  line 2: Element 'marker'"), std::string::npos) << output;
}

// Marker containers keep any bytes on the way in and out of the store.
TEST(MarkerFile, ContainerKeepsAnyBytesOnTheWayInAndOut) {
  MarkerBuilder small;
  small.segments.push_back({1, 2, 3, 4});
  const std::vector<std::vector<uint8_t>> datas = {
      {},                                      // no directory at all
      {1, 2, 3},                               // a part of one entry
      ByteBuilder().I32(2147483647).I32(-2147483647 - 1).I32(-2).Zeros(148).I32(-1).Text("tail", 4),
      small.Build().bytes,
  };
  for (const auto& data : datas) {
    const std::vector<uint8_t> container = store::WrapMarkerData(data);
    EXPECT_EQ(container.size(), data.size() + store::kMarkerDataStart);
    std::vector<uint8_t> back;
    ASSERT_TRUE(store::UnwrapMarkerData(container, back));
    EXPECT_EQ(back, data);
  }
  std::vector<uint8_t> out;
  std::vector<uint8_t> container = store::WrapMarkerData(datas.back());
  container[16] ^= 1;  // the recorded data size no longer matches
  EXPECT_FALSE(store::UnwrapMarkerData(container, out));
  EXPECT_FALSE(store::UnwrapMarkerData(std::vector<uint8_t>(63, 0), out));
}

// Raw get and put exchange the position-independent form; the catalog row
// holds file positions.
TEST(MarkerFile, RawGetAndPutExchangeThePositionIndependentForm) {
  TempArea area;
  MarkerBuilder small;
  small.segments.push_back({1, 2, 3, 4});
  const std::vector<uint8_t> data = small.Build().bytes;
  const std::string in = area.File("in.bin"), out = area.File("out.bin");
  WriteFile(in, std::string(data.begin(), data.end()));
  ASSERT_EQ(RunTool("raw put 9 " + area.path() + " SMALL " + in), 0);
  ASSERT_EQ(RunTool("raw get Marker " + area.path() + " small " + out), 0);
  EXPECT_EQ(ReadFile(out), ReadFile(in));
  std::vector<uint8_t> stored;
  ASSERT_EQ(store::GetMarker(area.path(), "SMALL", stored), store::kMarkerOk);
  EXPECT_EQ(stored, data);
  store::Catalog catalog;
  store::StoredItem row;
  ASSERT_EQ(store::Catalog::OpenForReading(store::MarkerCatalogPath(area.path()), catalog), store::CatalogStatus::kOk);
  ASSERT_EQ(catalog.Get("SMALL", row), store::CatalogStatus::kOk);
  EXPECT_NE(std::vector<uint8_t>(row.content.begin() + store::kMarkerDataStart, row.content.end()), data);

  // Item lists give the size of the marker data, not of its container.
  EXPECT_NE(ListToString(area.path()).xml.find("Size=\"" + std::to_string(data.size()) + "\""), std::string::npos);

  std::string message;
  EXPECT_EQ(RunTool("raw get 9 " + area.path() + " NONE " + out, &message), 5);
  EXPECT_NE(message.find("no such item"), std::string::npos) << message;
}

}  // namespace
}  // namespace tsln2xml::test
