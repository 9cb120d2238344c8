// A heap of contacts whose pivoting fails while it lands is swept for the
// next steps (marks on its bodies); a slow one, or one with a joint, is not.
#include <gtest/gtest.h>
#include <vector>
#include "common/AllocationCounter.h"
#include "dynamics/test_step_support.h"
#include "solver/RbdLcsSweptHeaps.h"

namespace {

using namespace steptest;

int sweptSteps(RbdBodyID body)
{
    return (body->lcs.flags & RBD_LCS_BODY_SWEPT_STEPS) >> RBD_LCS_BODY_SWEPT_STEPS_SHIFT;
}

// Two stacks of two frictionless boxes, the second one's lower box hinged
// to the world. With one pivot (maxIterations 1, no friction rows) and the
// upper boxes thrown up and down in turn, every pivoting solve fails.
struct ThrownStacks {
    World world{4, 8};
    RbdBodyID stack[2][2];
    std::vector<BoxOnGround> contacts;
    PxReal speed;
    explicit ThrownStacks(PxReal throwSpeed) : speed(-throwSpeed)
    {
        RbdWorldSetGravity(world, 0.0, -kG, 0.0);
        RbdWorldLCPSetMaxIterations(world, 1);
        contacts.reserve(4);
        for (int s = 0; s < 2; ++s) {
            for (int k = 0; k < 2; ++k) stack[s][k] = makeBox(world, 1.0, 1.0, 1.0, 1.0, 5.0 * s, 0.5 + k, 0.0);
            contacts.emplace_back(world, stack[s][0], 1.0, 1.0, 1.0, resetParams());
            contacts.emplace_back(world, stack[s][1], 1.0, 1.0, 1.0, resetParams(), stack[s][0]);
        }
        makeJoint(RbdHingeCreate, world, stack[1][0], nullptr, 5.0, 0.0, 0.0);
    }
    void step()
    {
        speed = -speed;
        for (int s = 0; s < 2; ++s) RbdBodySetLinearVelocity(stack[s][1], 0.0, speed, 0.0);
        for (BoxOnGround &c : contacts) c.update();
        RbdWorldStep(world, 0.01);
    }
};

TEST(LcsSweptHeaps, ALandingHeapThatFailsIsSweptForItsStepsAndASlowOrJointedOneIsNot)
{
    ThrownStacks w(2.0 * lcs::kLandingSpeed);
    w.step();
    ASSERT_EQ(sweptSteps(w.stack[0][0]), lcs::kSweptStepsAfterFailure) << "the heap's pivoting failed";
    testsupport::AllocationCounter counter;
    // A pivoted heap would fail and be marked afresh: the marks count down
    // only while it is swept.
    for (int left = lcs::kSweptStepsAfterFailure - 1; left >= 0; --left) {
        w.step();
        for (RbdBodyID body : w.stack[0]) ASSERT_EQ(sweptSteps(body), left);
    }
    EXPECT_EQ(counter.allocations(), 0);
    w.step();
    EXPECT_EQ(sweptSteps(w.stack[0][1]), lcs::kSweptStepsAfterFailure) << "pivoted again, and failed again";
    for (RbdBodyID body : w.stack[1]) EXPECT_EQ(sweptSteps(body), 0) << "an island with a joint keeps pivoting";
    ThrownStacks slow(0.6 * lcs::kLandingSpeed);
    for (int k = 0; k < 3; ++k) slow.step();
    EXPECT_EQ(sweptSteps(slow.stack[0][0]), 0) << "a heap that fails slowly, as a settling stack may, keeps pivoting";
}

} // namespace
