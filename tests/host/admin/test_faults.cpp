// A host exception can interrupt a unit function or method at any host
// call. Every such point is tried in turn: the exception reaches the
// boundary with its identifier and text, and the unit tree, the
// administrator's lists, the bindings and the scene's state are as before.
#include <functional>

#include "HostTestSupport.h"

namespace hosttest {
namespace {

using kelmar::DfxScene;
using kelmar::TheAdmin;

struct State {
    std::string tree;
    int universes, scenes, objects, bound;
    std::map<std::string, std::vector<double>> poses;
    bool operator==(const State &o) const
    {
        return tree == o.tree && universes == o.universes && scenes == o.scenes && objects == o.objects &&
               bound == o.bound && poses == o.poses;
    }
};

class Faults : public HostTest {
public:
    // A universe, the blocks scene, a reference, a box, and a contact list.
    void World()
    {
        Blocks();
        Make("solid|ref", "ball", {"scene", "ball"});
        Make("box", "crate", {"scene", "2", "2", "2"});
        Run("universe.step", 10);
        Run("ball.GetContacts");
    }
    State Now()
    {
        const auto &admin = TheAdmin();
        auto *scene = static_cast<DfxScene *>(dfx_unit_data(dfx::Find(program, "scene")));
        return {dfx::TreeText(program),  admin.NumUniverses(),
                admin.NumScenes(),       admin.NumObjects(),
                admin.NumBoundObjects(), scene ? Poses(scene) : std::map<std::string, std::vector<double>>()};
    }
    // Interrupts act at its first, second, ... host call until it gets
    // through; returns how many points there were.
    int TryEveryPoint(const std::function<bool()> &act)
    {
        int n = 1;
        for (;; ++n) {
            const State before = Now();
            dfx::ClearLastException();
            dfx::InjectFault(n);
            const long calls = dfx::HostCallCount();
            const bool done = act();
            dfx::InjectFault(0);
            if (dfx::HostCallCount() - calls < n) {
                EXPECT_TRUE(done) << "no fault, yet it failed: " << dfx::LastException().text;
                break;
            }
            EXPECT_FALSE(done) << "at host call " << n;
            EXPECT_EQ("test:fault", dfx::LastException().id) << "at host call " << n;
            EXPECT_EQ("injected fault at host call " + std::to_string(calls + n) + "\n", dfx::LastException().text);
            EXPECT_TRUE(before == Now()) << "at host call " << n << "\n" << before.tree << "\n" << Now().tree;
            if (n > 500) break;
        }
        return n - 1;
    }
};

TEST_F(Faults, CreatingAnyUnitLeavesNothingHalfMade)
{
    World();
    const std::pair<const char *, std::vector<std::string>> units[] = {
        {"universe", {}},
        {"scene", {"universe", KELMAR_HOST_TEST_DATA, "blocks.px"}},
        {"solid|ref", {"scene", "block_a"}},
        {"box", {"scene"}},
        {"sphere", {"scene"}},
        {"cylinder", {"scene", "1", "2", "can"}},
        {"joint|ref", {"scene", "elbow"}},
        {"robot", {"scene", "shoulder", "upper"}},
        {"robot|ref", {"scene", "arm"}},
        {"world_to_local", {}},
        {"local_to_world", {}},
        {"ContactIt", {}},
        {"camera", {"scene", "ball", "8", "6"}},
        {"camera|ref", {"scene", "eye"}},
        {"CamHead", {"scene"}},
        {"CamHead|ref", {"scene", "head"}},
#ifdef KELMAR_HOST_VIEWER
        {"vtkViewer", {"universe", "nowhere"}},
#endif
    };
    for (const auto &unit : units) {
        SCOPED_TRACE(unit.first);
        const int points = TryEveryPoint([&] {
            DfxUnit *made = dfx::CreateUnit(program, unit.first, std::string("new_") + unit.first, unit.second);
            if (made) dfx::DeleteUnit(made);
            return made != nullptr;
        });
        EXPECT_GE(points, 3) << "the unit and at least two more host calls";
    }
}

TEST_F(Faults, RunningAnyMethodLeavesNothingBehind)
{
    World();
    Make("robot|ref", "arm", {"scene", "arm"});
    Make("ContactIt", "it");
    Make("camera", "wrist", {"scene", "ball", "8", "6"});
    Make("CamHead", "eyes", {"scene"});
    ASSERT_TRUE(dfx::Connect(At("ball.GetContacts"), 0, At("it"), 0));
    dfx::SetSuccessor(At("it"), At("ball.GetPosition"));
    Object<kelmar::DfxUniverse>("universe")->SetMarkedSolid(Object<DfxScene>("scene")->LookupSolid("ball"));
    for (const char *method : {"universe.Get:Marked", "universe.Get:Gravity", "universe.Set:Gravity", "ball.GetTM",
                               "ball.GetContacts", "crate.GetPosition", "arm.GetJoints", "arm.GetContacts", "it",
                               "wrist.GetImage3", "wrist.GetTM", "eyes.GetJoints"}) {
        SCOPED_TRACE(method);
        DfxUnit *unit = At(method);
        EXPECT_GE(TryEveryPoint([&] { return dfx::Execute(unit); }), 1);
    }
}

} // namespace
} // namespace hosttest
