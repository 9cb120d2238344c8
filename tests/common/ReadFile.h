// What a test wrote, read back whole: from a file by its path, or from an
// open file; for the tests of every library.
#ifndef KELMAR_TESTS_COMMON_READFILE_H
#define KELMAR_TESTS_COMMON_READFILE_H

#include <cstdio>
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

// The text written so far to an open file, read from its start.
inline std::string WrittenText(FILE *file)
{
    std::fflush(file);
    std::string text(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    text.resize(std::fread(&text[0], 1, text.size(), file));
    return text;
}

} // namespace testsupport

#endif
