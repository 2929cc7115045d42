// Schema resources, the assembly of a schema set (imports by namespace,
// includes copied in and qualified) and the validation report.

#include <gtest/gtest.h>

#include <filesystem>

#include <map>

#include "core/exception.h"
#include "platform/code_page.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/document.h"
#include "xml/schema.h"

namespace tsln2xml::test {
namespace {

using namespace xml;

// Resources given as UTF-8 texts, stored as UTF-16LE with a byte-order mark.
class TestResources : public SchemaResources {
 public:
  void Add(const std::string& name, const std::string& utf8, bool withBom = true) {
    std::vector<uint8_t> bytes;
    if (withBom) bytes = {0xFF, 0xFE};
    for (char16_t u : platform::Utf8ToUtf16(utf8)) {
      bytes.push_back(static_cast<uint8_t>(u & 0xFF));
      bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    resources_[name] = bytes;
  }
  std::optional<std::span<const uint8_t>> Find(std::string_view name) const override {
    for (const auto& [n, bytes] : resources_)
      if (strcasecmp(n.c_str(), std::string(name).c_str()) == 0) return std::span<const uint8_t>(bytes);
    return std::nullopt;
  }

 private:
  std::map<std::string, std::vector<uint8_t>> resources_;
};

constexpr const char* kShapeSchema = R"(<?xml version="1.0" encoding="utf-16"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:this="urn:tsln2xml:data/Shape"
    xmlns:common="urn:tsln2xml:data/common" targetNamespace="urn:tsln2xml:data/Shape"
    elementFormDefault="qualified" attributeFormDefault="unqualified">
  <xs:import namespace="urn:tsln2xml:data/common" schemaLocation="common.xsd"/>
  <xs:include schemaLocation="shapebase.xsd"/>
  <xs:element name="Shape">
    <xs:complexType>
      <xs:sequence><xs:element name="Corner" type="this:typeCorner" maxOccurs="unbounded"/></xs:sequence>
      <xs:attribute name="Name" type="common:ObjectID" use="required"/>
    </xs:complexType>
  </xs:element>
</xs:schema>)";

// Included: no target namespace, unqualified references to its own types, and
// an import that the including schema does not need to follow.
constexpr const char* kShapeBase = R"(<?xml version="1.0" encoding="utf-16"?>
<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:common="urn:tsln2xml:data/common"
    elementFormDefault="qualified">
  <xs:import namespace="urn:tsln2xml:data/nowhere" schemaLocation="nowhere.xsd"/>
  <xs:simpleType name="enumKind"><xs:restriction base="xs:string">
    <xs:enumeration value="Round"/><xs:enumeration value="Square"/></xs:restriction></xs:simpleType>
  <xs:complexType name="typeCorner">
    <xs:attribute name="Kind" type="enumKind" use="required"/>
    <xs:attribute name="Size" type="common:int16" use="required"/>
  </xs:complexType>
</xs:schema>)";

TestResources ShapeResources() {
  TestResources r;
  r.Add("SHAPE.XSD", kShapeSchema);
  r.Add("SHAPEBASE.XSD", kShapeBase);
  r.Add("COMMON.XSD", platform::Utf16ToUtf8(SchemaResourceText(EmbeddedSchemas(), "COMMON.XSD")));
  return r;
}

std::optional<std::string> Check(const SchemaSet& set, const std::string& xml) {
  Document doc;
  EXPECT_TRUE(doc.LoadUtf8(xml));
  return FindValidationError(doc, set);
}

TEST(SchemaAssembly, ImportsAndIncludesMakeOneSet) {
  TestResources resources = ShapeResources();
  auto set = AssembleSchemaSet(resources, "urn:tsln2xml:data/Shape");
  EXPECT_EQ(Check(*set, R"(<Shape xmlns="urn:tsln2xml:data/Shape" Name="S"><Corner Kind="Round" Size="3"/></Shape>)"),
            std::nullopt);
  // A type defined only in the included schema is enforced.
  auto report = Check(*set, R"(<Shape xmlns="urn:tsln2xml:data/Shape" Name="S">
<Corner Kind="Round" Size="3"/>
<Corner Kind="Oval" Size="3"/></Shape>)");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->rfind("XML Validation Error:\nReason: ", 0), 0u) << *report;
  EXPECT_NE(report->find("\nline: 4\nlinePos: "), std::string::npos) << *report;
  EXPECT_NE(report->find("Source: <Corner Kind=\"Oval\" Size=\"3\"/>"), std::string::npos) << *report;
  // A common type through the import.
  EXPECT_TRUE(Check(*set, R"(<Shape xmlns="urn:tsln2xml:data/Shape" Name="S"><Corner Kind="Round" Size="70000"/></Shape>)"));
}

TEST(SchemaAssembly, ResourceFailures) {
  struct Case {
    const char* what;
    std::function<void(TestResources&)> change;
    const char* ns;
    const char* message;
  } cases[] = {
      {"no slash in the namespace", [](TestResources&) {}, "Shape", "XML namespace malformed"},
      {"no resource for the namespace", [](TestResources&) {}, "urn:tsln2xml:data/Circle", "XSD Resource could not be found"},
      {"a missing import", [](TestResources& r) { r.Add("COMMON.XSD", "", true); r = TestResources(); r.Add("SHAPE.XSD", kShapeSchema); r.Add("SHAPEBASE.XSD", kShapeBase); },
       "urn:tsln2xml:data/Shape", "XSD Resource could not be found"},
      {"no byte-order mark", [](TestResources& r) { r.Add("SHAPE.XSD", kShapeSchema, false); }, "urn:tsln2xml:data/Shape",
       "XSD Resource missing UTF-16 byte marker"},
  };
  for (const auto& c : cases) {
    TestResources resources = ShapeResources();
    c.change(resources);
    try {
      AssembleSchemaSet(resources, c.ns);
      ADD_FAILURE() << c.what;
    } catch (const Tsln2XmlException& e) {
      EXPECT_EQ(e.Code(), 2) << c.what;
      EXPECT_STREQ(e.what(), c.message) << c.what;
    }
  }
}

TEST(SchemaFile, ValidationAgainstACallersSchemaFile) {
  TempArea area;
  WriteFile(area.File("list.xsd"), R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
    <xs:element name="List"><xs:complexType><xs:attribute name="N" type="xs:int"/></xs:complexType></xs:element>
  </xs:schema>)");
  WriteFile(area.File("empty.xsd"), "");
  WriteFile(area.File("broken.xsd"), "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">");
  WriteFile(area.File("notschema.xsd"), "<List/>");
  Document good, bad;
  ASSERT_TRUE(good.LoadUtf8(R"(<List N="1"/>)"));
  ASSERT_TRUE(bad.LoadUtf8(R"(<List N="x"/>)"));
  EXPECT_NO_THROW(ValidateAgainstSchemaFile(good, area.File("list.xsd")));
  struct Case {
    const Document* doc;
    std::string schema;
    int code;
    const char* message;
  } cases[] = {
      {&bad, area.File("list.xsd"), 2, "XML Validation Error:"},
      {&good, area.File("missing.xsd"), 1, "xmlFile failed to Load"},
      {&good, area.File("broken.xsd"), 1, "xmlFile failed to Load"},
      {&good, area.File("empty.xsd"), 2, "XSD Document not Loaded."},
      {&good, area.File("notschema.xsd"), 2, "XSD Document not Loaded."},
  };
  for (const auto& c : cases) {
    try {
      ValidateAgainstSchemaFile(*c.doc, c.schema);
      ADD_FAILURE() << c.schema;
    } catch (const Tsln2XmlException& e) {
      EXPECT_EQ(e.Code(), c.code) << c.schema;
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << c.schema << ": " << e.what();
    }
  }
}

// A caller's schema file includes and imports local files only, found
// relative to it; other schemes are never fetched, and no loader message
// reaches the error stream.
TEST(SchemaFile, IncludesAreLocalFilesOnly) {
  TempArea area;
  std::filesystem::create_directory(area.File("sub dir"));
  WriteFile(area.File("sub dir/types.xsd"), R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
    <xs:simpleType name="small"><xs:restriction base="xs:int"><xs:maxInclusive value="9"/></xs:restriction></xs:simpleType>
  </xs:schema>)");
  auto schemaIncluding = [](const std::string& location) {
    return R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"><xs:include schemaLocation=")" + location +
           R"("/><xs:element name="List"><xs:complexType><xs:attribute name="N" type="small"/></xs:complexType></xs:element></xs:schema>)";
  };
  const struct {
    std::string location;
    bool compiles;
  } cases[] = {
      {"sub%20dir/types.xsd", true},  // a space, escaped as a reference has it
      {"file://" + area.File("sub%20dir/types.xsd"), true},
      {"missing.xsd", false},
      {"http://127.0.0.1:9/types.xsd", false},
      {"ftp://127.0.0.1:9/types.xsd", false},
  };
  Document doc;
  ASSERT_TRUE(doc.LoadUtf8(R"(<List N="3"/>)"));
  for (const auto& c : cases) {
    WriteFile(area.File("caller.xsd"), schemaIncluding(c.location));
    testing::internal::CaptureStderr();
    SchemaFileStatus status;
    auto set = LoadSchemaFile(area.File("caller.xsd"), status);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.location;
    EXPECT_EQ(set != nullptr, c.compiles) << c.location;
    if (set) {
      EXPECT_NO_THROW(ValidateAgainst(doc, *set)) << c.location;
    }
  }
}

