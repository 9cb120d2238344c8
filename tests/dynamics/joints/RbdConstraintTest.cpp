// Constraints: life in the world's pools and a caller's, the lists of both
// bodies and the world, degrees of freedom, and attachment geometry under
// random poses; the whole attachment frame set at once; and the body
// nodes naming each constraint's other body.
#include <string.h>

#include <gtest/gtest.h>

#include <random>

#include "dynamics/test_step_support.h"

using namespace rbdtest;

namespace {

std::vector<RbdConstraintID> bodyConstraints(RbdBodyID body)
{
    std::vector<RbdConstraintID> list;
    for (RbdConstraintNode *node = body->constraints; node; node = node->next) list.push_back(node->constraint);
    return list;
}

void expectNear(const PxReal *a, const PxReal *b, PxReal tolerance = 1e-13)
{
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], tolerance) << "component " << k;
}

} // namespace

TEST(RbdConstraint, EnablingLinksIntoTheWorldAndBothBodiesAndEveryWayOfEndingUnlinks)
{
    World world(3, 4);
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world), c = RbdBodyCreate(world);
    RbdConstraintID hinge = RbdHingeCreate(world), ball = RbdBSJointCreate(world), spring = RbdSpringCreate(world);
    RbdConstraintEnable(hinge);
    EXPECT_FALSE(RbdConstraintIsEnabled(hinge)) << "no bodies yet";
    RbdConstraintSetBodies(hinge, a, b);
    RbdConstraintSetBodies(ball, a, nullptr);
    RbdConstraintSetBodies(spring, a, b);
    RbdConstraintEnable(hinge);
    RbdConstraintEnable(ball);
    EXPECT_EQ(bodyConstraints(a), (std::vector<RbdConstraintID>{ball, hinge}));
    EXPECT_EQ(bodyConstraints(b), (std::vector<RbdConstraintID>{hinge}));
    std::vector<RbdConstraintID> visited;
    RbdWorldForAllConstraints(
        world, [](RbdConstraintID c, void *arg) { static_cast<std::vector<RbdConstraintID> *>(arg)->push_back(c); },
        &visited);
    EXPECT_EQ(visited, (std::vector<RbdConstraintID>{ball, hinge})) << "the enabled ones, most recent first";
    EXPECT_EQ(world->nodePool.used, 3);
    // Setting the bodies of an enabled constraint relinks it.
    RbdConstraintSetBodies(hinge, a, c);
    EXPECT_TRUE(bodyConstraints(b).empty());
    EXPECT_EQ(bodyConstraints(c), (std::vector<RbdConstraintID>{hinge}));
    RbdBodyDisableConstraints(c);
    EXPECT_EQ(bodyConstraints(a), (std::vector<RbdConstraintID>{ball}));
    RbdConstraintEnable(hinge);
    RbdConstraintDestroy(ball);
    EXPECT_EQ(RbdConstraintGetTypeId(ball), -1);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 2);
    RbdBodyDestroyConstraints(a);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1) << "the disabled spring is not attached";
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 0);
    EXPECT_EQ(world->nodePool.used, 0);

    // A constraint from a caller's pool takes its body's world but is not counted in it.
    PxPool pool;
    ASSERT_TRUE(PxPoolInit(&pool, 2, (int)sizeof(RbdBaseConstraint), 16));
    RbdConstraintID own = RbdHingeCreateInPool(&pool);
    RbdConstraintSetBodies(own, b, nullptr);
    RbdConstraintEnable(own);
    EXPECT_EQ(RbdConstraintGetWorld(own), world);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 1);
    Messages warnings;
    RbdConstraintDestroy(own);
    EXPECT_TRUE(RbdConstraintIsEnabled(own)) << "not from the world's pool: refused";
    EXPECT_EQ(warnings.warnings.size(), 1u);
    RbdConstraintDestroyInPool(own, &pool);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 0);
    EXPECT_EQ(PxPoolGetUsed(&pool), 0);
    PxPoolTerm(&pool);
}

TEST(RbdConstraint, DegreesOfFreedomAndTheLimitOfLimitedJoints)
{
    World world(1, 3);
    RbdConstraintID hinge = RbdHingeCreate(world), spring = RbdSpringCreate(world), ball = RbdBSJointCreate(world);
    EXPECT_EQ(RbdConstraintDOFGetLimitableCount(hinge), 1);
    EXPECT_EQ(RbdConstraintDOFGetFreeCount(hinge), 6 - 1 - 5);
    EXPECT_EQ(RbdConstraintDOFGetFreeCount(ball), 3);
    EXPECT_EQ(RbdConstraintDOFGetLimit(hinge, 6), RbdConstraintGetLimit(hinge));
    EXPECT_EQ(RbdConstraintDOFGetLimit(hinge, 5), nullptr);
    EXPECT_EQ(RbdConstraintDOFGetLimit(hinge, 7), nullptr);
    EXPECT_EQ(RbdConstraintDOFGetLimit(spring, 1), RbdConstraintGetLimit(spring));
    EXPECT_EQ(RbdConstraintGetLimit(ball), nullptr);
    // A limit set on a joint is a copy.
    RbdLimit source;
    RbdLimitReset(&source);
    RbdLimitActivateLimits(&source, 1);
    RbdConstraintSetLimit(hinge, &source);
    RbdLimitActivateLimits(&source, 0);
    EXPECT_EQ(RbdLimitIsActive(RbdConstraintGetLimit(hinge)), 1);
    Messages warnings;
    RbdConstraintDOFSetEpsilon(hinge, 6, 1.0);
    EXPECT_EQ(RbdConstraintDOFGetLambda(hinge, 7), 0.0);
    EXPECT_EQ(warnings.warnings.size(), 2u) << "bad degree-of-freedom indices";
}

