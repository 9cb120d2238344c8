// The three integration models on spinning bodies: what their descriptions
// promise, measured.
#include <gtest/gtest.h>

#include <math.h>

#include "solver/RbdLcsBaseFunctions.h"
#include "test_lcs_support.h"

using namespace lcstest;

namespace {

struct SpinDrift {
    PxReal energy;   // largest |KE / KE0 - 1|
    PxReal momentum; // largest |L - L0| / |L0|
    int flips;       // times the middle axis turned over (tumbling)
    bool finite;
    RbdLcsBody body; // at the end
};

PxReal kineticEnergy(const RbdLcsBody &b)
{
    PxVector3 Iw;
    PxV3MulM3(Iw, b.angularVelocity, b.inertiaWorld);
    return 0.5 * (b.mass * PxV3LengthSquared(b.linearVelocity) + PxV3Dot(Iw, b.angularVelocity));
}

// A free body with principal moments 1, 2, 3 spinning at w, stepped
// `steps` times of 10 ms with model `model`.
SpinDrift spin(int model, const PxVector3 w, int steps)
{
    RbdLcsBody body;
    makeBody(body, 1.0, 1.0, 2.0, 3.0);
    PxV3Copy(body.angularVelocity, w);
    RbdLcsParameters p = defaultParameters(0.01);
    p.stepperModel = model;
    GuardedWorkspace ws(RbdLcsMemoryRequired(0, 1));
    ws.bind(p);
    SpinDrift d = {0.0, 0.0, 0, true, body};
    PxReal E0 = kineticEnergy(body);
    PxVector3 L0, L;
    PxV3MulM3(L0, body.angularVelocity, body.inertiaWorld);
    bool up = true;
    for (int step = 0; step < steps; ++step) {
        RbdLcsStep(nullptr, &body, 1, &p);
        PxReal E = kineticEnergy(body);
        if (!isfinite(E) || E > 1e6 * E0) {
            d.finite = false;
            break;
        }
        PxV3MulM3(L, body.angularVelocity, body.inertiaWorld);
        d.energy = fmax(d.energy, fabs(E / E0 - 1.0));
        d.momentum = fmax(d.momentum, PxV3Distance(L, L0) / PxV3Length(L0));
        bool nowUp = body.comTransform[1][1] > 0.0;
        if (nowUp != up) ++d.flips;
        up = nowUp;
    }
    d.body = body;
    return d;
}

// The Hamilton product a b.
void multiply(PxReal out[4], const PxReal a[4], const PxReal b[4])
{
    out[0] = a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3];
    out[1] = a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2];
    out[2] = a[0] * b[2] + a[2] * b[0] + a[3] * b[1] - a[1] * b[3];
    out[3] = a[0] * b[3] + a[3] * b[0] + a[1] * b[2] - a[2] * b[1];
}

