// The large documents of the benchmarks, one generator per data type: each
// builds its item from the builders (or imports a document written here) into
// a storage area. The benchmarks use them one by one; `tsln2xml_bench
// --generate AREA` stores all of them for bench/compare.sh.

#include "bench/documents.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <random>
#include <stdexcept>

#include "core/data_types.h"
#include "marker/marker_builder.h"
#include "platform/byte_order.h"
#include "platform/code_page.h"
#include "store/catalog.h"
#include "store/piece_builder.h"
#include "tsln2xml/tsln2xml.h"

namespace tsln2xml::bench {

std::vector<uint8_t> SizeCodeLibrary(int entries, int alterations) {
  std::vector<uint8_t> bytes;
  auto i16 = [&](int16_t v) { bytes.push_back(static_cast<uint8_t>(v)); bytes.push_back(static_cast<uint8_t>(v >> 8)); };
  auto text = [&](const std::string& s, size_t n) { for (size_t i = 0; i < n; ++i) bytes.push_back(i < s.size() ? s[i] : 0); };
  i16(static_cast<int16_t>(entries));
  for (int e = 0; e < entries; ++e) {
    text("A" + std::to_string(e), 6);
    text("O" + std::to_string(e), 6);
    i16(static_cast<int16_t>(alterations));
    for (int a = 0; a < alterations; ++a) {
      text("ALT" + std::to_string(a), 10);
      const int32_t amount = (e * 7 + a * 13) * 125;
      for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(amount >> (8 * k)));
    }
  }
  return bytes;
}

