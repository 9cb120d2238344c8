#include "SimOutputFile.h"

#include <stdio.h>
#include <sys/stat.h>

namespace ksim {

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::open(const std::string &path)
{
    discard();
    path_ = path;
    part_ = path + ".part";
    file_ = fopen(part_.c_str(), "w");
    return file_ != nullptr;
}

bool OutputFile::commit()
{
    if (!file_) return false;
    const bool good = !ferror(file_);
    const bool closed = fclose(file_) == 0;
    file_ = nullptr;
    if (good && closed && rename(part_.c_str(), path_.c_str()) == 0) return true;
    remove(part_.c_str());
    return false;
}

void OutputFile::discard()
{
    if (!file_) return;
    fclose(file_);
    file_ = nullptr;
    remove(part_.c_str());
}

bool sameFile(const std::string &a, const std::string &b)
{
    if (a == b) return true;
    struct stat x, y;
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

} // namespace ksim
