// Constraints: life in the world's pools and in a caller's, the lists of
// both bodies, degrees of freedom and attachment geometry.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include "dynamics/RbdTestSupport.h"

using namespace rbdtest;

namespace {

std::vector<RbdConstraintID> bodyConstraints(RbdBodyID body)
{
    std::vector<RbdConstraintID> list;
    for (RbdConstraintNode *node = body->constraints; node; node = node->next) list.push_back(node->constraint);
    return list;
}

void expectVector(const PxVector3 v, PxReal x, PxReal y, PxReal z, PxReal tolerance = 1e-14)
{
    EXPECT_NEAR(v[0], x, tolerance);
    EXPECT_NEAR(v[1], y, tolerance);
    EXPECT_NEAR(v[2], z, tolerance);
}

} // namespace

TEST(RbdConstraint, EnablingLinksIntoTheWorldAndBothBodiesAndDestroyingUnlinks)
{
    World world(2, 2);
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world);
    world->changeCount = 0;
    RbdConstraintID hinge = RbdHingeCreate(world), ball = RbdBSJointCreate(world);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 2);
    EXPECT_EQ(world->changeCount, 2);
    EXPECT_FALSE(RbdConstraintIsEnabled(hinge));
    RbdConstraintEnable(hinge); // no bodies yet: nothing
    EXPECT_FALSE(RbdConstraintIsEnabled(hinge));

    RbdConstraintSetBodies(hinge, a, b);
    RbdConstraintSetBodies(ball, a, nullptr);
    EXPECT_EQ(RbdConstraintGetBody(hinge, 0), a);
    EXPECT_EQ(RbdConstraintGetBody(hinge, 1), b);
    EXPECT_EQ(RbdConstraintGetBody(ball, 1), nullptr);
    RbdConstraintEnable(hinge);
    RbdConstraintEnable(ball);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 2);
    EXPECT_EQ(bodyConstraints(a), (std::vector<RbdConstraintID>{ball, hinge}));
    EXPECT_EQ(bodyConstraints(b), (std::vector<RbdConstraintID>{hinge}));
    EXPECT_EQ(world->nodePool.used, 3);

    RbdConstraintDestroy(hinge);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 1);
    EXPECT_EQ(bodyConstraints(a), (std::vector<RbdConstraintID>{ball}));
    EXPECT_TRUE(bodyConstraints(b).empty());
    EXPECT_EQ(RbdConstraintGetTypeId(hinge), -1);
    EXPECT_EQ(world->nodePool.used, 1);
    EXPECT_EQ(RbdConstraintGetFirst(world), ball);

    RbdConstraintDisable(ball);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 0);
    EXPECT_TRUE(bodyConstraints(a).empty());
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1);
}

TEST(RbdConstraint, BodiesCanDisableOrDestroyAllTheirConstraints)
{
    World world(2, 3);
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world);
    RbdConstraintID joints[3] = {RbdHingeCreate(world), RbdSpringCreate(world), RbdBSJointCreate(world)};
    for (RbdConstraintID c : joints) {
        RbdConstraintSetBodies(c, a, c == joints[2] ? nullptr : b);
        RbdConstraintEnable(c);
    }
    RbdBodyDisableConstraints(b);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 1);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 3);
    EXPECT_EQ(bodyConstraints(a), (std::vector<RbdConstraintID>{joints[2]}));
    RbdConstraintEnable(joints[0]);
    RbdBodyDestroyConstraints(a);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1); // the disabled spring is not attached
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 0);
    EXPECT_TRUE(bodyConstraints(b).empty());
}

TEST(RbdConstraint, SettingBodiesOfAnEnabledConstraintRelinksItAndBadPairsAreRefused)
{
    World world(3, 1), elsewhere(1, 1);
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world), c = RbdBodyCreate(world);
    RbdBodyID stranger = RbdBodyCreate(elsewhere);
    RbdConstraintID joint = RbdBSJointCreate(world);
    RbdConstraintSetBodies(joint, a, b);
    RbdConstraintEnable(joint);
    RbdConstraintSetBodies(joint, a, c);
    EXPECT_TRUE(RbdConstraintIsEnabled(joint));
    EXPECT_TRUE(bodyConstraints(b).empty());
    EXPECT_EQ(bodyConstraints(c), (std::vector<RbdConstraintID>{joint}));
    WarningCapture warnings;
    RbdConstraintSetBodies(joint, a, a);
    RbdConstraintSetBodies(joint, a, stranger);
    EXPECT_EQ(warnings.messages().size(), 2u);
    EXPECT_TRUE(warnings.contains("a constraint cannot join a body to itself"));
    EXPECT_TRUE(warnings.contains("the bodies belong to another world"));
    EXPECT_EQ(RbdConstraintGetBody(joint, 1), c);
    EXPECT_EQ(RbdConstraintGetBody(joint, 2), nullptr);
}