std::vector<uint8_t> RuleTable() {
  std::vector<uint8_t> b;
  auto le = [&](int64_t v, int width) {
    for (int i = 0; i < width; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto text = [&](const std::string& s, size_t n) {
    for (size_t i = 0; i < n; ++i) b.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
  };
  const int sizes = kBreaks + 1;
  text("Benchmark table", 40);
  text("2,000 rules", 40);
  le(sizes, 2), le(kBreaks, 2), le(sizes / 2, 2), le(0, 1), le(2, 1), le(kRules, 2);
  for (int s = 0; s < sizes; ++s) le(2 + 2 * s, 2), le(0, 6), le(s % 2, 1), le(0, 1);
  std::vector<int> ids(kRules);
  std::iota(ids.begin(), ids.end(), 1);
  std::shuffle(ids.begin(), ids.end(), std::mt19937(20261206));
  for (int id : ids) {
    le(id, 2);
    text(id % 3 ? "S12 " : "LEZ ", 4);
    le(1, 1);
    text("RULE " + std::to_string(id), 18);
    le(0, 1);
    for (int k = 0; k <= kBreaks; ++k) le(id * 125 + k * 3, 4), le(-id * 62 - k, 4);
  }
  return b;
}

grading::PIECE LargePiece() {
  using grading::MakePoint;
  grading::PIECE p = grading::DemoPiece();
  p.perimeter.clear();
  const double rx = 800000, ry = 500000;
  for (int i = 0; i < kPiecePoints; ++i) {
    const double a = 2 * M_PI * i / kPiecePoints;
    const uint8_t type = i == kPiecePoints - 1 ? grading::kClosurePoint : i % 10 == 0 ? 0 : grading::kSmoothPoint;
    std::vector<uint8_t> attributes;
    if (i == 0 || i == kPiecePoints / 8) attributes.push_back(grading::kAlignmentMark);
    p.perimeter.push_back(MakePoint(static_cast<int16_t>(i + 1), static_cast<int32_t>(rx * std::cos(a)),
                                    static_cast<int32_t>(ry * std::sin(a)), type, attributes));
  }
  p.internals.clear();
  for (int l = 0; l < kInternals; ++l) {
    grading::PieceInternal line;
    line.id = static_cast<int16_t>(l + 1);
    line.type = 1;
    for (int i = 0; i < 10; ++i)
      line.points.push_back(MakePoint(static_cast<int16_t>(i + 1), -400000 + 80000 * i, -300000 + 3000 * l, 6));
    if (l % 4 == 0) {
      line.lineName.emplace();
      line.lineName->name.FromText("LINE" + std::to_string(l), Tessaline::kAsIs);
      line.lineName->startX = 12345 * l;
    }
    p.internals.push_back(std::move(line));
  }
  p.nextPointId = kPiecePoints + 1;
  p.nextInternalId = kInternals + 1;
  return p;
}

std::string AnnotationDocument() {
  std::string xml = R"(<Annotation xmlns="urn:tsln2xml:data/Annotation" Name="BIG" Comment1="BENCHMARK" Comment2="">)";
  for (int e = 0; e < 2000; ++e) {
    xml += "<Entry Category=\"CAT" + std::to_string(e) + "\">";
    xml += R"(<OrderFixed Format="PieceName" Start="1" End="20"/><Order Format="NewLine"/>)";
    xml += R"(<OrderVariable Format="Constant"><Text>SIZE</Text></OrderVariable><OrderFixed Format="PieceSize" Start="1" End="6"/>)";
    xml += R"(<Order Format="NewLine"/><OrderSymbol Format="Symbol" Number="3" Height="12"/>)";
    xml += R"(<OrderFixed Format="Bundle" Start="1" End="3"/><Order Format="Date"/>)";
    xml += R"(<OrderVariable Format="Constant"><Text>LOT )" + std::to_string(e) + R"(</Text></OrderVariable><Order Format="LeftRight"/>)";
    xml += "</Entry>";
  }
  return xml + "</Annotation>";
}

std::string MatchingDocument() {
  std::string xml = R"(<Matching xmlns="urn:tsln2xml:data/Matching" Name="BIG" Comment1="BENCHMARK" Comment2="">)";
  for (int r = 0; r < 5000; ++r) {
    const std::string n = std::to_string(r % 30000);
    xml += "<Rule Number=\"" + n + R"(" Comment="RULE )" + n + R"(" Target="Piece">)";
    xml += R"(<Plaid Type="Same" Repeat="1"><Offset Amount="0.5" Units="Distance"/></Plaid>)";
    xml += R"(<Stripe Type="SymmetricCentered" Repeat="0"><Offset Amount="12.5" Units="Percentage"/></Stripe>)";
    xml += R"(<Point Category="FRONT" Number=")" + n + R"("/><Point Category="POCKET" Number="1"/></Rule>)";
  }
  return xml + "</Matching>";
}

std::string ModelEntry(int n) {
  static const char* const kinds[] = {R"(Operation="Add" PieceType="Normal")", R"(Operation="Add" PieceType="Paste")",
                                      R"(Operation="Remove" PieceType="Normal")"};
  return R"(<Entry Condition="GreaterThan" Size="M" )" + std::string(kinds[n % 3]) + R"( PieceName="PIECE)" +
         std::to_string(n) + R"(" FabricType="SL" CountAsInput="1" CountMirrorX="1" CountMirrorY="0" CountMirrorXY="0")"
         R"( HalfPiece="Same" DynamicSplitLimit="2" AddPiece="true" ShrinkX="1.5" ShrinkY="0.25"/>)";
}

std::string ModelDocument() {
  std::string xml = R"(<Model xmlns="urn:tsln2xml:data/Model" Name="BIG" Comment1="BENCHMARK" Comment2=""
      ShrinkStretchMeasure="Percentage" AlterationName="STANDARD" BlockBufferName="PLAIDS" LayLimitName="STANDARD"
      SizeCodeName="MISSES"><DefaultOption>O1</DefaultOption>)";
  for (int e = 0; e < 5000; ++e) xml += ModelEntry(e);
  for (int o = 0; o < 50; ++o) {
    xml += "<Option Name=\"O" + std::to_string(o) + "\">";
    for (int e = 0; e < 20; ++e) xml += ModelEntry(o * 20 + e);
    xml += "</Option>";
  }
  return xml + "</Model>";
}

