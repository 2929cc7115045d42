// Windows meanings of the POSIX names in platform/windows_posix.h.
#ifdef _WIN32

#include "platform/windows_posix.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/code_page.h"

namespace {

std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace

extern "C" {

struct tm* localtime_r(const time_t* t, struct tm* out) { return localtime_s(out, t) == 0 ? out : nullptr; }

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset) {
  if (_lseeki64(fd, offset, SEEK_SET) < 0) return -1;
  const unsigned chunk = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
  return _write(fd, buffer, chunk);
}

struct tm* gmtime_r(const time_t* t, struct tm* out) {
  // Days since 1970-01-01 to the civil date, in 400-year eras of 146097 days.
  const long long seconds = static_cast<long long>(*t);
  long long days = seconds / 86400;
  long long rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  *out = {};
  out->tm_hour = static_cast<int>(rest / 3600);
  out->tm_min = static_cast<int>(rest / 60 % 60);
  out->tm_sec = static_cast<int>(rest % 60);
  out->tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  const long long z = days + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long dayOfEra = z - era * 146097;
  const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);  // from March 1
  const long long monthFromMarch = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
  const int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
  const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  out->tm_year = static_cast<int>(year - 1900);
  out->tm_mon = month - 1;
  out->tm_mday = day;
  static constexpr int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  out->tm_yday = kDaysBefore[month - 1] + day - 1 + (leap && month > 2 ? 1 : 0);
  return out;
}

uid_t geteuid(void) { return 0; }

int getpwuid_r(uid_t, struct passwd* pwd, char* buffer, size_t size, struct passwd** result) {
  *result = nullptr;
  wchar_t name[257];
  DWORD length = 257;
  if (!GetUserNameW(name, &length)) return ENOENT;
  // In the code page, as every narrow text the catalogs keep.
  const std::string text = tsln2xml::platform::Utf16ToAnsi(
      std::u16string_view(reinterpret_cast<const char16_t*>(name), length > 0 ? length - 1 : 0));
  if (text.size() + 1 > size) return ERANGE;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
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
