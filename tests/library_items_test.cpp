// The library and the cutting and plotting parameter data types together: their example documents through the
// command line, hostile items fed to every reader, and scaled values that
// must come back to the same stored integer.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "converters/cutplot/cutter_param.h"
#include "converters/cutplot/marker_plot_param.h"
#include "converters/cutplot/piece_plot_param.h"
#include "converters/library/alteration.h"
#include "converters/library/annotation.h"
#include "converters/library/block_buffer.h"
#include "converters/library/matching.h"
#include "converters/library/notch.h"
#include "converters/library/piece_list.h"
#include "core/exception.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

struct LibraryType {
  int16_t code;
  const char* name;
  Outcome (*read)(const std::vector<uint8_t>&);
};
const LibraryType kLibraryTypes[] = {
    {1, "Alteration", ReadInMemory<AlterationReader>},
    {2, "Annotation", ReadInMemory<AnnotationReader>},
    {3, "BlockBuffer", ReadInMemory<BlockBufferReader>},
    {11, "Matching", ReadInMemory<MatchingReader>},
    {17, "NotchEnvironment", ReadInMemory<NotchReader>},
    {21, "PieceList", ReadInMemory<PieceListReader>},
    {14, "CutterEnvironment", ReadInMemory<CutterParamReader>},
    {16, "MarkerPlotEnvironment", ReadInMemory<MarkerPlotParamReader>},
    {18, "PiecePlotEnvironment", ReadInMemory<PiecePlotParamReader>},
};

std::vector<std::filesystem::path> Examples(const char* type) {
  std::vector<std::filesystem::path> files;
  for (const auto& f : std::filesystem::directory_iterator(std::string(TSLN2XML_SOURCE_DIR) + "/examples/" + type))
    if (f.path().extension() == ".xml") files.push_back(f.path());
  return files;
}

TEST(LibraryItems, ExamplesGoThroughTheCommandLineUnchanged) {
  TempArea area;
  const std::string tool = TSLN2XML_CLI_PATH;
  for (const auto& type : kLibraryTypes) {
    const auto files = Examples(type.name);
    EXPECT_FALSE(files.empty()) << type.name;
    for (const auto& file : files) {
      const std::string item = file.stem().string();
      std::string out;
      ASSERT_EQ(RunCommand(tool + " import " + type.name + " " + area.path() + " " + item + " " + file.string(), &out), 0)
          << type.name << " " << item << ": " << out;
      ASSERT_EQ(RunCommand(tool + " export " + std::to_string(type.code) + " " + area.path() + " " + item, &out), 0)
          << type.name << " " << item << ": " << out;
      EXPECT_EQ(CompareXml(ReadFile(file.string()), out), "") << type.name << " " << item;
    }
  }
}

// What every writer does with a document of another type, with a store that
// refuses its records, and with more elements than a 16-bit count holds.
TEST(LibraryItems, WriterFailuresOfEveryType) {
  struct Case {
    int16_t code;
    const char* root;
    std::string empty;     // a valid document without entries
    std::string open;      // a document up to the elements to repeat
    std::string repeated;  // one element of the counted kind
    std::string close;
    const char* tooMany;
    const char* writeFailure;
  } cases[] = {
      {1, "Alteration", R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"/>)",
       R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"><Rule Name="R" PieceUsage="Left">)",
       R"(<Item Type="XYMove" FirstPoint="1" SecondPoint="2" XPercentAlt="0" YPercentAlt="0"/>)", "</Rule></Alteration>",
       "Too many items in an Alteration rule: 32768 (at most 32767)", "Error writing Alteration library"},
      {2, "Annotation", R"(<Annotation xmlns="urn:tsln2xml:data/Annotation" Name="A" Comment1="" Comment2=""/>)",
       R"(<Annotation xmlns="urn:tsln2xml:data/Annotation" Name="A" Comment1="" Comment2=""><Entry Category="E">)",
       R"(<Order Format="NewLine"/>)", "</Entry></Annotation>",
       "Too many orders in an Annotation entry: 32768 (at most 32767)", "Error writing Annotation library"},
      {3, "BlockBuffer", R"(<BlockBuffer xmlns="urn:tsln2xml:data/BlockBuffer" Name="A" Comment1="" Comment2=""/>)",
       R"(<BlockBuffer xmlns="urn:tsln2xml:data/BlockBuffer" Name="A" Comment1="" Comment2="">)",
       R"(<Rule RuleNumber="1" RuleType="Block"/>)", "</BlockBuffer>",
       "Too many BlockBuffer rules: 32768 (at most 32767)", "Error writing BlockBuffer library"},
      {11, "Matching", R"(<Matching xmlns="urn:tsln2xml:data/Matching" Name="A" Comment1="" Comment2=""/>)",
       R"(<Matching xmlns="urn:tsln2xml:data/Matching" Name="A" Comment1="" Comment2="">)",
       R"(<Rule Number="1" Comment="" Target="Piece"><Plaid Type="Same" Repeat="0"><Offset Amount="0" Units="Distance"/></Plaid><Stripe Type="Same" Repeat="0"><Offset Amount="0" Units="Distance"/></Stripe><Point Category="A" Number="1"/><Point Category="B" Number="2"/></Rule>)",
       "</Matching>", "Too many Matching rules: 32768 (at most 32767)", "Error writing Matching library"},
      {17, "NotchEnvironment", R"(<NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" Name="A"/>)", "", "", "",
       nullptr, "Error writing NotchEnvironment"},
      {21, "PieceList", R"(<PieceList xmlns="urn:tsln2xml:data/PieceList" Name="A" Comment1="" Comment2=""/>)",
       R"(<PieceList xmlns="urn:tsln2xml:data/PieceList" Name="A" Comment1="" Comment2="">)", "<PieceName>P</PieceName>",
       "</PieceList>", "Too many PieceList names: 32768 (at most 32767)", "Error writing PieceList library"},
  };
  TempArea area;
  for (const auto& c : cases) {
    // A valid document of another type passes its own schema, then lacks the root.
    EXPECT_EQ(ImportFromString(c.code, area.path(), "X", R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"/>)"), 1);
    EXPECT_EQ(LastErrorMessage(), std::string("Missing required <") + c.root + "> element");

    const Outcome refused = ConvertWithRefusedWrites(c.code, c.empty);
    EXPECT_EQ(refused.code, 1) << c.root;
    EXPECT_EQ(refused.message, c.writeFailure);

    if (c.tooMany) {
      std::string xml = c.open;
      for (int i = 0; i < 32768; ++i) xml += c.repeated;
      EXPECT_EQ(ImportFromString(c.code, area.path(), "X", xml + c.close), 1) << c.root;
      EXPECT_EQ(LastErrorMessage(), c.tooMany);
    }
    EXPECT_FALSE(area.GetItem(c.code, "X")) << c.root;
  }
}

