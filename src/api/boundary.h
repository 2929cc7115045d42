#pragma once
// The exported boundary: runs a call's work, turns every failure into its
// code, the last-error record and (unless asked not to) one line on the
// standard error stream. No exception leaves it.

#include <cstdint>
#include <iostream>
#include <new>
#include <string>

#include "api/last_error.h"
#include "core/exception.h"

namespace tsln2xml {

struct BoundaryOptions {
  bool reportOnStderr = true;
};

inline int32_t ReportFailure(int32_t code, int32_t secondary, const std::string& message, BoundaryOptions options) {
  if (options.reportOnStderr) std::cerr << message << std::endl;
  RecordLastError(code, secondary, message);
  return code;
}

// Runs `work`; on failure runs `onFailure` (which may not throw through) and
// reports. Returns 0 or the failure's code.
template <class Work, class OnFailure>
int32_t RunAtBoundary(Work&& work, OnFailure&& onFailure, BoundaryOptions options = {}) {
  int32_t code = 0, secondary = 0;
  std::string message;
  try {
    work();
    return 0;
  } catch (const Tsln2XmlException& e) {
    code = e.Code();
    secondary = e.SecondaryCode();
    message = e.what();
  } catch (const XmlServiceError& e) {
    code = kXmlServiceFailure;
    secondary = e.HResult();
    message = e.what();
  } catch (const std::bad_alloc&) {
    code = kStandardLibrary;
    message = "Out of memory";
  } catch (const std::exception& e) {
    code = kStandardLibrary;
    message = e.what();
  } catch (...) {
    code = kStandardLibrary;
    message = "Unknown failure";
  }
  try {
    onFailure();
  } catch (...) {
    // The first failure is the one reported.
  }
  try {
    return ReportFailure(code, secondary, message, options);
  } catch (...) {
    return code;
  }
}

template <class Work>
int32_t RunAtBoundary(Work&& work, BoundaryOptions options = {}) {
  return RunAtBoundary(std::forward<Work>(work), [] {}, options);
}

}  // namespace tsln2xml
