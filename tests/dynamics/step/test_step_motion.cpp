// Whole world steps of free and touching bodies: free fall by the
// integrator's rule, one-step forces and impulses, damping, and friction
// and slide as one table; a hinge held at equal stops, and a body that
// stops being finite.
#include <gtest/gtest.h>

#include <math.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

// Free fall by the integrator's rule beside a body never enabled, then a
// force and an impulse that each act for one step only, and damping.
TEST(StepMotion, AFallingBodyFollowsTheIntegratorsRuleAndForcesImpulsesAndDampingAct)
{
    World world;
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdBodyID falling = makeBall(world, 2.0, 0.1, 1.0, 5.0, -1.0);
    RbdBodyID idle = RbdBodyCreate(world);
    RbdBodySetPosition(idle, 3.0, 4.0, 5.0);
    for (int n = 1; n <= 100; ++n) {
        RbdWorldStep(world, 0.01);
        // v_n = -g h n; x_n = sum of h v_k + h^2 g / 2 = -g h^2 n (n + 2) / 2
        EXPECT_NEAR(velocityOf(falling, 1), -kG * 0.01 * n, 1e-12 * n);
        EXPECT_NEAR(positionOf(falling, 1), 5.0 - kG * 1e-4 * n * (n + 2) / 2.0, 1e-12 * n);
    }
    EXPECT_EQ(positionOf(falling, 0), 1.0);
    EXPECT_EQ(positionOf(falling, 2), -1.0);
    EXPECT_EQ(positionOf(idle, 1), 4.0);
    EXPECT_EQ(velocityOf(idle, 1), 0.0);
    EXPECT_FALSE(RbdBodyIsEnabled(idle));
    EXPECT_EQ(RbdBodyGetEnabledTime(falling), 100) << "one count per step taken";

    RbdWorldSetGravity(world, 0.0, 0.0, 0.0);
    const PxReal h = 0.02, m = 4.0, r = 0.5;
    RbdBodyID body = makeBall(world, m, r, 0.0, 0.0, 0.0);
    RbdBodyAddForce(body, 8.0, 0.0, 0.0);
    RbdWorldStep(world, h);
    EXPECT_NEAR(velocityOf(body, 0), 8.0 / m * h, 1e-15);
    PxVector3 f;
    RbdBodyGetForce(body, f);
    EXPECT_EQ(PxV3Length(f), 0.0) << "forces are zeroed after the step";
    RbdWorldStep(world, h);
    EXPECT_NEAR(velocityOf(body, 0), 8.0 / m * h, 1e-15);

    // An impulse J at a point off the centre: dv = J / m, dw = I^-1 (r x J).
    const PxVector3 impulse = {0.0, 0.0, 3.0}, point = {0.0, 0.2, 0.0};
    RbdBodySetLinearVelocity(body, 0.0, 0.0, 0.0);
    RbdBodyAddImpulseAtPosition(body, impulse, point);
    RbdWorldStep(world, h);
    PxVector3 w;
    RbdBodyGetAngularVelocity(body, w);
    const PxReal inertia = 0.4 * m * r * r;
    EXPECT_NEAR(velocityOf(body, 2), 3.0 / m, 1e-14);
    EXPECT_NEAR(w[0], 0.2 * 3.0 / inertia, 1e-14);
    RbdWorldStep(world, h);
    RbdWorldStep(world, h);
    RbdBodyGetAngularVelocity(body, w);
    EXPECT_NEAR(velocityOf(body, 2), 3.0 / m, 1e-14);
    EXPECT_NEAR(w[0], 0.2 * 3.0 / inertia, 1e-14);
    // Damping adds the force -d v and the torque -d w for the step.
    RbdBodySetLinearVelocityDamping(body, 0.5);
    RbdBodySetAngularVelocityDamping(body, 0.25);
    RbdWorldStep(world, h);
    RbdBodyGetAngularVelocity(body, w);
    EXPECT_NEAR(velocityOf(body, 2), 3.0 / m * (1.0 - 0.5 * h / m), 1e-14);
    EXPECT_NEAR(w[0], 0.2 * 3.0 / inertia * (1.0 - 0.25 * h / inertia), 1e-14);
}

// A block sliding on four ground contacts ends with the speed and at the
// place kinematics gives, upright and on the ground: proportional friction
// stops it after v^2 / (2 mu g) (0.4077 m) and exerts nothing without a
// normal force; box friction decelerates by its bound (four contacts of
// 0.5 N on 1 kg; x by the integrator's rule, as in free fall); a slide
// (along +x, the secondary direction of the normal +y) carries it like a
// conveyor.
TEST(StepMotion, FrictionAndSlideMoveASlidingBlockAsKinematicsSays)
{
    struct Case {
        const char *name;
        RbdContactParams params;
        PxReal gravity, vx, vz, h;
        int steps;
        PxReal vxEnd, vzEnd, tolerance, xEnd, xTolerance;
    };
    const PxReal mu = 0.5, v0 = 2.0;
    RbdContactParams slide = proportionalFriction(mu);
    RbdContactParamsSetSecondarySlide(&slide, 0.7);
    const Case cases[] = {
        {"proportional", proportionalFriction(mu), kG, v0, 0.0, 0.001, 600, 0.0, 0.0, 1e-6, v0 * v0 / (2 * mu * kG),
         4e-3},
        {"weightless", proportionalFriction(1.0), 0.0, 1.0, 0.5, 0.01, 1, 1.0, 0.5, 0.0, 0.01, 1e-15},
        {"box", boxFriction(0.5), kG, 3.0, 0.0, 0.01, 10, 3.0 - 2.0 * 0.1, 0.0, 1e-9,
         0.01 * (30.0 - 0.02 * 55) - 10 * 0.01 * 0.01, 1e-9},
        {"slide", slide, kG, 0.0, 0.0, 0.01, 60, 0.7, 0.0, 1e-6, NAN, 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PxReal size = 0.4;
        World world(2, 8);
        RbdBodyID box = makeBox(world, 1.0, size, size, size, 0.0, 0.5 * size, 0.0);
        BoxOnGround ground(world, box, size, size, size, c.params);
        RbdWorldSetGravity(world, 0.0, -c.gravity, 0.0);
        RbdBodySetLinearVelocity(box, c.vx, 0.0, c.vz);
        for (int n = 0; n < c.steps; ++n) {
            ground.update();
            RbdWorldStep(world, c.h);
            if (n == 0 && RbdContactParamsGetSecondarySlide(&c.params) > 0.0) {
                EXPECT_NEAR(velocityOf(box, 0), mu * kG * c.h, 1e-6) << "accelerated by sliding friction first";
            }
        }
        EXPECT_NEAR(velocityOf(box, 0), c.vxEnd, c.tolerance);
        EXPECT_NEAR(velocityOf(box, 2), c.vzEnd, c.tolerance);
        if (!isnan(c.xEnd)) {
            EXPECT_NEAR(positionOf(box, 0), c.xEnd, c.xTolerance);
        }
        EXPECT_NEAR(positionOf(box, 1), 0.5 * size, 1e-4) << "without tipping or sinking";
    }
}

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

} // namespace
