// The bridge driven by a real collision space: hello, staying and goodbye
// pairs read chunk by chunk, removal of models and sleeping pairs.
#include "test_bridge_support.h"

using namespace sbxtest;

namespace {

class BridgeUpdate : public BridgeTest {
protected:
    void SetUp() override
    {
        BridgeTest::SetUp();
        ASSERT_NE(makeSpace(32, 256), nullptr);
    }
    CdxModelID insertedBall(PxReal x, PxReal y, PxReal z, PxReal radius = 0.5)
    {
        CdxModelID model = bodyModel(sphere(radius), 1.0, x, y, z);
        EXPECT_TRUE(CdxSpaceInsertModel(space, model));
        return model;
    }
    void update()
    {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(bridge, space, world);
    }
    int contactsBetween(CdxModelID m1, CdxModelID m2)
    {
        return SbxModelPairGetContactCount(CdxSpaceGetModelPair(m1, m2));
    }
};

TEST_F(BridgeUpdate, TouchingBallsGetAContactWhoseNormalPointsFromBodyOneToBodyZero)
{
    CdxModelID upper = insertedBall(0.0, 0.9, 0.0);
    CdxModelID lower = insertedBall(0.0, 0.0, 0.0);
    update();
    CdxModelPair *pair = CdxSpaceGetModelPair(upper, lower);
    ASSERT_NE(pair, nullptr);
    RbdContactID c = SbxModelPairGetContacts(pair);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(RbdContactGetNext(c), nullptr) << "one contact between two balls";
    EXPECT_TRUE(RbdConstraintIsEnabled(c));
    PxVector3 normal, p0, p1;
    RbdContactGetNormal(c, normal);
    RbdBodyGetPosition(RbdConstraintGetBody(c, 0), p0);
    RbdBodyGetPosition(RbdConstraintGetBody(c, 1), p1);
    PxVector3 oneToZero;
    PxV3Sub(oneToZero, p0, p1);
    EXPECT_NEAR(PxV3Dot(normal, oneToZero), PxV3Length(oneToZero), 1e-9) << "parallel to body 1 -> body 0";
    EXPECT_NEAR(RbdContactGetPenetration(c), 0.1, 1e-9);

    // Staying: the same contact, moved.
    RbdBodySetPosition(bodyOf(upper), 0.0, 0.95, 0.0);
    update();
    EXPECT_EQ(SbxModelPairGetContacts(pair), c);
    EXPECT_NEAR(RbdContactGetPenetration(c), 0.05, 1e-9);

    // Apart: the pair ends and takes its contact along.
    RbdBodySetPosition(bodyOf(upper), 0.0, 5.0, 0.0);
    update();
    EXPECT_EQ(CdxSpaceGetModelPair(upper, lower), nullptr);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
}

TEST_F(BridgeUpdate, RemovingAModelDestroysItsContactsInTheSameCall)
{
    CdxModelID upper = insertedBall(0.0, 0.9, 0.0);
    CdxModelID lower = insertedBall(0.0, 0.0, 0.0);
    CdxModelID side = insertedBall(0.45, 0.45, 0.0);
    update();
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 3) << "upper-lower, lower-side, upper-side";
    ASSERT_TRUE(CdxSpaceRemoveModel(lower));
    SbxBridgeUpdateTransitions(bridge, space, world);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1) << "only upper-side is left";
    EXPECT_EQ(contactsBetween(upper, side), 1);
    EXPECT_TRUE(CdxSpaceIsChanging(space)) << "the space is left in a change bracket";
    update();
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 1);
}

