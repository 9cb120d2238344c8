// The workspace a solve needs: RbdLcsMemoryRequired is always enough, and a
// workspace too small stops the step with the overflow message.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "solver/RbdLcsStep.h"
#include "test_lcs_support.h"

using namespace lcstest;

namespace {

// One island shape: bodies and the rows of their constraints.
struct Island {
    std::vector<RbdLcsBody> bodies;
    RowList rows{1};
    explicit Island(int maxRows) : rows(maxRows) {}
};

// Steps the island with every model and factorisation, each time with a
// workspace of exactly RbdLcsMemoryRequired bytes, and checks that nothing
// ran past it.
void checkFits(Island &island, const char *shape)
{
    int n = island.rows.list.partitionRowCount, bodyCount = static_cast<int>(island.bodies.size());
    size_t required = RbdLcsMemoryRequired(n, bodyCount);
    RbdLcsConstraints saved = island.rows.list;
    for (int model = 0; model < RBD_LCS_STEPPER_COUNT; ++model)
        for (int solver = 0; solver < RBD_LINEAR_SOLVER_COUNT; ++solver) {
            MessageLog log;
            GuardedWorkspace ws(required);
            RbdLcsParameters p = defaultParameters(0.01);
            p.stepperModel = model;
            p.linearSolver = solver;
            ws.bind(p);
            lcs::Context context;
            lcs::step(context, &island.rows.list, island.bodies.data(), bodyCount, &p);
            EXPECT_TRUE(log.fatals.empty()) << shape << ": " << (log.fatals.empty() ? "" : log.fatals[0]);
            EXPECT_TRUE(ws.guardIntact()) << shape;
            EXPECT_LE(context.pool().peakUsed(), required) << shape;
            island.rows.list = saved;
        }
}

TEST(LcsWorkspace, MemoryRequiredIsEnoughForIslandsOfManyShapesAndSizes)
{
    std::mt19937 rng(5);
    // Stars: one hub touched by every contact, so every row couples to every
    // other and the matrix is dense.
    for (int spokes : {1, 5, 17, 40}) {
        Island island(3 * spokes);
        island.bodies.assign(spokes + 1, RbdLcsBody());
        for (RbdLcsBody &b : island.bodies) makeBody(b, 1.0, 0.2, 0.2, 0.2);
        for (int k = 1; k <= spokes; ++k) {
            island.bodies[k].comTransform[3][0] = cos(k);
            island.bodies[k].comTransform[3][2] = sin(k);
        }
        chainBodies(island.bodies);
        for (int k = 1; k <= spokes; ++k)
            addContactRows(island.rows, island.bodies,
                           Contact{{0, k}, {0.5 * cos(k), 0.0, 0.5 * sin(k)}, {-cos(k), 0.0, -sin(k)}, 0.4});
        checkFits(island, "star");
    }
    // Random islands: 1 to 6 rows per constraint between random bodies or
    // the world, some rows pinned at zero, some friction rows.
    for (int trial = 0; trial < 30; ++trial) {
        const int bodyCount = 1 + static_cast<int>(rng() % 25), constraints = 1 + static_cast<int>(rng() % 40);
        Island island(6 * constraints);
        randomIsland(rng, bodyCount, constraints, island.bodies, island.rows, true);
        checkFits(island, "random");
    }
}

TEST(LcsWorkspace, AStepThatDoesNotFitStopsWithTheOverflowMessage)
{
    Island island(60);
    std::vector<Joint> joints;
    makeHingeChain(12, island.bodies, joints);
    buildJointRows(island.rows, island.bodies, joints);
    size_t required = RbdLcsMemoryRequired(island.rows.list.partitionRowCount, 12);
    MessageLog log;
    GuardedWorkspace ws(required / 2);
    RbdLcsParameters p = defaultParameters(0.01);
    ws.bind(p);
    PxVector3 before;
    PxV3Copy(before, island.bodies[5].comTransform[3]);
    RbdLcsStep(&island.rows.list, island.bodies.data(), 12, &p);
    ASSERT_FALSE(log.fatals.empty());
    EXPECT_EQ(log.fatals[0].rfind("Lcs error:Memory pool size exceeded when allocating ", 0), 0u) << log.fatals[0];
    EXPECT_TRUE(ws.guardIntact());
    EXPECT_EQ(island.bodies[5].comTransform[3][0], before[0]) << "no half-done step";
}

} // namespace
