// The schema a document is checked against: chosen by its namespace, or a
// caller's schema file with its includes; and the validation report.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/paths.h"
#include "support/test_support.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/document.h"
#include "xml/schema.h"

namespace tsln2xml::test {
namespace {

using namespace xml;

// A document's namespace names its schema by its last part: a namespace that
// names none fails with code 2, and the schema found under a made-up
// namespace does not declare the document's root.
TEST(SchemaChoice, TheDocumentNamespaceNamesTheSchema) {
  TempArea area;
  const struct {
    const char* ns;
    const char* message;
  } cases[] = {
      {"Circle", "XML namespace malformed"},
      {"urn:x1/SizeCode", "XML Validation Error:\nReason: Element '{urn:x1/SizeCode}SizeCode': No matching global"},
      {"SizeCode", "XML namespace malformed"},  // even with the SizeCode schema cached
  };
  for (const auto& c : cases) {
    const std::string doc = std::string("<SizeCode xmlns=\"") + c.ns + "\" Name=\"A\"/>";
    EXPECT_EQ(ImportFromString(24, area.path(), "A", doc), 2) << c.ns;
    EXPECT_TRUE(LastErrorMessage().starts_with(c.message)) << c.ns << ": " << LastErrorMessage();
  }
  EXPECT_FALSE(area.GetItem(24, "A"));
}

// A caller's schema file includes and imports local files only, in its own
// folder or below it, found relative to it; other schemes are never fetched,
// files elsewhere (by an absolute path, "..", or a link leading out) are
// refused with an error naming the location, and no loader message reaches
// the error stream.
TEST(SchemaFile, IncludesAreLocalFilesInItsFolderOnly) {
  TempArea area;
  const std::string types = R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema">
    <xs:simpleType name="small"><xs:restriction base="xs:int"><xs:maxInclusive value="9"/></xs:restriction></xs:simpleType>
  </xs:schema>)";
  std::filesystem::create_directories(area.File("schemas/sub dir"));
  std::filesystem::create_directories(area.File("outside"));
  WriteFile(area.File("schemas/sub dir/types.xsd"), types);
  WriteFile(area.File("outside/types.xsd"), types);
#ifndef _WIN32  // only an administrator makes symbolic links on Windows
  std::filesystem::create_symlink(area.File("outside/types.xsd"), area.File("schemas/link.xsd"));
  std::filesystem::create_symlink(area.File("schemas/sub dir/types.xsd"), area.File("schemas/inner.xsd"));
#endif
  auto schemaIncluding = [](const std::string& location) {
    return R"(<xs:schema xmlns:xs="http://www.w3.org/2001/XMLSchema"><xs:include schemaLocation=")" + location +
           R"("/><xs:element name="List"><xs:complexType><xs:attribute name="N" type="small"/></xs:complexType></xs:element></xs:schema>)";
  };
  // A file URL of a file in the area: file:///C:/.../sub%20dir/types.xsd on
  // Windows, file:///tmp/.../sub%20dir/types.xsd on Linux.
  auto fileUrl = [&](std::string name) {
#ifdef _WIN32
    return platform::DocumentBaseUrl(area.File(name));
#else
    if (const size_t space = name.find(' '); space != std::string::npos) name.replace(space, 1, "%20");
    return "file://" + area.File(name);
#endif
  };
  // An absolute path as a schema location: with slashes, as a URI reference
  // has them (a backslash is no URI character).
  auto slashed = [&](const std::string& name) { return std::filesystem::path(area.File(name)).generic_string(); };
  const struct {
    std::string location;
    const char* named;  // what the refusal names; nullptr: it compiles
  } cases[] = {
      {"sub%20dir/types.xsd", nullptr},  // a space, escaped as a reference has it
      {fileUrl("schemas/sub dir/types.xsd"), nullptr},
#ifndef _WIN32
      {area.File("schemas/inner.xsd"), nullptr},
      {"inner.xsd", nullptr},  // a link to a file inside
#endif
      {"missing.xsd", "missing.xsd"},
      {"http://127.0.0.1:9/types.xsd", "127.0.0.1:9/types.xsd"},
      {slashed("outside/types.xsd"), "outside/types.xsd"},
      {fileUrl("outside/types.xsd"), "outside/types.xsd"},
      {"../outside/types.xsd", "outside/types.xsd"},
      {"sub%20dir/../../outside/types.xsd", "outside/types.xsd"},
#ifndef _WIN32
      {"link.xsd", "link.xsd"},  // a link leading out
#endif
  };
  Document doc;
  ASSERT_TRUE(doc.LoadUtf8(R"(<List N="3"/>)"));
#ifndef _WIN32
  // A schema named through a link in another folder includes from the
  // folder it is named in.
  std::filesystem::create_directories(area.File("linked/sub dir"));
  WriteFile(area.File("linked/sub dir/types.xsd"), types);
  WriteFile(area.File("outside/caller.xsd"), schemaIncluding("sub%20dir/types.xsd"));
  std::filesystem::create_symlink(area.File("outside/caller.xsd"), area.File("linked/caller.xsd"));
  SchemaFileStatus linkedStatus;
  EXPECT_NE(LoadSchemaFile(area.File("linked/caller.xsd"), linkedStatus), nullptr);
#endif
  for (const auto& c : cases) {
    WriteFile(area.File("schemas/caller.xsd"), schemaIncluding(c.location));
    testing::internal::CaptureStderr();
    SchemaFileStatus status;
    std::string why;
    auto set = LoadSchemaFile(area.File("schemas/caller.xsd"), status, &why);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << c.location;
    EXPECT_EQ(set == nullptr, c.named != nullptr) << c.location;
    if (set) {
      EXPECT_NO_THROW(ValidateAgainst(doc, *set)) << c.location;
    } else {
      EXPECT_EQ(status, SchemaFileStatus::kNotSchema);
      EXPECT_NE(why.find(c.named), std::string::npos) << why;
      const bool elsewhere = std::string_view(c.named) == "outside/types.xsd" || c.location == "link.xsd";
      EXPECT_EQ(why.find("is not in the schema file's folder") != std::string::npos, elsewhere) << why;
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

// The report gives the reason, the line in the serialised document and the
// offending element. The input's own layout does not matter to a compact
// document (declaration, root, first entry, second entry, then the
// alteration); an indented one keeps its layout, though the import leaves the
// white space between elements out of its tree.
TEST(Validation, ReportLocatesTheOffendingElement) {
  TempArea area;
  const std::string root = "<SizeCode xmlns=\"urn:tsln2xml:data/SizeCode\" Name=\"A\">";
  const struct {
    std::string xml;
    bool file;
    const char* line;
  } cases[] = {
      {root + "<Entry ActualSize=\"1\" OrderedSize=\"1\"/><Entry ActualSize=\"1\" OrderedSize=\"1\"><Alteration Name=\"X\" "
              "Amount=\"abc\"/></Entry></SizeCode>", false, "\nline: 5\n"},
      {root + "\n\n\n  <Entry ActualSize=\"1\" OrderedSize=\"1\">\n    <Alteration Name=\"X\" Amount=\"abc\"/>\n  </Entry>\n"
              "</SizeCode>\n", true, "\nline: 6\n"},
  };
  for (const auto& c : cases) {
    WriteFile(area.File("doc.xml"), c.xml);
    EXPECT_EQ(c.file ? ConvertXMLFileToDataItem(24, area.File("doc.xml").c_str(), 0, "", area.c_str(), "A")
                     : ImportFromString(24, area.path(), "A", c.xml), 2);
    const std::string report = LastErrorMessage();
    EXPECT_TRUE(report.starts_with("XML Validation Error:\nReason: Element '{urn:tsln2xml:data/SizeCode}Alteration', "
                                   "attribute 'Amount': 'abc' is not a valid value")) << report;
    EXPECT_NE(report.find("\nerrorCode: 0x"), std::string::npos);
    EXPECT_NE(report.find(c.line), std::string::npos) << report;
    EXPECT_NE(report.find("Source:     <Alteration Name=\"X\" Amount=\"abc\"/>"), std::string::npos) << report;
  }
}

}  // namespace
}  // namespace tsln2xml::test
