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

TEST(ViewProgram, WithoutADisplayOrWithABadCommandLineItSaysWhyAndExitsWithTwo)
{
    const std::string scene = std::string(KELMAR_EXAMPLES_DIR) + "/grasp_ball.px", usage = "\n\nusage: kelmar-view";
    const std::string noDisplay = "kelmar-view: no display to open a window on (DISPLAY is '";
    const struct {
        std::string environment, arguments, start; // of the error text
    } cases[] = {
        {"env -u DISPLAY", scene, noDisplay},
        {"env DISPLAY=:4711", scene, noDisplay},
        {"env -u DISPLAY", "", "kelmar-view: no scene file given" + usage},
        {"env -u DISPLAY", scene + " " + scene, "kelmar-view: only one scene file, please (" + scene + ")" + usage},
        {"env -u DISPLAY", scene + " --grasp", "kelmar-view: --grasp needs a value" + usage},
        {"env -u DISPLAY", scene + " --grasp squeeze",
         "kelmar-view: --grasp needs ballwrap, orb, contact or contact0" + usage},
        {"env -u DISPLAY", scene + " --steps -1", "kelmar-view: --steps needs a whole number >= 0" + usage},
        {"env -u DISPLAY", scene + " --steps 3x", "kelmar-view: --steps needs a whole number >= 0" + usage},
        {"env -u DISPLAY", scene + " --frobnicate", "kelmar-view: unknown option --frobnicate" + usage}};
    const std::string errors = testing::TempDir() + "kelmar-view-" + std::to_string(getpid()) + ".err";
    for (const auto &c : cases) {
        const int raw = std::system(
            (c.environment + " " + KELMAR_VIEW_PROGRAM + " " + c.arguments + " >/dev/null 2>" + errors).c_str());
        std::stringstream text;
        text << std::ifstream(errors).rdbuf();
        const std::string err = text.str();
        EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 2) << c.arguments;
        EXPECT_EQ(err.rfind(c.start, 0), 0u) << c.arguments << ": " << err;
        EXPECT_TRUE(c.start != noDisplay || err.find('\n') == err.size() - 1) << "more than one line: " << err;
    }
    unlink(errors.c_str());
}
