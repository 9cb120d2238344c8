// Raw file descriptors: open, seek, read, write and close with the
// toolkit's mode and origin codes.
#include "kelmar/PxStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "kelmar/PxMessage.h"

namespace {

constexpr mode_t kCreatePermissions = 0640; // owner read/write, group read
constexpr size_t kMaxPath = 4096;

// open() flags of a mode code, -1 for a code raw files do not support.
int OpenFlags(int mode)
{
    switch (mode) {
    case PX_MODE_READ:
    case PX_MODE_READ_BINARY: return O_RDONLY;
    case PX_MODE_WRITE: return O_WRONLY | O_CREAT | O_TRUNC;
    case PX_MODE_APPEND: return O_RDWR;
    default: return -1;
    }
}

} // namespace

int PxOpen(const char *path, int mode)
{
    const int flags = OpenFlags(mode);
    if (flags < 0) {
        // A bad argument is the caller's mistake: refused, not fatal.
        PxWarning(3, "Invalid mode parameter passed to PxOpen().\n");
        return -1;
    }
    if (path == nullptr) return -1;
    return open(path, flags, kCreatePermissions);
}

long PxLseek(int fd, long offset, int origin)
{
    int whence = 0;
    switch (origin) {
    case 0: whence = SEEK_SET; break;
    case 1: whence = SEEK_CUR; break;
    case 2: whence = SEEK_END; break;
    default: PxWarning(3, "Invalid origin parameter passed to PxLseek().\n"); return -1;
    }
    return static_cast<long>(lseek(fd, static_cast<off_t>(offset), whence));
}

long PxRead(int fd, void *buffer, size_t bytes)
{
    return static_cast<long>(read(fd, buffer, bytes));
}

long PxWrite(int fd, const void *buffer, size_t bytes)
{
    return static_cast<long>(write(fd, buffer, bytes));
}

int PxClose(int fd)
{
    return close(fd);
}

// The first descriptor that opens, trying name as given and then each
// search-list prefix + name; else the last failure.
int PxOpenWithSearch(const char *name, int mode)
{
    if (name == nullptr) return -1;
    int fd = PxOpen(name, mode);
    if (OpenFlags(mode) < 0) return fd; // reported once, not once per entry
    char path[kMaxPath];
    for (int i = 0; fd < 0 && PxGetDefaultFileLocation(i) != nullptr; ++i) {
        const int length = std::snprintf(path, sizeof path, "%s%s", PxGetDefaultFileLocation(i), name);
        if (length >= 0 && static_cast<size_t>(length) < sizeof path) fd = PxOpen(path, mode);
    }
    return fd;
}
