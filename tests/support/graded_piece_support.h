#pragma once
// The graded piece of docs/grading.md's worked example, shared by the grading
// and DXF tests.

#include "store/grading_library.h"

namespace tsln2xml::test {

// Five Alpha sizes XS S M L XL (base M, index 2), NumBreaks 2, break flags on
// S and L; perimeter points 1 (0,0) Grade, 2 (10,0) NonGrade, 3 (20,0) Grade,
// 4 (20,10) Grade, 5 (0,10) Closure; rules 3, 4 and 5; one internal with one
// point at (5,2).
grading::PIECE WorkedExamplePiece();

}  // namespace tsln2xml::test
