// Late binding by name: objects before their scenes, scenes before their
// universes, renaming, program units and two-part names.
#include "HostTestSupport.h"

namespace hosttest {
namespace {

using kelmar::DfxKelmarAdmin;
using kelmar::DfxScene;
using kelmar::DfxSolidRef;
using kelmar::DfxUniverse;
using kelmar::TheAdmin;

class Binding : public HostTest {};

TEST_F(Binding, ObjectsAndScenesMadeFirstBindWhenTheirUniverseComes)
{
    Make("solid|ref", "ball", {"scene", "ball"});
    Make("robot|ref", "arm", {"scene", "arm"});
    ASSERT_NE(nullptr, MakeScene("scene"));
    EXPECT_EQ(0, TheAdmin().NumBoundObjects());
    EXPECT_EQ(nullptr, Object<DfxScene>("scene")->GetUniverse());
    diagnostics.Clear();
    TheAdmin().ShowUnresolvedObjects();
    EXPECT_EQ("unresolved objects:   \"arm\" in scene \"scene\"\n  \"ball\" in scene \"scene\"\n",
              diagnostics.Joined());

    ASSERT_NE(nullptr, MakeUniverse());
    auto *scene = Object<DfxScene>("scene");
    EXPECT_EQ(Object<DfxUniverse>("universe"), scene->GetUniverse());
    EXPECT_EQ(scene->LookupSolid("ball"), Object<DfxSolidRef>("ball")->GetSolid());
    EXPECT_EQ(scene->LookupObject("arm"), Object<kelmar::DfxRobot>("arm")->GetRobot());
    EXPECT_TRUE(diagnostics.Texts(DFX_WARNING).empty()) << diagnostics.Joined();
}

// Renaming a scene lets go of the objects of its old name and binds those
// that wait for the new one.
TEST_F(Binding, RenamingASceneRebindsByName)
{
    MakeUniverse();
    MakeScene("first");
    Make("solid|ref", "old", {"first", "ball"});
    Make("solid|ref", "waiting", {"second", "block_a"});
    ASSERT_TRUE(Object<DfxSolidRef>("old")->IsBound());
    ASSERT_FALSE(Object<DfxSolidRef>("waiting")->IsBound());

    dfx::Rename(At("first"), "second");
    auto *scene = Object<DfxScene>("second");
    EXPECT_STREQ("second", scene->Name());
    EXPECT_FALSE(Object<DfxSolidRef>("old")->IsBound());
    EXPECT_EQ(scene->LookupSolid("block_a"), Object<DfxSolidRef>("waiting")->GetSolid());
}

TEST_F(Binding, ASceneNamedWithAColonRegistersWithoutAName)
{
    MakeUniverse();
    ASSERT_NE(nullptr, MakeScene("a:b"));
    EXPECT_EQ(std::vector<std::string>{"DfxKelmarAdmin: name for scene must not contain ':'\n"},
              diagnostics.Texts(DFX_WARNING));
    auto *scene = Object<DfxScene>("a:b");
    EXPECT_STREQ("", scene->Name());
    EXPECT_TRUE(scene->IsRegistered());
    EXPECT_NE(nullptr, scene->GetUniverse());
}

TEST_F(Binding, TwoUniversesOfOneNameInOneProgramUnitAreRefused)
{
    ASSERT_NE(nullptr, MakeUniverse("universe"));
    EXPECT_EQ(nullptr, MakeUniverse("universe"));
    EXPECT_EQ(std::vector<std::string>{"universe with name 'universe' already exists\n"},
              diagnostics.Texts(DFX_ERROR));
    EXPECT_EQ(std::vector<std::string>{"test: failed to create unit!"}, diagnostics.Texts(DFX_WARNING));
    EXPECT_EQ(1, TheAdmin().NumUniverses());
    EXPECT_EQ(1, dfx_unit_child_count(program));
}

// Each scene goes into the universe of its name nearest to it: its own
// program's, else an outer one's, else one in a program beside it.
TEST_F(Binding, ScenesFindTheNearestUniverseOfTheirName)
{
    DfxUnit *inner = dfx::NewProgram(program, "inner");
    DfxUnit *beside = dfx::NewProgram(program, "beside");
    ASSERT_NE(nullptr, MakeUniverse("universe"));
    ASSERT_NE(nullptr, MakeUniverse("universe", inner));
    ASSERT_NE(nullptr, MakeUniverse("other", beside));
    ASSERT_NE(nullptr, MakeScene("outer"));
    ASSERT_NE(nullptr, MakeScene("near", "universe", inner));
    ASSERT_NE(nullptr, MakeScene("far", "other", inner));
    EXPECT_EQ(Object<DfxUniverse>("universe"), Object<DfxScene>("outer")->GetUniverse());
    EXPECT_EQ(Object<DfxUniverse>("inner.universe"), Object<DfxScene>("inner.near")->GetUniverse());
    EXPECT_EQ(Object<DfxUniverse>("beside.other"), Object<DfxScene>("inner.far")->GetUniverse());
}

TEST_F(Binding, ATwoPartNameLooksInsideTheUnitItNamesFirst)
{
    DfxUnit *lab = dfx::NewProgram(program, "lab");
    DfxUnit *desk = dfx::NewProgram(program, "desk");
    MakeUniverse("universe", lab);
    MakeUniverse("universe", desk);
    ASSERT_NE(nullptr, MakeScene("scene", "desk:universe"));
    EXPECT_EQ(Object<DfxUniverse>("desk.universe"), Object<DfxScene>("scene")->GetUniverse());
    ASSERT_NE(nullptr, MakeScene("lost", "cellar:universe"));
    EXPECT_EQ(nullptr, Object<DfxScene>("lost")->GetUniverse());
}

// A unit named like a universe whose universe has another name is passed
// over with a warning.
TEST_F(Binding, ANamedUniverseUnitWithAnotherUniverseIsPassedOver)
{
    MakeUniverse("first");
    MakeUniverse("universe");
    dfx::Rename(At("first"), "universe");
    EXPECT_EQ(std::vector<std::string>{"universe with name 'universe' already exists\n"},
              diagnostics.Texts(DFX_ERROR));
    EXPECT_STREQ("first", Object<DfxUniverse>("#0")->Name());
    diagnostics.Clear();
    MakeScene("scene");
    EXPECT_EQ(Object<DfxUniverse>("#1"), Object<DfxScene>("scene")->GetUniverse());
    EXPECT_EQ(std::vector<std::string>{"DfxKelmarAdmin: named universe unit (universe) with invalid universe!\n"},
              diagnostics.Texts(DFX_WARNING));
}

// Renaming the universe unit renames the universe; the scenes waiting for
// the new name come in.
TEST_F(Binding, RenamingAUniverseTakesInTheScenesOfItsNewName)
{
    MakeUniverse("first");
    MakeScene("scene", "second");
    ASSERT_EQ(nullptr, Object<DfxScene>("scene")->GetUniverse());
    dfx::Rename(At("first"), "second");
    EXPECT_STREQ("second", Object<DfxUniverse>("second")->Name());
    EXPECT_EQ(Object<DfxUniverse>("second"), Object<DfxScene>("scene")->GetUniverse());
}

// Renamed, a universe lets go of the scenes of its old name at once; they
// wait for a universe of that name.
TEST_F(Binding, RenamingAUniverseLetsGoOfTheScenesOfItsOldName)
{
    MakeUniverse("first");
    MakeScene("scene", "first");
    dfx::Rename(At("first"), "second");
    EXPECT_EQ(nullptr, Object<DfxScene>("scene")->GetUniverse());
    MakeUniverse("first");
    EXPECT_EQ(Object<DfxUniverse>("first"), Object<DfxScene>("scene")->GetUniverse());
}

// A universe that goes lets its scenes look again, and the objects bound
// to them bind again in the universe they find; the unit going is passed
// over without a word.
TEST_F(Binding, ScenesOfARemovedUniverseMoveToAnotherOfItsName)
{
    DfxUnit *inner = dfx::NewProgram(program, "inner");
    MakeUniverse("universe");
    MakeUniverse("universe", inner);
    MakeScene("scene", "universe", inner);
    Make("solid|ref", "ball", {"scene", "ball"});
    ASSERT_EQ(Object<DfxUniverse>("inner.universe"), Object<DfxScene>("inner.scene")->GetUniverse());
    diagnostics.Clear();
    dfx::DeleteUnit(At("inner.universe"));
    auto *scene = Object<DfxScene>("inner.scene");
    EXPECT_EQ(Object<DfxUniverse>("universe"), scene->GetUniverse());
    EXPECT_EQ(scene->LookupSolid("ball"), Object<DfxSolidRef>("ball")->GetSolid());
    EXPECT_TRUE(diagnostics.Texts(DFX_WARNING).empty()) << diagnostics.Joined();
}

} // namespace
} // namespace hosttest
