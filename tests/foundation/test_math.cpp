// Transforms, matrices and quaternions, checked by geometric properties
// under seeded random poses and against independent formulas.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <random>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;

namespace {

const PxReal kPi = std::acos(-1.0);

// The TM with rotation r and the given translation.
void MakeTM(PxMatrix4 tm, const PxMatrix3 r, PxReal x = 0.0, PxReal y = 0.0, PxReal z = 0.0)
{
    PxM4Identity(tm);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) tm[i][j] = r[i][j];
    PxV3Set(tm[3], x, y, z);
}

struct Rng {
    std::mt19937 engine{20240611u};
    PxReal uniform(PxReal lo, PxReal hi) { return std::uniform_real_distribution<PxReal>(lo, hi)(engine); }
    void unitQuaternion(PxQuaternion q)
    {
        std::normal_distribution<PxReal> normal;
        PxReal n2 = 0.0;
        for (int i = 0; i < 4; ++i) {
            q[i] = normal(engine);
            n2 += q[i] * q[i];
        }
        for (int i = 0; i < 4; ++i) q[i] /= std::sqrt(n2);
    }
    void unitVector(PxVector3 v)
    {
        std::normal_distribution<PxReal> normal;
        PxV3Set(v, normal(engine), normal(engine), normal(engine));
        PxV3Normalize(v);
    }
    void vector(PxVector3 v, PxReal range)
    {
        PxV3Set(v, uniform(-range, range), uniform(-range, range), uniform(-range, range));
    }
    // A random rigid transform.
    void tm(PxMatrix4 m)
    {
        PxQuaternion q;
        unitQuaternion(q);
        PxMatrix3 r;
        PxQuaternionToMatrix3(r, q);
        const PxReal x = uniform(-10.0, 10.0), y = uniform(-10.0, 10.0), z = uniform(-10.0, 10.0);
        MakeTM(m, r, x, y, z);
    }
};

// Rotation of v by the unit quaternion q in the standard (column-vector)
// sense: v' = v + 2w (u x v) + 2 u x (u x v), u the vector part.
void RotateByQuaternion(PxVector3 out, const PxQuaternion q, const PxVector3 v)
{
    PxVector3 u, uxv, uxuxv;
    PxV3Set(u, q[1], q[2], q[3]);
    PxV3Cross(uxv, u, v);
    PxV3Cross(uxuxv, u, uxv);
    for (int i = 0; i < 3; ++i) out[i] = v[i] + 2.0 * q[0] * uxv[i] + 2.0 * uxuxv[i];
}

// Element-wise comparison of two N x N matrices.
template <int N>::testing::AssertionResult NearMatrix(const PxReal a[N][N], const PxReal b[N][N], PxReal tol)
{
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
            if (std::fabs(a[i][j] - b[i][j]) > tol)
                return ::testing::AssertionFailure() << "[" << i << "][" << j << "] " << a[i][j] << " vs " << b[i][j];
    return ::testing::AssertionSuccess();
}
const auto Near3 = NearMatrix<3>;
const auto Near4 = NearMatrix<4>;

::testing::AssertionResult NearV(const PxVector3 a, const PxVector3 b, PxReal tol)
{
    for (int i = 0; i < 3; ++i)
        if (std::fabs(a[i] - b[i]) > tol)
            return ::testing::AssertionFailure() << "(" << a[0] << ", " << a[1] << ", " << a[2] << ") vs (" << b[0]
                                                 << ", " << b[1] << ", " << b[2] << ")";
    return ::testing::AssertionSuccess();
}

// q and -q are the same rotation.
::testing::AssertionResult SameRotation(const PxQuaternion a, const PxQuaternion b, PxReal tol)
{
    PxReal plus = 0.0, minus = 0.0;
    for (int i = 0; i < 4; ++i) {
        plus = std::fmax(plus, std::fabs(a[i] - b[i]));
        minus = std::fmax(minus, std::fabs(a[i] + b[i]));
    }
    if (std::fmin(plus, minus) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a[0] << ", " << a[1] << ", " << a[2] << ", " << a[3] << ") vs ("
                                         << b[0] << ", " << b[1] << ", " << b[2] << ", " << b[3] << ")";
}

void RotationOf(PxMatrix3 r, const PxMatrix4 tm)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = tm[i][j];
}

