// kelmar-run: loads a scene description file into a universe, steps it
// headless with a progress line and ends with a summary; optionally drives
// joints to targets, writes the joint positions over time (CSV) and the
// final status. Exit status: 0 done, 1 the scene did not load or an output
// could not be written, 2 a bad command line.
#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#include <kelmar/PxMessage.h>
#include <kelmar/PxStream.h>
#include <kelmar/kelmar.h>

#include "RunGrasp.h"
#include "RunImages.h"
#include "RunJoints.h"
#include "RunOptions.h"
#include "RunPhases.h"
#include "RunPlot.h"
#include "RunReport.h"
#include "RunSceneFile.h"
#include "SimOutputFile.h"
#include "SimProgress.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int failed(const std::string &what)
{
    fprintf(stderr, "kelmar-run: %s\n", what.c_str());
    return 1;
}

std::string cannotWrite(const std::string &path)
{
    return "cannot write '" + path + "': " + strerror(errno);
}

// The loader's messages go to standard error; notes only when wanted.
class RunScene : public kelmar::Scene {
public:
    RunScene(const char *file, const std::string &variables, bool quiet)
        : kelmar::Scene(file, nullptr, 1.0, variables.c_str()), quiet_(quiet)
    {
    }
    void Error(int, const char *format, ...) const override
    {
        if (quiet_ && GetLoadErrorCount() == 0 && std::strncmp(format, "Error(s) occured", 16) == 0) return;
        va_list args;
        va_start(args, format);
        vfprintf(stderr, format, args);
        va_end(args);
    }

private:
    bool quiet_;
};

std::string variableText(const krun::Options &o)
{
    std::string text;
    for (const auto &v : o.variables) text += v.first + " = " + v.second + "\n";
    return text;
}

void printPhases(FILE *out, const std::vector<krun::Phase> &phases)
{
    fprintf(out, "  phases    ");
    for (const krun::Phase &phase : phases)
        fprintf(out, " %s %.2f s%s", phase.name.c_str(), phase.seconds, phase.grasp ? " (grasp)" : "");
    fputc('\n', out);
}

// The scene's folder is searched for the files it imports and reads.
void searchBesideScene(const std::string &scene)
{
    const size_t slash = scene.rfind('/');
    PxFileSearchPathAdd(slash == std::string::npos ? "." : scene.substr(0, slash).c_str());
}

} // namespace

