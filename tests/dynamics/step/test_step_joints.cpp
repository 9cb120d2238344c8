// Joints through whole world steps: a ball-joint pendulum's period and
// length, a hinge held at equal stops, and a body that stops being finite.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "world/RbdInternal.h"
#include "dynamics/RbdTestSupport.h"

using namespace steptest;

namespace {

const PxReal kPi = 3.14159265358979323846;

// A bob of mass 1 and radius r at (x, y, 0) on a hinge about z through the
// origin (or a ball joint there), gravity off.
struct HingedBob {
    HingedBob(PxReal x, PxReal y, PxReal r = 0.1, bool ballJoint = false) : world(2, 2)
    {
        bob = makeBall(world, 1.0, r, x, y, 0.0);
        hinge = makeJoint(ballJoint ? RbdBSJointCreate : RbdHingeCreate, world, bob, nullptr, 0.0, 0.0, 0.0);
        limit = ballJoint ? nullptr : RbdConstraintGetLimit(hinge);
    }
    World world;
    RbdBodyID bob;
    RbdConstraintID hinge;
    RbdLimit *limit;
};

TEST(StepJoints, ABallJointPendulumSwingsWithThePhysicalPendulumPeriodAndKeepsItsLength)
{
    const PxReal L = 1.0, theta0 = 0.1, h = 0.002;
    HingedBob p(L * sin(theta0), -L * cos(theta0), 0.05, true);
    RbdWorldSetGravity(p.world, 0.0, -kG, 0.0);
    // T = 2 pi sqrt(I_pivot / (m g L)) (1 + theta0^2 / 16), I_pivot = 0.4 m r^2 + m L^2.
    const PxReal pivotInertia = 0.4 * 0.05 * 0.05 + L * L;
    const PxReal period = 2.0 * kPi * sqrt(pivotInertia / (kG * L)) * (1.0 + theta0 * theta0 / 16.0);
    std::vector<PxReal> crossings;
    PxReal x = positionOf(p.bob, 0), worstLength = 0.0;
    for (int n = 1; n * h < 4.5 * period; ++n) {
        RbdWorldStep(p.world, h);
        PxReal next = positionOf(p.bob, 0);
        // Upward crossings of x = 0, interpolated within the step.
        if (x < 0.0 && next >= 0.0) crossings.push_back((n - 1 + x / (x - next)) * h);
        x = next;
        PxVector3 com;
        RbdBodyGetCenterOfMassPosition(p.bob, com);
        worstLength = fmax(worstLength, fabs(PxV3Length(com) - L));
    }
    ASSERT_GE(crossings.size(), 4u);
    const PxReal measured = (crossings.back() - crossings.front()) / (crossings.size() - 1);
    EXPECT_NEAR(measured, period, 0.01 * period);
    EXPECT_LT(worstLength, 1e-3 * L);
    EXPECT_NEAR(positionOf(p.bob, 2), 0.0, 1e-9) << "the swing stays in its plane";
}

} // namespace

// Equal stops lock the hinge at the stop: the arm settles there and stays,
// on its hinge, carrying gravity's torque, however gravity pulls (they once bounced it between them
// and tore it off at 48 m/s).
TEST(StepJoints, EqualStopsHoldAHingedArmAtTheStop)
{
    for (PxReal stop : {0.0, 0.5}) {
        SCOPED_TRACE(stop);
        HingedBob arm(1.0, 0.0);
        RbdWorldSetGravity(arm.world, 0.0, -kG, 0.0);
        rbdtest::setStops(arm.limit, stop, stop);
        PxReal fastest = 0.0, worstGap = 0.0;
        for (int n = 0; n < 300; ++n) {
            RbdWorldStep(arm.world, 0.01);
            PxVector3 com, v;
            RbdBodyGetCenterOfMassPosition(arm.bob, com);
            RbdBodyGetLinearVelocity(arm.bob, v);
            if (n >= 100) fastest = fmax(fastest, PxV3Length(v));
            worstGap = fmax(worstGap, fabs(PxV3Length(com) - 1.0));
        }
        EXPECT_NEAR(RbdLimitGetPosition(arm.limit), stop, 1e-3);
        EXPECT_NEAR(fabs(RbdHingeGetMotorTorque(arm.hinge)), kG * cos(stop), 1e-3) << "the stop carries m g d cos";
        EXPECT_LT(fastest, 1e-3) << "held still after the first second";
        EXPECT_LT(worstGap, 0.01) << "on its hinge, also while swinging to the stop";
    }
}

// A body whose state overflows is put back where it was, at rest, frozen
// and reported once by name and step; the others step on.
TEST(StepGuard, ABodyThatStopsBeingFiniteIsFrozenAtItsLastPoseAndReportedOnce)
{
    World world(2, 2);
    RbdBodyID lost = makeBall(world, 1.0, 0.1, 0.0, 1.0, 0.0), kept = makeBall(world, 1.0, 0.1, 5.0, 1.0, 0.0);
    RbdBodySetName(lost, "arm.link2");
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    Messages messages;
    RbdWorldStep(world, 0.01);
    RbdBodyAddForce(lost, 1e308, 1e308, 0.0);
    RbdBodyAddTorque(lost, 1e308, 0.0, 0.0);
    PxVector3 before;
    RbdBodyGetPosition(lost, before);
    for (int n = 0; n < 3; ++n) RbdWorldStep(world, 0.01);
    ASSERT_EQ(messages.warnings.size(), 1u);
    EXPECT_EQ(messages.warnings[0],
              "RbdWorldStep: step 2: the pose or velocity of body 'arm.link2' is not finite; the "
              "body is frozen at its last finite pose.\n");
    EXPECT_EQ(RbdWorldGetNonFiniteBodyCount(world), 1);
    EXPECT_TRUE(RbdBodyIsFrozen(lost));
    PxVector3 after, v;
    RbdBodyGetPosition(lost, after);
    RbdBodyGetLinearVelocity(lost, v);
    EXPECT_EQ(PxV3Distance(before, after), 0.0);
    EXPECT_EQ(PxV3Length(v), 0.0);
    EXPECT_NEAR(positionOf(kept, 1), 1.0 - 0.5 * kG * 0.04 * 0.04, 0.01) << "the other body fell on";
    EXPECT_EQ(RbdWorldGetStepCount(world), 4);
}
