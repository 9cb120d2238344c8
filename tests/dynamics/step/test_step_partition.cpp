// Islands of the world step: partitioning, frozen and sleeping bodies,
// auto-disable and waking, single-island mode, safe-time steps, capacity
// growth, and a step that allocates nothing once capacities are reached.
#include <gtest/gtest.h>

#include <float.h>
#include <math.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "common/AllocationCounter.h"
#include "dynamics/test_step_support.h"
#include "step/RbdPartition.h"

using namespace steptest;

namespace {

// Each island's solver records are chained in island order and end with
// null, and the totals are the sums over the islands.
void expectChainedIslands(const RbdPartitionOutput &out)
{
    int32_t bodies = 0, constraints = 0;
    for (int32_t p = 0; p < out.partitionCount; ++p) {
        bodies += out.bodyCount[p];
        constraints += out.constraintCount[p];
    }
    EXPECT_EQ(out.totalBodies, bodies);
    EXPECT_EQ(out.totalConstraints, constraints);
    for (int32_t p = 0; p < out.partitionCount; ++p) {
        RbdBody **bodies = out.bodies + out.bodyStart[p];
        for (int32_t k = 0; k < out.bodyCount[p]; ++k) {
            EXPECT_EQ(bodies[k]->partitionIndex, p);
            const RbdLcsBody *next = k + 1 < out.bodyCount[p] ? &bodies[k + 1]->lcs : nullptr;
            EXPECT_EQ(bodies[k]->lcs.next, next);
        }
    }
}

// Random worlds of up to nine bodies, some frozen, joined by random joints
// and contacts (some to the world), grown by more between two steps: the
// islands are the groups that brute force finds through the constraints
// between unfrozen bodies, each constraint packed once, in the island of
// its unfrozen bodies; frozen bodies join none and connect nothing.
TEST(StepPartition, IslandsAreTheConnectedGroupsOfRandomWorlds)
{
    std::mt19937 rng(3);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int trial = 0; trial < 30; ++trial) {
        SCOPED_TRACE(trial);
        World world(2, 2);
        const int n = 3 + pick(7);
        std::vector<RbdBodyID> bodies;
        std::vector<bool> frozen;
        for (int k = 0; k < n; ++k) bodies.push_back(makeBall(world, 1.0, 0.1, 0.5 * k, 0.0, 0.0));
        for (int k = 0; k < n; ++k) {
            frozen.push_back(pick(5) == 0);
            if (frozen.back()) RbdBodyFreeze(bodies[k]);
        }
        std::vector<std::pair<int, int>> edges; // -1: the world
        for (int round = 0; round < 2; ++round) {
            for (int e = pick(n + 1); e > 0; --e) {
                const int i = pick(n), j = pick(n + 1) - 1;
                if (i == j) continue;
                RbdBodyID other = j < 0 ? nullptr : bodies[j];
                if (pick(2)) {
                    makeJoint(RbdBSJointCreate, world, bodies[i], other, 0.25 * (i + std::max(j, 0)), 0.0, 0.0);
                } else {
                    makeGroundContact(world, bodies[i], resetParams(), other);
                }
                edges.push_back({i, j});
            }
            RbdWorldStep(world, 0.01);
            // Brute force: label each unfrozen body by the smallest body it reaches.
            std::vector<int> group(n);
            for (int k = 0; k < n; ++k) group[k] = k;
            for (bool changed = true; changed;) {
                changed = false;
                for (auto [i, j] : edges)
                    if (j >= 0 && !frozen[i] && !frozen[j] && group[i] != group[j]) {
                        group[i] = group[j] = std::min(group[i], group[j]);
                        changed = true;
                    }
            }
            std::set<int> groups;
            int constraints = 0;
            for (int k = 0; k < n; ++k)
                if (!frozen[k]) groups.insert(group[k]);
            for (auto [i, j] : edges) constraints += !frozen[i] || (j >= 0 && !frozen[j]);
            const RbdPartitionOutput &out = world.id->partitions;
            EXPECT_EQ(out.partitionCount, static_cast<int32_t>(groups.size()));
            EXPECT_EQ(out.totalConstraints, constraints) << "each constraint packed once";
            std::vector<int32_t> islandConstraints(out.partitionCount, 0);
            for (auto [i, j] : edges) {
                const int k = frozen[i] ? j : i;
                if (k >= 0 && !frozen[k]) ++islandConstraints[RbdBodyGetPartition(bodies[k])];
            }
            for (int32_t p = 0; p < out.partitionCount; ++p) EXPECT_EQ(out.constraintCount[p], islandConstraints[p]);
            for (int i = 0; i < n; ++i) {
                EXPECT_EQ(RbdBodyGetPartition(bodies[i]) < 0, frozen[i]);
                for (int j = 0; j < n; ++j) {
                    const bool together = !frozen[i] && !frozen[j] && group[i] == group[j];
                    EXPECT_EQ(RbdBodyGetPartition(bodies[i]) == RbdBodyGetPartition(bodies[j]) && !frozen[i],
                              together);
                }
            }
            expectChainedIslands(out);
        }
    }
}