std::string OrderDocument() {
  std::string xml = R"(<Order xmlns="urn:tsln2xml:data/Order" Name="BIG" MarkerName="BIG" Description="BENCHMARK"
      Number="1" LayLimitName="STANDARD" AnnotationName="LABELS" BlockBufferName="PLAIDS" BlockFuseName=""
      NotchEnvironmentName="STANDARD" MatchingName="PLAIDS" LayRuleName="" FiveStarMatching="false" Width="60"
      TargetLength="250.5" TargetUtilization="85" LayRuleType="Search" ShrinkStretchUsage="Order" EntryAnnotation="true">
      <Plaid Repeat="2.5" Offset="0.5"/><Stripe Repeat="1.25" Offset="0"/><ShrinkStretch X="0" Y="0"/>)";
  for (int m = 0; m < 200; ++m) {
    xml += "<Model Name=\"MODEL" + std::to_string(m) +
           R"(" SizeCodeName="MISSES" AlterationName="STANDARD" DynamicAlterationName="" Fabric="S" AddPieceBundle="true">)";
    xml += R"(<Option Name="LONG"/><Option Name="CUFF"/>)";
    for (int e = 0; e < 100; ++e)
      xml += "<Entry Size=\"S" + std::to_string(e) + R"(" BaseSize="M" Quantity=")" + std::to_string(e + 1) +
             R"(" CutDown="" HalfPiece="" PieceDirection="Left" Message="LOT )" + std::to_string(e) + "\"/>";
    xml += "</Model>";
  }
  return xml + "</Order>";
}

std::string CutDocument() {
  std::string xml = R"(<Cut xmlns="urn:tsln2xml:data/Cut" Name="BIG"><NCData>)";
  xml.reserve(kNcBytes + kNcBytes / 8);
  for (int i = 0; xml.size() < kNcBytes; ++i)
    xml += "N" + std::to_string(i) + " G01 X" + std::to_string(i % 6000) + ".125 Y" + std::to_string(i % 1500) +
           ".5&#13;\n";
  xml += R"(*M0*</NCData><Report MarkerName="BIG" OrderNumber="" Description="" M20="" ClothWidth="60"
    ClothLength="900" Labeler="1" OpStop="0" CutParam="" NotchParam="" EstTimeM="" EstTimeS="" Complete="1"
    Utilization="80" PieceArea="0" PlaidRepeat="0" PlaidOffset="0" StripeRepeat="0" StripeOffset="0"
    TotalPerimeter="0" TotalStraightPerimeter="0" TotalCurvedPerimeter="0" TotalInternalLength="0"
    TotalStraightInternalLength="0" TotalCurvedInternalLength="0" LayLimits="" Matching="" Annotation=""
    BlockBuffer="" Notch1Ct="0" Notch2Ct="0" Notch3Ct="0" Notch4Ct="0" Notch5Ct="0" TotalSizes="0"/>)";
  return xml + "<LabellerData/></Cut>";
}

