// An output file written under a temporary name beside its final one and
// renamed to it only when complete: a run that fails or is killed leaves
// the final name as it was, never a half-written file.
#ifndef KELMAR_TOOLS_SIMOUTPUTFILE_H
#define KELMAR_TOOLS_SIMOUTPUTFILE_H

#include <stdio.h>

#include <string>

namespace ksim {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates the temporary file (path + ".part" and a suffix of its own, so
    // that two runs writing one output do not share it); false (with errno)
    // when it cannot be made.
    bool open(const std::string &path);
    FILE *file() const { return file_; }
    // Closes the file and renames it to the final name; false when anything
    // could not be written (the temporary file is removed then).
    bool commit();
    // Closes and removes the temporary file, leaving the final name alone.
    void discard();

private:
    FILE *file_ = nullptr;
    std::string path_, part_;
};

// Temporary files that an interrupt, a termination or a hang-up (SIGINT,
// SIGTERM, SIGHUP) removes before the program ends by that signal, so that
// a run stopped with Ctrl-C or kill leaves nothing behind. The handlers are
// installed on the first call (a signal the program ignores stays ignored);
// a few files at a time are kept, and a path too long to keep is not.
void removeOnSignal(const std::string &path);
void keepOnSignal(const std::string &path);

// Creates a file named pattern (ending in XXXXXX, replaced) for writing,
// with the permissions a new file gets (mkstemp's are the owner's alone);
// its descriptor, or -1 (with errno).
int createTemporary(std::string &pattern);

// Whether two paths name the same file: the same text, the same existing
// file, or the same name in the same existing folder ("out.csv" and
// "./out.csv" before either exists).
bool sameFile(const std::string &a, const std::string &b);

} // namespace ksim

#endif