TEST(LcsModels, TheStableModelKeepsATumblingBodysEnergyAndMomentumBoundedAndFastTumblersFinite)
{
    // 1 rad/s about the middle axis (slightly perturbed), 10,000 steps (100 s).
    const PxVector3 slow = {0.01, 1.0, 0.01}, fast = {0.01, 10.0, 0.01};
    SpinDrift stable = spin(RBD_LCS_STABLE_STEPPER, slow, 10000);
    ASSERT_TRUE(stable.finite);
    EXPECT_LT(stable.energy, 0.07) << "kinetic energy within 7%";
    EXPECT_LT(stable.momentum, 0.04) << "angular momentum within 4%";
    EXPECT_GE(stable.flips, 4) << "with the gyroscopic torque the middle axis tumbles, as it physically must";
    // The simple model's extra half step of gyroscopic torque lets the
    // angular momentum wander ten times as far.
    SpinDrift simple = spin(RBD_LCS_SIMPLE_STEPPER, slow, 10000);
    ASSERT_TRUE(simple.finite);
    EXPECT_GT(simple.momentum, 10.0 * stable.momentum);
    EXPECT_GT(simple.energy, stable.energy);
    // At 10 rad/s the explicit gyroscopic torque of the simple and vintage
    // models feeds energy in until the body blows up; the stable model's
    // stiffer inverse inertia keeps it finite.
    EXPECT_TRUE(spin(RBD_LCS_STABLE_STEPPER, fast, 10000).finite);
    EXPECT_FALSE(spin(RBD_LCS_SIMPLE_STEPPER, fast, 10000).finite);
    EXPECT_FALSE(spin(RBD_LCS_VINTAGE_STEPPER, fast, 10000).finite);
    // About the largest axis L x w = 0: nothing may change but the turn,
    // 40 rad in 1000 steps, q = (cos 20, 0, 0, sin 20).
    for (int model = 0; model < RBD_LCS_STEPPER_COUNT; ++model) {
        const PxVector3 principal = {0.0, 0.0, 4.0};
        const RbdLcsBody b = spin(model, principal, 1000).body;
        EXPECT_NEAR(b.angularVelocity[2], 4.0, 1e-12) << "model " << model;
        EXPECT_NEAR(fabs(b.quaternion[0]), fabs(cos(20.0)), 1e-9) << "model " << model;
        EXPECT_NEAR(fabs(b.quaternion[3]), fabs(sin(20.0)), 1e-9) << "model " << model;
    }
}

// Each quaternion update turns a body spinning at a constant world rate w
// about w alone. The first-order update q += h/2 (0, w) q, normalised, is
// the rotation by 2 atan(h |w| / 2) per step exactly; the finite-rotation
// updates turn by h |w| per step. With a fast-spin axis (a wheel at 300
// rad/s about its axle while the axle turns at 1 rad/s) the spin is a
// rotation of its own, applied first, and the axle's turn is exact.
TEST(LcsModels, EveryQuaternionUpdateTurnsAConstantSpinAboutItsAxis)
{
    const PxReal h = 0.01, w[3] = {0.3, -1.1, 0.7};
    const PxReal rate = sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    const PxReal q0[4] = {0.5, -0.1, 0.7, sqrt(1.0 - 0.25 - 0.01 - 0.49)};
    lcs::BaseFunctions fn;
    PxReal expected[4];
    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        RbdLcsBody body = {};
        PxV3Copy(body.angularVelocity, w);
        for (int k = 0; k < 4; ++k) body.quaternion[k] = q0[k];
        RbdLcsBody *b = &body;
        for (int n = 0; n < 100; ++n) fn.updateQuaternion(1, &b, h, method);
        const PxReal angle = 100 * (method == 1 ? 2.0 * atan(0.5 * h * rate) : h * rate);
        const PxReal c = cos(0.5 * angle), s = sin(0.5 * angle) / rate;
        const PxReal r[4] = {c, s * w[0], s * w[1], s * w[2]};
        multiply(expected, r, q0);
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(body.quaternion[k], expected[k], 1e-12) << k;
    }
    RbdLcsBody wheel;
    makeBody(wheel, 1.0, 0.5, 0.5, 1.0);
    PxV3Set(wheel.angularVelocity, 0.0, 1.0, 300.0);
    wheel.flags = RBD_LCS_BODY_FAST_SPIN;
    PxV3Set(wheel.fastSpinAxis, 0.0, 0.0, 1.0);
    RbdLcsBody *b = &wheel;
    fn.updateQuaternion(1, &b, 0.01, 2);
    // 3 rad about z, then the remaining 0.01 rad about y.
    const PxReal aboutY[4] = {cos(0.005), 0.0, sin(0.005), 0.0}, aboutZ[4] = {cos(1.5), 0.0, 0.0, sin(1.5)};
    multiply(expected, aboutY, aboutZ);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(wheel.quaternion[k], expected[k], 1e-12) << "fast spin " << k;
}

