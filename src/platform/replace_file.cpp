#include "platform/replace_file.h"

#include "platform/leftovers.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

namespace tsln2xml::platform {

int ReplaceFile(const std::string& hostPath, std::string_view bytes) {
  namespace fs = std::filesystem;
  const fs::path target(hostPath);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  // Files beside it that a process killed while writing left behind.
  RemoveLeftovers(dir.string(), {"." + target.filename().string() + ".", IsCounterPart});
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

}  // namespace tsln2xml::platform
