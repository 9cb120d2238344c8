// kelmar-view's options: a scene and three named values.
#include "ViewOptions.h"

#include <cstdlib>
#include <cstring>

#include "SimOutputFile.h"

namespace kview {

namespace {

// The option's field, or null for an unknown option.
std::string *field(const std::string &option, Options &o)
{
    if (option == "--grasp") return &o.grasp;
    if (option == "--phases") return &o.phases;
    if (option == "--steps") return &o.stepsText;
    if (option == "--camera") return &o.camera;
    if (option == "--screenshot") return &o.screenshot;
    return nullptr;
}

bool knownGrasp(const std::string &kind)
{
    for (const char *known : {"ballwrap", "orb", "contact", "contact0"})
        if (kind == known) return true;
    return false;
}

} // namespace

std::string parseOptions(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string *value = field(arg, o);
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (value) {
            // An option where the value should be is a value left out.
            if (i + 1 >= argc || argv[i + 1][0] == '\0' || std::strncmp(argv[i + 1], "--", 2) == 0)
                return arg + " needs a value";
            *value = argv[++i];
        } else if (arg.compare(0, 2, "--") == 0) {
            return "unknown option " + arg;
        } else if (o.scene.empty()) {
            o.scene = arg;
        } else {
            return "only one scene file, please (" + arg + ")";
        }
    }
    if (o.help) return "";
    if (!o.stepsText.empty()) {
        char *end = nullptr;
        const long steps = std::strtol(o.stepsText.c_str(), &end, 10);
        if (*end != '\0' || steps < 0 || steps > 1000000) return "--steps needs a whole number >= 0";
        o.steps = static_cast<int>(steps);
    }
    if (o.scene.empty()) return "no scene file given";
    for (const std::string *input : {&o.scene, &o.phases})
        if (!o.screenshot.empty() && !input->empty() && ksim::sameFile(o.screenshot, *input))
            return "--screenshot would overwrite '" + *input + "'";
    if (!o.grasp.empty() && !knownGrasp(o.grasp)) return "--grasp needs ballwrap, orb, contact or contact0";
    return "";
}

std::string usageText()
{
    return "usage: kelmar-view [options] scene.px\n"
           "Opens a window on the scene and steps it on a timer; h in the window lists the keys.\n"
           "Ctrl and the left button drag a solid; the left button alone turns the camera.\n"
           "  --grasp KIND    run a grasp controller every step: ballwrap, orb, contact or contact0\n"
           "  --phases FILE   drive joints and the grasp through the phases of FILE (see kelmar-run)\n"
           "  --camera NAME   show the scene camera NAME live in the upper right corner\n"
           "  --screenshot FILE  step --steps N times (default 0), write the window as PNG and exit\n"
           "Exit status: 0 done, 1 the scene did not load, 2 bad command line or no display.\n";
}

} // namespace kview
