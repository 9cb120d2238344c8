// The factorisation chosen per island: a stack of boxes of contacts alone
// with 48 rows or more steps exactly as under the row factor, a shorter one
// exactly as under the tiles, and either way the motion is the same within
// the solver's tolerance as under both fixed choices.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <kelmar/RbdLcs.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

const PxReal kSide = 0.2, kStep = 0.01;

// Positions and velocities of every box of a stack of `boxes` cubes, each
// 1 mm into the one below and the top one pushed sideways, after ten steps
// with the given linear solver.
std::vector<PxReal> stackAfterTenSteps(int boxes, int solver)
{
    World world(boxes, 4 * boxes);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdWorldSetLinearSolver(world, solver);
    std::vector<RbdBodyID> box;
    std::vector<std::unique_ptr<BoxOnGround>> faces;
    for (int k = 0; k < boxes; ++k) {
        box.push_back(makeBox(world, 1.0, kSide, kSide, kSide, 0.0, (k + 0.5) * kSide - (k + 1) * 1e-3, 0.0));
        faces.push_back(std::make_unique<BoxOnGround>(world, box[k], kSide, kSide, kSide, proportionalFriction(0.5),
                                                      k > 0 ? box[k - 1] : nullptr));
    }
    RbdBodySetLinearVelocity(box.back(), 0.3, 0.0, 0.1);
    for (int s = 0; s < 10; ++s) {
        for (auto &face : faces) face->update();
        RbdWorldStep(world, kStep);
    }
    std::vector<PxReal> state;
    for (RbdBodyID b : box)
        for (int axis = 0; axis < 3; ++axis) {
            state.push_back(positionOf(b, axis));
            state.push_back(velocityOf(b, axis));
        }
    return state;
}

struct StackCase {
    const char *name;
    int boxes;         // 12 contact rows each
    int expectedFixed; // the fixed choice the automatic one must match exactly
};

class AutomaticFactorisation : public ::testing::TestWithParam<StackCase> {};

TEST_P(AutomaticFactorisation, StepsAsItsChoiceAndWithinToleranceOfTheOther)
{
    const StackCase c = GetParam();
    const std::vector<PxReal> blocks = stackAfterTenSteps(c.boxes, RBD_LINEAR_SOLVER_BLOCK_CHOLESKY),
                              rows = stackAfterTenSteps(c.boxes, RBD_LINEAR_SOLVER_VARIABLE_BANDWIDTH_CHOLESKY),
                              automatic = stackAfterTenSteps(c.boxes, RBD_LINEAR_SOLVER_AUTOMATIC);
    // The factors round differently, so the stack tells which one served.
    ASSERT_NE(blocks, rows);
    EXPECT_EQ(automatic, c.expectedFixed == RBD_LINEAR_SOLVER_BLOCK_CHOLESKY ? blocks : rows);
    for (size_t k = 0; k < automatic.size(); ++k) {
        EXPECT_NEAR(automatic[k], blocks[k], 1e-6) << "entry " << k;
        EXPECT_NEAR(automatic[k], rows[k], 1e-6) << "entry " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Stacks, AutomaticFactorisation,
                         ::testing::Values(StackCase{"ThreeBoxes36Rows", 3, RBD_LINEAR_SOLVER_BLOCK_CHOLESKY},
                                           StackCase{"FourBoxes48Rows", 4,
                                                     RBD_LINEAR_SOLVER_VARIABLE_BANDWIDTH_CHOLESKY}),
                         [](const ::testing::TestParamInfo<StackCase> &info) { return info.param.name; });

} // namespace
