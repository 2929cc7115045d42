#include "marker/marker_svg.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <numbers>

#include "framework/exception.h"
#include "marker/marker_export.h"
#include "platform/code_page.h"
#include "platform/number_text.h"
#include "platform/paths.h"

namespace tsln2xml::marker {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ------------------------------------------------------------ the elements

const MarkerElement* Child(const MarkerElement& e, std::string_view name) {
  for (const auto& c : e.Children())
    if (c.Name() == name) return &c;
  return nullptr;
}

double Number(const std::string& text) {
  const auto v = platform::ParseDouble(text);
  return v ? *v : kNaN;
}

double ChildNumber(const MarkerElement& e, std::string_view name) {
  const MarkerElement* c = Child(e, name);
  return c ? Number(c->Text()) : kNaN;
}

double AttributeNumber(const MarkerElement& e, std::string_view name) {
  for (const auto& [key, value] : e.Attributes())
    if (key == name) return Number(value);
  return kNaN;
}

// The points of a perimeter line or an internal line.
std::vector<MarkerPicture::Point> PointsOf(const MarkerElement& line, std::string_view pointName) {
  std::vector<MarkerPicture::Point> points;
  for (const auto& p : line.Children()) {
    if (p.Name() != pointName) continue;
    const double notch = ChildNumber(p, "notchtype");
    points.push_back({AttributeNumber(p, "X"), AttributeNumber(p, "Y"), notch != 0 && !std::isnan(notch)});
  }
  return points;
}

// ------------------------------------------------------------ SVG text

// Numbers in the shortest of 7 significant digits, independent of the locale.
std::string Num(double v) {
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 7);
  return std::string(buf, res.ptr);
}

std::string Fixed1(double v) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
  return std::string(buf, res.ptr);
}

// Narrow text of the marker (code page) as escaped UTF-8 character data;
// characters that XML cannot carry become U+FFFD.
std::string Escaped(std::string_view narrow) {
  const std::string utf8 = platform::AnsiToUtf8(narrow);
  std::string out;
  for (char c : utf8) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
          out += "\xEF\xBF\xBD";
        else
          out += c;
    }
  }
  return out;
}

std::string PointList(const std::vector<MarkerPicture::Point>& points) {
  std::string s;
  for (const auto& p : points) {
    if (!s.empty()) s += ' ';
    s += Num(p.x) + "," + Num(p.y);
  }
  return s;
}

// Text drawn upright at (x, y) of the flipped drawing.
std::string TextAt(double x, double y, std::string_view escaped, std::string_view attributes = {}) {
  std::string s = "<text transform=\"translate(" + Num(x) + "," + Num(y) + ") scale(1,-1)\"";
  if (!attributes.empty()) s += ' ' + std::string(attributes);
  return s + ">" + std::string(escaped) + "</text>\n";
}

// The largest 1, 2 or 5 times a power of ten that is at most `v` (v > 0).
double RoundLength(double v) {
  const double power = std::pow(10.0, std::floor(std::log10(v)));
  for (double step : {5.0, 2.0, 1.0})
    if (step * power <= v) return step * power;
  return power;
}

