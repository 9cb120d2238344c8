// The command line of kelmar-view.
#ifndef KELMAR_TOOLS_VIEWOPTIONS_H
#define KELMAR_TOOLS_VIEWOPTIONS_H

#include <string>

namespace kview {

struct Options {
    std::string scene;
    std::string grasp;      // a grasp controller run every step (kelmar-run's kinds); empty: none
    std::string phases;     // a phase file driving joints and the grasp
    std::string camera;     // a scene camera shown live in a second viewport
    std::string screenshot; // a PNG of the window after the steps, then exit
    int steps = 0;          // steps before the screenshot
    std::string stepsText;  // --steps as given
    bool help = false;
};

// Fills options; returns an empty text, or what is wrong with the line.
std::string parseOptions(int argc, char **argv, Options &options);
std::string usageText();

} // namespace kview

#endif
