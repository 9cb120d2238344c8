// The contact row builder: row counts and bounds, Jacobians that measure
// the relative velocity of the contact point (random poses), the tangent
// construction, friction models, slip, slide, softness and restitution.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <algorithm>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

// A contact between two balls and a row list of its own for its rows.
class ContactRowsTest : public ::testing::Test {
protected:
    ContactRowsTest() : world(4, 8), own(4), list(own.list)
    {
        b0 = makeBall(world, 2.0, 0.5, 0.0, 1.0, 0.0);
        b1 = makeBall(world, 3.0, 0.5, 0.0, 0.0, 0.0);
        c = RbdContactCreate(world);
        RbdConstraintSetBodies(c, b0, b1);
        RbdConstraintEnable(c);
        params = RbdContactGetParams(c);
    }
    int32_t build()
    {
        const RbdBclParameters parameters = {0.01, 1e-6, 0.08};
        return rbdtest::buildRows(&list, c, parameters);
    }
    // Columns 0-2 (body 0 linear) of a row: the row's direction.
    void direction(int32_t row, PxVector3 out) const
    {
        for (int k = 0; k < 3; ++k) out[k] = RbdBclGetJacobianEntry(&list, row, k);
    }
    World world;
    rbdtest::OwnRowList own;
    RbdLcsConstraints &list;
    RbdBodyID b0, b1;
    RbdContactID c;
    RbdContactParams *params;
};

TEST_F(ContactRowsTest, AFrictionlessContactAddsOneOneSidedRowWhoseErrorIsMinusThePenetration)
{
    RbdContactSetPenetration(c, 0.003);
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(list.lo[0], 0.0);
    EXPECT_EQ(list.hi[0], RBD_REAL_MAX);
    EXPECT_EQ(list.phi[0], -0.003);
    EXPECT_EQ(list.c[0], 0.0);
    EXPECT_EQ(list.rowEpsilon[0], 0.0);
    EXPECT_EQ(list.constraintCount, 1);

    RbdContactParamsSetMaxAdhesiveForce(params, 12.0);
    RbdContactParamsSetSoftness(params, 0.02);
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(list.lo[0], -12.0) << "adhesion lets the normal row pull";
    EXPECT_EQ(list.rowEpsilon[0], 0.02);
}

// Under random poses and normals (given at any length): the friction
// directions and the normal form a right-handed orthonormal frame, and every
// row measures the relative velocity of the contact point along its
// direction, body 1 with the opposite sign.
TEST_F(ContactRowsTest, EveryRowMeasuresTheRelativeVelocityOfTheContactPointInARightHandedFrame)
{
    rbdtest::Rng rng(20240605);
    RbdContactParamsSetType(params, 2);
    for (int trial = 0; trial < 100; ++trial) {
        PxVector3 n, p, u[3], cross, v[2], w, relative;
        for (int k = 0; k < 2; ++k) {
            rbdtest::randomBodyTransform(rng, 2.0, k ? b1 : b0);
            randomVector(rng, 3.0, v[k]);
            randomVector(rng, 3.0, w);
            RbdBodySetLinearVelocity(k ? b1 : b0, v[k][0], v[k][1], v[k][2]);
            RbdBodySetAngularVelocity(k ? b1 : b0, w[0], w[1], w[2]);
        }
        randomUnitVector(rng, n);
        randomVector(rng, 2.0, p);
        RbdContactSetNormal(c, 3.0 * n[0], 3.0 * n[1], 3.0 * n[2]);
        RbdContactSetPosition(c, p[0], p[1], p[2]);
        RbdBodyGetVelocityAtPoint(b0, p, v[0]);
        RbdBodyGetVelocityAtPoint(b1, p, v[1]);
        PxV3Sub(relative, v[0], v[1]);
        ASSERT_EQ(build(), 3);
        for (int32_t row = 0; row < 3; ++row) {
            direction(row, u[row]);
            EXPECT_NEAR(RbdBclRowVelocity(&list, row, c), PxV3Dot(relative, u[row]), 1e-12);
            for (int k = 0; k < 3; ++k) EXPECT_EQ(RbdBclGetJacobianEntry(&list, row, 6 + k), -u[row][k]);
            EXPECT_NEAR(PxV3Length(u[row]), 1.0, 1e-14);
        }
        for (int32_t row = 0; row < 3; ++row) EXPECT_NEAR(PxV3Dot(u[row], u[(row + 1) % 3]), 0.0, 1e-14);
        PxV3Cross(cross, u[1], u[2]);
        EXPECT_NEAR(PxV3Distance(cross, n), 0.0, 1e-14);
    }
    // The standard tangent from the two largest components of the normal.
    const struct {
        PxReal normal[3], tangent[3];
    } standard[] = {{{0, 1, 0}, {0, 0, 1}}, {{0.6, 0, 0.8}, {0.8, 0, -0.6}}};
    for (const auto &k : standard) {
        PxVector3 t;
        RbdContactSetNormal(c, k.normal[0], k.normal[1], k.normal[2]);
        build();
        direction(1, t);
        EXPECT_NEAR(PxV3Distance(t, k.tangent), 0.0, 1e-15);
    }
}

