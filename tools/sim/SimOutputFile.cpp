#include "SimOutputFile.h"

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace ksim {

namespace {

// The temporary files a signal removes: fixed slots, as a signal handler
// may touch nothing that allocates or locks.
const int kSlots = 8;
char gPaths[kSlots][PATH_MAX];
volatile sig_atomic_t gInUse[kSlots];
const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

void removeTemporaries(int signal)
{
    for (int k = 0; k < kSlots; ++k)
        if (gInUse[k]) unlink(gPaths[k]);
    // The default action then ends the program by the same signal, so that
    // whoever sent it sees how the run ended.
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

void installHandlers()
{
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signal : kSignals) {
        struct sigaction old = {}, action = {};
        if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
        action.sa_handler = removeTemporaries;
        sigemptyset(&action.sa_mask);
        for (int other : kSignals) sigaddset(&action.sa_mask, other);
        sigaction(signal, &action, nullptr);
    }
}

// The path with its folder resolved, or empty when the folder does not exist.
std::string resolved(const std::string &path)
{
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer)) return buffer;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == ".." || !realpath(folder.c_str(), buffer)) return "";
    return std::string(buffer) + (buffer[1] ? "/" : "") + name;
}

} // namespace

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::open(const std::string &path)
{
    discard();
    path_ = path;
    part_ = path + ".part.XXXXXX";
    const int fd = createTemporary(part_);
    if (fd < 0) return false;
    removeOnSignal(part_);
    file_ = fdopen(fd, "w");
    if (file_) return true;
    const int failure = errno; // the caller's message names why it failed
    close(fd);
    remove(part_.c_str());
    keepOnSignal(part_);
    errno = failure;
    return false;
}

bool OutputFile::commit()
{
    if (!file_) return false;
    const bool good = !ferror(file_);
    const bool closed = fclose(file_) == 0;
    file_ = nullptr;
    const bool renamed = good && closed && rename(part_.c_str(), path_.c_str()) == 0;
    const int failure = errno;
    if (!renamed) remove(part_.c_str());
    keepOnSignal(part_);
    errno = failure;
    return renamed;
}

void OutputFile::discard()
{
    if (!file_) return;
    fclose(file_);
    file_ = nullptr;
    remove(part_.c_str());
    keepOnSignal(part_);
}

int createTemporary(std::string &pattern)
{
    const int fd = mkstemp(&pattern[0]);
    if (fd < 0) return -1;
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    return fd;
}

void removeOnSignal(const std::string &path)
{
    if (path.size() >= PATH_MAX) return;
    installHandlers();
    for (int k = 0; k < kSlots; ++k) {
        if (gInUse[k]) continue;
        memcpy(gPaths[k], path.c_str(), path.size() + 1);
        std::atomic_signal_fence(std::memory_order_seq_cst); // the path is whole before a handler sees it
        gInUse[k] = 1;
        return;
    }
}

void keepOnSignal(const std::string &path)
{
    for (int k = 0; k < kSlots; ++k)
        if (gInUse[k] && path == gPaths[k]) gInUse[k] = 0;
}

bool sameFile(const std::string &a, const std::string &b)
{
    if (a == b) return true;
    struct stat x, y;
    if (stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0) return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
    const std::string ra = resolved(a);
    return !ra.empty() && ra == resolved(b);
}

} // namespace ksim
