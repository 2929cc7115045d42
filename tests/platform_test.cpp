// The platform stand-ins: code pages, number text forms, storage paths (BSTRs:
// xml_services_test).

#include <gtest/gtest.h>

#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
// windows.h names ReplaceFileA ReplaceFile; the one tested here is ours.
#undef ReplaceFile
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cmath>
#include <filesystem>
#include <limits>

#include "platform/code_page.h"
#include "platform/leftovers.h"
#include "platform/number_text.h"
#include "platform/paths.h"
#include "platform/replace_file.h"
#include "support/test_support.h"

namespace tsln2xml::test {
namespace {

using namespace platform;

// Each page's lead and other bytes; a character and its bytes both ways
// (names and texts of such characters through the store: HostPaths,
// LibraryItems.DoubleBytePieceNamesAreNeverSplit).
TEST(CodePage, DoubleByteCodePages) {
  const struct {
    int page;
    std::vector<uint8_t> leads, others;
    std::string bytes;  // two characters
    std::u16string text;
  } pages[] = {
      {932, {0x82, 0xE0}, {0x41, 0xA0}, "\x82\xA0\x82\xA2", u"\u3042\u3044"},
      {936, {0x81, 0xFE}, {0x80, 0xFF, 'A'}, "\xD6\xD0\xCE\xC4", u"\u4E2D\u6587"},
      {949, {0x81, 0xFE}, {0x80, 0xFF, 'A'}, "\xC7\xD1\xB1\xB9", u"\uD55C\uAD6D"},
      {950, {0x81, 0xFE}, {0x80, 0xFF, 'A'}, "\xA4\xA4\xA4\xE5", u"\u4E2D\u6587"},
  };
  for (const auto& p : pages) {
    CodePageScope cp(p.page);
    EXPECT_EQ(ActiveCodePage(), p.page);
    for (uint8_t lead : p.leads) EXPECT_TRUE(IsDBCSLeadByte(lead)) << p.page << " " << int{lead};
    for (uint8_t other : p.others) EXPECT_FALSE(IsDBCSLeadByte(other)) << p.page << " " << int{other};
    EXPECT_EQ(AnsiToUtf16(p.bytes), p.text) << p.page;
    EXPECT_EQ(Utf16ToAnsi(u"a" + p.text + u"b"), "a" + p.bytes + "b") << p.page;
    // A lead byte without its second byte does not swallow what follows.
    EXPECT_EQ(AnsiToUtf16(p.bytes.substr(0, 1)), u"\uFFFD") << p.page;
  }
  CodePageScope cp(932);
  EXPECT_EQ(AnsiToUtf8("\xB1"), "\xEF\xBD\xB1");  // half-width katakana A
}

// Single-byte pages: every byte one character, both ways; bytes that 1252
// leaves undefined stand for the characters of the same value.
TEST(CodePage, SingleBytePages) {
  const struct {
    int page;
    char byte;
    char16_t character;
  } pages[] = {{1252, '\x80', u'\u20AC'}, {1252, '\x81', u'\u0081'}, {1252, '\x9D', u'\u009D'},
               {1251, '\xC0', u'\u0410'}, {1251, '\xFF', u'\u044F'}, {866, '\x80', u'\u0410'},
               {866, '\xAF', u'\u043F'}};
  for (const auto& p : pages) {
    CodePageScope cp(p.page);
    EXPECT_FALSE(IsDBCSLeadByte(static_cast<uint8_t>(p.byte))) << p.page;
    EXPECT_EQ(AnsiToUtf16(std::string(1, p.byte)), std::u16string(1, p.character)) << p.page;
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(all)), all) << p.page;
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all) << p.page;
  }
  // Characters a page cannot hold, in or beyond the BMP, become question marks.
  CodePageScope cp(1252);
  EXPECT_EQ(Utf16ToAnsi(u"a\u4E2Db"), "a?b");
  EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80\xC3\xA9"), "?\xE9");
}

