#include "xml/svg_text.h"

#include <charconv>
#include <cmath>

#include "platform/code_page.h"

namespace tsln2xml::xml {

std::string SvgNumber(double v) {
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 7);
  return std::string(buf, res.ptr);
}

std::string SvgEscaped(std::string_view narrow) {
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

namespace {

// The page's own turn undone for a label: the flip, or the flip and the
// quarter turn (its own inverse).
std::string Label(double x, double y, std::string_view escaped, std::string_view attributes, bool turned) {
  std::string s = "<text transform=\"translate(" + SvgNumber(x) + "," + SvgNumber(y) +
                  (turned ? ") matrix(0,1,1,0,0,0)\"" : ") scale(1,-1)\"");
  if (!attributes.empty()) s += ' ' + std::string(attributes);
  return s + ">" + std::string(escaped) + "</text>\n";
}

}  // namespace

std::string SvgLabel(double x, double y, std::string_view escaped, std::string_view attributes) {
  return Label(x, y, escaped, attributes, false);
}

double SvgRoundLength(double v) {
  const double power = std::pow(10.0, std::floor(std::log10(v)));
  for (double step : {5.0, 2.0, 1.0})
    if (step * power <= v) return step * power;
  return power;
}

SvgPage::SvgPage(const SvgBounds& drawing, double bandAbove, double bandBelow, bool turned)
    : drawing_(drawing), turned_(turned) {
  const double extent = std::max(drawing.maxX - drawing.minX, drawing.maxY - drawing.minY);
  extent_ = extent > 0 ? extent : 1;
  margin_ = 0.03 * extent_;
  if (turned_)
    page_ = {drawing.minX - margin_ - bandAbove * extent_, drawing.minY - margin_,
             drawing.maxX + margin_ + bandBelow * extent_, drawing.maxY + margin_};
  else
    page_ = {drawing.minX - margin_, drawing.minY - margin_ - bandBelow * extent_, drawing.maxX + margin_,
             drawing.maxY + margin_ + bandAbove * extent_};
}

std::string SvgPage::Label(double x, double y, std::string_view escaped, std::string_view attributes) const {
  return xml::Label(x, y, escaped, attributes, turned_);
}

std::pair<double, double> SvgPage::TitleAt() const {
  if (turned_) return {drawing_.minX - margin_ - 0.015 * extent_, drawing_.minY};
  return {drawing_.minX, drawing_.maxY + margin_ + 0.025 * extent_};
}

std::string SvgPage::Begin(std::string_view escapedTitle, const char* background) const {
  // The page's size and its top left corner as the picture shows them.
  const double width = turned_ ? page_.maxY - page_.minY : page_.maxX - page_.minX;
  const double height = turned_ ? page_.maxX - page_.minX : page_.maxY - page_.minY;
  const double left = turned_ ? page_.minY : page_.minX, top = turned_ ? page_.minX : -page_.maxY;
  const double pixels = 1200;
  const double pixelWidth = width >= height ? pixels : pixels * width / height;
  const double pixelHeight = width >= height ? pixels * height / width : pixels;
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + SvgNumber(pixelWidth) + "\" height=\"" +
       SvgNumber(pixelHeight) + "\" viewBox=\"" + SvgNumber(left) + " " + SvgNumber(top) + " " + SvgNumber(width) +
       " " + SvgNumber(height) + "\">\n";
  s += "<title>" + std::string(escapedTitle) + "</title>\n";
  s += turned_ ? "<g transform=\"matrix(0,1,1,0,0,0)\">\n" : "<g transform=\"scale(1,-1)\">\n";
  s += "<g id=\"page\"><rect x=\"" + SvgNumber(page_.minX) + "\" y=\"" + SvgNumber(page_.minY) + "\" width=\"" +
       SvgNumber(page_.maxX - page_.minX) + "\" height=\"" + SvgNumber(page_.maxY - page_.minY) + "\" fill=\"" +
       background + "\"/></g>\n";
  return s;
}

std::string SvgPage::ScaleBar(std::string_view unit) const {
  const double e = extent_, bar = SvgRoundLength(0.25 * e);
  std::string s = "<g id=\"scale\" font-family=\"sans-serif\" font-size=\"" + SvgNumber(0.025 * e) +
                  "\" fill=\"#2e2e2e\">\n";
  if (turned_) {
    // Along y, under the drawing as the page shows it.
    const double x = drawing_.maxX + margin_ + 0.02 * e, y = drawing_.minY;
    s += "<rect x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" width=\"" + SvgNumber(0.01 * e) +
         "\" height=\"" + SvgNumber(bar) + "\"/>\n";
    s += Label(x + 0.04 * e, y, "0", "text-anchor=\"middle\"");
    s += Label(x + 0.04 * e, y + bar, SvgNumber(bar), "text-anchor=\"middle\"");
    s += Label(x + 0.01 * e, y + bar + 0.02 * e, SvgEscaped(unit));
    return s + "</g>\n";
  }
  const double x = drawing_.minX, y = drawing_.minY - margin_ - 0.03 * e;
  s += "<rect x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" width=\"" + SvgNumber(bar) + "\" height=\"" +
       SvgNumber(0.01 * e) + "\"/>\n";
  s += SvgLabel(x, y - 0.03 * e, "0", "text-anchor=\"middle\"");
  s += SvgLabel(x + bar, y - 0.03 * e, SvgNumber(bar), "text-anchor=\"middle\"");
  s += SvgLabel(x + bar + 0.02 * e, y, SvgEscaped(unit));
  return s + "</g>\n";
}

}  // namespace tsln2xml::xml
