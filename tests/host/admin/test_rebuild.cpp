// Rebuilding scenes keeps their states: a new universe, a scene reset with
// restore, and a program saved and loaded again; a universe reset goes
// back to the files.
#include <cstdio>
#include <unistd.h>

#include "HostTestSupport.h"

namespace hosttest {
namespace {

using kelmar::DfxScene;
using kelmar::DfxUniverse;

class Rebuild : public HostTest {
public:
    // The blocks scene with a crate of the host's, after things have moved.
    void Moving()
    {
        Blocks();
        Make("box", "crate", {"scene", "4", "4", "4", "wood"});
        Make("solid|ref", "ball", {"scene", "ball"});
        Scene()->LookupSolid("crate")->SetTM(kCrateAbove);
        Run("universe.step", 25);
    }
    DfxScene *Scene() { return Object<DfxScene>("scene"); }
    // Rebuilt solids are new ones: their user type (not part of any status) is 0 again.
    void Mark() { Scene()->LookupSolid("ball")->type = 7; }
    bool Rebuilt() { return Scene()->LookupSolid("ball")->type == 0; }

    static constexpr double kCrateAbove[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {15, 15, 20, 1}};
};

constexpr double Rebuild::kCrateAbove[4][4];

// A saved file carries positions exactly and orientations to 15 digits.
void ExpectSamePoses(const std::map<std::string, std::vector<double>> &expected,
                     const std::map<std::string, std::vector<double>> &actual)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (const auto &pose : expected) {
        const std::vector<double> &other = actual.at(pose.first);
        for (int i = 0; i < 12; ++i) EXPECT_NEAR(pose.second[i], other[i], 1e-14) << pose.first << " " << i;
        for (int i = 12; i < 16; ++i) EXPECT_EQ(pose.second[i], other[i]) << pose.first << " " << i;
    }
}

TEST_F(Rebuild, ASecondUniverseRebuildsEverySceneAndRestoresItsState)
{
    Moving();
    const auto before = Poses(Scene());
    ASSERT_EQ(7u, before.size()) << "six solids of the file and the crate";
    Mark();
    ASSERT_NE(nullptr, MakeUniverse("second"));
    EXPECT_TRUE(Rebuilt());
    EXPECT_EQ(Object<DfxUniverse>("universe"), Scene()->GetUniverse());
    EXPECT_EQ(before, Poses(Scene()));
    EXPECT_EQ(Scene()->LookupSolid("ball"), Object<kelmar::DfxSolidRef>("ball")->GetSolid());
    EXPECT_EQ(Scene()->LookupSolid("crate"), Object<kelmar::DfxBox>("crate")->GetSolid());
}

TEST_F(Rebuild, ResettingScenesWithRestoreKeepsTheirState)
{
    Moving();
    const auto before = Poses(Scene());
    Mark();
    Object<DfxUniverse>("universe")->ResetScenesWithRestore(48);
    EXPECT_TRUE(Rebuilt());
    EXPECT_EQ(before, Poses(Scene()));
}

TEST_F(Rebuild, SavedStatesComeBackWithoutARebuild)
{
    Moving();
    const auto saved = Poses(Scene());
    kelmar::TheAdmin().SaveAllScenes();
    Run("universe.step", 10);
    ASSERT_NE(saved, Poses(Scene()));
    Mark();
    kelmar::TheAdmin().LoadAllScenes();
    EXPECT_FALSE(Rebuilt());
    EXPECT_EQ(saved, Poses(Scene()));
}

// Reloading from the files puts every solid of the file where the file
// says; the crate keeps the pose it had when it was taken out.
TEST_F(Rebuild, AUniverseResetReloadsTheFiles)
{
    Blocks();
    const auto loaded = Poses(Scene());
    Run("universe.step", 25);
    ASSERT_NE(loaded, Poses(Scene()));
    dfx::Control(At("universe"), DFX_CTRL_RESET);
    EXPECT_EQ(loaded, Poses(Scene()));
    EXPECT_EQ(0.0, Object<DfxUniverse>("universe")->time);
}

TEST_F(Rebuild, ASceneResetFromItsMethodReloadsItsFile)
{
    Blocks();
    Make("solid|ref", "ball", {"scene", "ball"});
    const auto loaded = Poses(Scene());
    Run("universe.step", 25);
    Run("scene.reset");
    EXPECT_EQ(loaded, Poses(Scene()));
    EXPECT_EQ(Scene()->LookupSolid("ball"), Object<kelmar::DfxSolidRef>("ball")->GetSolid());
}

// A saved program loads into a program of its own: its universe, scene and
// crate come back where they were.
TEST_F(Rebuild, ASavedProgramLoadsWithItsStates)
{
    Moving();
    Run("universe.Set:TimeStep");
    const auto saved = Poses(Scene());
    const std::string tree = dfx::TreeText(program);
    char path[] = "/tmp/kelmarhostXXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(dfx::SaveProgram(program, path));
    DfxUnit *loaded = dfx::LoadProgram(program, path);
    std::remove(path);
    ASSERT_NE(nullptr, loaded) << diagnostics.Joined();
    auto *scene = static_cast<DfxScene *>(dfx_unit_data(dfx::Find(loaded, "scene")));
    auto *universe = static_cast<DfxUniverse *>(dfx_unit_data(dfx::Find(loaded, "universe")));
    EXPECT_EQ(universe, scene->GetUniverse());
    ExpectSamePoses(saved, Poses(scene));
    EXPECT_EQ(0.05f, universe->timeStep) << "the time step set by the method's dialog";
    EXPECT_EQ(tree, dfx::TreeText(loaded));
}

} // namespace
} // namespace hosttest