// A resting island sleeps as a whole after its alive window of 10 steps
// unless a body in it moves along z or spins about the line through both
// bodies (which the joint allows; 0.2 m/s and 0.2 rad/s are well above
// the thresholds, 0.02 and 0.001 on the squares). Asleep it is not
// stepped; enabling one body, or jointing a new one to it, wakes all. The
// enabled body and the newcomer restart their windows, and the bodies they
// woke stay awake while bound to them; a body past its window that is
// jointed to the sleeping island leaves it asleep after one step, for the
// woken bodies, which did not move while they slept, keep their rest.
TEST(StepPartition, AnIslandSleepsAsAWholeAfterItsAliveWindowUnlessItMovesAndWakesAsAWhole)
{
    for (const char *motion : {"moving", "spinning", "resting"}) {
        SCOPED_TRACE(motion);
        // Two jointed bodies at rest without gravity, auto-disable on.
        static int disabledCalls;
        disabledCalls = 0;
        World world(4, 4);
        RbdWorldSetAutoDisable(world, 1);
        RbdWorldSetBodyDisabledCallback(world, [](RbdBodyID) { ++disabledCalls; });
        RbdBodyID a = makeBall(world, 1.0, 0.1, 0.0, 0.0, 0.0), b = makeBall(world, 1.0, 0.1, 1.0, 0.0, 0.0);
        makeJoint(RbdBSJointCreate, world, a, b, 0.5, 0.0, 0.0);
        auto step = [&world](int count) {
            for (int n = 0; n < count; ++n) RbdWorldStep(world, 0.01);
        };
        ASSERT_EQ(RbdWorldGetAutoDisableAliveWindow(world), 10);
        for (RbdBodyID body : {a, b}) {
            if (motion[0] == 's') RbdBodySetAngularVelocity(body, 0.2, 0.0, 0.0);
            if (motion[0] == 'm') RbdBodySetLinearVelocity(body, 0.0, 0.0, 0.2);
        }
        step(10);
        EXPECT_TRUE(RbdBodyIsEnabled(a) && RbdBodyIsEnabled(b)) << "awake for its first 10 steps";
        step(motion[0] == 'r' ? 1 : 20);
        EXPECT_NEAR(positionOf(a, 2), motion[0] == 'm' ? 30 * 0.01 * 0.2 : 0.0, 1e-9);
        if (motion[0] != 'r') {
            EXPECT_TRUE(RbdBodyIsEnabled(a) && RbdBodyIsEnabled(b));
            continue;
        }
        EXPECT_FALSE(RbdBodyIsEnabled(a) || RbdBodyIsEnabled(b)) << "the island sleeps as a whole";
        EXPECT_EQ(disabledCalls, 2);
        EXPECT_EQ(world.id->partitions.partitionCount, 0);
        expectChainedIslands(world.id->partitions);
        EXPECT_EQ(RbdBodyGetPartition(a), -1);

        RbdBodyAddForce(b, 1.0, 0.0, 0.0);
        step(5);
        EXPECT_EQ(positionOf(b, 0), 1.0) << "a sleeping island is not stepped";
        RbdBodyEnable(a);
        step(1);
        EXPECT_TRUE(RbdBodyIsEnabled(b)) << "woken through the joint";
        EXPECT_EQ(RbdBodyGetPartition(a), RbdBodyGetPartition(b));
        step(10);
        ASSERT_FALSE(RbdBodyIsEnabled(a));

        RbdBodyID newcomer = makeBall(world, 1.0, 0.1, -1.0, 0.0, 0.0);
        makeJoint(RbdBSJointCreate, world, newcomer, a, -0.5, 0.0, 0.0);
        step(10);
        EXPECT_TRUE(RbdBodyIsEnabled(newcomer) && RbdBodyIsEnabled(a) && RbdBodyIsEnabled(b));
        step(1);
        EXPECT_FALSE(RbdBodyIsEnabled(newcomer) || RbdBodyIsEnabled(a) || RbdBodyIsEnabled(b));

        RbdBodyID late = makeBall(world, 1.0, 0.1, 2.0, 0.0, 0.0);
        RbdBodySetLinearVelocity(late, 0.0, 0.0, 0.2); // awake past its window
        step(11);
        RbdBodySetLinearVelocity(late, 0.0, 0.0, 0.0);
        makeJoint(RbdBSJointCreate, world, late, b, 1.5, 0.0, 0.0);
        step(1);
        EXPECT_FALSE(RbdBodyIsEnabled(late) || RbdBodyIsEnabled(newcomer) || RbdBodyIsEnabled(a) ||
                     RbdBodyIsEnabled(b));
    }
}

