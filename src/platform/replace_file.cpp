#include "platform/replace_file.h"

#include "platform/host_files.h"
#include "platform/leftovers.h"

#ifdef _WIN32
#include <windows.h>
// windows.h names ReplaceFileA or ReplaceFileW ReplaceFile; ours is ours.
#undef ReplaceFile
#endif

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace tsln2xml::platform {
namespace {

#ifdef _WIN32

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

// Puts the file `from` in the place of `to`: ReplaceFileW when `to` exists
// (it keeps that file's attributes and security, and refuses a read-only
// file), MoveFileExW when it does not (a rename does not replace a file on
// Windows). A directory `to` is refused. 0 or an errno.
int RenameOver(const std::string& from, const std::string& to) {
  const std::wstring source = WidePath(from);
  const std::wstring target = WidePath(to);
  // MoveFileExW would put a file in the place of an empty directory.
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return EISDIR;
  if (ReplaceFileW(target.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
    return 0;
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND) return ErrnoOf(error);
  if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  return ErrnoOf(GetLastError());
}

#else

int RenameOver(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

#endif

}  // namespace

FileBeside::FileBeside(const std::string& hostPath) : target_(hostPath) {
  namespace fs = std::filesystem;
  const fs::path target = FsPath(hostPath);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  const std::string name = HostString(target.filename());
  // Files beside it that a process killed while writing left behind.
  RemoveLeftovers(HostString(dir), {"." + name + ".", IsCounterPart});
  for (int attempt = 0; fd_ < 0; ++attempt) {
    temp_ = HostString(dir / FsPath("." + name + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) +
                                    ".part"));
    fd_ = OpenDescriptor(temp_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
      error_ = errno;
      temp_.clear();
      return;
    }
  }
#ifndef _WIN32
  // The mode 0666 came out with under the umask is a new file's mode; until
  // the commit only the owner may read what is being written. (Windows has
  // no such modes: a file replaced keeps its attributes and security through
  // ReplaceFileW.)
  struct stat made {};
  if (fstat(fd_, &made) != 0 || fchmod(fd_, S_IRUSR | S_IWUSR) != 0) {
    error_ = errno;
    Close();
    UnlinkPath(temp_);
    temp_.clear();
    return;
  }
  newFileMode_ = made.st_mode & 07777;
#endif
}

FileBeside::~FileBeside() {
  Close();
  if (!committed_ && !temp_.empty()) UnlinkPath(temp_);
}

int FileBeside::Close() {
  if (fd_ < 0) return 0;
  const int rc = close(fd_);
  fd_ = -1;
  return rc == 0 ? 0 : errno;
}

int FileBeside::Commit() {
  if (error_ != 0) return error_;
  int error = Close();
#ifndef _WIN32
  // A file that is replaced keeps its mode; a new one gets the umask's.
  struct stat existing {};
  const unsigned mode = stat(target_.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode_;
  if (error == 0 && chmod(temp_.c_str(), mode) != 0) error = errno;
#endif
  if (error == 0) error = RenameOver(temp_, target_);
  if (error != 0) return error;  // the destructor removes the file beside
  committed_ = true;
  return 0;
}

namespace {

int WriteAll(int fd, std::string_view bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EINTR) return errno;
    if (n > 0) done += static_cast<size_t>(n);
  }
  return 0;
}

// A copy of `from` made as `to` where the file system has no hard links.
bool Copied(const std::string& from, const std::string& to) {
  const int linkError = errno;
  std::error_code error;
  if (std::filesystem::copy_file(FsPath(from), FsPath(to), error)) return true;
  std::filesystem::remove(FsPath(to), error);
  errno = linkError;
  return false;
}

// A second name `to` of the file `from`: a hard link, or a copy where the file
// system has none. Leaves errno EEXIST when `to` exists already.
bool LinkOrCopy(const std::string& from, const std::string& to) {
#ifdef _WIN32
  if (CreateHardLinkW(WidePath(to).c_str(), WidePath(from).c_str(), nullptr)) return true;
  const DWORD error = GetLastError();
  errno = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : ErrnoOf(error);
#else
  if (link(from.c_str(), to.c_str()) == 0) return true;
#endif
  return errno != EEXIST && Copied(from, to);
}

// The file a set of renames replaces, kept under a second name beside it
// (".NAME.PID-N.old", a hard link) until the set is in place; the link is
// removed when the set succeeds, and renamed back over the target when it
// fails.
class KeptFile {
 public:
  explicit KeptFile(const std::string& target) : target_(target) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(FsPath(target), ec).type();
    if (type == fs::file_type::not_found) return;  // nothing to keep: a failed set removes what it put there
    if (ec) {
      error_ = ec.value();
      return;
    }
    if (type == fs::file_type::directory) {
      error_ = EISDIR;  // no file of ours could replace it
      return;
    }
    const fs::path path = FsPath(target);
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string fileName = HostString(path.filename());
    for (int attempt = 0; kept_.empty(); ++attempt) {
      const std::string name = HostString(
          dir / FsPath("." + fileName + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".old"));
      if (LinkOrCopy(target, name)) {
        kept_ = name;
      } else if (errno != EEXIST || attempt == 100) {
        error_ = errno;
        return;
      }
    }
  }
  ~KeptFile() {
    if (!kept_.empty()) UnlinkPath(kept_);
  }
  KeptFile(const KeptFile&) = delete;
  KeptFile& operator=(const KeptFile&) = delete;

  int Error() const { return error_; }
  // Puts the old file back over the target, or removes the target when there
  // was none.
  void Restore() {
    if (kept_.empty()) {
      UnlinkPath(target_);
    } else if (RenameOver(kept_, target_) == 0) {
      kept_.clear();
    }
  }

 private:
  std::string target_;
  std::string kept_;
  int error_ = 0;
};

}  // namespace

