#pragma once
// Writing a file whole or not at all.

#include <string>
#include <string_view>
#include <vector>

namespace tsln2xml::platform {

// A file beside `hostPath` that is renamed over it once it is complete. It is
// made exclusively under a name of our own (".NAME.PID-N.part") and readable
// by its owner only while it is written; Commit gives it the mode the file it
// replaces has, or, when there is none, the mode the umask gives a new file,
// and renames it into place. A file beside that is not committed is removed.
class FileBeside {
 public:
  explicit FileBeside(const std::string& hostPath);
  ~FileBeside();
  FileBeside(const FileBeside&) = delete;
  FileBeside& operator=(const FileBeside&) = delete;

  // 0, or the errno of making the file beside.
  int Error() const { return error_; }
  const std::string& Path() const { return temp_; }
  // The open descriptor (-1 after a failure or Close), for writing.
  int Descriptor() const { return fd_; }
  // Closes the descriptor, for a writer that opens the file by its path; 0 or
  // the errno of closing.
  int Close();
  // Closes, sets the mode, renames over the target: 0 or the errno of the
  // failure, after which the file beside is gone and the target as it was.
  int Commit();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  int error_ = 0;
  unsigned newFileMode_ = 0;  // what the umask made of 0666
  bool committed_ = false;
};

// Whether `hostPath` names something other than a regular file or a folder:
// a named pipe, or a device such as /dev/null. Such a target is written
// into, never replaced: a file renamed into its place would destroy it (a
// device node, when run as root) and what was written would never reach
// whoever reads it. Always false on Windows.
bool WrittenInPlace(const std::string& hostPath);
// Writes `bytes` into such a target as it is: 0 or the errno of the failure.
int WriteInPlace(const std::string& hostPath, std::string_view bytes);

// Writes `bytes` to a FileBeside `hostPath` and commits it (into a target
// that is WrittenInPlace, straight into it). Returns 0, or the
// errno of the failure; a failure leaves `hostPath` as it was.
int ReplaceFile(const std::string& hostPath, std::string_view bytes);

// Gives the file `from` the name `to` when no file has that name yet, in one
// step that fails when another process made `to` first; `from` is gone
// afterwards either way. Both are host paths. A hard link on Linux, a move
// that does not replace on Windows (where an open file's second name could not
// be removed).
bool MoveIntoPlaceIfAbsent(const std::string& from, const std::string& to);

struct FileContent {
  std::string hostPath;
  std::string_view bytes;
};

// Writes several files that belong together (a DXF and its rule file) as a
// set: each to a FileBeside, and only when all are written are they renamed
// into place (targets that are WrittenInPlace are written into first, and
// cannot be taken back). Until the last rename succeeds, the files they replace are
// kept by a hard link beside; should a later rename fail, the earlier
// targets get their old files back (or are removed when there were none).
// Returns 0, or the errno of the failure, after which every target is as it
// was and nothing is left beside.
int ReplaceFiles(const std::vector<FileContent>& files);

// Makes the names made in host directory `hostDir` ("" is the current one)
// durable, as SQLite does for its journals; a failure is not reported (the
// names are there, only perhaps not yet on the disk). Windows makes a new
// directory entry durable by itself and has nothing to sync.
void SyncDirectory(const std::string& hostDir);

}  // namespace tsln2xml::platform
