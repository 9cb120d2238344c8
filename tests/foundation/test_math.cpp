// Transforms, matrices and quaternions, checked by geometric properties
// under seeded random poses and against independent formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <cstring>
#include <random>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;

namespace {

const PxReal kPi = std::acos(-1.0);

struct Rng {
    std::mt19937 engine{20240611u};
    PxReal uniform(PxReal lo, PxReal hi) { return std::uniform_real_distribution<PxReal>(lo, hi)(engine); }
    void normal(PxReal *v, int n) // a random unit vector of n components
    {
        std::normal_distribution<PxReal> gauss;
        std::generate(v, v + n, [&] { return gauss(engine); });
        const PxReal length = std::sqrt(std::inner_product(v, v + n, v, 0.0));
        std::transform(v, v + n, v, [length](PxReal x) { return x / length; });
    }
    void vector(PxVector3 v, PxReal range)
    {
        PxV3Set(v, uniform(-range, range), uniform(-range, range), uniform(-range, range));
    }
};

// The TM with rotation q and translation t.
void MakeTM(PxMatrix4 tm, const PxQuaternion q, const PxVector3 t)
{
    PxMatrix3 r;
    PxQuaternionToMatrix3(r, q);
    PxM4Identity(tm);
    for (int i = 0; i < 3; ++i) std::memcpy(tm[i], r[i], sizeof r[i]);
    PxV3Copy(tm[3], t);
}

// Rotation of v by the unit quaternion q in the column-vector sense:
// v' = v + 2w (u x v) + 2 u x (u x v), u the vector part, written out.
void RotateByQuaternion(PxVector3 out, const PxQuaternion q, const PxVector3 v)
{
    const PxReal uv[3] = {q[2] * v[2] - q[3] * v[1], q[3] * v[0] - q[1] * v[2], q[1] * v[1] - q[2] * v[0]};
    const PxReal uuv[3] = {q[2] * uv[2] - q[3] * uv[1], q[3] * uv[0] - q[1] * uv[2], q[1] * uv[1] - q[2] * uv[0]};
    for (int i = 0; i < 3; ++i) out[i] = v[i] + 2.0 * q[0] * uv[i] + 2.0 * uuv[i];
}

::testing::AssertionResult Near(const PxReal *a, const PxReal *b, int n, PxReal tol)
{
    for (int i = 0; i < n; ++i)
        if (!(std::fabs(a[i] - b[i]) <= tol))
            return ::testing::AssertionFailure() << "element " << i << ": " << a[i] << " vs " << b[i];
    return ::testing::AssertionSuccess();
}
// q and -q are the same rotation.
::testing::AssertionResult SameRotation(const PxQuaternion a, const PxQuaternion b, PxReal tol)
{
    const PxQuaternion minusB = {-b[0], -b[1], -b[2], -b[3]};
    return Near(a, b, 4, tol) ? ::testing::AssertionSuccess() : Near(a, minusB, 4, tol);
}

} // namespace

