// The whole text of a file, for the tests of every library.
#ifndef KELMAR_TESTS_COMMON_READFILE_H
#define KELMAR_TESTS_COMMON_READFILE_H

#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

// The whole text of a file ("" when it cannot be read).
inline std::string ReadFile(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace testsupport

#endif
