// kelmar-host as a user runs it: a bad command line prints why and the
// usage and exits with status 2; -h prints the usage alone; a script line
// that fails ends the run with status 1.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tools/ProgramTestSupport.h"

namespace {

using namespace programtest;

const Program host(KELMAR_HOST_PROGRAM);
const std::string kUsage = "usage: kelmar-host [-m DIR]... [-n CYCLES] [-q] SCRIPT\n";
const std::string kScript = std::string(KELMAR_EXAMPLES_DIR) + "/host/hand.txt";

TEST(HostProgram, BadCommandLinesSayWhyAndExitWithStatusTwo)
{
    const struct {
        std::string arguments, why;
    } cases[] = {
        {"", "no script"},
        {"-n", "-n needs a value"},
        {"-m", "-m needs a value"},
        {"-n abc " + kScript, "-n takes a number of cycles, not 'abc'"},
        {"-n -5 " + kScript, "-n takes a number of cycles, not '-5'"},
        {"-n 3x " + kScript, "-n takes a number of cycles, not '3x'"},
        {"-m /nonexistent " + kScript, "no module folder '/nonexistent'"},
        {"--frobnicate " + kScript, "unexpected argument '--frobnicate'"},
        {kScript + " " + kScript, "unexpected argument '" + kScript + "'"},
        {"nosuch.txt", "cannot read nosuch.txt"},
        {KELMAR_EXAMPLES_DIR, std::string("cannot read ") + KELMAR_EXAMPLES_DIR},
    };
    for (const auto &c : cases) {
        const Outcome o = host.Run(c.arguments);
        EXPECT_EQ(o.status, 2) << c.arguments;
        EXPECT_EQ(o.err, "kelmar-host: " + c.why + "\n" + kUsage) << c.arguments;
        EXPECT_EQ(o.out, "") << c.arguments;
    }
    const Outcome help = host.Run("-h");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, kUsage);
}

TEST(HostProgram, AFailingLineEndsTheRunWithStatusOne)
{
    const std::string script = host.Scratch("bad.txt");
    std::ofstream(script) << "unit universe universe\nunit nosuch thing\nprint universe.Get:Time.value\n";
    const Outcome o = host.Run("-q " + script);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find(script + ":2: "), std::string::npos) << o.err;
    EXPECT_EQ(o.out, "");
}

} // namespace