TEST(RbdConstraint, ConstraintsFromACallersPoolAreNotCounted)
{
    World world(1, 1);
    RbdBodyID body = RbdBodyCreate(world);
    PxPool pool;
    ASSERT_TRUE(PxPoolInit(&pool, 2, (int)sizeof(RbdBaseConstraint), 16));
    RbdConstraintID hinge = RbdHingeCreateInPool(&pool);
    ASSERT_NE(hinge, nullptr);
    EXPECT_EQ(RbdConstraintGetTypeId(hinge), RBD_TYPE_HINGE);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
    EXPECT_EQ(RbdConstraintGetWorld(hinge), nullptr);
    RbdConstraintSetBodies(hinge, body, nullptr); // takes the body's world
    EXPECT_EQ(RbdConstraintGetWorld(hinge), world);
    RbdConstraintEnable(hinge);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 1);
    WarningCapture warnings;
    RbdConstraintDestroy(hinge); // not from the world's pool
    EXPECT_TRUE(RbdConstraintIsEnabled(hinge));
    EXPECT_EQ(warnings.messages().size(), 1u);
    RbdConstraintDestroyInPool(hinge, &pool);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 0);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
    EXPECT_EQ(PxPoolGetUsed(&pool), 0);
    // Null handles do nothing and read as empty.
    EXPECT_EQ(RbdConstraintGetBody(nullptr, 0), nullptr);
    EXPECT_EQ(RbdConstraintGetUserData(nullptr), nullptr);
    RbdConstraintEnable(nullptr);
    EXPECT_EQ(RbdHingeCreate(nullptr), nullptr);
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

    // A limit set on a joint is a copy: changing the source later leaves it.
    RbdLimit source;
    RbdLimitReset(&source);
    RbdLimitActivateLimits(&source, 1);
    RbdConstraintSetLimit(hinge, &source);
    RbdLimitActivateLimits(&source, 0);
    EXPECT_EQ(RbdLimitIsActive(RbdConstraintGetLimit(hinge)), 1);

    // Bad degree-of-freedom indices are reported (their values reach the rows: see the row list tests).
    WarningCapture warnings;
    RbdConstraintDOFSetEpsilon(hinge, 6, 1.0);
    EXPECT_EQ(RbdConstraintDOFGetLambda(hinge, 7), 0.0);
    EXPECT_EQ(warnings.messages().size(), 2u);
}

TEST(RbdConstraint, AxesAreNormalisedAndCompletedToAnOrthonormalFrame)
{
    World world(1, 1);
    RbdConstraintID c = RbdHingeCreate(world);
    PxVector3 primary, secondary;
    RbdConstraintSetAxis(c, 0.0, 0.0, 0.0);
    RbdConstraintGetAxes(c, primary, secondary);
    expectVector(primary, 1.0, 0.0, 0.0);
    expectVector(secondary, 0.0, 0.0, -1.0); // |x| > |y|: (z, 0, -x) / sqrt(x^2 + z^2)
    RbdConstraintSetAxis(c, 0.0, 3.0, 4.0);
    RbdConstraintGetAxes(c, primary, secondary);
    expectVector(primary, 0.0, 0.6, 0.8);
    expectVector(secondary, 0.0, -0.8, 0.6); // (0, -z, y) / sqrt(y^2 + z^2)
    PxVector3 third;
    PxV3Cross(third, primary, secondary);
    expectVector(c->attachment[1][2], third[0], third[1], third[2]);
    // A near-unit axis is kept as given.
    RbdConstraintSetAxis(c, 1.00000001, 0.0, 0.0);
    RbdConstraintGetAxis(c, primary);
    EXPECT_EQ(primary[0], 1.00000001);
    // A secondary axis is made perpendicular to the primary one.
    PxVector3 wantedPrimary = {0.0, 0.0, 2.0}, wantedSecondary = {1.0, 0.0, 1.0};
    RbdConstraintSetAxes(c, wantedPrimary, wantedSecondary);
    RbdConstraintBodyGetAxes(c, 0, primary, secondary);
    expectVector(primary, 0.0, 0.0, 1.0);
    expectVector(secondary, 1.0, 0.0, 0.0);
}

