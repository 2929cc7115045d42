#pragma once
// A model: the pieces of one garment style with their counts, split and
// fabric rules and shrinkage, named options that add, remove or change pieces
// under a size condition, and the libraries that markers made from it use.

#include <cstdint>
#include <memory>
#include <vector>

#include "model/fabric_types.h"
#include "model/fixed_text.h"

namespace Tessaline {

class Model {
 public:
  // Condition, operation and piece-type codes as stored.
  static constexpr uint8_t kLessThan = '<';
  static constexpr uint8_t kEqualTo = '=';
  static constexpr uint8_t kGreaterThan = '>';
  static constexpr uint8_t kAdd = '+';
  static constexpr uint8_t kRemove = '-';
  static constexpr uint8_t kNormal = 0;
  static constexpr uint8_t kPaste = 3;

  struct Entry {
    uint8_t condition = kEqualTo;
    FixedText size{kSizeName6};
    uint8_t operation = kAdd;
    FixedText pieceName{kName20};
    uint8_t pieceType = kNormal;
    FabricTypes fabric;
    int8_t countAsInput = 0;
    int8_t countMirrorX = 0;
    int8_t countMirrorY = 0;
    int8_t countMirrorXY = 0;
    uint8_t halfPiece = 0;
    int8_t splitLimit = 0;
    bool addPiece = false;
    double shrinkX = 0.0;
    double shrinkY = 0.0;
  };
  struct Option {
    FixedText name{kSizeName6};
    std::vector<Entry> entries;
  };

  FixedText comment1{kPrintable40};
  FixedText comment2{kPrintable40};
  std::vector<Entry> entries;  // model-level entries
  std::vector<FixedText> defaultOptions;
  uint8_t measure = 0;  // shrink/stretch measure code
  FixedText layLimitName{kName20};
  FixedText blockBufferName{kName20};
  FixedText sizeCodeName{kName20};
  FixedText alterationName{kName20};
  std::vector<std::shared_ptr<Option>> options;
};

}  // namespace Tessaline
