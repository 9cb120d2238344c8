// kelmar-view as a user runs it: without a display one line and status 2
// (VTK would abort the process), and bad command lines refused with the
// usage and status 2, before any window is opened.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Outcome {
    int status;
    std::string err;
};

Outcome RunView(const std::string &environment, const std::string &arguments)
{
    const std::string err = testing::TempDir() + "kelmar-view-" + std::to_string(getpid()) + ".err";
    const std::string command = environment + " " + KELMAR_VIEW_PROGRAM + " " + arguments + " >/dev/null 2>" + err;
    const int raw = std::system(command.c_str());
    std::ifstream in(err);
    std::stringstream text;
    text << in.rdbuf();
    unlink(err.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
}

TEST(ViewProgram, WithoutADisplayItSaysSoInOneLineAndExitsWithTwo)
{
    const std::string scene = std::string(KELMAR_EXAMPLES_DIR) + "/grasp_ball.px";
    for (const char *environment : {"env -u DISPLAY", "env DISPLAY=:4711"}) {
        const Outcome o = RunView(environment, scene);
        EXPECT_EQ(o.status, 2) << environment;
        EXPECT_EQ(o.err.rfind("kelmar-view: no display to open a window on (DISPLAY is '", 0), 0u) << o.err;
        EXPECT_EQ(o.err.find('\n'), o.err.size() - 1) << "more than one line: " << o.err;
    }
}

TEST(ViewProgram, BadCommandLinesExitWithTwoAndTheUsage)
{
    const std::string scene = std::string(KELMAR_EXAMPLES_DIR) + "/grasp_ball.px";
    const struct {
        std::string arguments, problem;
    } cases[] = {{"", "no scene file given"},
                 {scene + " " + scene, "only one scene file, please (" + scene + ")"},
                 {scene + " --grasp", "--grasp needs a value"},
                 {scene + " --grasp squeeze", "--grasp needs ballwrap, orb, contact or contact0"},
                 {scene + " --steps -1", "--steps needs a whole number >= 0"},
                 {scene + " --steps 3x", "--steps needs a whole number >= 0"},
                 {scene + " --frobnicate", "unknown option --frobnicate"}};
    for (const auto &c : cases) {
        const Outcome o = RunView("env -u DISPLAY", c.arguments);
        EXPECT_EQ(o.status, 2) << c.arguments;
        EXPECT_EQ(o.err.rfind("kelmar-view: " + c.problem + "\n\nusage: kelmar-view [options] scene.px\n", 0), 0u)
            << c.arguments << ": " << o.err;
    }
}

} // namespace
