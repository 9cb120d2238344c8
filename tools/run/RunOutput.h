// An output file written under a temporary name and renamed into place only
// when it is complete, so that a failed run never leaves half a file.
#ifndef KELMAR_TOOLS_RUNOUTPUT_H
#define KELMAR_TOOLS_RUNOUTPUT_H

#include <cstdio>
#include <string>

namespace krun {

class Output {
public:
    Output() = default;
    ~Output(); // an output not committed is removed
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    // Opens path's temporary file; false (with errno) when it cannot.
    bool open(const std::string &path);
    FILE *file() const { return file_; }
    // Closes and renames into place; false (with errno) on any failure.
    bool commit();

private:
    std::string path_, temporary_;
    FILE *file_ = nullptr;
};

} // namespace krun

#endif
