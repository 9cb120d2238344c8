// Messages, timing, streams and files: message channels (level filtering,
// the prefix and text pieces, handler and show replacement, the fatal path
// that ends the process, repeats); timing hooks (silent until started, then
// sections measured per frame and reported as a table and gnuplot files);
// streams, raw files and the file search list.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::MessageCapture;
using pxtest::ReadFile;
using pxtest::TempDir;

namespace {

std::string gHandled; // "level:text" of every call

void RecordingHandler(int level, const char *format, va_list args)
{
    char buffer[256];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    gHandled += std::to_string(level) + ":" + buffer;
}

volatile double gSink = 0.0;

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int SearchListLength()
{
    int n = 0;
    while (PxGetDefaultFileLocation(n) != nullptr) ++n;
    return n;
}

} // namespace

TEST(Message, ChannelsShowPrefixThenTextOnlyUpToTheirLevelCutAt5000Characters)
{
    MessageCapture capture;
    PxWarningLevel = PxInfoLevel = 0, PxDebugLevel = 2;
    PxWarning(1, "hidden\n");
    PxDebug(3, "too deep\n");
    EXPECT_TRUE(MessageCapture::pieces().empty()) << "a message passed a channel of lower level";
    PxWarning(0, "disk %s is full\n", "A");
    PxInfo(0, "x=%g\n", 1.5);
    PxDebug(2, "deep\n");
    ASSERT_EQ(MessageCapture::pieces().size(), 6u);
    EXPECT_EQ(MessageCapture::joined("warning"), "PxWarning{0}: disk A is full\n");
    EXPECT_EQ(MessageCapture::joined("info"), "PxInfo{0}: x=1.5\n");
    EXPECT_EQ(MessageCapture::joined("debug"), "PxDebug{2}: deep\n");
    PxWarning(0, "%s", std::string(6000, 'x').c_str());
    EXPECT_EQ(MessageCapture::pieces().back().second, std::string(4999, 'x'));

    testing::internal::CaptureStdout();
    PxShowStdout(0, "no newline added");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "no newline added");
    EXPECT_STREQ(PxShortenPath("/work/main/foundation/PxPool.cpp"), "PxPool.cpp");
    EXPECT_STREQ(PxShortenPath("PxPool.cpp"), "PxPool.cpp");
    EXPECT_STREQ(PxShortenPath("dir/"), "");
}

TEST(Message, InstalledHandlersGetTheLevelAndTextAndAFatalLineStillGoesToStdout)
{
    PxMessageHandler previous = PxSetWarningHandler(RecordingHandler);
    EXPECT_EQ(previous, &PxHandlerWarning);
    PxWarning(7, "level %d message\n", 7);
    EXPECT_EQ(PxSetWarningHandler(previous), &RecordingHandler);
    EXPECT_EQ(gHandled, "7:level 7 message\n");

    previous = PxSetFatalErrorHandler(RecordingHandler);
    EXPECT_EQ(previous, &PxHandlerFatalError);
    testing::internal::CaptureStdout();
    PxFatalError(12, "solver %s\n", "diverged");
    const std::string out = testing::internal::GetCapturedStdout();
    PxSetFatalErrorHandler(previous);
    EXPECT_EQ(out, "PxFatalError\n");
    EXPECT_EQ(gHandled, "7:level 7 message\n12:solver diverged\n");
}

TEST(MessageDeathTest, FatalErrorWritesToStdoutAndStderrThenExitsWithStatus1)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string outPath = testing::TempDir() + "px_fatal_stdout.txt";
    std::remove(outPath.c_str());
    EXPECT_EXIT(
        {
            if (std::freopen(outPath.c_str(), "w", stdout) == nullptr) std::abort();
            PxFatalError(3, "pool %s is broken\n", "contacts");
        },
        testing::ExitedWithCode(1), "PxFatalError\\{3\\}: pool contacts is broken");
    EXPECT_EQ(ReadFile(outPath), "PxFatalError\nPxFatalError{3}: \npool contacts is broken\n\n");
    std::remove(outPath.c_str());
}

