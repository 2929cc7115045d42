#pragma once
// MarkerWriter: opens a marker through the marker files of the storage area,
// reads its data whole, and walks its record directory, appending one element
// per record entry to a sink in the order of the record kinds.
//
// A failure inside the walk (a record that runs past the data, an invalid
// size id type, ...) ends the walk: its message goes to the error stream, the
// elements appended so far stay, and the walk returns normally. Kinds that are
// not converted print one line on the standard output.
//
// Every read of the marker data goes through a bounds-checked cursor, and the
// number of elements a walk may produce is bounded by the size of the data
// (records shared through the piece offset table or the dynamic alteration
// positions could otherwise multiply it without end).

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "marker/marker_element.h"
#include "marker/marker_header_records.h"
#include "platform/byte_cursor.h"

namespace tsln2xml::marker {

// Receives the children of the root element, one at a time.
class ElementSink {
 public:
  virtual ~ElementSink() = default;
  virtual void Append(MarkerElement element) = 0;
};

// Collects the children into a root element (tests, small markers).
class TreeSink : public ElementSink {
 public:
  explicit TreeSink(MarkerElement root) : root_(std::move(root)) {}
  void Append(MarkerElement element) override { root_.AppendChild(std::move(element)); }
  const MarkerElement& Root() const { return root_; }

 private:
  MarkerElement root_;
};

class MarkerWriter {
 public:
  // The storage area designation and the marker name are used as given.
  MarkerWriter(std::string_view storageDesignation, std::string_view markerName);

  // The root element: "marker" with its version.
  const MarkerElement& Root() const { return root_; }

  // Opens the marker, reads its data whole and closes it: code 5 "Error
  // opening marker" with the open status as secondary code.
  void Load();
  // Takes marker data as read from a marker file whose data started at file
  // position `basePosition` (tests and fuzzing).
  void UseData(std::vector<uint8_t> data, int32_t basePosition);
  // Walks the loaded data into `sink`.
  void Walk(ElementSink& sink);
  // Load, then Walk.
  void ReadMarker(ElementSink& sink);

 private:
  void ReadDirectory();
  // A cursor at the start of a record kind; a kind whose position is outside
  // the data fails with `kindName`.
  platform::ByteCursor At(int kind, const std::string& kindName) const;
  void Emit(MarkerElement element);
  void Console(const char* text, std::optional<int32_t> count) const;

  void WriteHeader();
  void WriteNames();
  void WriteNotches();
  void WriteLayLimits();
  void WriteAnnotations();
  void WriteBlockBuffers();
  void WriteSegments();
  void WriteMatchingRules();
  void WriteSpecialPieceNumbers();
  void WriteModelNames();
  void WriteBundles();
  void WritePieces();
  void WriteOrderModels();
  void WriteCutdowns();
  void WriteDynamicAlterations();
  void IgnoreRecord() {}
  void WriteCartoons();
  void WritePointMap();
  void WriteLayLimitExtensions();

  // Entries of a fixed-size record kind, each decoded and emitted as one
  // element called `elementName`.
  template <class Record, class Layout>
  void WriteFixedEntries(int kind, const std::string& kindName, int32_t count, const char* elementName,
                         Layout layout);

  std::string storageDesignation_;
  std::string markerName_;
  MarkerElement root_{"marker"};
  std::vector<uint8_t> buffer_;
  int64_t basePosition_ = 0;
  // Record positions as buffer offsets; nullopt for kinds the marker lacks.
  std::array<std::optional<int64_t>, 40> directory_{};
  MarkerHeader header_;
  ElementSink* sink_ = nullptr;
  size_t budget_ = 0;  // elements the walk may still produce
  std::string kindName_;
};

}  // namespace tsln2xml::marker
