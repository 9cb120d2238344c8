// A universe with two scenes and ten bound objects made, renamed, reset
// and destroyed a hundred times: every cycle ends with nothing left in the
// unit tree or the administrator (and, under the sanitizer, nothing leaked).
#include "HostTestSupport.h"

namespace hosttest {
namespace {

using kelmar::TheAdmin;

class Lifecycle : public HostTest {
public:
    void Build()
    {
        MakeUniverse();
        MakeScene("s1");
        MakeScene("s2");
        Make("solid|ref", "ball1", {"s1", "ball"});
        Make("solid|ref", "block1", {"s1", "block_a"});
        Make("solid|ref", "block2", {"s1", "block_b"});
        Make("solid|ref", "ball2", {"s2", "ball"});
        Make("solid|ref", "upper2", {"s2", "upper"});
        Make("box", "crate", {"s1", "3", "3", "3"});
        Make("sphere", "marble", {"s1", "1"});
        Make("cylinder", "can", {"s2", "1", "4"});
        Make("robot|ref", "arm", {"s2", "arm"});
        Make("joint|ref", "shoulder", {"s1", "shoulder"});
    }
};

TEST_F(Lifecycle, AHundredCyclesLeaveNothingBehind)
{
    for (int cycle = 0; cycle < 100; ++cycle) {
        SCOPED_TRACE(cycle);
        Build();
        ASSERT_EQ(10, TheAdmin().NumBoundObjects()) << diagnostics.Joined();
        dfx::Rename(At("s1"), "t1");
        EXPECT_EQ(4, TheAdmin().NumBoundObjects());
        dfx::Rename(At("t1"), "s1");
        dfx::Rename(At("universe"), "cosmos");
        Run("cosmos.step", 2);
        dfx::Control(At("cosmos"), DFX_CTRL_RESET);
        Run("s1.reset");
        Object<kelmar::DfxUniverse>("cosmos")->ResetScenesWithRestore(48);
        dfx::Rename(At("cosmos"), "universe");
        EXPECT_EQ(10, TheAdmin().NumBoundObjects());
        dfx::DeleteUnit(program);
        ASSERT_EQ(0, dfx::UnitCount());
        ASSERT_EQ(0, TheAdmin().NumObjects() + TheAdmin().NumScenes() + TheAdmin().NumUniverses());
        program = dfx::NewProgram(nullptr, "test");
    }
}

} // namespace
} // namespace hosttest
