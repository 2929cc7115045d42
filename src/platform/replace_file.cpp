#include "platform/replace_file.h"

#include "platform/leftovers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace tsln2xml::platform {

FileBeside::FileBeside(const std::string& hostPath) : target_(hostPath) {
  namespace fs = std::filesystem;
  const fs::path target(hostPath);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  // Files beside it that a process killed while writing left behind.
  RemoveLeftovers(dir.string(), {"." + target.filename().string() + ".", IsCounterPart});
  for (int attempt = 0; fd_ < 0; ++attempt) {
    temp_ = (dir / ("." + target.filename().string() + "." + std::to_string(getpid()) + "-" +
                    std::to_string(attempt) + ".part"))
                .string();
    fd_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
      error_ = errno;
      temp_.clear();
      return;
    }
  }
  // The mode 0666 came out with under the umask is a new file's mode; until
  // the commit only the owner may read what is being written.
  struct stat made {};
  if (fstat(fd_, &made) != 0 || fchmod(fd_, S_IRUSR | S_IWUSR) != 0) {
    error_ = errno;
    Close();
    unlink(temp_.c_str());
    temp_.clear();
    return;
  }
  newFileMode_ = made.st_mode & 07777;
}

FileBeside::~FileBeside() {
  Close();
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
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
  // A file that is replaced keeps its mode; a new one gets the umask's.
  struct stat existing {};
  const unsigned mode = stat(target_.c_str(), &existing) == 0 ? existing.st_mode & 07777 : newFileMode_;
  if (error == 0 && chmod(temp_.c_str(), mode) != 0) error = errno;
  if (error == 0 && std::rename(temp_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) return error;  // the destructor removes the file beside
  committed_ = true;
  return 0;
}

int ReplaceFile(const std::string& hostPath, std::string_view bytes) {
  FileBeside file(hostPath);
  if (file.Error() != 0) return file.Error();
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(file.Descriptor(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno != EINTR) return errno;
    if (n > 0) done += static_cast<size_t>(n);
  }
  return file.Commit();
}

}  // namespace tsln2xml::platform