TEST(Message, RepeatsOfOneKindAreCutAfterTwentyThenCountedAtPowersOfTen)
{
    MessageCapture capture;
    PxWarningLevel = 0;
    const long before = PxMessageGetCount(PX_CHANNEL_WARNING);
    for (int i = 0; i < 1000; ++i) PxWarning(0, "triangle %d ignored\n", i);
    for (int i = 0; i < 50; ++i) PxWarning(0, "corner (%g, %g) area %g\n", -1.5e-3 * i, 2.0 + i, 1e-20 * i);
    PxWarning(0, "another kind\n");
    EXPECT_EQ(PxMessageGetCount(PX_CHANNEL_WARNING) - before, 1051);
    const std::string shown = MessageCapture::joined("warning");
    EXPECT_NE(shown.find("PxWarning{0}: triangle 19 ignored\n"), std::string::npos);
    EXPECT_EQ(shown.find("PxWarning{0}: triangle 20 ignored\n"), std::string::npos);
    for (const char *line : {"PxWarning{0}: more messages like \"triangle 20 ignored\" follow; they are counted, "
                             "not shown\n",
                             "PxWarning{0}: 100 messages like \"triangle 99 ignored\" so far\n",
                             "PxWarning{0}: 1000 messages like \"triangle 999 ignored\" so far\n",
                             "PxWarning{0}: corner (-0.0285, 21) area 1.9e-19\n",
                             "PxWarning{0}: more messages like \"corner (-0.03, 22) area 2e-19\" follow; they are "
                             "counted, not shown\n"})
        EXPECT_NE(shown.find(line), std::string::npos) << line;
    EXPECT_EQ(shown.find("PxWarning{0}: corner (-0.03, 22)"), std::string::npos);
    EXPECT_EQ(shown.substr(shown.size() - 27), "PxWarning{0}: another kind\n");
    PxMessageFlushRepeats();
    const std::string flushed = MessageCapture::joined("warning");
    EXPECT_NE(flushed.find("1000 messages like \"triangle 0 ignored\" in all, 980 of them not shown\n"),
              std::string::npos);
    EXPECT_NE(flushed.find("50 messages like \"corner (-0, 2) area 0\" in all, 30 of them not shown\n"),
              std::string::npos)
        << "numbers with signs, points and exponents are one kind";
    PxWarning(0, "triangle %d ignored\n", 1000);
    EXPECT_EQ(MessageCapture::pieces().back().second, "triangle 1000 ignored\n") << "the flush starts kinds afresh";
}

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

TEST(Stream, FilesAndMemoryReadBackWhatWasWrittenAndBadOpensAreRefused)
{
    TempDir dir;
    // Writing truncates, appending adds; text and binary read back the same bytes.
    const std::string path = dir.file("scene.txt");
    const struct {
        int writeMode, readMode;
        std::string written, expected;
    } steps[] = {
        {PX_MODE_WRITE, PX_MODE_READ, "first line\nsecond", "first line\nsecond"},
        {PX_MODE_APPEND, PX_MODE_READ_BINARY, " line\n", "first line\nsecond line\n"},
        {PX_MODE_WRITE_BINARY, PX_MODE_READ, std::string("\0\x01\xff\n", 4), std::string("\0\x01\xff\n", 4)}};
    char line[64];
    for (const auto &step : steps) {
        PxStream *out = PxStreamOpen(path.c_str(), step.writeMode);
        ASSERT_NE(out, nullptr);
        EXPECT_TRUE(out->name != path.c_str() && path == out->name) << "the stream owns a copy of its name";
        EXPECT_EQ(PxStreamWrite(step.written.data(), 1, step.written.size(), out), step.written.size());
        PxStreamClose(out);
        PxStream *in = PxStreamOpen(path.c_str(), step.readMode);
        ASSERT_NE(in, nullptr);
        EXPECT_EQ(std::string(line, PxStreamRead(line, 1, sizeof line, in)), step.expected);
        PxStreamClose(in);
    }
    // Memory reads like a file of its name (the XML tests read through it).
    const char text[] = "<PX>";
    PxStream *memory = PxStreamOpenMemory("scene.px", text, sizeof text - 1);
    EXPECT_STREQ(memory->name, "scene.px");
    PxStreamClose(memory);
    EXPECT_EQ(PxStreamOpenMemory(nullptr, text, 3), nullptr);
    EXPECT_EQ(PxStreamOpen(dir.file("missing.txt").c_str(), PX_MODE_READ), nullptr);
    EXPECT_EQ(PxStreamOpen(path.c_str(), 9), nullptr);
    EXPECT_EQ(PxStreamRead(line, 1, 1, nullptr) + PxStreamWrite(line, 1, 1, nullptr), 0u);
    PxStreamClose(nullptr);
}

