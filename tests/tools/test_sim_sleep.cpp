// Sleeping in a settled pile of balls, sleeping on as the robot layer runs:
// it falls asleep even when a ball resting on another spins slowly about
// their contact normal (which no friction resists), while a ball rolling
// near it, or one tossed upwards, stays awake for as long as it moves. A
// ball spinning fast about the line through its contacts stays awake, but
// the ball it carries sleeps: the spin reaches neither contact. A ball
// rolling into a sleeping one wakes it only with a push that could move it.
// A ball rolling on a sleeping heap leaves it asleep while it bears on it
// as it did when the heap fell asleep, and wakes it once it presses harder.
#include <math.h>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/Rbd.h>

#include "SimScenes.h"

namespace {

const PxReal kRadius = 0.1, kStep = 0.01; // m, s

// Balls of radius kRadius at the given centres on the ground, with friction.
template <int count> std::unique_ptr<ksim::Scene> ballsAt(const char *name, const PxReal (&centres)[count][3])
{
    auto scene = std::make_unique<ksim::Scene>(name, ksim::sizesFor(count, count + 1, count));
    ksim::useGravity(*scene, 9.81);
    ksim::useFriction(*scene, 0.5);
    ksim::addGround(*scene);
    CdxGeometryID ball = scene->keep(CdxSphereCreate(kRadius));
    const PxQuaternion unturned = {1.0, 0.0, 0.0, 0.0};
    for (const PxReal *p : centres) scene->body(ball, 1000.0, p, unturned, "ball");
    return scene;
}

// Balls 0-8 a touching 3 x 3 square on the ground, 9-12 in its hollows,
// 13 alone 1 m away with 14 on top of it, 15 alone on the other side.
std::unique_ptr<ksim::Scene> makePile()
{
    const PxReal d = 2.0 * kRadius, r = kRadius, up = r + r * sqrt(2.0);
    const PxReal at[16][3] = {{-d, -d, r}, {0, -d, r}, {d, -d, r},    {-d, 0, r},   {0, 0, r},   {d, 0, r},
                              {-d, d, r},  {0, d, r},  {d, d, r},     {-r, -r, up}, {r, -r, up}, {-r, r, up},
                              {r, r, up},  {1, 0, r},  {1, 0, 3 * r}, {-1, 0, r}};
    return ballsAt("sleep", at);
}

// One ball of the settled pile set moving; whether the pile then sleeps
// within `steps` steps, or that ball stays awake on every one of them.
struct Motion {
    const char *name;
    int ball;
    PxVector3 v, w;   // m/s, rad/s
    PxReal restSpeed; // the world's setting (fraction of g h), negative: the default
    int steps;
    bool sleeps;
};

TEST(SimSleep, ASettledPileSleepsThoughABallSpinsOnItsContactNormalWhileRollingOrTossedBallsStayAwake)
{
    const Motion motions[] = {
        // 0.05 rad/s: 2.5 times the squared spin threshold, yet the energy
        // of the ball moving at 3 mm/s, a third of the default rest speed.
        {"spinning on a ball", 14, {0, 0, 0}, {0, 0, 0.05}, -1, 30, true},
        {"the same, rest speed off", 14, {0, 0, 0}, {0, 0, 0.05}, 0.0, 100, false},
        // 5 cm/s, below the velocity threshold (14 cm/s), for 1 s.
        {"rolling", 15, {0, 0.05, 0}, {-0.5, 0, 0}, -1, 100, false},
        // 1.47 m/s up: at the top of its flight (10 cm) after 15 steps, its
        // speed near zero; only its acceleration keeps it awake.
        {"tossed", 15, {0, 0, 1.47}, {0, 0, 0}, -1, 29, false},
    };
    for (const Motion &m : motions) {
        SCOPED_TRACE(m.name);
        auto scene = makePile();
        const std::vector<RbdBodyID> balls = scene->bodyIds();
        if (m.restSpeed >= 0.0) RbdWorldSetAutoDisableRestSpeed(scene->world(), m.restSpeed);
        for (int k = 0; k < 150; ++k) scene->step(kStep);
        for (RbdBodyID b : balls) ASSERT_FALSE(RbdBodyIsEnabled(b)) << "the pile settles and sleeps";
        PxVector3 before, after;
        RbdBodyGetPosition(balls[m.ball], before);
        RbdBodyEnable(balls[m.ball]);
        RbdBodySetLinearVelocity(balls[m.ball], m.v[0], m.v[1], m.v[2]);
        RbdBodySetAngularVelocity(balls[m.ball], m.w[0], m.w[1], m.w[2]);
        int awake = 1;
        for (int k = 0; k < m.steps && (m.sleeps ? awake > 0 : awake == 1); ++k) {
            scene->step(kStep);
            awake = 0;
            for (RbdBodyID b : balls) awake += RbdBodyIsEnabled(b) && (m.sleeps || b == balls[m.ball]);
        }
        EXPECT_EQ(awake, m.sleeps ? 0 : 1);
        RbdBodyGetPosition(balls[m.ball], after);
        EXPECT_NEAR(after[1] - before[1], m.v[1] * m.steps * kStep, 0.01) << "it rolled its way";
    }
}

// Ball 13 on the ground carries ball 14. Set spinning about the vertical
// at 0.3 rad/s (nine times the spin threshold, three times the rest speed's
// energy), it spins on for ever: no friction resists a spin about a point
// contact's normal. It presses both its contacts, yet its spin moves neither:
// the ball on top sleeps while it spins, and sleeping there (immovable for
// it) takes nothing of its spin; nor is it woken by the islands built
// (woken, it would be put back to sleep in the same step, telling the
// bridge both).
TEST(SimSleep, ABallSpinningUnderTheBallItCarriesLeavesThatBallAsleep)
{
    const PxReal spin = 0.3; // rad/s
    auto scene = makePile();
    const std::vector<RbdBodyID> balls = scene->bodyIds();
    for (int k = 0; k < 150; ++k) scene->step(kStep);
    for (RbdBodyID b : balls) ASSERT_FALSE(RbdBodyIsEnabled(b)) << "the pile settles and sleeps";
    // Both woken: the ball on top is judged in the spinning ball's island.
    RbdBodyEnable(balls[13]);
    RbdBodyEnable(balls[14]);
    RbdBodySetAngularVelocity(balls[13], 0.0, 0.0, spin);
    static RbdBodyCallback bridgeWakes; // the bridge's callback, still called
    static RbdBodyID carried;
    static int carriedWoken;
    bridgeWakes = RbdWorldGetBodyEnabledCallback(scene->world()), carried = balls[14], carriedWoken = 0;
    RbdWorldSetBodyEnabledCallback(scene->world(), [](RbdBodyID body) {
        carriedWoken += body == carried;
        if (bridgeWakes) bridgeWakes(body);
    });
    int carriedAwake = 0, spinnerAsleep = 0;
    for (int k = 0; k < 100; ++k) {
        scene->step(kStep);
        carriedAwake += k >= 20 && RbdBodyIsEnabled(balls[14]);
        spinnerAsleep += !RbdBodyIsEnabled(balls[13]);
    }
    EXPECT_EQ(carriedAwake, 0) << "the carried ball sleeps from the 20th step on";
    EXPECT_EQ(carriedWoken, 0);
    EXPECT_EQ(spinnerAsleep, 0);
    PxVector3 w;
    RbdBodyGetAngularVelocity(balls[13], w);
    EXPECT_NEAR(w[2], spin, 1e-3 * spin) << "it spins on";
    EXPECT_NEAR(hypot(w[0], w[1]), 0.0, 1e-3 * spin);
}

// Two balls asleep on the ground 9 mm apart along a diagonal (within the
// pair's contact tolerance, and their boxes overlap: their contact exists
// throughout), the resting one four times as heavy; the other is set
// rolling towards it, which sleeps on while they are more than two steps
// of travel apart. At 8 cm/s it is then struck along the line of the
// strike. At 9 mm/s (awake: just above the rest speed by its energy) the
// roller has too little momentum to move it past the rest speed: it stays
// asleep where it lay, and the roller stops against it. Pushed on then with
// a tenth of its weight, the roller's pushes add up and wake it within five
// steps.
TEST(SimSleep, ABallRollingTowardsASleepingOneWakesItByStrikingOrPushingButNotByTouching)
{
    struct Roll {
        const char *name;
        PxReal speed, push; // m/s, share of the roller's weight along its way
        bool wakes;
    };
    const Roll rolls[] = {
        {"striking", 0.08, 0.0, true},
        {"touching", 0.009, 0.0, false},
        {"pushing", 0.009, 0.1, true},
    };
    const PxReal gap = 0.009, apart = (2.0 * kRadius + gap) / sqrt(2.0); // m
    const PxReal at[2][3] = {{0.0, 0.0, kRadius}, {-apart, -apart, kRadius}};
    for (const Roll &roll : rolls) {
        SCOPED_TRACE(roll.name);
        auto scene = ballsAt("strike", at);
        RbdBodyID resting = scene->bodyIds()[0], rolling = scene->bodyIds()[1];
        RbdBodySetMassAndScaleInertiaTensor(resting, 4.0 * RbdBodyGetMass(resting));
        for (int k = 0; k < 20; ++k) scene->step(kStep);
        ASSERT_FALSE(RbdBodyIsEnabled(resting) || RbdBodyIsEnabled(rolling)) << "all asleep";
        const PxReal along = roll.speed / sqrt(2.0), force = roll.push * RbdBodyGetMass(rolling) * 9.81 / sqrt(2.0);
        RbdBodyEnable(rolling);
        RbdBodySetLinearVelocity(rolling, along, along, 0.0);
        RbdBodySetAngularVelocity(rolling, -along / kRadius, along / kRadius, 0.0);
        PxVector3 start;
        RbdBodyGetPosition(resting, start);
        // Two steps of travel are 1.6 mm at 8 cm/s; at 9 mm/s it has touched
        // and stopped by step 120, and is pushed on from there.
        const int strikeBy = 5, pushFrom = 120, steps = 400;
        int awakeBeforeStrike = 0, woke = 0;
        for (int k = 1; k <= steps; ++k) {
            if (force > 0.0 && k > pushFrom) {
                RbdBodyEnable(rolling); // a hand holds it to the push
                RbdBodyAddForce(rolling, force, force, 0.0);
            }
            scene->step(kStep);
            if (k <= strikeBy) awakeBeforeStrike += RbdBodyIsEnabled(resting);
            woke += RbdBodyIsEnabled(resting);
        }
        EXPECT_EQ(awakeBeforeStrike, 0);
        EXPECT_EQ(woke > 0, roll.wakes);
        PxVector3 end, rollerEnd;
        RbdBodyGetPosition(resting, end);
        RbdBodyGetPosition(rolling, rollerEnd);
        EXPECT_NEAR(end[0] - end[1], 0.0, 1e-4);
        if (roll.wakes) {
            EXPECT_GT(end[0] + end[1], 2e-4 * sqrt(2.0)) << "moved along the diagonal";
            continue;
        }
        EXPECT_TRUE(end[0] == start[0] && end[1] == start[1]);
        EXPECT_NEAR(sqrt(2.0) * -rollerEnd[0], 2.0 * kRadius, 1e-3) << "the roller stopped against it";
    }
}

// Two boards stacked on the ground, solved by the sweeps as a large heap
// is, asleep with a ball resting on the top one; the ball is then set
// rolling along it at 5 cm/s (five times the rest speed), from step 60 on
// pressed down by a share of its weight. The boards held the ball's weight
// while awake and hold it asleep, met as immovable, while its force stays
// within a quarter of what it was when they fell asleep: the ball rolls on
// at its speed (no friction works on a ball rolling on a plane) while the
// heap sleeps. Pressed by half its weight, the top board wakes, and is
// stepped with the board it bears on for its alive window.
TEST(SimSleep, ABallRollingOnASleepingHeapLeavesItAsleepUntilItPressesHarder)
{
    const PxReal speed = 0.05, shares[] = {0.0, 0.1, 0.5}; // m/s, of the ball's weight
    const PxQuaternion unturned = {1.0, 0.0, 0.0, 0.0};
    const PxReal at[3][3] = {{0.0, 0.0, 0.05}, {0.0, 0.0, 0.15}, {-0.3, 0.0, 0.2 + kRadius}};
    for (PxReal share : shares) {
        SCOPED_TRACE(share);
        auto scene = std::make_unique<ksim::Scene>("boards", ksim::sizesFor(3, 4, 3));
        ksim::useGravity(*scene, 9.81);
        ksim::useFriction(*scene, 0.5);
        ksim::addGround(*scene);
        RbdWorldLCPSetLargeIslandRows(scene->world(), 0);
        CdxGeometryID board = scene->keep(CdxBoxCreate(1.0, 1.0, 0.1));
        for (int b = 0; b < 2; ++b) scene->body(board, 1000.0, at[b], unturned, "board");
        scene->body(scene->keep(CdxSphereCreate(kRadius)), 1000.0, at[2], unturned, "ball");
        const std::vector<RbdBodyID> bodies = scene->bodyIds();
        const RbdBodyID ball = bodies[2];
        for (int k = 0; k < 100; ++k) scene->step(kStep);
        for (RbdBodyID b : bodies) ASSERT_FALSE(RbdBodyIsEnabled(b)) << "all asleep";
        RbdBodyEnable(ball);
        RbdBodySetLinearVelocity(ball, speed, 0.0, 0.0);
        RbdBodySetAngularVelocity(ball, 0.0, speed / kRadius, 0.0);
        int awakeFrom40 = 0, woken[2] = {0, 0}, ballAsleep = 0;
        for (int k = 1; k <= 150; ++k) {
            if (k > 60) RbdBodyAddForce(ball, 0.0, 0.0, -share * RbdBodyGetMass(ball) * 9.81);
            scene->step(kStep);
            for (int b = 0; b < 2; ++b) {
                awakeFrom40 += k >= 40 && k <= 60 && RbdBodyIsEnabled(bodies[b]);
                woken[b] += k > 60 && RbdBodyIsEnabled(bodies[b]);
            }
            ballAsleep += !RbdBodyIsEnabled(ball);
        }
        EXPECT_EQ(awakeFrom40 + ballAsleep, 0) << "the heap sleeps under the rolling ball, which stays awake";
        EXPECT_EQ(woken[0] > 0 && woken[1] > 0, share > 0.25) << "both boards wake under a press, or neither";
        EXPECT_EQ(woken[0] > 0 || woken[1] > 0, share > 0.25);
        PxVector3 v, end;
        RbdBodyGetLinearVelocity(ball, v);
        RbdBodyGetPosition(ball, end);
        EXPECT_NEAR(v[0], speed, 0.01 * speed) << "it rolls on at its speed";
        EXPECT_NEAR(end[0] - at[2][0], speed * 150 * kStep, 0.01 * speed * 150 * kStep);
    }
}

} // namespace