// Every prefix of a real item, and the item with bytes overwritten at random,
// either converts or fails with the type's message: nothing is read past the
// item and nothing crashes.
TEST(LibraryItems, HostileItemsFailCleanly) {
  TempArea area;
  std::mt19937 random(20060314);
  for (const auto& type : kLibraryTypes) {
    const auto file = Examples(type.name).front();
    ASSERT_EQ(ImportFromString(type.code, area.path(), "GOOD", ReadFile(file.string())), 0) << LastErrorMessage();
    const std::vector<uint8_t> good = *area.GetItem(type.code, "GOOD");

    std::vector<std::vector<uint8_t>> hostile;
    for (size_t n = 0; n < good.size(); ++n) hostile.emplace_back(good.begin(), good.begin() + static_cast<ptrdiff_t>(n));
    for (int i = 0; i < 2000; ++i) {
      std::vector<uint8_t> bytes = good;
      const int changes = 1 + static_cast<int>(random() % 4);
      for (int c = 0; c < changes; ++c) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
      if (random() % 3 == 0) bytes.resize(random() % (bytes.size() + 1));
      hostile.push_back(std::move(bytes));
    }
    for (const auto& bytes : hostile) {
      const Outcome result = type.read(bytes);
      ASSERT_TRUE(result.code == 0 || result.code == 1 || result.code == 2)
          << type.name << " gave " << result.code << " for " << bytes.size() << " bytes: " << result.message;
      if (result.code == 1) {
        EXPECT_EQ(result.message.rfind("Unable to load ", 0), 0u) << type.name << ": " << result.message;
      }
    }
  }
}

// A stored value v is written as v / scale; scaled back and truncated, that
// double must give v again, also where the product lands just below it.
TEST(LibraryItems, ScaledValuesComeBackExactly) {
  TempArea area;
  const int32_t values[] = {-2147483647 - 1, -2999992, -2097151, -1, 1, 3, 2097153, 123456789, 2147483647};
  ByteBuilder alteration;
  alteration.I16(1).Text("R", 10).U8(0).U8(0).I16(static_cast<int16_t>(std::size(values)));
  for (int32_t v : values) alteration.U8(4).U8(0).I16(0).I16(0).I32(v).I32(v == INT32_MIN ? v : -v);
  std::string failure;
  EXPECT_EQ(RoundTrip(1, area, alteration, &failure), alteration.bytes()) << failure;

  ByteBuilder notch;
  notch.Zeros(60).I32(static_cast<int32_t>(std::size(values)));
  for (int32_t v : values) notch.I8(0).Zeros(3).I32(v).I32(v / 3).I32(v / 7);
  // The writer fills the legacy block from the first five definitions.
  std::vector<uint8_t> expected = notch;
  for (size_t k = 0; k < 5; ++k)
    for (size_t f = 0; f < 12; ++f) expected[12 * k + f] = expected[64 + 16 * k + 4 + f];
  EXPECT_EQ(RoundTrip(17, area, expected, &failure), expected) << failure;
}

}  // namespace
}  // namespace tsln2xml::test
