// The demo shirt: its pieces graded by their rules and by the rule table
// SHIRT, its marker placed without overlap on the fabric at the target
// utilisation with the order's and the model's counts, and the examples
// naming only items that the demo area holds.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "converters/grading/piece.h"
#include "converters/grading/piece_svg.h"
#include "demo/placement.h"
#include "demo/shirt.h"
#include "demo/shirt_marker.h"
#include "dxf/dxf_export.h"
#include "grading/graded_piece.h"
#include "marker/marker_svg.h"
#include "support/test_support.h"
#include "xml/attributes.h"
#include "xml/document.h"
#include "xml/element_content.h"

namespace tsln2xml::test {
namespace {

using demo::Vec2;

const std::string kExamples = std::string(TSLN2XML_SOURCE_DIR) + "/examples/";

bool IsGradePoint(uint8_t type) { return type == 0 || type == 2 || type == 4; }

// `node` and the elements under it named `name`, in document order.
std::vector<xml::Node> Elements(xml::Node node, std::string_view name) {
  std::vector<xml::Node> out;
  if (node->type == XML_ELEMENT_NODE && name == reinterpret_cast<const char*>(node->name)) out.push_back(node);
  for (xml::Node c = node->children; c; c = c->next)
    for (xml::Node e : Elements(c, name)) out.push_back(e);
  return out;
}

xml::Document Example(const std::string& path) {
  xml::Document doc;
  EXPECT_TRUE(doc.LoadBytes(ReadFile(kExamples + path + ".xml"))) << path;
  return doc;
}

std::string Attribute(xml::Node node, const char* name) { return xml::GetAttributeText(node, name); }
int32_t Units(const std::string& text) { return static_cast<int32_t>(std::llround(std::stod(text) * 10000)); }

TEST(DemoShirt, RulesGrowAsWorkedOutByHand) {
  for (size_t step = 0; step < 4; ++step) EXPECT_EQ(demo::ShirtSegment(step), step < 2 ? 0u : 1u) << step;
  // Growth pairs worked out from the measurements by hand: the chest grows
  // 4 then 6 cm a size, the length 1, the neck 2, the sleeve 1, the bicep 2
  // then 3.
  const struct {
    std::string_view piece;
    int16_t rule;
    grading::GrowthPair first, second;
  } pinned[] = {
      {"FRONT", 101, {0, 0}, {0, 0}},                // the hem at the front edge stays
      {"FRONT", 106, {10000, 0}, {15000, -5000}},    // underarm: chest / 4; length less armhole depth
      {"FRONT", 111, {5000, 10000}, {5000, 10000}},  // neck point: neck / 4; length
      {"BACK", 204, {20000, 0}, {30000, 0}},         // side at the hem: chest / 2
      {"SLEEVE", 410, {10000, 10000}, {15000, 10000}},  // cap top: half the bicep; sleeve length
      {"POCKET", 806, {5000, 0}, {7500, 0}},         // top corner: chest / 8
  };
  for (const auto& p : pinned) {
    const grading::PIECE piece = demo::ShirtPiece(p.piece);
    const auto rule = std::find_if(piece.rules.begin(), piece.rules.end(), [&](auto& r) { return r.id == p.rule; });
    ASSERT_NE(rule, piece.rules.end()) << p.piece << " " << p.rule;
    ASSERT_EQ(rule->growth.size(), 2u);
    EXPECT_EQ((std::vector<int32_t>{rule->growth[0].x, rule->growth[0].y, rule->growth[1].x, rule->growth[1].y}),
              (std::vector<int32_t>{p.first.x, p.first.y, p.second.x, p.second.y}))
        << p.rule;
  }
}

// The rule table SHIRT as its document says, read here on its own: its
// deltas per size from the base size, the sum of the steps between (a step's
// segment from the table's break flags: the flagged sizes after the first end
// the segments).
struct ShirtTable {
  size_t base = 0;
  std::map<int16_t, std::vector<grading::Delta>> deltas;  // per rule id, one per size

