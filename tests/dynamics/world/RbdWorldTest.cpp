// Worlds and bodies: lists and callbacks, reset, the solver workspace, mass properties against the solids' formulas, and the refusals
// of bad input as one table.
#include <gtest/gtest.h>

#include <math.h>

#include <functional>
#include <vector>
#include "dynamics/test_step_support.h"

using namespace rbdtest;

namespace {

std::vector<std::pair<char, RbdBodyID>> events;

// What a body's getters report, in one row.
std::vector<double> bodyState(RbdBodyID body)
{
    std::vector<double> row = {RbdBodyGetMass(body),
                               double(RbdBodyIsEnabled(body)),
                               double(RbdBodyHasFastSpinAxis(body)),
                               RbdBodyGetLinearVelocityDamping(body),
                               RbdBodyGetSafeTime(body),
                               double(RbdBodyGetUserData(body) != nullptr)};
    PxMatrix3 inertia;
    PxMatrix4 tm;
    PxVector3 v, w, f;
    RbdBodyGetInertiaTensor(body, inertia);
    RbdBodyGetTransform(body, tm);
    RbdBodyGetLinearVelocity(body, v);
    RbdBodyGetAngularVelocity(body, w);
    RbdBodyGetForce(body, f);
    for (int i = 0; i < 3; ++i)
        row.insert(row.end(), {inertia[i][0], inertia[i][1], inertia[i][2], v[i], w[i], f[i]});
    for (int i = 0; i < 4; ++i) row.insert(row.end(), {tm[i][0], tm[i][1], tm[i][2], tm[i][3]});
    return row;
}

// The parameters a world's getters report, in one row.
std::vector<double> worldParameters(RbdWorldID w)
{
    PxVector3 g;
    RbdWorldGetGravity(w, g);
    return {RbdWorldGetEpsilon(w),
            g[0],
            g[1],
            g[2],
            double(RbdWorldGetAutoDisable(w)),
            RbdWorldGetAutoDisableAngularVelocityThreshold(w),
            double(RbdWorldGetAutoDisableAliveWindow(w)),
            double(RbdWorldGetIntegrationModel(w)),
            double(RbdWorldGetLinearSolver(w)),
            double(RbdWorldLCPGetMaxIterations(w)),
            RbdWorldLCPGetTolerance(w)};
}

} // namespace

TEST(RbdBody, ListsCountsAndCallbacksFollowCreationEnablingFreezingAndDestruction)
{
    World world(3, 1);
    RbdWorldSetBodyEnabledCallback(world, [](RbdBodyID body) { events.push_back({'+', body}); });
    RbdWorldSetBodyDisabledCallback(world, [](RbdBodyID body) { events.push_back({'-', body}); });
    events.clear();
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world), c = RbdBodyCreate(world);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 3);
    EXPECT_EQ(RbdBodyGetEnabledTime(a), -1);
    EXPECT_EQ(RbdBodyGetFirst(world), c) << "newest first";
    EXPECT_EQ(RbdBodyGetNext(c), b);
    EXPECT_EQ(RbdBodyGetNext(a), nullptr);
    RbdBodyEnable(a);
    RbdBodyEnable(c);
    RbdBodyEnable(c);
    RbdBodyDisable(a);
    RbdBodyDisable(a);
    EXPECT_EQ(RbdWorldGetEnabledBodies(world), 1);
    // A frozen body ignores enabling and is immovable for its constraints
    // (no solver body) until it thaws, enabled again.
    RbdConstraintID hinge = RbdHingeCreate(world);
    RbdConstraintSetBodies(hinge, b, c);
    RbdConstraintEnable(hinge);
    RbdBodyFreeze(c);
    RbdBodyEnable(c);
    EXPECT_FALSE(RbdBodyIsEnabled(c));
    EXPECT_EQ(hinge->solverBody[1], nullptr);
    EXPECT_EQ(hinge->solverBody[0], &b->lcs);
    RbdBodyUnFreeze(c);
    EXPECT_TRUE(RbdBodyIsEnabled(c));
    EXPECT_EQ(hinge->solverBody[1], &c->lcs);
    // Destroying an enabled body disables it first; its record is reused.
    RbdBodyDestroy(c);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 2);
    EXPECT_EQ(RbdWorldGetEnabledBodies(world), 0);
    EXPECT_EQ(events,
              (std::vector<std::pair<char, RbdBodyID>>{{'+', a}, {'+', c}, {'-', a}, {'-', c}, {'+', c}, {'-', c}}));
    EXPECT_EQ(RbdBodyCreate(world), c);
}

