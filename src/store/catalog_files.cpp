// The files around a catalog and what a write records: the private name a
// first write builds a catalog under, with its journal and the leftovers of
// killed writers; making a new directory entry durable; how long a catalog
// path may be; and the user and time stored with an item.

#include "store/catalog.h"

#include "platform/host_files.h"
#include "platform/leftovers.h"
#include "platform/replace_file.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace tsln2xml::store {
namespace {

// Room kept after a catalog's path for the private name of a first write
// (".new", a process id, "-", a counter).
constexpr size_t kPrivateNameRoom = 32;

}  // namespace

void RemoveWithJournal(const std::string& hostPath) {
  platform::UnlinkPath(hostPath);
  platform::UnlinkPath(hostPath + "-journal");
}

void SyncDirectoryOf(const std::string& hostPath) {
  platform::SyncDirectory(platform::HostString(platform::FsPath(hostPath).parent_path()));
}

std::string PrivateCatalogName(const std::string& hostPath) {
  static std::atomic<unsigned> counter{0};
  return hostPath + ".new" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

// The private files of first writes to the catalog at `hostPath` (and
// their journals) that processes killed before the rename left behind.
void RemoveLeftoversOf(const std::string& hostPath) {
  const std::filesystem::path path = platform::FsPath(hostPath);
  platform::RemoveLeftovers(platform::HostString(path.parent_path()),
                            {platform::HostString(path.filename()) + ".new", platform::IsCounterOrItsJournal});
}

bool CatalogPathFits(const std::string& hostPath) {
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(platform::FsPath(hostPath), ec);
  // Without a current directory to measure a relative path by, SQLite decides.
  // Measured in UTF-8, as SQLite measures the names it is given.
  return ec ? hostPath.size() <= MaxCatalogPath() : platform::HostString(absolute).size() <= MaxCatalogPath();
}

size_t MaxCatalogPath() {
  const sqlite3_vfs* vfs = sqlite3_vfs_find(nullptr);
  // SQLite takes names shorter than the VFS's longest path name.
  const size_t sqliteLimit = vfs ? static_cast<size_t>(vfs->mxPathname) - 1 : 511;
  return std::min<size_t>(PATH_MAX - 1, sqliteLimit) - kPrivateNameRoom;
}

std::string CurrentUserName() {
  struct passwd pwd;
  struct passwd* result = nullptr;
  char buf[1024];
  if (getpwuid_r(geteuid(), &pwd, buf, sizeof buf, &result) == 0 && result && result->pw_name)
    return result->pw_name;
  const char* user = std::getenv("USER");
  return user ? user : "";
}

int32_t CurrentTime() { return static_cast<int32_t>(std::time(nullptr)); }

}  // namespace tsln2xml::store
