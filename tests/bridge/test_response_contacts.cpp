// The body-body response keeps a pair's dynamics contacts equal to its
// collision contacts, step by step, with the parameters of the materials;
// callbacks see and edit them; sensors never get any.
#include "test_bridge_support.h"

#include <cfloat>
#include <cstring>

using namespace sbxtest;

namespace {

class ResponseContacts : public BridgeTest {
protected:
    void SetUp() override
    {
        BridgeTest::SetUp();
        useScript();
        a = bodyModel(sphere(0.5), 1.0, 0.0, 1.0, 0.0);
        b = bodyModel(sphere(0.5), 1.0, 0.0, 0.0, 0.0);
        pair = makePair(a, b);
    }
    int totalContacts() const { return RbdWorldGetTotalConstraints(world); }
    CdxModelID a = nullptr, b = nullptr;
    CdxModelPair *pair = nullptr;
};

void expectContactIs(RbdContactID c, const CdxContact &collision)
{
    PxVector3 p, n;
    RbdContactGetPosition(c, p);
    RbdContactGetNormal(c, n);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(p[k], collision.position[k]);
        EXPECT_EQ(n[k], collision.normal[k]);
    }
    EXPECT_EQ(RbdContactGetPenetration(c), -collision.separation);
}

TEST_F(ResponseContacts, ThreeCollisionContactsGiveThreeContactsAndTwoTheNextStepReuseTwoAndDestroyOne)
{
    const std::vector<CdxContact> three = {scriptContact(0, 0.5, 0, -0.01), scriptContact(0.1, 0.5, 0, -0.02),
                                           scriptContact(0.2, 0.5, 0, -0.03)};
    scriptContacts(three);
    runHello(pair);
    std::vector<RbdContactID> first = listOf(SbxModelPairGetContacts(pair));
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(RbdWorldGetEnabledConstraints(world), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(RbdConstraintIsEnabled(first[k]));
        EXPECT_EQ(RbdConstraintGetTypeId(first[k]), RBD_TYPE_CONTACT);
        EXPECT_EQ(RbdConstraintGetBody(first[k], 0), bodyOf(a)) << "model 1's body is body 0";
        EXPECT_EQ(RbdConstraintGetBody(first[k], 1), bodyOf(b));
        expectContactIs(first[k], three[k]);
    }

    const std::vector<CdxContact> two = {scriptContact(1, 0.5, 0, -0.04), scriptContact(2, 0.5, 0, 0.001)};
    scriptContacts(two);
    runStaying(pair);
    std::vector<RbdContactID> second = listOf(SbxModelPairGetContacts(pair));
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0], first[0]) << "reused in order";
    EXPECT_EQ(second[1], first[1]);
    EXPECT_EQ(totalContacts(), 2) << "the third was destroyed";
    expectContactIs(second[0], two[0]);
    expectContactIs(second[1], two[1]);

    scriptContacts(
        {scriptContact(0, 0, 0, 0), scriptContact(1, 0, 0, 0), scriptContact(2, 0, 0, 0), scriptContact(3, 0, 0, 0)});
    runStaying(pair);
    std::vector<RbdContactID> third = listOf(SbxModelPairGetContacts(pair));
    ASSERT_EQ(third.size(), 4u);
    EXPECT_EQ(third[0], first[0]);
    EXPECT_EQ(third[1], first[1]);
    EXPECT_EQ(totalContacts(), 4);

    scriptContacts({});
    runStaying(pair);
    EXPECT_EQ(SbxModelPairGetContacts(pair), nullptr) << "a pair that stops touching keeps no contact";
    EXPECT_EQ(totalContacts(), 0);

    scriptContacts({scriptContact(0, 0, 0, 0)});
    runStaying(pair);
    EXPECT_EQ(SbxModelPairGetContactCount(pair), 1);
    runGoodbye(pair);
    EXPECT_EQ(SbxModelPairGetContacts(pair), nullptr);
    EXPECT_EQ(totalContacts(), 0) << "the end response destroys the pair's contacts";
}