// The tensor helpers against the solids' formulas (2/5 m r^2, m (b^2 + c^2)
// / 12); scaling the mass scales the tensor, setting it does not; the kept
// inverse is the tensor's; quaternions and spin axes are normalised unless
// near zero or unit.
TEST(RbdBody, MassPropertiesAndOrientationsAreStoredAsTheirFormulasSay)
{
    World world(1, 1);
    RbdBodyID body = RbdBodyCreate(world);
    PxMatrix3 inertia, sphere, box, product;
    RbdBodySetMassAndScaleInertiaTensor(body, 2.0);
    RbdBodySetMass(body, 4.0);
    RbdBodyGetInertiaTensor(body, inertia);
    EXPECT_DOUBLE_EQ(inertia[0][0], 0.8) << "twice the unit body's 0.4, kept by the plain setter";
    RbdMakeInertiaTensorSphere(3.0, 0.5, sphere);
    RbdMakeInertiaTensorBox(12.0, 1.0, 2.0, 3.0, box);
    EXPECT_DOUBLE_EQ(sphere[1][1], 0.3);
    const PxReal boxMoments[3] = {13.0, 10.0, 5.0};
    for (int k = 0; k < 3; ++k) EXPECT_DOUBLE_EQ(box[k][k], boxMoments[k]);
    EXPECT_EQ(box[2][0], 0.0);
    RbdBodySetInertiaTensor(body, box);
    PxM3Mul(product, body->lcs.inertiaBody, body->lcs.invInertiaBody);
    EXPECT_TRUE(PxMatrix3IsIdentity(product, 1e-12));

    const struct {
        PxReal in[4], out[4];
    } quaternions[] = {{{2, 0, 0, 0}, {1, 0, 0, 0}}, {{0, 0, 0, 0}, {0, 0, 0, 0}}, {{0, 0, 3, 4}, {0, 0, 0.6, 0.8}}};
    for (const auto &q : quaternions) {
        PxQuaternion got;
        RbdBodySetQuaternion(body, q.in[0], q.in[1], q.in[2], q.in[3]);
        RbdBodyGetQuaternion(body, got);
        for (int k = 0; k < 4; ++k) EXPECT_DOUBLE_EQ(got[k], q.out[k]);
    }
    const PxReal half = sqrt(0.5);
    PxMatrix3 rotation;
    RbdBodySetQuaternion(body, half, 0.0, 0.0, half);
    RbdBodyGetOrientation(body, rotation);
    EXPECT_NEAR(rotation[0][1], 1.0, 1e-15) << "a quarter turn about z puts x on y";

    PxVector3 axis;
    RbdBodySetFastSpinAxis(body, 0.0, 3.0, 4.0);
    RbdBodyGetFastSpinAxis(body, axis);
    EXPECT_TRUE(RbdBodyHasFastSpinAxis(body));
    EXPECT_DOUBLE_EQ(axis[1], 0.6);
    EXPECT_DOUBLE_EQ(axis[2], 0.8);
    RbdBodySetFastSpinAxis(body, 0.0, 0.0, 0.0);
    RbdBodyGetFastSpinAxis(body, axis);
    EXPECT_EQ(axis[0], 1.0) << "a zero axis is x";
    RbdBodySetNoFastSpinAxis(body);
    EXPECT_FALSE(RbdBodyHasFastSpinAxis(body));
}

// Reset gives a body the state of a new one, disabled, and a world the
// parameters of a new world, with gamma rescaled to the kept time step
// (0.12 at 0.015 s is 0.08 at 0.01 s); the world's bodies stay.
TEST(RbdWorld, ResetRestoresEveryDefaultButKeepsTheWorldsBodiesAndTimeStep)
{
    World world(2, 2), fresh(2, 2);
    RbdBodyID newBody = RbdBodyCreate(world), body = RbdBodyCreate(world);
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
    EXPECT_EQ(bodyState(body), bodyState(newBody));
    EXPECT_EQ(body->impulsePending, 0);
    RbdWorldSetTimeStep(world, 0.01);
    RbdWorldSetEpsilon(world, 0.5);
    RbdWorldSetGravity(world, 1.0, 2.0, 3.0);
    RbdWorldSetAutoDisable(world, 1);
    RbdWorldSetAutoDisableAngularVelocityThreshold(world, 9.0);
    RbdWorldSetIntegrationModel(world, 0);
    RbdWorldSetLinearSolver(world, 1);
    RbdWorldLCPSetMaxIterations(world, 99);
    RbdWorldReset(world);
    EXPECT_EQ(worldParameters(world), worldParameters(fresh));
    EXPECT_DOUBLE_EQ(RbdWorldGetGamma(world), 0.08);
    EXPECT_EQ(RbdWorldGetTimeStep(world), 0.01);
    EXPECT_EQ(RbdBodyGetFirst(world), body);
    RbdWorldSetGammaWithRefTimeStep(world, 0.2, 0.01, 0.005);
    EXPECT_DOUBLE_EQ(RbdWorldGetGamma(world), 0.1) << "a gamma tuned for 0.01 s, used at 0.005 s";
}

