// Programs as scripts: built, connected and run from text, saved and
// loaded back unit for unit, and failing lines named by file and line.
#include <cstdio>
#include <sstream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "TestFolder.h"

namespace standintest {
namespace {

class Script : public testing::Test {
protected:
    void SetUp() override { AddTestFolder(); }
    void TearDown() override
    {
        while (dfx_unit_child_count(dfx_unit_root()) > 0)
            dfx::DeleteUnit(dfx_unit_child(dfx_unit_root(), dfx_unit_child_count(dfx_unit_root()) - 1));
        EXPECT_EQ(0, Counter::alive);
    }
    bool Run(const std::string &text, std::string *out = nullptr)
    {
        std::istringstream in(text);
        std::ostringstream printed;
        dfx::ScriptContext context;
        context.out = &printed;
        const bool ok = dfx::RunScript(in, context);
        if (out) *out = printed.str();
        return ok;
    }
};

const char kProgram[] = "program p\n"
                        "unit counter a 2        # counts in twos\n"
                        "unit counter - \"-\" - green \"a \\\"quoted\\\" note\"\n"
                        "connect a.count #1.in\n"
                        "do a\n"
                        "do #1\n"
                        "run 3\n"
                        "print a.count\n"
                        "print #1.count\n"
                        "end\n";

TEST_F(Script, BuildsConnectsAndRunsAProgram)
{
    std::string out;
    ASSERT_TRUE(Run(kProgram, &out));
    EXPECT_EQ("a.count = 6\n#1.count = 3\n", out);
    DfxUnit *p = dfx::Find(nullptr, "p");
    const auto *second = static_cast<const Counter *>(dfx_unit_data(dfx::Find(p, "#1")));
    EXPECT_EQ(1, second->colour);
    EXPECT_EQ("a \"quoted\" note", second->note);
    EXPECT_EQ(6.0f, dfx_in_float(dfx::Find(p, "#1"), 0));
}

TEST_F(Script, ASavedProgramLoadsBackUnitForUnit)
{
    ASSERT_TRUE(Run(kProgram));
    DfxUnit *p = dfx::Find(nullptr, "p");
    const std::string tree = dfx::TreeText(p);
    char path[] = "/tmp/standinXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(dfx::SaveProgram(p, path));
    DfxUnit *loaded = dfx::LoadProgram(nullptr, path);
    std::remove(path);
    ASSERT_NE(nullptr, loaded);
    ASSERT_NE(p, loaded);
    EXPECT_EQ(tree, dfx::TreeText(loaded));
    EXPECT_EQ(6, static_cast<const Counter *>(dfx_unit_data(dfx::Find(loaded, "a")))->count);
    const auto *second = static_cast<const Counter *>(dfx_unit_data(dfx::Find(loaded, "#1")));
    EXPECT_EQ(3, second->count);
    EXPECT_EQ("a \"quoted\" note", second->note);
    ASSERT_TRUE(dfx::RunCycles(loaded, 1));
    EXPECT_EQ(8.0f, dfx_in_float(dfx::Find(loaded, "#1"), 0)) << "connection and cycle came back";
}

// A saved program loaded into a script runs on from its saved state.
TEST_F(Script, ALoadedProgramRunsOnFromItsSavedState)
{
    ASSERT_TRUE(Run(kProgram));
    const std::string path = testing::TempDir() + "standin-saved-" + std::to_string(getpid());
    ASSERT_TRUE(dfx::SaveProgram(dfx::Find(nullptr, "p"), path));
    std::string out;
    EXPECT_TRUE(Run("program q\nload " + path + "\nrun 2 p\nprint p.a.count\nend\n", &out));
    std::remove(path.c_str());
    EXPECT_EQ("p.a.count = 10\n", out) << "6 when saved, two more cycles of 2";
}

TEST_F(Script, LinesThatFailAreNamedByFileAndLine)
{
    const std::pair<const char *, const char *> rows[] = {
        {"unit nothing x\n", "script:1: unit nothing not created\n"},
        {"\n# comment\nfrobnicate\n", "script:3: unknown command 'frobnicate'\n"},
        {"unit counter a\nconnect a.count a.nowhere\n", "script:2: 'a.nowhere' names no port\n"},
        {"do ghost\n", "script:1: no unit 'ghost'\n"},
        {"unit counter \"a\n", "script:1: unterminated quote\n"},
        {"end\n", "script:1: 'end' without 'program'\n"},
        {"run\n", "script:1: usage: run N [PROGRAM]\n"},
        {"run abc\n", "script:1: run takes a number of cycles, not 'abc'\n"},
        {"unit counter a\nrun 2 a\n", "script:2: 'a' is no program\n"},
        {"unit raiser r\ndo r\nrun 1\nprint r.x\n", "script:3: run stopped\n"},
    };
    for (const auto &row : rows) {
        dfx::CaptureDiagnostics captured;
        EXPECT_FALSE(Run(row.first)) << row.first;
        const std::vector<std::string> errors = captured.Texts(DFX_ERROR);
        ASSERT_FALSE(errors.empty()) << row.first;
        EXPECT_EQ(row.second, errors.back()) << row.first;
        TearDown();
    }
}

} // namespace
} // namespace standintest