// Expected values written in place.
std::array<PxReal, 3> V3(PxReal x, PxReal y, PxReal z)
{
    return {x, y, z};
}
std::array<PxReal, 4> Q4(PxReal w, PxReal x, PxReal y, PxReal z)
{
    return {w, x, y, z};
}
::testing::AssertionResult NearV(const PxVector3 a, const std::array<PxReal, 3> &b, PxReal tol)
{
    return NearV(a, b.data(), tol);
}
::testing::AssertionResult SameRotation(const PxQuaternion a, const std::array<PxReal, 4> &b, PxReal tol)
{
    return SameRotation(a, b.data(), tol);
}

PxReal WrapAngle(PxReal a)
{
    return std::atan2(std::sin(a), std::cos(a));
}

} // namespace

TEST(Transform, AChildTranslatedAlongZSitsAtTheParentOriginPlusTheParentZAxis)
{
    PxMatrix4 parent, child, world;
    PxMatrix3 r;
    PxMatrix3MakeRotationX(r, kPi / 2); // as TM rows: x = (1,0,0), y = (0,0,-1), z = (0,1,0)
    MakeTM(parent, r, 1.0, 2.0, 3.0);
    PxM4Identity(child);
    child[3][2] = 1.0;
    PxMatrix4TMCompound(world, parent, child);
    PxVector3 expected;
    PxV3Add(expected, parent[3], parent[2]);
    EXPECT_TRUE(NearV(world[3], expected, 1e-15));
    EXPECT_TRUE(NearV(world[3], V3(1.0, 3.0, 3.0), 1e-15));

    PxMatrix3MakeRotationZ(r, kPi / 2);
    MakeTM(parent, r, 1.0, 2.0, 3.0);
    PxMatrix4TMCompound(world, parent, child);
    EXPECT_TRUE(NearV(world[3], V3(1.0, 2.0, 4.0), 1e-15));
}

TEST(Transform, CompoundAppliesTheSecondFirstAndInversesUndoIt)
{
    Rng rng;
    for (int trial = 0; trial < 200; ++trial) {
        PxMatrix4 a, b, ab, identity;
        rng.tm(a);
        rng.tm(b);
        PxM4Identity(identity);
        PxMatrix4TMCompound(ab, a, b);
        EXPECT_TRUE(PxMatrix4IsTM(ab, 1e-12));

        PxVector3 p, viaB, twoSteps, oneStep;
        rng.vector(p, 5.0);
        PxV3MulTM(viaB, p, b);
        PxV3MulTM(twoSteps, viaB, a);
        PxV3MulTM(oneStep, p, ab);
        EXPECT_TRUE(NearV(oneStep, twoSteps, 1e-12));

        PxMatrix4 inverse, shouldBeIdentity;
        PxM4Copy(inverse, a);
        PxMatrix4TMInvert(inverse);
        PxMatrix4TMCompound(shouldBeIdentity, a, inverse);
        EXPECT_TRUE(Near4(shouldBeIdentity, identity, 1e-13));
        PxMatrix4TMCompound(shouldBeIdentity, inverse, a);
        EXPECT_TRUE(Near4(shouldBeIdentity, identity, 1e-13));

        PxMatrix4 twice;
        PxM4Copy(twice, inverse);
        PxMatrix4TMInvert(twice);
        EXPECT_TRUE(Near4(twice, a, 1e-13));

        // a o b^-1 equals compounding with the inverted b; the rotation-only
        // variant leaves the translation of its output alone.
        PxMatrix4 bInverse, expected, direct, rotationOnly;
        PxM4Copy(bInverse, b);
        PxMatrix4TMInvert(bInverse);
        PxMatrix4TMCompound(expected, a, bInverse);
        PxMatrix4TMCompoundInverseSecond(direct, a, b);
        EXPECT_TRUE(Near4(direct, expected, 1e-12));
        PxM4Identity(rotationOnly);
        PxV3Set(rotationOnly[3], 7.0, 8.0, 9.0);
        PxMatrix4TMCompoundRotationInverseSecond(rotationOnly, a, b);
        PxV3Copy(expected[3], rotationOnly[3]);
        EXPECT_TRUE(Near4(rotationOnly, expected, 1e-12));
        EXPECT_TRUE(NearV(rotationOnly[3], V3(7.0, 8.0, 9.0), 0.0));
    }
}

