#pragma once
// Where a host path (UTF-8, as HostPath gives it) meets the operating system.
// On Linux these are the POSIX calls given the bytes as they are. On Windows
// they are the wide-character calls given the path in UTF-16: the narrow
// calls would read the bytes in the system's ANSI code page, so a folder such
// as "Größen" (or one with characters that code page lacks) would be another
// name or none. Every open, stat, unlink and std::filesystem path made from a
// host path goes through here.

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace tsln2xml::platform {

// A std::filesystem path naming `hostPath` (on Windows built from UTF-16; a
// std::string converted implicitly would be read in the ANSI code page).
std::filesystem::path FsPath(std::string_view hostPath);
// The host path (UTF-8) of a std::filesystem path; the inverse of FsPath.
std::string HostString(const std::filesystem::path& path);

#ifdef _WIN32
// `hostPath` in UTF-16 for the wide-character calls of Windows.
std::wstring WidePath(std::string_view hostPath);
#endif

// fopen, open, stat, unlink of a host path; the same results and errno.
std::FILE* OpenFile(const std::string& hostPath, const char* mode);
int OpenDescriptor(const std::string& hostPath, int flags, int mode = 0);
int StatPath(const std::string& hostPath, struct stat* out);
int UnlinkPath(const std::string& hostPath);

// A new empty file "PREFIX" + a random part in the host folder `hostDir`,
// made exclusively and readable by its owner only (mkstemp); its host path,
// or "" with errno set when none could be made.
std::string MakeTemporaryFile(const std::string& hostDir, const std::string& prefix);

}  // namespace tsln2xml::platform
