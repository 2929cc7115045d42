#pragma once
// Our grading library: pieces kept in a storage area's "piece.ctl" catalog in
// the layout of docs/piece-format.md, delivered at their base size as a PIECE
// value. A manager handle is opened for one export; each piece it delivers
// belongs to it until FreeGradedPiece, and closing the manager releases
// whatever is left.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/fixed_text.h"
#include "store/grading_records.h"

namespace tsln2xml::grading {

inline constexpr Tessaline::FixedTextKind kPieceText{20, Tessaline::TextRule::kNone};
inline constexpr Tessaline::FixedTextKind kLineNameText{11, Tessaline::TextRule::kNone};

// The attribute kind that marks a point for alignment.
inline constexpr uint8_t kAlignmentMark = 3;

// Point type codes the library's own walks look at.
inline constexpr uint8_t kClosurePoint = 2;
inline constexpr uint8_t kSmoothPoint = 3;

struct CurvePoint {
  int32_t x = 0;  // 1/10000 units
  int32_t y = 0;
  bool operator==(const CurvePoint&) const = default;
};

struct PiecePoint {
  int16_t id = 0;
  int32_t x = 0;  // 1/10000 units
  int32_t y = 0;
  uint8_t type = 0;                 // point type code
  std::vector<uint8_t> attributes;  // the kinds of the point's attributes, in list order
  std::vector<CurvePoint> curve;
};

struct LineNameRecord {
  Tessaline::FixedText name{kLineNameText};
  int32_t startX = 0, startY = 0, deltaX = 0, deltaY = 0;  // 1/10000 units
};

struct Internal1Record {
  uint8_t internalObjectId = 0;
  uint8_t illustrationNumber = 0;
  uint8_t penNumber = 0;
};

struct PieceInternal {
  int16_t id = 0;
  int16_t type = 0;
  int16_t perimeterLineNumber = 0;
  int16_t styleLineNumber = 0;
  int16_t index = 0;
  int8_t hideLineFlag = 0;
  std::vector<PiecePoint> points;
  std::optional<LineNameRecord> lineName;
  std::optional<Internal1Record> internal1;
};

// A piece at its base size. NumSizes is the number of size records, the rule
// count the number of rules, and every rule has GrowthPairCount(numBreaks)
// growth pairs.
struct PIECE {
  Tessaline::FixedText category{kPieceText};
  Tessaline::FixedText description{kPieceText};
  uint8_t pieceType = 0;
  int16_t numBreaks = 0;
  SizeName baseSize{};
  int16_t baseIndex = 0;
  uint8_t sizeIdType = 0;
  int8_t sizeIncrement = 0;
  std::vector<SizeRecord> sizes;
  uint8_t ruleSourceType = 0;
  Tessaline::FixedText ruleSourceName{kPieceText};
  std::vector<RuleNode> rules;
  int16_t nextPointId = 0;
  std::vector<PiecePoint> perimeter;
  int16_t nextInternalId = 0;
  SizeName digitizedSize{};
  std::vector<PieceInternal> internals;
};

// The piece owns everything it holds, so releasing it releases everything.
struct PieceDeleter {
  void operator()(PIECE* piece) const { delete piece; }
};

// The number of codes of each coded field (codes run from 0): what a piece's
// document can show.
inline constexpr unsigned kPieceTypes = 5;
inline constexpr unsigned kSizeIdTypes = 3;
inline constexpr unsigned kRuleSourceTypes = 3;
inline constexpr unsigned kBreakFlags = 2;
inline constexpr unsigned kPointTypes = 9;

// What decoding checks: the layout alone (what the export loads), or also
// that the piece's document can show it: every code above within its
// codes, at least three perimeter points and a point in every internal.
enum class PieceCheck { kLayout, kExportable };

// The layout: encoding throws std::invalid_argument for values it cannot
// hold (a list longer than its count allows, a rule whose growth pairs do not
// match NumBreaks) and stores any code; decoding is false unless `bytes` are
// exactly one piece that passes `check`, and then `fault` says which field
// at which offset of `bytes` is refused and why.
std::vector<uint8_t> EncodePiece(const PIECE& piece);
bool DecodePiece(std::span<const uint8_t> bytes, PIECE& piece, PieceCheck check = PieceCheck::kLayout,
                 std::string* fault = nullptr);

// The base size as text: "%6d" of the number for Numeric, else the first 7
// characters of the stored name.
std::string BaseSizeText(const PIECE& piece);

struct GradePieceManager;

GradePieceManager* OpenGradePieceManager(int option);
// The base-size piece `name` of the storage area whose host directory is
// `storageDirectory`, or nullptr when it cannot be read or is not in our
// layout. `option` is accepted as the caller's request flag; the base size is
// the only size delivered.
PIECE* GetBasePiece(GradePieceManager* manager, std::string_view storageDirectory, std::string_view name, int option);
// The base-size text of the piece delivered last.
const std::string& DeliveredBaseSizeText(const GradePieceManager* manager);
void FreeGradedPiece(GradePieceManager* manager, PIECE* piece);
void CloseGradePieceManager(GradePieceManager* manager);

// Encodes `piece` and stores it as the piece `name` of the storage area in
// `areaDirectory`, in one commit; the store's status (1 on success).
int32_t StorePiece(const std::string& areaDirectory, std::string_view name, const PIECE& piece);

}  // namespace tsln2xml::grading
