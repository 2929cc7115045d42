#pragma once
// A picture or a DXF file written for the caller: whole or not at all (see
// platform::ReplaceFile), a failure reported as code 5 with the errno.

#include <string>
#include <string_view>

#include "core/exception.h"
#include "platform/paths.h"
#include "platform/replace_file.h"

namespace tsln2xml {

// `fileName` is a storage path, as the caller gave it.
inline void WriteOutputFile(const std::string& fileName, std::string_view bytes) {
  if (const int error = platform::ReplaceFile(platform::HostPath(fileName), bytes))
    throw Tsln2XmlException(kItemOpenFailure, error, "could not write output file");
}

}  // namespace tsln2xml