// The schema files callers are given, copied under their upper-case names
// alone, still find each other.
TEST(SchemaFile, UpperCaseCopiesIncludeEachOther) {
  TempArea area;
  size_t copied = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TSLN2XML_BINARY_DIR)) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".XSD") continue;
    std::filesystem::copy_file(entry.path(), area.File(name));
    ++copied;
  }
  EXPECT_GE(copied, 20u);
  for (const auto& entry : std::filesystem::directory_iterator(area.path())) {
    if (entry.path().filename().string().ends_with("BASE.XSD")) continue;  // included pieces, not schemas of their own
    SchemaFileStatus status;
    EXPECT_NE(LoadSchemaFile(entry.path().string(), status), nullptr) << entry.path();
  }
}

TEST(Validation, ReportLocatesTheOffendingElementInTheSerialisedDocument) {
  TempArea area;
  // The input's own layout does not matter: lines count in the serialised text.
  const std::string xml =
      "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\"><Entry ActualSize=\"1\" OrderedSize=\"1\"/>"
      "<Entry ActualSize=\"1\" OrderedSize=\"1\"><Alteration Name=\"X\" Amount=\"abc\"/></Entry></SizeCode>";
  EXPECT_EQ(ImportFromString(24, area.path(), "A", xml), 2);
  const std::string report = LastErrorMessage();
  EXPECT_EQ(report.rfind("XML Validation Error:\nReason: Element '{urn:tsln2xml:data/SizeCode}Alteration', attribute "
                         "'Amount': 'abc' is not a valid value",
                         0),
            0u)
      << report;
  EXPECT_NE(report.find("\nerrorCode: 0x"), std::string::npos);
  // Declaration, root, first entry, second entry, then the alteration.
  EXPECT_NE(report.find("\nline: 5\n"), std::string::npos) << report;
  EXPECT_NE(report.find("Source:     <Alteration Name=\"X\" Amount=\"abc\"/>"), std::string::npos) << report;
}

// An import leaves the white space between elements out of its tree; the
// report of an invalid document still counts the lines of the document's
// own layout, which its serialisation keeps.
TEST(Validation, ReportKeepsTheLayoutOfAnIndentedDocument) {
  TempArea area;
  const std::string doc = area.File("doc.xml");
  WriteFile(doc,
            "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\">\n\n\n  <Entry ActualSize=\"1\" "
            "OrderedSize=\"1\">\n    <Alteration Name=\"X\" Amount=\"abc\"/>\n  </Entry>\n</SizeCode>\n");
  EXPECT_EQ(ConvertXMLFileToDataItem(24, doc.c_str(), 0, "", area.c_str(), "A"), 2);
  EXPECT_NE(LastErrorMessage().find("\nline: 6\n"), std::string::npos) << LastErrorMessage();
}

}  // namespace
}  // namespace tsln2xml::test
