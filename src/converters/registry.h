#pragma once
// Converter factories: the reader and writer of a data type code.

#include <memory>
#include <string_view>

#include "framework/xml_data_item.h"

namespace tsln2xml {

// A new converter for `code`; code 7 "Unimplemented data type" when the type
// has none in that direction.
std::unique_ptr<XMLReader> CreateReader(int16_t code, std::string_view areaRoot, std::string_view areaName,
                                        std::string_view itemName);
std::unique_ptr<XMLWriter> CreateWriter(int16_t code, std::string_view areaRoot, std::string_view areaName,
                                        std::string_view itemName);

bool HasReader(int16_t code);
bool HasWriter(int16_t code);

}  // namespace tsln2xml
