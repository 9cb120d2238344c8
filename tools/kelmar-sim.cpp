// kelmar-sim: runs a built-in scene or a toolkit scene file through the
// simulation universe, shows progress, and ends with a summary; optionally
// writes the trajectory (CSV) and a picture of the final state (SVG).
// Exit status: 0 done, 1 the run could not be made or its files written,
// 2 a bad command line, 3 the run was not sound (a body's state stopped
// being finite).
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <string>

#include <kelmar/PxFile.h>
#include <kelmar/PxMessage.h>

#include "SimOptions.h"
#include "SimOutputFile.h"
#include "SimPicture.h"
#include "SimProgress.h"
#include "SimRun.h"
#include "SimSceneFile.h"
#include "SimScenes.h"
#include "SimSummary.h"
#include "SimTrajectory.h"

namespace {

const int kFileSceneSteps = 1000;

int failed(const std::string &what)
{
    fprintf(stderr, "kelmar-sim: %s\n", what.c_str());
    return 1;
}

std::string cannotWrite(const std::string &path)
{
    return "cannot write '" + path + "': " + strerror(errno);
}

// Finds out before a long run whether the picture can be written at all,
// without touching a file of that name.
bool writable(const std::string &path)
{
    ksim::OutputFile probe;
    return probe.open(path);
}

void listScenes()
{
    for (const ksim::SceneInfo &info : ksim::builtinScenes()) printf("%-10s %s\n", info.name, info.summary);
}

} // namespace

int main(int argc, char **argv)
{
    // Every warning the toolkit gives is shown: a refused value, a frozen
    // body or a skipped island changes what the run means.
    PxWarningLevel = 100;
    ksim::Options options;
    const std::string problem = ksim::parseOptions(argc, argv, options);
    if (!problem.empty()) {
        fprintf(stderr, "kelmar-sim: %s\n\n%s", problem.c_str(), ksim::usageText().c_str());
        return 2;
    }
    if (options.action == ksim::Action::Help) {
        fputs(ksim::usageText().c_str(), stdout);
        return 0;
    }
    if (options.action == ksim::Action::List) {
        listScenes();
        return 0;
    }

    std::unique_ptr<ksim::Scene> scene;
    int steps = options.steps;
    ksim::Outputs outputs;
    if (!options.file.empty()) {
        std::string error;
        scene = ksim::loadSceneFile(options.file, &error, &outputs.loadWarnings);
        if (!scene) return failed(error);
        if (steps < 0) steps = kFileSceneSteps;
    } else {
        const ksim::SceneInfo *info = ksim::findScene(options.scene);
        scene = info->build();
        if (!scene || !scene->valid()) return failed("cannot make the scene '" + options.scene + "'");
        if (steps < 0) steps = info->defaultSteps;
    }
    ksim::setSleeping(*scene, options.sleeping);

    ksim::Trajectory trajectory;
    if (!options.csv.empty() && !trajectory.open(options.csv)) return failed(cannotWrite(options.csv));
    if (!options.svg.empty() && !writable(options.svg)) return failed(cannotWrite(options.svg));

    ksim::Progress progress(stderr, isatty(fileno(stderr)), steps);
    const ksim::RunResult run = ksim::runScene(*scene, steps, options.dt, options.csv.empty() ? nullptr : &trajectory,
                                               options.csvEvery, options.quiet ? nullptr : &progress);
    if (!options.csv.empty()) {
        outputs.trajectory = options.csv;
        outputs.trajectoryRows = trajectory.rows();
        if (!trajectory.close()) return failed(cannotWrite(options.csv));
    }
    if (!options.svg.empty()) {
        if (!ksim::writePicture(*scene, options.svg, &outputs.pictureInfo)) return failed(cannotWrite(options.svg));
        outputs.picture = options.svg;
    }
    fputs(ksim::summaryText(*scene, run, options.dt, outputs).c_str(), stdout);
    PxMessageFlushRepeats();
    return ksim::countUnsound(*scene) > 0 ? 3 : 0;
}