TEST_F(ContactRowsTest, AGivenDirectionBecomesThePrimaryFrictionDirectionProjectedOntoTheContactPlane)
{
    RbdContactSetNormal(c, 0.0, 1.0, 0.0);
    RbdContactSetDirection(c, 3.0, 4.0, 0.0);
    RbdContactParamsSetType(params, 2);
    ASSERT_EQ(build(), 3);
    const PxVector3 x = {1.0, 0.0, 0.0}, z = {0.0, 0.0, 1.0};
    PxVector3 t1, t2;
    direction(1, t1);
    direction(2, t2);
    EXPECT_NEAR(PxV3Distance(t1, x), 0.0, 1e-15);
    EXPECT_NEAR(PxV3Distance(t2, z), 0.0, 1e-15) << "t2 = direction x n, normalised";

    RbdContactParamsSetType(params, 1);
    ASSERT_EQ(build(), 2);
    direction(1, t1);
    EXPECT_NEAR(PxV3Distance(t1, x), 0.0, 1e-15);

    RbdContactSetDirection(c, 0.0, -2.0, 0.0);
    ASSERT_EQ(build(), 2);
    direction(1, t1);
    EXPECT_TRUE(t1[0] == 1.0 && t1[1] == 0.0 && t1[2] == 0.0) << "a direction along the normal gives (1, 0, 0)";
    RbdContactParamsSetType(params, 2);
    ASSERT_EQ(build(), 3);
    direction(1, t1);
    EXPECT_TRUE(t1[0] == 0.0 && t1[2] == 1.0) << "and the standard tangent for two directions";
}

TEST_F(ContactRowsTest, FrictionRowsTakeTheirBoundsSlipAndSlideFromTheParameters)
{
    RbdContactParamsSetType(params, 2);
    RbdContactParamsSetPrimaryFriction(params, 4.0);
    RbdContactParamsSetSecondaryFriction(params, 6.0);
    ASSERT_EQ(build(), 3);
    EXPECT_EQ(list.lo[1], -4.0);
    EXPECT_EQ(list.hi[1], 4.0);
    EXPECT_EQ(list.lo[2], -6.0);
    EXPECT_EQ(list.hi[2], 6.0);
    EXPECT_EQ(list.frictionIndex[1], -1);

    RbdContactParamsSetSecondaryFrictionModel(params, 1);
    RbdContactParamsSetSecondaryFrictionCoefficient(params, 0.4);
    ASSERT_EQ(build(), 3);
    EXPECT_EQ(list.lo[2], 0.0);
    EXPECT_EQ(list.hi[2], 0.0);
    EXPECT_EQ(list.frictionIndex[2], 0) << "the normal row bounds it";
    EXPECT_EQ(list.mu[2], 0.4);
    EXPECT_EQ(list.hi[1], 4.0) << "the primary row keeps box friction";
    // Slip softens and slide drives the friction rows only when their bits are set.
    params->primarySlip = 0.3;
    params->secondarySlide = 0.9;
    ASSERT_EQ(build(), 3);
    EXPECT_EQ(list.rowEpsilon[1], 0.0) << "a value without its bit is not used";
    EXPECT_EQ(list.c[2], 0.0);
    RbdContactParamsSetPrimarySlip(params, 0.3);
    RbdContactParamsSetSecondarySlip(params, 0.1);
    RbdContactParamsSetPrimarySlide(params, -0.5);
    RbdContactParamsSetSecondarySlide(params, 0.9);
    ASSERT_EQ(build(), 3);
    EXPECT_EQ(list.rowEpsilon[1], 0.3);
    EXPECT_EQ(list.rowEpsilon[2], 0.1);
    EXPECT_EQ(list.c[1], -0.5);
    EXPECT_EQ(list.c[2], 0.9);
    EXPECT_EQ(list.c[0], 0.0);
}

TEST_F(ContactRowsTest, RestitutionReversesAnApproachFasterThanTheThresholdOnly)
{
    RbdContactSetNormal(c, 0.0, 1.0, 0.0);
    RbdBodySetLinearVelocity(b0, 0.0, -1.5, 0.0);
    RbdBodySetLinearVelocity(b1, 0.0, 0.5, 0.0);
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(list.c[0], 0.0) << "no bounce without the restitution bit";
    RbdContactParamsSetRestitution(params, 0.5);
    ASSERT_EQ(build(), 1);
    EXPECT_NEAR(list.c[0], 1.0, 1e-15) << "half the approach speed of 2 m/s";

    RbdContactParamsSetRestitutionThreshold(params, 2.5);
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(list.c[0], 0.0) << "slower than the threshold";
    RbdContactParamsSetRestitutionThreshold(params, 0.001);
    RbdBodySetLinearVelocity(b0, 0.0, 1.5, 0.0);
    ASSERT_EQ(build(), 1);
    EXPECT_EQ(list.c[0], 0.0) << "separating bodies do not bounce";
}

