#pragma once
// Helpers for the benchmarks: a scratch storage area and running a program
// (xmllint, sqlite3) as a subprocess to compare with in the same run.

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tsln2xml::bench {

class ScratchArea {
 public:
  ScratchArea() {
    std::string templ = (std::filesystem::temp_directory_path() / "tsln2xml-bench-XXXXXX").string();
    if (mkdtemp(templ.data())) path_ = templ;
  }
  ~ScratchArea() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Starts a program with its output (and, unless `keepErrors`, its errors)
// discarded; its process id, or -1 when it could not be started.
inline pid_t SpawnQuiet(const std::vector<std::string>& args, bool keepErrors = false) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  if (!keepErrors) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

// Runs a program with its output discarded; returns its exit code (-1 when it
// could not be started).
inline int RunQuiet(const std::vector<std::string>& args) {
  const pid_t pid = SpawnQuiet(args);
  if (pid < 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Seconds taken by `f`.
template <class F>
double Seconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// How a program run by RunWatched went: wall time in seconds, its peak
// resident memory in bytes (VmHWM since its exec, read while it runs: the
// peak reported at exit would count the memory of this process, whose
// address space the child starts from), and whether it exited with 0.
struct ProgramRun {
  double seconds = 0;
  long peak = 0;
  bool ok = false;
};

// Runs a program to its end with its output (and, unless `keepErrors`, its
// errors) discarded, watching its memory.
inline ProgramRun RunWatched(const std::vector<std::string>& args, bool keepErrors = false) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = SpawnQuiet(args, keepErrors);
  if (pid < 0) return {};
  int status = 0;
  ProgramRun run;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(file, line);)
      if (line.rfind("VmHWM:", 0) == 0) run.peak = std::max(run.peak, std::stol(line.substr(6)) * 1024L);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

// The peak resident memory of a program run to its end; -1 when it could not
// be started or failed.
inline long PeakMemoryOf(const std::vector<std::string>& args) {
  const ProgramRun run = RunWatched(args);
  return run.ok ? run.peak : -1;
}

}  // namespace tsln2xml::bench