TEST(CodePage, MalformedUnicodeBecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");  // overlong
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(NumberText, DoublesWithTwentyFourDigitsAndWideExponents) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {1.5, "1.5"},
      {2.54, "2.54000000000000003552714"},
      {0.1, "0.100000000000000005551115"},
      {0.00001, "1.00000000000000008180305e-005"},
      {0.25, "0.25"},
      {-0.25, "-0.25"},
      {0.0, "0"},
      {1e24, "999999999999999983222784"},
      {1e25, "1.00000000000000009059697e+025"},
      {1e300, "1.00000000000000005250476e+300"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
      {std::numeric_limits<double>::quiet_NaN(), "NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDouble24(c.value), c.text) << c.value;
}

// The marker document's reals: six significant digits, exponents of three.
TEST(NumberText, DoublesWithSixDigits) {
  const struct {
    double value;
    const char* text;
  } cases[] = {{1.0, "1"},           {0.5, "0.5"},         {1e6, "1e+006"},     {0.00001, "1e-005"},
               {123456.7, "123457"}, {-0.0001, "-0.0001"}, {1234567, "1.23457e+006"}, {2.54, "2.54"},
               {1e-300, "1e-300"},   {0, "0"}};
  for (const auto& c : cases) EXPECT_EQ(FormatDouble(c.value, 6), c.text) << c.value;
}

TEST(NumberText, ParsingIsInvariantAndWhole) {
  // The written forms read back as the same doubles.
  for (const char* text : {"2.54000000000000003552714", "1.00000000000000008180305e-005",
                           "-1.00000000000000009059697e+025", "0.100000000000000005551115"}) {
    auto v = ParseDouble(text);
    ASSERT_TRUE(v) << text;
    EXPECT_EQ(FormatDouble24(*v), text) << text;
  }
  EXPECT_EQ(ParseDouble(" +1.5\n"), 1.5);
  EXPECT_TRUE(std::isinf(*ParseDouble("-INF")));
  EXPECT_TRUE(std::isnan(*ParseDouble("NaN")));
  for (const char* bad : {"", "1,5", "abc", "0x10", "inf", "nan", "1.5x", "--1"}) EXPECT_FALSE(ParseDouble(bad)) << bad;
  bool overflow = false;
  EXPECT_FALSE(ParseDouble("1e400", &overflow));
  EXPECT_TRUE(overflow);
}

TEST(Paths, StoragePathsAndTheirHostDirectories) {
  EXPECT_EQ(StoragePath("C", "\\data\\storage"), "C:\\data\\storage");
  EXPECT_EQ(StoragePath("C:", "\\data\\storage"), "C:\\data\\storage");
  EXPECT_EQ(StoragePath("", "/tmp/area"), "/tmp/area");
  EXPECT_EQ(StoragePath("", std::string(300, 'a')).size(), 300u);  // never cut
#ifdef _WIN32
  // Windows takes the path as it is, whatever TSLN2XML_DRIVE_C says.
  EnvScope drive("TSLN2XML_DRIVE_C", "/srv/c/");
  for (const char* path : {"C:\\data\\storage", "c:/data/storage", "C:", "relative\\area", "\\\\server\\share"})
    EXPECT_EQ(TranslateStoragePath(path), path);
#else
  {
    EnvScope none("TSLN2XML_DRIVE_C", nullptr);
    EXPECT_EQ(TranslateStoragePath("C:\\data\\storage"), "/data/storage");
  }
  EnvScope drive("TSLN2XML_DRIVE_C", "/srv/c/");
  EXPECT_EQ(TranslateStoragePath("c:\\data\\storage"), "/srv/c/data/storage");
  EXPECT_EQ(TranslateStoragePath("C:"), "/srv/c");
  EXPECT_EQ(TranslateStoragePath("relative\\area"), "relative/area");
#endif
}

TEST(Paths, FileUrlsNameLocalPaths) {
#ifdef _WIN32
  const char* const driveUrl = "C:/dir/a.xsd";
#else
  const char* const driveUrl = "/C:/dir/a.xsd";
#endif
  const struct {
    const char* url;
    const char* path;
  } cases[] = {
      {"file:///tmp/a.xsd", "/tmp/a.xsd"},
      {"FILE:///tmp/a.xsd", "/tmp/a.xsd"},
      {"file:///C:/dir/a.xsd", driveUrl},
      {"file://C:\\dir\\a.xsd", "C:\\dir\\a.xsd"},
      {"sub%20dir/a.xsd", "sub%20dir/a.xsd"},
      {"file://", "file://"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileUrlPath(c.url), c.path) << c.url;

  // A document's base URL leads back to its path.
#ifdef _WIN32
  EXPECT_EQ(DocumentBaseUrl("C:\\dir\\a b%.xsd"), "file:///C:/dir/a%20b%25.xsd");
  EXPECT_EQ(DocumentBaseUrl("sub\\a.xsd"), "sub/a.xsd");
  EXPECT_EQ(FileUrlPath(DocumentBaseUrl("C:\\dir\\a.xsd")), "C:/dir/a.xsd");
#else
  EXPECT_EQ(DocumentBaseUrl("/dir/a b%\xE9.xsd"), "/dir/a%20b%25%E9.xsd");
#endif
}

// A file written whole: new, it gets the umask's mode; replacing one, it keeps
// that file's mode; a failure leaves the target as it was and nothing beside.
// (Windows has no modes: a file is made and replaced there, and a read-only
// one is refused, as ReplaceFileW does.)
TEST(ReplaceFile, ModesAndFailures) {
  namespace fs = std::filesystem;
  TempArea area;
  const std::string file = area.File("picture.svg");
  const struct {
    mode_t umask;
    int before;  // the existing file's mode, -1 for none
    int after;
  } cases[] = {
#ifdef _WIN32
      {022, -1, 0666}, {022, 0666, 0666}};
  WriteFile(area.File("read-only.svg"), "old");
  fs::permissions(area.File("read-only.svg"), fs::perms(0444));
  EXPECT_EQ(ReplaceFile(area.File("read-only.svg"), "new"), EACCES);
  EXPECT_EQ(ReadFile(area.File("read-only.svg")), "old");
#else
      {022, -1, 0644}, {077, -1, 0600}, {022, 0600, 0600}, {077, 0640, 0640}, {0, 0444, 0444}};
#endif
  for (const auto& c : cases) {
    fs::remove(file);
    if (c.before >= 0) {
      WriteFile(file, "old");
      fs::permissions(file, fs::perms(c.before));
    }
    const mode_t saved = umask(c.umask);
    const int error = ReplaceFile(file, "new");
    umask(saved);
    ASSERT_EQ(error, 0);
    EXPECT_EQ(ReadFile(file), "new");
#ifndef _WIN32
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(c.after)) << std::oct << c.umask << " " << c.before;
#endif
  }
  fs::create_directory(area.File("taken"));
  EXPECT_EQ(ReplaceFile(area.File("taken"), "new"), EISDIR);
  EXPECT_EQ(ReplaceFile(area.File("no/dir.svg"), "new"), ENOENT);
  EXPECT_TRUE(fs::is_directory(area.File("taken")));
  for (const auto& entry : fs::directory_iterator(area.path()))
    EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

// A set of files goes into place whole: when any of them cannot, every target
// is as it was (an old file back, a new one not there) and nothing is left
// beside; when all can, each replaces its target and keeps its mode (on
// Windows, which has no modes, 0640 reads back as 0666).
TEST(ReplaceFiles, AllOrNone) {
  namespace fs = std::filesystem;
#ifdef _WIN32
  const fs::perms kept = fs::perms(0666);
#else
  const fs::perms kept = fs::perms(0640);
#endif
  TempArea area;
  const std::string a = area.File("a.rul"), b = area.File("b.txt"), c = area.File("c.dxf");
  auto reset = [&] {
    for (const std::string& f : {a, b, c}) fs::remove_all(f);
    WriteFile(a, "old a");
    fs::permissions(a, fs::perms(0640));
  };
  const struct {
    const char* what;
    std::string blocked;  // made a directory: its rename fails
    int error;
  } failures[] = {
      {"the last rename fails", c, EISDIR},
      {"a middle target is a directory", b, EISDIR},
      {"the first target is a directory", a, EISDIR},
      {"a file cannot be made beside", area.File("no/dir.dxf"), ENOENT},
  };
  for (const auto& f : failures) {
    reset();
    const bool isDirectory = f.blocked.find("no/dir") == std::string::npos;
    if (isDirectory) {
      fs::remove_all(f.blocked);
      fs::create_directory(f.blocked);
    }
    const std::string last = isDirectory ? c : f.blocked;
    EXPECT_EQ(ReplaceFiles({{a, "new a"}, {b, "new b"}, {last, "new c"}}), f.error) << f.what;
    if (f.blocked != a) {
      EXPECT_EQ(ReadFile(a), "old a") << f.what;
      EXPECT_EQ(fs::status(a).permissions(), kept) << f.what;
    }
    EXPECT_EQ(fs::is_directory(b), f.blocked == b) << f.what;
    EXPECT_EQ(fs::exists(b), f.blocked == b) << f.what;
    EXPECT_EQ(fs::exists(c), f.blocked == c) << f.what;
    for (const auto& entry : fs::directory_iterator(area.path()))
      EXPECT_TRUE(entry.path().extension() != ".part" && entry.path().extension() != ".old") << entry.path();
  }
  reset();
  ASSERT_EQ(ReplaceFiles({{a, "new a"}, {b, "new b"}, {c, "new c"}}), 0);
  EXPECT_EQ(ReadFile(a) + ReadFile(b) + ReadFile(c), "new anew bnew c");
  EXPECT_EQ(fs::status(a).permissions(), kept);
  for (const auto& entry : fs::directory_iterator(area.path()))
    EXPECT_TRUE(entry.path().extension() != ".part" && entry.path().extension() != ".old") << entry.path();
}

// A file beside carries its writer's process id: only files of processes
// that have ended are removed, and only regular files of the given shape.
TEST(Leftovers, OnlyFilesOfEndedProcessesGo) {
  namespace fs = std::filesystem;
  const long ended = EndedProcessId();
  ASSERT_GT(ended, 0);
  EXPECT_FALSE(ProcessExists(ended));
  EXPECT_TRUE(ProcessExists(static_cast<long>(getpid())));
  TempArea area;
  const std::string gone = std::to_string(ended), live = std::to_string(getpid());
  const struct {
    std::string name;
    bool removed;
  } files[] = {
      {".pic.svg." + gone + "-0.part", true},
      {".pic.svg." + gone + "-12.part", true},
      {".pic.svg." + live + "-0.part", false},  // a live process's
      {".pic.svg." + gone + "-0.old", false},   // another shape
      {".pic.svg.0" + gone + "-0.part", false},
      {".other.svg." + gone + "-0.part", false},
  };
  for (const auto& f : files) WriteFile(area.File(f.name), "left behind");
  fs::create_directory(area.File(".pic.svg." + gone + "-1.part"));
  EXPECT_EQ(RemoveLeftovers(area.path(), {".pic.svg.", IsCounterPart}), 2);
  for (const auto& f : files) EXPECT_EQ(fs::exists(area.File(f.name)), !f.removed) << f.name;
  EXPECT_TRUE(fs::is_directory(area.File(".pic.svg." + gone + "-1.part")));
}

}  // namespace
}  // namespace tsln2xml::test
