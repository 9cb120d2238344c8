// Timing hooks: silent and free until started, then sections measured per
// frame and reported as a table and as gnuplot files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::MessageCapture;
using pxtest::ReadFile;

namespace {

volatile double gSink = 0.0;

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

} // namespace

TEST(Profile, SectionsAreReportedPerFrameAsATableAndAsGnuplotFiles)
{
    MessageCapture capture;
    PxProfileStartFrame();
    PxProfileEndSectionFn("never started");
    PxProfileEndFrame();
    EXPECT_TRUE(MessageCapture::pieces().empty()) << "hooks must be silent while timing is off";

    const std::filesystem::path cwd = std::filesystem::current_path();
    pxtest::TempDir dir;
    std::filesystem::current_path(dir.path());
    PxProfileStartTiming();
    ASSERT_EQ(PxProfileIsTiming(), 1);
    // Three frames: "outer" once per frame (flag 0) around "inner" three
    // times (flags 1, 1, 0).
    for (int frame = 0; frame < 3; ++frame) {
        PxProfileStartFrame();
        PxProfileStartSectionFn("outer", 0);
        for (int k = 0; k < 3; ++k) {
            PxProfileStartSectionFn("inner", k < 2 ? 1 : 0);
            for (int i = 0; i < 20000; ++i) gSink = gSink + 1.0 / (i + 1.0);
            PxProfileEndSectionFn("inner");
        }
        PxProfileEndSectionFn("outer");
        PxProfileEndFrame();
    }
    PxProfileOutputResults(nullptr, 1);
    PxProfileEndSectionFn("unknown");
    PxProfileStartFrame();
    PxProfileStartFrame();
    PxProfileEndFrame();
    FILE *out = std::tmpfile();
    PxProfileOutputResults(out, 0);
    PxProfileStopTiming();
    EXPECT_EQ(PxProfileIsTiming(), 0);
    EXPECT_EQ(MessageCapture::joined("warning"),
              "PxWarning{3}: PxProfileEndSectionFn: You tried to stop unknown which you hadn't started, which is a "
              "bit silly.\n"
              "PxWarning{3}: PxProfileStartFrame: A frame is already running; this start is ignored.\n");
    const std::string table = pxtest::WrittenText(out);
    std::fclose(out);
    const std::vector<std::string> lines = Lines(table);
    ASSERT_EQ(lines.size(), 4u) << table;
    EXPECT_EQ(lines[0], "Averages over 4 frames. NB: Sections can be concurrent.");
    EXPECT_EQ(lines[1], "Section profiled                Av cycles   Av %   av ms");
    double cycles[2] = {}, percent[2] = {}, ms[2] = {};
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(lines[2 + row].substr(0, 5), row == 0 ? "outer" : "inner");
        ASSERT_EQ(std::sscanf(lines[2 + row].c_str() + 32, "%lf %lf %lf", &cycles[row], &percent[row], &ms[row]), 3);
        EXPECT_TRUE(cycles[row] > 0.0 && ms[row] > 0.0 && percent[row] <= 100.0 + 1e-9) << lines[2 + row];
    }
    EXPECT_GT(cycles[0], cycles[1]) << "outer contains inner";

    // One line per frame: index, frame cycles, then cycles, calls and the
    // counts of flags 0 and 1 for each section.
    const std::vector<std::string> rows = Lines(ReadFile("PxProfile.dat"));
    ASSERT_EQ(rows.size(), 3u);
    for (int frame = 0; frame < 3; ++frame) {
        int index = -1, counts[6];
        unsigned long long frameCycles = 0, sectionCycles[2];
        ASSERT_EQ(std::sscanf(rows[frame].c_str(), "%d %llu %llu %d %d %d %llu %d %d %d", &index, &frameCycles,
                              &sectionCycles[0], &counts[0], &counts[1], &counts[2], &sectionCycles[1], &counts[3],
                              &counts[4], &counts[5]),
                  10);
        EXPECT_EQ(index, frame);
        EXPECT_TRUE(frameCycles >= sectionCycles[0] && sectionCycles[0] >= sectionCycles[1]) << rows[frame];
        EXPECT_EQ(std::vector<int>(counts, counts + 6), (std::vector<int>{1, 1, 0, 3, 1, 2}));
    }
    EXPECT_NE(ReadFile("cyclePlot.gpt").find("\"PxProfile.dat\" using 1:7 title \"inner\""), std::string::npos);
    EXPECT_NE(ReadFile("count1Plot.gpt").find("using 1:10 title \"inner\""), std::string::npos);
    std::filesystem::current_path(cwd);
}
