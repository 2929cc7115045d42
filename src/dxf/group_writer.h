#pragma once
// The lowest layer of the DXF exports: group codes and values, written as
// ASCII DXF R12 (AC1009) with CRLF line ends, and one small function per
// entity kind we write. It knows nothing of pieces or markers.
//
// Every text value is 7-bit printable ASCII: any other byte becomes "_" and
// is counted, so a caller can say that names were changed. Numbers are
// written in plain fixed notation rounded to six decimals, trailing zeros cut;
// a value that is not finite is a programming error (std::invalid_argument):
// callers leave such points out before they get here.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tsln2xml::dxf {

struct XY {
  double x = 0, y = 0;
};

class GroupWriter {
 public:
  void Text(int code, std::string_view value);
  void Int(int code, int value);
  void Real(int code, double value);
  // x, y and z = 0 under `code`, `code` + 10 and `code` + 20.
  void Vertex(int code, XY at);

  // The document so far, and how many characters became "_".
  const std::string& Bytes() const { return out_; }
  std::string Take() { return std::move(out_); }
  size_t Replaced() const { return replaced_; }

 private:
  void Code(int code);
  std::string out_;
  size_t replaced_ = 0;
};

// `text` with every byte that is not printable 7-bit ASCII replaced by "_";
// `replaced` counts them.
std::string AsciiOnly(std::string_view text, size_t& replaced);
// A block name: letters, digits, "$", "-" and "_"; every other byte becomes
// "_" and is counted.
std::string BlockName(std::string_view text, size_t& replaced);
// A number as the writer writes it (no exponent, no "-0").
std::string NumberText(double value);

// Sections and the file's frame.
void Header(GroupWriter& w);  // the HEADER section: $ACADVER AC1009 only
void BeginSection(GroupWriter& w, std::string_view name);
void EndSection(GroupWriter& w);
void EndOfFile(GroupWriter& w);
void BeginBlock(GroupWriter& w, std::string_view name);  // on layer 0, base point 0, 0
void EndBlock(GroupWriter& w);

// Entities. A POLYLINE is followed by its VERTEX entities and a SEQEND;
// `closed` sets flag 70 = 1, and a last point equal to the first is left out
// (the first point is not repeated).
void Polyline(GroupWriter& w, std::string_view layer, const std::vector<XY>& points, bool closed);
void Point(GroupWriter& w, std::string_view layer, XY at);
void PointWithAngle(GroupWriter& w, std::string_view layer, XY at, double degrees);
void Line(GroupWriter& w, std::string_view layer, XY from, XY to);
void TextEntity(GroupWriter& w, std::string_view layer, XY at, double height, std::string_view text);
void Insert(GroupWriter& w, std::string_view layer, std::string_view block, XY at);

}  // namespace tsln2xml::dxf
