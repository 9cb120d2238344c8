// Timing hooks: silent and free until started, then sections measured per
// frame and reported as a table or as gnuplot files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::LevelGuard;
using pxtest::MessageCapture;
using pxtest::ReadFile;

namespace {

// Keeps the processor busy long enough to be measured.
volatile double gSink = 0.0;
void Work(int n)
{
    for (int i = 0; i < n; ++i) gSink = gSink + 1.0 / (i + 1.0);
}

std::string ReadStream(FILE *file)
{
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    return text;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Runs three frames: "outer" once per frame (flag 0) around "inner"
// three times (flags 1, 1, 0).
void RunFrames()
{
    for (int frame = 0; frame < 3; ++frame) {
        PxProfileStartFrame();
        PxProfileStartSectionFn("outer", 0);
        for (int k = 0; k < 3; ++k) {
            PxProfileStartSectionFn("inner", k < 2 ? 1 : 0);
            Work(20000);
            PxProfileEndSectionFn("inner");
        }
        PxProfileEndSectionFn("outer");
        PxProfileEndFrame();
    }
}

} // namespace

TEST(Profile, HooksAreSilentUntilTimingStartsThenSectionsAreAveragedOverFramesInATextTable)
{
    MessageCapture capture;
    LevelGuard level(PxWarningLevel, 3);
    ASSERT_EQ(PxProfileIsTiming(), 0);
    PxProfileStartFrame();
    PxProfileStartSectionFn("solver", 0);
    PxProfileEndSectionFn("never started");
    PxProfileEndFrame();
    PxProfileStartFrame();
    EXPECT_TRUE(MessageCapture::pieces().empty()) << "hooks must be silent while timing is off";

    PxProfileStartTiming();
    ASSERT_EQ(PxProfileIsTiming(), 1);
    RunFrames();

    PxProfileEndSectionFn("inner");
    PxProfileEndSectionFn("unknown");
    PxProfileStartFrame();
    PxProfileStartFrame();
    PxProfileEndFrame();
    EXPECT_EQ(MessageCapture::joined("warning"),
              "PxWarning{3}: PxProfileEndSectionFn: You tried to stop inner which you hadn't started, which is a bit "
              "silly.\n"
              "PxWarning{3}: PxProfileEndSectionFn: You tried to stop unknown which you hadn't started, which is a "
              "bit silly.\n"
              "PxWarning{3}: PxProfileStartFrame: A frame is already running; this start is ignored.\n");

    FILE *out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    PxProfileOutputResults(out, 0);
    const std::vector<std::string> lines = Lines(ReadStream(out));
    std::fclose(out);
    PxProfileStopTiming();
    EXPECT_EQ(PxProfileIsTiming(), 0);

    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "Averages over 4 frames. NB: Sections can be concurrent.");
    EXPECT_EQ(lines[1], "Section profiled                Av cycles   Av %   av ms");
    double cycles[2] = {}, percent[2] = {};
    for (int row = 0; row < 2; ++row) {
        const std::string &line = lines[2 + row];
        EXPECT_EQ(line.substr(0, 5), row == 0 ? "outer" : "inner");
        double ms = -1.0;
        ASSERT_EQ(std::sscanf(line.c_str() + 32, "%lf %lf %lf", &cycles[row], &percent[row], &ms), 3) << line;
        EXPECT_GT(cycles[row], 0.0);
        EXPECT_GT(ms, 0.0);
        EXPECT_LE(percent[row], 100.0 + 1e-9) << "a section lies inside its frame";
    }
    EXPECT_GT(cycles[0], cycles[1]) << "outer contains inner";
}

TEST(Profile, GnuplotFilesHoldOneLinePerFrameWithCallsAndFlagCounts)
{
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string pattern = testing::TempDir() + "pxprofileXXXXXX";
    std::vector<char> dir(pattern.begin(), pattern.end());
    dir.push_back('\0');
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    ASSERT_EQ(chdir(dir.data()), 0);

    PxProfileStartTiming();
    RunFrames();
    PxProfileOutputResults(nullptr, 1);
    PxProfileStopTiming();

    const std::vector<std::string> rows = Lines(ReadFile("PxProfile.dat"));
    ASSERT_EQ(rows.size(), 3u);
    for (int frame = 0; frame < 3; ++frame) {
        int index = -1, calls[2], count0[2], count1[2];
        unsigned long long frameCycles = 0, cycles[2];
        ASSERT_EQ(std::sscanf(rows[frame].c_str(), "%d %llu %llu %d %d %d %llu %d %d %d", &index, &frameCycles,
                              &cycles[0], &calls[0], &count0[0], &count1[0], &cycles[1], &calls[1], &count0[1],
                              &count1[1]),
                  10)
            << rows[frame];
        EXPECT_EQ(index, frame);
        EXPECT_GE(frameCycles, cycles[0]);
        EXPECT_GE(cycles[0], cycles[1]);
        EXPECT_EQ(calls[0], 1);
        EXPECT_EQ(count0[0], 1);
        EXPECT_EQ(count1[0], 0);
        EXPECT_EQ(calls[1], 3);
        EXPECT_EQ(count0[1], 1);
        EXPECT_EQ(count1[1], 2);
    }
    const std::string cyclePlot = ReadFile("cyclePlot.gpt");
    EXPECT_NE(cyclePlot.find("\"PxProfile.dat\" using 1:3 title \"outer\""), std::string::npos) << cyclePlot;
    EXPECT_NE(cyclePlot.find("\"PxProfile.dat\" using 1:7 title \"inner\""), std::string::npos) << cyclePlot;
    EXPECT_NE(ReadFile("timesCalledPlot.gpt").find("using 1:8 title \"inner\""), std::string::npos);
    EXPECT_NE(ReadFile("count0Plot.gpt").find("using 1:5 title \"outer\""), std::string::npos);
    EXPECT_NE(ReadFile("count1Plot.gpt").find("using 1:10 title \"inner\""), std::string::npos);

    for (const char *file :
         {"PxProfile.dat", "cyclePlot.gpt", "timesCalledPlot.gpt", "count0Plot.gpt", "count1Plot.gpt"})
        std::remove(file);
    ASSERT_EQ(chdir(cwd), 0);
    rmdir(dir.data());
}
