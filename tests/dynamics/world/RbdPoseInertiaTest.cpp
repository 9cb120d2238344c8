// Every way of turning a body leaves its world inertia current for the next
// step: the solver takes the tensors as it finds them.
#include <gtest/gtest.h>

#include "dynamics/RbdTestSupport.h"

using namespace rbdtest;

namespace {

// Puts the body's centre-of-mass frame at tm (its reference frame starts at
// the identity, without an offset).
using Turn = void (*)(RbdBodyID body, const PxMatrix4 tm);

struct PoseWriter {
    const char *name;
    Turn turn;
};

void PrintTo(const PoseWriter &w, std::ostream *out)
{
    *out << w.name;
}

// A 1 kg box of 1 x 2 x 3 m: principal moments 13/12, 10/12 and 5/12 kg m^2.
const PxMatrix3 gInertia = {{13.0 / 12.0, 0.0, 0.0}, {0.0, 10.0 / 12.0, 0.0}, {0.0, 0.0, 5.0 / 12.0}};

void rotationOf(const PxMatrix4 tm, PxMatrix3 out)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = tm[i][j];
}

const PoseWriter kWriters[] = {
    {"SetTransform", [](RbdBodyID b, const PxMatrix4 tm) { RbdBodySetTransform(b, tm); }},
    {"SetOrientation",
     [](RbdBodyID b, const PxMatrix4 tm) {
         PxMatrix3 r;
         rotationOf(tm, r);
         RbdBodySetOrientation(b, r);
     }},
    {"SetQuaternion",
     [](RbdBodyID b, const PxMatrix4 tm) {
         PxQuaternion q;
         PxQuaternionFromTM(q, tm);
         RbdBodySetQuaternion(b, q[0], q[1], q[2], q[3]);
     }},
    {"SetTransformKeepingAttachments",
     [](RbdBodyID b, const PxMatrix4 tm) { RbdBodySetTransformAndUpdateConstraintAttachments(b, tm); }},
    {"CenterOfMassOffset",
     [](RbdBodyID b, const PxMatrix4 tm) {
         PxMatrix4 identity;
         PxM4Identity(identity);
         RbdBodySetTransform(b, identity);
         RbdBodySetCenterOfMassRelativeTransform(b, tm);
     }},
    {"SetWhileFrozen",
     [](RbdBodyID b, const PxMatrix4 tm) {
         RbdBodyFreeze(b);
         RbdBodySetTransform(b, tm);
         RbdBodyUnFreeze(b);
     }},
    {"TensorAfterThePose",
     [](RbdBodyID b, const PxMatrix4 tm) {
         RbdBodySetSphericalInertiaTensor(b, 0.5);
         RbdBodySetTransform(b, tm);
         RbdBodySetInertiaTensor(b, gInertia);
     }},
};

class RbdPoseInertia : public testing::TestWithParam<PoseWriter> {};

// Independent truth: from rest, without gravity, a torque t turns the body at
// h I_world^-1 t after one step of h, I_world the tensor seen in the new frame.
TEST_P(RbdPoseInertia, TorqueFromRestFollowsTheNewPose)
{
    const PxReal h = 0.01;
    World world(1, 1);
    RbdWorldSetGravity(world, 0, 0, 0);
    RbdBodyID body = RbdBodyCreate(world);
    RbdBodySetInertiaTensor(body, gInertia);
    RbdBodyEnable(body);
    Rng rng(5);
    for (int trial = 0; trial < 5; ++trial) {
        PxMatrix4 tm, identity;
        randomTransform(rng, 1.0, tm);
        PxM4Identity(identity);
        RbdBodySetCenterOfMassRelativeTransform(body, identity);
        RbdBodySetTransform(body, identity);
        RbdBodySetAngularVelocity(body, 0, 0, 0);
        GetParam().turn(body, tm);
        ASSERT_NEAR(RbdBodyGetCenterOfMassTransformPtr(body)[1][2], tm[1][2], 1e-12)
            << "the frame is the one asked for";
        PxVector3 torque, local, expected;
        randomVector(rng, 1.0, torque);
        PxV3MulTMDirInverse(local, torque, tm);
        for (int k = 0; k < 3; ++k) local[k] *= h / gInertia[k][k];
        PxV3MulTMDir(expected, local, tm);
        RbdBodyAddTorque(body, torque[0], torque[1], torque[2]);
        RbdWorldStep(world, h);
        const PxReal *w = RbdBodyGetAngularVelocityPtr(body);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(w[k], expected[k], 1e-12) << "trial " << trial << " axis " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Writers, RbdPoseInertia, testing::ValuesIn(kWriters),
                         [](const testing::TestParamInfo<PoseWriter> &info) { return std::string(info.param.name); });

} // namespace
