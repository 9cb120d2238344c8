// kelmar-sim as a user runs it: exit statuses, usage on bad command lines,
// the summary and the files it writes.
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string scratch(const std::string &name)
{
    return testing::TempDir() + "kelmar-sim-" + std::to_string(getpid()) + "-" + name;
}

// Runs kelmar-sim with the arguments (a shell word list).
Outcome run(const std::string &arguments)
{
    const std::string out = scratch("stdout"), err = scratch("stderr");
    const std::string command = std::string(KELMAR_SIM_PROGRAM) + " " + arguments + " >" + out + " 2>" + err;
    const int raw = system(command.c_str());
    Outcome o = {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
    unlink(out.c_str());
    unlink(err.c_str());
    return o;
}

TEST(SimProgram, BadCommandLinesExitWithStatusTwoAndTheUsageAndRunNothing)
{
    for (const char *arguments :
         {"", "tower", "stack pile", "stack --steps", "stack --steps -3", "stack --dt 0", "stack --dt=inf",
          "stack --sleep sometimes", "stack --frobnicate", "stack --file scene.px", "stack --dt 1e-300",
          "stack --csv a --svg a", "--csv-every 0 stack", "'' stack"}) {
        const Outcome o = run(arguments);
        EXPECT_EQ(o.status, 2) << arguments;
        EXPECT_EQ(o.err.rfind("kelmar-sim: ", 0), 0u) << arguments << ": " << o.err;
        EXPECT_NE(o.err.find("usage: kelmar-sim [options] SCENE"), std::string::npos) << arguments;
        EXPECT_EQ(o.out, "") << arguments;
    }
}

TEST(SimProgram, HelpAndTheSceneListGoToStandardOutput)
{
    const Outcome help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: kelmar-sim", 0), 0u);
    const Outcome list = run("--list");
    EXPECT_EQ(list.status, 0);
    for (const char *scene : {"stack ", "pile ", "chain ", "boxes ", "showcase "})
        EXPECT_NE(list.out.find(scene), std::string::npos) << scene;
}

// A short run with both files: the summary names them and they exist.
TEST(SimProgram, ARunEndsWithASummaryAndWritesThePictureAndTheTrajectory)
{
    const std::string svg = scratch("run.svg"), csv = scratch("run.csv");
    const Outcome o = run("showcase --steps 40 --sleep off --svg " + svg + " --csv=" + csv + " --csv-every 20");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("kelmar-sim: showcase"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("steps      40 of 0.01 s (0.400 s simulated)"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("awake, 0 asleep"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("quality    bodies in contact: "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("picture    " + svg + " (side and top view, to scale"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("trajectory " + csv + " (30 rows of 10 bodies)"), std::string::npos) << o.out;
    EXPECT_NE(o.err.find("step 40/40 (100%)"), std::string::npos) << "progress when not on a terminal: " << o.err;
    const std::string picture = slurp(svg), trajectory = slurp(csv);
    EXPECT_NE(picture.find("</svg>"), std::string::npos);
    EXPECT_EQ(std::count(trajectory.begin(), trajectory.end(), '\n'), 31);
    unlink(svg.c_str());
    unlink(csv.c_str());
}

// A run that cannot be made leaves the files it would have written as they
// were; one that completes replaces them whole.
TEST(SimProgram, OutputsAppearOnlyWhenCompleteAndAFailedRunLeavesOldOnesAlone)
{
    const std::string csv = scratch("kept.csv");
    {
        std::ofstream old(csv);
        old << "old\n";
    }
    const Outcome failed = run("stack --steps 2 --quiet --csv " + csv + " --svg /nonexistent/dir/a.svg");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(slurp(csv), "old\n");
    EXPECT_NE(access((csv + ".part").c_str(), F_OK), 0) << "no temporary file is left";
    const Outcome done = run("stack --steps 2 --quiet --csv " + csv);
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(slurp(csv).rfind("step,time,body", 0), 0u);
    EXPECT_NE(access((csv + ".part").c_str(), F_OK), 0);
    unlink(csv.c_str());
}

TEST(SimProgram, OutputsThatCannotBeWrittenOrFilesThatCannotBeReadEndWithStatusOne)
{
    for (const char *arguments :
         {"stack --steps 1 --quiet --svg /nonexistent/dir/a.svg",
          "stack --steps 1 --quiet --csv /nonexistent/dir/a.csv", "--file /nonexistent/dir/scene.xml"}) {
        const Outcome o = run(arguments);
        EXPECT_EQ(o.status, 1) << arguments;
        EXPECT_NE(o.err.find("kelmar-sim: cannot "), std::string::npos) << arguments << ": " << o.err;
        EXPECT_NE(o.err.find("/nonexistent/dir/"), std::string::npos) << arguments;
        EXPECT_EQ(o.out, "") << arguments;
    }
}

} // namespace
