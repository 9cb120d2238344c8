// Bodies: life and counts, enabling and freezing with callbacks, mass and
// inertia, velocities, energy, forces and the per-step preparation.
#include <gtest/gtest.h>

#include <vector>

#include <float.h>
#include <math.h>
#include "dynamics/RbdTestSupport.h"

using namespace rbdtest;

namespace {

std::vector<std::pair<char, RbdBodyID>> events;
void onEnabled(RbdBodyID body)
{
    events.push_back({'+', body});
}
void onDisabled(RbdBodyID body)
{
    events.push_back({'-', body});
}

} // namespace

TEST(RbdBody, BodiesAreCountedListedAndEnabledWithCallbacks)
{
    World world(3, 1);
    RbdWorldSetBodyEnabledCallback(world, onEnabled);
    RbdWorldSetBodyDisabledCallback(world, onDisabled);
    events.clear();
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world), c = RbdBodyCreate(world);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 3);
    EXPECT_EQ(RbdWorldGetEnabledBodies(world), 0);
    EXPECT_FALSE(RbdBodyIsEnabled(a));
    EXPECT_EQ(RbdBodyGetEnabledTime(a), -1);
    EXPECT_EQ(RbdBodyGetWorld(a), world);
    // The body list runs newest first.
    EXPECT_EQ(RbdBodyGetFirst(world), c);
    EXPECT_EQ(RbdBodyGetNext(c), b);
    EXPECT_EQ(RbdBodyGetNext(b), a);
    EXPECT_EQ(RbdBodyGetNext(a), nullptr);

    RbdBodyEnable(a);
    RbdBodyEnable(c);
    RbdBodyEnable(c); // already enabled: nothing
    EXPECT_EQ(RbdWorldGetEnabledBodies(world), 2);
    EXPECT_EQ(RbdBodyGetEnabledTime(c), 0);
    EXPECT_EQ(world->firstEnabledBody, c);
    EXPECT_EQ(c->nextEnabled, a);
    RbdBodyDisable(a);
    RbdBodyDisable(a);
    EXPECT_EQ(RbdWorldGetEnabledBodies(world), 1);
    EXPECT_EQ(RbdBodyGetPartition(a), -1);
    EXPECT_EQ(events, (std::vector<std::pair<char, RbdBodyID>>{{'+', a}, {'+', c}, {'-', a}}));

    // Destroying an enabled body disables it first and unlinks it.
    RbdBodyDestroy(c);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 2);
    EXPECT_EQ(RbdWorldGetEnabledBodies(world), 0);
    EXPECT_EQ(events.back(), std::make_pair('-', c));
    EXPECT_EQ(RbdBodyGetFirst(world), b);
    EXPECT_NE(c->typeTag, 100); // -1, then overwritten by the pool's free-list link
    // The record is reused by the next body.
    EXPECT_EQ(RbdBodyCreate(world), c);
    EXPECT_EQ(world->changeCount, 4);
}

TEST(RbdBody, BodiesFromACallersPoolAreNotInsertedAndAnExhaustedPoolGivesNull)
{
    World world(1, 1);
    PxPool pool;
    ASSERT_TRUE(PxPoolInitResizable(&pool, 1, (int)sizeof(RbdBody), 0, 0.0f, 16));
    WarningCapture warnings;
    RbdBodyID body = RbdBodyCreateInPool(&pool);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(RbdBodyGetMass(body), 1.0);
    EXPECT_EQ(RbdBodyCreateInPool(&pool), nullptr);
    RbdBodyEnable(body);
    EXPECT_FALSE(RbdBodyIsEnabled(body));
    EXPECT_TRUE(warnings.contains("RbdBodyEnable: the body belongs to no world."));
    RbdBodyDestroyInPool(body, &pool);
    EXPECT_EQ(PxPoolGetUsed(&pool), 0);
    // A destroyed handle is reported, not used.
    warnings.clear();
    RbdBodySetMass(body, 3.0);
    EXPECT_TRUE(warnings.contains("RbdBodySetMass: the body has been destroyed."));
    PxPoolTerm(&pool);
}

