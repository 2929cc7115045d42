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

// A failure as the boundary reports it.
struct Failure {
  int32_t code = 0;
  int32_t secondary = 0;
  std::string message;
};

// Runs `work`; returns its failure, or a code of 0 when it succeeded.
// Nothing is reported: a batch reports the failures of items converted on
// several threads itself, in order. (Only a failure to copy a message, out
// of memory, leaves it as an exception.)
template <class Work>
Failure CaptureFailure(Work&& work) {
  try {
    work();
    return {};
  } catch (const Tsln2XmlException& e) {
    return {e.Code(), e.SecondaryCode(), e.what()};
  } catch (const XmlServiceError& e) {
    return {kXmlServiceFailure, e.HResult(), e.what()};
  } catch (const std::bad_alloc&) {
    return {kStandardLibrary, 0, "Out of memory"};
  } catch (const std::exception& e) {
    return {kStandardLibrary, 0, e.what()};
  } catch (...) {
    return {kStandardLibrary, 0, "Unknown failure"};
  }
}

// Runs `work`; on failure runs `onFailure` (which may not throw through) and
// reports. Returns 0 or the failure's code.
template <class Work, class OnFailure>
int32_t RunAtBoundary(Work&& work, OnFailure&& onFailure, BoundaryOptions options = {}) {
  Failure failure;
  try {
    failure = CaptureFailure(std::forward<Work>(work));
  } catch (...) {
    failure = {kStandardLibrary, 0, "Out of memory"};  // the message itself could not be copied
  }
  if (failure.code == 0) return 0;
  try {
    onFailure();
  } catch (...) {
    // The first failure is the one reported.
  }
  try {
    return ReportFailure(failure.code, failure.secondary, failure.message, options);
  } catch (...) {
    return failure.code;
  }
}

template <class Work>
int32_t RunAtBoundary(Work&& work, BoundaryOptions options = {}) {
  return RunAtBoundary(std::forward<Work>(work), [] {}, options);
}

}  // namespace tsln2xml
