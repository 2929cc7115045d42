// The DXF exports, read back by an independent reader (ezdxf): the graded
// worked example of docs/grading.md in every size, grade numbers against the
// .rul file, the layers, texts and
// placement, the ASTM flavour, a marker against the placement the picture
// uses, and the failures of the command and the C call.

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <filesystem>
#include <map>

#include "dxf/group_writer.h"
#include "dxf/marker_dxf.h"
#include "dxf/piece_dxf.h"
#include "marker/placed_marker.h"
#include "store/piece_builder.h"
#include "support/dxf_reader.h"
#include "support/graded_piece_support.h"
#include "support/test_support.h"
#include "tsln2xml/dxf.h"

namespace tsln2xml::test {
namespace {

using grading::PIECE;

constexpr double kTolerance = 1e-4;
const char* const kSizes[] = {"XS", "S", "M", "L", "XL"};

class PieceDxfTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(grading::StorePiece(area_.path(), "WORKED", WorkedExamplePiece()), 1); }
  int Run(const std::string& args, std::string* out = nullptr) { return RunTool("dxf " + args, out); }
  std::string Area() const { return Quote(area_.path()); }
  TempArea area_;
};

TEST_F(PieceDxfTest, EverySizeOfTheWorkedExampleWithItsRules) {
  const std::string dxf = area_.File("w.dxf"), rul = area_.File("w.rul");
  std::string out;
  ASSERT_EQ(Run("Piece " + Area() + " WORKED -o " + Quote(dxf) + " --rul " + Quote(rul) + " --units cm --sizes all",
                &out),
            0)
      << out;
  READ_OR_SKIP(file, dxf);

  ASSERT_EQ(file.blockOrder, (std::vector<std::string>{"WORKED_XS", "WORKED_S", "WORKED_M", "WORKED_L", "WORKED_XL"}));
  for (size_t s = 0; s < 5; ++s) {
    SCOPED_TRACE(kSizes[s]);
    const std::string block = std::string("WORKED_") + kSizes[s];
    // Each size's outline where grading puts it: DxfDocument.TheWorkedExample.
    const auto outline = file.Of(block, "POLYLINE", "1");
    ASSERT_EQ(outline.size(), 1u);
    EXPECT_TRUE(outline[0].closed);
    // Piece text in every block; quantity, category and annotation only in
    // the base size's, with its turn points, grade numbers and drill hole.
    std::vector<std::string> texts = {"Piece Name: WORKED", std::string("Size: ") + kSizes[s]};
    if (s == 2) texts.insert(texts.end(), {"Quantity: 1", "Category: TEST", "Annotation: Worked example"});
    std::vector<std::string> pieceTexts;
    for (const auto& t : file.Of(block, "TEXT", "1")) pieceTexts.push_back(t.text);
    EXPECT_EQ(pieceTexts, texts);
    EXPECT_EQ(file.Of(block, "POINT", "2").size(), s == 2 ? 5u : 0u);
    const auto drill = file.Of(block, "POINT", "13");
    ASSERT_EQ(drill.size(), s == 2 ? 1u : 0u);
    if (s == 2) {
      EXPECT_NEAR(drill[0].numbers[0], 50.0, kTolerance);
    }
  }

  // Every entity kind on the layers the convention gives it; INSERTs and
  // the style text only outside the blocks.
  const std::map<std::string, std::vector<std::string>> layers = {
      {"POLYLINE", {"1", "8"}}, {"POINT", {"2", "3", "4", "13"}}, {"LINE", {"6", "7"}}, {"TEXT", {"1", "2", "15"}}};
  for (const auto& [name, entities] : file.blocks)
    for (const DxfEntity& e : entities) {
      ASSERT_TRUE(layers.count(e.type)) << name << " " << e.type;
      const auto& allowed = layers.at(e.type);
      EXPECT_NE(std::find(allowed.begin(), allowed.end(), e.layer), allowed.end()) << name << " " << e.type << " " << e.layer;
    }
  for (const DxfEntity& e : file.entities) EXPECT_TRUE(e.type == "INSERT" || (e.type == "TEXT" && e.layer == "1")) << e.type;

  // Each "# n" follows its grade point's POINT; the .rul file's row for a
  // size is how far that point moves from the base block to that size's.
  const auto gradeAt = GradeNumbers(file.blocks.at("WORKED_M"));
  ASSERT_EQ(gradeAt.size(), 3u);  // rules 3, 4, 5 renumbered 1, 2, 3
  EXPECT_NEAR(gradeAt.at(1).first, 200.0, kTolerance);
  const RulFile rules = ReadRul(rul, 5);  // its head: DxfDocument.TheWorkedExample
  ASSERT_EQ(rules.rules.size(), 3u);
  EXPECT_TRUE(rules.ended);
  for (int n = 1; n <= 3; ++n)
    for (size_t s = 0; s < 5; ++s) {
      const std::vector<double> moved = file.Of(std::string("WORKED_") + kSizes[s], "POLYLINE", "1")[0].numbers;
      const size_t point = static_cast<size_t>(n) + 1;  // rule n grades perimeter point n + 2 (index n + 1)
      const auto [dx, dy] = rules.rules[n - 1][s];
      EXPECT_NEAR(moved[2 * point] - gradeAt.at(n).first, dx, kTolerance) << "rule " << n << " size " << kSizes[s];
      EXPECT_NEAR(moved[2 * point + 1] - gradeAt.at(n).second, dy, kTolerance);
    }

  // One INSERT per block, side by side without overlapping.
  const auto inserts = file.Of("", "INSERT", "0");
  ASSERT_EQ(inserts.size(), 5u);
  double right = -1e300;
  for (const auto& insert : inserts) {
    const std::vector<double> points = file.Of(insert.text, "POLYLINE", "1")[0].numbers;
    double minX = 1e300, maxX = -1e300;
    for (size_t k = 0; k < points.size(); k += 2) {
      minX = std::min(minX, points[k] + insert.numbers[0]);
      maxX = std::max(maxX, points[k] + insert.numbers[0]);
    }
    EXPECT_GT(minX, right) << insert.text;
    right = maxX;
  }
  const auto style = file.Texts("");
  for (const char* expected : {"Units: METRIC", "Number of Sizes: 5", "Sample Size: M", "Style Name: TEST",
                               "Author: tsln2xml 0.1.0", "Grade Rule Table: "})
    EXPECT_NE(std::find(style.begin(), style.end(), expected), style.end()) << expected;
}

