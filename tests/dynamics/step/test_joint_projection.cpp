// The joint position projection through whole world steps: a whipped chain
// keeps its anchors together, a chain whose joints hold is left bit for bit
// alone, and the projection moves positions only (velocities, momentum and
// the centre of mass stay as the velocity solve left them).
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <random>
#include <vector>

#include "world/RbdInternal.h"
#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

const PxReal kLength = 0.4, kWidth = 0.1; // m, one link
const PxReal kMass = 4.0;                 // kg, 1000 kg/m^3
const PxReal kStep = 0.01;                // s
const int32_t kPasses = 3;                // of the projection when it is on

typedef RbdConstraintID (*JointMaker)(RbdWorldID);

// Links lying end to end along +x, joint k between links k-1 and k at
// x = 0.4 k (joint 0 pins link 0 to the world when pinned), hinge axes along y.
struct Chain {
    Chain(int links, JointMaker make, bool pinned) : world(links, links)
    {
        RbdBodyID previous = nullptr;
        for (int k = 0; k < links; ++k) {
            RbdBodyID link = RbdBodyCreate(world);
            PxMatrix3 inertia;
            RbdMakeInertiaTensorBox(kMass, kLength, kWidth, kWidth, inertia);
            RbdBodySetMass(link, kMass);
            RbdBodySetInertiaTensor(link, inertia);
            RbdBodySetPosition(link, 0.5 * kLength + k * kLength, 0.0, 0.0);
            RbdBodyEnable(link);
            bodies.push_back(link);
            if (k > 0 || pinned) {
                joints.push_back(make(world));
                RbdConstraintSetBodies(joints.back(), link, previous);
                RbdConstraintSetPosition(joints.back(), k * kLength, 0.0, 0.0);
                RbdConstraintSetAxis(joints.back(), 0.0, 1.0, 0.0);
                RbdConstraintEnable(joints.back());
            }
            previous = link;
        }
    }
    // The widest distance between a joint's two anchors (m).
    PxReal gap() const
    {
        PxReal widest = 0.0;
        for (RbdConstraintID joint : joints) {
            PxMatrix4 a, b;
            RbdConstraintAttachmentToWorld(joint, 0, a);
            RbdConstraintAttachmentToWorld(joint, 1, b);
            widest = fmax(widest, PxV3Distance(a[3], b[3]));
        }
        return widest;
    }
    // The whole chain turning rigidly at w (rad/s) about its centre of mass.
    void spin(const PxVector3 w)
    {
        PxVector3 centre, com, arm, v;
        centreOfMass(centre);
        for (RbdBodyID link : bodies) {
            RbdBodyGetCenterOfMassPosition(link, com);
            PxV3Sub(arm, com, centre);
            PxV3Cross(v, w, arm);
            RbdBodySetLinearVelocity(link, v[0], v[1], v[2]);
            RbdBodySetAngularVelocity(link, w[0], w[1], w[2]);
        }
    }
    void centreOfMass(PxVector3 out) const
    {
        PxV3Zero(out);
        for (RbdBodyID link : bodies) {
            PxVector3 com;
            RbdBodyGetCenterOfMassPosition(link, com);
            PxV3AddScaled(out, out, com, 1.0 / bodies.size());
        }
    }
    World world;
    std::vector<RbdBodyID> bodies;
    std::vector<RbdConstraintID> joints;
};

// Every velocity and, with poses, every pose, for bitwise comparison.
std::vector<PxReal> state(const Chain &chain, bool poses)
{
    std::vector<PxReal> out;
    for (RbdBodyID link : chain.bodies) {
        const RbdLcsBody &lcs = link->lcs;
        out.insert(out.end(), lcs.linearVelocity, lcs.linearVelocity + 3);
        out.insert(out.end(), lcs.angularVelocity, lcs.angularVelocity + 3);
        if (!poses) continue;
        out.insert(out.end(), &lcs.comTransform[0][0], &lcs.comTransform[0][0] + 16);
        out.insert(out.end(), lcs.quaternion, lcs.quaternion + 4);
        out.insert(out.end(), &lcs.invInertiaWorld[0][0], &lcs.invInertiaWorld[0][0] + 9);
    }
    return out;
}