TEST_F(BridgeUpdate, ASmallPairContainerHandsEveryPairToTheBridgeInChunks)
{
    // Nine balls in one heap: every two of them overlap (36 pairs).
    for (int k = 0; k < 9; ++k) insertedBall(0.01 * k, 0.02 * k, 0.0);
    ASSERT_EQ(SbxBridgeSetModelPairBufferSize(bridge, 4), 1);
    update();
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 36) << "hellos, two at a time";
    update();
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 36) << "staying pairs, two at a time";
    for (int k = 0; k < 9; ++k) {
        CdxSpaceModelIterator it;
        CdxSpaceModelIteratorBegin(space, &it);
        CdxModelID model = nullptr;
        ASSERT_TRUE(CdxSpaceGetModel(space, &it, &model));
        CdxSpaceRemoveModel(model);
    }
    SbxBridgeUpdateTransitions(bridge, space, world);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0) << "goodbyes, one at a time";
}

struct Events {
    int inactives = 0;
};

void countInactive(CdxModelPair *, RbdContactID, void *data)
{
    ++static_cast<Events *>(data)->inactives;
}

TEST_F(BridgeUpdate, SleepingPairsAreReadOnlyWhileAnInactiveCallbackExists)
{
    CdxModelID upper = insertedBall(0.0, 0.9, 0.0);
    CdxModelID lower = insertedBall(0.0, 0.0, 0.0);
    update();
    ASSERT_EQ(contactsBetween(upper, lower), 1);
    CdxSpaceFreezeModel(upper);
    CdxSpaceFreezeModel(lower);
    Events seen;
    update();
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, countInactive, &seen);
    update();
    update();
    EXPECT_EQ(seen.inactives, 2);
    EXPECT_EQ(contactsBetween(upper, lower), 1) << "asleep, the pair keeps its contact";
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, nullptr, nullptr);
    update();
    EXPECT_EQ(seen.inactives, 2);
}

} // namespace

namespace {

TEST_F(BridgeUpdate, OnceThePoolsHaveGrownMakingAndEndingContactsAllocatesNothing)
{
    CdxModelID ground = groundPlane();
    ASSERT_TRUE(CdxSpaceInsertModel(space, ground));
    CdxModelID box = bodyModel(this->box(0.4, 0.2, 0.4), 1.0, 0.0, 0.099, 0.0);
    ASSERT_TRUE(CdxSpaceInsertModel(space, box));
    // Touching on four corners, then lifted clear of the plane's box.
    auto cycle = [&] {
        RbdBodySetPosition(bodyOf(box), 0.0, 0.099, 0.0);
        update();
        EXPECT_EQ(contactsBetween(box, ground), 4);
        RbdBodySetPosition(bodyOf(box), 0.0, 0.2, 0.0);
        update();
        EXPECT_EQ(CdxSpaceGetModelPair(box, ground), nullptr);
        EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
    };
    cycle();
    AllocationCounter counter;
    for (int k = 0; k < 10; ++k) cycle();
    EXPECT_EQ(counter.allocations(), 0);
}

} // namespace

namespace {

struct Nested {
    SbxBridgeID bridge;
    CdxSpaceID space;
    RbdWorldID world;
    int calls = 0;
};

void updateFromCallback(CdxIntersectResult *, RbdContactID, void *data)
{
    Nested *n = static_cast<Nested *>(data);
    ++n->calls;
    SbxBridgeUpdateTransitions(n->bridge, n->space, n->world);
}

TEST_F(BridgeUpdate, AWalkStartedFromTheBridgesOwnCallbackIsRefused)
{
    CdxModelID upper = insertedBall(0.0, 0.9, 0.0);
    CdxModelID lower = insertedBall(0.0, 0.0, 0.0);
    Nested nested = {bridge, space, world};
    SbxBridgeSetIntersectNewCB(bridge, 0, 0, updateFromCallback, &nested);
    Warnings warnings;
    update();
    EXPECT_EQ(nested.calls, 1);
    ASSERT_EQ(warnings.texts.size(), 1u);
    EXPECT_EQ(warnings.texts[0],
              "SbxBridgeUpdateTransitions: called from a callback of the bridge's own walk; ignored.\n");
    EXPECT_EQ(contactsBetween(upper, lower), 1) << "the walk went on undisturbed";
    update();
    EXPECT_EQ(contactsBetween(upper, lower), 1);
}

} // namespace
