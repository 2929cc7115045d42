// Pictures of markers and pieces, drawn by a real SVG renderer (rsvg-convert)
// and checked pixel by pixel: piece fills where the pieces are, the fabric
// where none is, the page outside the fabric's frame or the piece.

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <regex>

#include "converters/grading/piece_svg.h"
#include "marker/marker_svg.h"
#include "store/piece_builder.h"
#include "support/marker_test_support.h"
#include "tsln2xml/tsln2xml.h"
#include "xml/document.h"

namespace tsln2xml::test {
namespace {

using namespace marker;

// An 8-bit RGB or RGBA PNG, decoded: IDAT inflated and the row filters undone.
struct Image {
  uint32_t width = 0, height = 0, channels = 0;
  std::vector<uint8_t> pixels;
  std::string At(double x, double y) const {
    const size_t i = (static_cast<size_t>(y) * width + static_cast<size_t>(x)) * channels;
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", pixels[i], pixels[i + 1], pixels[i + 2]);
    return hex;
  }
};

Image DecodePng(const std::string& png) {
  auto u32 = [&](size_t at) {
    return uint32_t{static_cast<uint8_t>(png[at])} << 24 | uint32_t{static_cast<uint8_t>(png[at + 1])} << 16 |
           uint32_t{static_cast<uint8_t>(png[at + 2])} << 8 | uint32_t{static_cast<uint8_t>(png[at + 3])};
  };
  Image img;
  std::string idat;
  for (size_t at = 8; at + 8 <= png.size();) {
    const uint32_t length = u32(at);
    const std::string type = png.substr(at + 4, 4);
    if (type == "IHDR") {
      img.width = u32(at + 8), img.height = u32(at + 12);
      img.channels = png[at + 17] == 6 ? 4 : 3;
    }
    if (type == "IDAT") idat += png.substr(at + 8, length);
    at += 12 + length;
  }
  const size_t stride = img.width * img.channels;
  std::vector<uint8_t> raw(img.height * (stride + 1));
  uLongf size = raw.size();
  EXPECT_EQ(uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(idat.data()), idat.size()), Z_OK);
  img.pixels.resize(img.height * stride);
  for (size_t y = 0; y < img.height; ++y) {
    const uint8_t filter = raw[y * (stride + 1)];
    for (size_t x = 0; x < stride; ++x) {
      const int a = x >= img.channels ? img.pixels[y * stride + x - img.channels] : 0;
      const int b = y > 0 ? img.pixels[(y - 1) * stride + x] : 0;
      const int c = x >= img.channels && y > 0 ? img.pixels[(y - 1) * stride + x - img.channels] : 0;
      const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
      const int predictor[] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
      img.pixels[y * stride + x] = static_cast<uint8_t>(raw[y * (stride + 1) + 1 + x] + predictor[filter]);
    }
  }
  return img;
}

// A rendered picture and the map from marker coordinates to its pixels, read
// from the SVG's size and viewBox as a renderer reads them (xMidYMid meet);
// a turned page shows y to the right and x downwards.
struct Rendered {
  std::string svg;
  Image image;
  double scale = 0, left = 0, top = 0, offX = 0, offY = 0;
  bool turned = false;
  std::string At(double x, double y) const {
    if (turned) return image.At((y - left) * scale + offX, (x - top) * scale + offY);
    return image.At((x - left) * scale + offX, (-y - top) * scale + offY);
  }
};

Rendered Render(const std::string& svgFile) {
  Rendered r;
  r.svg = ReadFile(svgFile);
  std::smatch m;
  EXPECT_TRUE(std::regex_search(r.svg, m, std::regex(R"re(width="([^"]+)" height="([^"]+)" viewBox="(\S+) (\S+) (\S+) (\S+)")re")));
  const double w = std::stod(m[1]), h = std::stod(m[2]), vw = std::stod(m[5]), vh = std::stod(m[6]);
  r.left = std::stod(m[3]), r.top = std::stod(m[4]), r.scale = std::min(w / vw, h / vh);
  r.offX = (w - vw * r.scale) / 2, r.offY = (h - vh * r.scale) / 2;
  r.turned = r.svg.find("<g transform=\"matrix(0,1,1,0,0,0)\">") != std::string::npos;
  const std::string png = svgFile + ".png";
  EXPECT_EQ(RunCommand("rsvg-convert -o '" + png + "' '" + svgFile + "'"), 0) << "rsvg-convert (librsvg2-bin) is needed";
  r.image = DecodePng(ReadFile(png));
  return r;
}

// A point of the picture in marker coordinates and the colour drawn there.
struct Spot {
  double x, y;
  std::string colour;
};

void ExpectColours(const Rendered& r, const std::vector<Spot>& spots) {
  for (const Spot& s : spots) EXPECT_EQ(r.At(s.x, s.y), s.colour) << s.x << "," << s.y;
}

PieceInput Piece(const char* name, std::vector<std::pair<int32_t, int32_t>> outline) {
  PieceInput p;
  p.head.name = name;
  for (auto [x, y] : outline) p.perimeter.push_back({.x = x * 10000, .y = y * 10000});
  return p;
}

Cartoon At(int16_t piece, double x, double y, float rotation = 0) {
  Cartoon c;
  c.pieceIndex = piece, c.centerX = x, c.centerY = y, c.rotation = rotation;
  return c;
}

// A 40 by 25 fabric: a 10 by 5 rectangle placed twice (the second turned
// half round), and a right triangle turned a quarter round.
MarkerBuilder TwoPieces() {
  MarkerBuilder b;
  b.header->width = 40, b.header->length = 25;
  b.pieces = {Piece("RECT", {{0, 0}, {10, 0}, {10, 5}, {0, 5}}), Piece("TRI", {{0, 0}, {6, 0}, {0, 6}})};
  b.cartoons = {At(0, 8, 5), At(1, 30, 12, 90), At(0, 8, 14, 180)};
  return b;
}

struct Drawn {
  size_t skipped = 0;
  std::string err, file;
};

Drawn Draw(const TempArea& area, const MarkerData& data) {
  EXPECT_EQ(StoreMarker(area.path(), "M", data), 1);
  Drawn d{0, "", area.File("m.svg")};
  testing::internal::CaptureStderr();
  testing::internal::CaptureStdout();
  d.skipped = RenderMarker("", area.path(), "M", d.file);
  d.err = testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  return d;
}

TEST(Picture, PiecesFabricAndPageAreWhereTheMarkerPutsThem) {
  TempArea area;
  const Rendered r = Render(Draw(area, TwoPieces().Build()).file);
  ExpectColours(r, {
      {5, 4, kPieceFills[0]},     {15, 10, kFabricColour},  // rectangle; beside it
      {4, 16, kPieceFills[0]},    {12, 12, kPieceFills[0]},   // the copy turned half round
      {32, 10, kPieceFills[1]},   {28, 13.5, kFabricColour},  // triangle turned counterclockwise
      {20, 10, kFabricColour},    {38, 2, kFabricColour},
      {0.3, 0.3, kFabricColour},  {-0.3, -0.3, kPageColour},  // the frame's corners, inside and out
      {39.7, 0.3, kFabricColour}, {40.3, -0.3, kPageColour},
      {0.3, 24.7, kFabricColour}, {-0.3, 25.3, kPageColour},
      {39.7, 24.7, kFabricColour}, {40.3, 25.3, kPageColour},
  });
  for (const char* layer : {"page", "fabric", "outline", "internal", "notches", "names", "scale", "title"})
    EXPECT_NE(r.svg.find("<g id=\"" + std::string(layer) + "\""), std::string::npos) << layer;
  EXPECT_NE(r.svg.find("width 40, length 25, utilisation 11.8%"), std::string::npos);  // (50 + 50 + 18) / 1000
}

// A fabric of no area, or of an area so small that the share overflows, has
// no utilisation to show.
TEST(Picture, TheTitleShowsNoUtilisationWithoutAFabric) {
  for (const double length : {0.0, 1e-320, -5.0}) {
    MarkerBuilder b = TwoPieces();
    b.header->length = length;
    TempArea area;
    const std::string svg = ReadFile(Draw(area, b.Build()).file);
    EXPECT_NE(svg.find(", utilisation -</text>"), std::string::npos) << length << ": " << svg.substr(svg.rfind("<g"));
  }
}

// A marker longer than its width lies across the page, pieces where the
// marker puts them; its labels read upright (the unit of the scale bar: DemoPictures).
TEST(Picture, ALongMarkerLiesAcrossThePage) {
  MarkerBuilder b = TwoPieces();
  b.header->width = 25, b.header->length = 80;
  b.cartoons = {At(0, 8, 5), At(1, 12, 60, 90), At(0, 8, 70, 180)};
  TempArea area;
  ASSERT_EQ(StoreMarker(area.path(), "M", b.Build()), 1);
  RenderMarker("", area.path(), "M", area.File("m.svg"), "cm");
  const Rendered r = Render(area.File("m.svg"));
  ASSERT_TRUE(r.turned);
  EXPECT_GT(r.image.width, r.image.height);
  ExpectColours(r, {
      {5, 4, kPieceFills[0]},  {8, 69, kPieceFills[0]},  {14, 61, kPieceFills[1]},  // the three pieces
      {20, 30, kFabricColour}, {0.3, 79.7, kFabricColour}, {-0.5, 40, kPageColour}, {25.5, 40, kPageColour},
  });
  EXPECT_TRUE(std::regex_search(r.svg, std::regex(R"re(matrix\(0,1,1,0,0,0\)"[^>]*>RECT</text>)re")));
}

// Bad input still gives a picture of what could be read.
TEST(Picture, BadInputDrawsWhatWasRead) {
  MarkerBuilder shortCartoons = TwoPieces();
  MarkerData cut = shortCartoons.Build();
  cut.bytes.resize(cut.bytes.size() - 50);  // the last cartoon runs past the end
  MarkerBuilder notFinite = TwoPieces();
  notFinite.cartoons[2].centerX = std::nan("");
  notFinite.cartoons[1].rotation = INFINITY;
  MarkerBuilder thin = TwoPieces();
  thin.pieces[1].perimeter.resize(2);
  MarkerBuilder named = TwoPieces();
  named.names.emplace().name = "A&B<C>\"";
  named.pieces[0].head.name = "R&<D>";
  MarkerBuilder nothing;
  nothing.header.reset();

  const struct {
    const char* what;
    MarkerData data;
    size_t skipped;
    std::string err;
    std::vector<std::pair<double, double>> filled, empty;
  } cases[] = {
      {"cut", cut, 0, "MARKER.CARTOON: record runs past the end of the marker data", {{5, 4}, {32, 10}}, {{4, 16}}},
      {"not finite", notFinite.Build(), 7, "", {{5, 4}}, {{4, 16}, {32, 10}}},
      {"thin", thin.Build(), 0, "", {{5, 4}, {30, 10}}, {{29, 10}, {32, 10}}},
      {"named", named.Build(), 0, "", {{5, 4}, {32, 10}}, {}},
      {"nothing", nothing.Build(), 0, "", {}, {}},
  };
  for (const auto& c : cases) {
    TempArea area;
    const Drawn d = Draw(area, c.data);
    EXPECT_EQ(d.skipped, c.skipped) << c.what;
    EXPECT_EQ(d.err, c.err.empty() ? "" : c.err + "\n") << c.what;
    const Rendered r = Render(d.file);
    xml::Document doc;
    EXPECT_TRUE(doc.LoadUtf8(r.svg)) << c.what;
    for (auto [x, y] : c.filled) EXPECT_NE(r.At(x, y), kFabricColour) << c.what << " " << x << "," << y;
    for (auto [x, y] : c.empty) EXPECT_EQ(r.At(x, y), kFabricColour) << c.what << " " << x << "," << y;
  }
}

// A 20 by 20 square whose marks on two opposite corners turn it by -45
// degrees about the middle of its grain line (10, 10): a diamond, as the
// piece export shows it.
TEST(Picture, APieceIsDrawnAsItsDocumentShowsIt) {
  using grading::MakePoint;
  grading::PIECE piece = grading::DemoPiece();
  piece.perimeter = {MakePoint(1, 0, 0, 0, {grading::kAlignmentMark}), MakePoint(2, 200000, 0, 0),
                     MakePoint(3, 200000, 200000, 0, {grading::kAlignmentMark}), MakePoint(4, 0, 200000, 0)};
  piece.internals[0].points = {MakePoint(1, 100000, 20000, 0), MakePoint(2, 100000, 180000, 0)};  // GRAIN
  piece.internals[1].points = {MakePoint(1, 50000, 100000, 6)};                                   // a drill hole
  TempArea area;
  ASSERT_EQ(grading::StorePiece(area.path(), "SQ", piece), 1);
  RenderPiece("", area.path(), "SQ", area.File("sq.svg"));
  const Rendered r = Render(area.File("sq.svg"));
  ExpectColours(r, {{10, 22, kPieceFillColour}, {20, 10, kPieceFillColour}, {1, 1, kPiecePageColour},  // the diamond
                    {24.5, 10, kPiecePageColour}, {10, -4.5, kPiecePageColour}});
  EXPECT_NE(r.At(7, 7), kPieceFillColour) << "the grain line, turned";
  EXPECT_NE(r.At(6.46, 13.54), kPieceFillColour) << "the drill hole, turned";
  for (const char* layer : {"outline", "internal", "drill", "notches", "grain", "name", "size"})
    EXPECT_NE(r.svg.find("<g id=\"" + std::string(layer) + "\""), std::string::npos) << layer;
}

TEST(Picture, TheCommandWritesWholeFilesOrNone) {
  TempArea area;
  ASSERT_EQ(grading::StorePiece(area.path(), "FRONT", grading::DemoPiece()), 1);
  ASSERT_EQ(StoreMarker(area.path(), "M", TwoPieces().Build()), 1);
  MarkerBuilder lost = TwoPieces();
  lost.cartoons[0].centerY = INFINITY;
  ASSERT_EQ(StoreMarker(area.path(), "LOST", lost.Build()), 1);
  const std::string tool = std::string(TSLN2XML_CLI_PATH) + " render ";
  const std::string dir = " '" + area.path() + "' ";
  WriteFile(area.File("kept.svg"), "precious");
  std::filesystem::create_directory(area.File("taken.svg"));
  const struct {
    std::string args;
    int code;
    std::string message;
  } cases[] = {
      {"Marker" + dir + "M -o " + area.File("m.svg"), 0, ""},
      {"Marker" + dir + "LOST -o " + area.File("lost.svg"), 0, "Left out of the picture: 4 coordinates"},
      {"Marker" + dir + "NONE -o " + area.File("kept.svg"), 5, "No marker \"NONE\" in storage area"},
      {"Marker" + dir + "M -o " + area.File("taken.svg"), 5, "Is a directory"},
      {"Piece" + dir + "FRONT -o " + area.File("front.svg"), 0, ""},
      {"Piece" + dir + "BACK -o " + area.File("kept.svg"), 5, "No piece \"BACK\" in storage area"},
      {"SizeCode" + dir + "M -o " + area.File("kept.svg"), 7, "render draws markers and pieces"},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(RunCommand(tool + c.args, &out), c.code) << c.args << ": " << out;
    EXPECT_NE(out.find(c.message), std::string::npos) << c.args << ": " << out;
  }
  EXPECT_EQ(ReadFile(area.File("kept.svg")), "precious");
  EXPECT_NE(ReadFile(area.File("m.svg")).find("</svg>"), std::string::npos);
  for (const auto& entry : std::filesystem::directory_iterator(area.path()))
    EXPECT_NE(entry.path().extension(), ".part") << "a file left beside: " << entry.path();
}

}  // namespace
}  // namespace tsln2xml::test
