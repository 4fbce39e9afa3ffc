// Fault shim for the fault tests (Linux, LD_PRELOAD):
// - every write to a file whose path contains TAVRIK_ENOSPC fails with ENOSPC, as on a disk with
//   no room left;
// - opening for writing the file or folder TAVRIK_EROFS names (a path ending with it, or anything
//   under such a folder) fails with EROFS, as on a read-only disk;
// - with TAVRIK_FAULT_WHILE set, both hold only while that file exists, so a test can end the fault.
// Pipes, sockets and the terminal are never matched, so the program can still say what went wrong.
#define _GNU_SOURCE
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/uio.h>
#include <unistd.h>

static int active(void)
{
    const char *gate = getenv("TAVRIK_FAULT_WHILE");
    return !gate || !*gate || access(gate, F_OK) == 0;
}

static int full(int fd)
{
    const char *marker = getenv("TAVRIK_ENOSPC");
    if (!marker || !*marker)
        return 0;
    char link[64];
    char path[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    if (n <= 0 || path[0] != '/')
        return 0;
    path[n] = '\0';
    return strstr(path, marker) != NULL && active();
}

static int readOnly(const char *path, int flags)
{
    const char *marker = getenv("TAVRIK_EROFS");
    if (!marker || !*marker || !path || path[0] != '/' || ((flags & O_ACCMODE) == O_RDONLY && !(flags & O_CREAT)))
        return 0;
    const size_t n = strlen(marker);
    for (const char *at = strstr(path, marker); at; at = strstr(at + 1, marker))
        if (at[n] == '\0' || at[n] == '/')
            return active();
    return 0;
}

#define NEXT(name) ((__typeof__(name) *)dlsym(RTLD_NEXT, #name))

ssize_t write(int fd, const void *buf, size_t count)
{
    if (count > 0 && full(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(write)(fd, buf, count);
}

ssize_t writev(int fd, const struct iovec *iov, int iovcnt)
{
    if (full(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(writev)(fd, iov, iovcnt);
}

ssize_t pwrite(int fd, const void *buf, size_t count, off_t offset)
{
    if (count > 0 && full(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(pwrite)(fd, buf, count, offset);
}

ssize_t pwrite64(int fd, const void *buf, size_t count, off_t offset)
{
    if (count > 0 && full(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(pwrite64)(fd, buf, count, offset);
}

// The mode is there only with O_CREAT or O_TMPFILE; reading it otherwise is harmless on Linux.
#define OPEN(name, ...)                                                                                                \
    va_list args;                                                                                                      \
    va_start(args, flags);                                                                                             \
    const mode_t mode = va_arg(args, mode_t);                                                                          \
    va_end(args);                                                                                                      \
    if (readOnly(path, flags)) {                                                                                       \
        errno = EROFS;                                                                                                 \
        return -1;                                                                                                     \
    }                                                                                                                  \
    return NEXT(name)(__VA_ARGS__, flags, mode);

int open(const char *path, int flags, ...)
{
    OPEN(open, path)
}
int open64(const char *path, int flags, ...)
{
    OPEN(open64, path)
}
int openat(int dir, const char *path, int flags, ...)
{
    OPEN(openat, dir, path)
}
int openat64(int dir, const char *path, int flags, ...)
{
    OPEN(openat64, dir, path)
}
