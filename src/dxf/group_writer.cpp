#include "dxf/group_writer.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace tsln2xml::dxf {

std::string AsciiOnly(std::string_view text, size_t& replaced) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E) {
      c = '_';
      ++replaced;
    }
  }
  return out;
}

std::string BlockName(std::string_view text, size_t& replaced) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    const bool fits = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '$' ||
                      u == '-' || u == '_';
    if (!fits) {
      c = '_';
      ++replaced;
    }
  }
  return out;
}

std::string NumberText(double value) {
  if (!std::isfinite(value)) throw std::invalid_argument("DXF number is not finite");
  // Six decimals hold every stored 1/10000 of a unit in any output unit;
  // more would only show the binary fraction's noise.
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  std::string text(buffer, result.ptr);
  text.erase(text.find_last_not_of('0') + 1);
  if (text.back() == '.') text += '0';
  if (text == "-0.0") text = "0.0";
  return text;
}

namespace {

// "%3d" of the code and "%6d" of an integer value, without a format parser.
void AppendRight(std::string& out, int value, size_t width) {
  char buffer[16];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  const size_t length = static_cast<size_t>(result.ptr - buffer);
  if (length < width) out.append(width - length, ' ');
  out.append(buffer, length);
  out += "\r\n";
}

}  // namespace

void GroupWriter::Code(int code) { AppendRight(out_, code, 3); }

void GroupWriter::Text(int code, std::string_view value) {
  Code(code);
  out_ += AsciiOnly(value, replaced_);
  out_ += "\r\n";
}

void GroupWriter::Int(int code, int value) {
  Code(code);
  AppendRight(out_, value, 6);
}

void GroupWriter::Real(int code, double value) {
  Code(code);
  out_ += NumberText(value);
  out_ += "\r\n";
}

void GroupWriter::Vertex(int code, XY at) {
  Real(code, at.x);
  Real(code + 10, at.y);
  Real(code + 20, 0.0);
}

void Header(GroupWriter& w) {
  BeginSection(w, "HEADER");
  w.Text(9, "$ACADVER");
  w.Text(1, "AC1009");
  EndSection(w);
}

void BeginSection(GroupWriter& w, std::string_view name) {
  w.Text(0, "SECTION");
  w.Text(2, name);
}

void EndSection(GroupWriter& w) { w.Text(0, "ENDSEC"); }
void EndOfFile(GroupWriter& w) { w.Text(0, "EOF"); }

void BeginBlock(GroupWriter& w, std::string_view name) {
  w.Text(0, "BLOCK");
  w.Text(8, "0");
  w.Text(2, name);
  w.Int(70, 0);
  w.Vertex(10, {0, 0});
  w.Text(3, name);
}

void EndBlock(GroupWriter& w) {
  w.Text(0, "ENDBLK");
  w.Text(8, "0");
}

void Polyline(GroupWriter& w, std::string_view layer, const std::vector<XY>& points, bool closed) {
  w.Text(0, "POLYLINE");
  w.Text(8, layer);
  w.Int(66, 1);
  w.Vertex(10, {0, 0});
  w.Int(70, closed ? 1 : 0);
  // A closed outline that comes back to its first point ends before it: the
  // flag closes it.
  size_t count = points.size();
  if (closed && count >= 2 && NumberText(points.front().x) == NumberText(points.back().x) &&
      NumberText(points.front().y) == NumberText(points.back().y))
    --count;
  for (size_t k = 0; k < count; ++k) {
    const XY& p = points[k];
    w.Text(0, "VERTEX");
    w.Text(8, layer);
    w.Vertex(10, p);
  }
  w.Text(0, "SEQEND");
  w.Text(8, layer);
}

void Point(GroupWriter& w, std::string_view layer, XY at) {
  w.Text(0, "POINT");
  w.Text(8, layer);
  w.Vertex(10, at);
}

void PointWithAngle(GroupWriter& w, std::string_view layer, XY at, double degrees) {
  Point(w, layer, at);
  w.Real(50, degrees);
}

void Line(GroupWriter& w, std::string_view layer, XY from, XY to) {
  w.Text(0, "LINE");
  w.Text(8, layer);
  w.Vertex(10, from);
  w.Vertex(11, to);
}

void TextEntity(GroupWriter& w, std::string_view layer, XY at, double height, std::string_view text) {
  w.Text(0, "TEXT");
  w.Text(8, layer);
  w.Vertex(10, at);
  w.Real(40, height);
  w.Text(1, text);
}

void Insert(GroupWriter& w, std::string_view layer, std::string_view block, XY at) {
  w.Text(0, "INSERT");
  w.Text(8, layer);
  w.Text(2, block);
  w.Vertex(10, at);
}

}  // namespace tsln2xml::dxf