TEST(Transform, RandomPosesComposeInvertAndTurnLikeTheirQuaternions)
{
    Rng rng;
    PxMatrix4 identity;
    PxM4Identity(identity);
    for (int trial = 0; trial < 300; ++trial) {
        PxQuaternion qa, qb, back;
        PxVector3 ta, tb, p, byTM, byQ, viaB, twoSteps, oneStep;
        rng.normal(qa, 4);
        if (trial % 10 == 0) rng.normal(qa + 1, 3), qa[0] = 0.0; // a half turn: trace -1
        rng.normal(qb, 4);
        rng.vector(ta, 10.0);
        rng.vector(tb, 10.0);
        rng.vector(p, 5.0);
        PxMatrix4 a, b, ab, inverse, product;
        MakeTM(a, qa, ta);
        MakeTM(b, qb, tb);
        ASSERT_TRUE(PxMatrix4IsTM(a, 1e-12));
        PxQuaternionFromTM(back, a);
        EXPECT_TRUE(SameRotation(back, qa, 1e-12));
        // A direction carried by the TM (p R) turns as q turns it.
        PxV3MulTMDir(byTM, p, a);
        RotateByQuaternion(byQ, qa, p);
        EXPECT_TRUE(Near(byTM, byQ, 3, 1e-12));

        PxMatrix4TMCompound(ab, a, b);
        PxV3MulTM(viaB, p, b);
        PxV3MulTM(twoSteps, viaB, a);
        PxV3MulTM(oneStep, p, ab);
        EXPECT_TRUE(Near(oneStep, twoSteps, 3, 1e-12));

        PxM4Copy(inverse, a);
        PxMatrix4TMInvert(inverse);
        PxMatrix4TMCompound(product, a, inverse);
        EXPECT_TRUE(Near(product[0], identity[0], 16, 1e-13));

        // a o b^-1 directly, and its rotation-only variant that keeps the
        // output's translation.
        PxMatrix4 bInverse, expected, direct, rotationOnly;
        PxM4Copy(bInverse, b);
        PxMatrix4TMInvert(bInverse);
        PxMatrix4TMCompound(expected, a, bInverse);
        PxMatrix4TMCompoundInverseSecond(direct, a, b);
        EXPECT_TRUE(Near(direct[0], expected[0], 16, 1e-12));
        PxM4Identity(rotationOnly);
        PxV3Set(rotationOnly[3], 7.0, 8.0, 9.0);
        PxMatrix4TMCompoundRotationInverseSecond(rotationOnly, a, b);
        PxV3Set(expected[3], 7.0, 8.0, 9.0);
        EXPECT_TRUE(Near(rotationOnly[0], expected[0], 16, 1e-12));

        // Euler angles round trip away from gimbal lock; at it the whole turn
        // goes into c and the angles still rebuild the matrix. The Euler
        // matrix is X(a) Y(-b) Z(c) of the elementary rotations.
        const bool locked = trial % 10 == 5;
        const PxReal e[3] = {rng.uniform(-3.1, 3.1),
                             locked ? (trial % 20 == 5 ? kPi : -kPi) / 2 : rng.uniform(-1.55, 1.55),
                             rng.uniform(-3.1, 3.1)};
        PxMatrix3 m, rx, ry, rz, rxy, elementary, rebuilt;
        PxVector3 angles, fromTM;
        PxMatrix3FromEulerAngles(m, e[0], e[1], e[2]);
        EXPECT_TRUE(PxMatrix3IsValidOrientationMatrix(m, 1e-12));
        PxMatrix3GetEulerAngles(m, angles);
        const PxVector3 lockedAngles = {0.0, e[1], angles[2]};
        EXPECT_TRUE(Near(angles, locked ? lockedAngles : e, 3, 1e-11)) << trial;
        PxMatrix3FromEulerAngles(rebuilt, angles[0], angles[1], angles[2]);
        EXPECT_TRUE(Near(rebuilt[0], m[0], 9, 1e-12));
        PxMatrix3MakeRotationX(rx, e[0]);
        PxMatrix3MakeRotationY(ry, -e[1]);
        PxMatrix3MakeRotationZ(rz, e[2]);
        PxM3Mul(rxy, rx, ry);
        PxM3Mul(elementary, rxy, rz);
        EXPECT_TRUE(Near(elementary[0], m[0], 9, 1e-14));
        PxM4Identity(a);
        for (int i = 0; i < 3; ++i) std::memcpy(a[i], m[i], sizeof m[i]);
        PxMatrix4TMGetEulerAngles(a, fromTM);
        EXPECT_TRUE(Near(fromTM, angles, 3, 0.0));
    }
}