// What a body's getters report, in one row.
static std::vector<double> State(RbdBodyID body)
{
    std::vector<double> row = {RbdBodyGetMass(body), double(RbdBodyIsEnabled(body)),
                               double(RbdBodyHasFastSpinAxis(body)), RbdBodyGetLinearVelocityDamping(body),
                               RbdBodyGetSafeTime(body)};
    PxMatrix3 inertia;
    RbdBodyGetInertiaTensor(body, inertia);
    PxMatrix4 tm;
    RbdBodyGetTransform(body, tm);
    PxVector3 v, w, f;
    RbdBodyGetLinearVelocity(body, v);
    RbdBodyGetAngularVelocity(body, w);
    RbdBodyGetForce(body, f);
    for (int i = 0; i < 3; ++i)
        row.insert(row.end(), {inertia[i][0], inertia[i][1], inertia[i][2], v[i], w[i], f[i]});
    for (int i = 0; i < 4; ++i) row.insert(row.end(), {tm[i][0], tm[i][1], tm[i][2], tm[i][3]});
    return row;
}

// A reset body reads as a new one, disabled, with no user data and no
// impulse waiting for the next step.
TEST(RbdBody, ResetRestoresEveryDefaultAndDisables)
{
    World world(2, 1);
    RbdBodyID fresh = RbdBodyCreate(world);
    RbdBodyID body = RbdBodyCreate(world);
    RbdBodyEnable(body);
    RbdBodySetMass(body, 5.0);
    RbdBodySetSphericalInertiaTensor(body, 3.0);
    RbdBodySetPosition(body, 1.0, 2.0, 3.0);
    RbdBodySetQuaternion(body, 0.0, 1.0, 0.0, 0.0);
    RbdBodySetLinearVelocity(body, 1.0, 1.0, 1.0);
    RbdBodySetAngularVelocity(body, 1.0, 1.0, 1.0);
    RbdBodyAddForce(body, 1.0, 0.0, 0.0);
    RbdBodyAddImpulse(body, 1.0, 0.0, 0.0);
    RbdBodySetFastSpinAxis(body, 0.0, 0.0, 2.0);
    RbdBodySetLinearVelocityDamping(body, 0.3);
    RbdBodySetUserData(body, world);
    RbdBodySetSafeTime(body, 0.1);
    RbdBodyReset(body);
    EXPECT_EQ(State(body), State(fresh));
    EXPECT_FALSE(RbdBodyIsEnabled(body));
    EXPECT_EQ(RbdBodyGetUserData(body), nullptr);
    EXPECT_EQ(body->impulsePending, 0);
}

TEST(RbdBody, AFrozenBodyIgnoresEnableAndIsImmovableForItsConstraints)
{
    World world(2, 1);
    RbdWorldSetBodyEnabledCallback(world, onEnabled);
    RbdWorldSetBodyDisabledCallback(world, onDisabled);
    RbdBodyID body = RbdBodyCreate(world), other = RbdBodyCreate(world);
    RbdConstraintID hinge = RbdHingeCreate(world);
    RbdConstraintSetBodies(hinge, other, body);
    RbdConstraintEnable(hinge);
    EXPECT_EQ(hinge->solverBody[1], &body->lcs);
    RbdBodyEnable(body);
    events.clear();
    RbdBodyFreeze(body);
    EXPECT_TRUE(RbdBodyIsFrozen(body));
    EXPECT_FALSE(RbdBodyIsEnabled(body));
    EXPECT_EQ(body->lcs.flags & RBD_LCS_BODY_FROZEN, RBD_LCS_BODY_FROZEN);
    EXPECT_EQ(hinge->solverBody[1], nullptr);
    EXPECT_EQ(hinge->solverBody[0], &other->lcs);
    RbdBodyEnable(body);
    EXPECT_FALSE(RbdBodyIsEnabled(body));
    RbdBodyUnFreeze(body);
    EXPECT_FALSE(RbdBodyIsFrozen(body));
    EXPECT_TRUE(RbdBodyIsEnabled(body));
    EXPECT_EQ(body->lcs.flags & RBD_LCS_BODY_FROZEN, 0);
    EXPECT_EQ(hinge->solverBody[1], &body->lcs);
    EXPECT_EQ(events, (std::vector<std::pair<char, RbdBodyID>>{{'-', body}, {'+', body}}));
}

