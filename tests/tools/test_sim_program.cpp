// kelmar-sim as a user runs it: exit statuses, usage on bad command lines,
// the summary and the files it writes.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "ProgramTestSupport.h"

namespace {

using namespace programtest;

const Program sim(KELMAR_SIM_PROGRAM);

// Temporary files of an output left in its folder (its name, ".part" and a
// suffix).
int PartFiles(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string prefix = path.substr(slash + 1) + ".part";
    DIR *folder = opendir(path.substr(0, slash).c_str());
    int count = 0;
    for (const dirent *e = folder ? readdir(folder) : nullptr; e; e = readdir(folder))
        count += std::string(e->d_name).rfind(prefix, 0) == 0;
    if (folder) closedir(folder);
    return folder ? count : -1;
}

TEST(SimProgram, BadCommandLinesExitWithStatusTwoAndTheUsageAndRunNothing)
{
    for (const char *arguments :
         {"", "tower", "stack pile", "stack --steps", "stack --steps -3", "stack --dt 0", "stack --dt=inf",
          "stack --sleep sometimes", "stack --frobnicate", "stack --file scene.px", "stack --dt 1e-300",
          "stack --csv a --svg a", "--csv-every 0 stack", "'' stack"}) {
        const Outcome o = sim.Run(arguments);
        EXPECT_EQ(o.status, 2) << arguments;
        EXPECT_EQ(o.err.rfind("kelmar-sim: ", 0), 0u) << arguments << ": " << o.err;
        EXPECT_NE(o.err.find("usage: kelmar-sim [options] SCENE"), std::string::npos) << arguments;
        EXPECT_EQ(o.out, "") << arguments;
    }
}

TEST(SimProgram, HelpAndTheSceneListGoToStandardOutput)
{
    const Outcome help = sim.Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: kelmar-sim", 0), 0u);
    const Outcome list = sim.Run("--list");
    EXPECT_EQ(list.status, 0);
    for (const char *scene : {"stack ", "pile ", "chain ", "boxes ", "showcase "})
        EXPECT_NE(list.out.find(scene), std::string::npos) << scene;
}

// A short run with both files: the summary names them and they exist.
TEST(SimProgram, ARunEndsWithASummaryAndWritesThePictureAndTheTrajectory)
{
    const std::string svg = sim.Scratch("run.svg"), csv = sim.Scratch("run.csv");
    const Outcome o = sim.Run("showcase --steps 40 --sleep off --svg " + svg + " --csv=" + csv + " --csv-every 20");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("kelmar-sim: showcase"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("steps      40 of 0.01 s (0.400 s simulated)"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("awake, 0 asleep"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("quality    bodies in contact: "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("picture    " + svg + " (side and top view, to scale"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("trajectory " + csv + " (30 rows of 10 bodies)"), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("step 40/40 (100%)"), std::string::npos) << "progress when not on a terminal: " << o.err;
    const std::string picture = ReadFile(svg), trajectory = ReadFile(csv);
    EXPECT_NE(picture.find("</svg>"), std::string::npos);
    EXPECT_EQ(std::count(trajectory.begin(), trajectory.end(), '\n'), 31);
    unlink(svg.c_str());
    unlink(csv.c_str());
}

// An output that cannot be written or a scene file that cannot be read ends
// the run with status 1, and leaves the files it would have written as they
// were; a run that completes replaces them whole.
TEST(SimProgram, AFailedRunEndsWithStatusOneAndLeavesOldOutputsAloneWhileACompleteOneReplacesThem)
{
    const std::string csv = sim.Scratch("kept.csv");
    std::ofstream(csv) << "old\n";
    for (const std::string &arguments : {"stack --steps 1 --quiet --csv " + csv + " --svg /nonexistent/dir/a.svg",
                                         std::string("stack --steps 1 --quiet --csv /nonexistent/dir/a.csv"),
                                         std::string("--file /nonexistent/dir/scene.xml")}) {
        const Outcome o = sim.Run(arguments);
        EXPECT_EQ(o.status, 1) << arguments;
        EXPECT_NE(o.err.find("kelmar-sim: cannot "), std::string::npos) << arguments << ": " << o.err;
        EXPECT_NE(o.err.find("/nonexistent/dir/"), std::string::npos) << arguments;
        EXPECT_EQ(o.out, "") << arguments;
    }
    EXPECT_EQ(ReadFile(csv), "old\n");
    EXPECT_EQ(PartFiles(csv), 0) << "no temporary file is left";
    const Outcome done = sim.Run("stack --steps 2 --quiet --csv " + csv);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(ReadFile(csv).rfind("step,time,body", 0), 0u);
    EXPECT_EQ(PartFiles(csv), 0);
    unlink(csv.c_str());
}

} // namespace