TEST(RbdConstraint, AttachmentsAreStoredInEachBodysCentreOfMassFrame)
{
    Rng rng(3);
    World world(2, 1);
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world);
    randomBodyTransform(rng, 1.0, a);
    randomCenterOfMassOffset(rng, 0.3, a);
    randomBodyTransform(rng, 1.0, b);
    RbdConstraintID c = RbdBSJointCreate(world);
    RbdConstraintSetBodies(c, a, b);
    RbdConstraintSetPosition(c, 0.1, 0.2, 0.3);
    PxVector3 position, rel, com, expected;
    for (int i = 0; i < 2; ++i) {
        RbdConstraintBodyGetPosition(c, i, position);
        expectVector(position, 0.1, 0.2, 0.3, 1e-14);
    }
    RbdConstraintGetPosition(c, position);
    expectVector(position, 0.1, 0.2, 0.3, 1e-14);
    // Rel: in the reference frame; COM Rel: in the centre-of-mass frame, as stored.
    PxVector3 point = {0.1, 0.2, 0.3};
    RbdConstraintBodyGetPositionRel(c, 0, rel);
    PxV3MulTMInverse(expected, point, RbdBodyGetTransformPtr(a));
    expectVector(rel, expected[0], expected[1], expected[2], 1e-14);
    RbdConstraintBodyCOMGetPositionRel(c, 0, com);
    PxV3MulTMInverse(expected, point, RbdBodyGetCenterOfMassTransformPtr(a));
    expectVector(com, expected[0], expected[1], expected[2], 1e-14);
    // Setting through Rel lands on the same world point.
    PxVector3 local = {0.5, -0.5, 1.0};
    RbdConstraintBodySetPositionRel(c, 0, local);
    RbdConstraintBodyGetPosition(c, 0, position);
    PxV3MulTM(expected, local, RbdBodyGetTransformPtr(a));
    expectVector(position, expected[0], expected[1], expected[2], 1e-14);
    PxVector3 localPrimary = {0.0, 1.0, 0.0}, localSecondary = {0.0, 0.0, 1.0}, primary, secondary;
    RbdConstraintBodySetAxesRel(c, 0, localPrimary, localSecondary);
    RbdConstraintBodyGetAxesRel(c, 0, primary, secondary);
    expectVector(primary, 0.0, 1.0, 0.0, 1e-14);
    expectVector(secondary, 0.0, 0.0, 1.0, 1e-14);
    RbdConstraintBodyGetAxes(c, 0, primary, secondary);
    expectVector(primary, RbdBodyGetTransformPtr(a)[1][0], RbdBodyGetTransformPtr(a)[1][1],
                 RbdBodyGetTransformPtr(a)[1][2], 1e-14);
    // Before any body is set, attachments are world frames.
    RbdConstraintID loose = RbdBSJointCreate(world);
    RbdConstraintSetPosition(loose, 4.0, 5.0, 6.0);
    expectVector(loose->attachment[0][3], 4.0, 5.0, 6.0);
}

TEST(RbdConstraint, ConversionsCarryVectorsAndPointsBetweenBodyFrames)
{
    Rng rng(9);
    World world(2, 1);
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world);
    randomBodyTransform(rng, 1.0, a);
    randomCenterOfMassOffset(rng, 0.5, a);
    randomBodyTransform(rng, 1.0, b);
    const PxVector3 v = {0.3, -1.2, 0.7};
    PxVector3 inB, back, world1, expected;
    RbdConvertPositionVector(a, v, b, inB);
    RbdConvertPositionVector(b, inB, a, back);
    expectVector(back, v[0], v[1], v[2], 1e-13);
    RbdConvertPositionVector(a, v, nullptr, world1);
    PxV3MulTM(expected, v, RbdBodyGetTransformPtr(a));
    expectVector(world1, expected[0], expected[1], expected[2], 1e-14);
    RbdConvertCOMPositionVector(a, v, nullptr, world1);
    PxV3MulTM(expected, v, RbdBodyGetCenterOfMassTransformPtr(a));
    expectVector(world1, expected[0], expected[1], expected[2], 1e-14);
    // Directions keep their length and ignore translation.
    RbdConvertVector(a, v, b, inB);
    EXPECT_NEAR(PxV3Length(inB), PxV3Length(v), 1e-14);
    RbdConvertCOMVector(nullptr, v, nullptr, inB);
    expectVector(inB, v[0], v[1], v[2], 0.0);
}
