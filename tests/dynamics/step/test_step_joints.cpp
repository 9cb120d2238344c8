// Whole world steps: a hinge held at equal stops, and a body that stops
// being finite.
#include <gtest/gtest.h>

#include <math.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

// Equal stops lock the hinge at the stop: the arm settles there and stays,
// on its hinge, carrying gravity's torque, however gravity pulls (they once
// bounced it between them and tore it off at 48 m/s).
TEST(StepJoints, EqualStopsHoldAHingedArmAtTheStop)
{
    for (PxReal stop : {0.0, 0.5}) {
        SCOPED_TRACE(stop);
        // A bob of 1 kg at (1, 0, 0) on a hinge about z through the origin.
        World world(2, 2);
        RbdBodyID bob = makeBall(world, 1.0, 0.1, 1.0, 0.0, 0.0);
        RbdConstraintID hinge = makeJoint(RbdHingeCreate, world, bob, nullptr, 0.0, 0.0, 0.0);
        RbdLimit *limit = RbdConstraintGetLimit(hinge);
        RbdWorldSetGravity(world, 0.0, -kG, 0.0);
        rbdtest::setStops(limit, stop, stop);
        PxReal fastest = 0.0, worstGap = 0.0;
        for (int n = 0; n < 300; ++n) {
            RbdWorldStep(world, 0.01);
            PxVector3 com, v;
            RbdBodyGetCenterOfMassPosition(bob, com);
            RbdBodyGetLinearVelocity(bob, v);
            if (n >= 100) fastest = fmax(fastest, PxV3Length(v));
            worstGap = fmax(worstGap, fabs(PxV3Length(com) - 1.0));
        }
        EXPECT_NEAR(RbdLimitGetPosition(limit), stop, 1e-3);
        EXPECT_NEAR(fabs(RbdHingeGetMotorTorque(hinge)), kG * cos(stop), 1e-3) << "the stop carries m g d cos";
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