// Under auto-disable a sleeping body that an island only touches through a
// slack contact stays out of it; when a later island wakes that body
// through a joint, the contact stays in the first island alone, where the
// woken body is immovable: every row list refers only to its own island's
// bodies. Both orders of the two awake bodies are tried (one island or two).
TEST(StepPartition, ABodyWokenByALaterIslandLeavesItsSlackContactInTheFirst)
{
    for (bool touchingFirst : {true, false}) {
        SCOPED_TRACE(touchingFirst);
        World world(4, 4);
        RbdWorldSetAutoDisable(world, 1);
        RbdBodyID sleeper = makeBall(world, 1.0, 0.1, 0.0, 0.0, 0.0), toucher = nullptr, jointed = nullptr;
        for (bool first : {true, false})
            (first == touchingFirst ? toucher : jointed) = makeBall(world, 1.0, 0.1, first ? 1.0 : -1.0, 0.0, 0.0);
        makeGroundContact(world, toucher, resetParams(), sleeper); // no depth, no force, not closing: slack
        makeJoint(RbdBSJointCreate, world, jointed, sleeper, -0.5, 0.0, 0.0);
        RbdWorldStep(world, 0.01); // the capacities
        RbdBodyDisable(sleeper);
        RbdPartitionOutput &out = world.id->partitions;
        RbdUpdatePartitions(world.id->firstEnabledBody, &out, nullptr, nullptr);
        EXPECT_EQ(out.totalConstraints, 2) << "each constraint packed once";
        const RbdBclParameters step = {0.01, 1e-6, 0.2};
        const PxVector3 still = {0.0, 0.0, 0.0};
        OwnRowList rows(4);
        for (int32_t p = 0; p < out.partitionCount; ++p) {
            RbdPackPartition(&out, p, &step, still, &rows.list);
            for (int32_t k = 0; k < rows.list.partitionConstraintCount; ++k) {
                const int32_t c = rows.list.partitionConstraintStart + k;
                for (int side = 0; side < 2; ++side) {
                    const int32_t index = rows.list.constraintBody[side][c];
                    ASSERT_LT(index, out.bodyCount[p]) << "island " << p;
                    if (index < 0) continue;
                    EXPECT_EQ(out.bodies[out.bodyStart[p] + index], rows.list.constraints[c]->body[side]);
                }
            }
        }
        RbdClearPartitionIndices(&out);
    }
}

