// Read-delay shim for the benchmarks (Linux, LD_PRELOAD): makes the path calls of the client
// reader as slow as a share over a slow network, so the update cycle can be timed against it.
//
//   TAVRIK_DELAY_MARKER  only paths containing this text are delayed (e.g. "/delay-marker/")
//   TAVRIK_DELAY_MS      milliseconds added to each such call
//   TAVRIK_DELAY_LOG     optional file; one line per delayed call: "<monotonic ns> <call> <path>"
//
// Every name glibc exports for these calls is caught, each forwarding to its own next definition:
// which one a caller reaches depends on its headers (stat or stat64, the fortified __open_2, the
// __xstat family of older binaries). fstat and read are not delayed: they take no path; nor is
// newfstatat, which is only the system call's name (glibc exports no function of that name).
#define _GNU_SOURCE
#undef _FORTIFY_SOURCE // the wrappers below must be the real definitions, not inline checks
#undef _FILE_OFFSET_BITS // open stays open, stat stays stat: each name is defined once
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static const char *g_marker;
static struct timespec g_delay;
static int g_logFd = -1;

#define REAL(name)                                                                                                     \
    static __typeof__(name) *real_##name;                                                                              \
    static __typeof__(name) *fn_##name(void)                                                                           \
    {                                                                                                                  \
        __typeof__(name) *f = __atomic_load_n(&real_##name, __ATOMIC_ACQUIRE);                                         \
        if (!f) {                                                                                                      \
            f = (__typeof__(name) *)dlsym(RTLD_NEXT, #name);                                                           \
            __atomic_store_n(&real_##name, f, __ATOMIC_RELEASE);                                                       \
        }                                                                                                              \
        return f;                                                                                                      \
    }

// Not declared by glibc 2.33 and later, still exported for binaries built before.
int __xstat(int ver, const char *path, struct stat *buf);
int __xstat64(int ver, const char *path, struct stat64 *buf);
int __lxstat(int ver, const char *path, struct stat *buf);
int __lxstat64(int ver, const char *path, struct stat64 *buf);
int __fxstatat(int ver, int dirfd, const char *path, struct stat *buf, int flags);
int __fxstatat64(int ver, int dirfd, const char *path, struct stat64 *buf, int flags);
int __open_2(const char *path, int flags);
int __open64_2(const char *path, int flags);
int __openat_2(int dirfd, const char *path, int flags);
int __openat64_2(int dirfd, const char *path, int flags);

REAL(open)
REAL(open64)
REAL(__open_2)
REAL(__open64_2)
REAL(openat)
REAL(openat64)
REAL(__openat_2)
REAL(__openat64_2)
REAL(stat)
REAL(stat64)
REAL(lstat)
REAL(lstat64)
REAL(fstatat)
REAL(fstatat64)
REAL(__xstat)
REAL(__xstat64)
REAL(__lxstat)
REAL(__lxstat64)
REAL(__fxstatat)
REAL(__fxstatat64)
REAL(statx)
REAL(opendir)

__attribute__((constructor)) static void readDelayInit(void)
{
    g_marker = getenv("TAVRIK_DELAY_MARKER");
    if (g_marker && !*g_marker)
        g_marker = NULL;
    const char *ms = getenv("TAVRIK_DELAY_MS");
    const long delayMs = ms ? strtol(ms, NULL, 10) : 0;
    g_delay.tv_sec = delayMs / 1000;
    g_delay.tv_nsec = (delayMs % 1000) * 1000000L;
    const char *log = getenv("TAVRIK_DELAY_LOG");
    if (log && *log)
        g_logFd = fn_open()(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

static void delay(const char *call, const char *path)
{
    if (!g_marker || !path || !strstr(path, g_marker))
        return;
    const int savedErrno = errno;
    if (g_logFd >= 0) {
        // Stamped when the call was made; one write per line, so threads never interleave.
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        char line[4096];
        int n = snprintf(
            line, sizeof line, "%lld %s %s\n", (long long)now.tv_sec * 1000000000LL + now.tv_nsec, call, path);
        if (n >= (int)sizeof line) {
            n = sizeof line;
            line[n - 1] = '\n';
        }
        if (n > 0 && write(g_logFd, line, (size_t)n) < 0) {
            // Nothing to do: the log is only a help.
        }
    }
    struct timespec left = g_delay;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) { }
    errno = savedErrno;
}

static mode_t modeArg(int flags, va_list ap)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(ap, mode_t) : 0;
}

int open(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    delay("open", path);
    return fn_open()(path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    delay("open64", path);
    return fn_open64()(path, flags, mode);
}

int openat(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    delay("openat", path);
    return fn_openat()(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = modeArg(flags, ap);
    va_end(ap);
    delay("openat64", path);
    return fn_openat64()(dirfd, path, flags, mode);
}

#define PASS(name, params, args, path)                                                                                 \
    int name params                                                                                                    \
    {                                                                                                                  \
        delay(#name, path);                                                                                            \
        return fn_##name() args;                                                                                       \
    }

PASS(__open_2, (const char *path, int flags), (path, flags), path)
PASS(__open64_2, (const char *path, int flags), (path, flags), path)
PASS(__openat_2, (int dirfd, const char *path, int flags), (dirfd, path, flags), path)
PASS(__openat64_2, (int dirfd, const char *path, int flags), (dirfd, path, flags), path)
PASS(stat, (const char *restrict path, struct stat *restrict buf), (path, buf), path)
PASS(stat64, (const char *restrict path, struct stat64 *restrict buf), (path, buf), path)
PASS(lstat, (const char *restrict path, struct stat *restrict buf), (path, buf), path)
PASS(lstat64, (const char *restrict path, struct stat64 *restrict buf), (path, buf), path)
PASS(fstatat, (int dirfd, const char *restrict path, struct stat *restrict buf, int flags), (dirfd, path, buf, flags),
    path)
PASS(fstatat64, (int dirfd, const char *restrict path, struct stat64 *restrict buf, int flags),
    (dirfd, path, buf, flags), path)
PASS(__xstat, (int ver, const char *path, struct stat *buf), (ver, path, buf), path)
PASS(__xstat64, (int ver, const char *path, struct stat64 *buf), (ver, path, buf), path)
PASS(__lxstat, (int ver, const char *path, struct stat *buf), (ver, path, buf), path)
PASS(__lxstat64, (int ver, const char *path, struct stat64 *buf), (ver, path, buf), path)
PASS(__fxstatat, (int ver, int dirfd, const char *path, struct stat *buf, int flags), (ver, dirfd, path, buf, flags),
    path)
PASS(__fxstatat64, (int ver, int dirfd, const char *path, struct stat64 *buf, int flags),
    (ver, dirfd, path, buf, flags), path)
PASS(statx, (int dirfd, const char *restrict path, int flags, unsigned int mask, struct statx *restrict buf),
    (dirfd, path, flags, mask, buf), path)

DIR *opendir(const char *path)
{
    delay("opendir", path);
    return fn_opendir()(path);
}
