// Whole steps of hand-built partitions: bad parameters and an island the
// step cannot solve.
#include <gtest/gtest.h>

#include <vector>

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

} // namespace