TEST(Quaternion, FiniteRotationForRotationAndSlerpAgreeWithTheGeometry)
{
    Rng rng;
    for (int trial = 0; trial < 300; ++trial) {
        // One step of the velocity update turns like the finite rotation.
        PxQuaternion q, q1, out;
        PxVector3 t, v, w, expectedT;
        rng.normal(q, 4);
        rng.vector(t, 10.0);
        rng.vector(v, 2.0);
        rng.vector(w, 4.0);
        const PxReal h = rng.uniform(0.001, 0.5);
        PxMatrix4 tm, predicted;
        MakeTM(tm, q, t);
        PxMatrix4TMUpdateFromVelocities(predicted, 1e-4, h, v, w, tm);
        EXPECT_TRUE(PxMatrix4IsTM(predicted, 1e-12));
        PxV3AddScaled(expectedT, tm[3], v, h);
        EXPECT_TRUE(Near(predicted[3], expectedT, 3, 1e-14));
        PxQuaternionFiniteRotation(q, w, h);
        const PxReal one = 1.0, norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
        EXPECT_TRUE(Near(&norm, &one, 1, 1e-13));
        PxMatrix3 fromQuaternion;
        PxQuaternionToMatrix3(fromQuaternion, q);
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(Near(predicted[i], fromQuaternion[i], 3, 1e-11));

        // The rotation taking a to b turns a into b about an axis normal to both.
        // Also a direction onto itself and onto its opposite (no axis of their own).
        PxVector3 a, b, turned;
        rng.normal(a, 3);
        rng.normal(b, 3);
        const PxReal exact[3][3] = {{1.0, 0.0, 0.0}, {0.0, -1.0, 0.0}, {0.6, 0.0, 0.8}}; // a.b is exactly 1 or -1
        if (trial % 10 < 2) PxV3Copy(a, exact[trial % 3]);
        if (trial % 10 < 3) PxV3Scale(b, a, trial % 10 ? -1.0 : 1.0); // the third: any direction's opposite
        PxQuaternionForRotation(out, a, b);
        RotateByQuaternion(turned, out, a);
        EXPECT_TRUE(Near(turned, b, 3, 1e-12));
        EXPECT_LT(std::fabs(out[1] * a[0] + out[2] * a[1] + out[3] * a[2]), 1e-12);
        const PxVector3 axb = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        PxV3Cross(turned, a, b);
        EXPECT_TRUE(Near(turned, axb, 3, 1e-15));

        rng.normal(q1, 4);
        PxQuaternionSlerp(out, q, q1, 0.0);
        EXPECT_TRUE(SameRotation(out, q, 1e-12));
        PxQuaternionSlerp(out, q, q1, 1.0);
        EXPECT_TRUE(SameRotation(out, q1, 1e-12));
    }
}

TEST(Quaternion, SlerpTakesTheShortWaySlowTurnsAreCopiedAndBadRotationsAreNoOrientations)
{
    const PxVector3 x = {1.0, 0.0, 0.0};
    const PxQuaternion identity = {1.0, 0.0, 0.0, 0.0};
    PxQuaternion q;
    PxMatrix4 tm, predicted;
    // Identity to 1.2 rad about y: halfway is 0.6 rad, also when the target
    // is given as -q.
    const PxQuaternion turn = {std::cos(0.6), 0.0, std::sin(0.6), 0.0}, negated = {-turn[0], 0.0, -turn[2], 0.0};
    const PxQuaternion halfway = {std::cos(0.3), 0.0, std::sin(0.3), 0.0};
    for (const PxReal *target : {turn, negated}) {
        PxQuaternionSlerp(q, identity, target, 0.5);
        EXPECT_TRUE(SameRotation(q, halfway, 1e-14));
    }
    // Close quaternions interpolate linearly.
    const PxQuaternion near = {std::cos(0.1), std::sin(0.1), 0.0, 0.0},
                       linear = {0.5 + 0.5 * near[0], 0.5 * near[1], 0, 0};
    PxQuaternionSlerp(q, identity, near, 0.5);
    EXPECT_TRUE(SameRotation(q, linear, 1e-15));
    // Below the tolerance the rotation is copied unchanged.
    PxM4Identity(tm);
    const PxVector3 slow = {1e-5, 0.0, 0.0}, fast = {0.0, 3.0, 0.0};
    PxMatrix4TMUpdateFromVelocities(predicted, 1e-4, 0.1, x, slow, tm);
    EXPECT_TRUE(Near(predicted[0], tm[0], 12, 0.0));
    PxMatrix4TMUpdateFromVelocities(predicted, 1e-4, 5e-5, x, fast, tm);
    EXPECT_TRUE(Near(predicted[0], tm[0], 12, 0.0));
    // A scaled rotation or a reflection is no orientation; a TM's translation is free.
    tm[3][3] = 1.0001;
    EXPECT_TRUE(!PxMatrix4IsTM(tm, 1e-5) && PxMatrix4IsTM(tm, 1e-3));
    tm[3][3] = 1.0;
    tm[3][0] = 123.0;
    EXPECT_TRUE(PxMatrix4IsTM(tm, 1e-14) && !PxMatrix4IsIdentity(tm, 1e-14));
    PxMatrix3 m;
    PxM3Identity(m);
    m[1][1] = 1.0 + 1e-8;
    EXPECT_TRUE(PxMatrix3IsIdentity(m, 1e-7) && !PxMatrix3IsIdentity(m, 1e-9));
    m[1][1] = 1.0;
    m[2][2] = -1.0;
    EXPECT_FALSE(PxMatrix3IsValidOrientationMatrix(m, 1e-5));
}

