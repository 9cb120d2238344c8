// Message channels: level filtering, the prefix and text pieces, handler
// and show replacement, and the fatal path that ends the process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::MessageCapture;
using pxtest::ReadFile;

namespace {

std::string gHandled; // "level:text" of every call

void RecordingHandler(int level, const char *format, va_list args)
{
    char buffer[256];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    gHandled += std::to_string(level) + ":" + buffer;
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
