// An island of contacts whose pivoting solve fails while its bodies land is
// swept for the next steps; a slow one, or one with joints, keeps pivoting.
// The marks ride on the bodies.
#include <gtest/gtest.h>
#include <vector>
#include <kelmar/Rbd.h>
#include "common/AllocationCounter.h"
#include "dynamics/test_step_support.h"
#include "solver/RbdLcsSweptHeaps.h"

namespace {

using namespace steptest;

int sweptSteps(RbdBodyID body)
{
    return (body->lcs.flags & RBD_LCS_BODY_SWEPT_STEPS) >> RBD_LCS_BODY_SWEPT_STEPS_SHIFT;
}

// Two stacks of two frictionless boxes, the second stack's lower box hinged
// to a third box beside it. Without friction rows an island gets one pivot
// only (maxIterations 1), and the upper boxes are thrown up and down in
// turn at `speed` before each step, so every pivoting solve of either stack
// fails.
struct ThrownStacks {
    World world{8, 16};
    RbdBodyID heap[2], hinged[3];
    std::vector<BoxOnGround> contacts;
    int steps = 0;
    PxReal speed;
    explicit ThrownStacks(PxReal throwSpeed) : speed(throwSpeed)
    {
        RbdWorldSetGravity(world, 0.0, -kG, 0.0);
        RbdWorldLCPSetMaxIterations(world, 1);
        contacts.reserve(5);
        RbdBodyID *stacks[2] = {heap, hinged};
        for (int s = 0; s < 2; ++s) {
            for (int k = 0; k < 2; ++k) stacks[s][k] = makeBox(world, 1.0, 1.0, 1.0, 1.0, 5.0 * s, 0.5 + k, 0.0);
            contacts.emplace_back(world, stacks[s][0], 1.0, 1.0, 1.0, resetParams());
            contacts.emplace_back(world, stacks[s][1], 1.0, 1.0, 1.0, resetParams(), stacks[s][0]);
        }
        hinged[2] = makeBox(world, 1.0, 1.0, 1.0, 1.0, 6.5, 0.5, 0.0);
        contacts.emplace_back(world, hinged[2], 1.0, 1.0, 1.0, resetParams());
        makeJoint(RbdHingeCreate, world, hinged[0], hinged[2], 5.75, 0.5, 0.0);
    }
    void step()
    {
        const PxReal up = ++steps % 2 ? speed : -speed;
        for (RbdBodyID body : {heap[1], hinged[1]}) RbdBodySetLinearVelocity(body, 0.0, up, 0.0);
        for (BoxOnGround &c : contacts) c.update();
        RbdWorldStep(world, 0.01);
    }
};

TEST(LcsSweptHeaps, ALandingHeapThatFailsIsSweptForItsStepsAndASlowOrJointedIslandIsNot)
{
    ThrownStacks w(2.0 * lcs::kLandingSpeed);
    w.step();
    ASSERT_EQ(sweptSteps(w.heap[0]), lcs::kSweptStepsAfterFailure) << "the heap's pivoting failed";
    testsupport::AllocationCounter counter;
    // Were the heap pivoted it would fail again and be marked afresh: the
    // marks count down only while it is swept.
    for (int left = lcs::kSweptStepsAfterFailure - 1; left >= 0; --left) {
        w.step();
        for (RbdBodyID body : w.heap) ASSERT_EQ(sweptSteps(body), left);
    }
    EXPECT_EQ(counter.allocations(), 0);
    w.step();
    EXPECT_EQ(sweptSteps(w.heap[1]), lcs::kSweptStepsAfterFailure) << "pivoted again, and failed again";
    for (RbdBodyID body : w.hinged) EXPECT_EQ(sweptSteps(body), 0) << "an island with joints keeps pivoting";
    EXPECT_EQ(RbdWorldGetNonFiniteBodyCount(w.world), 0);
    ThrownStacks slow(0.6 * lcs::kLandingSpeed);
    for (int k = 0; k < 3; ++k) slow.step();
    EXPECT_EQ(sweptSteps(slow.heap[0]), 0) << "a heap that fails slowly, as a settling stack may, keeps pivoting";
}

} // namespace
