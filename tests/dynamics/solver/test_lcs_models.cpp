// The three integration models on spinning bodies: what their descriptions
// promise, measured.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "solver/RbdLcsBaseFunctions.h"
#include "test_lcs_support.h"

using namespace lcstest;

namespace {

struct SpinDrift {
    PxReal energy;   // largest |KE / KE0 - 1|
    PxReal momentum; // largest |L - L0| / |L0|
    int flips;       // times the middle axis turned over (tumbling)
    bool finite;
};

PxReal kineticEnergy(const RbdLcsBody &b)
{
    PxVector3 Iw;
    PxV3MulM3(Iw, b.angularVelocity, b.inertiaWorld);
    return 0.5 * (b.mass * PxV3LengthSquared(b.linearVelocity) + PxV3Dot(Iw, b.angularVelocity));
}

// A free body with principal moments 1, 2, 3 spinning at w about its middle
// axis (slightly perturbed), stepped `steps` times with model `model`.
SpinDrift spinAboutIntermediateAxis(int model, PxReal w, PxReal h, int steps)
{
    std::vector<RbdLcsBody> bodies(1);
    makeBody(bodies[0], 1.0, 1.0, 2.0, 3.0);
    PxV3Set(bodies[0].angularVelocity, 0.01, w, 0.01);
    RbdLcsParameters p = defaultParameters(h);
    p.stepperModel = model;
    GuardedWorkspace ws(RbdLcsMemoryRequired(0, 1));
    p.workspace = ws.memory();
    p.workspaceSize = ws.size();
    SpinDrift d = {0.0, 0.0, 0, true};
    PxReal E0 = kineticEnergy(bodies[0]);
    PxVector3 L0, L;
    PxV3MulM3(L0, bodies[0].angularVelocity, bodies[0].inertiaWorld);
    bool up = true;
    for (int step = 0; step < steps; ++step) {
        RbdLcsStep(nullptr, bodies.data(), 1, &p);
        PxReal E = kineticEnergy(bodies[0]);
        if (!isfinite(E) || E > 1e6 * E0) {
            d.finite = false;
            break;
        }
        PxV3MulM3(L, bodies[0].angularVelocity, bodies[0].inertiaWorld);
        d.energy = fmax(d.energy, fabs(E / E0 - 1.0));
        d.momentum = fmax(d.momentum, PxV3Distance(L, L0) / PxV3Length(L0));
        bool nowUp = bodies[0].comTransform[1][1] > 0.0;
        if (nowUp != up) ++d.flips;
        up = nowUp;
    }
    return d;
}

TEST(LcsModels, TheStableModelKeepsATumblingBodysEnergyAndMomentumBounded)
{
    // 1 rad/s about the middle axis, 10,000 steps of 10 ms (100 s).
    SpinDrift stable = spinAboutIntermediateAxis(RBD_LCS_STABLE_STEPPER, 1.0, 0.01, 10000);
    ASSERT_TRUE(stable.finite);
    EXPECT_LT(stable.energy, 0.07) << "kinetic energy within 7%";
    EXPECT_LT(stable.momentum, 0.04) << "angular momentum within 4%";
    EXPECT_GE(stable.flips, 4) << "with the gyroscopic torque the middle axis tumbles, as it physically must";
    // The simple model's extra half step of gyroscopic torque lets the
    // angular momentum wander ten times as far.
    SpinDrift simple = spinAboutIntermediateAxis(RBD_LCS_SIMPLE_STEPPER, 1.0, 0.01, 10000);
    ASSERT_TRUE(simple.finite);
    EXPECT_GT(simple.momentum, 10.0 * stable.momentum);
    EXPECT_GT(simple.energy, stable.energy);
}

TEST(LcsModels, OnlyTheStabilisedInverseInertiaKeepsAFastTumblerFinite)
{
    // 10 rad/s, 10,000 steps of 10 ms: the explicit gyroscopic torque of the
    // simple and vintage models feeds energy in until the body blows up; the
    // stable model's stiffer inverse inertia keeps it finite.
    EXPECT_TRUE(spinAboutIntermediateAxis(RBD_LCS_STABLE_STEPPER, 10.0, 0.01, 10000).finite);
    EXPECT_FALSE(spinAboutIntermediateAxis(RBD_LCS_SIMPLE_STEPPER, 10.0, 0.01, 10000).finite);
    EXPECT_FALSE(spinAboutIntermediateAxis(RBD_LCS_VINTAGE_STEPPER, 10.0, 0.01, 10000).finite);
}

TEST(LcsModels, ABodySpinningAboutAPrincipalAxisKeepsSpinningUnderEveryModel)
{
    // Spin about the largest axis: L x w = 0, nothing may change.
    for (int model = 0; model < RBD_LCS_STEPPER_COUNT; ++model) {
        std::vector<RbdLcsBody> bodies(1);
        makeBody(bodies[0], 1.0, 1.0, 2.0, 3.0);
        PxV3Set(bodies[0].angularVelocity, 0.0, 0.0, 4.0);
        RbdLcsParameters p = defaultParameters(0.01);
        p.stepperModel = model;
        GuardedWorkspace ws(RbdLcsMemoryRequired(0, 1));
        p.workspace = ws.memory();
        p.workspaceSize = ws.size();
        for (int step = 0; step < 1000; ++step) RbdLcsStep(nullptr, bodies.data(), 1, &p);
        EXPECT_NEAR(bodies[0].angularVelocity[2], 4.0, 1e-12) << "model " << model;
        // 40 rad turned: q = (cos 20, 0, 0, sin 20).
        EXPECT_NEAR(fabs(bodies[0].quaternion[0]), fabs(cos(20.0)), 1e-9) << "model " << model;
        EXPECT_NEAR(fabs(bodies[0].quaternion[3]), fabs(sin(20.0)), 1e-9) << "model " << model;
    }
}

TEST(LcsModels, AFastSpinAxisIsTurnedAsARotationOfItsOwn)
{
    // A wheel spinning at 300 rad/s about its axle while the axle turns at
    // 1 rad/s: with the fast-spin split the axle's turn is exact, whatever
    // the spin.
    std::vector<RbdLcsBody> bodies(1);
    makeBody(bodies[0], 1.0, 0.5, 0.5, 1.0);
    PxV3Set(bodies[0].angularVelocity, 0.0, 1.0, 300.0);
    bodies[0].flags = RBD_LCS_BODY_FAST_SPIN;
    PxV3Set(bodies[0].fastSpinAxis, 0.0, 0.0, 1.0);
    lcs::BaseFunctions fn;
    RbdLcsBody *b = &bodies[0];
    fn.updateQuaternion(1, &b, 0.01, 2);
    // Spin about z by 3 rad first, then the remaining 0.01 rad about y:
    // q = (cos .005, 0, sin .005, 0) (cos 1.5, 0, 0, sin 1.5).
    PxReal c1 = cos(0.005), s1 = sin(0.005), c2 = cos(1.5), s2 = sin(1.5);
    EXPECT_NEAR(b->quaternion[0], c1 * c2, 1e-12);
    EXPECT_NEAR(b->quaternion[1], s1 * s2, 1e-12);
    EXPECT_NEAR(b->quaternion[2], s1 * c2, 1e-12);
    EXPECT_NEAR(b->quaternion[3], c1 * s2, 1e-12);
}

// Each quaternion update turns a body spinning at a constant world rate w
// about w alone. The first-order update q += h/2 (0, w) q, normalised, is
// the rotation by 2 atan(h |w| / 2) per step exactly; the finite-rotation
// updates turn by h |w| per step.
TEST(LcsModels, EveryQuaternionUpdateTurnsAConstantSpinAboutItsAxis)
{
    const PxReal h = 0.01, w[3] = {0.3, -1.1, 0.7};
    const PxReal rate = sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    const PxReal q0[4] = {0.5, -0.1, 0.7, sqrt(1.0 - 0.25 - 0.01 - 0.49)};
    lcs::BaseFunctions fn;
    for (int method = 1; method <= 3; ++method) {
        SCOPED_TRACE(method);
        RbdLcsBody body = {};
        PxV3Copy(body.angularVelocity, w);
        for (int k = 0; k < 4; ++k) body.quaternion[k] = q0[k];
        RbdLcsBody *b = &body;
        for (int n = 0; n < 100; ++n) fn.updateQuaternion(1, &b, h, method);
        const PxReal angle = 100 * (method == 1 ? 2.0 * atan(0.5 * h * rate) : h * rate);
        // r = (cos(angle / 2), sin(angle / 2) w / |w|); expected = r q0.
        const PxReal c = cos(0.5 * angle), s = sin(0.5 * angle) / rate;
        const PxReal r[4] = {c, s * w[0], s * w[1], s * w[2]};
        const PxReal expected[4] = {r[0] * q0[0] - r[1] * q0[1] - r[2] * q0[2] - r[3] * q0[3],
                                    r[0] * q0[1] + r[1] * q0[0] + r[2] * q0[3] - r[3] * q0[2],
                                    r[0] * q0[2] + r[2] * q0[0] + r[3] * q0[1] - r[1] * q0[3],
                                    r[0] * q0[3] + r[3] * q0[0] + r[1] * q0[2] - r[2] * q0[1]};
        for (int k = 0; k < 4; ++k) EXPECT_NEAR(body.quaternion[k], expected[k], 1e-12) << k;
    }
}

} // namespace
