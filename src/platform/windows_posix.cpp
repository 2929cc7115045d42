// Windows meanings of the POSIX names in platform/windows_posix.h.
#ifdef _WIN32

#include "platform/windows_posix.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

std::string Utf8(const wchar_t* wide) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace

extern "C" {

int link(const char* existing, const char* linkName) {
  if (CreateHardLinkW(Wide(linkName).c_str(), Wide(existing).c_str(), nullptr)) return 0;
  errno = GetLastError() == ERROR_ALREADY_EXISTS ? EEXIST : EIO;
  return -1;
}

uid_t geteuid(void) { return 0; }

int getpwuid_r(uid_t, struct passwd* pwd, char* buffer, size_t size, struct passwd** result) {
  *result = nullptr;
  wchar_t name[257];
  DWORD length = 257;
  if (!GetUserNameW(name, &length)) return ENOENT;
  const std::string utf8 = Utf8(name);
  if (utf8.size() + 1 > size) return ERANGE;
  std::memcpy(buffer, utf8.c_str(), utf8.size() + 1);
  pwd->pw_name = buffer;
  *result = pwd;
  return 0;
}

int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

char* mkdtemp(char* pathTemplate) {
  const size_t length = std::strlen(pathTemplate);
  if (length < 6 || std::strcmp(pathTemplate + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned long long seed = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    for (size_t i = length - 6; i < length; ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      pathTemplate[i] = kLetters[(seed >> 33) % (sizeof kLetters - 1)];
    }
    if (CreateDirectoryW(Wide(pathTemplate).c_str(), nullptr)) return pathTemplate;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  errno = EEXIST;
  return nullptr;
}

}  // extern "C"

#endif