// AAMA writes the base size by default, ASTM every size, its own quantity
// text, version line and rule file header; the method comes from the option.
TEST_F(PieceDxfTest, FlavoursAndMethods) {
  struct Case {
    std::string options;
    size_t blocks;
    const char* quantity;
    bool astmLine;
    const char* rulHead;
    double xlPoint3;  // mm
  } cases[] = {
      {"--units cm", 1, "Quantity: 1", false, "ANSI/AAMA VERSION: 1.0.0", 0},
      {"--units cm --flavour astm", 5, "Quantity: 1,0", true, "ASTM/D6673/RUL", 205.0},
      {"--units cm --flavour astm --grade-method Cumulative", 5, "Quantity: 1,0", true, "ASTM/D6673/RUL", 204.0},
      {"--units mm --sizes all", 5, "Quantity: 1", false, "ANSI/AAMA VERSION: 1.0.0", 20.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string dxf = area_.File("f.dxf"), rul = area_.File("f.rul");
    std::string out;
    ASSERT_EQ(Run("Piece " + Area() + " WORKED -o " + Quote(dxf) + " --rul " + Quote(rul) + " " + c.options, &out), 0)
        << out;
    READ_OR_SKIP(file, dxf);
    EXPECT_EQ(file.blocks.size(), c.blocks);
    const auto base = file.Texts("WORKED_M");
    EXPECT_NE(std::find(base.begin(), base.end(), c.quantity), base.end());
    const auto style = file.Texts("");
    EXPECT_EQ(std::find(style.begin(), style.end(), "ASTM/D13Proposal 1 Version: D 6673-04") != style.end(),
              c.astmLine);
    EXPECT_EQ(ReadFile(rul).substr(0, std::string(c.rulHead).size() + 2), std::string(c.rulHead) + "\r\n");
    if (c.blocks == 5) {
      EXPECT_NEAR(file.Of("WORKED_XL", "POLYLINE", "1")[0].numbers[4], c.xlPoint3, kTolerance);
    }
  }
}

// Two pieces share one .rul file: rules are numbered on across them.
TEST_F(PieceDxfTest, SeveralPiecesNumberTheirRulesOn) {
  ASSERT_EQ(grading::StorePiece(area_.path(), "OTHER", WorkedExamplePiece()), 1);
  const std::string dxf = area_.File("two.dxf"), rul = area_.File("two.rul");
  ASSERT_EQ(Run("Piece " + Area() + " WORKED OTHER -o " + Quote(dxf) + " --rul " + Quote(rul) + " --units in"), 0);
  READ_OR_SKIP(file, dxf);
  EXPECT_EQ(file.blockOrder, (std::vector<std::string>{"WORKED_M", "OTHER_M"}));
  const auto other = file.Texts("OTHER_M");
  EXPECT_NE(std::find(other.begin(), other.end(), "# 6"), other.end());
  const RulFile rules = ReadRul(rul, 5);
  EXPECT_EQ(rules.rules.size(), 6u);
  EXPECT_TRUE(rules.Has("UNITS: ENGLISH"));
  // Inches: stored / 10000.
  EXPECT_NEAR(file.Of("WORKED_M", "POLYLINE", "1")[0].numbers[4], 20.0, kTolerance);
}

// Names outside 7-bit ASCII are written with "_" and counted; the file stays
// one the reader accepts.
TEST(PieceDxf, NamesBeyondAsciiBecomeUnderscores) {
  PIECE piece = WorkedExamplePiece();
  piece.category.FromText("CAF\xC9", Tessaline::kAsIs);
  dxf::PieceDxfOptions options;
  options.sizes = dxf::SizeSet::kAll;
  const dxf::PieceDxf made = dxf::BuildPieceDxf({{"P\xC4 1", piece}}, options);
  EXPECT_GE(made.replacedCharacters, 3u);
  TempArea area;
  WriteFile(area.File("n.dxf"), made.dxf);
  READ_OR_SKIP(file, area.File("n.dxf"));
  ASSERT_TRUE(file.blocks.count("P__1_M"));
  const auto texts = file.Texts("P__1_M");
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Category: CAF_"), texts.end());

  // Block names that differ only in case, or in what became "_", stay apart.
  const dxf::PieceDxf alike = dxf::BuildPieceDxf({{"a", piece}, {"A", piece}, {"a?", piece}, {"a_", piece}}, {});
  WriteFile(area.File("alike.dxf"), alike.dxf);
  READ_OR_SKIP(again, area.File("alike.dxf"));
  EXPECT_EQ(again.blockOrder, (std::vector<std::string>{"a_M", "A_M_2", "a__M", "a__M_2"}));
}

// A piece without points or sizes still gives a file the reader takes: one
// empty block in its base size.
TEST(PieceDxf, APieceWithoutPoints) {
  PIECE empty;
  empty.numBreaks = -1;
  const dxf::PieceDxf made = dxf::BuildPieceDxf({{"EMPTY", empty}}, {});
  TempArea area;
  WriteFile(area.File("e.dxf"), made.dxf);
  READ_OR_SKIP(file, area.File("e.dxf"));
  ASSERT_EQ(file.blockOrder.size(), 1u);
  EXPECT_TRUE(file.Of(file.blockOrder[0], "POLYLINE", "1").empty());
  EXPECT_EQ(file.Of("", "INSERT", "0").size(), 1u);
}

TEST(PieceDxf, PiecesWithOtherSizesDoNotShareAFile) {
  PIECE other = WorkedExamplePiece();
  other.sizes.pop_back();
  try {
    dxf::BuildPieceDxf({{"A", WorkedExamplePiece()}, {"B", other}}, {});
    ADD_FAILURE();
  } catch (const Tsln2XmlException& e) {
    EXPECT_EQ(e.Code(), kContentUnusable);
    EXPECT_NE(std::string(e.what()).find("different sizes"), std::string::npos);
  }
}

// Failures: a clear message, a non-zero code, and no file (an existing one
// stays as it was).
TEST_F(PieceDxfTest, FailuresLeaveNoFile) {
  area_.PutItem(kPiece, "BAD", {1, 2, 3});
  const std::string dxf = area_.File("x.dxf"), rul = area_.File("x.rul");
  WriteFile(dxf, "old");
  struct Case {
    std::string args;
    int code;
    const char* message;
  } cases[] = {
      {"Piece " + Area() + " NOSUCH -o " + Quote(dxf) + " --units cm", 5, "Could not open file"},
      {"Piece " + Area() + " BAD -o " + Quote(dxf) + " --units cm", 5, "Unable to load Piece"},
      {"Piece " + Area() + " WORKED -o " + Quote(dxf), 1, "give --units mm, cm or in"},
      {"Piece " + Area() + " WORKED -o " + Quote(dxf) + " --rul " + Quote(rul) + " --units cm --grade-method Bias", 64,
       "--grade-method is"},
      {"Piece " + Area() + " WORKED worked -o " + Quote(dxf) + " --units cm", 64, "named twice"},
      {"Piece " + Area() + " WORKED -o " + Quote(dxf) + " --rul " + Quote(area_.path() + "/./x.dxf") + " --units cm", 1,
       "must be two files"},
      {"Piece " + Quote(area_.File("nowhere")) + " WORKED -o " + Quote(dxf), 5, "Could not open file"},
      {"Marker " + Quote(area_.File("nowhere")) + " M -o " + Quote(dxf), 5, "does not exist"},
      {"Marker " + Area() + " NOSUCH -o " + Quote(dxf) + " --units cm", 5, "No marker \"NOSUCH\""},
      {"Marker " + Area() + " M -o " + Quote(dxf) + " --rul " + Quote(rul), 64, "only --units"},
      {"Model " + Area() + " M -o " + Quote(dxf), 7, "dxf writes pieces and markers"},
  };
  for (const Case& c : cases) {
    std::string out;
    EXPECT_EQ(Run(c.args, &out), c.code) << c.args << "\n" << out;
    EXPECT_NE(out.find(c.message), std::string::npos) << c.args << "\n" << out;
    EXPECT_EQ(ReadFile(dxf), "old") << c.args;
    EXPECT_FALSE(std::filesystem::exists(rul)) << c.args;
  }
}

// The DXF and its .rul file replace older ones as a pair: when either cannot
// be written or put in place, both older files stay as they were.
TEST_F(PieceDxfTest, AFailedPairKeepsBothOlderFiles) {
  namespace fs = std::filesystem;
  const std::string dxf = area_.File("p.dxf"), rul = area_.File("p.rul");
  const struct {
    const char* what;
    std::string dxfTarget, rulTarget;
  } cases[] = {
      {"the DXF's place is a directory", area_.File("dir.dxf"), rul},
      {"the .rul file's place is a directory", dxf, area_.File("dir.rul")},
      {"the DXF's directory is missing", area_.File("no/such/p.dxf"), rul},
      {"the .rul file's directory is missing", dxf, area_.File("no/such/p.rul")},
  };
  fs::create_directory(area_.File("dir.dxf"));
  fs::create_directory(area_.File("dir.rul"));
  for (const auto& c : cases) {
    WriteFile(dxf, "old dxf");
    WriteFile(rul, "old rul");
    std::string out;
    EXPECT_EQ(Run("Piece " + Area() + " WORKED -o " + Quote(c.dxfTarget) + " --rul " + Quote(c.rulTarget) +
                      " --units cm --flavour astm",
                  &out),
              5)
        << c.what;
    EXPECT_NE(out.find("Could not write the output file"), std::string::npos) << c.what << "\n" << out;
    EXPECT_EQ(ReadFile(dxf), "old dxf") << c.what;
    EXPECT_EQ(ReadFile(rul), "old rul") << c.what;
    EXPECT_TRUE(fs::is_directory(area_.File("dir.dxf")) && fs::is_directory(area_.File("dir.rul"))) << c.what;
  }
  for (const auto& entry : fs::directory_iterator(area_.path()))
    EXPECT_TRUE(entry.path().extension() != ".part" && entry.path().extension() != ".old") << entry.path();
  // Both in place, the pair replaces both.
  ASSERT_EQ(Run("Piece " + Area() + " WORKED -o " + Quote(dxf) + " --rul " + Quote(rul) + " --units cm"), 0);
  EXPECT_EQ(ReadFile(rul).rfind("ANSI/AAMA VERSION: 1.0.0\r\n", 0), 0u);
  EXPECT_NE(ReadFile(dxf).find("AC1009"), std::string::npos);
}

// The unit and the method come from the area's single user environment.
TEST_F(PieceDxfTest, TheAreasUserEnvironmentGivesTheUnit) {
  const std::string standard = std::string(TSLN2XML_SOURCE_DIR) + "/examples/UserEnvironment/STANDARD.xml";
  ASSERT_EQ(RunTool("import UserEnvironment " + Area() + " STANDARD " + Quote(standard)), 0);
  const std::string dxf = area_.File("u.dxf");
  ASSERT_EQ(Run("Piece " + Area() + " WORKED -o " + Quote(dxf)), 0);
  READ_OR_SKIP(file, dxf);
  const auto style = file.Texts("");
  EXPECT_NE(std::find(style.begin(), style.end(), "Units: METRIC"), style.end());
  std::string second = ReadFile(standard);
  second.replace(second.find("STANDARD"), 8, "SECOND");
  ASSERT_EQ(ImportFromString(kUserEnvironment, area_.path(), "SECOND", second), 0) << LastErrorMessage();
  std::string out;
  EXPECT_EQ(Run("Piece " + Area() + " WORKED -o " + Quote(dxf), &out), 1);
  EXPECT_NE(out.find("has 2 user environments"), std::string::npos) << out;
}

// The marker DXF holds what the marker's placement gives (the same code as
// its picture), in millimetres for a centimetre marker.
TEST(MarkerDxf, ThePlacedMarkerAsThePictureHasIt) {
  TempArea area;
  ASSERT_EQ(RunTool("demo-marker " + Quote(area.path()) + " DEMO"), 0);
  const std::string dxf = area.File("m.dxf");
  std::string out;
  ASSERT_EQ(RunTool("dxf Marker " + Quote(area.path()) + " DEMO -o " + Quote(dxf) + " --units cm", &out), 0) << out;
  READ_OR_SKIP(file, dxf);

  marker::MarkerPlan plan("DEMO");
  marker::WalkMarker("", area.path(), "DEMO", plan);
  const marker::PlacedMarker placed = plan.Place();
  const auto fabric = file.Of("", "LINE", "FABRIC");
  ASSERT_EQ(fabric.size(), 4u);
  EXPECT_NEAR(fabric[1].numbers[0], placed.width * 10, kTolerance);
  EXPECT_NEAR(fabric[1].numbers[3], placed.length * 10, kTolerance);
  const auto outlines = file.Of("", "POLYLINE", "PIECES");
  ASSERT_EQ(outlines.size(), placed.pieces.size());
  size_t lines = 0, drills = 0, notches = 0;
  for (size_t i = 0; i < outlines.size(); ++i) {
    const auto& expected = placed.pieces[i].outline;
    ASSERT_EQ(outlines[i].numbers.size(), 2 * expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
      EXPECT_NEAR(outlines[i].numbers[2 * k], expected[k].x * 10, 1e-3);
      EXPECT_NEAR(outlines[i].numbers[2 * k + 1], expected[k].y * 10, 1e-3);
      notches += expected[k].notch ? 1 : 0;
    }
    for (const auto& line : placed.pieces[i].lines) (line.size() == 1 ? drills : lines) += line.size() >= 1 ? 1 : 0;
  }
  EXPECT_EQ(file.Of("", "POLYLINE", "INTERNAL").size(), lines);
  EXPECT_EQ(file.Of("", "POINT", "DRILL").size(), drills);
  EXPECT_EQ(file.Of("", "POINT", "NOTCHES").size(), notches);
  const auto names = file.Texts("");
  EXPECT_NE(std::find(names.begin(), names.end(), "FRONT"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "Units: METRIC"), names.end());
}

// Values no reader could take are left out and counted, never written.
TEST(MarkerDxf, UnusableValuesAreLeftOut) {
  marker::PlacedMarker placed;
  placed.width = 10;
  placed.length = 20;
  marker::PlanPiece piece{"P\xE9", {{0, 0}, {1, 0}, {0, 1, true}}, {{{0.5, 0.5}}}, ""};
  placed.pieces.push_back({0, &piece, piece.outline, piece.lines});
  size_t replaced = 0;
  const std::string text = dxf::BuildMarkerDxf(placed, dxf::Unit::kInch, replaced);
  EXPECT_EQ(replaced, 1u);
  TempArea area;
  WriteFile(area.File("m.dxf"), text);
  READ_OR_SKIP(file, area.File("m.dxf"));
  EXPECT_EQ(file.Of("", "POINT", "DRILL").size(), 1u);
  EXPECT_EQ(file.Of("", "POINT", "NOTCHES").size(), 1u);
  const auto names = file.Texts("");
  EXPECT_NE(std::find(names.begin(), names.end(), "P_"), names.end());
}

// The C call: the same files, its options as words, and its own failures.
TEST_F(PieceDxfTest, TheCCall) {
  const std::string dxf = area_.File("c.dxf"), rul = area_.File("c.rul");
  const char* names[] = {"WORKED"};
  EXPECT_EQ(ExportDXF(20, "", area_.c_str(), names, 1, dxf.c_str(), rul.c_str(), "units=cm flavour=astm"), 0)
      << LastErrorMessage();
  EXPECT_TRUE(std::filesystem::exists(rul));
  struct Case {
    short type;
    int count;
    const char* rul;
    const char* options;
    const char* message;
  } cases[] = {
      {20, 1, nullptr, "units=furlong", "Unknown DXF option \"units=furlong\""},
      {20, 0, nullptr, "units=cm", "at least one item name"},
      {9, 1, "x.rul", "units=cm", "A marker has no rule file"},
      {9, 1, nullptr, "flavour=astm", "Unknown DXF option"},
      {12, 1, nullptr, nullptr, "not data type 12"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExportDXF(c.type, "", area_.c_str(), names, c.count, dxf.c_str(), c.rul, c.options), 1) << c.message;
    EXPECT_NE(LastErrorMessage().find(c.message), std::string::npos) << LastErrorMessage();
  }
  READ_OR_SKIP(file, dxf);
  EXPECT_EQ(file.blocks.size(), 5u);
}

// Block names and group codes: every file ezdxf reads here.
TEST(DxfGroupWriter, Numbers) {
  const std::pair<double, const char*> numbers[] = {
      {0.0, "0.0"}, {-0.0, "0.0"}, {1.5, "1.5"}, {-2.0, "-2.0"}, {20.0156, "20.0156"}, {1e-7, "0.0"},
      {-1e-7, "0.0"}, {214748.3647, "214748.3647"}, {1e10, "10000000000.0"}};
  for (const auto& [value, text] : numbers) EXPECT_EQ(dxf::NumberText(value), text) << value;
  EXPECT_THROW(dxf::NumberText(std::nan("")), std::invalid_argument);
}

}  // namespace
}  // namespace tsln2xml::test

