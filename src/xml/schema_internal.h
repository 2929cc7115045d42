#pragma once
// What the three parts of the schema services share, and nothing callers
// use (callers include xml/schema.h):
//
//   schema.cpp             built-in resources, the entity loader, assembly
//                          and the per-namespace cache;
//   schema_validation.cpp  validation of documents and texts, with the
//                          report on the first error;
//   schema_file.cpp        the caller's own schema files, whose references
//                          reach only their own folder and below.

#include <optional>
#include <string>
#include <string_view>

#include "xml/libxml.h"
#include "xml/schema.h"

namespace tsln2xml::xml::schema_internal {

bool EqualsNoCase(std::string_view a, std::string_view b);

// The first error that libxml2 reports on a schema compile or validation.
struct FirstError {
  bool set = false;
  bool invalid = false;  // the validator's verdict, with or without a report
  int code = 0;
  int line = 0;
  int column = 0;
  std::string message;
  xmlNodePtr node = nullptr;
};

// A structured error handler that keeps the first error in the FirstError
// that `ctx` points to.
void CaptureError(void* ctx, xmlErrorPtr error);

// A parser input over a copy of `size` bytes at `data`, named `url`;
// nullptr when it cannot be made.
xmlParserInputPtr MemoryInput(xmlParserCtxtPtr ctxt, const char* data, size_t size, const char* url);

// What a caller's schema file includes or imports, when it may be read
// (schema_file.cpp); nullptr otherwise.
xmlParserInputPtr CallerSchemaFileInput(const char* url, xmlParserCtxtPtr ctxt);

// The first error of a document's text against `set`, as
// ValidateDocumentText finds it; nullopt when the text is valid.
std::optional<FirstError> FirstTextError(const std::string& text, size_t longestText, const SchemaSet& set);
// The report on `error`, located in the serialised text.
std::string ReportAt(const std::string& text, FirstError error);

}  // namespace tsln2xml::xml::schema_internal
