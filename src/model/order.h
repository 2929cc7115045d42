#pragma once
// An order: what one marker is asked for. The marker's name and target
// length, width and utilization, the libraries the marker maker uses, the
// fabric's plaid and stripe axes and shrinkage, the models to place with
// their sizes and quantities, and the fabric constructs.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/fabric_types.h"
#include "model/fixed_text.h"

namespace Tessaline {

class Order {
 public:
  // Flag bits of the order.
  static constexpr uint8_t kModelShrinkStretch = 0x01;  // usage "Model" rather than "Order"
  static constexpr uint8_t kEntryAnnotation = 0x02;

  struct Point {
    int32_t x = 0;  // 1/10000 units
    int32_t y = 0;
  };
  struct Axis {
    int32_t repeat = 0;  // 1/10000 units
    int32_t offset = 0;
  };

  struct Entry {
    FixedText size{kSizeName6};
    int16_t quantity = 0;
    FixedText cutDown{kSizeName6};
    FixedText halfPiece{kSizeName6};
    FixedText baseSize{kSizeName6};
    int16_t pieceDirection = 0;
    FixedText message{kPrintable20};
  };
  struct Model {
    FixedText name{kName20};
    FixedText alterationName{kName20};
    FixedText dynamicAlterationName{kName20};
    FixedText sizeCodeName{kName20};
    uint16_t position = 0;  // 1, 2, ... in the order; not in the document
    bool addPieceBundle = false;
    FabricTypes fabric;
    std::vector<FixedText> options;
    std::vector<Entry> entries;
  };
  struct Construct {
    FixedText name{kName20};
    bool plot = false;
    bool cut = false;
    uint8_t extra = 0;  // the byte after the flags; not in the document
    Point lowerLeft, upperRight, upperLeft, lowerRight, repeat;
  };

  FixedText markerName{kName20};
  FixedText description{kPrintable20};
  FixedText number{kName20};
  FixedText layLimitName{kName20};
  FixedText annotationName{kName20};
  FixedText blockBufferName{kName20};
  FixedText blockFuseName{kName20};
  FixedText notchEnvironmentName{kName20};
  FixedText matchingName{kName20};
  FixedText layRuleName{kName20};
  int32_t targetLength = 0;        // 1/10000 units
  int32_t width = 0;               // 1/10000 units
  uint16_t targetUtilization = 0;  // 1/10 percent
  std::array<Axis, 3> plaids{};
  std::array<Axis, 3> stripes{};
  uint8_t layRuleType = 0;
  bool fiveStarMatching = false;
  Point shrinkStretch;
  uint8_t flags = 0;
  std::vector<std::shared_ptr<Model>> models;
  std::vector<std::shared_ptr<Construct>> constructs;
};

}  // namespace Tessaline
