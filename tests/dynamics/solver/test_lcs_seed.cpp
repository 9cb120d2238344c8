// The pivoting solve starts with some rows held where the last step left
// them. That start may shorten the solve but must not change its answer:
// the LCP of a positive definite island has one solution, whatever the
// start. Units: SI.
#include <gtest/gtest.h>

#include <kelmar/Rbd.h>

#include "dynamics/test_step_support.h"
#include "joints/RbdConstraintRecord.h"

namespace {

// A box pushed across the ground along x, where its friction slides at its
// bounds, and sideways along z, where it holds; a frictionless ceiling
// contact it never reaches pushes nothing. Before each step
// a wrong start can be forced on every contact: their last forces reversed,
// so the pushing contacts start held at zero and the friction at the
// opposite bound.
struct SlidingBox {
    steptest::World world{2, 8};
    RbdBodyID box = steptest::makeBox(world, 1.0, 0.4, 0.2, 0.4, 0, 0.1, 0);
    steptest::BoxOnGround ground{world, box, 0.4, 0.2, 0.4, steptest::boxFriction(1.5)};
    RbdContactID ceiling = steptest::makeGroundContact(world, box, steptest::resetParams());

    SlidingBox()
    {
        RbdWorldSetGravity(world, 0, -steptest::kG, 0);
        RbdWorldLCPSetTolerance(world, 1e-9);
        RbdContactSetNormal(ceiling, 0, -1, 0);
        RbdContactSetPenetration(ceiling, -0.01); // m: a gap
        for (int k = 0; k < 4; ++k) RbdContactSetDirection(ground.contact(k), 1, 0, 0);
    }
    void step(bool wrongStart)
    {
        ground.update();
        RbdBodyAddForce(box, 9.0, 0, 3.0); // N: more than the friction holds
        for (int k = 0; wrongStart && k < 4; ++k)
            PxV3Scale(ground.contact(k)->force[0], ground.contact(k)->force[0], -1.0);
        RbdWorldStep(world, 0.01);
    }
};

TEST(LcsSeed, AStartHeldFromTheLastStepChangesThePathNotTheAnswer)
{
    SlidingBox seeded, wrong;
    for (int k = 0; k < 50; ++k) {
        seeded.step(false);
        wrong.step(true);
    }
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(steptest::positionOf(seeded.box, axis), steptest::positionOf(wrong.box, axis), 1e-9) << axis;
        EXPECT_NEAR(steptest::velocityOf(seeded.box, axis), steptest::velocityOf(wrong.box, axis), 1e-9) << axis;
    }
    // m/s: (9 - 4 x 1.5) N on 1 kg for 0.5 s; the 3 N along z are held.
    EXPECT_NEAR(steptest::velocityOf(seeded.box, 0), 1.5, 1e-6);
    EXPECT_NEAR(steptest::velocityOf(seeded.box, 2), 0.0, 1e-6);
    EXPECT_NEAR(steptest::positionOf(seeded.box, 1), 0.1, 1e-6) << "on the ground, under the ceiling";
    EXPECT_EQ(RbdWorldGetFailedSolveCount(seeded.world), 0);
}

} // namespace
