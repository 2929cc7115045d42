// libFuzzer harness for the marker walk: the input is marker data in its
// position-independent form (as `tsln2xml raw get Marker` writes it). The walk
// must end without reading past the data, the document written from
// whatever it produced must be well-formed, and the marker's DXF (from the
// same walk's placement) a text the readers take.
//
// Seeds come from the builder:
//   build/tsln2xml demo-marker /tmp/area DEMO
//   build/tsln2xml raw get Marker /tmp/area DEMO corpus/demo
// Build with clang: cmake -B build-fuzz -DTSLN2XML_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++

#include <bit>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "dxf/marker_dxf.h"
#include "fuzz/dxf_check.h"
#include "marker/marker_output.h"
#include "marker/marker_writer.h"
#include "xml/libxml.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The walk's diagnostic lines would drown the fuzzer's own output.
  std::cout.setstate(std::ios::failbit);
  std::cerr.setstate(std::ios::failbit);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tsln2xml::marker;
  MarkerWriter writer("fuzz", "FUZZ");
  writer.UseData(std::vector<uint8_t>(data, data + size), 0);
  std::u16string text;
  MarkerTextWriter output([&text](std::u16string_view piece) { text += piece; });
  output.WriteDeclaration({{"encoding", "UTF-16"}});
  StreamingSink sink(output, writer.Root());
  writer.Walk(sink);
  sink.Finish();

  // The text as UTF-16LE bytes behind a byte-order mark, copied whole.
  static_assert(std::endian::native == std::endian::little);
  std::string bytes(2 + 2 * text.size(), '\0');
  bytes[0] = '\xFF';
  bytes[1] = '\xFE';
  std::memcpy(bytes.data() + 2, text.data(), 2 * text.size());
  if (!tsln2xml::xml::ParseUntrusted(bytes.data(), bytes.size(), nullptr)) std::abort();

  MarkerWriter again("fuzz", "FUZZ");
  again.UseData(std::vector<uint8_t>(data, data + size), 0);
  MarkerPlan plan("FUZZ");
  again.Walk(plan);
  const PlacedMarker placed = plan.Place();
  for (const auto unit : {tsln2xml::dxf::Unit::kCentimetre, tsln2xml::dxf::Unit::kInch}) {
    size_t replaced = 0;
    tsln2xml::fuzz::CheckDxfExport([&] { return tsln2xml::dxf::BuildMarkerDxf(placed, unit, replaced); });
  }
  return 0;
}