TEST(Transform, EulerAnglesRoundTripAwayFromGimbalLock)
{
    Rng rng;
    for (int trial = 0; trial < 500; ++trial) {
        const PxReal a = rng.uniform(-3.1, 3.1), b = rng.uniform(-1.55, 1.55), c = rng.uniform(-3.1, 3.1);
        PxMatrix3 m;
        PxMatrix3FromEulerAngles(m, a, b, c);
        EXPECT_TRUE(PxMatrix3IsValidOrientationMatrix(m, 1e-12));
        PxVector3 angles;
        PxMatrix3GetEulerAngles(m, angles);
        EXPECT_TRUE(NearV(angles, V3(a, b, c), 1e-11));

        PxMatrix4 tm;
        MakeTM(tm, m);
        PxVector3 fromTM;
        PxMatrix4TMGetEulerAngles(tm, fromTM);
        EXPECT_TRUE(NearV(fromTM, angles, 0.0));

        // The Euler matrix is X(a) Y(-b) Z(c) of the elementary rotations.
        PxMatrix3 rx, ry, rz, rxy, product;
        PxMatrix3MakeRotationX(rx, a);
        PxMatrix3MakeRotationY(ry, -b);
        PxMatrix3MakeRotationZ(rz, c);
        PxM3Mul(rxy, rx, ry);
        PxM3Mul(product, rxy, rz);
        EXPECT_TRUE(Near3(product, m, 1e-14));
    }
}

TEST(Transform, AtGimbalLockEulerExtractionPutsTheWholeTurnInC)
{
    Rng rng;
    for (int trial = 0; trial < 50; ++trial) {
        const PxReal a = rng.uniform(-1.5, 1.5), c = rng.uniform(-1.5, 1.5);
        PxMatrix3 m;
        PxVector3 angles;
        PxMatrix3FromEulerAngles(m, a, kPi / 2, c);
        PxMatrix3GetEulerAngles(m, angles);
        EXPECT_TRUE(NearV(angles, V3(0.0, kPi / 2, WrapAngle(a + c)), 1e-12));
        PxMatrix3FromEulerAngles(m, a, -kPi / 2, c);
        PxMatrix3GetEulerAngles(m, angles);
        EXPECT_TRUE(NearV(angles, V3(0.0, -kPi / 2, WrapAngle(c - a)), 1e-12));
        // Either way the angles rebuild the same matrix.
        PxMatrix3 rebuilt;
        PxMatrix3FromEulerAngles(rebuilt, angles[0], angles[1], angles[2]);
        EXPECT_TRUE(Near3(rebuilt, m, 1e-12));
    }
}

