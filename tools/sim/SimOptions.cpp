#include "SimOptions.h"

#include <errno.h>
#include <math.h>
#include <stdlib.h>

#include "SimOutputFile.h"
#include "SimScenes.h"

namespace ksim {

namespace {

const long kMostSteps = 100000000;
const PxReal kLongestStep = 1.0;   // s
const PxReal kShortestStep = 1e-6; // s: shorter steps only add rounding

bool wholeNumber(const std::string &text, long lowest, long highest, long &out)
{
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    const long value = strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < lowest || value > highest) return false;
    out = value;
    return true;
}

bool realNumber(const std::string &text, PxReal &out)
{
    if (text.empty()) return false;
    char *end = nullptr;
    errno = 0;
    const PxReal value = strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !isfinite(value)) return false;
    out = value;
    return true;
}

std::string sceneNames()
{
    std::string names;
    for (const SceneInfo &info : builtinScenes()) names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
}

// Reads the value of option `name`: from "--name=value" or the next word
// (a file whose name starts with "--" is given as "./--name").
class Arguments {
public:
    Arguments(int argc, const char *const *argv) : argc_(argc), argv_(argv) {}
    bool more() const { return next_ < argc_; }
    std::string take() { return argv_[next_++]; }
    bool value(const std::string &inlineValue, bool hasInline, std::string &out)
    {
        if (hasInline) {
            out = inlineValue;
            return true;
        }
        // An option where the value should be is a value left out: the
        // runner would otherwise write a file named "--quiet".
        if (!more() || std::string(argv_[next_]).compare(0, 2, "--") == 0) return false;
        out = take();
        return true;
    }

private:
    int argc_;
    const char *const *argv_;
    int next_ = 1;
};

std::string option(const std::string &name, const std::string &text, Options &o)
{
    if (name == "--steps") {
        long steps;
        if (!wholeNumber(text, 0, kMostSteps, steps))
            return "--steps wants a whole number from 0 to 100000000, not '" + text + "'";
        o.steps = static_cast<int>(steps);
    } else if (name == "--dt") {
        PxReal dt;
        if (!realNumber(text, dt) || dt < kShortestStep || dt > kLongestStep)
            return "--dt wants a time step in seconds from 1e-06 to 1, not '" + text + "'";
        o.dt = dt;
    } else if (name == "--sleep") {
        if (text != "on" && text != "off") return "--sleep wants 'on' or 'off', not '" + text + "'";
        o.sleeping = text == "on";
    } else if (name == "--csv-every") {
        long every;
        if (!wholeNumber(text, 1, kMostSteps, every))
            return "--csv-every wants a whole number of steps of at least 1, not '" + text + "'";
        o.csvEvery = static_cast<int>(every);
    } else if (name == "--csv" || name == "--svg" || name == "--file") {
        if (text.empty()) return name + " wants a file name";
        (name == "--csv" ? o.csv : name == "--svg" ? o.svg : o.file) = text;
    } else {
        return "unknown option '" + name + "'";
    }
    return "";
}

bool takesValue(const std::string &name)
{
    return name == "--steps" || name == "--dt" || name == "--sleep" || name == "--csv" || name == "--csv-every" ||
           name == "--svg" || name == "--file";
}

} // namespace

std::string parseOptions(int argc, const char *const *argv, Options &o)
{
    Arguments args(argc, argv);
    while (args.more()) {
        const std::string word = args.take();
        if (word == "-h" || word == "--help") {
            o.action = Action::Help;
            return "";
        }
        if (word == "--list") {
            o.action = Action::List;
        } else if (word == "--quiet") {
            o.quiet = true;
        } else if (word.size() > 1 && word[0] == '-') {
            const size_t equals = word.find('=');
            const std::string name = word.substr(0, equals);
            if (!takesValue(name)) return "unknown option '" + name + "'";
            std::string text;
            if (!args.value(equals == std::string::npos ? "" : word.substr(equals + 1), equals != std::string::npos,
                            text))
                return name + " wants a value";
            const std::string problem = option(name, text, o);
            if (!problem.empty()) return problem;
        } else if (!o.scene.empty()) {
            return "one scene at a time: '" + o.scene + "' and '" + word + "'";
        } else if (!findScene(word)) {
            return "no scene named '" + word + "' (the scenes: " + sceneNames() + ")";
        } else {
            o.scene = word;
        }
    }
    if (o.action == Action::List) return "";
    if (!o.scene.empty() && !o.file.empty()) return "a scene name or --file, not both";
    if (!o.csv.empty() && !o.svg.empty() && sameFile(o.csv, o.svg))
        return "--csv and --svg name the same file '" + o.csv + "'";
    for (const std::string *output : {&o.csv, &o.svg})
        if (!output->empty() && !o.file.empty() && sameFile(*output, o.file))
            return "an output would overwrite the scene file '" + o.file + "'";
    if (o.scene.empty() && o.file.empty()) return "which scene? (the scenes: " + sceneNames() + ", or --file)";
    return "";
}

std::string usageText()
{
    std::string text = "usage: kelmar-sim [options] SCENE\n"
                       "       kelmar-sim [options] --file SCENE.px\n"
                       "Runs a scene through the simulation universe and prints a summary.\n"
                       "\n"
                       "scenes:\n";
    for (const SceneInfo &info : builtinScenes()) {
        std::string name = info.name;
        name.resize(10, ' ');
        text += "  " + name + info.summary + "\n";
    }
    text += "\n"
            "options:\n"
            "  --file PATH       run a toolkit scene file (.px) instead of a built-in scene\n"
            "  --steps N         number of steps (default: 1000, showcase 600)\n"
            "  --dt SECONDS      time step, 1e-06 to 1 (default 0.01)\n"
            "  --sleep on|off    let resting bodies fall asleep (default on)\n"
            "  --csv FILE        write the trajectory of every body as CSV\n"
            "  --csv-every N     one trajectory row per body every N steps (default 10)\n"
            "  --svg FILE        write a side and a top view of the final state as SVG\n"
            "  --quiet           no progress lines\n"
            "  --list            list the scenes and exit\n"
            "  -h, --help        show this text\n";
    return text;
}

} // namespace ksim
