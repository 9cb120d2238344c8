// Setting a constraint's whole attachment frame at once: the same records,
// to the last bit, as setting the axes and then each body's position.
#include <string.h>

#include <gtest/gtest.h>

#include "dynamics/test_step_support.h"

using namespace rbdtest;

TEST(RbdConstraintFrame, MatchesAxesThenPositionsBitForBitUnderRandomPoses)
{
    Rng rng(11);
    for (int trial = 0; trial < 20; ++trial) {
        World world(2, 2);
        RbdBodyID a = RbdBodyCreate(world), b = trial % 2 ? RbdBodyCreate(world) : nullptr;
        randomBodyTransform(rng, 1.0, a);
        randomBodyTransform(rng, 0.3, a, true);
        if (b) randomBodyTransform(rng, 1.0, b);
        RbdConstraintID once = RbdContactCreate(world), twice = RbdContactCreate(world);
        RbdConstraintSetBodies(once, a, b);
        RbdConstraintSetBodies(twice, a, b);
        PxVector3 position, primary, secondary;
        randomVector(rng, 2.0, position);
        randomUnitVector(rng, primary);
        randomVector(rng, 1.0, secondary);
        RbdConstraintSetFrame(once, position, primary, secondary);
        RbdConstraintSetAxes(twice, primary, secondary);
        for (int i = 0; i < 2; ++i) RbdConstraintBodySetPosition(twice, i, position);
        EXPECT_EQ(memcmp(once->attachment, twice->attachment, sizeof once->attachment), 0) << "trial " << trial;
    }
}

TEST(RbdConstraintFrame, RefusesAFrameThatIsNotFinite)
{
    Messages messages;
    World world(1, 1);
    RbdConstraintID c = RbdContactCreate(world);
    RbdConstraintSetBodies(c, RbdBodyCreate(world), nullptr);
    PxMatrix4 before[2];
    memcpy(before, c->attachment, sizeof before);
    const PxVector3 finite = {1.0, 0.0, 0.0}, bad = {0.0, NAN, 0.0};
    RbdConstraintSetFrame(c, bad, finite, finite);
    RbdConstraintSetFrame(c, finite, finite, bad);
    EXPECT_EQ(memcmp(before, c->attachment, sizeof before), 0);
    EXPECT_TRUE(messages.warned("RbdConstraintSetFrame: the vector (0, nan, 0) is not finite"));
}