namespace {

class Bytes {
 public:
  template <class T>
  Bytes& Put(T value) {
    bytes_.resize(bytes_.size() + sizeof(T));
    tsln2xml::platform::StoreLE<T>(bytes_.data() + bytes_.size() - sizeof(T), value);
    return *this;
  }
  Bytes& Head(uint16_t tag, uint16_t size) { return Put(tag).Put(size); }
  Bytes& Zeros(size_t n) {
    bytes_.resize(bytes_.size() + n);
    return *this;
  }
  Bytes& Text(const std::string& text, size_t width) {
    const size_t at = bytes_.size();
    Zeros(width);
    std::copy_n(text.begin(), std::min(text.size(), width), bytes_.begin() + static_cast<ptrdiff_t>(at));
    return *this;
  }
  Bytes& PatchI32(size_t at, int32_t value) {
    tsln2xml::platform::StoreLE<int32_t>(bytes_.data() + at, value);
    return *this;
  }
  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

// In the writer's form, so that the import gives the same bytes back.
std::vector<uint8_t> LargePlot() {
  Bytes b;
  b.Head(0xEFBE, 140).Text("GENPTV1", 8).Text("BENCH", 21).Zeros(50 - 29).Put<int16_t>(0).Put<int16_t>(0);
  b.Put<int16_t>(kPlotPieces).Zeros(120 - 56);
  for (int i = 0; i < 5; ++i) b.Put<int32_t>(-1);
  b.Head(0x01FF, 0).Head(0x02FF, 0);
  b.PatchI32(4 + 128, static_cast<int32_t>(b.size()));
  b.Head(0x0300, kPlotPieces * 20);
  for (int p = 0; p < kPlotPieces; ++p) b.Put<int32_t>(p * 1000).Put<int32_t>(0).Put<int32_t>(p * 1000 + 900).Put<int32_t>(50000).Put<int32_t>(p);
  for (int p = 0; p < kPlotPieces; ++p) {
    b.Head(0x0401, 0).Head(0x0304, 10).Put<uint16_t>(1).Put<int32_t>(p * 1000).Put<int32_t>(0);
    b.Head(0x0301, static_cast<uint16_t>((4 + 10 * kPlotPoints) & 0xFFFF)).Put<uint16_t>(1).Put<uint16_t>(kPlotPoints);
    for (int i = 0; i < kPlotPoints; ++i) b.Put<int32_t>(p * 1000 + i % 900).Put<int32_t>(i * 50).Put<uint16_t>(i % 7 == 0);
    b.Head(0x03FF, 0);
  }
  b.Head(0x05FF, 0);
  b.PatchI32(4 + 136, static_cast<int32_t>(b.size()));
  b.Head(0x0600, 146).Text("BENCH", 21).Zeros(146 - 21);
  b.Head(0x0601, 406).Zeros(406).Head(0x06FF, 0).Head(0xFFFF, 0);
  return b.bytes();
}

// Rules named RULE<n>, each over eight to twenty-four stretches of the outline;
// the amounts are whole eighths (1/1000 units), positive and negative.
std::vector<uint8_t> LargeAlteration() {
  Bytes b;
  b.Put<int16_t>(kAlterationRules);
  for (int r = 0; r < kAlterationRules; ++r) {
    const int items = 8 + r % 17;
    b.Text("RULE" + std::to_string(r), 10).Put<uint8_t>(static_cast<uint8_t>(r % 3)).Zeros(1);
    b.Put<int16_t>(static_cast<int16_t>(items));
    for (int i = 0; i < items; ++i) {
      const int first = 1 + (r + 3 * i) % 400;
      b.Put<uint8_t>(static_cast<uint8_t>((r + i) % 5)).Zeros(1);
      b.Put<int16_t>(static_cast<int16_t>(first)).Put<int16_t>(static_cast<int16_t>(first + 1 + i % 9));
      b.Put<int32_t>(((r * 7 + i * 13) % 41 - 20) * 125).Put<int32_t>(((r * 5 + i * 11) % 33 - 16) * 125);
    }
  }
  return b.bytes();
}

// Numbered rules, block and buffer in turn; one amount in seven is zero (and
// so left out of the document, with units 0 as the writer stores it).
std::vector<uint8_t> LargeBlockBuffer() {
  Bytes b;
  b.Text("BENCHMARK", 20).Text(std::to_string(kBlockBufferRules) + " RULES", 20).Put<int16_t>(kBlockBufferRules);
  for (int r = 0; r < kBlockBufferRules; ++r) {
    b.Put<int16_t>(static_cast<int16_t>(r + 1)).Put<uint8_t>(static_cast<uint8_t>(r % 2)).Zeros(1);
    for (int k = 0; k < 10; ++k) {
      const bool zero = (r + k) % 7 == 0;
      const uint8_t units = zero ? 0 : static_cast<uint8_t>((r + k) % 3);
      b.Put<int32_t>(zero ? 0 : (r % 50 + k + 1) * 625).Put<uint8_t>(units).Zeros(1);
    }
    b.Zeros(70 - 64);  // the record's unused tail
  }
  return b.bytes();
}

// Categories CAT<n> with every flip code, option flags and tilts that vary;
// the entry record keeps the smaller tilt and the tilt records both.
std::vector<uint8_t> LargeLayLimit() {
  Bytes b;
  b.Text("BENCHMARK", 20).Text(std::to_string(kLayLimitEntries) + " CATEGORIES", 20);
  b.Put<uint8_t>(1).Put<uint8_t>(2).Put<int16_t>(kLayLimitEntries);
  auto cw = [](int e) { return (e % 40) * 625; };
  auto ccw = [](int e) { return (e % 24) * 1250; };
  for (int e = 0; e < kLayLimitEntries; ++e) {
    b.Text("CAT" + std::to_string(e), 20).Put<uint16_t>(static_cast<uint16_t>((e * 37) << 4));
    b.Put<uint8_t>(static_cast<uint8_t>(1 + e % 12)).Zeros(1).Put<int16_t>(static_cast<int16_t>(e % 300));
    b.Put<int32_t>(std::min(cw(e), ccw(e))).Put<uint8_t>(static_cast<uint8_t>(e % 2)).Zeros(1);
  }
  for (int e = 0; e < kLayLimitEntries; ++e) b.Put<int32_t>(cw(e)).Put<int32_t>(ccw(e));
  return b.bytes();
}

std::vector<uint8_t> LargePieceList() {
  static const char* const kinds[] = {"FRONT", "BACK", "SLEEVE", "CUFF", "COLLAR", "POCKET", "YOKE"};
  Bytes b;
  b.Text("BENCHMARK", 40).Text(std::to_string(kPieceListNames) + " PIECE NAMES", 40).Put<int16_t>(kPieceListNames);
  for (int n = 0; n < kPieceListNames; ++n) b.Text(std::string(kinds[n % 7]) + "-" + std::to_string(n), 20);
  return b.bytes();
}

// A closed outline of an ellipse-like piece with grade points, notches,
// options and ids here and there, as marker pieces have them.
namespace {

marker::PieceInput MakePiece(int shape) {
  marker::PieceInput p;
  const double rx = 80000 + 4000 * shape, ry = 50000 + 2500 * shape;
  for (int i = 0; i < kMarkerPoints; ++i) {
    const double a = 2 * M_PI * i / kMarkerPoints;
    marker::PointInput point{.x = static_cast<int32_t>(rx * std::cos(a)), .y = static_cast<int32_t>(ry * std::sin(a))};
    point.type = i % 10 == 0 ? 0 : 3;
    if (i % 50 == 0) point.id = static_cast<uint16_t>(i);
    if (i % 100 == 25) point.notchType = 1;
    if (i % 100 == 0) point.option = 13;
    p.perimeter.push_back(point);
  }
  for (int l = 0; l < kMarkerLines; ++l) {
    marker::LineInput line{.type = static_cast<uint8_t>(l + 1), .id = static_cast<int16_t>(l)};
    for (int i = 0; i < kMarkerLinePoints; ++i)
      line.points.push_back({.x = -40000 + 3000 * i, .y = -30000 + 15000 * l + 200 * i, .type = 6});
    p.lines.push_back(line);
  }
  return p;
}

}  // namespace

marker::MarkerData LargeMarker() {
  marker::MarkerBuilder b;
  b.header->width = 60;
  b.header->expandedNotchTable = 1;
  b.names.emplace().name = "BENCH";
  std::vector<std::vector<uint8_t>> blocks;
  for (int s = 0; s < kMarkerShapes; ++s) {
    const marker::PieceInput shape = MakePiece(s);
    blocks.push_back(marker::EncodePieceGeometry(shape.perimeter, shape.lines, 1));
  }
  b.fillCounts = false;
  b.header->pieceCount = kMarkerPieces;
  b.header->cartoonCount = kMarkerPieces;
  for (int i = 0; i < kMarkerPieces; ++i) {
    marker::PieceInput piece;
    piece.head.name = "PIECE" + std::to_string(i);
    piece.head.description = "Benchmark piece";
    piece.head.perimeterCount = kMarkerPoints;
    piece.head.lineCount = kMarkerLines;
    piece.head.area = 250.5 + i;
    piece.head.numericSize = static_cast<int16_t>(30 + i % 20);
    piece.geometry = blocks[static_cast<size_t>(i % kMarkerShapes)];
    piece.head.geometryLength = static_cast<uint16_t>(piece.geometry->size());
    b.pieces.push_back(std::move(piece));
    marker::Cartoon c;
    c.pieceIndex = static_cast<int16_t>(i);
    c.centerX = 10.0 + (i % 40) * 17.25;
    c.centerY = 12.5 + (i / 40) * 11.75;
    c.rotation = static_cast<float>((i % 4) * 90);
    c.area = 250.5 + i;
    c.pointCount = kMarkerPoints;
    b.cartoons.push_back(c);
  }
  return b.Build();
}

namespace {

bool PutItem(const std::string& area, int16_t code, const std::string& name, const std::vector<uint8_t>& bytes) {
  store::Catalog catalog;
  return store::Catalog::OpenForWriting(area + "/" + CatalogFileName(code), catalog) == store::CatalogStatus::kOk &&
         catalog.Put(name, bytes, 0, "bench") == store::CatalogStatus::kOk;
}

bool ImportDocument(const std::string& area, int16_t code, const std::string& name, const std::string& xml) {
  const std::u16string text = platform::Utf8ToUtf16(xml);
  return ConvertXMLStringToDataItem(code, text.c_str(), 0, "", area.c_str(), name.c_str()) == 0;
}

BenchDocument Bytes(const std::string& type, const std::string& item, std::function<std::vector<uint8_t>()> make) {
  const int16_t code = *ParseDataType(type);
  return {type, item, [=](const std::string& area) { return PutItem(area, code, item, make()); }};
}

BenchDocument Document(const std::string& type, const std::string& item, std::function<std::string()> make) {
  const int16_t code = *ParseDataType(type);
  return {type, item, [=](const std::string& area) { return ImportDocument(area, code, item, make()); }};
}

}  // namespace

std::vector<BenchDocument> BenchDocuments(const std::string& examplesDir) {
  std::vector<BenchDocument> documents = {
      Bytes("SizeCode", "LARGE30000", [] { return SizeCodeLibrary(30000, 5); }),
      Bytes("SizeCode", "LARGE2000", [] { return SizeCodeLibrary(2000, 5); }),
      Document("Annotation", "LARGE", AnnotationDocument),
      Document("Matching", "LARGE", MatchingDocument),
      Document("Model", "LARGE", ModelDocument),
      Document("Order", "LARGE", OrderDocument),
      Document("Cut", "LARGE", CutDocument),
      Bytes("Plot", "LARGE", LargePlot),
      Bytes("Grading", "LARGE", RuleTable),
      Bytes("Alteration", "LARGE", LargeAlteration),
      Bytes("BlockBuffer", "LARGE", LargeBlockBuffer),
      Bytes("LayLimit", "LARGE", LargeLayLimit),
      Bytes("PieceList", "LARGE", LargePieceList),
      {"Piece", "LARGE", [](const std::string& area) { return grading::StorePiece(area, "LARGE", LargePiece()) == 1; }},
      {"Marker", "LARGE", [](const std::string& area) { return marker::StoreMarker(area, "LARGE", LargeMarker()) == 1; }},
  };
  // Every other type that converts both ways: its largest example document.
  for (const DataTypeInfo& info : DataTypes()) {
    const std::string type = info.name;
    const bool covered = std::any_of(documents.begin(), documents.end(), [&](const auto& d) { return d.type == type; });
    std::error_code ec;
    if (covered || !std::filesystem::is_directory(examplesDir + "/" + type, ec)) continue;
    std::filesystem::path largest;
    for (const auto& entry : std::filesystem::directory_iterator(examplesDir + "/" + type, ec))
      if (entry.path().extension() == ".xml" && (largest.empty() || entry.file_size() > std::filesystem::file_size(largest)))
        largest = entry.path();
    if (largest.empty()) continue;
    const std::string item = largest.stem().string();
    documents.push_back({type, item, [info, item, largest](const std::string& area) {
                           return ConvertXMLFileToDataItem(info.code, largest.c_str(), 0, "", area.c_str(), item.c_str()) == 0;
                         }});
  }
  return documents;
}

int GenerateDocuments(const std::string& area, const std::string& examplesDir) {
  int failures = 0;
  for (const BenchDocument& document : BenchDocuments(examplesDir)) {
    if (document.store(area)) {
      std::cout << document.type << ' ' << document.item << '\n';
    } else {
      std::cerr << "cannot store the " << document.type << " document " << document.item << '\n';
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace tsln2xml::bench
