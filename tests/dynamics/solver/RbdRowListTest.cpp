// The row list: the per-constraint record, row counts of every type in each situation, and row contents.
#include <gtest/gtest.h>

#include <math.h>
#include "dynamics/test_step_support.h"

using namespace rbdtest;

namespace {

const RbdBclParameters PARAMETERS = {0.01, 1e-6, 0.12};

struct RowFixture : testing::Test {
    World world{4, 8};
    RbdBodyID a = RbdBodyCreate(world);
    RbdBodyID b = RbdBodyCreate(world);
    OwnRowList own{8};
    RbdLcsConstraints &list = own.list;

    void SetUp() override { RbdBodySetPosition(b, 0.0, 1.0, 0.0); }
    RbdConstraintID joint(RbdConstraintID (*create)(RbdWorldID), RbdBodyID body1)
    {
        return steptest::makeJoint(create, world, a, body1, 0.0, 0.5, 0.0);
    }
    int32_t rows(RbdConstraintID c) { return buildRows(&list, c, PARAMETERS); }
};

} // namespace

TEST_F(RowFixture, EndingAConstraintAddsItsRowAdditionsAndKeepsItsErrors)
{
    RbdConstraintID hinge = joint(RbdHingeCreate, b);
    RbdConstraintDOFSetEpsilon(hinge, 1, 0.5);
    RbdConstraintDOFSetGamma(hinge, 4, -0.1);
    RbdBodySetPosition(a, 0.0, 0.0, 0.25); // the hinge opens by 0.25 along z
    ASSERT_EQ(rows(hinge), 5);
    EXPECT_EQ(list.rowEpsilon[1], 0.5);
    EXPECT_EQ(list.rowGamma[4], -0.1);
    EXPECT_EQ(list.rowEpsilon[0], 0.0);
    EXPECT_EQ(RbdConstraintDOFGetPhi(hinge, 2), 0.25);
    for (int row = 0; row < 5; ++row)
        EXPECT_TRUE(list.lo[row] == -RBD_REAL_MAX && list.hi[row] == RBD_REAL_MAX && list.c[row] == 0.0);
    // Each addition reaches the list when it is the constraint's only one.
    RbdConstraintID gammaOnly = joint(RbdHingeCreate, b);
    RbdConstraintDOFSetGamma(gammaOnly, 2, 0.3);
    ASSERT_EQ(rows(gammaOnly), 5);
    EXPECT_EQ(list.rowGamma[2], 0.3);
    RbdConstraintID epsilonOnly = joint(RbdHingeCreate, b);
    RbdConstraintDOFSetEpsilon(epsilonOnly, 3, 0.2);
    ASSERT_EQ(rows(epsilonOnly), 5);
    EXPECT_EQ(list.rowEpsilon[3], 0.2);
    // A body frozen or missing has no index in the partition.
    RbdBodyFreeze(b);
    rows(hinge);
    EXPECT_EQ(list.constraintBody[1][0], -1);
}

// Row counts at stops, lock and plain poses of every type are checked with
// their Jacobians; here the switches between them.
TEST_F(RowFixture, MotorsLocksAndConesAddTheirRowOnlyWhileTheyAct)
{
    RbdConstraintID hinge = joint(RbdHingeCreate, b);
    RbdLimit *limit = RbdConstraintGetLimit(hinge);
    setStops(limit, -1.0, 1.0);
    EXPECT_EQ(rows(hinge), 5); // inside its stops
    RbdLimitActivateLimits(limit, 0);
    RbdLimitSetLimitedForceMotor(limit, 1.0, 5.0);
    EXPECT_EQ(rows(hinge), 6);
    RbdLimitSetLock(limit, 0.0, 5.0);
    EXPECT_EQ(rows(hinge), 6);
    RbdLimitActivateLock(limit, 0);
    EXPECT_EQ(rows(hinge), 5);

    RbdConstraintID wheel = joint(RbdCarWheelCreate, b);
    RbdCarWheelSetHingeLimitedForceMotor(wheel, 3.0, 0.0001);
    EXPECT_EQ(rows(wheel), 5);
    RbdCarWheelSetHingeLimitedForceMotor(wheel, 3.0, 0.0002);
    EXPECT_EQ(rows(wheel), 6);

    RbdConstraintID cone = joint(RbdConeLimitCreate, b);
    RbdConeLimitSetHalfAngle(cone, 0.3);
    EXPECT_EQ(rows(cone), 0); // the axes coincide: inside the cone
    EXPECT_EQ(list.constraintCount, 0);
    EXPECT_EQ(list.rowCount, 0);
    RbdConeLimitSetAxis(cone, 1, 0.0, 1.0, 1.0); // 45 degrees apart
    EXPECT_EQ(rows(cone), 1);
    EXPECT_NEAR(list.phi[0], 0.3 - M_PI / 4, 1e-12);
    EXPECT_EQ(list.lo[0], 0.0);
}

