// Sleeping in a small pile of balls on the ground, sleeping on as the
// robot layer runs: a settled pile falls asleep even when a ball resting on
// another spins slowly about their contact normal (which no friction
// resists), while a ball rolling past the pile, or one tossed upwards, stays
// awake for as long as it moves.
#include <math.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/PxFile.h>
#include <kelmar/Rbd.h>

#include "SimSceneFile.h"
#include "SimScenes.h"

namespace {

const PxReal kRadius = 0.1;   // m
const PxReal kStep = 0.01;    // s
const int kSettleSteps = 150; // the pile lands and settles (1.5 s)

struct Pile {
    std::unique_ptr<ksim::Scene> scene;
    std::vector<RbdBodyID> balls; // 3 x 3 on the ground, then 4 in the hollows above
    RbdBodyID loner = nullptr;    // 1 m away from the pile
    RbdBodyID top = nullptr;      // on the loner, if asked for
};

// A 3 x 3 square of touching balls, four more in its hollows, a lone ball
// and, if asked, a ball on top of the lone one.
Pile makePile(bool column)
{
    Pile pile;
    pile.scene = std::make_unique<ksim::Scene>("sleep", ksim::sizesFor(14, 16, 16));
    ksim::Scene &s = *pile.scene;
    ksim::useGravity(s, 9.81);
    ksim::useFriction(s, 0.5);
    ksim::addGround(s);
    CdxGeometryID ball = s.keep(CdxSphereCreate(kRadius));
    const PxQuaternion unturned = {1.0, 0.0, 0.0, 0.0};
    const PxReal d = 2.0 * kRadius, up = kRadius * sqrt(2.0); // lattice step, height of the upper layer
    auto add = [&](PxReal x, PxReal y, PxReal z) {
        const PxVector3 at = {x, y, z};
        s.body(ball, 1000.0, at, unturned, "ball");
    };
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j) add(d * i, d * j, kRadius);
    for (PxReal x : {-0.5 * d, 0.5 * d})
        for (PxReal y : {-0.5 * d, 0.5 * d}) add(x, y, kRadius + up);
    add(1.0, 0.0, kRadius);
    if (column) add(1.0, 0.0, 3.0 * kRadius);
    pile.balls = s.bodyIds();
    pile.loner = pile.balls[13];
    pile.top = column ? pile.balls[14] : nullptr;
    return pile;
}

int awake(const std::vector<RbdBodyID> &bodies)
{
    int n = 0;
    for (RbdBodyID body : bodies) n += RbdBodyIsEnabled(body) ? 1 : 0;
    return n;
}

PxReal positionOf(RbdBodyID body, int axis)
{
    PxVector3 p;
    RbdBodyGetPosition(body, p);
    return p[axis];
}

TEST(SimSleep, ASettledPileSleepsThoughOneBallSpinsSlowlyAboutItsContactNormal)
{
    Pile pile = makePile(true);
    for (int k = 0; k < kSettleSteps; ++k) pile.scene->step(kStep);
    // The top ball spins about the vertical at 0.05 rad/s: its squared
    // angular velocity is 2.5 times the threshold, and nothing slows it (it
    // keeps spinning with sleeping off), yet its kinetic energy is that of
    // the ball moving at 3 mm/s, a third of the rest speed (a tenth of g h).
    RbdBodyEnable(pile.top);
    RbdBodySetAngularVelocity(pile.top, 0.0, 0.0, 0.05);
    const size_t n = pile.balls.size();
    std::vector<PxReal> heights(n);
    for (size_t b = 0; b < n; ++b) heights[b] = positionOf(pile.balls[b], 2);
    int steps = 0;
    for (; steps < 100 && awake(pile.balls) > 0; ++steps) pile.scene->step(kStep);
    EXPECT_EQ(awake(pile.balls), 0) << "still awake after " << steps << " steps";
    EXPECT_LE(steps, 30) << "the alive window (10 steps) and a window to average over";
    for (size_t b = 0; b < n; ++b) EXPECT_NEAR(positionOf(pile.balls[b], 2), heights[b], 1e-3) << "ball " << b;

    // With the rest speed off, the same spin keeps its two balls awake.
    RbdWorldSetAutoDisableRestSpeed(pile.scene->world(), 0.0);
    RbdBodyEnable(pile.top);
    RbdBodySetAngularVelocity(pile.top, 0.0, 0.0, 0.05);
    for (int k = 0; k < 100; ++k) pile.scene->step(kStep);
    EXPECT_TRUE(RbdBodyIsEnabled(pile.top) && RbdBodyIsEnabled(pile.loner));
    PxVector3 w;
    RbdBodyGetAngularVelocity(pile.top, w);
    EXPECT_NEAR(w[2], 0.05, 0.005) << "no friction slows the spin";
}