// Under auto-disable two resting balls press a sleeping 1 kg ball through
// contacts that kept no force (their pushes summed against its rest
// momentum, 0.0098 N s) or kept 1 N each (held while within a quarter of
// it). However often the islands are walked before the step counts the
// pushes, the count and the wake are those of one walk: a load it did not
// hold wakes it as a body just enabled, and a woken body keeps no count.
TEST(StepPartition, WalkingTheIslandsAgainCountsNoPushTwiceAndWakesNoMore)
{
    const struct {
        PxReal kept, force; // N
        bool wakes;
    } cases[] = {{0.0, 0.3, false}, {0.0, 0.6, true}, {1.0, 1.2, false}, {1.0, 1.5, true}};
    for (const auto &k : cases)
        for (int walks : {1, 3}) {
            SCOPED_TRACE(testing::Message() << k.force << " N, walks " << walks);
            World world(4, 4);
            RbdWorldSetAutoDisable(world, 1);
            RbdBodyID sleeper = makeBall(world, 1.0, 0.1, 0.0, 0.0, 0.0);
            RbdConstraintID c[2];
            for (int side : {0, 1})
                c[side] = makeGroundContact(world, makeBall(world, 1.0, 0.1, side, 1, 0), resetParams(), sleeper);
            RbdWorldStep(world, 0.01); // the capacities; the touchers stepped since enabled
            RbdWorldSetGravity(world, 0.0, -kG, 0.0);
            RbdBodyDisable(sleeper);
            for (RbdConstraintID contact : c) {
                PxV3Set(contact->force[1], 0.0, -k.force, 0.0);
                contact->contactSleepForce[1] = (float)k.kept;
            }
            for (int n = 0; n < walks; ++n) {
                RbdUpdatePartitions(world.id->firstEnabledBody, &world.id->partitions, nullptr, nullptr);
                RbdClearPartitionIndices(&world.id->partitions);
            }
            RbdKeepPresses(&world.id->partitions);
            EXPECT_EQ(sleeper->enabledTime, k.wakes ? 0 : -1);
            EXPECT_DOUBLE_EQ(sleeper->pressedImpulse, k.kept > 0.0 || k.wakes ? 0.0 : 2.0 * k.force * 0.01);
        }
}

TEST(StepPartition, SingleIslandModePutsEveryEnabledBodyAndConstraintIntoOneIsland)
{
    World world(4, 4);
    RbdWorldSetAutoDisable(world, 2);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdBodyID first = makeBall(world, 1.0, 0.1, 0.0, 0.0, 0.0);
    RbdBodyID second = makeBall(world, 1.0, 0.1, 5.0, 0.0, 0.0);
    RbdBodyID anchor = RbdBodyCreate(world);
    RbdBodySetPosition(anchor, 5.0, 1.0, 0.0);
    makeJoint(RbdBSJointCreate, world, second, anchor, 5.0, 1.0, 0.0);
    for (int n = 0; n < 20; ++n) RbdWorldStep(world, 0.01);
    const RbdPartitionOutput &out = world.id->partitions;
    EXPECT_EQ(out.partitionCount, 1);
    EXPECT_EQ(out.totalConstraints, 1);
    EXPECT_EQ(out.bodies[0], second) << "enabled-list order: the most recently enabled first";
    EXPECT_EQ(out.bodies[1], first);
    expectChainedIslands(out);
    EXPECT_FALSE(RbdBodyIsEnabled(anchor)) << "this mode wakes nobody; a disabled body holds as immovable";
    EXPECT_EQ(positionOf(anchor, 1), 1.0);
    EXPECT_NEAR(positionOf(second, 1), 0.0, 1e-3);
    EXPECT_LT(positionOf(first, 1), -0.1) << "while the other body falls";
}

