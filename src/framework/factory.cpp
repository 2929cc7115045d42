#include "framework/factory.h"

#include <map>

#include "converters/grading/piece.h"
#include "converters/grading/rule_table.h"
#include "converters/library/alteration.h"
#include "converters/library/annotation.h"
#include "converters/library/block_buffer.h"
#include "converters/library/matching.h"
#include "converters/library/notch.h"
#include "converters/library/piece_list.h"
#include "converters/library/size_code.h"
#include "converters/orders/lay_limit.h"
#include "converters/orders/lay_rule_search.h"
#include "converters/orders/user_environment.h"

namespace tsln2xml {
namespace {

using ReaderCreator = std::unique_ptr<XMLReader> (*)(std::string_view, std::string_view, std::string_view);
using WriterCreator = std::unique_ptr<XMLWriter> (*)(std::string_view, std::string_view, std::string_view);

template <class T, class Base>
std::unique_ptr<Base> Make(std::string_view root, std::string_view name, std::string_view item) {
  return std::make_unique<T>(root, name, item);
}

// One row per code in the order of the converter table; a null creator means
// the direction is not implemented (markers have their own export, pieces are
// exported only).
struct Row {
  int16_t code;
  ReaderCreator reader;
  WriterCreator writer;
};

constexpr Row kConverters[] = {
    {1, Make<AlterationReader, XMLReader>, Make<AlterationWriter, XMLWriter>},
    {2, Make<AnnotationReader, XMLReader>, Make<AnnotationWriter, XMLWriter>},
    {3, Make<BlockBufferReader, XMLReader>, Make<BlockBufferWriter, XMLWriter>},
    {4, nullptr, nullptr},
    {6, Make<LayLimitReader, XMLReader>, Make<LayLimitWriter, XMLWriter>},
    {11, Make<MatchingReader, XMLReader>, Make<MatchingWriter, XMLWriter>},
    {12, nullptr, nullptr},
    {13, nullptr, nullptr},
    {15, Make<LayRuleSearchReader, XMLReader>, Make<LayRuleSearchWriter, XMLWriter>},
    {19, Make<UserEnvironmentReader, XMLReader>, Make<UserEnvironmentWriter, XMLWriter>},
    {20, Make<PieceReader, XMLReader>, nullptr},
    {21, Make<PieceListReader, XMLReader>, Make<PieceListWriter, XMLWriter>},
    {22, nullptr, nullptr},
    {23, Make<RuleTableReader, XMLReader>, Make<RuleTableWriter, XMLWriter>},
    {24, Make<SizeCodeReader, XMLReader>, Make<SizeCodeWriter, XMLWriter>},
    {17, Make<NotchReader, XMLReader>, Make<NotchWriter, XMLWriter>},
    {14, nullptr, nullptr},
    {9, nullptr, nullptr},
    {18, nullptr, nullptr},
    {16, nullptr, nullptr},
};
static_assert(std::size(kConverters) == 20);

const Row* FindRow(int16_t code) {
  static const std::map<int16_t, const Row*> rows = [] {
    std::map<int16_t, const Row*> m;
    for (const Row& r : kConverters) m.emplace(r.code, &r);
    return m;
  }();
  auto it = rows.find(code);
  return it == rows.end() ? nullptr : it->second;
}

[[noreturn]] void Unimplemented() { throw Tsln2XmlException(kUnimplemented, "Unimplemented data type"); }

}  // namespace

std::unique_ptr<XMLReader> CreateReader(int16_t code, std::string_view areaRoot, std::string_view areaName,
                                        std::string_view itemName) {
  const Row* row = FindRow(code);
  if (!row || !row->reader) Unimplemented();
  return row->reader(areaRoot, areaName, itemName);
}

std::unique_ptr<XMLWriter> CreateWriter(int16_t code, std::string_view areaRoot, std::string_view areaName,
                                        std::string_view itemName) {
  const Row* row = FindRow(code);
  if (!row || !row->writer) Unimplemented();
  return row->writer(areaRoot, areaName, itemName);
}

bool HasReader(int16_t code) {
  const Row* row = FindRow(code);
  return row && row->reader;
}

bool HasWriter(int16_t code) {
  const Row* row = FindRow(code);
  return row && row->writer;
}

}  // namespace tsln2xml