TEST(Matrix, InversionByCofactorsAndTheSingularCase)
{
    Rng rng;
    PxMatrix3 identity;
    PxM3Identity(identity);
    for (int trial = 0; trial < 200; ++trial) {
        PxMatrix3 m, inverse, product, inertia, transposed, rowInverse;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) m[i][j] = rng.uniform(-1.0, 1.0) + (i == j ? 3.0 : 0.0);
        std::memcpy(inverse, m, sizeof m);
        ASSERT_EQ(PxMatrix3Invert(inverse), 1);
        PxM3Mul(product, m, inverse);
        EXPECT_TRUE(Near(product[0], identity[0], 9, 1e-13));
        // A symmetric positive definite tensor through the 3x4 variant.
        PxM3Transpose(transposed, m);
        PxM3Mul(inertia, m, transposed);
        PxReal rows[3][4];
        PxMatrix3InvertTo3x4(inertia, rows[0], rows[1], rows[2]);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(rows[i][3], 0.0);
            std::memcpy(rowInverse[i], rows[i], sizeof rowInverse[i]);
        }
        PxM3Mul(product, inertia, rowInverse);
        EXPECT_TRUE(Near(product[0], identity[0], 9, 1e-12));
    }
    PxMatrix3 singular = {{1e-13, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}, copy;
    std::memcpy(copy, singular, sizeof singular);
    EXPECT_EQ(PxMatrix3Invert(singular), 0);
    EXPECT_TRUE(Near(copy[0], singular[0], 9, 0.0)) << "a singular matrix is left unchanged";
    PxMatrix3 rankTwo = {{1.0, 2.0, 3.0}, {2.0, 4.0, 6.0}, {0.0, 1.0, 1.0}};
    EXPECT_EQ(PxMatrix3Invert(rankTwo), 0);
    PxMatrix3 justRegular = {{1e-11, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    EXPECT_EQ(PxMatrix3Invert(justRegular), 1);
}

// Growing keeps every entry where it was (the bridge's response table
// proves that); here what failure and a bad side leave.
TEST(Matrix, SymmetricTableResizeFreesTheOldTableOrKeepsItWhenAllocationFails)
{
    CountingAllocator counter;
    int *table = static_cast<int *>(PxSymUpperDiagonalResize(2, 0, static_cast<int>(sizeof(int)), nullptr));
    ASSERT_NE(table, nullptr);
    table[2] = 102; // (1, 1)
    table = static_cast<int *>(PxSymUpperDiagonalResize(3, 2, static_cast<int>(sizeof(int)), table));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[3], 102) << "(1, 1) of a side of 3";
    EXPECT_EQ(CountingAllocator::state().destroys, 1) << "the old table is freed";
    counter.failFromNowOn();
    EXPECT_EQ(PxSymUpperDiagonalResize(9, 3, static_cast<int>(sizeof(int)), table), nullptr);
    EXPECT_EQ(table[3], 102) << "the old table is kept when allocation fails";
    CountingAllocator::state().failAfter = -1;
    EXPECT_EQ(PxSymUpperDiagonalResize(0, 3, static_cast<int>(sizeof(int)), table), nullptr)
        << "a side of 0 is refused";
    PxMemoryAPI.destroy(table);
}

TEST(Colour, HSVSectorsGiveThePrimaryAndSecondaryMixtures)
{
    struct Case {
        float h, s, v, rgb[3];
    };
    const Case cases[] = {{0.0f, 1, 1, {1.0f, 0.0f, 0.0f}},
                          {30.0f, 1, 1, {1.0f, 0.5f, 0.0f}},
                          {90.0f, 1, 1, {0.5f, 1.0f, 0.0f}},
                          {150.0f, 1, 1, {0.0f, 1.0f, 0.5f}},
                          {210.0f, 1, 1, {0.0f, 0.5f, 1.0f}},
                          {270.0f, 1, 1, {0.5f, 0.0f, 1.0f}},
                          {330.0f, 1, 1, {1.0f, 0.0f, 0.5f}},
                          {200.0f, 0.0f, 0.25f, {0.25f, 0.25f, 0.25f}},
                          // p = 0.4, q = 0.8 (1 - 0.5 * 0.5) = 0.6
                          {90.0f, 0.5f, 0.8f, {0.6f, 0.8f, 0.4f}}};
    for (const Case &c : cases) {
        float rgb[3];
        PxHSVtoRGB(c.h, c.s, c.v, rgb);
        for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(rgb[i], c.rgb[i]) << "h = " << c.h << " channel " << i;
    }
}
