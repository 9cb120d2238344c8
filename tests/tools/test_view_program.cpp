// kelmar-view as a user runs it: without a display one line and status 2
// (VTK would abort the process), and bad command lines refused with the
// usage and status 2, before any window is opened.
#include <gtest/gtest.h>

#include "ProgramTestSupport.h"

TEST(ViewProgram, WithoutADisplayOrWithABadCommandLineItSaysWhyAndExitsWithTwo)
{
    const std::string scene = std::string(KELMAR_EXAMPLES_DIR) + "/grasp_ball.px", usage = "\n\nusage: kelmar-view";
    const std::string noDisplay = "kelmar-view: no display to open a window on (DISPLAY is '",
                      unset = "env -u DISPLAY";
    const struct {
        std::string environment, arguments, start; // of the error text
    } cases[] = {
        {unset, scene, noDisplay},
        {"env DISPLAY=:4711", scene, noDisplay},
        {unset, "", "kelmar-view: no scene file given" + usage},
        {unset, scene + " " + scene, "kelmar-view: only one scene file, please (" + scene + ")" + usage},
        {unset, scene + " --grasp", "kelmar-view: --grasp needs a value" + usage},
        {unset, scene + " --grasp squeeze", "kelmar-view: --grasp needs ballwrap, orb, contact or contact0" + usage},
        {unset, scene + " --steps -1", "kelmar-view: --steps needs a whole number >= 0" + usage},
        {unset, scene + " --steps 3x", "kelmar-view: --steps needs a whole number >= 0" + usage},
        {unset, scene + " --frobnicate", "kelmar-view: unknown option --frobnicate" + usage},
        {unset, scene + " --phases --grasp ballwrap", "kelmar-view: --phases needs a value" + usage},
        {unset, scene + " --screenshot " + scene,
         "kelmar-view: --screenshot would overwrite '" + scene + "'" + usage}};
    for (const auto &c : cases) {
        const programtest::Outcome o =
            programtest::Program(c.environment + " " + KELMAR_VIEW_PROGRAM).Run(c.arguments);
        EXPECT_EQ(o.status, 2) << c.arguments;
        EXPECT_EQ(o.err.rfind(c.start, 0), 0u) << c.arguments << ": " << o.err;
        EXPECT_TRUE(c.start != noDisplay || o.err.find('\n') == o.err.size() - 1) << "more than one line: " << o.err;
    }
}
