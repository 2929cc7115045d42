#include "converters/library/piece_list.h"

#include "converters/library/library_records.h"
#include "xml/element_content.h"

namespace tsln2xml {
namespace {

using Tessaline::PieceList;

constexpr int16_t kDataType = 21;
constexpr size_t kCommentWidth = 40;
const char* const kLoadFailure = "Unable to load PieceList library";
const char* const kSaveFailure = "Error writing PieceList library";

struct NameRecord {
  static constexpr size_t kSize = 20;
  template <class Io, class Text>
  static void Walk(Io& io, Text& name) {
    io.Text(0, name, Tessaline::kUpper);
  }
};

}  // namespace

std::shared_ptr<PieceList> LoadPieceList(XMLDataItem& item) {
  auto list = std::make_shared<PieceList>();
  if (!library::LoadCommentedTable<NameRecord, kCommentWidth>(item, list->comment1, list->comment2, list->names,
                                                               PieceList::Name()))
    return nullptr;
  return list;
}

void SavePieceList(XMLDataItem& item, const PieceList& list) {
  library::SaveCommentedTable<NameRecord, kCommentWidth>(item, list.comment1, list.comment2, list.names,
                                                         "PieceList names", kSaveFailure);
}

PieceListReader::PieceListReader(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLReader(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void PieceListReader::Convert() {
  xml::Node root = AppendRoot("PieceList");
  auto list = LoadPieceList(*this);
  if (!list) Fail(kLoadFailure);
  AttributeEmitter rootAttributes(root);
  library::CommentAttributes(rootAttributes, list->comment1, list->comment2);
  for (const auto& name : list->names) xml::SetElementText(AppendElement(root, "PieceName"), name.str());
}

PieceListWriter::PieceListWriter(std::string_view areaRoot, std::string_view areaName, std::string_view itemName)
    : XMLWriter(areaRoot, areaName, itemName, *FindItemFileEntry(kDataType)) {}

void PieceListWriter::Convert() {
  xml::Node root = RequireRoot("PieceList");
  xml::GetAttributeText(root, "Name");  // read and not used: the caller names the item
  PieceList list;
  AttributeParser rootAttributes(root);
  library::CommentAttributes(rootAttributes, list.comment1, list.comment2);
  const auto names = SelectNodes(root, "PieceName");
  Count16(names.size(), "PieceList names");
  list.names.reserve(names.size());
  for (xml::Node name : names) list.names.push_back(PieceList::Name(xml::GetElementText(name)));
  SavePieceList(*this, list);
}

}  // namespace tsln2xml