double SignedArea(const std::vector<MarkerPicture::Point>& points) {
  double twice = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const auto& a = points[i];
    const auto& b = points[(i + 1) % points.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return twice / 2;
}

bool Usable(double v) { return std::isfinite(v) && std::fabs(v) <= kLargestCoordinate; }

struct Bounds {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  void Add(double x, double y) {
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
};

struct PlacedPiece {
  size_t index = 0;
  const MarkerPicture::Piece* piece = nullptr;
  std::vector<MarkerPicture::Point> outline;
  std::vector<std::vector<MarkerPicture::Point>> lines;
};

}  // namespace

void MarkerPicture::Append(MarkerElement element) {
  const std::string& name = element.Name();
  if (name == "width") {
    width_ = Number(element.Text());
  } else if (name == "length") {
    length_ = Number(element.Text());
  } else if (name == "name") {
    if (!element.Text().empty()) name_ = element.Text();
  } else if (name == "markerpiece") {
    Piece piece;
    if (const MarkerElement* n = Child(element, "name")) piece.name = n->Text();
    for (const auto& c : element.Children()) {
      if (c.Name() == "perimeterline") piece.outline = PointsOf(c, "perimeterpoint");
      if (c.Name() == "internalline") piece.lines.push_back(PointsOf(c, "internalpoint"));
    }
    pieces_.push_back(std::move(piece));
  } else if (name == "cartoon") {
    Placement placement;
    const double index = ChildNumber(element, "pieceindex");
    if (std::isfinite(index)) placement.piece = static_cast<int32_t>(index);
    if (const MarkerElement* centre = Child(element, "center")) {
      placement.centreX = AttributeNumber(*centre, "X");
      placement.centreY = AttributeNumber(*centre, "Y");
    }
    placement.rotation = ChildNumber(element, "rotation");
    placements_.push_back(placement);
  }
}

Picture MarkerPicture::Draw() const {
  Picture picture;
  auto dimension = [&](double v) {
    if (!Usable(v)) {
      ++picture.skippedValues;
      return 0.0;
    }
    return std::max(v, 0.0);
  };
  const double width = dimension(width_), length = dimension(length_);

  // Place the pieces, leaving out the points that do not come out usable.
  Bounds bounds{0, 0, width, length};
  std::vector<PlacedPiece> placed;
  for (const Placement& at : placements_) {
    if (at.piece < 0 || static_cast<size_t>(at.piece) >= pieces_.size()) continue;
    const Piece& piece = pieces_[static_cast<size_t>(at.piece)];
    Bounds own{kNaN, kNaN, kNaN, kNaN};
    if (!piece.outline.empty()) own = {piece.outline[0].x, piece.outline[0].y, piece.outline[0].x, piece.outline[0].y};
    for (const auto& p : piece.outline) own.Add(p.x, p.y);
    const double cx = std::isnan(own.minX) ? 0 : (own.minX + own.maxX) / 2;
    const double cy = std::isnan(own.minY) ? 0 : (own.minY + own.maxY) / 2;
    const double turn = at.rotation * std::numbers::pi / 180;
    const double cosT = std::cos(turn), sinT = std::sin(turn);
    auto place = [&](const std::vector<Point>& from) {
      std::vector<Point> to;
      for (const auto& p : from) {
        const double x = at.centreX + cosT * (p.x - cx) - sinT * (p.y - cy);
        const double y = at.centreY + sinT * (p.x - cx) + cosT * (p.y - cy);
        if (!Usable(x) || !Usable(y)) {
          ++picture.skippedValues;
          continue;
        }
        bounds.Add(x, y);
        to.push_back({x, y, p.notch});
      }
      return to;
    };
    PlacedPiece out{static_cast<size_t>(at.piece), &piece, place(piece.outline), {}};
    for (const auto& line : piece.lines) out.lines.push_back(place(line));
    placed.push_back(std::move(out));
  }

  // The page: the fabric and everything placed, a margin, the title above
  // and the scale bar below. E is the size that every stroke and text
  // follows.
  const double extent = std::max({bounds.maxX - bounds.minX, bounds.maxY - bounds.minY, 0.0});
  const double e = extent > 0 ? extent : 1;
  const double margin = 0.03 * e, band = 0.07 * e;
  const double pageLeft = bounds.minX - margin, pageRight = bounds.maxX + margin;
  const double pageBottom = bounds.minY - margin - band, pageTop = bounds.maxY + margin + band;
  const double pageWidth = pageRight - pageLeft, pageHeight = pageTop - pageBottom;
  const double pixels = 1200;
  const double pixelWidth = pageWidth >= pageHeight ? pixels : pixels * pageWidth / pageHeight;
  const double pixelHeight = pageWidth >= pageHeight ? pixels * pageHeight / pageWidth : pixels;

  std::string& s = picture.svg;
  s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + Num(pixelWidth) + "\" height=\"" + Num(pixelHeight) +
       "\" viewBox=\"" + Num(pageLeft) + " " + Num(-pageTop) + " " + Num(pageWidth) + " " + Num(pageHeight) + "\">\n";
  s += "<title>" + Escaped(name_) + "</title>\n";
  s += "<g transform=\"scale(1,-1)\">\n";
  s += "<g id=\"page\"><rect x=\"" + Num(pageLeft) + "\" y=\"" + Num(pageBottom) + "\" width=\"" + Num(pageWidth) +
       "\" height=\"" + Num(pageHeight) + "\" fill=\"" + kPageColour + "\"/></g>\n";
  s += "<g id=\"fabric\"><rect x=\"0\" y=\"0\" width=\"" + Num(width) + "\" height=\"" + Num(length) + "\" fill=\"" +
       kFabricColour + "\" stroke=\"#6e6a5e\" stroke-width=\"" + Num(0.002 * e) + "\"/></g>\n";

  double pieceArea = 0;
  s += "<g id=\"outline\" stroke=\"#2e2e2e\" stroke-width=\"" + Num(0.0015 * e) + "\" stroke-linejoin=\"round\">\n";
  for (const auto& p : placed) {
    const char* fill = kPieceFills[p.index % kPieceFills.size()];
    if (p.outline.size() >= 3) {
      pieceArea += std::fabs(SignedArea(p.outline));
      s += "<polygon points=\"" + PointList(p.outline) + "\" fill=\"" + fill + "\"/>\n";
    } else if (p.outline.size() == 2) {
      s += "<polyline points=\"" + PointList(p.outline) + "\" fill=\"none\"/>\n";
    } else if (p.outline.size() == 1) {
      s += "<circle cx=\"" + Num(p.outline[0].x) + "\" cy=\"" + Num(p.outline[0].y) + "\" r=\"" + Num(0.004 * e) +
           "\" fill=\"" + fill + "\"/>\n";
    }
  }
  s += "</g>\n";

  s += "<g id=\"internal\" fill=\"none\" stroke=\"#4a4a4a\" stroke-width=\"" + Num(0.001 * e) + "\">\n";
  for (const auto& p : placed) {
    for (const auto& line : p.lines) {
      if (line.size() >= 2)
        s += "<polyline points=\"" + PointList(line) + "\"/>\n";
      else if (line.size() == 1)
        s += "<circle cx=\"" + Num(line[0].x) + "\" cy=\"" + Num(line[0].y) + "\" r=\"" + Num(0.003 * e) + "\"/>\n";
    }
  }
  s += "</g>\n";

  // A notch is a short tick from its outline point into the piece.
  std::string ticks;
  for (const auto& p : placed) {
    const size_t n = p.outline.size();
    const double inward = SignedArea(p.outline) >= 0 ? 1 : -1;
    for (size_t i = 0; i < n; ++i) {
      if (!p.outline[i].notch || n < 3) continue;
      const auto& before = p.outline[(i + n - 1) % n];
      const auto& after = p.outline[(i + 1) % n];
      const double tx = after.x - before.x, ty = after.y - before.y, len = std::hypot(tx, ty);
      if (len == 0) continue;
      const double depth = 0.015 * e * inward / len;
      ticks += "M" + Num(p.outline[i].x) + " " + Num(p.outline[i].y) + "l" + Num(-ty * depth) + " " +
               Num(tx * depth);
    }
  }
  s += "<g id=\"notches\" fill=\"none\" stroke=\"#b03a2e\" stroke-width=\"" + Num(0.002 * e) + "\">";
  if (!ticks.empty()) s += "<path d=\"" + ticks + "\"/>";
  s += "</g>\n";

  s += "<g id=\"names\" font-family=\"sans-serif\" font-size=\"" + Num(0.02 * e) +
       "\" text-anchor=\"middle\" fill=\"#1a1a1a\">\n";
  for (const auto& p : placed) {
    if (p.outline.empty() || p.piece->name.empty()) continue;
    Bounds b{p.outline[0].x, p.outline[0].y, p.outline[0].x, p.outline[0].y};
    for (const auto& q : p.outline) b.Add(q.x, q.y);
    s += TextAt((b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2, Escaped(p.piece->name), "dy=\"0.35em\"");
  }
  s += "</g>\n";

  // The scale bar: a round length in the marker's units, under the fabric.
  const double bar = RoundLength(0.25 * e);
  const double barY = bounds.minY - margin - 0.03 * e, barHeight = 0.01 * e;
  s += "<g id=\"scale\" font-family=\"sans-serif\" font-size=\"" + Num(0.025 * e) + "\" fill=\"#2e2e2e\">\n";
  s += "<rect x=\"" + Num(bounds.minX) + "\" y=\"" + Num(barY) + "\" width=\"" + Num(bar) + "\" height=\"" +
       Num(barHeight) + "\"/>\n";
  s += TextAt(bounds.minX, barY - 0.03 * e, "0", "text-anchor=\"middle\"");
  s += TextAt(bounds.minX + bar, barY - 0.03 * e, Num(bar), "text-anchor=\"middle\"");
  s += TextAt(bounds.minX + bar + 0.02 * e, barY, "marker units");
  s += "</g>\n";

  const double fabricArea = width * length;
  const std::string utilisation = fabricArea > 0 && std::isfinite(fabricArea)
                                      ? Fixed1(100 * pieceArea / fabricArea) + "%"
                                      : std::string("none");
  s += "<g id=\"title\" font-family=\"sans-serif\" font-size=\"" + Num(0.035 * e) + "\" fill=\"#1a1a1a\">\n";
  s += TextAt(bounds.minX, bounds.maxY + margin + 0.025 * e,
              Escaped(name_) + " - width " + Num(width) + ", length " + Num(length) + ", utilisation " + utilisation);
  s += "</g>\n</g>\n</svg>\n";
  return picture;
}

size_t RenderMarker(std::string_view areaRoot, std::string_view areaName, std::string_view markerName,
                    const std::string& svgFileName) {
  const std::string_view name = markerName.substr(0, kMaxMarkerName);
  MarkerWriter writer(platform::StoragePath(areaRoot, areaName), name);
  writer.Load();
  MarkerPicture picture{std::string(name)};
  writer.Walk(picture);
  Picture drawn = picture.Draw();
  WriteFileReplacing(svgFileName, drawn.svg);
  return drawn.skippedValues;
}

void WriteFileReplacing(const std::string& path, std::string_view bytes) {
  namespace fs = std::filesystem;
  auto fail = [](int error) -> void {
    throw Tsln2XmlException(kItemOpenFailure, error, "could not write output file");
  };
  const fs::path target(platform::HostPath(path));
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  // A name of our own beside the target, created exclusively; the mode
  // follows the umask as the target's would.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = (dir / ("." + target.filename().string() + "." + std::to_string(getpid()) + "-" +
                   std::to_string(attempt) + ".part"))
               .string();
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) fail(errno);
  }
  int error = 0;
  for (size_t done = 0; done < bytes.size() && error == 0;) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) done += static_cast<size_t>(n);
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temp.c_str());
    fail(error);
  }
}

}  // namespace tsln2xml::marker