TEST(Quaternion, TMQuaternionRoundTripsAndRotatesLikeTheTM)
{
    Rng rng;
    for (int trial = 0; trial < 500; ++trial) {
        PxQuaternion q, back;
        rng.unitQuaternion(q);
        PxMatrix4 tm;
        PxMatrix3 r;
        PxQuaternionToMatrix3(r, q);
        MakeTM(tm, r);
        EXPECT_TRUE(PxMatrix4IsTM(tm, 1e-12));
        PxQuaternionFromTM(back, tm);
        EXPECT_TRUE(SameRotation(back, q, 1e-12));

        // A point carried by the TM (p R) turns as q turns it.
        PxVector3 p, byTM, byQuaternion;
        rng.vector(p, 3.0);
        PxV3MulTMDir(byTM, p, tm);
        RotateByQuaternion(byQuaternion, q, p);
        EXPECT_TRUE(NearV(byTM, byQuaternion, 1e-12));
    }

    PxMatrix4 tm;
    PxQuaternion q;
    PxM4Identity(tm);
    PxQuaternionFromTM(q, tm);
    EXPECT_TRUE(SameRotation(q, Q4(1.0, 0.0, 0.0, 0.0), 0.0));
    // Half turns have trace -1 and take the largest-diagonal branch.
    const PxQuaternion halfTurns[3] = {{0.0, 1.0, 0.0, 0.0}, {0.0, 0.0, 1.0, 0.0}, {0.0, 0.0, 0.0, 1.0}};
    for (int axis = 0; axis < 3; ++axis) {
        PxMatrix3 halfTurn = {{-1.0, 0.0, 0.0}, {0.0, -1.0, 0.0}, {0.0, 0.0, -1.0}};
        halfTurn[axis][axis] = 1.0;
        MakeTM(tm, halfTurn);
        PxQuaternionFromTM(q, tm);
        EXPECT_TRUE(SameRotation(q, halfTurns[axis], 1e-15)) << "half turn about axis " << axis;
    }
    PxMatrix3 rx;
    PxMatrix3MakeRotationX(rx, kPi);
    MakeTM(tm, rx);
    PxQuaternionFromTM(q, tm);
    EXPECT_TRUE(SameRotation(q, halfTurns[0], 1e-15));
}

TEST(Quaternion, FiniteRotationTurnsAboutTheWorldAxisAndMatchesTheVelocityUpdate)
{
    // A quarter turn about world z carries the body x axis to world y.
    PxQuaternion q = {1.0, 0.0, 0.0, 0.0};
    const PxVector3 quarterTurnZ = {0.0, 0.0, kPi / 2};
    PxQuaternionFiniteRotation(q, quarterTurnZ, 1.0);
    PxVector3 x = {1.0, 0.0, 0.0}, turned;
    RotateByQuaternion(turned, q, x);
    EXPECT_TRUE(NearV(turned, V3(0.0, 1.0, 0.0), 1e-13));

    Rng rng;
    for (int trial = 0; trial < 300; ++trial) {
        PxMatrix4 tm, predicted;
        rng.tm(tm);
        PxVector3 v, w;
        rng.vector(v, 2.0);
        rng.vector(w, 4.0);
        const PxReal h = rng.uniform(0.001, 0.5);
        PxMatrix4TMUpdateFromVelocities(predicted, 1e-4, h, v, w, tm);
        EXPECT_TRUE(PxMatrix4IsTM(predicted, 1e-12));
        PxVector3 expectedT;
        PxV3AddScaled(expectedT, tm[3], v, h);
        EXPECT_TRUE(NearV(predicted[3], expectedT, 1e-14));

        PxQuaternion integrated;
        PxQuaternionFromTM(integrated, tm);
        PxQuaternionFiniteRotation(integrated, w, h);
        const PxReal norm = std::sqrt(integrated[0] * integrated[0] + integrated[1] * integrated[1] +
                                      integrated[2] * integrated[2] + integrated[3] * integrated[3]);
        EXPECT_NEAR(norm, 1.0, 1e-13);
        PxMatrix3 fromQuaternion, fromUpdate;
        PxQuaternionToMatrix3(fromQuaternion, integrated);
        RotationOf(fromUpdate, predicted);
        EXPECT_TRUE(Near3(fromUpdate, fromQuaternion, 1e-11));
    }

    // Below the tolerance the rotation is copied unchanged.
    PxMatrix4 tm, predicted;
    rng.tm(tm);
    PxVector3 v = {1.0, 2.0, 3.0}, slow = {1e-5, 0.0, 0.0}, fast = {0.0, 3.0, 0.0};
    PxMatrix3 before, after;
    RotationOf(before, tm);
    PxMatrix4TMUpdateFromVelocities(predicted, 1e-4, 0.1, v, slow, tm);
    RotationOf(after, predicted);
    EXPECT_TRUE(Near3(after, before, 0.0));
    PxMatrix4TMUpdateFromVelocities(predicted, 1e-4, 5e-5, v, fast, tm);
    RotationOf(after, predicted);
    EXPECT_TRUE(Near3(after, before, 0.0));
    PxVector3 zero = {0.0, 0.0, 0.0};
    PxQuaternion unchanged = {0.5, 0.5, 0.5, 0.5};
    PxQuaternionFiniteRotation(unchanged, zero, 1.0);
    EXPECT_TRUE(SameRotation(unchanged, Q4(0.5, 0.5, 0.5, 0.5), 0.0));
}

