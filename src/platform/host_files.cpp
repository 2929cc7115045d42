#include "platform/host_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "platform/code_page.h"
#endif

namespace tsln2xml::platform {

#ifdef _WIN32

std::wstring WidePath(std::string_view hostPath) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  const std::u16string units = Utf8ToUtf16(hostPath);
  return std::wstring(units.begin(), units.end());
}

std::filesystem::path FsPath(std::string_view hostPath) { return std::filesystem::path(WidePath(hostPath)); }

std::string HostString(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::FILE* OpenFile(const std::string& hostPath, const char* mode) {
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return _wfopen(WidePath(hostPath).c_str(), wideMode.c_str());
}

int OpenDescriptor(const std::string& hostPath, int flags, int mode) {
  return _wopen(WidePath(hostPath).c_str(), flags, mode);
}

// struct stat is the 32-bit-size form of the C runtime's own; the fields the
// callers read are copied from the 64-bit one, a size beyond 2 GiB clamped.
int StatPath(const std::string& hostPath, struct stat* out) {
  struct _stat64 wide {};
  if (_wstat64(WidePath(hostPath).c_str(), &wide) != 0) return -1;
  *out = {};
  out->st_dev = wide.st_dev;
  out->st_ino = wide.st_ino;
  out->st_mode = wide.st_mode;
  out->st_nlink = wide.st_nlink;
  out->st_size = wide.st_size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<_off_t>(wide.st_size);
  out->st_atime = wide.st_atime;
  out->st_mtime = wide.st_mtime;
  out->st_ctime = wide.st_ctime;
  return 0;
}

int UnlinkPath(const std::string& hostPath) { return _wunlink(WidePath(hostPath).c_str()); }

// The C runtime's mkstemp takes the folder in the ANSI code page.
std::string MakeTemporaryFile(const std::string& hostDir, const std::string& prefix) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned long long seed = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                            reinterpret_cast<uintptr_t>(&seed);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = hostDir + "/" + prefix;
    for (int i = 0; i < 6; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      path += kLetters[(seed >> 33) % (sizeof kLetters - 1)];
    }
    const int fd = OpenDescriptor(path, O_RDWR | O_CREAT | O_EXCL | _O_NOINHERIT | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      _close(fd);
      return path;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

#else

std::filesystem::path FsPath(std::string_view hostPath) { return std::filesystem::path(hostPath); }

std::string HostString(const std::filesystem::path& path) { return path.native(); }

std::FILE* OpenFile(const std::string& hostPath, const char* mode) { return std::fopen(hostPath.c_str(), mode); }

int OpenDescriptor(const std::string& hostPath, int flags, int mode) { return ::open(hostPath.c_str(), flags, mode); }

int StatPath(const std::string& hostPath, struct stat* out) { return ::stat(hostPath.c_str(), out); }

int UnlinkPath(const std::string& hostPath) { return ::unlink(hostPath.c_str()); }

std::string MakeTemporaryFile(const std::string& hostDir, const std::string& prefix) {
  std::string path = hostDir + "/" + prefix + "XXXXXX";
  const int fd = ::mkstemp(path.data());
  if (fd < 0) return {};
  ::close(fd);
  return path;
}

#endif

}  // namespace tsln2xml::platform
