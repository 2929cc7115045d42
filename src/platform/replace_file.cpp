#include "platform/replace_file.h"

#ifdef _WIN32
#include <windows.h>
// windows.h names ReplaceFileA or ReplaceFileW ReplaceFile; ours is ours.
#undef ReplaceFile
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace tsln2xml::platform {

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

// The errno that stands for a Windows failure in the caller's message.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;
  }
}

}  // namespace

// The new text goes to a file of our own beside the target (made with
// CREATE_NEW), then takes the target's place: ReplaceFileW when the target
// exists (it keeps the target's attributes and security), MoveFileExW when
// it does not.
int ReplaceFile(const std::string& hostPath, std::string_view bytes) {
  const std::wstring target = Wide(hostPath);
  std::wstring temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".part";
    file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && (GetLastError() != ERROR_FILE_EXISTS || attempt == 100))
      return ErrnoOf(GetLastError());
  }
  DWORD error = 0;
  for (size_t done = 0; done < bytes.size() && error == 0;) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) error = GetLastError();
    done += written;
  }
  if (!CloseHandle(file) && error == 0) error = GetLastError();
  if (error == 0 && !ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                  nullptr)) {
    const DWORD replaceError = GetLastError();
    if (replaceError == ERROR_FILE_NOT_FOUND) {
      if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    } else {
      error = replaceError;
    }
  }
  if (error != 0) DeleteFileW(temp.c_str());
  return error == 0 ? 0 : ErrnoOf(error);
}

bool MoveIntoPlaceIfAbsent(const std::string& from, const std::string& to) {
  const std::wstring source = Wide(from);
  if (MoveFileExW(source.c_str(), Wide(to).c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  DeleteFileW(source.c_str());
  return false;
}

#else

bool MoveIntoPlaceIfAbsent(const std::string& from, const std::string& to) {
  const bool linked = link(from.c_str(), to.c_str()) == 0;
  unlink(from.c_str());
  return linked;
}

int ReplaceFile(const std::string& hostPath, std::string_view bytes) {
  namespace fs = std::filesystem;
  const fs::path target(hostPath);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string temp;
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    temp = (dir / ("." + target.filename().string() + "." + std::to_string(getpid()) + "-" +
                   std::to_string(attempt) + ".part"))
               .string();
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && (errno != EEXIST || attempt == 100)) return errno;
  }
  int error = 0;
  for (size_t done = 0; done < bytes.size() && error == 0;) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) done += static_cast<size_t>(n);
  }
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temp.c_str(), hostPath.c_str()) != 0) error = errno;
  if (error != 0) unlink(temp.c_str());
  return error;
}

#endif

}  // namespace tsln2xml::platform
