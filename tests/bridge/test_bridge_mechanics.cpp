// World, space and bridge wired together: balls and boxes dropped on a
// fixed plane land when free fall says, come to rest on it without sinking
// or jittering, fall asleep, and wake when hit.
#include "test_bridge_support.h"

#include <math.h>

#include <algorithm>

using namespace sbxtest;

namespace {

// How a body behaved over a stretch of steps: its lowest height over all
// of them (the impact included), and once it has settled its lowest and
// highest height, its largest speed, the fewest and most contacts it had
// with the ground, and whether those were the same contact records each
// step; and when it fell asleep.
struct Track {
    PxReal lowest = 1e30;
    PxReal restLowest = 1e30, restHighest = -1e30, fastest = 0.0;
    int fewestContacts = 1 << 30, mostContacts = 0;
    bool sameContacts = true;
    int stepsToSleep = -1;
    int samples = 0;
};

class Mechanics : public BridgeTest {
protected:
    void SetUp() override
    {
        BridgeTest::SetUp();
        ASSERT_NE(makeSpace(16, 64), nullptr);
        RbdWorldSetGravity(world, 0.0, -kG, 0.0);
        RbdWorldSetAutoDisable(world, 1);
        ground = groundPlane();
        ASSERT_TRUE(CdxSpaceInsertModel(space, ground));
        CdxSpaceUpdateModel(ground);
        CdxSpaceFreezeModel(ground);
        // Two-direction friction with the default unbounded box limits.
        RbdContactParamsSetType(SbxBridgeGetContactParams(bridge, 0, 0), 2);
    }
    CdxModelID dropped(CdxGeometryID geometry, PxReal m, PxReal x, PxReal y, PxReal z)
    {
        CdxModelID model = bodyModel(geometry, m, x, y, z);
        EXPECT_TRUE(CdxSpaceInsertModel(space, model));
        return model;
    }
    static PxReal height(CdxModelID model)
    {
        PxVector3 p;
        RbdBodyGetPosition(bodyOf(model), p);
        return p[1];
    }
    static PxReal speed(CdxModelID model)
    {
        PxVector3 v, w;
        RbdBodyGetLinearVelocity(bodyOf(model), v);
        RbdBodyGetAngularVelocity(bodyOf(model), w);
        return PxV3Length(v) + PxV3Length(w);
    }
    int groundContacts(CdxModelID model) { return SbxModelPairGetContactCount(CdxSpaceGetModelPair(model, ground)); }
    // Steps h count times, watching model after its first settleSteps.
    Track watch(CdxModelID model, PxReal h, int count, int settleSteps)
    {
        Track t;
        std::vector<RbdContactID> restContacts;
        for (int n = 0; n < count; ++n) {
            step(h);
            t.lowest = fmin(t.lowest, height(model));
            if (t.stepsToSleep < 0 && !RbdBodyIsEnabled(bodyOf(model))) t.stepsToSleep = n;
            if (n < settleSteps) continue;
            t.restLowest = fmin(t.restLowest, height(model));
            t.restHighest = fmax(t.restHighest, height(model));
            t.fastest = fmax(t.fastest, speed(model));
            const std::vector<RbdContactID> contacts = listOf(groundContactList(model));
            t.fewestContacts = std::min(t.fewestContacts, static_cast<int>(contacts.size()));
            t.mostContacts = std::max(t.mostContacts, static_cast<int>(contacts.size()));
            if (n == settleSteps) restContacts = contacts;
            t.sameContacts = t.sameContacts && contacts == restContacts;
            ++t.samples;
        }
        return t;
    }
    RbdContactID groundContactList(CdxModelID model)
    {
        return SbxModelPairGetContacts(CdxSpaceGetModelPair(model, ground));
    }
    CdxModelID ground = nullptr;
};

TEST_F(Mechanics, ABallDroppedFromOneMetreLandsAfterTheFreeFallTimeAndRestsOnThePlaneThenSleeps)
{
    const PxReal r = 0.1, drop = 1.0, h = 0.001;
    CdxModelID ball = dropped(sphere(r), 2.0, 0.0, r + drop, 0.0);
    int firstContactStep = -1;
    for (int n = 0; n < 1000 && firstContactStep < 0; ++n) {
        step(h);
        if (RbdWorldGetTotalConstraints(world) > 0) firstContactStep = n;
    }
    // Contacts are made at the start of a step, within the summed contact
    // tolerances (0.01 m, 2.3 ms at 4.4 m/s) of touching.
    const PxReal landing = sqrt(2.0 * drop / kG);
    EXPECT_NEAR(landing, 0.4515, 5e-5);
    EXPECT_NEAR(firstContactStep * h, landing, 0.004) << "lands after the free-fall time";
    EXPECT_EQ(groundContacts(ball), 1);

    // Three more seconds: the impact, then rest.
    const Track t = watch(ball, 0.01, 300, 20);
    EXPECT_EQ(t.samples, 280);
    EXPECT_GT(t.lowest, r - landing * kG * h) << "at impact it sinks less than one step's fall";
    EXPECT_GT(t.restLowest, r - 0.001) << "at rest it does not sink";
    EXPECT_LT(t.restHighest, r + 0.001) << "nor bounce off";
    EXPECT_GE(t.stepsToSleep, 0) << "falls asleep";
    EXPECT_LT(t.stepsToSleep, 100);
    EXPECT_TRUE(CdxSpaceModelIsFrozen(ball)) << "and its model with it";
    EXPECT_EQ(t.fewestContacts, 1) << "a sleeping body keeps its contact";
    EXPECT_EQ(t.mostContacts, 1);
}

TEST_F(Mechanics, ATiltedBoxLandsFlatAndRestsOnTheSameFourContactsWithoutJitter)
{
    // Awake all the time, so that every step makes its contacts anew.
    RbdWorldSetAutoDisable(world, 0);
    const PxReal sx = 0.4, sy = 0.2, sz = 0.3, h = 0.01, fall = 0.3;
    CdxModelID box = dropped(this->box(sx, sy, sz), 3.0, 0.0, 0.5 * sy + fall, 0.0);
    RbdBodySetQuaternion(bodyOf(box), cos(0.05), 0.0, 0.0, sin(0.05)); // 0.1 rad about z
    const Track t = watch(box, h, 500, 100);
    const PxReal impactSpeed = sqrt(2.0 * kG * fall);
    EXPECT_GT(t.lowest, 0.5 * sy - impactSpeed * h) << "at impact it sinks less than one step's fall";
    EXPECT_GT(t.restLowest, 0.5 * sy - 0.001) << "at rest it does not sink";
    EXPECT_LT(t.restHighest, 0.5 * sy + 0.001);
    EXPECT_LT(t.fastest, 1e-3) << "does not jitter";
    EXPECT_EQ(t.fewestContacts, 4);
    EXPECT_EQ(t.mostContacts, 4);
    EXPECT_TRUE(t.sameContacts) << "the bridge reuses the four contacts every step";
    PxMatrix4 tm;
    RbdBodyGetTransform(bodyOf(box), tm);
    EXPECT_GT(tm[1][1], cos(0.001)) << "its local y axis points up: it lies flat";
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 4);
}

