// The summary a person reads at the end of a run.
#ifndef KELMAR_TOOLS_SIMSUMMARY_H
#define KELMAR_TOOLS_SIMSUMMARY_H

#include <string>

#include "SimPicture.h"
#include "SimRun.h"

namespace ksim {

// What the run wrote, for the summary to point at (empty: nothing).
struct Outputs {
    std::string picture;
    PictureInfo pictureInfo;
    std::string trajectory;
    long trajectoryRows = 0;
    int loadWarnings = 0; // a scene file's load ended with warnings
};

std::string summaryText(const Scene &scene, const RunResult &run, PxReal dt, const Outputs &outputs);

} // namespace ksim

#endif
