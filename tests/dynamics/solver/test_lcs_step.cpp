// Whole steps of hand-built partitions: parameter checks, analytic
// mechanics, contacts with friction, and the integration models.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "solver/RbdLcsStepper.h"
#include "test_lcs_support.h"

using namespace lcstest;

namespace {

const PxReal kG = 9.81;

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
    PxV3Set(bodies[0].force, 0.0, -kG, 0.0);
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

TEST(LcsStep, TwoJointedBodiesKeepTheirTotalMomentum)
{
    std::vector<RbdLcsBody> bodies(2);
    makeBody(bodies[0], 1.0, 0.2, 0.3, 0.4);
    makeBody(bodies[1], 3.0, 0.5, 0.6, 0.7);
    PxV3Set(bodies[1].comTransform[3], 1.0, 0.0, 0.0);
    PxV3Set(bodies[0].linearVelocity, 0.0, 1.0, 0.0);
    PxV3Set(bodies[1].angularVelocity, 0.5, 0.0, 2.0);
    chainBodies(bodies);
    std::vector<Joint> joints = {
        Joint{{0, 1}, {{0.5, 0.0, 0.0}, {-0.5, 0.0, 0.0}}, false, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}};
    RowList rows(4);
    auto momentum = [&](PxVector3 P, PxVector3 Lo) {
        PxV3Zero(P);
        PxV3Zero(Lo);
        for (RbdLcsBody &b : bodies) {
            PxVector3 p, rxp, Iw;
            PxV3Scale(p, b.linearVelocity, b.mass);
            PxV3Add(P, P, p);
            PxV3Cross(rxp, b.comTransform[3], p);
            PxV3MulM3(Iw, b.angularVelocity, b.inertiaWorld); // symmetric: I w
            PxV3Add(Lo, Lo, rxp);
            PxV3Add(Lo, Lo, Iw);
        }
    };
    PxVector3 P0, L0, P, Lo;
    momentum(P0, L0);
    for (int step = 0; step < 500; ++step) {
        buildJointRows(rows, bodies, joints);
        ASSERT_GT(stepOnce(&rows, bodies, defaultParameters(0.005)), 0);
    }
    momentum(P, Lo);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(P[k], P0[k], 1e-9) << "equal and opposite joint forces";
    EXPECT_LT(PxV3Distance(Lo, L0), 0.02 * PxV3Length(L0)) << "angular momentum within 2% after 500 steps";
}

// Worst joint error of a 20-link hinge chain released horizontally and
// swinging down for 3 s with step h.
PxReal worstChainError(PxReal h)
{
    std::vector<RbdLcsBody> bodies;
    std::vector<Joint> joints;
    makeHingeChain(20, bodies, joints);
    RowList rows(100);
    PxReal worst = 0.0;
    for (int step = 0; step < static_cast<int>(3.0 / h); ++step) {
        buildJointRows(rows, bodies, joints);
        for (RbdLcsBody &b : bodies) PxV3Set(b.force, 0.0, -kG, 0.0);
        EXPECT_GT(stepOnce(&rows, bodies, defaultParameters(h)), 0);
        for (int i = 0; i < rows.list.rowCount; ++i) worst = fmax(worst, fabs(rows.list.phi[i]));
    }
    for (RbdLcsBody &b : bodies)
        EXPECT_LT(fabs(b.comTransform[3][2]), 1e-9) << "the hinges keep the chain in its plane";
    return worst;
}

TEST(LcsStep, AFallingHingeChainStaysAssembledWithErrorsOfSecondOrderInTheStep)
{
    PxReal coarse = worstChainError(0.005), fine = worstChainError(0.0025);
    EXPECT_LT(coarse, 0.02) << "below 2 cm and 0.02 rad with 5 ms steps";
    EXPECT_GT(coarse / fine, 3.0) << "halving the step divides the drift by about four";
}

} // namespace
