#pragma once
// The few POSIX names that the code shared with Linux uses, given their
// Windows meanings. The Windows build puts this header in front of every
// source file (cmake/windows.cmake); on other systems it is empty.

#ifdef _WIN32

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

// open(): not inherited by child processes (close-on-exec), and the bytes as
// they are, with no CR/LF translation.
#define O_CLOEXEC (_O_NOINHERIT | _O_BINARY)
// Flags Windows's open() has no counterpart for: it has no FIFOs to block on,
// and a symbolic link (which only an administrator makes) is followed.
#define O_NONBLOCK 0
#define O_NOFOLLOW 0

#ifdef __cplusplus
extern "C" {
#endif

// The UTC calendar time of `*t`, any time_t, those before 1970 included
// (Windows's gmtime refuses them).
struct tm* gmtime_r(const time_t* t, struct tm* out);
// The local calendar time of `*t` (localtime_s).
struct tm* localtime_r(const time_t* t, struct tm* out);

// Writes at `offset` without moving the file position others use (the file
// position of `fd` moves; each writer has a descriptor of its own).
ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset);

// The account running the process, as getpwuid_r gives it on Linux: only
// pw_name is filled, in the code page (platform/code_page.h).
typedef unsigned int uid_t;
struct passwd {
  char* pw_name;
};
uid_t geteuid(void);
int getpwuid_r(uid_t uid, struct passwd* pwd, char* buffer, size_t size, struct passwd** result);

// Environment and temporary directories, for the tests.
int setenv(const char* name, const char* value, int overwrite);
int unsetenv(const char* name);
char* mkdtemp(char* pathTemplate);

#ifdef __cplusplus
}
#endif

// Windows files have no POSIX modes (ReplaceFileW keeps a replaced file's
// attributes and security): setting one does nothing.
static inline int fchmod(int fd, mode_t mode) {
  (void)fd;
  (void)mode;
  return 0;
}
static inline int fsync(int fd) { return _commit(fd); }

// The status of a command run with popen: _pclose gives its exit code.
#define WIFEXITED(status) ((status) != -1)
#define WEXITSTATUS(status) (status)

#endif
