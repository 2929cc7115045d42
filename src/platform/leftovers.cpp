#include "platform/leftovers.h"

#include "platform/host_files.h"

#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#endif

namespace tsln2xml::platform {
namespace {

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool IsAlphanumeric(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

#ifndef _WIN32
struct DirCloser {
  void operator()(DIR* dir) const noexcept { closedir(dir); }
};
#endif

}  // namespace

bool IsCounter(std::string_view rest) { return rest.size() > 1 && rest[0] == '-' && AllDigits(rest.substr(1)); }

bool IsCounterOrItsJournal(std::string_view rest) {
  constexpr std::string_view kJournal = "-journal";
  if (rest.ends_with(kJournal)) rest.remove_suffix(kJournal.size());
  return IsCounter(rest);
}

bool IsTemporaryFileRest(std::string_view rest) {
  if (rest.size() != 7 || rest[0] != '.') return false;
  for (char c : rest.substr(1))
    if (!IsAlphanumeric(c)) return false;
  return true;
}

bool IsCounterPart(std::string_view rest) {
  constexpr std::string_view kPart = ".part";
  return rest.ends_with(kPart) && IsCounter(rest.substr(0, rest.size() - kPart.size()));
}

long LeftoverProcess(std::string_view name, const LeftoverName& shape) {
  if (!name.starts_with(shape.prefix)) return 0;
  name.remove_prefix(shape.prefix.size());
  size_t digits = 0;
  long pid = 0;
  // A process id is at most 2^22 on Linux; anything with more digits, or a
  // leading zero, is not a name this program made.
  while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9' && digits < 10) {
    pid = pid * 10 + (name[digits] - '0');
    ++digits;
  }
  if (digits == 0 || name[0] == '0' || pid <= 0 || pid > 0x7FFFFFFF) return 0;
  return shape.restIsOurs(name.substr(digits)) ? pid : 0;
}

#ifdef _WIN32

// A process that cannot be opened for lack of rights exists; only an id that
// names no process (ERROR_INVALID_PARAMETER) is taken for one that is gone.
// A process that has ended but whose handle another process still holds
// counts as existing until that handle is closed, which errs on keeping.
bool ProcessExists(long pid) {
  if (pid <= 0) return true;  // never taken for a process that is gone
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
  DWORD exitCode = 0;
  const bool running = !GetExitCodeProcess(process, &exitCode) || exitCode == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

int RemoveLeftovers(const std::string& directory, const LeftoverName& shape) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(FsPath(directory.empty() ? "." : directory), ec);
  int removed = 0;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = HostString(it->path().filename());
    const long pid = LeftoverProcess(name, shape);
    if (pid == 0 || ProcessExists(pid)) continue;
    std::error_code statusError;
    if (!it->is_regular_file(statusError) || it->is_symlink(statusError)) continue;
    std::error_code removeError;
    if (fs::remove(it->path(), removeError)) ++removed;
  }
  return removed;
}

#else

bool ProcessExists(long pid) {
  if (pid <= 0) return true;  // never taken for a process that is gone
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

int RemoveLeftovers(const std::string& directory, const LeftoverName& shape) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(directory.empty() ? "." : directory.c_str()));
  if (!dir) return 0;
  const int dirFd = ::dirfd(dir.get());
  int removed = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const long pid = LeftoverProcess(entry->d_name, shape);
    if (pid == 0 || ProcessExists(pid)) continue;
    struct stat info;
    if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) continue;
    if (::unlinkat(dirFd, entry->d_name, 0) == 0) ++removed;
  }
  return removed;
}

#endif

}  // namespace tsln2xml::platform
