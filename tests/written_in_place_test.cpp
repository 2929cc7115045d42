// Outputs named by a named pipe (or a device such as /dev/null) are written
// into, not replaced by a file renamed into their place. Windows has no
// named pipes in the file system: nothing here runs there.
#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "platform/replace_file.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

namespace fs = std::filesystem;

// A named pipe at `path` and a thread reading it to the end. The reader goes
// through a second name of the pipe, so it reads the pipe itself even when a
// writer puts a file in its place, and is let go through that name when no
// writer ever opens the pipe.
class PipeReader {
 public:
  explicit PipeReader(const std::string& path) : kept_(path + ".kept") {
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(link(path.c_str(), kept_.c_str()), 0);
    thread_ = std::thread([this] {
      std::ifstream in(kept_, std::ios::binary);
      read_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      done_ = true;
    });
  }
  ~PipeReader() { Finish(); }
  PipeReader(const PipeReader&) = delete;
  PipeReader& operator=(const PipeReader&) = delete;

  // What was read, once the writer has finished.
  const std::string& Finish() {
    if (thread_.joinable()) {
      // Opening the pipe for writing fails until the reader waits for a
      // writer; once it does, it lets the reader go.
      while (!done_) {
        const int fd = open(kept_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      thread_.join();
    }
    return read_;
  }

 private:
  std::string kept_;
  std::string read_;
  std::atomic<bool> done_ = false;
  std::thread thread_;
};

TEST(WrittenInPlace, NamedPipesReceiveWhatIsWrittenAndStayPipes) {
  TempArea area;
  ASSERT_EQ(RunTool("demo-piece " + Quote(area.path()) + " FRONT"), 0);
  ASSERT_EQ(RunTool("demo-marker " + Quote(area.path()) + " DEMO"), 0);
  const std::string at = Quote(area.path());
  const struct {
    const char* what;
    std::function<int(const std::string&)> write;
  } cases[] = {
      {"one file", [](const std::string& to) { return platform::ReplaceFile(to, "written whole"); }},
      {"a set", [&](const std::string& to) {
         return platform::ReplaceFiles({{to, "written whole"}, {area.File("beside.rul"), "the other of the set"}});
       }},
      {"export", [&](const std::string& to) { return RunTool("export Piece " + at + " FRONT -o " + Quote(to)); }},
      {"render", [&](const std::string& to) { return RunTool("render Marker " + at + " DEMO -o " + Quote(to)); }},
      {"dxf", [&](const std::string& to) {
         return RunTool("dxf Marker " + at + " DEMO --units cm -o " + Quote(to));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = area.File("regular");
    ASSERT_EQ(c.write(file), 0);
    const std::string expected = ReadFile(file);
    ASSERT_FALSE(expected.empty());

    const std::string pipe = area.File("pipe");
    {
      PipeReader reader(pipe);
      EXPECT_EQ(c.write(pipe), 0);
      const std::string& got = reader.Finish();
      EXPECT_TRUE(got == expected) << got.size() << " bytes read of " << expected.size() << " written";
    }
    EXPECT_EQ(fs::symlink_status(pipe).type(), fs::file_type::fifo);
    fs::remove(pipe);
    fs::remove(pipe + ".kept");
  }
  EXPECT_EQ(ReadFile(area.File("beside.rul")), "the other of the set");
}

}  // namespace
}  // namespace tsln2xml::test

#endif
