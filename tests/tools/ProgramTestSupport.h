// Running a command-line program as a user runs it, for the tests of
// kelmar-run and kelmar-sim: its exit status and what it printed, and
// scratch files named after the program and this process.
#ifndef KELMAR_TESTS_TOOLS_PROGRAM_SUPPORT_H
#define KELMAR_TESTS_TOOLS_PROGRAM_SUPPORT_H

#include <string>

#include "common/ReadFile.h"

namespace programtest {

struct Outcome {
    int status; // exit status; -1 when the program did not exit
    std::string out, err;
};

using testsupport::ReadFile;
bool Exists(const std::string &path);

class Program {
public:
    // path: the program; its base name prefixes the scratch files.
    explicit Program(const std::string &path);
    // Runs it with the arguments (a shell word list).
    Outcome Run(const std::string &arguments) const;
    // A path in the test's temporary folder, unique to program and process.
    std::string Scratch(const std::string &name) const;

private:
    std::string path_, prefix_;
};

} // namespace programtest

#endif
