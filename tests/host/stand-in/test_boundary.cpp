// Host exceptions are caught at the one boundary of each host call, with
// their identifier and text, and a failed call leaves no unit behind.
#include <gtest/gtest.h>

#include "TestFolder.h"

namespace standintest {
namespace {

class Boundary : public testing::Test {
protected:
    void SetUp() override
    {
        AddTestFolder();
        dfx::ClearLastException();
        program = dfx::NewProgram(nullptr, "main");
    }
    void TearDown() override
    {
        dfx::DeleteUnit(program);
        EXPECT_EQ(0, dfx::UnitCount());
        EXPECT_EQ(0, Counter::alive);
    }
    DfxUnit *program = nullptr;
    dfx::CaptureDiagnostics captured;
};

TEST_F(Boundary, AnExceptionOfAUnitReachesItWithIdAndText)
{
    DfxUnit *raiser = dfx::CreateUnit(program, "raiser", "r", {});
    EXPECT_FALSE(dfx::Execute(raiser));
    const dfx::CaughtException &e = dfx::LastException();
    EXPECT_EQ("test:raised", e.id);
    EXPECT_EQ("main/r: raised 42\n", e.text);
    EXPECT_EQ("main/r", e.unit);
    EXPECT_EQ("exec", e.call);
    EXPECT_EQ(std::vector<std::string>{"main/r: exec: exception 'test:raised': main/r: raised 42\n"},
              captured.Texts(DFX_ERROR));
}

TEST_F(Boundary, UnitsMadeByACallThatFailedAreRemoved)
{
    const std::string before = dfx::TreeText();
    EXPECT_EQ(nullptr, dfx::CreateUnit(program, "thrower", "t", {}));
    EXPECT_EQ("test:thrown", dfx::LastException().id);
    EXPECT_EQ("main/t: made and thrown\n", dfx::LastException().text);
    EXPECT_EQ(before, dfx::TreeText());
}

// A successor's exception passes through the unit that ran it and is
// caught once, at the outer call.
TEST_F(Boundary, ExceptionsOfSuccessorsAreCaughtAtTheOuterCallOnly)
{
    DfxUnit *caller = dfx::CreateUnit(program, "caller", "caller", {});
    DfxUnit *raiser = dfx::CreateUnit(program, "raiser", "r", {});
    dfx::SetSuccessor(caller, raiser);
    EXPECT_FALSE(dfx::Execute(caller));
    EXPECT_EQ("main/caller", dfx::LastException().unit);
    EXPECT_EQ("main/r: raised 42\n", dfx::LastException().text);
    EXPECT_EQ(1u, captured.Texts(DFX_ERROR).size());
    EXPECT_EQ("", dfx::OutputText(caller, 0)) << "the caller's output was never written";
}

// Counter creation makes three counted host calls: the unit, its input,
// its output. A fault at each of them leaves nothing; a fourth is never
// reached.
TEST_F(Boundary, AnInjectedFaultHitsTheChosenHostCall)
{
    const std::string before = dfx::TreeText();
    for (int n = 1; n <= 3; ++n) {
        dfx::InjectFault(n);
        EXPECT_EQ(nullptr, dfx::CreateUnit(program, "counter", "c", {}));
        EXPECT_EQ("test:fault", dfx::LastException().id);
        EXPECT_EQ(before, dfx::TreeText());
    }
    dfx::InjectFault(4);
    const long calls = dfx::HostCallCount();
    EXPECT_NE(nullptr, dfx::CreateUnit(program, "counter", "c", {}));
    EXPECT_EQ(3, dfx::HostCallCount() - calls);
    dfx::InjectFault(0);
}

TEST_F(Boundary, PortsAndInputsAreChecked)
{
    DfxUnit *a = dfx::CreateUnit(program, "counter", "a", {"5"});
    DfxUnit *b = dfx::CreateUnit(program, "counter", "b", {"2"});
    DfxUnit *caller = dfx::CreateUnit(program, "caller", "caller", {});
    EXPECT_EQ(2.0f, dfx_in_float(b, 0)) << "unconnected: the dialog field of the same number";
    ASSERT_TRUE(dfx::Connect(a, 0, b, 0));
    ASSERT_TRUE(dfx::Execute(a));
    EXPECT_EQ(5.0f, dfx_in_float(b, 0));
    try {
        dfx_in_int(caller, 0);
        FAIL() << "no input 0";
    } catch (const dfx::HostException &e) {
        EXPECT_EQ("badarg:port", e.id);
        EXPECT_EQ("main/caller: no input 0\n", e.text);
    }
    EXPECT_FALSE(dfx::Connect(caller, 0, caller, 0));
    EXPECT_THROW(dfx_out_int(caller, 3, 1), dfx::HostException);
}

} // namespace
} // namespace standintest