// Each island takes its own step: a shortened island leaves the others
// whole, whichever comes first, and a safe time of 0 is ignored.
TEST(StepPartition, InSafeTimeModeEachIslandStepsByItsOwnShortestSafeTime)
{
    World world(4, 4);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdWorldSetSafeTimeMode(world, 1);
    RbdBodyID later = makeBall(world, 1.0, 0.1, 0.0, 0.0, 0.0);
    RbdBodyID first = makeBall(world, 1.0, 0.1, 5.0, 0.0, 0.0); // enabled last: island 0
    const PxReal gamma = RbdWorldGetGamma(world);
    struct Case {
        PxReal firstSafeTime, laterSafeTime; // s
        PxReal firstStep, laterStep;         // s, the step each island takes
    };
    const Case cases[] = {
        {DBL_MAX, 0.004, 0.01, 0.004}, // the second island shortened
        {0.004, DBL_MAX, 0.004, 0.01}, // the first shortened, the second whole
        {0.004, 0.0, 0.004, 0.01},     // 0: unknown, not a step of 0
        {0.002, 0.006, 0.002, 0.006},  // both shortened, each to its own
        {0.02, DBL_MAX, 0.01, 0.01},   // never lengthened
    };
    for (const Case &c : cases) {
        RbdBodySetLinearVelocity(first, 0.0, 0.0, 0.0);
        RbdBodySetLinearVelocity(later, 0.0, 0.0, 0.0);
        RbdBodySetSafeTime(first, c.firstSafeTime);
        RbdBodySetSafeTime(later, c.laterSafeTime);
        RbdWorldStep(world, 0.01);
        EXPECT_NEAR(velocityOf(first, 1), -kG * c.firstStep, 1e-15) << c.firstSafeTime << " " << c.laterSafeTime;
        EXPECT_NEAR(velocityOf(later, 1), -kG * c.laterStep, 1e-15) << c.firstSafeTime << " " << c.laterSafeTime;
        EXPECT_EQ(RbdBodyGetSafeTime(later), DBL_MAX) << "safe times are estimated anew for each step";
    }
    EXPECT_EQ(RbdWorldGetGamma(world), gamma) << "an island's gamma is its own, not the world's";
    EXPECT_EQ(RbdWorldGetTimeStep(world), 0.01);

    RbdWorldSetSafeTimeMode(world, 0);
    RbdBodySetSafeTime(first, 0.004);
    RbdBodySetLinearVelocity(first, 0.0, 0.0, 0.0);
    RbdWorldStep(world, 0.01);
    EXPECT_NEAR(velocityOf(first, 1), -kG * 0.01, 1e-15) << "safe times count only in safe-time mode";
    const RbdStepInfo shortened = {0.01, 1};
    RbdBodySetSafeTime(first, 0.004);
    RbdBodySetLinearVelocity(first, 0.0, 0.0, 0.0);
    RbdWorldStepWith(world, &shortened);
    EXPECT_NEAR(velocityOf(first, 1), -kG * 0.004, 1e-15) << "the step's mode, not the world's";
}

TEST(StepPartition, StepOneUsesTheWorldsTimeStepAndBadStepSizesAreRefused)
{
    World world(2, 2);
    RbdWorldStep(world, 0.01);
    EXPECT_EQ(world.id->partitions.partitionCount, 0) << "an empty world steps without effect";
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdBodyID ball = makeBall(world, 1.0, 0.1, 0.0, 0.0, 0.0);
    RbdWorldSetTimeStep(world, 0.01);
    RbdWorldStepOne(world);
    EXPECT_NEAR(velocityOf(ball, 1), -kG * 0.01, 1e-15);
    Messages log;
    RbdWorldStep(world, 0.0);
    RbdWorldStep(world, -0.01);
    RbdWorldStep(world, NAN);
    EXPECT_NEAR(velocityOf(ball, 1), -kG * 0.01, 1e-15);
    ASSERT_EQ(log.warnings.size(), 3u);
    EXPECT_EQ(log.warnings[0], "RbdWorldStep: the step size must be positive and finite (0); no step.\n");
    RbdWorldStep(nullptr, 0.01);
    RbdWorldStepOne(nullptr);
    EXPECT_EQ(log.warnings.size(), 3u) << "a null world is ignored silently";
}