TEST_F(ResponseContacts, ContactsTakeTheParametersOfTheirMaterialsAndCompositeElementsTheirOwn)
{
    CdxModelSetMaterialID(a, 1);
    CdxModelSetMaterialID(b, 2);
    RbdContactParams *oneTwo = SbxBridgeGetContactParams(bridge, 2, 1);
    RbdContactParamsSetType(oneTwo, 2);
    RbdContactParamsSetFriction(oneTwo, 3.0);
    RbdContactParamsSetRestitution(oneTwo, 0.25);
    RbdContactParams *threeTwo = SbxBridgeGetContactParams(bridge, 3, 2);
    RbdContactParamsSetType(threeTwo, 1);
    RbdContactParamsSetSoftness(threeTwo, 0.01);

    scriptContacts({scriptContact(0, 0, 0, 0), scriptContact(1, 0, 0, 0)});
    runHello(pair);
    for (RbdContactID c : listOf(SbxModelPairGetContacts(pair)))
        EXPECT_EQ(memcmp(RbdContactGetParams(c), oneTwo, sizeof(RbdContactParams)), 0);

    // A composite body of a material-1 and a material-3 element against b,
    // the composite as model 1 and, with the pair test registered the other
    // way round, as model 2.
    for (bool compositeSecond : {false, true}) {
        SCOPED_TRACE(compositeSecond ? "composite second" : "composite first");
        if (compositeSecond) {
            CdxInteractions scripted;
            CdxInteractionsInit(&scripted);
            scripted.intersectFn = scriptedIntersect;
            CdxInteractionTableSetElement(CdxSphereGetTypeId(), CdxCompositeGetTypeId(), &scripted, nullptr);
        }
        CdxModelID elementOne = fixedModelAt(sphere(0.2), 0, 0, 0);
        CdxModelID elementThree = fixedModelAt(sphere(0.2), 0, 0, 0);
        CdxModelSetMaterialID(elementOne, 1);
        CdxModelSetMaterialID(elementThree, 3);
        CdxModelID composite = CdxCompositeModelCreate(2);
        PxMatrix4 *left = newTransform(), *right = newTransform();
        (*left)[3][0] = -0.3;
        (*right)[3][0] = 0.3;
        ASSERT_TRUE(CdxCompositeModelAddElement(composite, elementOne, left));
        ASSERT_TRUE(CdxCompositeModelAddElement(composite, elementThree, right));
        CdxModelSetTransformPtr(composite, newTransform());
        CdxModelSetMaterialID(composite, 0);
        RbdBodyID compositeBody = RbdBodyCreate(world);
        RbdBodyEnable(compositeBody);
        CdxModelSetBodyData(composite, compositeBody);
        CdxModelPair *mixed = makePair(composite, b);
        const intptr_t one = reinterpret_cast<intptr_t>(elementOne), three = reinterpret_cast<intptr_t>(elementThree);
        if (compositeSecond)
            scriptContacts({scriptContact(-0.3, 0, 0, 0, 0, one), scriptContact(0.3, 0, 0, 0, 0, three)});
        else
            scriptContacts({scriptContact(-0.3, 0, 0, 0, one), scriptContact(0.3, 0, 0, 0, three)});
        runHello(mixed);
        ASSERT_EQ(mixed->model2 == composite, compositeSecond);
        std::vector<RbdContactID> contacts = listOf(SbxModelPairGetContacts(mixed));
        ASSERT_EQ(contacts.size(), 2u);
        EXPECT_EQ(memcmp(RbdContactGetParams(contacts[0]), oneTwo, sizeof(RbdContactParams)), 0);
        EXPECT_EQ(memcmp(RbdContactGetParams(contacts[1]), threeTwo, sizeof(RbdContactParams)), 0);
        runGoodbye(mixed);
        CdxModelDestroy(composite);
    }
}

TEST_F(ResponseContacts, AMaterialOutsideTheTableIsReportedOnceAndReadsAsMaterialZero)
{
    CdxModelSetMaterialID(a, 9);
    RbdContactParamsSetType(SbxBridgeGetContactParams(bridge, 0, 0), 1);
    scriptContacts({scriptContact(0, 0, 0, 0)});
    Warnings warnings;
    runHello(pair);
    runStaying(pair);
    ASSERT_EQ(warnings.texts.size(), 1u);
    EXPECT_EQ(warnings.texts[0],
              "SbxBridge: material id 9 is outside the table of 4 materials; material 0 is used.\n");
    EXPECT_EQ(RbdContactParamsGetType(RbdContactGetParams(SbxModelPairGetContacts(pair))), 1);
}

struct Dropper {
    PxReal dropX = 1.0;
    int calls = 0;
};

int dropAtX(CdxIntersectResult *, CdxContact *collision, RbdContactID contact, void *data)
{
    Dropper *d = static_cast<Dropper *>(data);
    ++d->calls;
    PxVector3 p;
    RbdContactGetPosition(contact, p);
    EXPECT_EQ(p[0], collision->position[0]) << "called after the copy";
    return collision->position[0] != d->dropX;
}

int dropEvery(CdxIntersectResult *, CdxContact *, RbdContactID, void *)
{
    return 0;
}