TEST(Quaternion, ForRotationTurnsAIntoBIncludingParallelAndOpposite)
{
    Rng rng;
    for (int trial = 0; trial < 300; ++trial) {
        PxVector3 a, b, turned;
        rng.unitVector(a);
        rng.unitVector(b);
        PxQuaternion q;
        PxQuaternionForRotation(q, a, b);
        RotateByQuaternion(turned, q, a);
        EXPECT_TRUE(NearV(turned, b, 1e-12));
        // The axis is a x b: perpendicular to both.
        PxVector3 axis = {q[1], q[2], q[3]};
        EXPECT_NEAR(PxV3Dot(axis, a), 0.0, 1e-12);
        EXPECT_NEAR(PxV3Dot(axis, b), 0.0, 1e-12);
    }

    const PxReal directions[4][3] = {{1.0, 0.0, 0.0}, {0.0, 0.0, 1.0}, {0.0, 0.0, -1.0}, {0.6, 0.0, 0.8}};
    for (const auto &d : directions) {
        PxVector3 a = {d[0], d[1], d[2]}, minusA, turned;
        PxV3Scale(minusA, a, -1.0);
        PxQuaternion q;
        PxQuaternionForRotation(q, a, a);
        EXPECT_TRUE(SameRotation(q, Q4(1.0, 0.0, 0.0, 0.0), 0.0));
        PxQuaternionForRotation(q, a, minusA);
        EXPECT_EQ(q[0], 0.0) << "a half turn";
        PxVector3 axis = {q[1], q[2], q[3]};
        EXPECT_NEAR(PxV3Length(axis), 1.0, 1e-15);
        EXPECT_NEAR(PxV3Dot(axis, a), 0.0, 1e-15);
        RotateByQuaternion(turned, q, a);
        EXPECT_TRUE(NearV(turned, minusA, 1e-15));
    }
}

TEST(Quaternion, SlerpHitsItsEndpointsAndHalvesTheAngle)
{
    Rng rng;
    for (int trial = 0; trial < 200; ++trial) {
        PxQuaternion q0, q1, out;
        rng.unitQuaternion(q0);
        rng.unitQuaternion(q1);
        PxQuaternionSlerp(out, q0, q1, 0.0);
        EXPECT_TRUE(SameRotation(out, q0, 1e-12));
        PxQuaternionSlerp(out, q0, q1, 1.0);
        EXPECT_TRUE(SameRotation(out, q1, 1e-12));
    }
    // Identity to a turn of 1.2 rad about y: halfway is 0.6 rad about y.
    const PxQuaternion identity = {1.0, 0.0, 0.0, 0.0};
    const PxQuaternion turn = {std::cos(0.6), 0.0, std::sin(0.6), 0.0};
    PxQuaternion half;
    PxQuaternionSlerp(half, identity, turn, 0.5);
    EXPECT_TRUE(SameRotation(half, Q4(std::cos(0.3), 0.0, std::sin(0.3), 0.0), 1e-14));
    // The same target given as -q takes the same short way.
    const PxQuaternion negated = {-turn[0], -turn[1], -turn[2], -turn[3]};
    PxQuaternionSlerp(half, identity, negated, 0.5);
    EXPECT_TRUE(SameRotation(half, Q4(std::cos(0.3), 0.0, std::sin(0.3), 0.0), 1e-14));
    // Close quaternions interpolate linearly (no renormalisation).
    const PxQuaternion near = {std::cos(0.1), std::sin(0.1), 0.0, 0.0};
    PxQuaternionSlerp(half, identity, near, 0.5);
    EXPECT_TRUE(SameRotation(half, Q4(0.5 + 0.5 * near[0], 0.5 * near[1], 0.0, 0.0), 1e-15));
}

