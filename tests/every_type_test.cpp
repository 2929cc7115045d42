// What every stored data type must do alike, one table row per type: its
// example documents come back unchanged; every piece of an item cut short,
// counts that are negative or reach past the item, and damaged items fail with
// the type's message; a stored code outside its table gives 2; documents the
// schemas refuse give 2 and leave the item alone; an empty library
// round-trips; conversions on many threads at once give what one thread gives.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <thread>

#include "converters/cutplot/cut.h"
#include "converters/cutplot/cutter_param.h"
#include "converters/cutplot/marker_plot_param.h"
#include "converters/cutplot/piece_plot_param.h"
#include "converters/cutplot/plot.h"
#include "converters/grading/rule_table.h"
#include "converters/library/alteration.h"
#include "converters/library/annotation.h"
#include "converters/library/block_buffer.h"
#include "converters/library/matching.h"
#include "converters/library/notch.h"
#include "converters/library/piece_list.h"
#include "converters/library/size_code.h"
#include "converters/orders/lay_limit.h"
#include "converters/orders/lay_rule_search.h"
#include "converters/orders/model.h"
#include "converters/orders/order.h"
#include "converters/orders/user_environment.h"
#include "core/data_types.h"
#include "support/library_support.h"

namespace tsln2xml::test {
namespace {

constexpr size_t kNone = SIZE_MAX;
constexpr const char* kComments = R"( Comment1="" Comment2="")";

struct Count {
  size_t at;
  size_t width = 2;
};

struct TypeRow {
  int16_t code;
  Outcome (*read)(const std::vector<uint8_t>&);
  const char* loadFailure;          // the message of an item that cannot be read
  const char* otherFailure;         // the start of a second message some unusable items give
  std::vector<size_t> validLengths;  // proper prefixes that are items in their own right (an older layout, ...)
  size_t validFrom;                 // ... and every prefix from here on, where the rest is optional
  std::vector<Count> counts;        // counts in the example's item
  bool negativeCountFails;          // false where a negative count reads nothing
  size_t emptyItem;                 // zero bytes of an empty library, or kNone where the type has no such form
  std::vector<std::pair<size_t, uint8_t>> unknownCodes{};  // a stored code outside its table, at its offset
};

const TypeRow kTypes[] = {
    {1, ReadInMemory<AlterationReader>, "Unable to load Alteration library", nullptr, {}, kNone, {{0}, {14}}, true, 2,
     {{12, 3}, {16, 5}, {16, 255}}},
    {2, ReadInMemory<AnnotationReader>, "Unable to load Annotation library", nullptr, {}, kNone, {{40}, {64}, {71}}, true, 42,
     {{168, 0}, {168, 32}, {168, 255}}},
    {3, ReadInMemory<BlockBufferReader>, "Unable to load BlockBuffer library", nullptr, {}, kNone, {{40}}, true, 42,
     {{44, 2}, {50, 3}}},
    // The labeller data runs to the item's end.
    {4, ReadInMemory<CutReader>, "Error reading past end of file.", "NC terminator '*M0*' missing", {}, 914,
     {{524}, {526}, {528}, {530}, {710}, {718}}, true, kNone},
    // The tilt records are optional.
    {6, ReadInMemory<LayLimitReader>, "Unable to load LayLimit library", nullptr, {}, 140, {{42}}, true, kNone, {{66, 0}}},
    {11, ReadInMemory<MatchingReader>, "Unable to load Matching library", nullptr, {}, kNone, {{40}}, true, 42,
     {{108, 5}, {114, 2}, {126, 2}, {127, 0xFF}}},
    // Codes: condition, operation of a removing entry, piece type, half piece, measure.
    {12, ReadInMemory<ModelReader>, "Unable to load Model", nullptr, {}, kNone, {{80}, {82}, {84}, {466}}, true,
     kNone, {{100, 0}, {473, '*'}, {457, 1}, {134, 3}, {87, 2}}},
    // Codes: lay rule type, piece direction, quantity made negative.
    {13, ReadInMemory<OrderReader>, "Unable to load Order", nullptr, {}, kNone, {{272}, {274}, {364}, {372}}, true, kNone,
     {{248, 5}, {436, 3}, {413, 0xFF}}},
    {14, ReadInMemory<CutterParamReader>, "Unable to load Cutter Parameter Table", nullptr, {}, kNone,
     {{193, 1}, {196, 1}, {197, 1}, {210}, {231}}, true, kNone, {{268, 0}}},
    {15, ReadInMemory<LayRuleSearchReader>, "Unable to load LayRuleSearch", nullptr, {}, kNone, {}, true, kNone},
    // Codes: a perimeter tool and a label tool without a name.
    {16, ReadInMemory<MarkerPlotParamReader>, "Unable to load Marker Plot Parameter Table", nullptr, {}, kNone,
     {{72}}, true, kNone, {{70, 5}, {76, 5}}},
    // The legacy layout is the first 60 bytes.
    {17, ReadInMemory<NotchReader>, "Unable to load NotchEnvironment", nullptr, {60}, kNone, {{60, 4}}, true, kNone,
     {{64, 8}, {64, 0xFF}}},
    {18, ReadInMemory<PiecePlotParamReader>, "Unable to load Piece Plot Parameter Table", nullptr, {}, kNone,
     {{40}, {44, 1}}, true, kNone},
    // Codes: an overwrite field of 3, two lay rules at once, two grade methods at once.
    {19, ReadInMemory<UserEnvironmentReader>, "Unable to load UserEnvironment", nullptr, {}, kNone, {}, true, kNone,
     {{12, 0x03}, {12, 0x18}, {12, 0x60}}},
    {21, ReadInMemory<PieceListReader>, "Unable to load PieceList library", nullptr, {}, kNone, {{80}}, true, 82},
    // A plot ends after any whole record. Counts: strokes, border points,
    // attributed points, models, model sizes and options; sizes of an end
    // marker and an unknown record.
    {22, ReadInMemory<PlotReader>, "Error reading past end of file.", "Error invalid plot file.",
     {144, 204, 278, 282, 328, 352, 380, 384, 617, 660, 664, 814, 1224, 1292, 1531, 1535, 1542}, kNone,
     {{208}, {286}, {457}, {810}, {1384}, {1392}, {280}, {1537}}, true, kNone},
    // Negative counts read nothing.
    {23, ReadInMemory<RuleTableReader>, "Unable to load Grading rule table", "PIECE: Invalid size_id_type", {}, kNone,
     {{80}, {82}, {88}}, false, kNone},
    {24, ReadInMemory<SizeCodeReader>, "Unable to load SizeCode library", nullptr, {}, kNone, {{0}, {14}}, true, 2},
};

std::string Name(const TypeRow& t) { return std::string(DataTypeName(t.code)); }

std::vector<std::filesystem::path> Examples(const TypeRow& t) {
  std::vector<std::filesystem::path> files;
  for (const auto& f : std::filesystem::directory_iterator(std::string(TSLN2XML_SOURCE_DIR) + "/examples/" + Name(t)))
    if (f.path().extension() == ".xml") files.push_back(f.path());
  std::sort(files.begin(), files.end());
  return files;
}

// The first example's item name, and its item stored under that name.
std::string Item(const TypeRow& t) { return Examples(t).front().stem().string(); }
std::vector<uint8_t> Canonical(const TypeRow& t, const TempArea& area) {
  EXPECT_EQ(ImportFromString(t.code, area.path(), Item(t), ReadFile(Examples(t).front().string())), 0)
      << Name(t) << ": " << LastErrorMessage();
  return area.GetItem(t.code, Item(t)).value_or(std::vector<uint8_t>{});
}

// A failure to read is reported with the type's own message.
void ExpectMessage(const TypeRow& t, const Outcome& o, const std::string& what) {
  if (o.code == 1 && (!t.otherFailure || !o.message.starts_with(t.otherFailure))) {
    EXPECT_EQ(o.message, t.loadFailure) << Name(t) << " " << what;
  }
}

TEST(EveryType, ExamplesComeBackUnchanged) {
  TempArea area;
  for (const auto& t : kTypes) {
    for (const auto& file : Examples(t)) {
      const std::string item = file.stem().string();
      ASSERT_EQ(ImportFromString(t.code, area.path(), item, ReadFile(file.string())), 0)
          << Name(t) << " " << item << ": " << LastErrorMessage();
      EXPECT_EQ(ExportMatches(t.code, area, item, ReadFile(file.string())), "") << Name(t) << " " << item;
    }
  }
}

TEST(EveryType, ShortItemsAndImpossibleCountsFail) {
  TempArea area;
  for (const auto& t : kTypes) {
    const std::vector<uint8_t> good = Canonical(t, area);
    ASSERT_EQ(t.read(good).code, 0) << Name(t);
    auto expectFailure = [&](const std::vector<uint8_t>& bytes, const std::string& what) {
      const Outcome o = t.read(bytes);
      EXPECT_EQ(o.code, 1) << Name(t) << " " << what;
      ExpectMessage(t, o, what);
    };
    for (size_t n = 0; n < good.size(); ++n) {
      const std::vector<uint8_t> prefix(good.begin(), good.begin() + static_cast<ptrdiff_t>(n));
      if (n >= t.validFrom || std::find(t.validLengths.begin(), t.validLengths.end(), n) != t.validLengths.end()) {
        EXPECT_EQ(t.read(prefix).code, 0) << Name(t) << " item of " << n << " bytes";
      } else {
        expectFailure(prefix, "prefix of " + std::to_string(n) + " bytes");
      }
    }
    // Bytes overwritten at random: nothing is read past the item, nothing crashes.
    std::mt19937 random(20060314);
    for (int i = 0; i < 500; ++i) {
      std::vector<uint8_t> bytes = good;
      for (int c = 1 + static_cast<int>(random() % 4); c > 0; --c) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
      const Outcome o = t.read(bytes);
      ASSERT_TRUE(o.code == 0 || o.code == 1 || o.code == 2) << Name(t) << " gave " << o.code << ": " << o.message;
      ExpectMessage(t, o, "damaged item");
    }
    for (const Count& c : t.counts) {
      std::vector<uint8_t> patched = good;
      std::fill_n(patched.begin() + static_cast<ptrdiff_t>(c.at), c.width, 0xFF);
      if (t.negativeCountFails) expectFailure(patched, "negative count at " + std::to_string(c.at));
      patched[c.at + c.width - 1] = 0x7F;
      expectFailure(patched, "huge count at " + std::to_string(c.at));
    }
  }
}

// Documents the schemas refuse: the body of a root with the attributes given.
const struct {
  int16_t code;
  const char* attributes;
  const char* body;
} kInvalidDocuments[] = {
    {1, "", R"(<Rule Name="ELEVENCHARS" PieceUsage="Left"/>)"},
    {2, kComments, R"(<Entry Category="ABCDEFGHIJKLMNOPQRSTU"><Order Format="Date"/></Entry>)"},
    // BlockBuffer: the types of the included base schema are enforced.
    {3, kComments, R"(<Rule RuleNumber="1" RuleType="Block"><Static><Left Amount="1" Units="percent"/></Static></Rule>)"},
    {3, kComments, R"(<Rule RuleNumber="1" RuleType="Wall"/>)"},
    {21, kComments, "<PieceName>TWENTYONECHARACTERSXX</PieceName>"},
    {24, "", R"(<Entry ActualSize="1234567" OrderedSize="S"/>)"},
};

TEST(EveryType, SchemasRefuseInvalidDocuments) {
  TempArea area;
  for (const auto& d : kInvalidDocuments) {
    const std::string root(DataTypeName(d.code));
    const std::string doc = "<" + root + " xmlns=\"urn:tsln2xml:data/" + root + "\" Name=\"A\"" + d.attributes + ">" +
                            d.body + "</" + root + ">";
    EXPECT_EQ(ImportFromString(d.code, area.path(), "X", doc), 2) << doc;
    EXPECT_EQ(LastErrorMessage().rfind("XML Validation Error:", 0), 0u) << LastErrorMessage();
    EXPECT_FALSE(area.GetItem(d.code, "X")) << doc;
  }
}

TEST(EveryType, UnknownStoredCodesGiveCode2) {
  TempArea area;
  for (const auto& t : kTypes) {
    const std::vector<uint8_t> good = t.unknownCodes.empty() ? std::vector<uint8_t>{} : Canonical(t, area);
    for (const auto& [at, code] : t.unknownCodes) {
      std::vector<uint8_t> bytes = good;
      bytes[at] = code;
      const Outcome o = t.read(bytes);
      EXPECT_EQ(o.code, 2) << Name(t) << " code " << int{code} << " at " << at << ": " << o.message;
      EXPECT_EQ(o.message.rfind("XML Validation Error:", 0), 0u) << Name(t);
    }
  }
}

// Documents that cannot be stored leave the item as it was: a root with an
// attribute its schema does not know, another root in the type's namespace,
// a namespace without a schema or none at all give 2; text that is no
// document gives 1, and so does a valid document of another type, which lacks
// the root the writer needs.
TEST(EveryType, InvalidDocumentsLeaveTheItem) {
  TempArea area;
  for (const auto& t : kTypes) {
    const std::vector<uint8_t> good = Canonical(t, area);
    const std::string root = "<" + Name(t) + " xmlns=\"urn:tsln2xml:data/" + Name(t);
    const struct {
      std::string document;
      int code;
      std::string message;  // its start
    } cases[] = {
        {root + "\" Name=\"" + Item(t) + "\" Unknown=\"1\"/>", 2, "XML Validation Error:"},
        {R"(<Other xmlns="urn:tsln2xml:data/)" + Name(t) + "\"/>", 2, "XML Validation Error:"},
        {root + "X\" Name=\"A\"/>", 2, "XSD Resource could not be found"},
        {"<" + Name(t) + " Name=\"A\"/>", 2, "XML namespace malformed"},
        {root + "\" Name=\"A\">", 1, "Unable to load XML String."},
        {"", 1, "Unable to load XML String."},
        {t.code == 24 ? R"(<Alteration xmlns="urn:tsln2xml:data/Alteration" Name="A"/>)"
                      : R"(<SizeCode xmlns="urn:tsln2xml:data/SizeCode" Name="A"/>)",
         1, "Missing required <" + Name(t) + "> element"},
    };
    for (const auto& c : cases) {
      EXPECT_EQ(ImportFromString(t.code, area.path(), Item(t), c.document), c.code) << Name(t) << ": " << c.document;
      EXPECT_EQ(LastErrorMessage().rfind(c.message, 0), 0u) << Name(t) << ": " << LastErrorMessage();
    }
    EXPECT_EQ(area.GetItem(t.code, Item(t)), good) << Name(t);
  }
}

TEST(EveryType, EmptyLibrariesRoundTrip) {
  TempArea area;
  for (const auto& t : kTypes) {
    if (t.emptyItem == kNone) continue;
    const std::vector<uint8_t> empty(t.emptyItem, 0);
    const std::string comments = t.emptyItem > 2 ? kComments : "";
    const std::string doc = "<" + Name(t) + " xmlns=\"urn:tsln2xml:data/" + Name(t) + "\" Name=\"E\"" + comments + "/>";
    EXPECT_EQ(ImportMatches(t.code, area, doc, empty), "") << Name(t);
    std::string failure;
    EXPECT_EQ(RoundTrip(t.code, area, empty, &failure), empty) << Name(t) << ": " << failure;
  }
}

// Exports and imports of every type from 8 threads at once share the schema
// cache, the entity loader and the translation cache; each gives what it
// gives alone.
TEST(EveryType, ConversionsOnEightThreadsGiveTheSingleThreadedResults) {
  TempArea area;
  std::vector<std::string> documents;
  std::vector<std::vector<uint8_t>> items;
  for (const auto& t : kTypes) {
    items.push_back(Canonical(t, area));
    documents.push_back(ExportToString(t.code, area.path(), Item(t)).xml);
  }
  std::vector<std::string> failures(8);
  std::vector<std::thread> threads;
  for (size_t k = 0; k < failures.size(); ++k)
    threads.emplace_back([&, k] {
      TempArea own;  // each thread imports into an area of its own
      for (int round = 0; round < 3; ++round)
        for (size_t i = 0; i < std::size(kTypes); ++i) {
          const int16_t code = kTypes[i].code;
          const std::string item = Item(kTypes[i]);
          const ExportResult exported = ExportToString(code, area.path(), item);
          if (exported.code != 0 || exported.xml != documents[i])
            failures[k] += "export " + Name(kTypes[i]) + ": " + LastErrorMessage() + "\n";
          if (ImportFromString(code, own.path(), item, documents[i]) != 0 || own.GetItem(code, item) != items[i])
            failures[k] += "import " + Name(kTypes[i]) + ": " + LastErrorMessage() + "\n";
        }
    });
  for (auto& thread : threads) thread.join();
  for (const auto& f : failures) EXPECT_EQ(f, "");
}

}  // namespace
}  // namespace tsln2xml::test
