// The sign of every limited joint's coordinate, with the moving solid as
// the joint's first body and as its second: turned or slid at a known
// joint rate through the dynamics, the position rises at that rate and the
// speed reads it; a positive motor speed makes the position rise; a
// kinematic setting to q reads back q from the dynamics' own measurement.

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

struct SignCase {
    std::string name;
    std::string joint; // the joint element, named j, between arm and base (or the world)
    bool angular;      // the rate turns the arm, else it slides it
    double dir[3];     // the joint axis, or the spring's direction from its end 1 to its end 0
    bool reversed;     // the arm is the joint's second body
};

void PrintTo(const SignCase &c, std::ostream *out)
{
    *out << c.name;
}

const char *kSolids = R"(<WORLD><TIMESTEP>0.01</TIMESTEP></WORLD>
<GEOMETRIES><BOX cube><DIMS>4, 4, 4</DIMS></BOX></GEOMETRIES>
<SOLID base><GEOMETRY_ID>cube</GEOMETRY_ID><FROZEN>1</FROZEN><NOCOLLISION>1</NOCOLLISION></SOLID>
<SOLID arm><GEOMETRY_ID>cube</GEOMETRY_ID><POS>10, 0, 0</POS><NOCOLLISION>1</NOCOLLISION></SOLID>
)";

// kind: HINGE, PRISMATIC or SPRING (of natural length 10, neither stiff nor damped).
SignCase Case(const std::string &kind, bool reversed)
{
    const bool spring = kind == "SPRING";
    const std::string tags =
        spring ? "<POS1>0, 0, 0</POS1><POS2>0, 0, 0</POS2><STIFFNESS>0</STIFFNESS><DAMPING>0</DAMPING>"
               : "<POS>10, 0, 0</POS><AXIS>1, 2, 2</AXIS>";
    SignCase c = {kind + (reversed ? "ArmSecond" : "ArmFirst"),
                  "<" + kind + " j><SOLID_IDS>" + (reversed ? "base, arm" : "arm, WORLD") + "</SOLID_IDS>" + tags +
                      "</" + kind + ">",
                  kind == "HINGE",
                  {1.0 / 3, 2.0 / 3, 2.0 / 3},
                  reversed};
    if (spring) c.dir[0] = reversed ? -1 : 1, c.dir[1] = c.dir[2] = 0;
    return c;
}

// Hinges and prismatic joints first: they are the robot joints.
const SignCase kCases[] = {Case("HINGE", false),    Case("HINGE", true),   Case("PRISMATIC", false),
                           Case("PRISMATIC", true), Case("SPRING", false), Case("SPRING", true)};

class JointSign : public testing::TestWithParam<SignCase> {
protected:
    JointSign() : rig(std::string(kSolids) + GetParam().joint) {}

    // Moves the arm so that the joint's coordinate changes at rate.
    void ImposeRate(double rate)
    {
        const SignCase &c = GetParam();
        double v[3];
        PxV3Scale(v, c.dir, c.reversed ? -rate : rate);
        RbdBodyID arm = rig.solid("arm")->GetBody();
        if (c.angular)
            RbdBodySetAngularVelocity(arm, v[0], v[1], v[2]);
        else
            RbdBodySetLinearVelocity(arm, v[0], v[1], v[2]);
    }

    Rig rig;
};

TEST_P(JointSign, PositionRisesAtTheImposedRateAndSpeedReadsIt)
{
    ASSERT_TRUE(rig.messages.empty()) << rig.messages[0];
    kelmar::Limit *limit = rig.limit("j");
    ASSERT_NE(limit, nullptr);
    const double rate = 0.7, dt = rig.universe.timeStep;
    ImposeRate(rate);
    rig.Steps(1);
    double before = limit->GetPosition();
    for (int k = 0; k < 20; ++k) {
        rig.Steps(1);
        const double now = limit->GetPosition();
        EXPECT_NEAR(now - before, rate * dt, 1e-9) << "step " << k;
        EXPECT_NEAR(limit->GetSpeed(), rate, 1e-9) << "step " << k;
        before = now;
    }
}

TEST_P(JointSign, PositiveMotorSpeedMakesThePositionRise)
{
    kelmar::Limit *limit = rig.limit("j");
    const double start = limit->GetPosition();
    for (int k = 0; k < 20; ++k) {
        limit->SetSpeed(0.5);
        rig.Steps(1);
    }
    EXPECT_NEAR(limit->GetSpeed(), 0.5, 1e-6);
    EXPECT_GT(limit->GetPosition() - start, 0.5 * 0.15);
}

// Robot joints (springs are none), placed by the robot layer and measured
// by the dynamics at the next step.
class RobotJointSign : public JointSign {};

TEST_P(RobotJointSign, KinematicSettingReadsBackTheValue)
{
    kelmar::Robot node(rig.joint("j"), rig.solid("arm"), nullptr, 0);
    ASSERT_EQ(node.jointReversed, GetParam().reversed);
    for (double q : {0.6, -1.3, 2.9, 0.0}) {
        node._SetJointKinematically(q, true);
        rig.Steps(1);
        EXPECT_NEAR(node.limit->GetPosition(), q, 1e-9) << "q " << q;
    }
}

std::string CaseName(const testing::TestParamInfo<SignCase> &info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(EveryLimitedJoint, JointSign, testing::ValuesIn(kCases), CaseName);
INSTANTIATE_TEST_SUITE_P(HingesAndPrismatics, RobotJointSign, testing::ValuesIn(kCases, kCases + 4), CaseName);

} // namespace