// A contact's rows start anywhere in a tile (after 0-3 rows of other
// contacts) and with either body immovable: they read the same as the rows
// built alone, to the bit, and measure the relative velocity of the contact
// point, the immovable side's columns zero and its body without an index.
// Two immovable bodies give no rows.
TEST_F(ContactRowsTest, RowsReadTheSameWhereverTheyStartAndWhicheverBodyIsImmovable)
{
    RbdContactParamsSetType(params, 2);
    RbdContactParamsSetSecondaryFrictionModel(params, 1);
    RbdContactID filler[3];
    for (RbdContactID &f : filler) {
        f = RbdContactCreate(world);
        RbdConstraintSetBodies(f, b0, b1);
        RbdConstraintEnable(f);
    }
    const RbdBclParameters parameters = {0.01, 1e-6, 0.08};
    const int frozen[] = {-1, 0, 1};
    rbdtest::Rng rng(20261208);
    for (int still : frozen) {
        SCOPED_TRACE(still);
        RbdBodyID bodies[2] = {b0, b1};
        for (int k = 0; k < 2; ++k) {
            RbdBodyUnFreeze(bodies[k]);
            rbdtest::randomBodyTransform(rng, 2.0, bodies[k]);
            PxVector3 v, w;
            randomVector(rng, 3.0, v);
            randomVector(rng, 3.0, w);
            RbdBodySetLinearVelocity(bodies[k], v[0], v[1], v[2]);
            RbdBodySetAngularVelocity(bodies[k], w[0], w[1], w[2]);
        }
        if (still >= 0) RbdBodyFreeze(bodies[still]);
        PxVector3 n, p, v[2] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}}, relative;
        randomUnitVector(rng, n);
        randomVector(rng, 2.0, p);
        RbdContactSetNormal(c, n[0], n[1], n[2]);
        RbdContactSetPosition(c, p[0], p[1], p[2]);
        RbdContactSetPenetration(c, 0.004);
        for (int k = 0; k < 2; ++k)
            if (k != still) RbdBodyGetVelocityAtPoint(bodies[k], p, v[k]);
        PxV3Sub(relative, v[0], v[1]);
        ASSERT_EQ(build(), 3);
        PxReal alone[3][RBD_JACOBIAN_COLUMNS];
        for (int32_t row = 0; row < 3; ++row) RbdBclGetJacobian(&list, row, alone[row]);
        for (int before = 0; before <= 3; ++before) {
            SCOPED_TRACE(before);
            RbdBclInitConstraintRowList(&list);
            RbdBclStartPartition(&list);
            for (int f = 0; f < before; ++f) filler[f]->rowBuilder(&list, filler[f], &parameters);
            c->rowBuilder(&list, c, &parameters);
            RbdBclEndPartition(&list);
            ASSERT_EQ(list.partitionRowCount, before + 3);
            for (int32_t r = 0; r < 3; ++r) {
                const int32_t row = before + r;
                PxReal jacobian[RBD_JACOBIAN_COLUMNS], u[3];
                RbdBclGetJacobian(&list, row, jacobian);
                for (int col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) EXPECT_EQ(jacobian[col], alone[r][col]);
                for (int k = 0; k < 3; ++k) u[k] = jacobian[still == 0 ? 6 + k : k] * (still == 0 ? -1.0 : 1.0);
                EXPECT_NEAR(RbdBclRowVelocity(&list, row, c), PxV3Dot(relative, u), 1e-12);
                for (int col = 6 * still; still >= 0 && col < 6 * still + 6; ++col) EXPECT_EQ(jacobian[col], 0.0);
            }
            EXPECT_EQ(list.phi[before], -0.004);
            EXPECT_EQ(list.frictionIndex[before + 2], before) << "the secondary row bounded by its normal row";
        }
    }
    ASSERT_EQ(build(), 3); // body 1 still frozen
    EXPECT_EQ(list.constraintBody[1][0], -1);
    RbdConstraintSetBodies(c, b1, nullptr);
    EXPECT_EQ(build(), 0) << "a frozen body against the world";
    EXPECT_EQ(list.constraintCount, 0);
}