TEST_F(Mechanics, ABoxAtRestFallsAsleepWithItsModelAndKeepsItsContacts)
{
    CdxModelID box = dropped(this->box(0.4, 0.2, 0.3), 3.0, 0.0, 0.2, 0.0);
    const Track t = watch(box, 0.01, 300, 100);
    EXPECT_GE(t.stepsToSleep, 0) << "falls asleep";
    EXPECT_LT(t.stepsToSleep, 100);
    EXPECT_TRUE(CdxSpaceModelIsFrozen(box));
    EXPECT_EQ(t.fewestContacts, 4);
    EXPECT_TRUE(t.sameContacts);
    EXPECT_GT(t.restLowest, 0.1 - 0.001);
}

TEST_F(Mechanics, ASleepingBoxHitByAFallingBallWakesAndSleepsAgain)
{
    const PxReal h = 0.01;
    CdxModelID box = dropped(this->box(0.4, 0.2, 0.4), 3.0, 0.0, 0.1, 0.0);
    int n = 0;
    for (; n < 1000 && RbdBodyIsEnabled(bodyOf(box)); ++n) step(h);
    ASSERT_FALSE(RbdBodyIsEnabled(bodyOf(box))) << "asleep after " << n << " steps";
    ASSERT_TRUE(CdxSpaceModelIsFrozen(box));
    PxVector3 restingPlace;
    RbdBodyGetPosition(bodyOf(box), restingPlace);

    CdxModelID ball = dropped(sphere(0.1), 5.0, 0.15, 1.0, 0.0);
    bool woke = false;
    for (n = 0; n < 200 && !woke; ++n) {
        step(h);
        woke = RbdBodyIsEnabled(bodyOf(box));
    }
    EXPECT_TRUE(woke) << "the hit wakes the box";
    EXPECT_FALSE(CdxSpaceModelIsFrozen(box)) << "and its model";
    EXPECT_EQ(SbxModelPairGetContactCount(CdxSpaceGetModelPair(ball, box)), 1);

    for (n = 0; n < 2000 && (RbdBodyIsEnabled(bodyOf(box)) || RbdBodyIsEnabled(bodyOf(ball))); ++n) step(h);
    EXPECT_FALSE(RbdBodyIsEnabled(bodyOf(box))) << "both fall asleep again";
    EXPECT_FALSE(RbdBodyIsEnabled(bodyOf(ball)));
    EXPECT_GT(height(ball), 0.2 + 0.1 - 0.01) << "the ball rests on the box";
    EXPECT_GT(height(box), 0.1 - 0.005) << "the box did not sink";
}

} // namespace

