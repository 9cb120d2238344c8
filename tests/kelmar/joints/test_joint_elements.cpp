// Joint elements of scene files: every message of a failed element, the
// default axis, spring lengths, the relative pose of RPRO joints, and what
// a status reload may change (DH frames on a reference joint are checked
// by the robot kinematics test against an independent product).

#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdSpring.h>

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

const char *kTwoCubes = R"(<WORLD><TIMESTEP>0.01</TIMESTEP></WORLD>
<GEOMETRIES><BOX cube><DIMS>4, 4, 4</DIMS></BOX></GEOMETRIES>
<SOLID a><GEOMETRY_ID>cube</GEOMETRY_ID><NOCOLLISION>1</NOCOLLISION></SOLID>
<SOLID b><GEOMETRY_ID>cube</GEOMETRY_ID><POS>10, 0, 0</POS><EULER>0.2, 0.5, -0.3</EULER>
    <NOCOLLISION>1</NOCOLLISION></SOLID>
<HINGE h0><SOLID_IDS>a, WORLD</SOLID_IDS></HINGE>
)";

TEST(JointElements, EveryFailureIsReportedAndLeavesNoJoint)
{
    const struct {
        const char *element, *name, *expected; // the joint that must not exist, and all that is said
    } rows[] = {
        {"<HINGE h0><SOLID_IDS>b, WORLD</SOLID_IDS></HINGE>", nullptr,
         "E:Joint with ID 'h0' already exists in scene.\nE:Hinge not created.\n"},
        {"<PRISMATIC p/>", "p", "E:Joint 'p' must have a <SOLID_IDS> element.\nE:Prismatic not created.\n"},
        {"<SPRING s><SOLID_IDS>a, ghost</SOLID_IDS></SPRING>", "s",
         "E:Joint 's' refers to not existing solid 'ghost'.\nE:Spring not created.\n"},
        {"<BSJOINT w><SOLID_IDS>WORLD, a</SOLID_IDS></BSJOINT>", "w",
         "E:Could not set bodies of joint 'w'.\nE:BSJoint not created.\n"},
        {"<HINGE d><SOLID_IDS>b, a</SOLID_IDS><DH>0, 0, 0, 0</DH></HINGE>", "d",
         "E:Joint 'd' uses DH parameters but provides no reference joint.\nE:Hinge not created.\n"},
        {"<HINGE d><SOLID_IDS>b, a</SOLID_IDS><RELTO>nope</RELTO><DH>0, 0, 0, 0</DH></HINGE>", "d",
         "E:Joint 'd' uses DH parameters but refers to not existing joint 'nope'.\nE:Hinge not created.\n"},
        {"<RPROJOINT r/>", "r", "E:Joint 'r' must have a <SOLID_IDS> element.\nE:RPROJoint not created.\n"},
        {"<LINEAR1 l><SOLID_IDS>ghost, a</SOLID_IDS></LINEAR1>", "l",
         "E:Joint 'l' refers to not existing solid 'ghost'.\nE:Linear1 not created.\n"},
        {"<LINEAR2 l><SOLID_IDS>WORLD, WORLD</SOLID_IDS></LINEAR2>", "l",
         "E:Could not set bodies of joint 'l'.\nE:Linear2 not created.\n"},
        {"<SPRING s><SOLID_IDS>a, b</SOLID_IDS><LENGTH>3</LENGTH></SPRING>", nullptr,
         "W:obsolete <LENGTH> tag for spring ignored, natural length defaults to inital length\n"},
        {"<RPROJOINT r><SOLID_IDS>b, WORLD</SOLID_IDS><RELTO>ghost</RELTO><REL_POS>1, 0, 0</REL_POS></RPROJOINT>",
         nullptr,
         "E:Parse error in file 'file pointer': Solid 'ghost' referenced from joint 'r' is not created yet, using "
         "world coordinates instead.\nW:Solid 'ghost' referenced from RPROjoint 'r' is not created yet, using world "
         "reference frame instead.\n"},
    };
    for (const auto &row : rows) {
        Rig rig(kTwoCubes);
        const int before = RbdWorldGetTotalConstraints(rig.universe.GetWorld());
        EXPECT_EQ(Joined(rig.Load(row.element)), row.expected) << row.element;
        if (row.name) {
            EXPECT_EQ(rig.joint(row.name), nullptr) << row.element;
            EXPECT_EQ(RbdWorldGetTotalConstraints(rig.universe.GetWorld()), before) << row.element;
        }
    }
}

