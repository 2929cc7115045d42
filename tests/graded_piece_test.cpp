// Graded sizes of a piece: docs/grading.md's worked example for every method,
// the base size first and last, pieces that do not grade, interpolation
// round the outline and the failures.

#include <gtest/gtest.h>

#include <ostream>

#include "core/exception.h"
#include "grading/graded_piece.h"
#include "store/piece_builder.h"
#include "support/graded_piece_support.h"

namespace tsln2xml::grading {
void PrintTo(const Delta& d, std::ostream* os) { *os << "(" << d.x << ", " << d.y << ")"; }
}  // namespace tsln2xml::grading

namespace tsln2xml::test {
namespace {

using namespace grading;

using Row = std::vector<Delta>;  // one delta per size

struct MethodCase {
  GradeMethod method;
  Row point3, point4, point5, point2, internal;
};

void PrintTo(const MethodCase& c, std::ostream* os) { *os << GradeMethodName(c.method); }

class WorkedExample : public ::testing::TestWithParam<MethodCase> {};

TEST_P(WorkedExample, MatchesTheDocumentsTables) {
  const MethodCase& c = GetParam();
  const GradedPiece graded = GradePiece(WorkedExamplePiece(), c.method);
  ASSERT_EQ(graded.sizes.size(), 5u);
  EXPECT_EQ(graded.baseIndex, 2u);
  const char* names[] = {"XS", "S", "M", "L", "XL"};
  for (size_t s = 0; s < 5; ++s) {
    SCOPED_TRACE(names[s]);
    const GradedSize& size = graded.sizes[s];
    EXPECT_EQ(size.name, names[s]);
    EXPECT_EQ(size.base, s == 2);
    // The first point, a grade point without a rule, stays.
    EXPECT_EQ(size.perimeter, (Row{{0, 0}, c.point2[s], c.point3[s], c.point4[s], c.point5[s]}));
    EXPECT_EQ(size.internals, std::vector<Row>{{c.internal[s]}});
  }
  // The rules' own deltas are those of their points (the .rul file's rows).
  ASSERT_EQ(graded.rules.size(), 3u);
  EXPECT_EQ(graded.rules[0].sizes, c.point3);
  EXPECT_EQ(graded.rules[2].sizes, c.point5);
}

const MethodCase kIncremental{
    GradeMethod::kIncremental,
    {{-3000, 0}, {-2000, 0}, {0, 0}, {2000, 0}, {5000, 0}},
    {{-2000, -3000}, {-1000, -2000}, {0, 0}, {1000, 2000}, {1000, 5000}},
    {{0, -1500}, {0, -1000}, {0, 0}, {0, 1000}, {0, 2500}},
    {{-1500, 0}, {-1000, 0}, {0, 0}, {1000, 0}, {2500, 0}},
    {{-750, 0}, {-500, 0}, {0, 0}, {500, 0}, {1250, 0}}};

INSTANTIATE_TEST_SUITE_P(
    Methods, WorkedExample,
    ::testing::Values(kIncremental, MethodCase{GradeMethod::kSmallToLarge, kIncremental.point3, kIncremental.point4,
                                               kIncremental.point5, kIncremental.point2, kIncremental.internal},
                      MethodCase{GradeMethod::kCumulative,
                                 {{-2000, 0}, {-1000, 0}, {0, 0}, {1000, 0}, {4000, 0}},
                                 {{-1500, -2000}, {-500, -1000}, {0, 0}, {500, 1000}, {500, 4000}},
                                 {{0, -1000}, {0, -500}, {0, 0}, {0, 500}, {0, 2000}},
                                 {{-1000, 0}, {-500, 0}, {0, 0}, {500, 0}, {2000, 0}},
                                 {{-500, 0}, {-250, 0}, {0, 0}, {250, 0}, {1000, 0}}}));

// One rule (100, -60) on a three-size piece without breaks: the base size
// first, last, and the same with NumBreaks -1 (no growth pairs) and without
// rules.
struct EdgeCase {
  const char* name;
  int16_t baseIndex;
  int16_t numBreaks;
  bool withRule;
  GradeMethod method;
  Row rule;
};

void PrintTo(const EdgeCase& c, std::ostream* os) { *os << c.name; }

class Edges : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(Edges, GradesTheOnlyGradePoint) {
  const EdgeCase& c = GetParam();
  PIECE p;
  p.sizeIdType = kNumeric;
  p.numBreaks = c.numBreaks;
  p.baseIndex = c.baseIndex;
  p.sizes = {{NumericSizeName(8), 1}, {NumericSizeName(10), 0}, {NumericSizeName(12), 0}};
  if (c.withRule)
    p.rules = {MakeRule(7, "    ", std::nullopt,
                        c.numBreaks < 0 ? std::vector<GrowthPair>{} : std::vector<GrowthPair>{{100, -60}})};
  p.perimeter = {MakePoint(7, 0, 0, 0), MakePoint(8, 10000, 0, 1), MakePoint(9, 20000, 0, 2)};
  const GradedPiece graded = GradePiece(p, c.method);
  ASSERT_EQ(graded.sizes.size(), 3u);
  EXPECT_EQ(graded.sizes[0].name, "8");
  for (size_t s = 0; s < 3; ++s) {
    EXPECT_EQ(graded.sizes[s].perimeter[0], c.rule[s]) << c.name << " size " << s;
    // The closure point has no rule and stays; the point between moves by
    // half of the graded point's delta (1 of 2 units along the outline).
    EXPECT_EQ(graded.sizes[s].perimeter[2], (Delta{0, 0}));
    EXPECT_EQ(graded.sizes[s].perimeter[1], (Delta{c.rule[s].x / 2, c.rule[s].y / 2})) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Edges,
    ::testing::Values(
        EdgeCase{"base first", 0, 0, true, GradeMethod::kIncremental, {{0, 0}, {100, -60}, {200, -120}}},
        EdgeCase{"base last", 2, 0, true, GradeMethod::kIncremental, {{-200, 120}, {-100, 60}, {0, 0}}},
        EdgeCase{"base first, cumulative", 0, 0, true, GradeMethod::kCumulative, {{0, 0}, {50, -30}, {100, -60}}},
        EdgeCase{"base last, cumulative", 2, 0, true, GradeMethod::kCumulative, {{-100, 60}, {-50, 30}, {0, 0}}},
        EdgeCase{"NumBreaks -1", 1, -1, true, GradeMethod::kIncremental, {{0, 0}, {0, 0}, {0, 0}}},
        EdgeCase{"no rules", 1, 0, false, GradeMethod::kCumulative, {{0, 0}, {0, 0}, {0, 0}}}));

// More break flags than NumBreaks allows: the steps after the last allowed
// break stay in the last segment.
TEST(GradePiece, SegmentsStopAtNumBreaks) {
  PIECE p;
  p.numBreaks = 1;
  p.sizes = {{NumericSizeName(1), 1}, {NumericSizeName(2), 1}, {NumericSizeName(3), 1}, {NumericSizeName(4), 1}};
  p.rules = {MakeRule(1, "    ", std::nullopt, {{1, 0}, {10, 0}})};
  p.perimeter = {MakePoint(1, 0, 0, 0)};
  const GradedPiece graded = GradePiece(p, GradeMethod::kIncremental);
  // Steps: 0 in segment 0, 1 and 2 in segment 1 (capped).
  EXPECT_EQ(graded.rules[0].sizes, (Row{{0, 0}, {1, 0}, {11, 0}, {21, 0}}));
}

// A point before the first grade point interpolates from the last one,
// round the end of the outline.
TEST(GradePiece, InterpolatesRoundTheEndOfTheOutline) {
  PIECE p;
  p.sizes = {{NumericSizeName(1), 0}, {NumericSizeName(2), 0}};
  p.rules = {MakeRule(2, "    ", std::nullopt, {{400, 0}})};
  // Square of side 10: point 1 (NonGrade) is 10 units after point 4 and 10
  // before point 2 along the outline; point 3 is NonGrade too.
  p.perimeter = {MakePoint(1, 0, 0, 1), MakePoint(2, 100000, 0, 0), MakePoint(3, 100000, 100000, 1),
                 MakePoint(4, 0, 100000, 2)};
  const GradedPiece graded = GradePiece(p, GradeMethod::kIncremental);
  EXPECT_EQ(graded.sizes[1].perimeter, (Row{{200, 0}, {400, 0}, {200, 0}, {0, 0}}));
}

TEST(GradePiece, RefusesABaseIndexOutsideTheSizes) {
  PIECE p = WorkedExamplePiece();
  for (int16_t index : {int16_t{-1}, int16_t{5}}) {
    p.baseIndex = index;
    try {
      GradePiece(p, GradeMethod::kIncremental);
      ADD_FAILURE() << index;
    } catch (const Tsln2XmlException& e) {
      EXPECT_EQ(e.Code(), kContentUnusable);
      EXPECT_STREQ(e.what(), "Piece base index is not one of its sizes");
    }
  }
  p.sizes.clear();
  p.baseIndex = 0;
  EXPECT_EQ(GradePiece(p, GradeMethod::kIncremental).sizes.size(), 1u);
}

TEST(SizedPiece, MovesPointsAndRefusesCoordinatesBeyond32Bits) {
  PIECE p = WorkedExamplePiece();
  p.perimeter[2].curve = {{1, 1}};
  const GradedPiece graded = GradePiece(p, GradeMethod::kIncremental);
  const PIECE xl = SizedPiece(p, graded.sizes[4]);
  EXPECT_EQ(xl.perimeter[2].x, 205000);
  EXPECT_EQ(xl.perimeter[2].curve[0].x, 5001);
  EXPECT_EQ(xl.internals[0].points[0].x, 51250);
  p.perimeter[2].x = INT32_MAX - 10;
  try {
    SizedPiece(p, graded.sizes[4]);
    ADD_FAILURE();
  } catch (const Tsln2XmlException& e) {
    EXPECT_STREQ(e.what(), "Graded piece coordinate out of range");
  }
}

TEST(GradeMethodNames, ParseWithoutRegardToCase) {
  EXPECT_EQ(ParseGradeMethod("cumulative"), GradeMethod::kCumulative);
  EXPECT_EQ(ParseGradeMethod("SmallToLarge"), GradeMethod::kSmallToLarge);
  EXPECT_EQ(ParseGradeMethod("INCREMENTAL"), GradeMethod::kIncremental);
  EXPECT_EQ(ParseGradeMethod("Proportional"), std::nullopt);
  EXPECT_EQ(SizeText(NumericSizeName(-4), kNumeric), "-4");
  EXPECT_EQ(SizeText(TextSizeName("LONGNAME"), kLongAlpha), "LONGNAME");
  EXPECT_EQ(SizeText(TextSizeName("LONGNAME"), kAlpha), "LONGNAM");
}

}  // namespace
}  // namespace tsln2xml::test
