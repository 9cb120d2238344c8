#include "ProgramTestSupport.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace programtest {

bool Exists(const std::string &path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

Program::Program(const std::string &path) : path_(path), prefix_(path.substr(path.find_last_of('/') + 1))
{
}

std::string Program::Scratch(const std::string &name) const
{
    return testing::TempDir() + prefix_ + "-" + std::to_string(getpid()) + "-" + name;
}

Outcome Program::Run(const std::string &arguments) const
{
    const std::string out = Scratch("stdout"), err = Scratch("stderr");
    const int raw = system((path_ + " " + arguments + " >" + out + " 2>" + err).c_str());
    Outcome o = {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(out), ReadFile(err)};
    unlink(out.c_str());
    unlink(err.c_str());
    return o;
}

} // namespace programtest
