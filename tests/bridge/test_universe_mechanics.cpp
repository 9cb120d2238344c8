// What the universe adds to the mechanics, through SbxUniverseStep alone:
// sleeping bodies freeze their models and wake when hit; kinematic
// and moved fixed models; a sensor; destroying a touching model; the swept
// step; no allocation once sized. Falls, rests and stacks are the dynamics
// and large-island tests' own.
#include <math.h>

#include <vector>

#include <algorithm>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "bridge/test_bridge_support.h"
#include "bridge/test_universe_support.h"

namespace {

using sbxtest::kStep;
using sbxtest::translation;

const PxReal kG = 9.81;
const PxReal kH = kStep;

const SbxUniverseSizes kSizes = {20, 200, 7, 32, 128, 2};

// The shared universe with the fixed ground plane z = 0.
class UniverseMechanics : public sbxtest::UniverseFixture {
protected:
    UniverseMechanics() : UniverseFixture(kSizes) {}
    void SetUp() override
    {
        UniverseFixture::SetUp();
        ground = fixedAt(keep(CdxPlaneCreate()), 0.0, 0.0, 0.0);
    }
    // Friction in both directions for every pair of default materials.
    void frictional() { SbxBridgeGetContactParams(SbxUniverseGetBridge(universe), 0, 0)->type = 2; }

    CdxModelID ground = nullptr;
};

// Drop, rest on the ground within a millimetre, fall asleep (the model is
// then frozen in the space), and wake when a second ball lands on top.
TEST_F(UniverseMechanics, ADroppedBallComesToRestFallsAsleepAndWakesWhenHit)
{
    const PxReal radius = 0.1;
    CdxGeometryID sphere = keep(CdxSphereCreate(radius));
    CdxModelID ball = dropped(sphere, 0.0, 0.0, 0.5);
    int stepsToSleep = 0;
    while (awake(ball) && stepsToSleep < 2000) {
        SbxUniverseStep(universe, kH);
        ++stepsToSleep;
    }
    ASSERT_FALSE(awake(ball)) << "still awake after 20 s";
    EXPECT_NEAR(height(ball), radius, 0.001);
    EXPECT_TRUE(CdxSpaceModelIsFrozen(ball));
    EXPECT_EQ(RbdWorldGetEnabledBodies(world), 0);

    // Asleep it stays put.
    const PxReal rest = height(ball);
    steps(100);
    EXPECT_EQ(height(ball), rest);

    // The hammer's lowest point starts 0.3 m above the ball's top.
    CdxModelID hammer = dropped(sphere, 0.0, 0.0, rest + 2.0 * radius + 0.3);
    int n = 0;
    while (!awake(ball) && n < 100) {
        SbxUniverseStep(universe, kH);
        ++n;
    }
    EXPECT_TRUE(awake(ball));
    EXPECT_FALSE(CdxSpaceModelIsFrozen(ball));
    EXPECT_GT(contacts(ball, hammer), 0);
    // It wakes within two steps of the hit: after a fall of about 0.25 s.
    EXPECT_NEAR(n * kH, sqrt(2.0 * 0.3 / kG), 2 * kH);
}

// A kinematic box moving at 1 m/s along x wakes a box asleep on the
// frictionless ground and shoves it ahead. The contact sees the pusher as
// standing still, so the box is driven by error correction alone: it
// trails at the depth whose correction speed gamma x depth / h equals the
// pusher's speed.
TEST_F(UniverseMechanics, AKinematicModelWakesAndPushesABody)
{
    CdxGeometryID cube = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    CdxModelID crate = dropped(cube, 0.0, 0.0, 0.5);
    PxMatrix4 pusherPose;
    translation(pusherPose, -1.5, 0.0, 0.52);
    PxVector3 v = {1.0, 0.0, 0.0}, w = {0.0, 0.0, 0.0};
    CdxModelID pusher = own(SbxKinematicModelCreate(universe, cube, &pusherPose, v, w));
    // Pushed at v, the crate sits where the correction of its penetration
    // d, at the rate gamma / h but at most the maximum correcting rate,
    // gives v.
    const PxReal depth = v[0] / fmin(RbdWorldGetGamma(world) / kH, RbdWorldGetMaxCorrectingRate(world));
    PxReal closest = 1e9;
    for (int n = 0; n < 300; ++n) {
        if (n == 45) {
            ASSERT_FALSE(awake(crate)) << "asleep before the pusher arrives";
        }
        SbxUniverseStep(universe, kH);
        pusherPose[3][0] += v[0] * kH;
        PxVector3 p;
        position(crate, p);
        closest = fmin(closest, p[0] - pusherPose[3][0]);
    }
    EXPECT_GT(closest, 1.0 - depth - 0.005);
    PxVector3 p, velocity;
    position(crate, p);
    EXPECT_NEAR(p[0] - pusherPose[3][0], 1.0 - depth, 0.005);
    RbdBodyGetLinearVelocity(CdxModelGetBody(crate), velocity);
    EXPECT_NEAR(velocity[0], v[0], 0.01);
    EXPECT_TRUE(awake(crate));
    EXPECT_GT(contacts(pusher, crate), 0);
    EXPECT_NEAR(height(crate), 0.5, 0.01);
}

// A small ball dropped onto a 2 cm slab falls exactly as a ball beside it
// falls through nothing when the slab is a sensor (which makes no contact)
// or when at 50 m/s it crosses the slab within one plain step; the swept
// step finds the slab and stops it there.
TEST_F(UniverseMechanics, ABallPassesASensorOrAPlainStepsMissAndTheSweptStepStopsIt)
{
    struct Case {
        bool sensor;
        int method;
        PxReal speed;
        bool stopped;
    } const cases[] = {
        {true, SbxUniverseStepPlain, 0.0, false},
        {false, SbxUniverseStepPlain, 50.0, false},
        {false, SbxUniverseStepPath, 50.0, true},
    };
    CdxGeometryID sphere = keep(CdxSphereCreate(0.05)), slab = keep(CdxBoxCreate(2.0, 2.0, 0.02));
    for (const Case &c : cases) {
        const PxReal y = 10.0 * static_cast<PxReal>(&c - cases);
        SbxUniverseSetStepMethod(universe, c.method);
        PxMatrix4 pose; // lives as long as the obstacle
        translation(pose, 0.0, y, 1.0);
        CdxModelID obstacle = own(c.sensor ? SbxSensorModelCreate(universe, slab, &pose)
                                           : SbxFixedModelCreate(universe, slab, &pose));
        CdxModelID through = dropped(sphere, 0.0, y, 1.5), beside = dropped(sphere, 3.0, y, 1.5);
        for (CdxModelID ball : {through, beside}) RbdBodySetLinearVelocity(CdxModelGetBody(ball), 0.0, 0.0, -c.speed);
        for (int n = 0; n < (c.speed > 0.0 ? 5 : 50); ++n) {
            SbxUniverseStep(universe, kH);
            if (!c.stopped) {
                ASSERT_EQ(height(through), height(beside)) << n;
                ASSERT_TRUE(!c.sensor || contacts(obstacle, through) == 0) << n;
            }
        }
        EXPECT_EQ(height(through) > 1.0, c.stopped) << c.sensor << c.method;
        SbxModelDestroy(universe, obstacle);
        forget(obstacle);
    }
}

// Destroying one of two touching boxes destroys their contacts in the same
// call, before its body goes; the other box then falls onto the table.
TEST_F(UniverseMechanics, DestroyingATouchingModelEndsItsContactsAtOnce)
{
    CdxGeometryID cube = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    CdxModelID table = fixedAt(cube, 0.0, 0.0, 1.0);
    CdxModelID lower = dropped(cube, 0.0, 0.0, 2.0);
    CdxModelID upper = dropped(cube, 0.0, 0.0, 3.0);
    steps(20);
    ASSERT_GT(contacts(lower, upper), 0);
    ASSERT_GT(contacts(lower, table), 0);
    ASSERT_EQ(RbdWorldGetTotalConstraints(world), contacts(lower, upper) + contacts(lower, table));

    SbxModelAndBodyDestroy(universe, lower);
    forget(lower);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 1);
    EXPECT_EQ(CdxSpaceGetModelCount(space), 3);
    // Losing contacts wakes nothing: the program wakes the upper box.
    RbdBodyEnable(CdxModelGetBody(upper));
    steps(100);
    EXPECT_NEAR(height(upper), 2.0, 0.01);
    EXPECT_GT(contacts(upper, table), 0);
}

