#pragma once
// Shared test fixtures: a little-endian byte builder for store records, a
// temporary storage area, code page switching and calls through the exports.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tsln2xml::test {

// The data type codes the tests name.
inline constexpr int16_t kAlteration = 1, kAnnotation = 2, kBlockBuffer = 3, kCut = 4, kLayLimit = 6, kMatching = 11,
                         kModel = 12, kOrder = 13, kCutter = 14, kLayRuleSearch = 15, kMarkerPlot = 16, kNotch = 17,
                         kPiecePlot = 18, kUserEnvironment = 19, kPiece = 20, kPieceList = 21, kPlot = 22,
                         kGrading = 23, kSizeCode = 24;

// Builds binary fixtures field by field, little-endian.
class ByteBuilder {
 public:
  ByteBuilder& I8(int8_t v) { return Raw(&v, 1); }
  ByteBuilder& U8(uint8_t v) { return Raw(&v, 1); }
  ByteBuilder& I16(int16_t v) { return Int(static_cast<uint64_t>(static_cast<uint16_t>(v)), 2); }
  ByteBuilder& U16(uint16_t v) { return Int(v, 2); }
  ByteBuilder& I32(int32_t v) { return Int(static_cast<uint64_t>(static_cast<uint32_t>(v)), 4); }
  ByteBuilder& U32(uint32_t v) { return Int(v, 4); }
  ByteBuilder& F32(float v);
  ByteBuilder& F64(double v);
  // `text` in `width` bytes, NUL-padded (cut when longer).
  ByteBuilder& Text(std::string_view text, size_t width);
  ByteBuilder& Zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); return *this; }
  ByteBuilder& Bytes(const std::vector<uint8_t>& b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); return *this; }
  ByteBuilder& Raw(const void* p, size_t n);
  ByteBuilder& Int(uint64_t v, size_t width);
  // Overwrites a 32-bit value already written at `offset`.
  ByteBuilder& PatchI32(size_t offset, int32_t v);

  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  operator std::vector<uint8_t>() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// A fresh storage area directory, removed with everything in it at the end.
class TempArea {
 public:
  TempArea();
  ~TempArea();
  TempArea(const TempArea&) = delete;
  TempArea& operator=(const TempArea&) = delete;

  const std::string& path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }
  // A file path inside the area's directory (for documents).
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

  // Stores / reads an item's bytes directly through the item store.
  void PutItem(int16_t type, std::string_view name, const std::vector<uint8_t>& bytes) const;
  std::optional<std::vector<uint8_t>> GetItem(int16_t type, std::string_view name) const;

 private:
  std::string path_;
};

// Switches the process's ANSI code page for the scope.
class CodePageScope {
 public:
  explicit CodePageScope(int codePage);
  ~CodePageScope();

 private:
  int previous_;
};

// Sets (or, with nullptr, removes) an environment variable for the scope and
// restores the earlier state at its end, also when an assertion fails.
class EnvScope {
 public:
  EnvScope(const char* name, const char* value);
  ~EnvScope();
  EnvScope(const EnvScope&) = delete;
  EnvScope& operator=(const EnvScope&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

struct ExportResult {
  int code;
  std::string xml;  // UTF-8
};
// Exports through ConvertDataItemToXMLString (area root "", area name = dir).
ExportResult ExportToString(int16_t type, const std::string& area, std::string_view item);
// Imports through ConvertXMLStringToDataItem.
int ImportFromString(int16_t type, const std::string& area, std::string_view item, std::string_view utf8Xml);
// Lists the area's items through EnumerateItemsString (schema nullptr: none).
ExportResult ListToString(const std::string& area, const char* schema = nullptr);

// The last-error record's message as UTF-8.
std::string LastErrorMessage();

// Reads / writes a whole file.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, std::string_view bytes);

// Runs a shell command, returning its exit code; its standard output and
// error are captured in `out` when given.
int RunCommand(const std::string& command, std::string* out = nullptr);
// Runs the command-line tool with `args` (already quoted where needed).
int RunTool(const std::string& args, std::string* out = nullptr);
// The peak resident memory in kilobytes of the command run with `args`
// (without a shell, under /usr/bin/time), its output discarded; -1 when it
// could not be measured, or did not exit with 0 and `mustSucceed`.
long ToolPeakKilobytes(const std::vector<std::string>& args, bool mustSucceed = true);
// Whether this build runs under AddressSanitizer, whose quarantine of freed
// memory and shadow make peaks of no use for comparison.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kPeaksAreMeaningful = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kPeaksAreMeaningful = false;
#else
inline constexpr bool kPeaksAreMeaningful = true;
#endif
#else
inline constexpr bool kPeaksAreMeaningful = true;
#endif
// The id of a process that has ended and been waited for (0 when none
// could be started).
long EndedProcessId();

// A size code document named A with `entries` entries, all of ordered size
// `ordered`: a few kilobytes for a hundred, so an item spans several pages
// of its catalog.
std::string SizeCodes(int entries, int ordered);

// `s` quoted for the shell.
std::string Quote(const std::string& s);

// Parses both texts and compares them as documents (declaration, white space
// between elements and attribute order do not matter). Returns "" when equal,
// otherwise a description of the first difference.
std::string CompareXml(std::string_view expected, std::string_view actual);

}  // namespace tsln2xml::test
