#pragma once
// The Windows build's stand-in for a POSIX header: what the code uses of it
// is in platform/windows_posix.h.
#include "platform/windows_posix.h"