TEST(StepPartition, CapacitiesGrowAtTheStepAndThenAStepAllocatesNothing)
{
    World world(2, 2);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdWorldSetAutoDisable(world, 1);
    RbdBodyID previous = nullptr;
    for (int k = 0; k < 8; ++k) {
        RbdBodyID link = makeBox(world, 1.0, 0.4, 0.1, 0.1, 0.4 * k + 0.2, 3.0, 0.0);
        makeJoint(RbdHingeCreate, world, link, previous, 0.4 * k, 3.0, 0.0);
        previous = link;
    }
    RbdBodyID box = makeBox(world, 1.0, 0.5, 0.5, 0.5, 0.0, 0.25, 0.0);
    BoxOnGround ground(world, box, 0.5, 0.5, 0.5, proportionalFriction(0.5));
    RbdBodyID spare[2] = {RbdBodyCreate(world), RbdBodyCreate(world)};
    EXPECT_EQ(RbdWorldGetMaxBodies(world), 2) << "growth waits for the step";
    for (int n = 0; n < 5; ++n) {
        ground.update();
        RbdWorldStep(world, 0.01);
    }
    testsupport::AllocationCounter counter;
    for (int n = 0; n < 100; ++n) {
        if (n == 50) { // destroying never shrinks, even with an insertion after it
            RbdBodyDestroy(spare[0]);
            RbdBodyDestroy(spare[1]);
            RbdBodyCreate(world);
        }
        ground.update();
        RbdWorldStep(world, 0.01);
    }
    EXPECT_EQ(counter.allocations(), 0);
    EXPECT_GT(RbdWorldGetMaxMemoryPoolUsed(world), 0u) << "the solver worked in the world's workspace";
    EXPECT_EQ(RbdWorldGetMaxBodies(world), 11) << "grown from 2 to the counts at the first step";
    EXPECT_EQ(RbdWorldGetMaxConstraints(world), 12);
}

// Islands kept from the last step are those a walk finds now, in order, after
// each kind of edit and two steps; edit 4's walk wakes a body, so it keeps none.
TEST(StepPartition, IslandsKeptFromTheLastStepAreTheOnesAWalkFindsAfterEveryEdit)
{
    World world(8, 16);
    RbdBodyID b[6];
    for (int k = 0; k < 6; ++k) b[k] = makeBall(world, 1.0, 0.1, 0.5 * k, 0.0, 0.0);
    RbdConstraintID c[4] = {makeGroundContact(world, b[2], resetParams(), b[0])};
    for (int k : {1, 2, 3}) c[k] = makeJoint(RbdBSJointCreate, world, b[k], b[k + 1], 0.5 * k, 0.0, 0.0);
    std::vector<RbdBody *> bodies(8);
    std::vector<RbdBaseConstraint *> constraints(16);
    std::vector<int32_t> ints(32);
    RbdPartitionOutput fresh = {};
    fresh.bodies = bodies.data();
    fresh.constraints = constraints.data();
    fresh.bodyStart = &ints[0];
    fresh.bodyCount = &ints[8];
    fresh.constraintStart = &ints[16];
    fresh.constraintCount = &ints[24];
    for (int edit = 0; edit < 9; ++edit) {
        SCOPED_TRACE(edit);
        if (edit == 1) makeJoint(RbdBSJointCreate, world, b[0], b[5], 1.0, 0.0, 0.0);
        if (edit == 2) RbdConstraintDisable(c[1]);
        if (edit == 3) RbdConstraintDestroy(c[0]);
        if (edit == 4) RbdBodyDisable(b[3]);
        if (edit == 5) RbdBodyFreeze(b[4]);
        if (edit == 6) RbdBodyReset(b[2]);
        if (edit == 7) RbdBodyEnable(b[2]);
        if (edit == 8) RbdBodyDestroyConstraints(b[1]), RbdBodyDestroy(b[1]);
        for (int step = 0; step < 2; ++step) RbdWorldStep(world, 0.01);
        const RbdPartitionOutput &kept = world.id->partitions;
        RbdUpdatePartitions(world.id->firstEnabledBody, &fresh, nullptr, nullptr);
        ASSERT_EQ(kept.partitionCount, fresh.partitionCount);
        EXPECT_TRUE(std::equal(fresh.bodies, fresh.bodies + fresh.totalBodies, kept.bodies));
        EXPECT_TRUE(std::equal(fresh.constraints, fresh.constraints + fresh.totalConstraints, kept.constraints));
        RbdClearPartitionIndices(&fresh);
    }
}

} // namespace