// The integration visits each body once and runs its stages there; the
// stages read only the body's own record, so the island comes out as from
// one pass over every body per stage, bit for bit: every body moved once,
// none skipped, the stages in order, the gyroscopic step only when asked.
class IntegrateBodies : public ::testing::TestWithParam<double> {};

TEST_P(IntegrateBodies, EqualsOnePassPerStage)
{
    const PxReal h = 0.01, gyroscopicStep = GetParam() * h;
    std::mt19937 rng(17);
    std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
    const int count = 11; // more than the read-ahead distance on both sides
    std::vector<RbdLcsBody> fused(count);
    lcs::BaseFunctions fn;
    for (int k = 0; k < count; ++k) {
        RbdLcsBody &b = fused[k];
        makeBody(b, 1.0 + 0.5 * u(rng), 1.0 + 0.5 * u(rng), 2.0 + 0.5 * u(rng), 3.0 + 0.5 * u(rng));
        PxReal *vectors[] = {b.linearVelocity, b.angularVelocity, b.linearAcceleration, b.angularAcceleration,
                             b.comTransform[3]};
        for (PxReal *v : vectors) PxV3Set(v, 3.0 * u(rng), 3.0 * u(rng), 3.0 * u(rng));
        for (PxReal &q : b.quaternion) q = u(rng);
        PxReal norm = sqrt(b.quaternion[0] * b.quaternion[0] + b.quaternion[1] * b.quaternion[1] +
                           b.quaternion[2] * b.quaternion[2] + b.quaternion[3] * b.quaternion[3]);
        for (PxReal &q : b.quaternion) q /= norm;
        fn.updateRotation(&b); // a turned body: its world inertia no longer diagonal
        if (k % 4 == 1) {
            b.flags = RBD_LCS_BODY_FAST_SPIN;
            PxV3Set(b.angularVelocity, 0.0, 200.0, 1.0);
        }
    }
    const std::vector<RbdLcsBody> start = fused;
    std::vector<RbdLcsBody> staged = fused;
    std::vector<RbdLcsBody *> pointers(count);
    for (int k = 0; k < count; ++k) pointers[k] = &fused[k];
    fn.integrateBodies(count, pointers.data(), h, gyroscopicStep, 2);

    for (RbdLcsBody &b : staged) fn.updateVelocity(&b, h);
    if (gyroscopicStep != 0.0)
        for (RbdLcsBody &b : staged) fn.multiInverseMatrix(&b, gyroscopicStep);
    for (RbdLcsBody &b : staged) fn.updatePosition(&b, h);
    for (RbdLcsBody &b : staged) fn.updateQuaternion(&b, h, 2);
    for (RbdLcsBody &b : staged) fn.updateRotation(&b);
    for (int k = 0; k < count; ++k) {
        SCOPED_TRACE(k);
        const RbdLcsBody &a = fused[k], &b = staged[k];
        EXPECT_EQ(memcmp(a.linearVelocity, b.linearVelocity, sizeof(PxVector3)), 0);
        EXPECT_EQ(memcmp(a.angularVelocity, b.angularVelocity, sizeof(PxVector3)), 0);
        EXPECT_EQ(memcmp(a.quaternion, b.quaternion, sizeof(PxQuaternion)), 0);
        EXPECT_EQ(memcmp(a.comTransform, b.comTransform, sizeof(PxMatrix4)), 0);
        EXPECT_EQ(memcmp(a.inertiaWorld, b.inertiaWorld, sizeof(PxMatrix3)), 0);
        EXPECT_EQ(memcmp(a.invInertiaWorld, b.invInertiaWorld, sizeof(PxMatrix3)), 0);
        EXPECT_NE(a.comTransform[3][0], start[k].comTransform[3][0]); // the body moved
    }
}

INSTANTIATE_TEST_SUITE_P(LcsModels, IntegrateBodies, ::testing::Values(0.0, 0.5));

} // namespace
