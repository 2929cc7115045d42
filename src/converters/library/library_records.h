#pragma once
// Pieces that the library converters share: reading and writing one fixed
// record through a layout described once, the comment header (two comment
// texts of one width followed by a signed 16-bit count), libraries stored as
// that header and a table of fixed records, the comment attributes, and the
// documents of rule libraries (a root with the comments, a "Rule" a rule).
//
// A record layout is a struct with the record's size and one walk over its
// fields, used by the decoder and the encoder alike:
//
//   struct RuleRecord {
//     static constexpr size_t kSize = 70;
//     template <class Io, class Rule>
//     static void Walk(Io& io, Rule& rule) { io.Int(0, rule.number); ... }
//   };

#include <array>
#include <memory>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "framework/attribute_io.h"
#include "model/record_io.h"
#include "framework/xml_data_item.h"
#include "model/fixed_text.h"

namespace tsln2xml::library {

// Reads one record and decodes it into `fields`; false when the item ended
// before the record did.
template <class Layout, class... Fields>
bool ReadRecord(XMLDataItem& item, Fields&... fields) {
  std::array<uint8_t, Layout::kSize> record;
  if (!item.ReadExact(record.data(), record.size())) return false;
  RecordDecoder decoder(record);
  Layout::Walk(decoder, fields...);
  return true;
}

// Encodes `fields` into a zeroed record and writes it; a refused write fails
// with code 1 and `failure`.
template <class Layout, class... Fields>
void WriteRecord(XMLDataItem& item, const std::string& failure, const Fields&... fields) {
  std::array<uint8_t, Layout::kSize> record{};
  RecordEncoder encoder(record);
  Layout::Walk(encoder, fields...);
  item.WriteExact(record.data(), record.size(), failure);
}

// Whether `count` records of `size` bytes can still follow in the item; a
// count read from the item is checked before anything is sized from it.
inline bool RecordsFit(const XMLDataItem& item, int64_t count, size_t size) {
  if (count < 0) return false;
  const int64_t left = static_cast<int64_t>(item.ItemSize()) - item.Tell();
  return left >= 0 && count <= left / static_cast<int64_t>(size);
}

// A record holding one little-endian value of type T (a count, a length, a
// format byte).
template <class T>
struct ValueRecord {
  static constexpr size_t kSize = sizeof(T);
  template <class Io, class V>
  static void Walk(Io& io, V& value) {
    static_assert(sizeof(std::remove_const_t<V>) == sizeof(T), "the value's width is the record's");
    io.Int(0, value);
  }
};

// The header of two comments of `Width` bytes each and a 16-bit count. The
// comments are read upper-cased and not cleaned.
template <size_t Width>
struct CommentHeader {
  static constexpr size_t kSize = 2 * Width + 2;
  template <class Io, class Text, class Count>
  static void Walk(Io& io, Text& comment1, Text& comment2, Count& count) {
    io.Text(0, comment1, Tessaline::kUpper);
    io.Text(Width, comment2, Tessaline::kUpper);
    io.Int(2 * Width, count);
  }
};

// The attributes Comment1 and Comment2 of a library's root element.
template <class Io, class Text>
void CommentAttributes(Io& io, Text& comment1, Text& comment2) {
  io.Text("Comment1", comment1, Tessaline::kUpper);
  io.Text("Comment2", comment2, Tessaline::kUpper);
}

// A library stored as a comment header and a table of fixed records of
// layout `Record`. `blank` is the value each record starts from.
template <class Record, size_t Width, class Element>
bool LoadCommentedTable(XMLDataItem& item, Tessaline::FixedText& comment1, Tessaline::FixedText& comment2,
                        std::vector<Element>& records, const Element& blank = Element{}) {
  int16_t count = 0;
  if (!ReadRecord<CommentHeader<Width>>(item, comment1, comment2, count)) return false;
  if (!RecordsFit(item, count, Record::kSize)) return false;
  records.assign(static_cast<size_t>(count), blank);
  for (Element& record : records)
    if (!ReadRecord<Record>(item, record)) return false;
  return true;
}

// Writes the header and the records; more than 32767 records fail with code 1
// before anything is written ("Too many <what>: N (at most 32767)").
template <class Record, size_t Width, class Element>
void SaveCommentedTable(XMLDataItem& item, const Tessaline::FixedText& comment1, const Tessaline::FixedText& comment2,
                        const std::vector<Element>& records, const std::string& what, const std::string& failure) {
  const int16_t count = Count16(records.size(), what);
  WriteRecord<CommentHeader<Width>>(item, failure, comment1, comment2, count);
  for (const Element& record : records) WriteRecord<Record>(item, failure, record);
}

// A rule library (comments and a table of rules, such as block buffers and
// matching rules) loaded from its item: nullptr when the item is not one.
template <class Library, class Record, size_t Width>
std::shared_ptr<Library> LoadRuleLibrary(XMLDataItem& item) {
  auto library = std::make_shared<Library>();
  if (!LoadCommentedTable<Record, Width>(item, library->comment1, library->comment2, library->rules)) return nullptr;
  return library;
}

// A rule library's document from the library: the comments on `root`, then
// one "Rule" element a rule, which `eachRule(element, rule)` fills.
template <class Library, class EachRule>
void EmitRuleLibrary(XMLReader& reader, xml::Node root, Library& library, EachRule eachRule) {
  AttributeEmitter rootAttributes(root);
  CommentAttributes(rootAttributes, library.comment1, library.comment2);
  for (auto& rule : library.rules) eachRule(reader.AppendElement(root, "Rule"), rule);
}

// The library from its document: the root `rootName` (its Name is read and
// not used: the caller names the item) with the comments, and a rule for each
// "Rule" element, which `eachRule(element, rule)` reads; more than 32767
// rules fail ("Too many <what>: N (at most 32767)").
template <class Library, class EachRule>
Library ParseRuleLibrary(XMLWriter& writer, std::string_view rootName, const std::string& what, EachRule eachRule) {
  xml::Node root = writer.RequireRoot(rootName);
  xml::GetAttributeText(root, "Name");
  Library library;
  AttributeParser rootAttributes(root);
  CommentAttributes(rootAttributes, library.comment1, library.comment2);
  const auto rules = writer.SelectNodes(root, "Rule");
  Count16(rules.size(), what);
  library.rules.resize(rules.size());
  for (size_t r = 0; r < rules.size(); ++r) eachRule(rules[r], library.rules[r]);
  return library;
}

}  // namespace tsln2xml::library
