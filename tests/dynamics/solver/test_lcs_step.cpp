// Whole steps of hand-built partitions: bad parameters, an island the step
// cannot solve, and the workspace a solve needs (RbdLcsMemoryRequired is
// always enough, and a workspace too small stops the step with the overflow
// message).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "solver/RbdLcsStep.h"
#include "test_lcs_support.h"

using namespace lcstest;

namespace {

// Steps bodies and rows once with a workspace of exactly the required size.
int stepOnce(RowList *rows, std::vector<RbdLcsBody> &bodies, RbdLcsParameters p)
{
    int n = rows ? rows->list.partitionRowCount : 0;
    GuardedWorkspace ws(RbdLcsMemoryRequired(n, static_cast<int>(bodies.size())));
    ws.bind(p);
    int result = RbdLcsStep(rows ? &rows->list : nullptr, bodies.data(), static_cast<int>(bodies.size()), &p);
    EXPECT_TRUE(ws.guardIntact());
    return result;
}

TEST(LcsStep, BadParametersAreRefusedOrReplacedWithWarningsNeverFatally)
{
    std::vector<RbdLcsBody> bodies(1);
    makeBody(bodies[0], 1.0, 1.0, 1.0, 1.0);
    bodies[0].linearVelocity[0] = 1.0;
    RbdLcsParameters p = defaultParameters(0.1);
    {
        MessageLog log;
        p.stepperModel = 3;
        stepOnce(nullptr, bodies, p);
        EXPECT_TRUE(log.fatals.empty());
        ASSERT_EQ(log.warnings.size(), 1u);
        EXPECT_EQ(log.warnings[0], "RbdLcsStep : no such model number parameters.stepper_model = : 3\n");
        EXPECT_EQ(bodies[0].comTransform[3][0], 0.0) << "nothing is stepped";
    }
    p.stepperModel = 2;
    {
        MessageLog log;
        p.lcp.solverFunction = 4;
        p.cpuResources = 2;
        p.linearSolver = 5;
        stepOnce(nullptr, bodies, p);
        EXPECT_EQ(log.warnings, (std::vector<std::string>{
                                    "RbdLcsStep: no such lcp solver : 4.  Reverting to default.\n",
                                    "RbdLcsStep: no such CPU resource: will use default : 2\n",
                                    "RbdLcsStep: no such Linear Solver (see RbdLinearSolver enumeration): 5\n"}));
        EXPECT_NEAR(bodies[0].comTransform[3][0], 0.1, 1e-15) << "the step goes on with the defaults";
    }
    {
        MessageLog log;
        GuardedWorkspace ws(RbdLcsMemoryRequired(0, 1));
        ws.bind(p);
        RbdLcsAddConstraintForces(nullptr, bodies.data(), 1, &p);
        RbdLcsIntegrateSystem(nullptr, bodies.data(), 1, &p);
        EXPECT_TRUE(log.fatals.empty());
        ASSERT_EQ(log.warnings.size(), 6u);
        EXPECT_EQ(log.warnings[0], "RbdLcsStep: no such lcp solver : 4\n");
        EXPECT_EQ(log.warnings[1], "RbdLcsStep: no such CPU resource : 2\n");
        EXPECT_EQ(log.warnings[5], "RbdLcsStep: no such Linear Solver (see RbdLinearSolver enumeration): 5\n");
        EXPECT_NEAR(bodies[0].comTransform[3][0], 0.2, 1e-15);
    }
}

// A system matrix that is not positive definite (here a negative softness)
// cannot be solved: the partition is not stepped at all, rather than moved
// without its constraint forces, and the step says so.
TEST(LcsStep, AnIslandWhoseMatrixCannotBeFactoredIsNotSteppedAndWarns)
{
    std::vector<RbdLcsBody> bodies(1);
    makeBody(bodies[0], 1.0, 0.1, 0.1, 0.1);
    PxV3Set(bodies[0].comTransform[3], 1.0, 0.0, 0.0);
    PxV3Set(bodies[0].linearVelocity, 0.0, -2.0, 0.0);
    std::vector<Joint> joints = {
        Joint{{0, -1}, {{-1.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}, false, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}};
    RowList rows(4);
    buildJointRows(rows, bodies, joints);
    PxV3Set(bodies[0].force, 0.0, -steptest::kG, 0.0);
    RbdLcsParameters p = defaultParameters(0.01);
    p.epsilon = -1e3;
    MessageLog log;
    stepOnce(&rows, bodies, p);
    EXPECT_TRUE(log.fatals.empty());
    ASSERT_EQ(log.warnings.size(), 1u);
    EXPECT_EQ(log.warnings[0], "RbdLcsStep: the system matrix of a partition of 1 bodies and 3 rows is not positive "
                               "definite (extreme masses, inertias or sizes?); the partition is not stepped\n");
    EXPECT_EQ(bodies[0].comTransform[3][0], 1.0);
    EXPECT_EQ(bodies[0].comTransform[3][1], 0.0) << "the body did not fly off its joint";
}

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