TEST_F(RowFixture, SpringsAndSoftStopsCarrySpringDamperSoftness)
{
    RbdConstraintID spring = joint(RbdSpringCreate, b);
    const PxVector3 end0 = {0.0, 0.0, 0.0}, end1 = {0.0, 1.0, 0.0};
    RbdConstraintBodySetPosition(spring, 0, end0);
    RbdConstraintBodySetPosition(spring, 1, end1);
    RbdSpringSetStiffness(spring, 50.0);
    RbdSpringSetDamping(spring, 0.5);
    RbdSpringSetNaturalLength(spring, 0.4);
    ASSERT_EQ(rows(spring), 1);
    EXPECT_EQ(RbdSpringGetLength(spring), 1.0);
    EXPECT_DOUBLE_EQ(list.phi[0], 0.6);
    // softness 1 / (h k + d) = 1, error reduction h k / (h k + d) = 0.5, as additions
    EXPECT_DOUBLE_EQ(list.rowEpsilon[0], 1.0 - 0.01 * 1e-6);
    EXPECT_DOUBLE_EQ(list.rowGamma[0], 0.5 - 0.12);
    // The solver's diagonal term epsilon + rowEpsilon / h is 1 / (h (h k + d)).
    EXPECT_DOUBLE_EQ(PARAMETERS.epsilon + list.rowEpsilon[0] / PARAMETERS.stepSize, 100.0);
    // A spring without stiffness or damping exerts nothing.
    RbdSpringSetStiffness(spring, 0.0);
    RbdSpringSetDamping(spring, 0.0);
    rows(spring);
    EXPECT_EQ(list.lo[0], 0.0);
    EXPECT_EQ(list.hi[0], 0.0);
    // Setters act on springs only.
    Messages warnings;
    RbdConstraintID hinge = joint(RbdHingeCreate, b);
    RbdSpringSetStiffness(hinge, 3.0);
    EXPECT_TRUE(warnings.warned("RbdSpringSetStiffness: the constraint is a RbdBclHINGE, not a RbdBclSPRING."));
}

TEST_F(RowFixture, AFullListSkipsTheConstraintWithAWarning)
{
    OwnRowList own1(1); // 12 rows, 1 constraint
    RbdLcsConstraints &small = own1.list;
    RbdConstraintID hinge = joint(RbdHingeCreate, b);
    Messages warnings;
    RbdBclInitConstraintRowList(&small);
    RbdBclStartPartition(&small);
    hinge->rowBuilder(&small, hinge, &PARAMETERS);
    hinge->rowBuilder(&small, hinge, &PARAMETERS);
    RbdBclEndPartition(&small);
    EXPECT_EQ(small.constraintCount, 1);
    EXPECT_EQ(small.partitionRowCount, 5);
    EXPECT_TRUE(warnings.warned("the row list is full"));
}

// A path of body 0 to the world: the target is -u (world), and the body
// moving at that velocity keeps its travelling point on the anchor.
TEST_F(RowFixture, AFixedPathsPointsTravelTheirPaths)
{
    Rng rng(21);
    randomBodyTransform(rng, 1.0, a);
    RbdConstraintID slider = joint(RbdFixedPathCreate, nullptr);
    RbdFixedPathSetVelocity(slider, 0, 0.0, 0.0, 1.0);
    PxVector3 u, start;
    const PxVector3 pathVelocity = {0.0, 0.0, 1.0};
    PxV3MulTMDir(u, pathVelocity, RbdBodyGetCenterOfMassTransformPtr(a));
    RbdConstraintBodyGetPosition(slider, 1, start);
    RbdConstraintBodySetPosition(slider, 0, start); // joint closed
    ASSERT_EQ(rows(slider), 3);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(list.c[k], -u[k], 1e-15);
    RbdBodySetLinearVelocity(a, list.c[0], list.c[1], list.c[2]);
    moveBodyRigidly(a, PARAMETERS.stepSize);
    rows(slider);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(list.phi[k], 0.0, 1e-14);
}

TEST_F(RowFixture, RPROStrengthsBoundTheRowsAndZeroSwitchesARowOff)
{
    RbdConstraintID rpro = joint(RbdRPROJointCreate, b);
    const PxVector3 linearStrength = {5.0, 0.0, 7.0}, angularStrength = {1.0, 2.0, 0.0}, velocity = {0.0, 0.0, 2.0};
    RbdRPROJointSetLinearStrength(rpro, linearStrength);
    RbdRPROJointSetAngularStrength(rpro, angularStrength);
    RbdRPROJointSetRelativeLinearVelocity(rpro, velocity);
    ASSERT_EQ(rows(rpro), 6);
    EXPECT_EQ(list.hi[0], 5.0);
    EXPECT_EQ(list.lo[2], -7.0);
    EXPECT_EQ(list.hi[4], 2.0);
    for (int row : {1, 5}) {
        PxReal j[12];
        RbdBclGetJacobian(&list, row, j);
        for (PxReal x : j) EXPECT_EQ(x, 0.0);
        EXPECT_EQ(list.lo[row], 0.0);
        EXPECT_EQ(list.hi[row], 0.0);
    }
    // Point 1 should move away from point 0 at 2 along z: d(p0 - p1)/dt = -2.
    EXPECT_EQ(list.c[2], -2.0);
}