struct PairVerdict {
    int keep = 1;
    int seen = -1;
};

int judgePair(CdxIntersectResult *, RbdContactID first, void *data)
{
    PairVerdict *v = static_cast<PairVerdict *>(data);
    v->seen = static_cast<int>(listOf(first).size());
    return v->keep;
}

TEST_F(ResponseContacts, PerContactAndPerPairCallbacksDropContacts)
{
    Dropper dropper;
    SbxBridgeSetPerContactCB(bridge, 0, 0, dropAtX, &dropper);
    scriptContacts({scriptContact(0, 0, 0, 0), scriptContact(1, 0, 0, 0), scriptContact(2, 0, 0, 0)});
    runHello(pair);
    std::vector<RbdContactID> kept = listOf(SbxModelPairGetContacts(pair));
    ASSERT_EQ(kept.size(), 2u);
    PxVector3 p;
    RbdContactGetPosition(kept[0], p);
    EXPECT_EQ(p[0], 0.0);
    RbdContactGetPosition(kept[1], p);
    EXPECT_EQ(p[0], 2.0) << "the dropped contact's record took the next one";
    EXPECT_EQ(dropper.calls, 3);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 2);

    SbxBridgeSetPerContactCB(bridge, 0, 0, dropEvery, nullptr);
    runStaying(pair);
    EXPECT_EQ(SbxModelPairGetContacts(pair), nullptr) << "a callback dropping every contact leaves none";
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);

    SbxBridgeSetPerContactCB(bridge, 0, 0, nullptr, nullptr);
    PairVerdict verdict;
    SbxBridgeSetPerPairCB(bridge, 0, 0, judgePair, &verdict);
    runStaying(pair);
    EXPECT_EQ(verdict.seen, 3);
    EXPECT_EQ(SbxModelPairGetContactCount(pair), 3);
    verdict.keep = 0;
    runStaying(pair);
    EXPECT_EQ(verdict.seen, 3);
    EXPECT_EQ(SbxModelPairGetContacts(pair), nullptr);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
}

// What the transition callbacks saw, in order.
struct Transitions {
    std::vector<std::string> events;
    std::vector<int> listSizes;
};

void onNew(CdxIntersectResult *, RbdContactID contacts, void *data)
{
    Transitions *t = static_cast<Transitions *>(data);
    t->events.push_back("new");
    t->listSizes.push_back(static_cast<int>(listOf(contacts).size()));
}

void onActive(CdxIntersectResult *, RbdContactID contacts, void *data)
{
    Transitions *t = static_cast<Transitions *>(data);
    t->events.push_back("active");
    t->listSizes.push_back(static_cast<int>(listOf(contacts).size()));
}

void onDisjoint(CdxModelPair *, void *data)
{
    static_cast<Transitions *>(data)->events.push_back("disjoint");
}

void onTouch(CdxIntersectResult *result, void *data)
{
    static_cast<Transitions *>(data)->events.push_back(result->touch ? "touch" : "untouched");
}

void onInactive(CdxModelPair *, RbdContactID contacts, void *data)
{
    Transitions *t = static_cast<Transitions *>(data);
    t->events.push_back("inactive");
    t->listSizes.push_back(static_cast<int>(listOf(contacts).size()));
}

void watch(SbxBridgeID bridge, int id1, int id2, Transitions *t)
{
    SbxBridgeSetIntersectNewCB(bridge, id1, id2, onNew, t);
    SbxBridgeSetIntersectActiveCB(bridge, id1, id2, onActive, t);
    SbxBridgeSetDisjointCB(bridge, id1, id2, onDisjoint, t);
}

TEST_F(ResponseContacts, IntersectCallbacksSeeThisStepsContactsAndDisjointComesOncePerSeparation)
{
    Transitions t;
    watch(bridge, 0, 0, &t);
    SbxBridgeSetIntersectCB(bridge, 0, 0, onTouch, &t);
    scriptContacts({scriptContact(0, 0, 0, 0), scriptContact(1, 0, 0, 0)});
    runHello(pair);
    scriptContacts({scriptContact(0, 0, 0, 0), scriptContact(1, 0, 0, 0), scriptContact(2, 0, 0, 0)});
    runStaying(pair);
    scriptContacts({});
    runStaying(pair);
    runStaying(pair);
    scriptContacts({scriptContact(0, 0, 0, 0)});
    runStaying(pair);
    runGoodbye(pair);
    runGoodbye(pair);
    const std::vector<std::string> expected = {"touch",    "new",   "touch", "active",
                                               "disjoint", "touch", "new",   "disjoint"};
    EXPECT_EQ(t.events, expected);
    EXPECT_EQ(t.listSizes, (std::vector<int>{2, 3, 1})) << "the lists hold the step's contacts";
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
}

