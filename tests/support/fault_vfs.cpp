#include "support/fault_vfs.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>
#include <cstring>
#include <stdexcept>

#include "store/catalog.h"

namespace tsln2xml::test {
namespace {

struct Plan {
  bool armed = false;
  FaultOp op = FaultOp::kRead;
  int nth = 0;
  int seen = 0;
  bool persistent = false;
  bool kill = false;
  bool fired = false;
};

Plan gPlan;
sqlite3_vfs* gBase = nullptr;
sqlite3_vfs gVfs;
sqlite3_io_methods gMethods;

// The file SQLite sees: our methods first, the base VFS's file after it.
struct FaultFile {
  sqlite3_file base;
  sqlite3_file* real;
};

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f)->real; }

// Whether this call of `op` fails.
bool Inject(FaultOp op) {
  if (!gPlan.armed || gPlan.op != op) return false;
  ++gPlan.seen;
  if (gPlan.seen < gPlan.nth || (gPlan.seen > gPlan.nth && !gPlan.persistent)) return false;
  if (gPlan.kill) raise(SIGKILL);
  gPlan.fired = true;
  return true;
}

int Close(sqlite3_file* f) {
  const int rc = Real(f)->pMethods ? Real(f)->pMethods->xClose(Real(f)) : SQLITE_OK;
  f->pMethods = nullptr;
  return rc;
}
int Read(sqlite3_file* f, void* buf, int n, sqlite3_int64 off) {
  return Inject(FaultOp::kRead) ? SQLITE_IOERR_READ : Real(f)->pMethods->xRead(Real(f), buf, n, off);
}
int Write(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off) {
  return Inject(FaultOp::kWrite) ? SQLITE_IOERR_WRITE : Real(f)->pMethods->xWrite(Real(f), buf, n, off);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  return Inject(FaultOp::kTruncate) ? SQLITE_IOERR_TRUNCATE : Real(f)->pMethods->xTruncate(Real(f), size);
}
int Sync(sqlite3_file* f, int flags) {
  return Inject(FaultOp::kSync) ? SQLITE_IOERR_FSYNC : Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int Lock(sqlite3_file* f, int level) {
  return Inject(FaultOp::kLock) ? SQLITE_IOERR_LOCK : Real(f)->pMethods->xLock(Real(f), level);
}
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int FileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
  auto* file = reinterpret_cast<FaultFile*>(f);
  file->real = reinterpret_cast<sqlite3_file*>(file + 1);
  file->real->pMethods = nullptr;
  const int rc = gBase->xOpen(gBase, name, file->real, flags, outFlags);
  // SQLite closes a file whose methods are set, even when opening failed.
  file->base.pMethods = file->real->pMethods ? &gMethods : nullptr;
  return rc;
}

}  // namespace

const char* FaultOpName(FaultOp op) {
  switch (op) {
    case FaultOp::kRead: return "read";
    case FaultOp::kWrite: return "write";
    case FaultOp::kSync: return "sync";
    case FaultOp::kLock: return "lock";
    case FaultOp::kTruncate: return "truncate";
  }
  return "?";
}

FaultVfs::FaultVfs() {
  sqlite3_initialize();
  gBase = sqlite3_vfs_find(nullptr);
  if (!gBase || gBase == &gVfs) throw std::logic_error("FaultVfs: one at a time");
  gMethods = {};
  gMethods.iVersion = 1;  // no shared memory or memory mapping: the store journals
  gMethods.xClose = Close;
  gMethods.xRead = Read;
  gMethods.xWrite = Write;
  gMethods.xTruncate = Truncate;
  gMethods.xSync = Sync;
  gMethods.xFileSize = FileSize;
  gMethods.xLock = Lock;
  gMethods.xUnlock = Unlock;
  gMethods.xCheckReservedLock = CheckReservedLock;
  gMethods.xFileControl = FileControl;
  gMethods.xSectorSize = SectorSize;
  gMethods.xDeviceCharacteristics = DeviceCharacteristics;
  // Everything but opening a file goes straight to the base VFS's functions,
  // which look at nothing in the VFS record that differs here.
  gVfs = *gBase;
  gVfs.zName = "tsln2xml-fault";
  gVfs.pNext = nullptr;
  gVfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + gBase->szOsFile;
  gVfs.xOpen = Open;
  gPlan = {};
  sqlite3_vfs_register(&gVfs, 1);
}

FaultVfs::~FaultVfs() {
  sqlite3_vfs_register(gBase, 1);
  sqlite3_vfs_unregister(&gVfs);
  gPlan = {};
}

void FaultVfs::Arm(FaultOp op, int nth, bool persistent, bool kill) {
  gPlan = {true, op, nth, 0, persistent, kill, false};
}

void FaultVfs::Disarm() { gPlan.armed = false; }

bool FaultVfs::Fired() const { return gPlan.fired; }

std::string IntegrityCheck(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  store::SqliteDb owner(db);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &stmt, nullptr) != SQLITE_OK) return sqlite3_errmsg(db);
  store::SqliteStatement statement(stmt);
  if (sqlite3_step(stmt) != SQLITE_ROW) return sqlite3_errmsg(db);
  return reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
}

void ExpectSoundCatalog(const std::string& path) {
  EXPECT_EQ(std::filesystem::exists(path) ? IntegrityCheck(path) : "ok", "ok") << path;
}

void ForEachFault(const std::function<void()>& start, const std::function<void()>& act,
                  const std::function<void(bool fired)>& check) {
  for (const FaultOp kind : kFaultOps) {
    for (const bool persistent : {false, true}) {
      SCOPED_TRACE(std::string(FaultOpName(kind)) + (persistent ? " from the Nth on" : " once"));
      start();
      FaultVfs vfs;
      bool fired = true;
      for (int n = 1; fired; ++n) {
        ASSERT_LT(n, 1000) << "the fault is met whatever N is";
        SCOPED_TRACE("N = " + std::to_string(n));
        vfs.Arm(kind, n, persistent);
        act();
        fired = vfs.Fired();
        vfs.Disarm();
        check(fired);
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
}

}  // namespace tsln2xml::test
