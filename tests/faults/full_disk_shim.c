// Preloaded into a program under test: every write() and fsync() on a file
// under the folder named by KESTROW_FULL_DISK fails with ENOSPC, as on a full
// disk. Creating and renaming files still works, as it does on a real one.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int onFullDisk(int fd)
{
    const char* folder = getenv("KESTROW_FULL_DISK");
    if (folder == NULL || *folder == '\0')
        return 0;
    char link[64];
    char target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return 0;
    target[n] = '\0';
    return strncmp(target, folder, strlen(folder)) == 0;
}

ssize_t write(int fd, const void* bytes, size_t count)
{
    static ssize_t (*real)(int, const void*, size_t);
    if (real == NULL)
        real = (ssize_t(*)(int, const void*, size_t))dlsym(RTLD_NEXT, "write");
    if (count > 0 && onFullDisk(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, bytes, count);
}

int fsync(int fd)
{
    static int (*real)(int);
    if (real == NULL)
        real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    if (onFullDisk(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd);
}
