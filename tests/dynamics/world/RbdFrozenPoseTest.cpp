// A frozen body moved by its pose setters: its world inertia is brought up
// to date when it counts, for the energy read while frozen and for the
// motion after the unfreeze.
#include <gtest/gtest.h>

#include "dynamics/RbdTestSupport.h"

using namespace rbdtest;

namespace {

struct FrozenMove {
    const char *name;
    bool unfreezeFirst; // unfrozen before the energy is read
    bool step;          // one step after the unfreeze, then the energy
};

void PrintTo(const FrozenMove &c, std::ostream *out)
{
    *out << c.name;
}

class RbdFrozenPose : public testing::TestWithParam<FrozenMove> {};

// Independent truth: the spin in the centre-of-mass frame, 0.5 w_b . I w_b
// (no gravity; a free spin about a principal axis keeps it), plus 0.5 m v^2.
PxReal SpinEnergy(RbdBodyID body, const PxVector3 w, const PxMatrix3 inertia)
{
    PxVector3 wBody, iw;
    PxV3MulTMDirInverse(wBody, w, RbdBodyGetCenterOfMassTransformPtr(body));
    PxV3MulM3T(iw, wBody, inertia);
    return 0.5 * PxV3Dot(wBody, iw);
}

TEST_P(RbdFrozenPose, EnergyFollowsThePoseSetWhileFrozen)
{
    const FrozenMove &c = GetParam();
    World world(1, 1);
    RbdWorldSetGravity(world, 0, 0, 0);
    RbdBodyID body = RbdBodyCreate(world);
    PxMatrix3 inertia;
    RbdMakeInertiaTensorBox(2.0, 1.0, 2.0, 3.0, inertia);
    RbdBodySetMass(body, 2.0);
    RbdBodySetInertiaTensor(body, inertia);
    RbdBodyFreeze(body);
    Rng rng(11);
    for (int trial = 0; trial < 5; ++trial) {
        PxMatrix4 tm;
        randomTransform(rng, 1.0, tm);
        RbdBodySetTransform(body, tm);
        // The body's longest axis in the world: a principal axis, so a step
        // of free spin keeps the energy.
        PxVector3 w;
        PxV3Scale(w, RbdBodyGetCenterOfMassTransformPtr(body)[2], 0.7);
        if (c.unfreezeFirst) RbdBodyUnFreeze(body);
        RbdBodySetAngularVelocity(body, w[0], w[1], w[2]);
        RbdBodySetLinearVelocity(body, 1.0, 2.0, 2.0);
        if (c.step) RbdWorldStep(world, 0.001);
        EXPECT_NEAR(RbdBodyGetKineticEnergy(body), 0.5 * 2.0 * 9.0 + SpinEnergy(body, w, inertia), 1e-12)
            << "trial " << trial;
        RbdBodySetAngularVelocity(body, 0, 0, 0);
        RbdBodyFreeze(body);
    }
}

const FrozenMove kMoves[] = {
    {"ReadWhileFrozen", false, false}, {"ReadAfterUnfreeze", true, false}, {"ReadAfterAStep", true, true}};

INSTANTIATE_TEST_SUITE_P(Reads, RbdFrozenPose, testing::ValuesIn(kMoves),
                         [](const testing::TestParamInfo<FrozenMove> &info) { return std::string(info.param.name); });

} // namespace