// The tensor helpers against the solids' formulas (2/5 m r^2, m (b^2 +
// c^2) / 12); scaling the mass scales the tensor, setting it does not; the
// inverse kept is the tensor's; non-positive masses and singular tensors
// are refused with a warning each.
TEST(RbdBody, MassAndInertiaFollowTheirSettersAndHelpers)
{
    World world(1, 1);
    RbdBodyID body = RbdBodyCreate(world);
    PxMatrix3 inertia;
    RbdBodySetMassAndScaleInertiaTensor(body, 2.0);
    RbdBodyGetInertiaTensor(body, inertia);
    EXPECT_DOUBLE_EQ(inertia[0][0], 0.8) << "twice the unit body's 0.4";
    RbdBodySetMass(body, 4.0);
    RbdBodyGetInertiaTensor(body, inertia);
    EXPECT_DOUBLE_EQ(inertia[0][0], 0.8);

    PxMatrix3 sphere, box;
    RbdMakeInertiaTensorSphere(3.0, 0.5, sphere);
    EXPECT_DOUBLE_EQ(sphere[1][1], 0.3);
    EXPECT_EQ(sphere[0][1], 0.0);
    RbdMakeInertiaTensorBox(12.0, 1.0, 2.0, 3.0, box);
    EXPECT_DOUBLE_EQ(box[0][0], 13.0);
    EXPECT_DOUBLE_EQ(box[1][1], 10.0);
    EXPECT_DOUBLE_EQ(box[2][2], 5.0);
    EXPECT_EQ(box[2][0], 0.0);
    RbdBodySetInertiaTensor(body, box);
    PxMatrix3 product;
    PxM3Mul(product, body->lcs.inertiaBody, body->lcs.invInertiaBody);
    EXPECT_TRUE(PxMatrix3IsIdentity(product, 1e-12));

    WarningCapture warnings;
    RbdBodySetMass(body, 0.0);
    EXPECT_EQ(RbdBodyGetMass(body), 4.0);
    PxMatrix3 singular = {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}};
    RbdBodySetInertiaTensor(body, singular);
    RbdBodyGetInertiaTensor(body, inertia);
    EXPECT_EQ(inertia[0][0], 13.0);
    EXPECT_EQ(warnings.messages().size(), 2u);
}

TEST(RbdBody, QuaternionsNearZeroOrUnitAreStoredAsGivenOthersNormalised)
{
    World world(1, 1);
    RbdBodyID body = RbdBodyCreate(world);
    PxQuaternion q;
    RbdBodySetQuaternion(body, 2.0, 0.0, 0.0, 0.0);
    RbdBodyGetQuaternion(body, q);
    EXPECT_TRUE(q[0] == 1.0 && q[1] == 0.0 && q[2] == 0.0 && q[3] == 0.0);
    RbdBodySetQuaternion(body, 0.0, 0.0, 0.0, 0.0);
    RbdBodyGetQuaternion(body, q);
    EXPECT_TRUE(q[0] == 0.0 && q[1] == 0.0 && q[2] == 0.0 && q[3] == 0.0);
    RbdBodySetQuaternion(body, 0.0, 0.0, 3.0, 4.0);
    RbdBodyGetQuaternion(body, q);
    EXPECT_DOUBLE_EQ(q[2], 0.6);
    EXPECT_DOUBLE_EQ(q[3], 0.8);
    // A quarter turn about z puts the body's x axis on the world's y axis.
    const PxReal half = sqrt(0.5);
    RbdBodySetQuaternion(body, half, 0.0, 0.0, half);
    PxMatrix3 rotation;
    RbdBodyGetOrientation(body, rotation);
    EXPECT_NEAR(rotation[0][1], 1.0, 1e-15);
    EXPECT_NEAR(rotation[1][0], -1.0, 1e-15);
    EXPECT_NEAR(rotation[2][2], 1.0, 1e-15);
}