  ShirtTable() {
    const xml::Document table = Example("Grading/SHIRT");
    const auto numBreaks = static_cast<size_t>(std::stoi(Attribute(table.Root(), "NumBreaks")));
    base = static_cast<size_t>(std::stoi(Attribute(table.Root(), "BaseIndex")));
    const std::vector<xml::Node> sizes = Elements(table.Root(), "PieceSize");
    std::vector<size_t> segmentOfStep;
    size_t breaks = 0;
    for (size_t t = 0; t + 1 < sizes.size(); ++t) {
      if (t >= 1 && Attribute(sizes[t], "BreakFlag") == "Grading") ++breaks;
      segmentOfStep.push_back(std::min(breaks, numBreaks));
    }
    for (xml::Node rule : Elements(table.Root(), "GradingRule")) {
      std::vector<grading::GrowthPair> growth;
      for (xml::Node g : Elements(rule, "Growth"))
        growth.push_back({Units(Attribute(g, "GrowthX")), Units(Attribute(g, "GrowthY"))});
      auto& row = deltas[static_cast<int16_t>(std::stoi(Attribute(rule, "RuleId")))];
      for (size_t s = 0; s < sizes.size(); ++s) {
        grading::Delta& d = row.emplace_back();
        const int64_t sign = s < base ? -1 : 1;
        for (size_t t = std::min(s, base); t < std::max(s, base); ++t) {
          d.x += sign * growth.at(segmentOfStep[t]).x;
          d.y += sign * growth.at(segmentOfStep[t]).y;
        }
      }
    }
  }
};

// The stored pieces graded by the grading the DXF export uses, with the
// method the demo area's user environment names: in every size each grade
// point lands where the shirt's draft of that size puts it, having moved from
// the base size as the rule table SHIRT says.
TEST(DemoShirt, GradedPiecesAgreeWithTheRuleTable) {
  const ShirtTable table;
  TempArea area;  // as scripts/demo.sh makes it: the example user environment (cm, the grade method), the pieces
  ASSERT_EQ(ImportFromString(19, area.path(), "STANDARD", ReadFile(kExamples + "UserEnvironment/STANDARD.xml")), 0)
      << LastErrorMessage();
  ASSERT_EQ(RunTool("demo-piece " + Quote(area.path())), 0);
  const std::optional<grading::GradeMethod> method = dxf::ReadAreaSettings("", area.path()).method;
  ASSERT_TRUE(method.has_value());
  size_t checked = 0;
  for (const auto& count : demo::ShirtPieceCounts()) {
    const grading::PIECE stored = *PieceReader("", area.path(), count.name).ObtainPiece();
    const grading::GradedPiece graded = grading::GradePiece(stored, *method);
    ASSERT_EQ(graded.sizes.size(), demo::kShirtSizes.size()) << count.name;
    EXPECT_EQ(graded.baseIndex, table.base) << count.name;
    for (size_t s = 0; s < graded.sizes.size(); ++s) {
      EXPECT_EQ(graded.sizes[s].name, demo::kShirtSizes[s]);
      const grading::PIECE sized = grading::SizedPiece(stored, graded.sizes[s]);
      const grading::PIECE drafted = demo::ShirtPiece(count.name, s);
      ASSERT_EQ(sized.perimeter.size(), drafted.perimeter.size()) << count.name;
      for (size_t i = 0; i < sized.perimeter.size(); ++i) {
        const grading::PiecePoint& point = stored.perimeter[i];
        if (!IsGradePoint(point.type)) continue;
        ++checked;
        const std::string where = std::string(count.name) + " point " + std::to_string(point.id) + " in " +
                                  std::string(demo::kShirtSizes[s]);
        EXPECT_EQ(sized.perimeter[i].x, drafted.perimeter[i].x) << where;
        EXPECT_EQ(sized.perimeter[i].y, drafted.perimeter[i].y) << where;
        ASSERT_TRUE(table.deltas.count(point.id)) << where << ": no rule in SHIRT";
        const grading::Delta& expected = table.deltas.at(point.id)[s];
        EXPECT_EQ(graded.sizes[s].perimeter[i].x, expected.x) << where;
        EXPECT_EQ(graded.sizes[s].perimeter[i].y, expected.y) << where;
      }
    }
  }
  EXPECT_EQ(checked, table.deltas.size() * demo::kShirtSizes.size()) << "a rule of SHIRT grades no demo point";
}

// Points without a rule grade in proportion along the outline, where the
// draft of a size may put them elsewhere: docs/demo.md's worked example, the
// front's armhole notch in L.
TEST(DemoShirt, PointsWithoutRulesGradeInProportion) {
  const grading::PIECE front = demo::ShirtPiece("FRONT");
  const grading::GradedPiece graded = grading::GradePiece(front, grading::GradeMethod::kIncremental);
  const auto notch = std::find_if(front.perimeter.begin(), front.perimeter.end(), [](auto& p) { return p.id == 109; });
  ASSERT_NE(notch, front.perimeter.end());
  const size_t i = static_cast<size_t>(notch - front.perimeter.begin());
  EXPECT_EQ(notch->type, 8);  // a notch, no rule
  const grading::Delta moved = graded.sizes[2].perimeter[i];
  EXPECT_EQ(std::pair(moved.x, moved.y), std::pair(int64_t{10000}, int64_t{5356}));
  const grading::PiecePoint drafted = demo::ShirtPiece("FRONT", 2).perimeter[i];
  EXPECT_EQ(std::pair(drafted.x - notch->x, drafted.y - notch->y), std::pair(10000, 0));
}

// ------------------------------------------------------------------ marker

struct Segment {
  Vec2 a, b;
};

double Cross(Vec2 o, Vec2 a, Vec2 b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

// Closed segments that meet, touching included.
bool Meet(const Segment& s, const Segment& t) {
  const double d1 = Cross(t.a, t.b, s.a), d2 = Cross(t.a, t.b, s.b), d3 = Cross(s.a, s.b, t.a),
               d4 = Cross(s.a, s.b, t.b);
  if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return true;
  auto on = [](Vec2 p, Vec2 q, Vec2 r, double d) {
    return d == 0 && std::min(p.x, q.x) <= r.x && r.x <= std::max(p.x, q.x) && std::min(p.y, q.y) <= r.y &&
           r.y <= std::max(p.y, q.y);
  };
  return on(t.a, t.b, s.a, d1) || on(t.a, t.b, s.b, d2) || on(s.a, s.b, t.a, d3) || on(s.a, s.b, t.b, d4);
}

bool Inside(Vec2 p, const std::vector<Vec2>& polygon) {
  bool in = false;
  for (size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
    const Vec2 a = polygon[i], b = polygon[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

bool Overlap(const std::vector<Vec2>& p, const std::vector<Vec2>& q) {
  for (size_t i = 0; i < p.size(); ++i)
    for (size_t j = 0; j < q.size(); ++j)
      if (Meet({p[i], p[(i + 1) % p.size()]}, {q[j], q[(j + 1) % q.size()]})) return true;
  return Inside(p[0], q) || Inside(q[0], p);
}

struct Box {
  double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
  explicit Box(const std::vector<Vec2>& points) {
    for (const Vec2& p : points)
      minX = std::min(minX, p.x), maxX = std::max(maxX, p.x), minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
  }
  bool Meets(const Box& o) const { return minX <= o.maxX && o.minX <= maxX && minY <= o.maxY && o.minY <= maxY; }
};

// The placed outlines of the marker's picture: the polygons of its outline layer.
std::vector<std::vector<Vec2>> PictureOutlines(const std::string& svg) {
  const size_t from = svg.find("<g id=\"outline\""), to = svg.find("</g>", from);
  const std::string layer = svg.substr(from, to - from);
  std::vector<std::vector<Vec2>> outlines;
  const std::regex polygon(R"re(<polygon points="([^"]*)")re");
  for (auto m = std::sregex_iterator(layer.begin(), layer.end(), polygon); m != std::sregex_iterator(); ++m) {
    std::istringstream points((*m)[1].str());
    std::vector<Vec2>& outline = outlines.emplace_back();
    for (std::string pair; points >> pair;) {
      const size_t comma = pair.find(',');
      outline.push_back({std::stod(pair.substr(0, comma)), std::stod(pair.substr(comma + 1))});
    }
  }
  return outlines;
}

TEST(DemoMarker, PiecesLieApartOnTheFabricAtTheTargetUtilisation) {
  const marker::MarkerBuilder b = demo::ShirtMarker("DEMO");
  TempArea area;
  ASSERT_EQ(marker::StoreMarker(area.path(), "DEMO", b.Build()), 1);
  ASSERT_EQ(marker::RenderMarker("", area.path(), "DEMO", area.File("demo.svg"), "cm"), 0u);
  const std::string svg = ReadFile(area.File("demo.svg"));
  const std::vector<std::vector<Vec2>> outlines = PictureOutlines(svg);
  ASSERT_EQ(outlines.size(), b.cartoons.size());

  const double width = b.header->width, length = b.header->length;
  double area_ = 0, top = 0;
  std::vector<Box> boxes;
  for (size_t i = 0; i < outlines.size(); ++i) {
    const Box box(outlines[i]);
    EXPECT_TRUE(box.minX >= 0 && box.maxX <= width && box.minY >= 0 && box.maxY <= length)
        << "piece " << i << " leaves the fabric";
    top = std::max(top, box.maxY);
    area_ += demo::PolygonArea(outlines[i]);
    boxes.push_back(box);
  }
  for (size_t i = 0; i < outlines.size(); ++i)
    for (size_t j = i + 1; j < outlines.size(); ++j)
      if (boxes[i].Meets(boxes[j])) {
        EXPECT_FALSE(Overlap(outlines[i], outlines[j])) << "pieces " << i << " and " << j;
      }

  // The marker ends where its pieces do; its areas are theirs.
  EXPECT_NEAR(length, std::ceil(top * 10) / 10, 1e-9);
  EXPECT_GE(area_ / (width * length), 0.75);
  EXPECT_NEAR(b.header->placedArea, area_, 0.01 * area_ / 100);
  EXPECT_NEAR(b.header->utilization, 100 * area_ / (width * length), 0.01);
  EXPECT_EQ(b.header->placedPieces, static_cast<int16_t>(outlines.size()));
}

TEST(DemoMarker, CountsFollowTheOrderAndTheModel) {
  const xml::Document order = Example("Order/SPRING"), model = Example("Model/SHIRT");
  std::map<std::string, int> quantities;  // per size
  for (xml::Node e : Elements(order.Root(), "Entry")) quantities[Attribute(e, "Size")] += std::stoi(Attribute(e, "Quantity"));
  std::map<std::string, std::pair<int, int>> counts;  // per piece: as drawn, mirrored
  for (xml::Node e = xmlFirstElementChild(model.Root()); e; e = xmlNextElementSibling(e)) {
    if (std::string_view(reinterpret_cast<const char*>(e->name)) != "Entry" || Attribute(e, "PieceType") != "Normal")
      continue;
    counts[Attribute(e, "PieceName")] = {std::stoi(Attribute(e, "CountAsInput")),
                                         std::stoi(Attribute(e, "CountMirrorX"))};
  }
  ASSERT_EQ(counts.size(), 8u);
  ASSERT_EQ(quantities.size(), demo::kShirtOrder.size());
  for (const auto& line : demo::kShirtOrder) EXPECT_EQ(quantities[std::string(line.size)], line.quantity) << line.size;
  for (const auto& piece : demo::ShirtPieceCounts())
    EXPECT_EQ(counts[std::string(piece.name)], std::pair(int{piece.asDrawn}, int{piece.mirrored})) << piece.name;

  const marker::MarkerBuilder b = demo::ShirtMarker("DEMO");
  std::map<std::tuple<std::string, std::string, bool>, int> expected, placed;
  for (const auto& [size, quantity] : quantities)
    for (const auto& [name, count] : counts) {
      expected[{name, size, false}] = quantity * count.first;
      if (count.second > 0) expected[{name, size, true}] = quantity * count.second;
    }
  int garments = 0;
  for (const auto& q : quantities) garments += q.second;
  ASSERT_EQ(b.bundles.size(), static_cast<size_t>(garments));
  for (size_t k = 0; k < b.bundles.size(); ++k) {
    const marker::Bundle& bundle = b.bundles[k];
    for (int16_t i = bundle.indexCartoon; i < bundle.indexCartoon + bundle.cartoonCount; ++i) {
      const marker::Cartoon& c = b.cartoons[static_cast<size_t>(i)];
      EXPECT_EQ(c.bundleIndex, static_cast<int16_t>(k));
      const marker::PieceHead& head = b.pieces[static_cast<size_t>(c.pieceIndex)].head;
      EXPECT_EQ(head.alphaSize, bundle.size) << "bundle " << k;
      ++placed[{head.name, head.alphaSize, head.description.ends_with("mirrored")}];
    }
  }
  EXPECT_EQ(placed, expected);
}

// The marker's base-size records are the stored pieces as the piece export
// prepares them (smoothed), outline point for outline point.
TEST(DemoMarker, BaseSizeRecordsAreTheStoredPieces) {
  TempArea area;
  const marker::MarkerBuilder b = demo::ShirtMarker("DEMO");
  size_t compared = 0;
  for (const auto& count : demo::ShirtPieceCounts()) {
    ASSERT_EQ(grading::StorePiece(area.path(), std::string(count.name), demo::ShirtPiece(count.name)), 1);
    PieceReader reader("", area.path(), count.name);
    std::vector<DrawnPoint> outline = DrawnPoints(reader.PreparedPiece()->perimeter);
    outline.pop_back();  // the closure point
    for (const auto& record : b.pieces) {
      const bool mirrored = record.head.description.ends_with("mirrored");
      if (record.head.name != count.name || record.head.alphaSize != "M" || mirrored) continue;
      ++compared;
      ASSERT_EQ(record.perimeter.size(), outline.size()) << count.name;
      for (size_t i = 0; i < outline.size(); ++i) {
        EXPECT_EQ(record.perimeter[i].x, std::llround(outline[i].x * 10000)) << count.name << " " << i;
        EXPECT_EQ(record.perimeter[i].y, std::llround(outline[i].y * 10000)) << count.name << " " << i;
        EXPECT_EQ(record.perimeter[i].notchType, outline[i].notch ? 1 : 0) << count.name << " " << i;
      }
    }
  }
  EXPECT_EQ(compared, demo::ShirtPieceCounts().size());
}

TEST(DemoMarker, PlacementKeepsItsGapForAnyShape) {
  // Two right triangles whose hypotenuses would nest, and a square: they
  // keep the gap, stay on the fabric and go largest first to the bottom.
  const std::vector<std::vector<Vec2>> outlines = {
      {{0, 0}, {10, 0}, {0, 10}}, {{0, 0}, {10, 0}, {10, 10}}, {{0, 0}, {12, 0}, {12, 12}, {0, 12}}};
  const std::vector<demo::Placement> placements =
      demo::PlaceBottomLeft(outlines, {.width = 24, .cell = 0.5, .gap = 0.2});
  std::vector<std::vector<Vec2>> placed;
  for (size_t i = 0; i < outlines.size(); ++i) placed.push_back(demo::Placed(outlines[i], placements[i]));
  // The worked example of docs/demo.md: the square first, in the corner;
  // the first triangle beside it in the next free column; the second above.
  const double centres[][2] = {{17.7, 5.2}, {18.7, 15.2}, {6.2, 6.2}};
  for (size_t i = 0; i < placements.size(); ++i) {
    EXPECT_FALSE(placements[i].turned) << i;
    EXPECT_NEAR(placements[i].centreX, centres[i][0], 1e-9) << i;
    EXPECT_NEAR(placements[i].centreY, centres[i][1], 1e-9) << i;
  }
  for (size_t i = 0; i < placed.size(); ++i) {
    EXPECT_GE(Box(placed[i]).minX, 0.2);
    EXPECT_LE(Box(placed[i]).maxX, 24);
    for (size_t j = i + 1; j < placed.size(); ++j) EXPECT_FALSE(Overlap(placed[i], placed[j])) << i << " " << j;
  }
  EXPECT_THROW(demo::PlaceBottomLeft({{{0, 0}, {30, 0}, {0, 5}}}, {.width = 24}), std::invalid_argument);
}

// The scale bar names the unit of the area's one user environment, or the
// one given; without one, or with several, it says "units".
TEST(DemoPictures, TheScaleBarNamesTheAreasUnit) {
  const std::string metric = ReadFile(kExamples + "UserEnvironment/STANDARD.xml");
  std::string imperial = metric;
  imperial.replace(imperial.find("Notation=\"Metric\""), 17, "Notation=\"Imperial\"");
  imperial.replace(imperial.find("Name=\"STANDARD\""), 15, "Name=\"INCHES\"");
  const struct {
    std::vector<std::pair<std::string, std::string>> environments;  // name, document
    std::string option, unit;
  } cases[] = {
      {{{"STANDARD", metric}}, "", "cm"},
      {{{"INCHES", imperial}}, "", "in"},
      {{}, "", "units"},
      {{{"STANDARD", metric}, {"INCHES", imperial}}, "", "units"},
      {{{"STANDARD", metric}}, " --unit mm", "mm"},
  };
  for (const auto& c : cases) {
    TempArea area;
    for (const auto& [name, document] : c.environments)
      ASSERT_EQ(ImportFromString(19, area.path(), name, document), 0) << LastErrorMessage();
    ASSERT_EQ(grading::StorePiece(area.path(), "POCKET", demo::ShirtPiece("POCKET")), 1);
    marker::MarkerBuilder frame;  // an empty fabric
    frame.header->width = 150, frame.header->length = 40;
    ASSERT_EQ(marker::StoreMarker(area.path(), "FRAME", frame.Build()), 1);
    std::string out;
    const std::string dir = Quote(area.path());
    for (const std::string& what : {"Piece " + dir + " POCKET", "Marker " + dir + " FRAME"}) {
      ASSERT_EQ(RunTool("render " + what + " -o " + Quote(area.File("p.svg")) + c.option, &out), 0) << out;
      EXPECT_NE(ReadFile(area.File("p.svg")).find(">" + c.unit + "</text>"), std::string::npos) << what << c.option;
    }
  }
}

// ---------------------------------------------------------------- examples

TEST(DemoExamples, NameOnlyItemsOfTheDemoArea) {
  std::set<std::pair<std::string, std::string>> items;  // type, name
  for (const auto& dir : std::filesystem::directory_iterator(kExamples))
    for (const auto& f : std::filesystem::directory_iterator(dir.path()))
      if (f.path().extension() == ".xml") items.insert({dir.path().filename().string(), f.path().stem().string()});
  for (const auto& piece : demo::ShirtPieceCounts()) items.insert({"Piece", std::string(piece.name)});
  items.insert({"Marker", "DEMO"});

  const struct {
    const char* document;
    const char* element;    // the element whose attribute or text names the item
    const char* attribute;  // nullptr: the element's text
    const char* type;
  } references[] = {
      {"Model/SHIRT", "Model", "AlterationName", "Alteration"},
      {"Model/SHIRT", "Model", "BlockBufferName", "BlockBuffer"},
      {"Model/SHIRT", "Model", "LayLimitName", "LayLimit"},
      {"Model/SHIRT", "Model", "SizeCodeName", "SizeCode"},
      {"Model/SHIRT", "Entry", "PieceName", "Piece"},
      {"Order/SPRING", "Order", "MarkerName", "Marker"},
      {"Order/SPRING", "Order", "LayLimitName", "LayLimit"},
      {"Order/SPRING", "Order", "AnnotationName", "Annotation"},
      {"Order/SPRING", "Order", "BlockBufferName", "BlockBuffer"},
      {"Order/SPRING", "Order", "NotchEnvironmentName", "NotchEnvironment"},
      {"Order/SPRING", "Order", "MatchingName", "Matching"},
      {"Order/SPRING", "Model", "Name", "Model"},
      {"Order/SPRING", "Model", "SizeCodeName", "SizeCode"},
      {"Order/SPRING", "Model", "AlterationName", "Alteration"},
      {"PieceList/SHIRT", "PieceName", nullptr, "Piece"},
  };
  size_t named = 0;
  for (const auto& r : references) {
    const xml::Document doc = Example(r.document);
    for (xml::Node e : Elements(doc.Root(), r.element)) {
      // A paste-on label is not cut from the fabric.
      if (Attribute(e, "PieceType") == "Paste") continue;
      std::string name = r.attribute ? Attribute(e, r.attribute) : xml::GetElementText(e);
      if (name.empty()) continue;  // names nothing
      ++named;
      EXPECT_TRUE(items.count({r.type, name})) << r.document << " names " << r.type << " " << name;
    }
  }
  EXPECT_GE(named, 25u);
}

}  // namespace
}  // namespace tsln2xml::test
