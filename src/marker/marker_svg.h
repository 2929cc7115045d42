#pragma once
// Pictures of markers: an SVG drawing of the fabric and of the pieces placed
// on it, made from the elements that the marker walk produces, so the
// picture shows exactly the geometry that the XML export writes.
//
// The drawing keeps the marker's own coordinates: x runs across the fabric
// from 0 to its width, y along it from 0 to its length, and y grows upwards.
// One viewBox and one flip (a group with scale(1,-1)) map them onto the
// picture; a marker longer than it is wide is shown turned a quarter
// clockwise instead (a group with matrix(0,1,1,0,0,0)), its length running
// to the right. Every layer is a group of its own (page, fabric, outline,
// internal, notches, names, scale, title) so that an editor can switch them.
// A piece's label, its name over its size, is sized to fit the piece's
// bounding box.
// Shapes carry the meaning; text is decoration and the picture is right
// whatever fonts are installed.
//
// Pieces are placed as placed_marker.h describes.

#include <array>
#include <cstdint>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "marker/marker_writer.h"
#include "marker/placed_marker.h"

namespace tsln2xml::marker {

// The colours of the picture: a piece record's fill is kPieceFills[index % 12],
// so every placed copy of one piece in one size has the same colour.
inline constexpr const char* kPageColour = "#ffffff";
inline constexpr const char* kFabricColour = "#f2eedf";
inline constexpr std::array<const char*, 12> kPieceFills = {
    "#7fb3d5", "#f5b041", "#82e0aa", "#f1948a", "#bb8fce", "#f7dc6f",
    "#76d7c4", "#e59866", "#aeb6bf", "#85c1e9", "#d98880", "#a9dfbf"};

struct Picture {
  std::string svg;          // the SVG document, UTF-8
  size_t skippedValues = 0; // coordinates and sizes left out: not finite, or beyond kLargestCoordinate
};

// Receives the walk's elements (through MarkerPlan) and draws the placed
// pieces.
class MarkerPicture : public ElementSink {
 public:
  // `itemName` titles the picture when the marker holds no name of its own.
  // The scale bar names `unit`.
  explicit MarkerPicture(std::string itemName, std::string unit = "units")
      : plan_(std::move(itemName)), unit_(std::move(unit)) {}
  void Append(MarkerElement element) override { plan_.Append(std::move(element)); }
  Picture Draw() const;

 private:
  MarkerPlan plan_;
  std::string unit_;
};

// Reads the marker of a storage area as the marker export does (the same
// storage path and name rules) and writes its picture to `svgFileName`.
// The file is written beside and renamed into place, so a failure leaves
// no partial file and an existing file as it was. Failures throw
// Tsln2XmlException with code 5: "Error opening marker" (secondary: the
// open status), "could not write output file" (secondary: errno).
// Returns the number of coordinates left out of the picture. The scale bar
// names `unit`.
size_t RenderMarker(std::string_view areaRoot, std::string_view areaName, std::string_view markerName,
                    const std::string& svgFileName, std::string_view unit = "units");

}  // namespace tsln2xml::marker
