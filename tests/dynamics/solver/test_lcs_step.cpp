// Whole steps of hand-built partitions: parameter checks, analytic
// mechanics, contacts with friction, and the integration models.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsBaseFunctions.h"
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
    p.workspace = ws.memory();
    p.workspaceSize = ws.size();
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
        p.workspace = ws.memory();
        p.workspaceSize = ws.size();
        RbdLcsAddConstraintForces(nullptr, bodies.data(), 1, &p);
        RbdLcsIntegrateSystem(nullptr, bodies.data(), 1, &p);
        EXPECT_TRUE(log.fatals.empty());
        ASSERT_EQ(log.warnings.size(), 6u);
        EXPECT_EQ(log.warnings[0], "RbdLcsStep: no such lcp solver : 4\n");
        EXPECT_EQ(log.warnings[1], "RbdLcsStep: no such CPU resource : 2\n");
        EXPECT_EQ(log.warnings[5], "RbdLcsStep: no such Linear Solver (see RbdLinearSolver enumeration): 5\n");
        EXPECT_NEAR(bodies[0].comTransform[3][0], 0.2, 1e-15);
    }
    {
        MessageLog log;
        lcs::BaseFunctions fn;
        RbdLcsBody *b = &bodies[0];
        fn.updateQuaternion(1, &b, 0.1, 4);
        ASSERT_EQ(log.fatals.size(), 1u) << "an integration method only the library chooses: an internal fault";
        EXPECT_EQ(log.fatals[0], "\n ++ RbdLcs:: updateQuaternion:: No such method : 4 \n++");
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

// A unit box of mass m resting on four corner contacts on the ground,
// gravity tilted by `slope` about z so that the ground acts as an incline.
struct BoxOnIncline {
    std::vector<RbdLcsBody> bodies{1};
    std::vector<Contact> contacts;
    std::vector<RbdBaseConstraint> records;
    std::vector<RbdBaseConstraint *> recordPointers;
    RowList rows{12};
    PxVector3 gravity;
    BoxOnIncline(PxReal slope, PxReal mu)
    {
        makeBody(bodies[0], 2.0, 1.0 / 3, 1.0 / 3, 1.0 / 3);
        bodies[0].comTransform[3][1] = 0.5;
        PxV3Set(gravity, kG * sin(slope), -kG * cos(slope), 0.0);
        for (int k = 0; k < 4; ++k)
            contacts.push_back(Contact{{0, -1}, {k & 1 ? 0.5 : -0.5, -0.5, k & 2 ? 0.5 : -0.5}, {0.0, 1.0, 0.0}, mu});
        records.assign(4, RbdBaseConstraint());
        for (RbdBaseConstraint &r : records) recordPointers.push_back(&r);
    }
    int step(RbdLcsParameters p)
    {
        rows.clear();
        for (const Contact &c : contacts) addContactRows(rows, bodies, c);
        rows.list.constraints = recordPointers.data();
        PxV3Scale(bodies[0].force, gravity, bodies[0].mass);
        return stepOnce(&rows, bodies, p);
    }
};

TEST(LcsStep, ABoxHeldByFrictionRestsAndItsContactsCarryItsWeight)
{
    // tan(20 deg) = 0.364 < mu = 0.5: static friction holds the box.
    BoxOnIncline box(20.0 * M_PI / 180.0, 0.5), vintage(20.0 * M_PI / 180.0, 0.5);
    const PxReal h = 0.01;
    RbdLcsParameters old = defaultParameters(h);
    old.stepperModel = 1;
    for (int step = 0; step < 200; ++step) {
        ASSERT_GT(box.step(defaultParameters(h)), 0);
        ASSERT_GT(vintage.step(old), 0);
    }
    EXPECT_LT(PxV3Length(box.bodies[0].linearVelocity), 1e-6);
    EXPECT_LT(PxV3Length(box.bodies[0].angularVelocity), 1e-6);
    EXPECT_NEAR(box.bodies[0].comTransform[3][1], 0.5, 1e-4);
    // The contacts' forces on the box cancel its weight; lambda holds
    // impulses, or forces under the vintage model.
    PxVector3 total = {0.0, 0.0, 0.0};
    PxReal normalImpulse = 0.0;
    for (int c = 0; c < 4; ++c) {
        PxV3Add(total, total, box.records[c].force[0]);
        normalImpulse += box.rows.list.lambda[3 * c];
        EXPECT_NEAR(vintage.rows.list.lambda[3 * c], box.rows.list.lambda[3 * c] / h, 1e-6);
    }
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(total[k], -box.gravity[k] * 2.0, 1e-6);
    EXPECT_NEAR(normalImpulse, 2.0 * kG * cos(20.0 * M_PI / 180.0) * h, 1e-8);
    // Contact 0's normal row switched off: it and its friction carry nothing.
    box.rows.clear();
    for (const Contact &c : box.contacts) addContactRows(box.rows, box.bodies, c);
    box.rows.list.lo[0] = box.rows.list.hi[0] = 0.0;
    PxV3Scale(box.bodies[0].force, box.gravity, 2.0);
    ASSERT_GT(stepOnce(&box.rows, box.bodies, defaultParameters(h)), 0);
    EXPECT_EQ(box.rows.list.lambda[0], 0.0);
    EXPECT_EQ(box.rows.list.lambda[1], 0.0);
    EXPECT_GT(box.rows.list.lambda[3], 0.0);
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