// Under random poses and centre-of-mass offsets: an attachment set in the
// world reads back in the world (after b's mass is re-centred and b moved
// with its attachments, too), in the reference frame and in the
// centre-of-mass frame; set through a body frame it lands where that frame
// says; axes come back normalised, completed to an orthonormal frame;
// conversions between body frames round-trip.
TEST(RbdConstraint, AttachmentsAndConversionsAgreeWithTheBodyFramesUnderRandomPoses)
{
    Rng rng(3);
    for (int trial = 0; trial < 10; ++trial) {
        World world(2, 1);
        RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world);
        randomBodyTransform(rng, 1.0, a);
        randomBodyTransform(rng, 0.3, a, true);
        randomBodyTransform(rng, 1.0, b);
        RbdConstraintID c = RbdHingeCreate(world);
        RbdConstraintSetBodies(c, a, b);
        PxVector3 point, axis, got, expected, primary, secondary;
        randomVector(rng, 1.0, point);
        randomVector(rng, 2.0, axis);
        RbdConstraintSetPosition(c, point[0], point[1], point[2]);
        RbdConstraintSetAxis(c, axis[0], axis[1], axis[2]);
        RbdConstraintEnable(c);
        // Re-centring b's mass, and moving it with its attachments, leave the
        // joint where it was; the centre of mass follows the reference frame.
        PxMatrix4 tm, offset, now;
        RbdBodyGetTransform(b, tm);
        randomTransform(rng, 0.5, offset);
        RbdBodySetCenterOfMassRelativeTransform(b, offset);
        RbdBodyGetCenterOfMassPosition(b, got);
        PxV3MulTM(expected, offset[3], tm);
        expectNear(got, expected);
        RbdBodyUpdateTransformFromCom(b);
        RbdBodyGetTransform(b, now);
        for (int i = 0; i < 4; ++i) expectNear(now[i], tm[i]);
        randomTransform(rng, 2.0, tm);
        RbdBodySetTransformAndUpdateConstraintAttachments(b, tm);
        for (int i = 0; i < 2; ++i) {
            RbdConstraintBodyGetPosition(c, i, got);
            expectNear(got, point);
            RbdConstraintBodyGetAxes(c, i, primary, secondary);
            EXPECT_NEAR(PxV3Dot(primary, axis), PxV3Length(axis), 1e-12);
            EXPECT_NEAR(PxV3Length(secondary), 1.0, 1e-12);
            EXPECT_NEAR(PxV3Dot(primary, secondary), 0.0, 1e-12);
        }
        RbdConstraintBodyGetPositionRel(c, 0, got);
        PxV3MulTMInverse(expected, point, RbdBodyGetTransformPtr(a));
        expectNear(got, expected);
        RbdConstraintBodyCOMGetPositionRel(c, 0, got);
        PxV3MulTMInverse(expected, point, RbdBodyGetCenterOfMassTransformPtr(a));
        expectNear(got, expected);
        PxVector3 local, localPrimary = {0.0, 1.0, 0.0}, localSecondary = {0.0, 0.0, 1.0};
        randomVector(rng, 1.0, local);
        RbdConstraintBodySetPositionRel(c, 0, local);
        RbdConstraintBodyGetPosition(c, 0, got);
        PxV3MulTM(expected, local, RbdBodyGetTransformPtr(a));
        expectNear(got, expected);
        RbdConstraintBodySetAxesRel(c, 0, localPrimary, localSecondary);
        RbdConstraintBodyGetAxes(c, 0, primary, secondary);
        expectNear(primary, RbdBodyGetTransformPtr(a)[1]);
        expectNear(secondary, RbdBodyGetTransformPtr(a)[2]);

        PxVector3 inB, back;
        RbdConvertPositionVector(a, local, b, inB);
        RbdConvertPositionVector(b, inB, a, back);
        expectNear(back, local, 1e-12);
        RbdConvertCOMPositionVector(a, local, nullptr, got);
        PxV3MulTM(expected, local, RbdBodyGetCenterOfMassTransformPtr(a));
        expectNear(got, expected);
        RbdConvertVector(a, local, b, inB);
        EXPECT_NEAR(PxV3Length(inB), PxV3Length(local), 1e-13);
    }
    // The fixed completions: |x| > |y| gives (z, 0, -x), otherwise (0, -z, y); a
    // zero axis is x; the third axis completes a right-handed frame.
    World world(1, 1);
    RbdConstraintID c = RbdHingeCreate(world);
    const struct {
        PxReal axis[3], primary[3], secondary[3];
    } cases[] = {{{0, 0, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, 3, 4}, {0, 0.6, 0.8}, {0, -0.8, 0.6}}};
    for (const auto &k : cases) {
        PxVector3 primary, secondary, third;
        RbdConstraintSetAxis(c, k.axis[0], k.axis[1], k.axis[2]);
        RbdConstraintGetAxes(c, primary, secondary);
        expectNear(primary, k.primary, 1e-15);
        expectNear(secondary, k.secondary, 1e-15);
        PxV3Cross(third, primary, secondary);
        expectNear(c->attachment[1][2], third, 1e-15);
    }
}