TEST(JointElements, TheDefaultAxisAndASpringsNaturalLength)
{
    Rig rig(std::string(kTwoCubes) + R"(
        <HINGE turned><SOLID_IDS>b, a</SOLID_IDS><POS>5, 1, 2</POS><EULER>0.4, -0.3, 1.1</EULER></HINGE>
        <SPRING s><SOLID_IDS>a, b</SOLID_IDS><POS1>9.5, 0, 0</POS1><POS2>0, 0, 0</POS2>
            <LENGTH>7</LENGTH></SPRING>)");
    // Without AXIS a hinge turns about its transform's x axis.
    double rotation[3][3], axis[3];
    PxMatrix3FromEulerAngles(rotation, 0.4, -0.3, 1.1);
    rig.joint("turned")->GetAxis(axis);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(axis[k], rotation[0][k], 1e-12);
    // Ends at 9.5 cm and at b's centre: natural length 0.5 whatever LENGTH says.
    EXPECT_NEAR(RbdSpringGetNaturalLength(rig.joint("s")->GetConstraint()), 0.5, 1e-12);
}

TEST(JointElements, WithSceneOption2EveryJointStartsDisabled)
{
    Rig rig;
    rig.scene.options |= kelmar::Scene::kJointsDisabled;
    EXPECT_TRUE(rig.Load(std::string(kTwoCubes) + "<BSJOINT ball><SOLID_IDS>a, b</SOLID_IDS></BSJOINT>").empty());
    EXPECT_FALSE(RbdConstraintIsEnabled(rig.joint("h0")->GetConstraint()));
    EXPECT_FALSE(RbdConstraintIsEnabled(rig.joint("ball")->GetConstraint()));
}

// A status record of a live joint changes its drawing and its limit, and
// nothing of its bodies or placement.
TEST(JointElements, AStatusReloadChangesOnlyGraphicsAndLimit)
{
    Rig rig(kTwoCubes);
    kelmar::Joint *joint = rig.joint("h0");
    double before[4][4], after[4][4];
    joint->GetTM(0, before);
    FILE *file = std::tmpfile();
    std::fputs("<SCENE><JOINT h0><SOLID_IDS>b, WORLD</SOLID_IDS><POS>99, 0, 0</POS><AXIS>0, 1, 0</AXIS>"
               "<ENABLED>0</ENABLED><GRAPHICS>1</GRAPHICS><LIMIT><MAXSPEED>9</MAXSPEED></LIMIT></JOINT></SCENE>",
               file);
    std::rewind(file);
    EXPECT_EQ(rig.scene.loadStatus(file), PX_XML_OK);
    std::fclose(file);
    joint->GetTM(0, after);
    EXPECT_EQ(MaxDifference(after, before), 0);
    EXPECT_EQ(joint->GetSolid(0), rig.solid("a"));
    EXPECT_TRUE(RbdConstraintIsEnabled(joint->GetConstraint()));
    EXPECT_TRUE(joint->showGraphics);
    EXPECT_EQ(joint->GetLimit()->maxSpeed, 9);
}

// An RPRO joint holds b at its place in the frame of a frozen base f:
// REL_POS moves the target along f's axes, and turning f carries it along.
TEST(JointElements, RproJointTargetsFollowTheReferenceFrame)
{
    Rig rig(std::string(kTwoCubes) + R"(<SOLID f><GEOMETRY_ID>cube</GEOMETRY_ID><FROZEN>1</FROZEN>
        <NOCOLLISION>1</NOCOLLISION></SOLID>
        <RPROJOINT r><SOLID_IDS>b, f</SOLID_IDS><RELTO>f</RELTO><POS>10, 0, 0</POS><REL_POS>0, 3, 0</REL_POS>
        </RPROJOINT>)");
    ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
    auto *joint = dynamic_cast<kelmar::RPROJoint *>(rig.joint("r"));
    ASSERT_EQ(joint->GetReferenceFrame(), 1);
    double r[3], p[3];
    joint->GetRelativePosition(r);
    EXPECT_NEAR(r[1], 3, 1e-12);
    rig.Steps(100);
    rig.solid("b")->GetPosition(p);
    EXPECT_NEAR(p[0], 10, 1e-4);
    EXPECT_NEAR(p[1], 3, 1e-4);
    const double quarter[4][4] = {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}; // x turns to y
    rig.solid("f")->SetTM(quarter);
    joint->EnableBodies(); // b may have come to rest
    rig.Steps(300);
    rig.solid("b")->GetPosition(p);
    EXPECT_NEAR(p[0], -3, 1e-4);
    EXPECT_NEAR(p[1], 10, 1e-4);
}

} // namespace
