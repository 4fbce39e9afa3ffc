// Full-disk shim for the fault tests (Linux, LD_PRELOAD): every write to a file whose path
// contains TAVRIK_ENOSPC fails with ENOSPC, as on a disk with no room left. Pipes, sockets and
// the terminal are never matched, so the program can still say what went wrong.
#define _GNU_SOURCE
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/uio.h>
#include <unistd.h>

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
    return strstr(path, marker) != NULL;
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

ssize_t pwrite64(int fd, const void *buf, size_t count, off_t offset)
{
    if (count > 0 && full(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return NEXT(pwrite64)(fd, buf, count, offset);
}