// Moving a fixed model moves it in the space at once: a box resting on a
// fixed support falls when the support is moved away, even asleep.
TEST_F(UniverseMechanics, MovingAFixedSupportAwayLetsWhatRestedOnItFall)
{
    PxMatrix4 supportPose;
    translation(supportPose, 0.0, 0.0, 1.0);
    CdxModelID support = own(SbxFixedModelCreate(universe, keep(CdxBoxCreate(1.0, 1.0, 1.0)), &supportPose));
    CdxModelID crate = dropped(keep(CdxBoxCreate(0.5, 0.5, 0.5)), 0.0, 0.0, 1.75);
    steps(300);
    ASSERT_FALSE(awake(crate));
    EXPECT_NEAR(height(crate), 1.75, 0.005);

    PxMatrix4 away;
    translation(away, 5.0, 0.0, 1.0);
    SbxModelSetTransform(support, away);
    EXPECT_EQ(supportPose[3][0], 5.0);
    // The pair ends at the next step, and with it its contacts; losing a
    // contact does not wake a sleeping body: the program wakes it.
    steps(10);
    EXPECT_EQ(CdxSpaceGetModelPair(crate, support), nullptr);
    EXPECT_NEAR(height(crate), 1.75, 0.005);
    RbdBodyEnable(CdxModelGetBody(crate));
    steps(100);
    EXPECT_NEAR(height(crate), 0.25, 0.01);
}

// Counts the toolkit's allocations while alive.
using sbxtest::AllocationCounter;

// Once a scene's contacts and islands have reached their sizes, steps of
// either method allocate nothing: a stack settling, a ball rolling off it.
TEST_F(UniverseMechanics, StepsAllocateNothingOnceCapacitiesAreReached)
{
    RbdWorldSetAutoDisable(world, 0);
    frictional();
    CdxGeometryID cube = keep(CdxBoxCreate(1.0, 1.0, 1.0));
    for (int k = 0; k < 3; ++k) dropped(cube, 0.1 * k, 0.0, 0.5 + k, 500.0);
    CdxModelID ball = dropped(keep(CdxSphereCreate(0.2)), 0.0, 0.0, 3.5);
    RbdBodySetLinearVelocity(CdxModelGetBody(ball), 0.5, 0.0, 0.0);
    for (int method : {SbxUniverseStepPlain, SbxUniverseStepPath}) {
        SbxUniverseSetStepMethod(universe, method);
        steps(300);
        AllocationCounter counter;
        steps(100);
        EXPECT_EQ(counter.allocations(), 0) << "step method " << method;
    }
    AllocationCounter counter; // and it does count
    CdxGeometryDestroy(CdxSphereCreate(1.0));
    EXPECT_EQ(counter.allocations(), 1);
}

} // namespace
