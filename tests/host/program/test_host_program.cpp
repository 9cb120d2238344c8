// kelmar-host as a user runs it: a bad command line says why, with the
// usage, and exits with status 2; -h prints the usage alone.
#include <string>

#include <gtest/gtest.h>

#include "tools/ProgramTestSupport.h"

namespace {

const programtest::Program host(KELMAR_HOST_PROGRAM);
const std::string kUsage = "usage: kelmar-host [-m DIR]... [-n CYCLES] [-q] SCRIPT\n";
const std::string kScript = std::string(KELMAR_EXAMPLES_DIR) + "/host/hand.txt ";

TEST(HostProgram, BadCommandLinesSayWhyAndExitWithStatusTwo)
{
    const std::string cases[][2] = {
        {"-n abc " + kScript, "-n takes a number of cycles, not 'abc'"},
        {"-m /nonexistent " + kScript, "no module folder '/nonexistent'"},
        {KELMAR_EXAMPLES_DIR, std::string("cannot read ") + KELMAR_EXAMPLES_DIR},
    };
    for (const auto &c : cases) {
        const programtest::Outcome o = host.Run(c[0]);
        EXPECT_EQ(std::make_pair(2, "kelmar-host: " + c[1] + "\n" + kUsage), std::make_pair(o.status, o.err));
        EXPECT_EQ(o.out, "") << c[0];
    }
    const programtest::Outcome help = host.Run("-h");
    EXPECT_EQ(std::make_pair(0, kUsage), std::make_pair(help.status, help.out));
}

} // namespace
