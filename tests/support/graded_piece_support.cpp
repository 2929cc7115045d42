#include "support/graded_piece_support.h"

#include "store/piece_builder.h"

namespace tsln2xml::test {

grading::PIECE WorkedExamplePiece() {
  using namespace grading;
  PIECE p;
  p.category.FromText("TEST", Tessaline::kAsIs);
  p.description.FromText("Worked example", Tessaline::kAsIs);
  p.sizeIdType = kAlpha;
  p.numBreaks = 2;
  p.baseIndex = 2;
  p.baseSize = TextSizeName("M");
  p.digitizedSize = p.baseSize;
  p.sizes = {{TextSizeName("XS"), 0}, {TextSizeName("S"), 1}, {TextSizeName("M"), 0}, {TextSizeName("L"), 1},
             {TextSizeName("XL"), 0}};
  p.rules = {MakeRule(3, "    ", std::nullopt, {{1000, 0}, {2000, 0}, {3000, 0}}),
             MakeRule(4, "    ", std::nullopt, {{1000, 1000}, {1000, 2000}, {0, 3000}}),
             MakeRule(5, "    ", std::nullopt, {{0, 500}, {0, 1000}, {0, 1500}})};
  p.perimeter = {MakePoint(1, 0, 0, 0), MakePoint(2, 100000, 0, 1), MakePoint(3, 200000, 0, 0),
                 MakePoint(4, 200000, 100000, 0), MakePoint(5, 0, 100000, 2)};
  p.nextPointId = 6;
  PieceInternal internal;
  internal.id = 1;
  internal.points = {MakePoint(1, 50000, 20000, 6)};
  p.internals = {internal};
  p.nextInternalId = 2;
  return p;
}

}  // namespace tsln2xml::test