#ifdef _WIN32

bool WrittenInPlace(const std::string&) { return false; }

#else

bool WrittenInPlace(const std::string& hostPath) {
  struct stat existing {};
  return stat(hostPath.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) && !S_ISDIR(existing.st_mode);
}

#endif

int WriteInPlace(const std::string& hostPath, std::string_view bytes) {
  const int fd = OpenDescriptor(hostPath, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = WriteAll(fd, bytes);
  const int closed = close(fd) == 0 ? 0 : errno;
  return error != 0 ? error : closed;
}

int ReplaceFile(const std::string& hostPath, std::string_view bytes) {
  if (WrittenInPlace(hostPath)) return WriteInPlace(hostPath, bytes);
  FileBeside file(hostPath);
  if (file.Error() != 0) return file.Error();
  if (const int error = WriteAll(file.Descriptor(), bytes)) return error;
  return file.Commit();
}

int ReplaceFiles(const std::vector<FileContent>& allFiles) {
  std::vector<FileContent> files;
  for (const FileContent& f : allFiles) {
    if (!WrittenInPlace(f.hostPath))
      files.push_back(f);
    else if (const int error = WriteInPlace(f.hostPath, f.bytes))
      return error;
  }
  std::vector<std::unique_ptr<FileBeside>> beside;
  for (const FileContent& f : files) {
    beside.push_back(std::make_unique<FileBeside>(f.hostPath));
    if (const int error = beside.back()->Error()) return error;
    if (const int error = WriteAll(beside.back()->Descriptor(), f.bytes)) return error;
  }
  // Every target but the last is kept, for the case that a later rename
  // fails; the last rename is the final step and needs no way back.
  std::vector<std::unique_ptr<KeptFile>> kept;
  for (size_t k = 0; k + 1 < files.size(); ++k) {
    kept.push_back(std::make_unique<KeptFile>(files[k].hostPath));
    if (const int error = kept.back()->Error()) return error;
  }
  for (size_t k = 0; k < files.size(); ++k) {
    if (const int error = beside[k]->Commit()) {
      for (size_t j = k; j-- > 0;) kept[j]->Restore();
      return error;
    }
  }
  return 0;
}

#ifdef _WIN32

void SyncDirectory(const std::string&) {}

// A move that does not replace: an open file's second name could not be
// removed on Windows, so there is no link.
bool MoveIntoPlaceIfAbsent(const std::string& from, const std::string& to) {
  const std::wstring source = WidePath(from);
  if (MoveFileExW(source.c_str(), WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  DeleteFileW(source.c_str());
  return false;
}

#else

void SyncDirectory(const std::string& hostDir) {
  const int fd = open(hostDir.empty() ? "." : hostDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

bool MoveIntoPlaceIfAbsent(const std::string& from, const std::string& to) {
  const bool linked = link(from.c_str(), to.c_str()) == 0;
  unlink(from.c_str());
  return linked;
}

#endif

}  // namespace tsln2xml::platform
