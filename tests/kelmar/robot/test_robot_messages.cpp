// What ROBOT elements and robot operations say when their input is wrong,
// and what replacing a virtual basis refuses.

#include <cmath>

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

const char *kChain = R"(<GEOMETRIES><BOX link><DIMS>1, 1, 3</DIMS></BOX></GEOMETRIES>
<SOLID l1><GEOMETRY_ID>link</GEOMETRY_ID><NOCOLLISION>1</NOCOLLISION></SOLID>
<SOLID l2><GEOMETRY_ID>link</GEOMETRY_ID><POS>0, 0, -3</POS><NOCOLLISION>1</NOCOLLISION></SOLID>
<SOLID l3><GEOMETRY_ID>link</GEOMETRY_ID><POS>0, 0, -6</POS><NOCOLLISION>1</NOCOLLISION></SOLID>
<HINGE j1><SOLID_IDS>l1, WORLD</SOLID_IDS></HINGE>
<HINGE j2><SOLID_IDS>l2, l1</SOLID_IDS><POS>0, 0, -1.5</POS></HINGE>
<HINGE j3><SOLID_IDS>l3, l2</SOLID_IDS><POS>0, 0, -4.5</POS></HINGE>
<BSJOINT ball><SOLID_IDS>l3, l1</SOLID_IDS></BSJOINT>
<ROBOT arm><SOLID>l1</SOLID><JOINT>j1</JOINT></ROBOT>
)";

TEST(RobotMessages, EveryRobotElementMessageIsExact)
{
    struct Row {
        const char *element, *expected;
        const char *registered; // a robot the element must (not) leave behind
        bool present;
    };
    const Row rows[] = {
        {"<ROBOT ghost/>", "W:robot 'ghost' not yet defined, ignoring\n", "ghost", false},
        {"<ROBOT arm/>", "W:recursive robot definition ignored\n", nullptr, false},
        {"<ROBOT r><SOLID>nosuch</SOLID></ROBOT>",
         "W:referenced solid 'nosuch' not yet defined, ignoring\n"
         "E:endeffector must have valid solid, robot not created\n",
         "r", false},
        {"<ROBOT r><SOLID>l2</SOLID><JOINT>nojoint</JOINT></ROBOT>",
         "W:referenced joint 'nojoint' not yet defined, ignoring\n", "r", true},
        {"<ROBOT r><SOLID>l1</SOLID><REPLACE>1</REPLACE><ROBOT><SOLID>l2</SOLID></ROBOT>"
         "<ROBOT><SOLID>l3</SOLID></ROBOT></ROBOT>",
         "E:replacing virtual joint or solid is only supported if single subrobot is given\n", "r", false},
        {"<ROBOT r><ROBOT><SOLID>l2</SOLID><AUTO>0</AUTO></ROBOT></ROBOT>",
         "W:robot 'r' with no basis and a single sub robot occured, using the sub robot instead\n", "r", true},
        {"<ROBOT r><JOINT>j2</JOINT><REPLACE>1</REPLACE><ROBOT><SOLID>l2</SOLID><JOINT>j2</JOINT></ROBOT></ROBOT>",
         "W:Cannot replace virtual joint of robot. Real joint already exists.\n", "r", true},
        {"<ROBOT><SOLID>l1</SOLID></ROBOT>", "W:no ID for robot supplied, ignoring\n", nullptr, false},
        {"<ROBOT l1><SOLID>l1</SOLID></ROBOT>",
         "W:cannot insert robot 'l1' to scene, because an object with same name already exists, ignoring\n", nullptr,
         false},
    };
    for (const Row &row : rows) {
        Rig rig(kChain);
        EXPECT_EQ(Joined(rig.Load(row.element)), row.expected) << row.element;
        if (row.registered) {
            EXPECT_EQ(rig.robot(row.registered) != nullptr, row.present) << row.element;
        }
    }
}

// Each refusal leaves the node as it was; a fitting joint and solid fill it.
// A node of a joint and a solid not connected, and a frame index past the
// robot, are said on standard error; a joint vector with a target that is
// not finite moves no joint, and the joint says so through its scene.
TEST(RobotMessages, ReplacingAVirtualBasisRefusesWhatDoesNotFit)
{
    Rig rig(kChain);
    kelmar::Solid *l2 = rig.solid("l2"), *l3 = rig.solid("l3");
    kelmar::Joint *j1 = rig.joint("j1"), *j2 = rig.joint("j2"), *j3 = rig.joint("j3"), *ball = rig.joint("ball");
    struct Row {
        kelmar::Joint *nodeJoint;
        kelmar::Solid *nodeSolid;
        kelmar::Joint *joint;
        kelmar::Solid *solid;
        const char *refusal;
    };
    const Row rows[] = {
        {j2, l2, j3, nullptr, "Cannot replace virtual joint of robot. Real joint already exists."},
        {nullptr, l2, nullptr, l3, "Cannot replace virtual solid of robot. Real solid already exists."},
        {nullptr, nullptr, j2, nullptr, "Cannot replace virtual joint of robot. Only virtual solid available."},
        {nullptr, l2, j1, nullptr,
         "Cannot replace virtual joint and/or solid of robot. Joint not connected to solid."},
        {nullptr, l3, ball, nullptr, "Cannot replace virtual joint of robot. New joint is not hinge or prismatic."},
        {nullptr, nullptr, j3, l3, nullptr},
    };
    for (const Row &row : rows) {
        kelmar::Robot node(row.nodeJoint, row.nodeSolid, nullptr, 0);
        const int joints = node.numJoints, solids = node.numSolids;
        const char *said = node.ReplaceVirtualBasis(row.joint, row.solid);
        EXPECT_STREQ(said, row.refusal);
        EXPECT_EQ(node.numJoints, joints + (said ? 0 : 1));
        EXPECT_EQ(node.numSolids, solids + (said ? 0 : 1));
    }
    EXPECT_EQ(StandardError([&] { kelmar::Robot node(j3, rig.solid("l1"), nullptr, 0); }),
              "Robot::Robot: joint and solid not connected\n");
    double a[4][4], b[4][4];
    EXPECT_EQ(StandardError([&] { rig.robot("arm")->GetTMs(3, a, b); }),
              "Robot::GetTMs: index out of range 3 >= 3\n");
    const double targets[3] = {0.3, NAN, 0.3}, none[3] = {};
    double moved[3];
    rig.robot("arm")->SetJoints(targets, 1.0f);
    rig.Steps(10);
    rig.robot("arm")->GetJoints(moved);
    EXPECT_EQ(rig.scene.warnings, "j2: target nan is not finite; ignored\n");
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(moved[k], none[k], 1e-6) << k;
}

} // namespace