namespace {

// The path step: boxes swept over the step, safe times from the bridge.
void pathStep(CdxSpaceID space, SbxBridgeID bridge, RbdWorldID world, PxReal h)
{
    CdxSpacePathUpdateAll(space, h);
    RbdWorldSetSafeTimeMode(world, 1);
    RbdWorldSetTimeStep(world, h);
    SbxBridgeUpdateContacts(bridge, space, world);
    RbdWorldStep(world, h);
}

TEST_F(Mechanics, AFastBallStepsOnlyAsFarAsThePlaneInPathModeButSinksDeepInPlainSteps)
{
    // 30 m/s towards the plane (a fixed model without velocities) in steps
    // of 0.05 s: 1.5 m a step.
    RbdWorldSetGravity(world, 0.0, 0.0, 0.0);
    const PxReal r = 0.1, h = 0.05;
    auto fourSteps = [&](bool pathMode) {
        CdxModelID ball = dropped(sphere(r), 1.0, 0.0, 1.0, 0.0);
        RbdBodySetLinearVelocity(bodyOf(ball), 0.0, -30.0, 0.0);
        PxReal lowest = 1.0;
        for (int n = 0; n < 4; ++n) {
            if (pathMode)
                pathStep(space, bridge, world, h);
            else
                step(h);
            lowest = fmin(lowest, height(ball));
        }
        // Out of the way of the next ball.
        CdxSpaceRemoveModel(ball);
        SbxBridgeUpdateTransitions(bridge, space, world);
        RbdBodyDisable(bodyOf(ball));
        return lowest;
    };
    const PxReal plainLowest = fourSteps(false);
    const PxReal pathLowest = fourSteps(true);
    EXPECT_LT(plainLowest, -0.3) << "a plain step passes 0.5 m into the plane";
    EXPECT_GT(pathLowest, r - 0.01) << "the path step stops at the plane";
    EXPECT_EQ(CdxModelGetLinearVelocityPtr(ground), nullptr) << "the plane has no velocities of its own";
    EXPECT_EQ(CdxModelGetAngularVelocityPtr(ground), nullptr);
}

} // namespace

namespace {

TEST_F(Mechanics, ASleepingBoxIsWokenAndPushedByAMovingKinematicModelButNotByAStillOne)
{
    const PxReal h = 0.01;
    CdxModelID crate = dropped(box(0.4, 0.2, 0.4), 3.0, 0.0, 0.1, 0.0);
    for (int n = 0; n < 300 && RbdBodyIsEnabled(bodyOf(crate)); ++n) step(h);
    ASSERT_FALSE(RbdBodyIsEnabled(bodyOf(crate)));

    // A kinematic pusher: moved by the test, its velocities reported.
    PxVector3 v = {0.0, 0.0, 0.0}, w = {0.0, 0.0, 0.0};
    CdxModelID pusher = fixedModelAt(box(0.2, 0.2, 0.2), -0.29, 0.12, 0.0);
    CdxModelSetLinearVelocityPtr(pusher, v);
    CdxModelSetAngularVelocityPtr(pusher, w);
    ASSERT_TRUE(CdxSpaceInsertModel(space, pusher));
    for (int n = 0; n < 50; ++n) step(h);
    EXPECT_GT(SbxModelPairGetContactCount(CdxSpaceGetModelPair(pusher, crate)), 0) << "touching";
    EXPECT_FALSE(RbdBodyIsEnabled(bodyOf(crate))) << "a pusher standing still lets it sleep";

    v[0] = 0.5;
    PxMatrix4 *pose = CdxModelGetTransformPtr(pusher);
    for (int n = 0; n < 100; ++n) {
        step(h);
        (*pose)[3][0] += v[0] * h;
    }
    PxVector3 p;
    RbdBodyGetPosition(bodyOf(crate), p);
    EXPECT_GT(p[0], 0.3) << "pushed half a metre in one second, less the pusher's lead";
    EXPECT_LT(p[0], 0.5);
}

} // namespace