// Under sleeping, a contact whose body fell asleep holding the other's
// load (it kept that force) is not pushed apart while that body sleeps: a
// body between two such sleepers would be squeezed against both without
// end. A gap is left as it is, and every other contact corrects its depth.
TEST_F(ContactRowsTest, APenetrationIsCorrectedUnlessABodySleepsUnderTheLoadItHeld)
{
    // penetration (m), body 1 asleep, a force kept, the row's error (m)
    const struct {
        PxReal penetration;
        bool asleep, kept;
        PxReal phi;
    } cases[] = {{0.003, false, true, -0.003},
                 {0.003, true, false, -0.003},
                 {0.003, true, true, 0.0},
                 {-0.002, true, true, 0.002}};
    for (const auto &k : cases) {
        RbdContactSetPenetration(c, k.penetration);
        c->contactSleepForce[1] = k.kept ? 1.0f : 0.0f;
        k.asleep ? RbdBodyDisable(b1) : RbdBodyEnable(b1);
        ASSERT_EQ(build(), 1);
        EXPECT_EQ(list.phi[0], k.phi) << k.penetration << " " << k.asleep << " " << k.kept;
    }
}

// Spin friction: a ball spinning on the ground stops at the analytic time on
// both solver paths, and without the option a contact's rows are the same to
// the bit.
const PxReal kRadius = 0.1, kSpin = 0.004, kStep = 0.01;

// The torque kSpin m g brakes the spin I w evenly until t = I w / (kSpin m g),
// on the pivoting solver and on the sweeps, either way round.
TEST(SpinFriction, ABallSpinningOnTheGroundStopsAtTheAnalyticTime)
{
    for (int sweeps = 0; sweeps < 2; ++sweeps)
        for (const PxReal omega : {4.9, -3.0}) {
            SCOPED_TRACE(testing::Message() << "sweeps " << sweeps << ", spin " << omega);
            const PxReal t = 0.4 * kRadius * kRadius * fabs(omega) / (kSpin * kG);
            World world(4, 8);
            RbdWorldSetGravity(world, 0.0, -kG, 0.0);
            if (sweeps) RbdWorldLCPSetLargeIslandRows(world, 0);
            RbdBodyID ball = makeBall(world, 2.0, kRadius, 0.0, kRadius, 0.0);
            RbdContactParams params = proportionalFriction(0.5);
            RbdContactParamsSetSpinFriction(&params, kSpin);
            makeGroundContact(world, ball, params);
            RbdBodySetAngularVelocity(ball, 0.0, omega, 0.0);
            PxVector3 w = {0.0, omega, 0.0};
            int k = 0;
            for (; k < 100 && fabs(w[1]) > 1e-6; ++k) {
                RbdWorldStep(world, kStep);
                RbdBodyGetAngularVelocity(ball, w);
                if (k == 19) {
                    EXPECT_NEAR(w[1], omega * (1.0 - 20 * kStep / t), 1e-3 * fabs(omega));
                }
            }
            EXPECT_NEAR(k * kStep, t, kStep);
        }
}

// Without the option the rows are today's; with it one row follows them,
// n . (w0 - w1) bounded by kSpin times the normal row's impulse.
TEST(SpinFrictionRows, OneRowAfterTheFrictionRowsAndNoOtherChange)
{
    World world(4, 8);
    RbdContactID c = makeGroundContact(world, makeBall(world, 2.0, 0.5, 0.3, 1.0, 0.2), proportionalFriction(0.5),
                                       makeBall(world, 3.0, 0.5, 0.0, 0.0, 0.0));
    RbdContactSetNormal(c, 0.6, 0.0, 0.8);
    const RbdBclParameters parameters = {0.01, 1e-6, 0.08};
    rbdtest::OwnRowList off(4), on(4);
    ASSERT_EQ(rbdtest::buildRows(&off.list, c, parameters), 3);
    RbdContactParamsSetSpinFriction(RbdContactGetParams(c), kSpin);
    ASSERT_EQ(rbdtest::buildRows(&on.list, c, parameters), 4);
    PxReal a[RBD_JACOBIAN_COLUMNS], b[RBD_JACOBIAN_COLUMNS];
    for (int row = 0; row < 3; ++row) {
        RbdBclGetJacobian(&off.list, row, a);
        RbdBclGetJacobian(&on.list, row, b);
        EXPECT_TRUE(memcmp(a, b, sizeof a) == 0 && off.list.mu[row] == on.list.mu[row]) << row;
    }
    const PxReal spin[RBD_JACOBIAN_COLUMNS] = {0, 0, 0, 0.6, 0, 0.8, 0, 0, 0, -0.6, 0, -0.8};
    RbdBclGetJacobian(&on.list, 3, b);
    EXPECT_TRUE(std::equal(spin, spin + RBD_JACOBIAN_COLUMNS, b) && on.list.mu[3] == kSpin &&
                on.list.frictionIndex[3] == 0);
}

} // namespace