TEST(RawFile, WriteSeekReadAppendAndTruncateAndRefuseBadModes)
{
    TempDir dir;
    const std::string path = dir.file("raw.dat");
    const mode_t mask = umask(0);
    umask(mask);
    int fd = PxOpen(path.c_str(), PX_MODE_WRITE);
    EXPECT_EQ(PxWrite(fd, "0123456789", 10), 10);
    EXPECT_EQ(PxClose(fd), 0);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u & ~mask);
    fd = PxOpen(path.c_str(), PX_MODE_READ);
    EXPECT_EQ(PxLseek(fd, 0, 2), 10);
    EXPECT_EQ(PxLseek(fd, 4, 0), 4);
    EXPECT_EQ(PxLseek(fd, 2, 1), 6);
    char buffer[8] = {};
    EXPECT_EQ(PxRead(fd, buffer, 3), 3);
    EXPECT_STREQ(buffer, "678");
    EXPECT_EQ(PxWrite(fd, "x", 1), -1) << "read-only";
    PxClose(fd);
    fd = PxOpen(path.c_str(), PX_MODE_APPEND);
    EXPECT_EQ(PxWrite(fd, "AB", 2), 2);
    EXPECT_EQ(PxLseek(fd, 0, 0), 0);
    EXPECT_EQ(PxRead(fd, buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "AB23");
    PxClose(fd);
    fd = PxOpen(path.c_str(), PX_MODE_WRITE);
    EXPECT_EQ(PxLseek(fd, 0, 2), 0) << "truncated";
    PxClose(fd);

    pxtest::MessageCapture capture;
    EXPECT_LT(PxOpen(dir.file("missing").c_str(), PX_MODE_READ_BINARY), 0);
    EXPECT_LT(PxOpen("whatever", 7), 0);
    EXPECT_LT(PxOpenWithSearch("whatever", 5), 0);
    EXPECT_LT(PxLseek(0, 0, -1), 0);
    EXPECT_EQ(capture.joined("warning"), "PxWarning{3}: Invalid mode parameter passed to PxOpen().\n"
                                         "PxWarning{3}: Invalid mode parameter passed to PxOpen().\n"
                                         "PxWarning{3}: Invalid origin parameter passed to PxLseek().\n");
}

TEST(FileSearch, AddedDirectoriesAndRelativeDefaultsFindAFileByItsBareName)
{
    TempDir dir;
    const std::string data = dir.subdir("data"), name = "kelmar_search_probe_" + std::to_string(getpid());
    std::ofstream(dir.file("data/" + name)) << "found\n";
    ASSERT_EQ(PxGetFileLocation(name.c_str()), nullptr) << "not found before the directory is added";
    const int before = SearchListLength();
    PxFileSearchPathAdd(nullptr);
    PxFileSearchPathAdd("");
    PxFileSearchPathAdd(data.c_str());
    PxFileSearchPathAdd((data + "/").c_str());
    ASSERT_EQ(SearchListLength(), before + 2) << "null and empty directories are ignored";
    EXPECT_STREQ(PxGetDefaultFileLocation(before), (data + "/").c_str());
    EXPECT_STREQ(PxGetDefaultFileLocation(before + 1), (data + "/").c_str()) << "no second '/'";
    EXPECT_STREQ(PxGetFileLocation(name.c_str()), (data + "/" + name).c_str());
    PxStream *stream = PxStreamOpenWithSearch(name.c_str(), PX_MODE_READ);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(std::string(stream->name), name) << "the stream keeps the name as given";
    char line[16];
    EXPECT_STREQ(PxStreamReadLine(line, sizeof line, stream), "found\n");
    PxStreamClose(stream);
    const int fd = PxOpenWithSearch(name.c_str(), PX_MODE_READ);
    EXPECT_EQ(PxRead(fd, line, 5), 5);
    PxClose(fd);
    EXPECT_EQ(PxGetFileLocation("kelmar_no_such_file.txt"), nullptr);
    EXPECT_LT(PxOpenWithSearch("kelmar_no_such_file.txt", PX_MODE_READ), 0);

    // Relative defaults are added under a base in built-in order, and a file
    // under base/Resources/px_files/ is found by its bare name.
    const std::string base = dir.path() + "/install", probe = name + ".px";
    const int listed = SearchListLength();
    PxFileSearchPathAddAllRelativeDefaults(base.c_str());
    ASSERT_EQ(SearchListLength(), listed + 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_STREQ(PxGetDefaultFileLocation(listed + i), (base + "/" + PxGetDefaultFileLocation(i)).c_str());
    dir.subdir("install/Resources/px_files");
    std::ofstream(dir.file("install/Resources/px_files/" + probe)) << "x";
    EXPECT_STREQ(PxGetFileLocation(probe.c_str()), (base + "/Resources/px_files/" + probe).c_str());
}
