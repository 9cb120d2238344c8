// The grasp demo in-process: the phases of examples/grasp_ball.phases drive
// the arm of grasp_ball.px while the ball-wrap controller closes the hand;
// the ball must end up in the air, touched by the fingers alone, two
// fingertips at least. Also the phase files' parser, line by line.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include <kelmar/ContactList.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/kelmar.h>

#include "RunGrasp.h"
#include "RunImages.h"
#include "RunPhases.h"

namespace {

std::string Example(const std::string &name)
{
    return std::string(KELMAR_EXAMPLES_DIR) + "/" + name;
}

// The demo's scene, read as kelmar-run reads it: with its camera.
std::string DemoScene()
{
    krun::installGraphics();
    return Example("grasp_ball.px");
}

// The solids touching the ball, by name.
std::set<std::string> Touching(const kelmar::Solid *ball)
{
    kelmar::ContactList *list = ball->GetContacts(0);
    std::set<std::string> names;
    for (const auto &e : list->entries) {
        RbdBodyID other = RbdConstraintGetBody(e.contact, 1 - e.bodyIndex);
        const auto *solid = other ? static_cast<const kelmar::Solid *>(RbdBodyGetUserData(other)) : nullptr;
        names.insert(solid ? solid->GetName() : "(no solid)");
    }
    delete list;
    return names;
}

// The demo's scene, in a universe.
struct GraspDemo : testing::Test {
    GraspDemo() { universe.AddScene(&scene); }
    ~GraspDemo() override { universe.DelScene(&scene); }
    kelmar::Universe universe{1000, 1000, 1000, 20000};
    kelmar::Scene scene{DemoScene().c_str()};
};

TEST_F(GraspDemo, TheArmLiftsTheBallHeldByTheFingers)
{
    ASSERT_EQ(scene.GetLoadErrorCount(), 0);
    std::vector<krun::Phase> phases;
    ASSERT_EQ(krun::readPhases(Example("grasp_ball.phases"), phases), "");
    std::string problem;
    const krun::Schedule schedule(scene, phases, universe.timeStep, problem);
    krun::Options options;
    options.grasp = "ballwrap";
    krun::GraspRun grasp(scene, options, problem);
    ASSERT_EQ(problem, "");

    const kelmar::Solid *ball = scene.LookupSolid("objects.ball", false);
    double start[3], end[3];
    ball->GetPosition(start);
    for (int step = 0; step < schedule.steps(); ++step) {
        schedule.drive(step);
        if (schedule.grasping(step)) grasp.before();
        universe.step();
        if (schedule.grasping(step)) grasp.after(step, universe.time);
    }
    ball->GetPosition(end);
    EXPECT_GT(end[2] - start[2], 5.0); // cm: well off the table
    int tips = 0;
    for (const std::string &name : Touching(ball)) {
        EXPECT_EQ(name.rfind("arm.hand.finger", 0), 0u) << name << " touches the ball";
        tips += name.size() > 7 && name.compare(name.size() - 7, 7, "_distal") == 0 ? 1 : 0;
    }
    EXPECT_GE(tips, 2);

    // The verdict the demo prints agrees with the poses and contacts.
    const krun::GraspVerdict v = grasp.verdict();
    EXPECT_TRUE(v.closed);
    EXPECT_TRUE(v.held);
    EXPECT_NEAR(v.lift, end[2] - start[2], 1e-9);
    EXPECT_EQ(v.fingers, 3);
    EXPECT_EQ(v.tips, tips);
    EXPECT_LT(v.slip, 15.0); // mm in the palm since the hand closed
    EXPECT_EQ(krun::verdictLine(v).rfind("ball held: ", 0), 0u) << krun::verdictLine(v);
}

// A joint named in a phase but missing from the scene is refused with the
// phase's name; phases are laid on whole steps (rounded, at least one).
TEST_F(GraspDemo, SchedulesBindTheirJointsAndLayPhasesOnSteps)
{
    std::vector<krun::Phase> phases;
    ASSERT_EQ(krun::parsePhases("reach 1 open arm.shoulder=0.1\nbend 1 open arm.knee=1\n", phases), "");
    std::string problem;
    krun::Schedule bad(scene, phases, universe.timeStep, problem);
    EXPECT_EQ(problem, "phase bend: no joint 'arm.knee' with a position in the scene");

    ASSERT_EQ(krun::parsePhases("a 0.5 open\nb 0.2525 grasp # 50.5 steps\nc 1e-9 grasp\n", phases), "");
    problem.clear();
    const krun::Schedule schedule(scene, phases, 0.005, problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(schedule.steps(), 100 + 51 + 1);
    const int expected[][2] = {{0, 0}, {99, 0}, {100, 1}, {150, 1}, {151, 2}, {152, 2}, {1000, 2}};
    for (const auto &e : expected) EXPECT_EQ(schedule.phaseAt(e[0]), e[1]) << "step " << e[0];
    EXPECT_FALSE(schedule.grasping(99));
    EXPECT_TRUE(schedule.grasping(100));
}

TEST(PhaseFiles, EveryMistakeIsNamedWithItsLine)
{
    struct Case {
        const char *text, *problem;
    } cases[] = {
        {"", "no phase"},
        {"# only a comment\n\n", "no phase"},
        {"reach\n", "line 1: a phase needs a name, its seconds and open or grasp"},
        {"\nreach 1\n", "line 2: a phase needs a name, its seconds and open or grasp"},
        {"reach soon open\n", "line 1: 'soon' is no time > 0 (s)"},
        {"reach 0 open\n", "line 1: '0' is no time > 0 (s)"},
        {"reach -1 open\n", "line 1: '-1' is no time > 0 (s)"},
        {"reach inf open\n", "line 1: 'inf' is no time > 0 (s)"},
        {"reach 1 shut\n", "line 1: 'shut': the hand is open or grasp"},
        {"reach 1 open a=1 b\n", "line 1: 'b' is no JOINT=VALUE"},
        {"reach 1 open =1\n", "line 1: '=1' is no JOINT=VALUE"},
        {"reach 1 open a=\n", "line 1: 'a=' is no JOINT=VALUE"},
        {"reach 1 open a=1x\n", "line 1: 'a=1x' is no JOINT=VALUE"},
    };
    for (const Case &c : cases) {
        std::vector<krun::Phase> phases;
        EXPECT_EQ(krun::parsePhases(c.text, phases), c.problem) << c.text;
    }
}

} // namespace