TEST_F(ResponseContacts, ASensorTouchingABodyIsToldOfEveryTransitionButGetsNoContacts)
{
    CdxModelID sensor = fixedModelAt(sphere(0.5), 0.0, 0.0, 0.0);
    CdxModelSetResponseID(sensor, SbxSensorResponseID);
    CdxModelPair *sensed = makePair(sensor, a);
    Transitions t;
    watch(bridge, SbxSensorResponseID, SbxBodyResponseID, &t);
    SbxResponse *entry = SbxBridgeGetResponse(bridge, SbxSensorResponseID, SbxBodyResponseID);
    SbxResponseGetRequest(entry)->contactMaxCount = 2;

    scriptContacts({scriptContact(0, 0, 0, 0), scriptContact(1, 0, 0, 0), scriptContact(2, 0, 0, 0)});
    runHello(sensed);
    EXPECT_EQ(CdxModelPairGetRequestPtr(sensed), SbxResponseGetRequest(entry)) << "hello with the entry's request";
    runStaying(sensed);
    scriptContacts({});
    runStaying(sensed);
    runGoodbye(sensed);
    EXPECT_EQ(t.events, (std::vector<std::string>{"new", "active", "disjoint"}));
    EXPECT_EQ(t.listSizes, (std::vector<int>{0, 0}));
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
    EXPECT_EQ(script().calls, 3) << "the sensor pair was intersected every step it stayed";
}

TEST_F(ResponseContacts, FrozenPairsReachTheInactiveCallbackWithTheContactsTheyKept)
{
    Transitions t;
    scriptContacts({scriptContact(0, 0, 0, 0), scriptContact(1, 0, 0, 0)});
    runHello(pair);
    runFrozen(pair);
    EXPECT_TRUE(t.events.empty()) << "no callback installed";
    EXPECT_EQ(script().calls, 1) << "frozen pairs are not intersected";

    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, onInactive, &t);
    runFrozen(pair);
    runFrozen(pair);
    EXPECT_EQ(t.events, (std::vector<std::string>{"inactive", "inactive"}));
    EXPECT_EQ(t.listSizes, (std::vector<int>{2, 2}));
    EXPECT_EQ(SbxModelPairGetContactCount(pair), 2) << "sleeping pairs keep their contacts";
    EXPECT_EQ(script().calls, 1);
}

TEST_F(ResponseContacts, ContactsOfACarWheelRubAlongItsRollingDirection)
{
    // Chassis a, wheel b turning about z: the rolling direction on a
    // contact with normal +y is y x z = +x.
    RbdConstraintID wheel = RbdCarWheelCreate(world);
    RbdConstraintSetBodies(wheel, bodyOf(a), bodyOf(b));
    RbdCarWheelSetPosition(wheel, 0.0, 0.0, 0.0);
    RbdCarWheelSetSteeringAxis(wheel, 0.0, 1.0, 0.0);
    RbdCarWheelSetHingeAxis(wheel, 0.0, 0.0, 1.0);
    RbdConstraintEnable(wheel);
    CdxModelID ground = bodyModel(sphere(0.5), 1.0, 0.0, -1.0, 0.0);
    RbdContactParamsSetType(SbxBridgeGetContactParams(bridge, 0, 0), 1);

    for (CdxModelPair *contactPair : {makePair(b, ground), makePair(ground, b)}) {
        scriptContacts({scriptContact(0, -0.5, 0, 0), scriptContact(0.1, -0.5, 0, 0)});
        runHello(contactPair);
        std::vector<RbdContactID> contacts = listOf(SbxModelPairGetContacts(contactPair));
        ASSERT_EQ(contacts.size(), 2u);
        for (RbdContactID c : contacts) {
            PxVector3 direction;
            RbdContactGetDirection(c, direction);
            EXPECT_NEAR(direction[0], 1.0, 1e-12);
            EXPECT_NEAR(direction[1], 0.0, 1e-12);
            EXPECT_NEAR(direction[2], 0.0, 1e-12);
            EXPECT_TRUE(RbdContactParamsGetOptions(RbdContactGetParams(c)) & RBD_CONTACT_DIRECTION);
        }
        runGoodbye(contactPair);
    }

    // Contacts of the chassis are no wheel's.
    CdxModelPair *chassisPair = makePair(a, ground);
    scriptContacts({scriptContact(0, -0.5, 0, 0)});
    runHello(chassisPair);
    EXPECT_FALSE(RbdContactParamsGetOptions(RbdContactGetParams(SbxModelPairGetContacts(chassisPair))) &
                 RBD_CONTACT_DIRECTION);
    runGoodbye(chassisPair);
}

