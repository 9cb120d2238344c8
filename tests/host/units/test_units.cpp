// The small computing units and the methods of the universe, solid,
// joint and robot units, against what they stand for.
#include <cmath>
#include <cstdio>
#include <random>
#include <set>

#include <kelmar/PxVector.h>
#include <kelmar/RbdContact.h>
#include <kelmar/RbdWorld.h>

#include "HostTestSupport.h"

namespace hosttest {
namespace {

using kelmar::DfxScene;
using kelmar::DfxUniverse;

class Units : public HostTest {
public:
    // After 40 steps, a ContactIt hands each contact of the solid named on to
    // a recorder.
    void RecordContactsOf(const std::string &solid)
    {
        Make("solid|ref", "solid", {"scene", solid});
        Make("ContactIt", "it");
        Make("recorder", "record");
        ASSERT_TRUE(dfx::Connect(At("solid.GetContacts"), 0, At("it"), 0));
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(dfx::Connect(At("it"), i, At("record"), i));
        dfx::SetSuccessor(At("it"), At("record"));
        Run("universe.step", 40);
        Run("solid.GetContacts");
        Run("it");
    }
};

// Random rigid transforms: a point taken to the world and back returns,
// to float precision (1e-6 of the largest length involved).
TEST_F(Units, WorldToLocalUndoesLocalToWorld)
{
    Make("local_to_world", "out");
    Make("world_to_local", "back");
    std::mt19937 random(25);
    std::uniform_real_distribution<double> unit(-1, 1), far(-100, 100);
    for (int trial = 0; trial < 50; ++trial) {
        double q[4] = {unit(random), unit(random), unit(random), unit(random)}, p[3], tm[4][4];
        const double position[3] = {far(random), far(random), far(random)};
        kelmar::NormalizeQuaternion(q);
        kelmar::TMFromQuaternion(tm, q, position);
        for (double &c : p) c = far(random);
        std::vector<double> rows(&tm[0][0], &tm[0][0] + 16);
        Feed("out", "tm", rows);
        Feed("out", "point", {p[0], p[1], p[2]});
        Feed("back", "tm", rows);
        ASSERT_TRUE(dfx::Connect(At("out"), 0, At("back"), 1));
        Run("out");
        Run("back");
        const std::vector<float> world = Out("out"), local = Out("back");
        double expected[3];
        kelmar::ConvertPosition(tm, p, expected);
        const double scale = 1 + PxV3Length(p) + PxV3Length(position);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(expected[i], world[i], 1e-6 * scale);
            EXPECT_NEAR(p[i], local[i], 1e-6 * scale);
        }
    }
}

TEST_F(Units, ConversionsCheckTheirArrays)
{
    Make("local_to_world", "out");
    Feed("out", "tm", std::vector<double>(12, 0.0));
    Feed("out", "point", {1, 2, 3});
    ExpectRaise("out", "badarg:array:dim", "local_to_world:exec: dim of array arg #0 must be 16\n");
    Make("world_to_local", "back");
    Feed("back", "tm", std::vector<double>(16, 0.0));
    Feed("back", "point", {1, 2});
    ExpectRaise("back", "badarg:array:dim", "world_to_local:exec: dim of array arg #1 must be 3\n");
}

// The lower block rests on the floor and carries the upper one: the
// iterator hands on every contact of its list once, with both names.
TEST_F(Units, ContactItVisitsEveryContactOnce)
{
    Blocks();
    RecordContactsOf("block_a");
    kelmar::Solid *block = Object<DfxScene>("scene")->LookupSolid("block_a");
    std::unique_ptr<kelmar::ContactList> list(block->GetContacts(0));
    ASSERT_GE(list->count, 8) << "four corners on the floor, four under the upper block";
    ASSERT_EQ(static_cast<size_t>(list->count), recorded.size());
    std::set<std::string> pairs;
    for (const kelmar::ContactList::Entry &entry : list->entries) {
        double p[3];
        RbdContactGetPosition(entry.contact, p);
        int matches = 0;
        for (const Recorded &r : recorded)
            matches += r.position[0] == p[0] && r.position[1] == p[1] && r.position[2] == p[2];
        EXPECT_EQ(1, matches);
    }
    for (const Recorded &r : recorded) {
        pairs.insert(r.solid1 + "+" + r.solid2);
        EXPECT_EQ("contact between\n " + r.solid1 + "\n " + r.solid2 + "\n", r.description);
    }
    EXPECT_EQ((std::set<std::string>{"block_a+floor", "block_b+block_a"}), pairs);
}

// A solid without a body (made by code: the file's floor has a frozen
// one) is the static environment: "WORLD" on the outputs, no name in the
// contact's description.
TEST_F(Units, ContactItNamesTheStaticEnvironmentWorld)
{
    Blocks();
    const double below[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {30, 0, 5, 1}};
    kelmar::SolidSpec ledge;
    ledge.name = "ledge";
    ledge.fixed = true;
    ledge.pose = below;
    ASSERT_NE(nullptr, kelmar::AddBox(Object<DfxScene>("scene"), 10, 10, 2, ledge));
    RecordContactsOf("ball");
    ASSERT_FALSE(recorded.empty());
    for (const Recorded &r : recorded) {
        EXPECT_EQ((std::set<std::string>{"ball", "WORLD"}), (std::set<std::string>{r.solid1, r.solid2}));
        const std::string first = r.solid1 == "WORLD" ? "" : r.solid1, second = r.solid2 == "WORLD" ? "" : r.solid2;
        EXPECT_EQ("contact between\n " + first + "\n " + second + "\n", r.description);
    }
}

TEST_F(Units, ContactItWarnsWithoutASuccessorAndRefusesAnOldList)
{
    Blocks();
    Make("solid|ref", "block", {"scene", "block_a"});
    Make("ContactIt", "it");
    ASSERT_TRUE(dfx::Connect(At("block.GetContacts"), 0, At("it"), 0));
    Run("universe.step", 5);
    Run("block.GetContacts");
    diagnostics.Clear();
    Run("it");
    EXPECT_EQ(std::vector<std::string>{"test/it: no successor to iterate!\n"}, diagnostics.Texts(DFX_WARNING));
    Run("universe.step");
    ExpectRaise("it", "badobj:contact", "contact is invalid\n");
}

// Unconnected, the seven checkboxes of the dialog give the options, in
// the order of the universe's bits 1, 2, 16, 32, 64, 4, 8.
TEST_F(Units, SetOptionsTakesItsDialogOrItsInput)
{
    Blocks();
    auto *universe = Object<DfxUniverse>("universe");
    const unsigned int bits[7] = {1, 2, 16, 32, 64, 4, 8};
    for (int box = 0; box < 7; ++box) {
        std::vector<std::string> values(7, "0");
        values[static_cast<size_t>(box)] = "1";
        ASSERT_TRUE(dfx::SetDialog(At("universe.Set:Options"), values));
        Run("universe.Set:Options");
        EXPECT_EQ(bits[box], universe->GetOptions()) << "checkbox " << box;
    }
    ASSERT_TRUE(dfx::SetDialog(At("universe.Set:Options"), {}));
    Run("universe.Set:Options");
    EXPECT_EQ(7u, universe->GetOptions()) << "the dialog's defaults";
    Feed("universe.Set:Options", "value", {64});
    Run("universe.Set:Options");
    EXPECT_EQ(64u, universe->GetOptions());
}

TEST_F(Units, SetGravityChecksItsArrayAndLeavesGravityOnError)
{
    Blocks();
    Feed("universe.Set:Gravity", "value", {1, 2});
    ExpectRaise("universe.Set:Gravity", "badarg:array:dim", "universe:Set:Gravity: dim of array arg #0 must be 3\n");
    Run("universe.Get:Gravity");
    EXPECT_EQ((std::vector<float>{0, 0, -981}), Out("universe.Get:Gravity"));
    dfx::DeleteUnit(At("#2"));
    Run("universe.Set:Gravity");
    Run("universe.Get:Gravity");
    EXPECT_EQ((std::vector<float>{0, 0, -1}), Out("universe.Get:Gravity")) << "the dialog's default";
}

TEST_F(Units, TheMarkedSolidComesAsANewReference)
{
    Blocks();
    Run("universe.Get:Marked");
    EXPECT_EQ("", dfx::OutputText(At("universe.Get:Marked"), 0));
    auto *scene = Object<DfxScene>("scene");
    Object<DfxUniverse>("universe")->SetMarkedSolid(scene->LookupSolid("ball"));
    Run("universe.Get:Marked");
    auto *ref = static_cast<kelmar::DfxSolid *>(dfx::OutputObject(At("universe.Get:Marked"), 0));
    ASSERT_NE(nullptr, ref);
    EXPECT_EQ(scene->LookupSolid("ball"), ref->GetSolid());
    EXPECT_EQ("solid 'ball' in scene 'scene' (resolved)\n", dfx::OutputText(At("universe.Get:Marked"), 0));
}

// A robot is driven through its joints' limits: after a second of steps
// it stands at the values it was given.
TEST_F(Units, RobotsTakeOneValuePerJoint)
{
    Blocks();
    Make("robot|ref", "arm", {"scene", "arm"});
    Feed("arm.SetJoints", "values", {0.3});
    ExpectRaise("arm.SetJoints", "badarg:array:dim", "robot|ref:SetJoints: dim of array arg #0 must be 2\n");
    dfx::DeleteUnit(At("#3"));
    Feed("arm.SetJoints", "values", {0.3, -0.2});
    for (int i = 0; i < 100; ++i) {
        Run("arm.SetJoints");
        Run("universe.step");
    }
    Run("arm.GetJoints");
    const std::vector<float> joints = Out("arm.GetJoints");
    ASSERT_EQ(2u, joints.size());
    EXPECT_NEAR(0.3, joints[0], 0.01);
    EXPECT_NEAR(-0.2, joints[1], 0.01);
}

TEST_F(Units, AJointOfAnotherKindStaysUnbound)
{
    Blocks();
    Make("joint|ref", "shoulder", {"scene", "shoulder", "hinge"});
    EXPECT_TRUE(Object<kelmar::DfxJoint>("shoulder")->IsBound());
    diagnostics.Clear();
    Make("joint|ref", "slide", {"scene", "shoulder", "prismatic"});
    EXPECT_FALSE(Object<kelmar::DfxJoint>("slide")->IsBound());
    EXPECT_EQ(std::vector<std::string>{"joint 'shoulder' is not a prismatic\n"}, diagnostics.Texts(DFX_WARNING));
    ExpectRaise("slide.Get", "badobj:joint", "joint 'shoulder' not yet resolved in scene 'scene'\n");
}

// Until its scene comes, a solid's methods raise; afterwards the same
// unit works.
TEST_F(Units, AnUnresolvedSolidRaisesUntilItsSceneComes)
{
    Make("solid|ref", "ball", {"scene", "ball"});
    ExpectRaise("ball.GetPosition", "badobj:solid", "solid 'ball' not yet resolved in scene 'scene'\n");
    Blocks();
    Run("ball.GetPosition");
    EXPECT_EQ((std::vector<float>{30, 0, 10}), Out("ball.GetPosition"));
}

// A box of the host: made in its scene in the material's colour, keeping
// its pose when its scene is renamed back and forth, gone with its unit.
TEST_F(Units, ABoxLivesInItsSceneWhileItsUnitDoes)
{
    Make("box", "crate", {"scene", "4", "6", "8", "rubber", "1"});
    Blocks();
    auto *scene = Object<DfxScene>("scene");
    kelmar::Solid *crate = scene->LookupSolid("crate");
    ASSERT_NE(nullptr, crate);
    float color[4], rubber[4];
    crate->GetGraphics()->GetColor(color);
    Object<DfxUniverse>("universe")->GetMaterialColor(4, rubber);
    EXPECT_EQ(std::vector<float>(rubber, rubber + 4), std::vector<float>(color, color + 4));
    EXPECT_EQ(4, crate->GetMaterial());
    const double moved[4][4] = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {5, 6, 7, 1}};
    crate->SetTM(moved);
    dfx::Rename(At("scene"), "elsewhere");
    EXPECT_EQ(nullptr, Object<DfxScene>("elsewhere")->LookupSolid("crate"));
    dfx::Rename(At("elsewhere"), "scene");
    crate = scene->LookupSolid("crate");
    ASSERT_NE(nullptr, crate);
    EXPECT_EQ(std::vector<double>(&moved[0][0], &moved[0][0] + 16),
              std::vector<double>(&crate->GetTM()[0][0], &crate->GetTM()[0][0] + 16));
    dfx::DeleteUnit(At("crate"));
    EXPECT_EQ(nullptr, scene->LookupSolid("crate"));
}

// A box too heavy for the toolkit: its refusal reaches the host's
// diagnostics whole, once, although its level hides it on standard error.
TEST_F(Units, TheToolkitsWarningsReachTheHost)
{
    Blocks();
    Make("box", "giant", {"scene", "1e4", "1e4", "1e4", "metal", "1"});
    const std::vector<std::string> warnings = diagnostics.Texts(DFX_WARNING);
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ("PxWarning{12}: RbdBodySetMass: mass 7.8e+09 is outside 1e-06 .. 1e+06 kg; ignored.\n", warnings[0]);
}

// The host's draw asks for both passes, the opaque one first, each with
// the universe's drawing options (graphics and textures by default).
TEST_F(Units, DrawPaintsTheOpaquePassThenTheTranslucentOne)
{
    Blocks();
    RecordingBackend recorder;
    Run("universe.draw");
    ASSERT_EQ(2u, recorder.passes.size());
    EXPECT_EQ(0x01u | 0x02u | 0x04u, recorder.passes[0].first);
    EXPECT_EQ(0x01u | 0x02u | 0x08u, recorder.passes[1].first);
    EXPECT_EQ(6, recorder.passes[0].second + recorder.passes[1].second) << "the six solids of the file, once each";
}

} // namespace
} // namespace hosttest