TEST(RbdWorld, TheSolverWorkspaceCanLiveInCallerMemory)
{
    World world(1, 1);
    static char small[1024];
    RbdWorldSetMemoryPool(world, small, sizeof small);
    EXPECT_EQ(PxChunkGetMem(&world->chunk, 4000), nullptr) << "no callback: the request fails";
    EXPECT_EQ(RbdWorldGetMaxMemoryPoolUsed(world), 4000u);
    static char userMemory[8192];
    static int overflowCalls = 0;
    RbdWorldSetMemoryPoolOverflowCB(world, [](PxChunk *chunk, void *, size_t, size_t needed) {
        ++overflowCalls;
        PxChunkSetUser(chunk, userMemory, needed < sizeof userMemory ? sizeof userMemory : needed, 64);
    });
    EXPECT_NE(PxChunkGetMem(&world->chunk, 6000), nullptr);
    EXPECT_EQ(overflowCalls, 1);
    EXPECT_EQ((uintptr_t)world->chunk.alignedMemory % 64, 0u);
}

// Every refusal leaves things as they were and says why, once.
TEST(RbdWorld, BadInputIsRefusedWithItsWarning)
{
    World world(2, 2), elsewhere(1, 1);
    RbdBodyID body = RbdBodyCreate(world), other = RbdBodyCreate(world), stranger = RbdBodyCreate(elsewhere);
    RbdConstraintID joint = RbdBSJointCreate(world);
    RbdConstraintSetBodies(joint, body, other);
    PxPool pool;
    ASSERT_TRUE(PxPoolInitResizable(&pool, 1, (int)sizeof(RbdBody), 0, 0.0f, 16));
    RbdBodyID loose = RbdBodyCreateInPool(&pool), gone = RbdBodyCreateInPool(&pool);
    EXPECT_EQ(gone, nullptr) << "an exhausted pool";
    const struct {
        std::function<void()> act;
        const char *message;
    } cases[] = {
        {[&] { EXPECT_EQ(RbdWorldCreate(-1, 3), nullptr); },
         "RbdWorldCreate: invalid capacities (-1 bodies, 3 constraints)"},
        {[&] { RbdWorldSetTimeStep(world, 0.0); }, "RbdWorldSetTimeStep"},
        {[&] { RbdWorldSetEpsilon(world, -1.0); }, "RbdWorldSetEpsilon"},
        {[&] { RbdWorldSetGamma(world, NAN); }, "RbdWorldSetGamma"},
        {[&] { RbdWorldSetAutoDisable(world, 3); }, "RbdWorldSetAutoDisable"},
        {[&] { RbdWorldSetGravity(world, 0.0, INFINITY, 0.0); }, "RbdWorldSetGravity"},
        {[&] { RbdWorldLCPSetMaxIterations(world, 0); }, "RbdWorldLCPSetMaxIterations"},
        {[&] { RbdBodySetMass(body, 0.0); }, "RbdBodySetMass"},
        {[&] {
             PxMatrix3 singular = {{1, 0, 0}, {0, 0, 0}, {0, 0, 1}};
             RbdBodySetInertiaTensor(body, singular);
         },
         "RbdBodySetInertiaTensor"},
        {[&] {
             PxMatrix3 stretched = {{2, 0, 0}, {0, 1, 0}, {0, 0, 1}};
             RbdBodySetOrientation(body, stretched);
         },
         "RbdBodySetOrientation: the matrix is not a rotation; ignored."},
        {[&] {
             PxMatrix4 tm;
             PxM4Identity(tm);
             tm[0][1] = 0.5;
             RbdBodySetTransform(body, tm);
         },
         "not a rotation"},
        {[&] { RbdBodyEnable(loose); }, "RbdBodyEnable: the body belongs to no world."},
        {[&] {
             RbdBodyDestroyInPool(loose, &pool);
             RbdBodySetMass(loose, 3.0);
         },
         "RbdBodySetMass: the body has been destroyed."},
        {[&] { RbdConstraintSetBodies(joint, body, body); }, "a constraint cannot join a body to itself"},
        {[&] { RbdConstraintSetBodies(joint, body, stranger); }, "the bodies belong to another world"},
    };
    const std::vector<double> before = bodyState(body);
    for (const auto &k : cases) {
        Messages warnings;
        k.act();
        EXPECT_EQ(warnings.warnings.size(), 1u) << k.message;
        EXPECT_TRUE(warnings.warned(k.message)) << k.message;
    }
    EXPECT_EQ(bodyState(body), before);
    EXPECT_EQ(RbdConstraintGetBody(joint, 1), other);
    EXPECT_EQ(RbdWorldGetTimeStep(world), 0.015);
    EXPECT_EQ(worldParameters(world), worldParameters(elsewhere));
    EXPECT_EQ(PxPoolGetUsed(&pool), 0);
    PxPoolTerm(&pool);
}