bool sameBits(const std::vector<PxReal> &a, const std::vector<PxReal> &b)
{
    return a.size() == b.size() && memcmp(a.data(), b.data(), a.size() * sizeof(PxReal)) == 0;
}

struct WhipCase {
    const char *name;
    JointMaker make;
};

class WhippedChain : public ::testing::TestWithParam<WhipCase> {};

// The widest gap of a 20-link chain falling from the horizontal, its tip
// flicked downwards at 40 m/s, over 2 s.
PxReal whipGap(JointMaker make, int32_t passes)
{
    Chain chain(20, make, true);
    RbdWorldSetGravity(chain.world, 0.0, 0.0, -kG);
    RbdWorldSetJointPositionPasses(chain.world, passes);
    RbdBodySetLinearVelocity(chain.bodies.back(), 0.0, 0.0, -40.0);
    PxReal widest = 0.0;
    for (int step = 0; step < 200; ++step) {
        RbdWorldStep(chain.world, kStep);
        widest = fmax(widest, chain.gap());
    }
    return widest;
}

TEST_P(WhippedChain, KeepsItsJointsClosed)
{
    const PxReal open = whipGap(GetParam().make, 0);
    const PxReal projected = whipGap(GetParam().make, kPasses);
    // Without the projection the whip opens its joints by about 0.11 m; with
    // it they stay within about 13 mm (what gamma leaves of a step's gap).
    EXPECT_GT(open, 0.05);
    EXPECT_LT(projected, 0.02);
    EXPECT_LT(projected, 0.2 * open);
}

INSTANTIATE_TEST_SUITE_P(Joints, WhippedChain,
                         ::testing::Values(WhipCase{"hinge", RbdHingeCreate}, WhipCase{"ball", RbdBSJointCreate},
                                           WhipCase{"universal", RbdUniversalCreate}),
                         [](const ::testing::TestParamInfo<WhipCase> &info) { return info.param.name; });

// A free chain falling and drifting as one body keeps its joints closed to
// rounding: the projection leaves every bit of it as the steps without the
// projection do.
TEST(JointProjection, LeavesAHeldChainBitForBit)
{
    std::vector<PxReal> runs[2];
    for (int32_t passes : {0, kPasses}) {
        Chain chain(8, RbdHingeCreate, false);
        RbdWorldSetGravity(chain.world, 0.0, 0.0, -kG);
        RbdWorldSetJointPositionPasses(chain.world, passes);
        for (RbdBodyID link : chain.bodies) RbdBodySetLinearVelocity(link, 1.5, -0.5, 2.0);
        for (int step = 0; step < 100; ++step) RbdWorldStep(chain.world, kStep);
        runs[passes ? 1 : 0] = state(chain, true);
    }
    EXPECT_TRUE(sameBits(runs[0], runs[1]));
}

// A free chain spinning fast opens its joints within one step; the
// projection narrows them by moving positions only: the velocities (and so
// the linear momentum) are those of the step without it, bit for bit, and
// the centre of mass stays where that step put it.
TEST(JointProjection, MovesPositionsOnly)
{
    std::mt19937 rng(7);
    for (int trial = 0; trial < 4; ++trial) {
        PxVector3 w;
        rbdtest::randomUnitVector(rng, w);
        PxV3Scale(w, w, 30.0);
        std::vector<PxReal> velocities[2];
        PxVector3 centre[2];
        PxReal gap[2];
        for (int on = 0; on < 2; ++on) {
            Chain chain(6, RbdBSJointCreate, false);
            RbdWorldSetJointPositionPasses(chain.world, on ? kPasses : 0);
            chain.spin(w);
            RbdWorldStep(chain.world, kStep);
            velocities[on] = state(chain, false);
            chain.centreOfMass(centre[on]);
            gap[on] = chain.gap();
        }
        SCOPED_TRACE(trial);
        EXPECT_TRUE(sameBits(velocities[0], velocities[1]));
        EXPECT_LT(PxV3Distance(centre[0], centre[1]), 1e-13);
        // A rigid spin opens every joint alike, an error spread along the
        // whole chain, which Gauss-Seidel passes shrink only slowly.
        EXPECT_GT(gap[0], 0.01);
        EXPECT_LT(gap[1], 0.8 * gap[0]);
    }
}

} // namespace
