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

#ifdef __cplusplus
extern "C" {
#endif

// The UTC calendar time of `*t`, any time_t, those before 1970 included
// (Windows's gmtime refuses them).
struct tm* gmtime_r(const time_t* t, struct tm* out);

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

// The status of a command run with popen: _pclose gives its exit code.
#define WIFEXITED(status) ((status) != -1)
#define WEXITSTATUS(status) (status)

#endif