namespace tsln2xml::test {
namespace {

// docs/dxf.md's worked example: a graded triangle with a notch, in two sizes.
grading::PIECE Triangle() {
  using namespace grading;
  PIECE p;
  p.category.FromText("DOC", Tessaline::kAsIs);
  p.description.FromText("Triangle", Tessaline::kAsIs);
  p.sizeIdType = kNumeric;
  p.baseIndex = 0;
  p.baseSize = NumericSizeName(10);
  p.sizes = {{NumericSizeName(10), 0}, {NumericSizeName(12), 0}};
  p.rules = {MakeRule(2, "    ", std::nullopt, {{1000, 500}})};
  p.perimeter = {MakePoint(1, 0, 0, 0), MakePoint(4, 50000, 0, 8), MakePoint(2, 100000, 0, 0),
                 MakePoint(3, 0, 50000, 2)};
  return p;
}

TEST(DxfDocument, TheWorkedExample) {
  dxf::PieceDxfOptions options;
  options.sizes = dxf::SizeSet::kAll;
  dxf::PieceDxf made;
  {
    EnvScope tz("TZ", "UTC");  // the creation date and time of time 0
    tzset();
    made = dxf::BuildPieceDxf({{"TRI", Triangle()}}, options);
  }
  tzset();
  EXPECT_EQ(made.rul,
            "ANSI/AAMA VERSION: 1.0.0\r\nAUTHOR: tsln2xml 0.1.0\r\nPRODUCT: DOC\r\nVERSION: 1\r\n"
            "CREATION DATE: 01-01-1970\r\nCREATION TIME: 00:00\r\nUNITS: METRIC\r\nGRADE RULE TABLE: \r\n"
            "NUMBER OF SIZES: 2\r\nSIZE LIST: 10 12\r\nSAMPLE SIZE: 10\r\nRULE: DELTA 1\r\n0.0, 0.0\r\n1.0, 0.5\r\nEND\r\n");
  TempArea area;
  WriteFile(area.File("tri.dxf"), made.dxf);
  READ_OR_SKIP(file, area.File("tri.dxf"));
  EXPECT_EQ(file.Of("TRI_10", "POLYLINE", "1")[0].numbers, (std::vector<double>{0, 0, 50, 0, 100, 0, 0, 50}));
  EXPECT_EQ(file.Of("TRI_12", "POLYLINE", "1")[0].numbers, (std::vector<double>{0, 0, 50.5, 0.25, 101, 0.5, 0, 50}));
  const auto notch = file.Of("TRI_10", "POINT", "4");
  ASSERT_EQ(notch.size(), 1u);
  EXPECT_EQ(notch[0].numbers, (std::vector<double>{50, 0, 90}));
  const auto& base = file.blocks.at("TRI_10");
  std::vector<std::string> layer2;
  for (const auto& e : base)
    if (e.layer == "2") layer2.push_back(e.type + " " + (e.type == "TEXT" ? e.text : dxf::NumberText(e.numbers[0]) + "," + dxf::NumberText(e.numbers[1])));
  EXPECT_EQ(layer2, (std::vector<std::string>{"POINT 0.0,0.0", "POINT 100.0,0.0", "TEXT # 1", "POINT 0.0,50.0"}));
  EXPECT_EQ(file.Texts("TRI_10"), (std::vector<std::string>{"# 1", "Piece Name: TRI", "Size: 10", "Quantity: 1",
                                                             "Category: DOC", "Annotation: Triangle"}));
  EXPECT_EQ(file.Texts("TRI_12"), (std::vector<std::string>{"Piece Name: TRI", "Size: 12"}));
}

}  // namespace
}  // namespace tsln2xml::test