// Each case keeps one ball moving near the settled pile; it must stay
// awake on every step of its motion.
struct Mover {
    const char *name;
    PxVector3 velocity; // m/s, given once the pile has settled
    int steps;          // of its motion
    PxReal travelled;   // along the velocity (m), at least
};

TEST(SimSleep, ABallRollingPastThePileOrTossedUpwardsStaysAwakeWhileItMoves)
{
    const Mover movers[] = {
        // Rolling at 5 cm/s, below the velocity threshold (14 cm/s), for 1 s.
        {"rolling", {0.0, 0.05, 0.0}, 100, 0.04},
        // Up at 0.49 m/s: at the top of its flight after 5 steps, then back.
        // Up at 1.47 m/s: at the top of its flight (10 cm up) after 15 steps,
        // when its velocity averaged over the last steps is near zero; back
        // down after 30. Only the acceleration test keeps it awake.
        {"tossed", {0.0, 0.0, 1.47}, 29, 0.0},
    };
    for (const Mover &m : movers) {
        SCOPED_TRACE(m.name);
        Pile pile = makePile(false);
        for (int k = 0; k < kSettleSteps; ++k) pile.scene->step(kStep);
        ASSERT_EQ(awake(pile.balls), 0) << "the pile alone sleeps";
        RbdBodyEnable(pile.loner);
        RbdBodySetLinearVelocity(pile.loner, m.velocity[0], m.velocity[1], m.velocity[2]);
        RbdBodySetAngularVelocity(pile.loner, -m.velocity[1] / kRadius, 0.0, 0.0); // rolling without slipping
        const PxReal start = positionOf(pile.loner, 1), top = positionOf(pile.loner, 2);
        PxReal highest = top;
        for (int k = 0; k < m.steps; ++k) {
            pile.scene->step(kStep);
            ASSERT_TRUE(RbdBodyIsEnabled(pile.loner)) << "asleep at step " << k;
            highest = std::max(highest, positionOf(pile.loner, 2));
        }
        EXPECT_GE(positionOf(pile.loner, 1) - start, m.travelled);
        if (m.velocity[2] > 0.0) {
            EXPECT_GT(highest - top, 0.09) << "it flew";
        }
    }
}

// The averaging window and the rest speed travel with the scene file.
TEST(SimSleep, TheSleepSettingsComeBackFromASceneFile)
{
    Pile pile = makePile(false);
    RbdWorldSetAutoDisableAveragingWindow(pile.scene->world(), 7);
    RbdWorldSetAutoDisableRestSpeed(pile.scene->world(), 0.25);
    const std::string path = testing::TempDir() + "kelmar-sim-sleep-" + std::to_string(getpid()) + ".xml";
    ASSERT_EQ(SbxUniverseSaveFile(pile.scene->universe(), path.c_str(), nullptr, 0), 1);
    std::string error;
    auto loaded = ksim::loadSceneFile(path, &error);
    unlink(path.c_str());
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(RbdWorldGetAutoDisableAveragingWindow(loaded->world()), 7);
    EXPECT_EQ(RbdWorldGetAutoDisableRestSpeed(loaded->world()), 0.25);
}

} // namespace
