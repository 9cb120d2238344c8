// A body's constraint node names the constraint's other body, which the
// island walk follows without reading the constraint: under any sequence
// of setting bodies, enabling and disabling, every node must agree with
// its constraint.
#include <gtest/gtest.h>

#include <random>

#include "dynamics/test_step_support.h"

using namespace rbdtest;

TEST(RbdConstraintNode, NamesTheOtherBodyOfItsConstraintThroughRandomRelinking)
{
    World world(4, 6);
    RbdBodyID bodies[5] = {RbdBodyCreate(world), RbdBodyCreate(world), RbdBodyCreate(world), RbdBodyCreate(world),
                           nullptr};
    RbdConstraintID constraints[6] = {RbdHingeCreate(world),   RbdBSJointCreate(world), RbdContactCreate(world),
                                      RbdContactCreate(world), RbdSpringCreate(world),  RbdContactCreate(world)};
    std::mt19937 random(20261206);
    int nodes = 0;
    for (int op = 0; op < 400; ++op) {
        RbdConstraintID c = constraints[random() % 6];
        const unsigned kind = random() % 3, first = random() % 5, second = (first + 1 + random() % 4) % 5;
        if (kind == 0)
            RbdConstraintSetBodies(c, bodies[first], bodies[second]); // two different bodies
        else if (kind == 1)
            RbdConstraintEnable(c);
        else
            RbdConstraintDisable(c);
        int seen = 0;
        for (int b = 0; b < 4; ++b)
            for (RbdConstraintNode *node = bodies[b]->constraints; node; node = node->next, ++seen) {
                RbdConstraintID owner = node->constraint;
                ASSERT_TRUE(RbdConstraintIsEnabled(owner)) << "op " << op;
                const int side = owner->body[0] == bodies[b] ? 0 : 1;
                ASSERT_EQ(owner->body[side], bodies[b]) << "op " << op;
                ASSERT_EQ(node->other, owner->body[1 - side]) << "op " << op << ", body " << b;
            }
        EXPECT_EQ(seen, world->nodePool.used) << "op " << op;
        nodes += seen;
    }
    EXPECT_GT(nodes, 400) << "the sequence kept some constraints enabled";
}