TEST_F(ResponseContacts, APairWithoutBodiesGetsNoContactsButItsMaterialCallbackStillRuns)
{
    CdxModelID left = fixedModelAt(sphere(0.5), 0, 0, 0);
    CdxModelID right = fixedModelAt(sphere(0.5), 0.5, 0, 0);
    CdxModelPair *still = makePair(left, right);
    Transitions t;
    SbxBridgeSetIntersectCB(bridge, 0, 0, onTouch, &t);
    scriptContacts({scriptContact(0, 0, 0, 0)});
    runHello(still);
    EXPECT_EQ(t.events, (std::vector<std::string>{"touch"}));
    EXPECT_EQ(SbxModelPairGetContacts(still), nullptr);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
}

TEST_F(ResponseContacts, ABodyAgainstAFixedModelIsHeldByTheWorld)
{
    CdxModelID fixed = fixedModelAt(sphere(0.5), 0, -1, 0);
    CdxModelPair *onFixed = makePair(fixed, a);
    scriptContacts({scriptContact(0, 0.5, 0, -0.01)});
    runHello(onFixed);
    RbdContactID c = SbxModelPairGetContacts(onFixed);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(RbdConstraintGetBody(c, 0), nullptr) << "model 1 has no body";
    EXPECT_EQ(RbdConstraintGetBody(c, 1), bodyOf(a));
    EXPECT_TRUE(RbdConstraintIsEnabled(c));
    runGoodbye(onFixed);
    EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0);
}

TEST_F(ResponseContacts, AContactBufferSmallerThanARequestCutsTheContactsWithOneWarning)
{
    ASSERT_EQ(SbxBridgeSetContactBufferSize(bridge, 2), 1);
    scriptContacts({scriptContact(0, 0, 0, 0), scriptContact(1, 0, 0, 0), scriptContact(2, 0, 0, 0)});
    Warnings warnings;
    runHello(pair);
    runStaying(pair);
    EXPECT_EQ(SbxModelPairGetContactCount(pair), 2);
    ASSERT_EQ(warnings.texts.size(), 1u);
    EXPECT_EQ(warnings.texts[0], "SbxBridgeUpdateContacts: a pair may report 4 contacts but the contact buffer "
                                 "holds 2; enlarge it with SbxBridgeSetContactBufferSize.\n");
}

TEST_F(ResponseContacts, InSafeTimeModeAPairThatDoesNotTouchLimitsBothBodiesToItsTimeOfImpact)
{
    // The real sphere-sphere test: radius 0.5 spheres 3 apart closing at
    // 2 m/s touch after (3 - 1) / 2 = 1 s.
    const CdxGeometryTypeID sphereType = CdxSphereGetTypeId();
    CdxPrimitivesRegisterInteractions();
    ASSERT_NE(CdxInteractionTableGetElementPtr(sphereType, sphereType)->interactions.intersectFn, scriptedIntersect);
    CdxModelID left = bodyModel(sphere(0.5), 1.0, 0.0, 10.0, 0.0);
    CdxModelID right = bodyModel(sphere(0.5), 1.0, 3.0, 10.0, 0.0);
    RbdBodySetLinearVelocity(bodyOf(left), 1.0, 0.0, 0.0);
    RbdBodySetLinearVelocity(bodyOf(right), -1.0, 0.0, 0.0);
    CdxModelPair *closing = makePair(left, right);
    RbdWorldSetTimeStep(world, 2.0);

    runHello(closing);
    EXPECT_EQ(RbdBodyGetSafeTime(bodyOf(left)), DBL_MAX) << "safe-time mode is off";

    RbdWorldSetSafeTimeMode(world, 1);
    runStaying(closing);
    EXPECT_NEAR(RbdBodyGetSafeTime(bodyOf(left)), 1.0, 1e-12);
    EXPECT_NEAR(RbdBodyGetSafeTime(bodyOf(right)), 1.0, 1e-12);

    // Moving apart they cannot meet: the estimate does not limit them.
    CdxModelID far = bodyModel(sphere(0.5), 1.0, 10.0, 10.0, 0.0);
    RbdBodySetLinearVelocity(bodyOf(far), 1.0, 0.0, 0.0);
    CdxModelPair *parting = makePair(right, far);
    runHello(parting);
    EXPECT_EQ(RbdBodyGetSafeTime(bodyOf(far)), DBL_MAX);
    EXPECT_NEAR(RbdBodyGetSafeTime(bodyOf(right)), 1.0, 1e-12);
}

} // namespace