// Setting the whole attachment frame at once: the same records, to the last
// bit, as setting the axes and then each body's position.
TEST(RbdConstraintFrame, MatchesAxesThenPositionsBitForBitUnderRandomPoses)
{
    Rng rng(11);
    for (int trial = 0; trial < 20; ++trial) {
        World world(2, 2);
        RbdBodyID a = RbdBodyCreate(world), b = trial % 2 ? RbdBodyCreate(world) : nullptr;
        randomBodyTransform(rng, 1.0, a);
        randomBodyTransform(rng, 0.3, a, true);
        if (b) randomBodyTransform(rng, 1.0, b);
        RbdConstraintID once = RbdContactCreate(world), twice = RbdContactCreate(world);
        RbdConstraintSetBodies(once, a, b);
        RbdConstraintSetBodies(twice, a, b);
        PxVector3 position, primary, secondary;
        randomVector(rng, 2.0, position);
        randomUnitVector(rng, primary);
        randomVector(rng, 1.0, secondary);
        RbdConstraintSetFrame(once, position, primary, secondary);
        RbdConstraintSetAxes(twice, primary, secondary);
        for (int i = 0; i < 2; ++i) RbdConstraintBodySetPosition(twice, i, position);
        EXPECT_EQ(memcmp(once->attachment, twice->attachment, sizeof once->attachment), 0) << "trial " << trial;
    }
}

TEST(RbdConstraintFrame, RefusesAFrameThatIsNotFinite)
{
    Messages messages;
    World world(1, 1);
    RbdConstraintID c = RbdContactCreate(world);
    RbdConstraintSetBodies(c, RbdBodyCreate(world), nullptr);
    PxMatrix4 before[2];
    memcpy(before, c->attachment, sizeof before);
    const PxVector3 finite = {1.0, 0.0, 0.0}, bad = {0.0, NAN, 0.0};
    RbdConstraintSetFrame(c, bad, finite, finite);
    RbdConstraintSetFrame(c, finite, finite, bad);
    EXPECT_EQ(memcmp(before, c->attachment, sizeof before), 0);
    EXPECT_TRUE(messages.warned("RbdConstraintSetFrame: the vector (0, nan, 0) is not finite"));
}

// The island walk follows a body's node to the constraint's other body
// without reading the constraint: under any sequence of setting bodies,
// enabling and disabling, every node must agree with its constraint.
TEST(RbdConstraintNode, NamesTheOtherBodyOfItsConstraintThroughRandomRelinking)
{
    World world(4, 6);
    RbdBodyID bodies[5] = {RbdBodyCreate(world), RbdBodyCreate(world), RbdBodyCreate(world), RbdBodyCreate(world),
                           nullptr};
    RbdConstraintID constraints[6] = {RbdHingeCreate(world),   RbdBSJointCreate(world), RbdContactCreate(world),
                                      RbdContactCreate(world), RbdSpringCreate(world),  RbdContactCreate(world)};
    std::mt19937 random(20261206);
    int nodes = 0;
    for (int op = 0; op < 400; ++op) {
        RbdConstraintID c = constraints[random() % 6];
        const unsigned kind = random() % 3, first = random() % 5, second = (first + 1 + random() % 4) % 5;
        if (kind == 0)
            RbdConstraintSetBodies(c, bodies[first], bodies[second]); // two different bodies
        else if (kind == 1)
            RbdConstraintEnable(c);
        else
            RbdConstraintDisable(c);
        int seen = 0;
        for (int b = 0; b < 4; ++b)
            for (RbdConstraintNode *node = bodies[b]->constraints; node; node = node->next, ++seen) {
                RbdConstraintID owner = node->constraint;
                ASSERT_TRUE(RbdConstraintIsEnabled(owner)) << "op " << op;
                const int side = owner->body[0] == bodies[b] ? 0 : 1;
                ASSERT_EQ(owner->body[side], bodies[b]) << "op " << op;
                ASSERT_EQ(node->other, owner->body[1 - side]) << "op " << op << ", body " << b;
            }
        EXPECT_EQ(seen, world->nodePool.used) << "op " << op;
        nodes += seen;
    }
    EXPECT_GT(nodes, 400) << "the sequence kept some constraints enabled";
}
