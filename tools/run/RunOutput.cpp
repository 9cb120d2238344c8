// Outputs renamed into place when complete.
#include "RunOutput.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "SimOutputFile.h"

namespace krun {

Output::~Output()
{
    if (file_) std::fclose(file_);
    if (temporary_.empty()) return;
    std::remove(temporary_.c_str());
    ksim::keepOnSignal(temporary_);
}

// The temporary file lives beside the output, so the rename stays on one
// file system and is atomic.
bool Output::open(const std::string &path)
{
    path_ = path;
    std::string pattern = path + ".XXXXXX";
    const int fd = ksim::createTemporary(pattern);
    if (fd < 0) return false;
    temporary_ = pattern;
    ksim::removeOnSignal(temporary_); // a run stopped by Ctrl-C or kill leaves nothing
    file_ = fdopen(fd, "w");
    if (file_) return true;
    close(fd);
    return false;
}

bool Output::commit()
{
    if (!file_) return false;
    const bool written = std::ferror(file_) == 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) return false;
    ksim::keepOnSignal(temporary_);
    temporary_.clear();
    return true;
}

} // namespace krun
