// Notch environments through the exports and the store: the legacy layout
// and its derived shapes, the extended layout both ways, the 99-definition
// limit and the failures.

#include <gtest/gtest.h>

#include "converters/library/notch.h"
#include "support/library_support.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

constexpr int16_t kNotch = 17;

struct Definition {
  int8_t shape;
  int32_t p, i, d;
};

ByteBuilder LegacyBlock(const std::vector<Definition>& defs) {
  ByteBuilder b;
  for (size_t k = 0; k < 5; ++k) {
    const Definition d = k < defs.size() ? defs[k] : Definition{0, 0, 0, 0};
    b.I32(d.p).I32(d.i).I32(d.d);
  }
  return b;
}

// The extended layout as the writer produces it.
std::vector<uint8_t> ExtendedItem(const std::vector<Definition>& defs) {
  ByteBuilder b = LegacyBlock(defs);
  b.I32(static_cast<int32_t>(defs.size()));
  for (const Definition& d : defs) b.I8(d.shape).Zeros(3).I32(d.p).I32(d.i).I32(d.d);
  return b;
}

TEST(Notch, LegacyItemsGetShapesFromTheirValues) {
  TempArea area;
  auto exported = ExportBytes(kNotch, area,
                              LegacyBlock({{0, 0, 0, 5000}, {0, 2000, 0, 5000}, {0, 2000, 1000, 5000}, {0, 0, 1000, 5000}, {0, 0, 0, 0}}));
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_EQ(CompareXml(R"(
      <NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" version="1" Name="ONE">
        <NotchDefinition Shape="Slit" PerimeterWidth="0" InsideWidth="0" Depth="0.5"/>
        <NotchDefinition Shape="V" PerimeterWidth="0.20000000000000001110223" InsideWidth="0" Depth="0.5"/>
        <NotchDefinition Shape="Castle" PerimeterWidth="0.20000000000000001110223" InsideWidth="0.100000000000000005551115" Depth="0.5"/>
        <NotchDefinition Shape="T" PerimeterWidth="0" InsideWidth="0.100000000000000005551115" Depth="0.5"/>
        <NotchDefinition Shape="None" PerimeterWidth="0" InsideWidth="0" Depth="0"/>
      </NotchEnvironment>)", exported.xml), "");

  // Written back, a legacy item becomes an extended one with those shapes.
  ASSERT_EQ(ImportFromString(kNotch, area.path(), "TWO", exported.xml), 0) << LastErrorMessage();
  EXPECT_EQ(area.GetItem(kNotch, "TWO"),
            ExtendedItem({{1, 0, 0, 5000}, {3, 2000, 0, 5000}, {4, 2000, 1000, 5000}, {2, 0, 1000, 5000}, {0, 0, 0, 0}}));
}

TEST(Notch, LegacyShapeRule) {
  struct Case {
    int32_t p, i, d;
    const char* shape;
  } cases[] = {
      {1, 1, 0, "Castle"}, {1, 0, -5, "V"},    {1, -1, 9, "None"}, {0, 1, 1, "T"},
      {0, 0, 1, "Slit"},   {0, -1, 1, "Slit"}, {0, 1, 0, "None"},  {0, 1, -1, "None"},
      {-1, 1, 1, "None"},  {-1, 0, 0, "None"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NotchShapeNames().NameOf(LegacyNotchShape(c.p, c.i, c.d)), c.shape) << c.p << "," << c.i << "," << c.d;
}

TEST(Notch, ExtendedLayoutBothWays) {
  TempArea area;
  ASSERT_EQ(ImportFromString(kNotch, area.path(), "TWO", R"(
      <NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" Name="X">
        <NotchDefinition Shape="U" PerimeterWidth="0.25" InsideWidth="0.00015" Depth="-0.5"/>
        <NotchDefinition Shape="LeftCheck" PerimeterWidth="214748.3647" InsideWidth="-214748.3648" Depth="0.0001"/>
      </NotchEnvironment>)"), 0) << LastErrorMessage();
  // Fractions below the 1/10000 unit are truncated; the legacy block keeps
  // the two definitions and zeros for records 3 to 5.
  const std::vector<Definition> expected = {{7, 2500, 1, -5000}, {5, 2147483647, -2147483647 - 1, 1}};
  EXPECT_EQ(area.GetItem(kNotch, "TWO"), ExtendedItem(expected));
  std::string failure;
  EXPECT_EQ(RoundTrip(kNotch, area, ExtendedItem(expected), &failure), ExtendedItem(expected)) << failure;

  // An empty table: the legacy block of zeros and a zero count, both ways.
  ASSERT_EQ(ImportFromString(kNotch, area.path(), "EMPTY",
                             R"(<NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" Name="E"/>)"), 0);
  EXPECT_EQ(area.GetItem(kNotch, "EMPTY"), ByteBuilder().Zeros(64).bytes());
  auto exported = ExportToString(kNotch, area.path(), "EMPTY");
  EXPECT_EQ(CompareXml(R"(<NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" version="1" Name="EMPTY"/>)",
                       exported.xml), "");
}

TEST(Notch, AtMostNinetyNineDefinitions) {
  TempArea area;
  std::string xml = R"(<NotchEnvironment xmlns="urn:tsln2xml:data/NotchEnvironment" Name="X">)";
  std::vector<Definition> first99;
  for (int k = 0; k < 120; ++k) {
    xml += R"(<NotchDefinition Shape="V" PerimeterWidth=")" + std::to_string(k) + R"(" InsideWidth="0" Depth="1"/>)";
    if (k < 99) first99.push_back({3, k * 10000, 0, 10000});
  }
  xml += "</NotchEnvironment>";
  ASSERT_EQ(ImportFromString(kNotch, area.path(), "MANY", xml), 0) << LastErrorMessage();
  EXPECT_EQ(area.GetItem(kNotch, "MANY"), ExtendedItem(first99));
  auto exported = ExportToString(kNotch, area.path(), "MANY");
  ASSERT_EQ(exported.code, 0) << LastErrorMessage();
  EXPECT_NE(exported.xml.find(R"(PerimeterWidth="98")"), std::string::npos);
  EXPECT_EQ(exported.xml.find(R"(PerimeterWidth="99")"), std::string::npos);
  // A stored count of 100 is refused even where the bytes are there.
  EXPECT_EQ(ExportBytes(kNotch, area, LegacyBlock({}).I32(100).Zeros(1600)).code, 1);
}

}  // namespace
}  // namespace tsln2xml::test
