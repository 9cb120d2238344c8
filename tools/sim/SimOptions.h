// The command line of kelmar-sim.
#ifndef KELMAR_TOOLS_SIMOPTIONS_H
#define KELMAR_TOOLS_SIMOPTIONS_H

#include <string>

#include <kelmar/PxTypes.h>

namespace ksim {

enum class Action { Run, Help, List };

struct Options {
    Action action = Action::Run;
    std::string scene;    // a built-in scene's name, or
    std::string file;     // a toolkit scene file
    int steps = -1;       // -1: the scene's own number
    PxReal dt = 0.01;     // s
    bool sleeping = true; // resting bodies may fall asleep
    std::string csv;      // trajectory file, empty: none
    int csvEvery = 10;    // steps between trajectory rows
    std::string svg;      // picture file, empty: none
    bool quiet = false;   // no progress lines
};

// Reads argv into options. Returns an empty string when the command line
// is good, else what is wrong with it (one line, no newline).
std::string parseOptions(int argc, const char *const *argv, Options &options);

// The usage text, ending in a newline.
std::string usageText();

} // namespace ksim

#endif
