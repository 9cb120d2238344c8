// File opening with the host's search list: the name as given, then each
// directory of the list in the order it was added.
#include <cstdio>
#include <string>
#include <vector>

#include "StandIn.h"

namespace dfx {

namespace {

std::vector<std::string> &SearchPath()
{
    static std::vector<std::string> path;
    return path;
}

} // namespace

void AddSearchPath(const std::string &directory)
{
    if (!directory.empty()) SearchPath().push_back(directory);
}

void ClearSearchPath()
{
    SearchPath().clear();
}

} // namespace dfx

extern "C" FILE *dfx_fopen(const char *name, const char *mode)
{
    if (!name || !*name || !mode) return nullptr;
    FILE *file = std::fopen(name, mode);
    if (file || name[0] == '/') return file;
    for (const std::string &dir : dfx::SearchPath()) {
        const std::string path = dir.back() == '/' ? dir + name : dir + "/" + name;
        if ((file = std::fopen(path.c_str(), mode))) return file;
    }
    return nullptr;
}
