// Parsing kelmar-run's command line: every value is checked, and two
// outputs may not share a path.
#include "RunOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "SimOutputFile.h"

namespace krun {

namespace {

bool toInt(const char *text, int low, int &out)
{
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || value < low || value > 100000000) return false;
    out = static_cast<int>(value);
    return true;
}

bool toReal(const char *text, double &out)
{
    char *end = nullptr;
    out = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(out);
}

// NAME=VALUE with a non-empty name.
bool split(const char *text, std::string &name, std::string &value)
{
    const char *equals = std::strchr(text, '=');
    if (!equals || equals == text) return false;
    name.assign(text, equals);
    value = equals + 1;
    return true;
}

// One option with its value; returns the problem, if any.
std::string takeOption(const std::string &option, const char *value, Options &o)
{
    std::string name, text;
    double real = 0;
    if (option == "--steps") {
        o.stepsGiven = true;
        return toInt(value, 0, o.steps) ? "" : "--steps needs a whole number >= 0";
    }
    if (option == "--every") return toInt(value, 1, o.csvEvery) ? "" : "--every needs a whole number >= 1";
    if (option == "--dt")
        return toReal(value, o.dt) && o.dt >= 1e-6 && o.dt <= 1 ? "" : "--dt needs a time step from 1e-06 to 1 (s)";
    if (option == "--status") return (o.statusFile = value).empty() ? "--status needs a file name" : "";
    if (option == "--csv") return (o.csvFile = value).empty() ? "--csv needs a file name" : "";
    if (option == "--plot") return (o.plotFile = value).empty() ? "--plot needs a file name" : "";
    if (option == "--phases") return (o.phasesFile = value).empty() ? "--phases needs a file name" : "";
    if (option == "--grasp") {
        o.grasp = value;
        for (const char *kind : {"ballwrap", "orb", "contact", "contact0", "som"})
            if (o.grasp == kind) return "";
        return "--grasp needs ballwrap, orb, contact, contact0 or som";
    }
    if (option == "--robot") return (o.graspRobot = value).empty() ? "--robot needs a robot's name" : "";
    if (option == "--target") return (o.graspTarget = value).empty() ? "--target needs a solid's name" : "";
    if (option == "--som") return (o.somFile = value).empty() ? "--som needs a file name" : "";
    if (option == "--radius")
        return toReal(value, o.graspRadius) && o.graspRadius > 0 ? "" : "--radius needs a length > 0 (cm)";
    if (option == "--images") return (o.imagesDir = value).empty() ? "--images needs a folder" : "";
    if (option == "--camera") return (o.camera = value).empty() ? "--camera needs a camera's name" : "";
    if (option == "--var") {
        if (!split(value, name, text)) return "--var needs NAME=VALUE";
        o.variables.emplace_back(name, text);
        return "";
    }
    if (!split(value, name, text) || !toReal(text.c_str(), real)) return "--set needs JOINT=VALUE with a number";
    o.targets.emplace_back(name, real);
    return "";
}

bool takesValue(const std::string &option)
{
    for (const char *known :
         {"--steps", "--every", "--dt", "--status", "--csv", "--var", "--set", "--grasp", "--robot", "--target",
          "--som", "--radius", "--images", "--camera", "--plot", "--phases"})
        if (option == known) return true;
    return false;
}

// Outputs are renamed into place at the end of the run: one that names
// another output, or an input, would silently replace it.
std::string clashingFiles(const Options &o)
{
    const std::pair<const char *, const std::string *> outputs[] = {
        {"--status", &o.statusFile}, {"--csv", &o.csvFile}, {"--plot", &o.plotFile}};
    const std::pair<const char *, const std::string *> inputs[] = {
        {"the scene file", &o.scene}, {"the phases file", &o.phasesFile}, {"the map", &o.somFile}};
    for (size_t k = 0; k < 3; ++k) {
        const std::string &path = *outputs[k].second;
        if (path.empty()) continue;
        for (size_t j = k + 1; j < 3; ++j)
            if (!outputs[j].second->empty() && ksim::sameFile(path, *outputs[j].second))
                return std::string(outputs[k].first) + " and " + outputs[j].first + " name the same file '" + path +
                       "'";
        for (const auto &input : inputs)
            if (!input.second->empty() && ksim::sameFile(path, *input.second))
                return std::string(outputs[k].first) + " would overwrite " + input.first + " '" + path + "'";
    }
    return "";
}

} // namespace

std::string parseOptions(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (takesValue(arg)) {
            // An option where the value should be is a value left out (a
            // file whose name starts with "--" is given as "./--name").
            if (i + 1 >= argc || std::strncmp(argv[i + 1], "--", 2) == 0) return arg + " needs a value";
            const std::string problem = takeOption(arg, argv[++i], o);
            if (!problem.empty()) return problem;
        } else if (arg.compare(0, 2, "--") == 0) {
            return "unknown option " + arg;
        } else if (o.scene.empty()) {
            o.scene = arg;
        } else {
            return "only one scene file, please (" + arg + ")";
        }
    }
    if (o.help) return "";
    if (o.scene.empty()) return "no scene file given";
    const std::string problem = clashingFiles(o);
    if (!problem.empty()) return problem;
    if (o.grasp == "som" && o.somFile.empty()) return "--grasp som needs --som FILE";
    if (!o.camera.empty() && o.imagesDir.empty()) return "--camera needs --images";
    return "";
}

std::string usageText()
{
    return "usage: kelmar-run [options] scene.px\n"
           "Loads a scene description into a universe, steps it headless and prints a summary.\n"
           "  --steps N          steps to run (default 200)\n"
           "  --dt SECONDS       time step, 1e-06 to 1 (default: the scene's)\n"
           "  --set JOINT=VALUE  drive a joint to VALUE (rad or cm), every step (repeatable)\n"
           "  --var NAME=VALUE   a variable of the scene file (repeatable)\n"
           "  --status FILE      write the final UNIVERSE and SCENE status\n"
           "  --csv FILE         write the joint positions over time\n"
           "  --plot FILE        draw the joint positions over time (SVG)\n"
           "  --phases FILE      run a sequence of phases: joint targets and when the grasp\n"
           "                     controller runs (its length sets --steps unless given)\n"
           "  --grasp KIND       run a grasp controller on the hand every step: ballwrap, orb,\n"
           "                     contact, contact0 or som; the summary reports the grasp\n"
           "  --robot NAME       the hand (default: the first robot with a palm)\n"
           "  --target NAME      the object to grasp (default: the first solid named ...ball)\n"
           "  --radius CM        ballwrap, orb: link centre lines' distance from the target's centre\n"
           "                     (default 4.7: a 4 cm ball and links 1.6 cm wide, pressing 1 mm)\n"
           "  --som FILE         som: the map, 24 joint values a node\n"
           "  --every N          one CSV row and one frame every N steps (default 1)\n"
           "  --images DIR       write camera frames (PNG) and a contact sheet into DIR\n"
           "  --camera NAME      the camera to film (default: a view of everything)\n"
           "  --quiet            do not show the loader's warnings (errors are always shown)\n"
           "Exit status: 0 done, 1 the scene did not load or an output could not be written, 2 bad command line.\n";
}

} // namespace krun
