#pragma once
// The one exception type inside the library. Every failure becomes one of
// these by the time it reaches an exported function, which turns it into a
// result code and the last-error record.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tsln2xml {

// Failure codes carried by Tsln2XmlException.
enum FailureCode : int32_t {
  kContentUnusable = 1,   // bad document or item content, read past the end
  kSchemaFailure = 2,     // schema resources, schema assembly, validation
  kDocumentMissing = 3,   // no document object to load into
  kXmlServiceFailure = 4, // the XML service failed, or a value did not convert
  kItemOpenFailure = 5,   // the item could not be opened, created or committed
  kStandardLibrary = 6,   // a standard-library exception
  kUnimplemented = 7,     // no converter for the data type in that direction
};

// Secondary codes of our own for failures of the XML service (code 4). They
// keep the HRESULT values that callers of the original platform know.
namespace hresult {
inline constexpr int32_t kTypeMismatch = static_cast<int32_t>(0x80020005);  // not a number
inline constexpr int32_t kOverflow = static_cast<int32_t>(0x8002000A);      // out of range
inline constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000E);
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005);          // unspecified
inline constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005);  // file not writable
// a document's character that the code page has no form for
inline constexpr int32_t kNoMapping = static_cast<int32_t>(0x80070459);
}  // namespace hresult

class Tsln2XmlException : public std::runtime_error {
 public:
  Tsln2XmlException(int32_t code, int32_t secondary, const std::string& message)
      : std::runtime_error(message), code_(code), secondary_(secondary) {}
  Tsln2XmlException(int32_t code, const std::string& message)
      : Tsln2XmlException(code, 0, message) {}

  int32_t Code() const noexcept { return code_; }
  int32_t SecondaryCode() const noexcept { return secondary_; }

 private:
  int32_t code_;
  int32_t secondary_;
};

// A failure of the XML service itself (the stand-in for a COM error). `Run`
// turns it into code 4 with the reader's or writer's message.
class XmlServiceError : public std::runtime_error {
 public:
  XmlServiceError(int32_t hr, const std::string& what) : std::runtime_error(what), hr_(hr) {}
  int32_t HResult() const noexcept { return hr_; }

 private:
  int32_t hr_;
};

}  // namespace tsln2xml