TEST(RbdBody, KineticEnergyAndPointVelocityUseTheRotatedCentreOfMassFrame)
{
    World world(1, 1);
    RbdBodyID body = RbdBodyCreate(world);
    PxMatrix3 inertia;
    RbdMakeInertiaTensorBox(2.0, 1.0, 2.0, 3.0, inertia);
    RbdBodySetMass(body, 2.0);
    RbdBodySetInertiaTensor(body, inertia);
    Rng rng(7);
    PxMatrix4 tm, comOffset;
    randomTransform(rng, 1.0, tm);
    randomTransform(rng, 0.5, comOffset);
    RbdBodySetTransform(body, tm);
    RbdBodySetCenterOfMassRelativeTransform(body, comOffset);
    RbdBodySetLinearVelocity(body, 1.0, 2.0, 2.0);
    RbdBodySetAngularVelocity(body, 0.3, -0.4, 0.5);
    // Independent truth: the spin in the centre-of-mass frame, 0.5 w_b . I w_b.
    PxVector3 w = {0.3, -0.4, 0.5}, wBody, iw;
    PxV3MulTMDirInverse(wBody, w, RbdBodyGetCenterOfMassTransformPtr(body));
    PxV3MulM3T(iw, wBody, inertia);
    PxReal expected = 0.5 * 2.0 * 9.0 + 0.5 * PxV3Dot(wBody, iw);
    EXPECT_NEAR(RbdBodyGetKineticEnergy(body), expected, 1e-12);

    PxVector3 com, point = {1.0, -1.0, 0.5}, velocity, arm, spin;
    RbdBodyGetCenterOfMassPosition(body, com);
    RbdBodyGetVelocityAtPoint(body, point, velocity);
    PxV3Sub(arm, point, com);
    PxV3Cross(spin, w, arm);
    EXPECT_NEAR(velocity[0], 1.0 + spin[0], 1e-14);
    EXPECT_NEAR(velocity[1], 2.0 + spin[1], 1e-14);
    EXPECT_NEAR(velocity[2], 2.0 + spin[2], 1e-14);
    RbdBodyGetVelocityAtPoint(nullptr, point, velocity);
    EXPECT_EQ(PxV3Length(velocity), 0.0);
}

TEST(RbdBody, PreparationAddsGravityDampingAndAnImpulseAsForceOverOneStep)
{
    World world(2, 1);
    RbdBodyID body = RbdBodyCreate(world), other = RbdBodyCreate(world);
    RbdBodyEnable(body);
    RbdBodySetMass(body, 2.0);
    RbdBodySetLinearVelocity(body, 1.0, 0.0, 0.0);
    RbdBodySetAngularVelocity(body, 0.0, 0.0, 2.0);
    RbdBodySetLinearVelocityDamping(body, 0.5);
    RbdBodySetAngularVelocityDamping(body, 0.25);
    RbdBodyAddImpulse(body, 0.0, 0.0, 0.03);
    const PxVector3 gravity = {0.0, -9.81, 0.0};
    RbdBodyPrepareForStep(body, 0.01, gravity);
    PxVector3 force, torque;
    RbdBodyGetForce(body, force);
    RbdBodyGetTorque(body, torque);
    EXPECT_DOUBLE_EQ(force[0], -0.5);
    EXPECT_DOUBLE_EQ(force[1], -19.62);
    EXPECT_DOUBLE_EQ(force[2], 3.0); // 0.03 N s over 0.01 s
    EXPECT_DOUBLE_EQ(torque[2], -0.5);
    EXPECT_EQ(RbdBodyGetEnabledTime(body), 1);
    EXPECT_EQ(body->lcs.flags & RBD_LCS_BODY_CONSTRAINED, 0);
    // The impulse acts in one step only.
    RbdBodyResetForces(body);
    RbdBodyPrepareForStep(body, 0.01, gravity);
    RbdBodyGetForce(body, force);
    EXPECT_EQ(force[2], 0.0);
    // A body with a constraint is flagged.
    RbdConstraintID joint = RbdBSJointCreate(world);
    RbdConstraintSetBodies(joint, body, other);
    RbdConstraintEnable(joint);
    RbdBodyPrepareForStep(body, 0.01, gravity);
    EXPECT_EQ(body->lcs.flags & RBD_LCS_BODY_CONSTRAINED, RBD_LCS_BODY_CONSTRAINED);
}

// The fast spin axis is kept as a unit vector, a zero one as x; clearing it
// leaves the body without one.
TEST(RbdBody, AFastSpinAxisIsKeptAsAUnitVector)
{
    World world(1, 1);
    RbdBodyID body = RbdBodyCreate(world);
    PxVector3 axis;
    RbdBodySetFastSpinAxis(body, 0.0, 3.0, 4.0);
    RbdBodyGetFastSpinAxis(body, axis);
    EXPECT_TRUE(RbdBodyHasFastSpinAxis(body));
    EXPECT_DOUBLE_EQ(axis[1], 0.6);
    EXPECT_DOUBLE_EQ(axis[2], 0.8);
    RbdBodySetFastSpinAxis(body, 0.0, 0.0, 0.0);
    RbdBodyGetFastSpinAxis(body, axis);
    EXPECT_EQ(axis[0], 1.0);
    RbdBodySetNoFastSpinAxis(body);
    EXPECT_FALSE(RbdBodyHasFastSpinAxis(body));
}
