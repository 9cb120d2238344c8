// Every way of turning a body leaves its world inertia current for the next
// step (the solver takes the tensors as it finds them), and a frozen body's
// for the energy read while frozen and the motion after the unfreeze.
#include <gtest/gtest.h>

#include "dynamics/test_step_support.h"

using namespace rbdtest;

namespace {

// Puts the body's centre-of-mass frame at tm (its reference frame starts at
// the identity, without an offset).
using Turn = void (*)(RbdBodyID body, const PxMatrix4 tm);

struct PoseWriter {
    const char *name;
    Turn turn;
};

// A 1 kg box of 1 x 2 x 3 m: principal moments 13/12, 10/12 and 5/12 kg m^2.
const PxMatrix3 gInertia = {{13.0 / 12.0, 0.0, 0.0}, {0.0, 10.0 / 12.0, 0.0}, {0.0, 0.0, 5.0 / 12.0}};

const PoseWriter kWriters[] = {
    {"SetTransform", [](RbdBodyID b, const PxMatrix4 tm) { RbdBodySetTransform(b, tm); }},
    {"SetOrientation",
     [](RbdBodyID b, const PxMatrix4 tm) {
         PxMatrix3 r;
         for (int i = 0; i < 9; ++i) r[i / 3][i % 3] = tm[i / 3][i % 3];
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

// Independent truth: from rest, without gravity, a torque t turns the body at
// h I_world^-1 t after one step of h, I_world the tensor seen in the new frame.
TEST(RbdPoseInertia, TorqueFromRestFollowsTheNewPose)
{
    const PxReal h = 0.01;
    World world(1, 1);
    RbdWorldSetGravity(world, 0, 0, 0);
    RbdBodyID body = RbdBodyCreate(world);
    RbdBodySetInertiaTensor(body, gInertia);
    RbdBodyEnable(body);
    Rng rng(5);
    for (const PoseWriter &writer : kWriters)
        for (int trial = 0; trial < 5; ++trial) {
            PxMatrix4 tm, identity;
            randomTransform(rng, 1.0, tm);
            PxM4Identity(identity);
            RbdBodySetCenterOfMassRelativeTransform(body, identity);
            RbdBodySetTransform(body, identity);
            RbdBodySetAngularVelocity(body, 0, 0, 0);
            writer.turn(body, tm);
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
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(w[k], expected[k], 1e-12) << writer.name << " " << trial << " axis " << k;
        }
}

// A body given principal moments, then a full tensor, and so on in turn:
// after a step of spin the world tensors are R^T I R and its inverse for
// the tensor last set, whichever kind it is.
TEST(RbdPoseInertia, StepTurnsTheTensorLastSet)
{
    const PxMatrix3 full = {{2.0, 0.3, -0.2}, {0.3, 1.5, 0.1}, {-0.2, 0.1, 1.0}};
    const PxReal(*const tensors[])[3] = {gInertia, full, gInertia, full};
    World world(1, 1);
    RbdWorldSetGravity(world, 0, 0, 0);
    RbdBodyID body = RbdBodyCreate(world);
    RbdBodyEnable(body);
    Rng rng(7);
    for (const auto tensor : tensors) {
        PxMatrix4 tm;
        PxVector3 w;
        randomTransform(rng, 1.0, tm);
        randomVector(rng, 2.0, w);
        RbdBodySetInertiaTensor(body, tensor);
        RbdBodySetTransform(body, tm);
        RbdBodySetAngularVelocity(body, w[0], w[1], w[2]);
        RbdWorldStep(world, 0.01);
        const RbdLcsBody &lcs = body->lcs;
        PxMatrix3 R, RT, tmp, expected, product;
        for (int i = 0; i < 9; ++i) R[i / 3][i % 3] = lcs.comTransform[i / 3][i % 3];
        PxM3Transpose(RT, R);
        PxM3Mul(tmp, RT, tensor);
        PxM3Mul(expected, tmp, R);
        PxM3Mul(product, lcs.inertiaWorld, lcs.invInertiaWorld);
        for (int i = 0; i < 9; ++i) EXPECT_NEAR(lcs.inertiaWorld[i / 3][i % 3], expected[i / 3][i % 3], 1e-14);
        EXPECT_TRUE(PxMatrix3IsIdentity(product, 1e-12)) << "the inverse turns with the tensor";
    }
}

// Independent truth: the spin in the centre-of-mass frame, 0.5 w_b . I w_b
// (no gravity; a free spin about a principal axis keeps it), plus 0.5 m v^2.
PxReal SpinEnergy(RbdBodyID body, const PxVector3 w, const PxMatrix3 inertia)
{
    PxVector3 wBody, iw;
    PxV3MulTMDirInverse(wBody, w, RbdBodyGetCenterOfMassTransformPtr(body));
    PxV3MulM3T(iw, wBody, inertia);
    return 0.5 * PxV3Dot(wBody, iw);
}

// A frozen body moved by its pose setters: its world inertia is brought up
// to date when it counts, for the energy read while frozen (read 0), after
// the unfreeze (1) and after a step (2).
TEST(RbdFrozenPose, EnergyFollowsThePoseSetWhileFrozen)
{
    for (int read = 0; read < 3; ++read) {
        World world(1, 1);
        RbdWorldSetGravity(world, 0, 0, 0);
        RbdBodyID body = RbdBodyCreate(world);
        RbdBodySetMass(body, 2.0);
        RbdBodySetInertiaTensor(body, gInertia);
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
            if (read > 0) RbdBodyUnFreeze(body);
            RbdBodySetAngularVelocity(body, w[0], w[1], w[2]);
            RbdBodySetLinearVelocity(body, 1.0, 2.0, 2.0);
            if (read == 2) RbdWorldStep(world, 0.001);
            EXPECT_NEAR(RbdBodyGetKineticEnergy(body), 0.5 * 2.0 * 9.0 + SpinEnergy(body, w, gInertia), 1e-12)
                << "read " << read << ", trial " << trial;
            RbdBodySetAngularVelocity(body, 0, 0, 0);
            RbdBodyFreeze(body);
        }
    }
}

} // namespace