int main(int argc, char **argv)
{
    // Every warning the toolkit gives is shown: a refused value, a frozen
    // body or a skipped island changes what the run means.
    PxWarningLevel = 100;
    krun::Options o;
    const std::string problem = krun::parseOptions(argc, argv, o);
    if (!problem.empty() || o.help) {
        fprintf(problem.empty() ? stdout : stderr, "%s%s%s", problem.empty() ? "" : "kelmar-run: ", problem.c_str(),
                problem.empty() ? "" : "\n\n");
        fputs(krun::usageText().c_str(), problem.empty() ? stdout : stderr);
        return problem.empty() ? 0 : 2;
    }
    searchBesideScene(o.scene);
    krun::installGraphics();
    kelmar::Universe universe(1000, 1000, 1000, 20000);
    RunScene scene(o.scene.c_str(), variableText(o), o.quiet);
    const Clock::time_point loadStart = Clock::now();
    universe.AddScene(&scene);
    const krun::SceneInUniverse added{universe, scene};
    krun::RunFigures figures;
    figures.load = secondsSince(loadStart);
    const std::string otherKind = krun::toolkitFileProblem(scene, o.scene);
    if (!otherKind.empty()) return failed(otherKind);
    if (scene.GetLoadErrorCount() > 0) return failed("'" + o.scene + "' did not load");
    for (const std::string &name : scene.GetUnusedVariables())
        fprintf(stderr, "kelmar-run: --var %s: '%s' never uses it (an imported file uses only its IMPORT's)\n",
                name.c_str(), o.scene.c_str());
    if (o.dt > 0) universe.timeStep = o.dt;

    std::string bindProblem;
    const std::vector<krun::Target> targets = krun::bindTargets(scene, o.targets, bindProblem);
    if (!bindProblem.empty()) return failed(bindProblem);
    std::vector<krun::Phase> phases;
    std::unique_ptr<krun::Schedule> schedule;
    if (!o.phasesFile.empty()) {
        const std::string problem = krun::readPhases(o.phasesFile, phases);
        if (!problem.empty()) return failed(problem);
        schedule.reset(new krun::Schedule(scene, phases, universe.timeStep, bindProblem));
        if (!bindProblem.empty()) return failed(bindProblem);
        if (!o.stepsGiven) o.steps = schedule->steps();
    }
    const std::vector<krun::MeasuredJoint> joints = krun::measuredJoints(scene);
    std::unique_ptr<krun::GraspRun> grasp;
    if (!o.grasp.empty()) {
        grasp.reset(new krun::GraspRun(scene, o, bindProblem));
        if (!bindProblem.empty()) return failed(bindProblem);
    }
    ksim::OutputFile csv, status, plotFile;
    krun::JointPlot plot(joints, o.plotFile.empty() ? 0 : static_cast<size_t>(o.steps / o.csvEvery + 2));
    if (!o.plotFile.empty() && !plotFile.open(o.plotFile)) return failed(cannotWrite(o.plotFile));
    if (!o.csvFile.empty() && !csv.open(o.csvFile)) return failed(cannotWrite(o.csvFile));
    if (!o.statusFile.empty() && !status.open(o.statusFile)) return failed(cannotWrite(o.statusFile));
    if (csv.file()) krun::writeCsvHeader(csv.file(), joints);
    krun::Film film;
    std::string filmProblem;
    if (!film.open(universe, o, filmProblem)) return failed(filmProblem);

    ksim::Progress progress(stderr, isatty(fileno(stderr)) != 0, o.steps);
    // Frames cost far more than steps: their time is counted apart.
    double filming = 0;
    const Clock::time_point start = Clock::now();
    for (int step = 0; step < o.steps; ++step) {
        if (csv.file() && step % o.csvEvery == 0) krun::writeCsvRow(csv.file(), universe.time, joints);
        if (plotFile.file() && step % o.csvEvery == 0) plot.sample(universe.time);
        const Clock::time_point shot = Clock::now();
        if (!film.shoot(step, filmProblem)) return failed(filmProblem);
        filming += secondsSince(shot);
        if (schedule && (step == 0 || schedule->phaseAt(step) != schedule->phaseAt(step - 1)))
            plot.mark(universe.time, schedule->phase(schedule->phaseAt(step)).name);
        if (schedule) schedule->drive(step);
        krun::driveTargets(targets);
        const bool grasping = grasp && (!schedule || schedule->grasping(step));
        if (grasping) grasp->before();
        universe.step();
        if (grasping) grasp->after(step, universe.time);
        progress.update(step + 1, secondsSince(start), krun::countAwakeBodies(universe));
    }
    figures.wall = secondsSince(start) - filming;
    if (!o.imagesDir.empty()) figures.filming = filming;
    progress.finish();
    if (csv.file()) krun::writeCsvRow(csv.file(), universe.time, joints);
    if (plotFile.file()) {
        plot.sample(universe.time);
        plot.write(plotFile.file());
    }
    if (!film.shoot(o.steps, filmProblem) || !film.finish(filmProblem)) return failed(filmProblem);
    figures.steps = o.steps;
    figures.simulated = universe.time;
    krun::printSummary(stdout, o.scene.c_str(), universe, scene, joints, figures);
    if (schedule) printPhases(stdout, phases);
    if (grasp) grasp->printSummary(stdout);
    if (!film.summary().empty()) fprintf(stdout, "  images     %s\n", film.summary().c_str());
    if (status.file()) krun::writeStatus(status.file(), universe, scene);
    if (csv.file() && !csv.commit()) return failed(cannotWrite(o.csvFile));
    if (plotFile.file() && !plotFile.commit()) return failed(cannotWrite(o.plotFile));
    if (status.file() && !status.commit()) return failed(cannotWrite(o.statusFile));
    if (grasp) fprintf(stdout, "%s\n", krun::verdictLine(grasp->verdict()).c_str());
    return 0;
}
