#pragma once
// The large documents of the benchmarks, one generator per data type, built
// from the builders or written as documents. A new data type joins the
// comparison table of bench/compare.sh by adding its generator to
// BenchDocuments().

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "marker/marker_builder.h"
#include "store/piece_builder.h"

namespace tsln2xml::bench {

// Grading rule table: kRules rules over kBreaks breaks, ids in random order.
inline constexpr int kRules = 2000;
inline constexpr int kBreaks = 20;
// Piece: an outline of kPiecePoints points in smooth stretches, kInternals lines.
inline constexpr int kPiecePoints = 5000;
inline constexpr int kInternals = 200;
// Plot: kPlotPieces pieces with a point list of kPlotPoints points each.
inline constexpr int kPlotPieces = 2000;
inline constexpr int kPlotPoints = 1000;
// Cut file: this much NC data in CRLF lines.
inline constexpr size_t kNcBytes = 10u << 20;
// Alteration: kAlterationRules rules of 8 to 24 items each (16 on average).
inline constexpr int kAlterationRules = 1000;
// BlockBuffer: kBlockBufferRules rules, most of their ten amounts given.
inline constexpr int kBlockBufferRules = 4000;
// LayLimit: kLayLimitEntries categories.
inline constexpr int kLayLimitEntries = 5000;
// PieceList: as many names as its 16-bit count allows.
inline constexpr int kPieceListNames = 32767;
// Marker: kMarkerPieces pieces of kMarkerPoints perimeter points and
// kMarkerLines internal lines of kMarkerLinePoints points, kMarkerShapes shapes.
inline constexpr int kMarkerPieces = 2000;
inline constexpr int kMarkerPoints = 400;
inline constexpr int kMarkerLines = 4;
inline constexpr int kMarkerLinePoints = 25;
inline constexpr int kMarkerShapes = 16;

// A size code library of `entries` entries with `alterations` alterations each.
std::vector<uint8_t> SizeCodeLibrary(int entries, int alterations);
std::vector<uint8_t> RuleTable();
grading::PIECE LargePiece();
// In the writer's form, so that the import gives the same bytes back.
std::vector<uint8_t> LargePlot();
marker::MarkerData LargeMarker();
// The stored items of the list-like libraries, in the writer's form.
std::vector<uint8_t> LargeAlteration();
std::vector<uint8_t> LargeBlockBuffer();
std::vector<uint8_t> LargeLayLimit();
std::vector<uint8_t> LargePieceList();
std::string AnnotationDocument();
std::string MatchingDocument();
std::string ModelDocument();
std::string OrderDocument();
std::string CutDocument();

// One document of the comparison: the type's name, the item's name in the
// area, and how to put the item there (true when it was stored).
struct BenchDocument {
  std::string type;
  std::string item;
  std::function<bool(const std::string& area)> store;
};

// Every data type's largest benchmark document; a type without a generator
// of its own contributes the example documents of examples/<Type>/.
std::vector<BenchDocument> BenchDocuments(const std::string& examplesDir);

// Stores every document of BenchDocuments into `area` and prints one line
// per document: type, item name. 0 when all were stored.
int GenerateDocuments(const std::string& area, const std::string& examplesDir);

// The comparison table of bench/compare.sh (bench/compare.cpp): `runs`
// alternating runs of export, xmllint and import per document; `record`
// rewrites bench/compare.sums. 0 when every result is as recorded.
int CompareWithXmllint(const std::string& buildDir, const std::string& sourceDir, int runs, bool record);
// The batch table of bench/compare.sh (bench/batch_compare.cpp): whole areas
// imported and exported by the command beside xmllint. 0 when every area
// round-trips byte for byte.
int CompareBatches(const std::string& buildDir, const std::string& sourceDir, int runs);
// One export or import ("export" or "import") through the library's calls,
// which free the document they build, for the table's library columns.
int ConvertThroughLibrary(const std::string& direction, const std::string& type, const std::string& area,
                          const std::string& item, const std::string& file);

}  // namespace tsln2xml::bench