TEST(Matrix, IdentityAndTMChecksUseRelativeTolerances)
{
    PxMatrix4 tm;
    PxM4Identity(tm);
    EXPECT_TRUE(PxMatrix4IsTM(tm, 1e-14));
    EXPECT_TRUE(PxMatrix4IsIdentity(tm, 1e-14));
    tm[3][3] = 1.0001;
    EXPECT_FALSE(PxMatrix4IsTM(tm, 1e-5));
    EXPECT_TRUE(PxMatrix4IsTM(tm, 1e-3));
    tm[3][3] = 1.0;
    tm[0][3] = 1e-6;
    EXPECT_FALSE(PxMatrix4IsTM(tm, 1e-7));
    EXPECT_TRUE(PxMatrix4IsTM(tm, 1e-5));
    tm[0][3] = 0.0;
    tm[3][0] = 123.0; // translation is free
    EXPECT_TRUE(PxMatrix4IsTM(tm, 1e-14));
    EXPECT_FALSE(PxMatrix4IsIdentity(tm, 1e-14));

    PxMatrix3 m;
    PxM3Identity(m);
    m[1][1] = 1.0 + 1e-8;
    EXPECT_TRUE(PxMatrix3IsIdentity(m, 1e-7));
    EXPECT_FALSE(PxMatrix3IsIdentity(m, 1e-9));
    m[1][1] = 1.0;
    m[0][2] = 1e-9;
    EXPECT_TRUE(PxMatrix3IsIdentity(m, 1e-7)) << "tiny off-diagonal elements pass";
    EXPECT_FALSE(PxMatrix3IsIdentity(m, 1e-10));

    // A scaled rotation is not an orientation; a reflection neither.
    PxMatrix3MakeRotationY(m, 0.4);
    EXPECT_TRUE(PxMatrix3IsValidOrientationMatrix(m, 1e-14));
    for (int j = 0; j < 3; ++j) m[0][j] *= 1.001;
    EXPECT_FALSE(PxMatrix3IsValidOrientationMatrix(m, 1e-5));
    PxM3Identity(m);
    m[2][2] = -1.0;
    EXPECT_FALSE(PxMatrix3IsValidOrientationMatrix(m, 1e-5));
}

