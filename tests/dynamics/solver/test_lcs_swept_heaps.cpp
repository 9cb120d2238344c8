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

// Stacks of two frictionless boxes, their upper boxes thrown up and down in
// turn: fast, slow, and fast on a lower box hinged to the world. With one
// pivot (maxIterations 1, no friction rows) every pivoting solve fails.
TEST(LcsSweptHeaps, ALandingHeapThatFailsIsSweptForItsStepsAndASlowOrJointedOneIsNot)
{
    World world(6, 8);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdWorldLCPSetMaxIterations(world, 1);
    const PxReal landing = lcs::kLandingSteps * kG * 0.01; // the speed gravity gives in that many steps
    const PxReal speed[3] = {2.0 * landing, 0.6 * landing, 2.0 * landing};
    RbdBodyID stack[3][2];
    std::vector<BoxOnGround> contacts;
    contacts.reserve(6);
    for (int s = 0; s < 3; ++s) {
        for (int k = 0; k < 2; ++k) stack[s][k] = makeBox(world, 1.0, 1.0, 1.0, 1.0, 5.0 * s, 0.5 + k, 0.0);
        contacts.emplace_back(world, stack[s][0], 1.0, 1.0, 1.0, resetParams());
        contacts.emplace_back(world, stack[s][1], 1.0, 1.0, 1.0, resetParams(), stack[s][0]);
    }
    makeJoint(RbdHingeCreate, world, stack[2][0], nullptr, 10.0, 0.0, 0.0);
    PxReal up = 1.0;
    auto step = [&]() {
        for (int s = 0; s < 3; ++s) RbdBodySetLinearVelocity(stack[s][1], 0.0, up * speed[s], 0.0);
        up = -up;
        for (BoxOnGround &c : contacts) c.update();
        RbdWorldStep(world, 0.01);
    };
    step();
    ASSERT_EQ(sweptSteps(stack[0][0]), lcs::kSweptStepsAfterFailure) << "the heap's pivoting failed";
    testsupport::AllocationCounter counter;
    // A pivoted heap would fail and be marked afresh: the marks count down
    // only while it is swept.
    for (int left = lcs::kSweptStepsAfterFailure - 1; left >= 0; --left) {
        step();
        for (RbdBodyID body : stack[0]) ASSERT_EQ(sweptSteps(body), left);
    }
    EXPECT_EQ(counter.allocations(), 0);
    step();
    EXPECT_EQ(sweptSteps(stack[0][1]), lcs::kSweptStepsAfterFailure) << "pivoted again, and failed again";
    for (int s = 1; s < 3; ++s)
        for (RbdBodyID body : stack[s]) EXPECT_EQ(sweptSteps(body), 0) << "slow or jointed, stack " << s;
}

} // namespace
