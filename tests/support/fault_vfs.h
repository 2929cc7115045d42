#pragma once
// A SQLite VFS for tests that fails (or kills the process at) the Nth read,
// write, sync, lock or truncate of any file SQLite opens. It wraps the
// default VFS and takes its place as the default while a FaultVfs lives, so
// the store under test uses it without knowing.

#include <array>
#include <functional>
#include <string>

namespace tsln2xml::test {

enum class FaultOp { kRead, kWrite, kSync, kLock, kTruncate };
inline constexpr std::array<FaultOp, 5> kFaultOps = {FaultOp::kRead, FaultOp::kWrite, FaultOp::kSync,
                                                     FaultOp::kLock, FaultOp::kTruncate};
const char* FaultOpName(FaultOp op);

// SQLite's integrity check of the catalog file at `path`: "ok", or what it
// found.
std::string IntegrityCheck(const std::string& path);
// A catalog that passes the check, where there is one at `path`.
void ExpectSoundCatalog(const std::string& path);

// Runs `act` with each kind of fault, once and from then on, at its Nth
// call for N = 1, 2, ... until a run meets no fault: `start` before the first
// N of each kind, `check(fired)` after each run with whether the fault was
// met. Ends at the first test failure.
void ForEachFault(const std::function<void()>& start, const std::function<void()>& act,
                  const std::function<void(bool fired)>& check);

class FaultVfs {
 public:
  FaultVfs();
  ~FaultVfs();
  FaultVfs(const FaultVfs&) = delete;
  FaultVfs& operator=(const FaultVfs&) = delete;

  // From now on the `nth` call of `op` fails with SQLite's I/O error for it,
  // and so does every later one when `persistent` (a disk that stays full or
  // unreadable). With `kill`, the process kills itself with SIGKILL there.
  void Arm(FaultOp op, int nth, bool persistent = false, bool kill = false);
  void Disarm();
  // Whether a fault was injected since the last Arm.
  bool Fired() const;
};

}  // namespace tsln2xml::test