TEST(Matrix, InversionByCofactorsAndTheSingularCase)
{
    Rng rng;
    for (int trial = 0; trial < 200; ++trial) {
        PxMatrix3 m, inverse, product, identity;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) m[i][j] = rng.uniform(-1.0, 1.0) + (i == j ? 3.0 : 0.0);
        std::memcpy(inverse, m, sizeof m);
        ASSERT_EQ(PxMatrix3Invert(inverse), 1);
        PxM3Mul(product, m, inverse);
        PxM3Identity(identity);
        EXPECT_TRUE(Near3(product, identity, 1e-13));

        // A symmetric positive definite tensor through the 3x4 variant.
        PxMatrix3 inertia, transposed;
        PxM3Transpose(transposed, m);
        PxM3Mul(inertia, m, transposed);
        PxReal rows[3][4];
        PxMatrix3InvertTo3x4(inertia, rows[0], rows[1], rows[2]);
        PxMatrix3 rowInverse;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(rows[i][3], 0.0);
            for (int j = 0; j < 3; ++j) rowInverse[i][j] = rows[i][j];
        }
        PxM3Mul(product, inertia, rowInverse);
        EXPECT_TRUE(Near3(product, identity, 1e-12));
    }

    PxMatrix3 singular = {{1e-13, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    PxMatrix3 copy;
    std::memcpy(copy, singular, sizeof singular);
    EXPECT_EQ(PxMatrix3Invert(singular), 0);
    EXPECT_EQ(std::memcmp(copy, singular, sizeof singular), 0) << "a singular matrix is left unchanged";
    PxMatrix3 rankTwo = {{1.0, 2.0, 3.0}, {2.0, 4.0, 6.0}, {0.0, 1.0, 1.0}};
    EXPECT_EQ(PxMatrix3Invert(rankTwo), 0);
    PxMatrix3 justRegular = {{1e-11, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    EXPECT_EQ(PxMatrix3Invert(justRegular), 1);
    EXPECT_NEAR(justRegular[0][0], 1e11, 1e-3);
}

TEST(Matrix, SymmetricTableResizeCopiesEveryEntryToTheSamePlace)
{
    CountingAllocator counter;
    const int oldN = 3;
    auto index = [](int i, int j, int n) { return i * n + j - i * (i + 1) / 2; };
    int *old = static_cast<int *>(PxMemoryAPI.createZeroed(6 * sizeof(int)));
    ASSERT_NE(old, nullptr);
    for (int i = 0; i < oldN; ++i)
        for (int j = i; j < oldN; ++j) old[index(i, j, oldN)] = 10 * i + j + 1;

    int *grown = static_cast<int *>(PxSymUpperDiagonalResize(5, oldN, static_cast<int>(sizeof(int)), old));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(CountingAllocator::state().zeroedCreates, 2) << "the new table comes zeroed";
    EXPECT_EQ(CountingAllocator::state().destroys, 1) << "the old table is freed";
    for (int i = 0; i < 5; ++i)
        for (int j = i; j < 5; ++j) {
            const int expected = (i < oldN && j < oldN) ? 10 * i + j + 1 : 0;
            EXPECT_EQ(grown[index(i, j, 5)], expected) << "(" << i << ", " << j << ")";
        }

    counter.failFromNowOn();
    EXPECT_EQ(PxSymUpperDiagonalResize(9, 5, static_cast<int>(sizeof(int)), grown), nullptr);
    EXPECT_EQ(grown[index(2, 2, 5)], 23) << "the old table is kept when allocation fails";
    PxMemoryAPI.destroy(grown);

    // From nothing: a fresh zeroed table of 2 x 3 / 2 = 3 entries.
    CountingAllocator::state().failAfter = -1;
    int *fresh = static_cast<int *>(PxSymUpperDiagonalResize(2, 0, static_cast<int>(sizeof(int)), nullptr));
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh[0] + fresh[1] + fresh[2], 0);
    EXPECT_EQ(PxSymUpperDiagonalResize(0, 2, static_cast<int>(sizeof(int)), fresh), nullptr)
        << "a side of 0 is refused";
    PxMemoryAPI.destroy(fresh);
}

TEST(Colour, HSVSectorsGiveThePrimaryAndSecondaryMixtures)
{
    struct Case {
        float h;
        float rgb[3];
    };
    const Case cases[] = {{0.0f, {1.0f, 0.0f, 0.0f}},   {30.0f, {1.0f, 0.5f, 0.0f}},  {90.0f, {0.5f, 1.0f, 0.0f}},
                          {120.0f, {0.0f, 1.0f, 0.0f}}, {150.0f, {0.0f, 1.0f, 0.5f}}, {210.0f, {0.0f, 0.5f, 1.0f}},
                          {240.0f, {0.0f, 0.0f, 1.0f}}, {270.0f, {0.5f, 0.0f, 1.0f}}, {330.0f, {1.0f, 0.0f, 0.5f}}};
    for (const Case &c : cases) {
        float rgb[3];
        PxHSVtoRGB(c.h, 1.0f, 1.0f, rgb);
        for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(rgb[i], c.rgb[i]) << "h = " << c.h << " channel " << i;
    }
    float rgb[3];
    PxHSVtoRGB(200.0f, 0.0f, 0.25f, rgb);
    EXPECT_TRUE(rgb[0] == 0.25f && rgb[1] == 0.25f && rgb[2] == 0.25f) << "no saturation is grey";
    // Half saturation, value 0.8, h = 90: p = 0.4, q = 0.8 (1 - 0.5 * 0.5) = 0.6.
    PxHSVtoRGB(90.0f, 0.5f, 0.8f, rgb);
    EXPECT_FLOAT_EQ(rgb[0], 0.6f);
    EXPECT_FLOAT_EQ(rgb[1], 0.8f);
    EXPECT_FLOAT_EQ(rgb[2], 0.4f);
}
