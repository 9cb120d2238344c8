// A pair's dynamics contacts follow its collision contacts step by step:
// random scripted histories against a model of what the bridge must keep
// and report, random heaps of balls in a real space against brute force,
// the cases of one kind each (composite materials, wheels, safe times), the
// bridge's tables and its refusals; and, matching by place, contacts that
// continue on their records while the collision results are shuffled.
#include <math.h>

#include <cfloat>
#include <cstring>
#include <algorithm>
#include <functional>
#include <random>

#include "bridge/test_universe_support.h"
#include "common/MessageLog.h"

using namespace sbxtest;

namespace {

using Warnings = testsupport::MessageLog;

// The contacts the scripted pair test reports (none: not touching), and
// how often it ran.
struct Script {
    std::vector<CdxContact> contacts;
    int calls = 0;
} gScript;

CdxContact scriptContact(PxReal x, PxReal y, PxReal z, PxReal separation, intptr_t element1 = 0,
                         intptr_t element2 = 0)
{
    CdxContact c = {};
    PxV3Set(c.position, x, y, z);
    PxV3Set(c.normal, 0.0, 1.0, 0.0);
    c.separation = separation;
    c.element1 = element1;
    c.element2 = element2;
    return c;
}

// The scripted pair test: writes the script's contacts up to the capacity.
int scriptedIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    ++gScript.calls;
    result->pair = pair;
    const int count = std::min(result->contacts ? result->contactCapacity : 0,
                               static_cast<int>(gScript.contacts.size()));
    std::copy(gScript.contacts.begin(), gScript.contacts.begin() + count, result->contacts);
    result->contactCount = count;
    PxV3Set(result->normal, 0.0, 1.0, 0.0);
    return !gScript.contacts.empty();
}

// Dynamics contacts of a list, in list order.
std::vector<RbdContactID> listOf(RbdContactID first)
{
    std::vector<RbdContactID> list;
    for (RbdContactID c = first; c; c = RbdContactGetNext(c)) list.push_back(c);
    return list;
}

// A universe whose bridge the tests drive by hand: pairs made by the test
// run through one section of a container at a time.
class BridgeContacts : public UniverseFixture {
protected:
    BridgeContacts() : UniverseFixture({16, 64, 7, 64, 256, 4}) {}
    void SetUp() override
    {
        gScript = Script();
        UniverseFixture::SetUp();
        bridge = SbxUniverseGetBridge(universe);
        container = CdxModelPairContainerCreate(8);
    }
    void TearDown() override
    {
        for (CdxModelPair *pair : pairs_) CdxModelPairDestroy(pair);
        CdxModelPairContainerDestroy(container);
        UniverseFixture::TearDown();
    }
    // Replaces the pair test of two types (by default the sphere-sphere and
    // composite-sphere ones) by the scripted one.
    void useScript(CdxGeometryTypeID type1 = -1, CdxGeometryTypeID type2 = -1)
    {
        CdxInteractions scripted;
        CdxInteractionsInit(&scripted);
        scripted.intersectFn = scriptedIntersect;
        if (type1 >= 0) {
            CdxInteractionTableSetElement(type1, type2, &scripted, nullptr);
            return;
        }
        CdxInteractionTableSetElement(CdxSphereGetTypeId(), CdxSphereGetTypeId(), &scripted, nullptr);
        CdxInteractionTableSetElement(CdxCompositeGetTypeId(), CdxSphereGetTypeId(), &scripted, nullptr);
    }
    CdxModelPair *makePair(CdxModelID model1, CdxModelID model2)
    {
        pairs_.push_back(CdxModelPairCreate(model1, model2));
        return pairs_.back();
    }
    // Runs one pair through the bridge as one section (hello, staying,
    // goodbye or frozen) of a container.
    void run(CdxModelPair *pair, int (*section)(CdxModelPairContainer *, CdxModelPair *))
    {
        CdxModelPairContainerReset(container);
        section(container, pair);
        SbxHandleTransitions(container, nullptr, world, bridge);
        SbxHandleCollisions(container, nullptr, world, bridge);
    }

    SbxBridgeID bridge = nullptr;
    CdxModelPairContainer *container = nullptr;

private:
    std::vector<CdxModelPair *> pairs_;
};

// What the transition callbacks saw, as one line per event.
struct Seen {
    std::vector<std::string> events;
    bool rejectPairs = false;
};

void push(void *data, const char *what, RbdContactID contacts)
{
    static_cast<Seen *>(data)->events.push_back(what + std::to_string(listOf(contacts).size()));
}
const SbxIntersectPairCB onNew = [](CdxIntersectResult *, RbdContactID c, void *d) { push(d, "new", c); };
const SbxIntersectPairCB onActive = [](CdxIntersectResult *, RbdContactID c, void *d) { push(d, "active", c); };
const SbxIntersectInactiveCB onInactive = [](CdxModelPair *, RbdContactID c, void *d) { push(d, "inactive", c); };
const SbxDisjointCB onDisjoint = [](CdxModelPair *, void *d) {
    static_cast<Seen *>(d)->events.push_back("disjoint");
};
const SbxIntersectCB onTouch = [](CdxIntersectResult *r, void *d) {
    static_cast<Seen *>(d)->events.push_back(r->touch ? "touch" : "?");
};
// Drops the contacts scripted with z = 1, after they were copied.
int vetoRaised(CdxIntersectResult *, CdxContact *collision, RbdContactID contact, void *)
{
    PxVector3 p;
    RbdContactGetPosition(contact, p);
    EXPECT_EQ(p[0], collision->position[0]);
    return collision->position[2] != 1.0;
}
const SbxPerPairCB judgePair = [](CdxIntersectResult *, RbdContactID, void *d) {
    return static_cast<int>(!static_cast<Seen *>(d)->rejectPairs);
};
const auto same = [](const RbdContactParams *a, const RbdContactParams *b) { return memcmp(a, b, sizeof *a) == 0; };

// Random histories of one pair per round: hello, stays, sleeps and
// goodbye with 0 to 4 scripted contacts, some vetoed and some pairs
// rejected whole. After each step the pair holds exactly the kept
// contacts in order, on the records it held before, with the parameters
// of its materials, and the callbacks told the story once.
TEST_F(BridgeContacts, RandomHistoriesKeepExactlyTheAcceptedContactsAndReportEachTransitionOnce)
{
    useScript();
    std::mt19937 rng(7);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Seen seen;
    for (int i = 0; i < 4; ++i)
        for (int j = i; j < 4; ++j) {
            RbdContactParamsSetFriction(SbxBridgeGetContactParams(bridge, i, j), 10 * i + j);
            SbxBridgeSetPerContactCB(bridge, i, j, vetoRaised, nullptr);
            SbxBridgeSetPerPairCB(bridge, i, j, judgePair, &seen);
            SbxBridgeSetIntersectCB(bridge, i, j, onTouch, &seen);
            if (i > 0 || j > 1) continue; // the body-body and sensor-body responses
            SbxBridgeSetIntersectNewCB(bridge, 0, j, onNew, &seen);
            SbxBridgeSetIntersectActiveCB(bridge, 0, j, onActive, &seen);
            SbxBridgeSetDisjointCB(bridge, 0, j, onDisjoint, &seen);
            SbxBridgeSetIntersectInactiveCB(bridge, 0, j, onInactive, &seen);
        }
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Pairs of bodies, a fixed model and a body, two fixed models (which
        // get no contacts), and a body and a sensor (which gets none).
        const bool sensor = round % 5 == 4, firstFixed = round % 5 == 2 || round % 5 == 3,
                   secondFixed = round % 5 >= 3;
        CdxModelID a = firstFixed ? fixedAt(sphere(0.5), 0, 1, 0) : dropped(sphere(0.5), 0.0, 1.0, 0.0);
        CdxModelID b = secondFixed ? fixedAt(sphere(0.5), 0, 0, 0) : dropped(sphere(0.5), 0.0, 0.0, 0.0);
        if (sensor) CdxModelSetResponseID(b, SbxSensorResponseID);
        const int m1 = pick(4), m2 = pick(4);
        CdxModelSetMaterialID(a, m1);
        CdxModelSetMaterialID(b, m2);
        CdxModelPair *pair = makePair(a, b);
        const int steps = 1 + pick(8);
        std::vector<RbdContactID> held;
        std::vector<std::string> expected;
        bool touching = false;
        for (int step = 0; step <= steps; ++step) {
            const int what = step == 0 ? 0 : step == steps ? 3 : 1 + (touching && pick(4) == 0);
            std::vector<CdxContact> contacts, kept;
            for (int k = pick(5); k > 0; --k) {
                contacts.push_back(scriptContact(pick(100), pick(100), pick(3) == 0, -0.01 * pick(10)));
                if (contacts.back().position[2] != 1.0) kept.push_back(contacts.back());
            }
            seen.rejectPairs = !sensor && pick(6) == 0;
            if (seen.rejectPairs || sensor || (firstFixed && secondFixed)) kept.clear();
            const int calls = gScript.calls;
            if (what == 2) {
                run(pair, CdxModelPairContainerAddFrozen);
                EXPECT_EQ(gScript.calls, calls) << "a sleeping pair is not intersected";
                expected.push_back("inactive" + std::to_string(held.size()));
            } else if (what == 3) {
                run(pair, CdxModelPairContainerAddGoodbye);
                if (touching) expected.push_back("disjoint");
                kept.clear();
            } else {
                gScript.contacts = contacts;
                run(pair, what == 0 ? CdxModelPairContainerAddHello : CdxModelPairContainerAddStaying);
                if (sensor && what == 0) {
                    EXPECT_EQ(CdxModelPairGetRequestPtr(pair),
                              SbxResponseGetRequest(SbxBridgeGetResponse(bridge, SbxSensorResponseID, 0)))
                        << "a sensor's pair asks what its response entry asks";
                }
                if (!contacts.empty()) {
                    if (!sensor) expected.push_back("touch");
                    expected.push_back((touching ? "active" : "new") + std::to_string(kept.size()));
                } else if (touching) {
                    expected.push_back("disjoint");
                }
                touching = !contacts.empty();
            }
            if (what == 2) continue;
            const std::vector<RbdContactID> now = listOf(SbxModelPairGetContacts(pair));
            ASSERT_EQ(now.size(), kept.size()) << "step " << step;
            EXPECT_EQ(RbdWorldGetTotalConstraints(world), static_cast<int>(kept.size()));
            for (size_t k = 0; k < now.size(); ++k) {
                if (k < held.size()) {
                    EXPECT_EQ(now[k], held[k]) << "records are reused in order";
                }
                PxVector3 p, n;
                RbdContactGetPosition(now[k], p);
                RbdContactGetNormal(now[k], n);
                for (int x = 0; x < 3; ++x) EXPECT_TRUE(p[x] == kept[k].position[x] && n[x] == kept[k].normal[x]);
                EXPECT_EQ(RbdContactGetPenetration(now[k]), -kept[k].separation);
                EXPECT_EQ(RbdConstraintGetBody(now[k], 0), CdxModelGetBody(a)) << "model 1's body is body 0";
                EXPECT_EQ(RbdConstraintGetBody(now[k], 1), CdxModelGetBody(b));
                EXPECT_TRUE(RbdConstraintIsEnabled(now[k]));
                EXPECT_TRUE(same(RbdContactGetParams(now[k]), SbxBridgeGetContactParams(bridge, m1, m2)));
            }
            held = now;
        }
        EXPECT_EQ(seen.events, expected);
        seen.events.clear();
    }
}

// Random heaps of balls in a real space, moved and thinned at random: every
// overlapping pair has one contact along the line of centres from body 1 to
// body 0, as deep as the overlap, and no other pair has any. The pair
// buffer is small, so pairs reach the bridge in chunks.
TEST_F(BridgeContacts, ContactsInASpaceMatchBruteForceOverRandomMovesAndRemovals)
{
    ASSERT_EQ(SbxBridgeSetModelPairBufferSize(bridge, 3), 1);
    std::mt19937 rng(11);
    std::uniform_real_distribution<PxReal> coordinate(0.0, 2.0);
    const PxReal r = 0.4;
    std::vector<CdxModelID> balls;
    for (int k = 0; k < 10; ++k) balls.push_back(dropped(sphere(r), coordinate(rng), coordinate(rng), 0.0));
    for (int round = 0; round < 12; ++round) {
        if (round % 4 == 3) {
            SbxModelAndBodyDestroy(universe, balls.back()); // ends its contacts at once
            forget(balls.back());
            balls.pop_back();
        } else {
            RbdBodySetPosition(CdxModelGetBody(balls[rng() % balls.size()]), coordinate(rng), coordinate(rng), 0.0);
            CdxSpaceUpdateAll(space);
            SbxBridgeUpdateContacts(bridge, space, world);
        }
        int overlaps = 0;
        for (size_t i = 0; i < balls.size(); ++i)
            for (size_t j = i + 1; j < balls.size(); ++j) {
                PxVector3 pi, pj;
                RbdBodyGetPosition(CdxModelGetBody(balls[i]), pi);
                RbdBodyGetPosition(CdxModelGetBody(balls[j]), pj);
                const PxReal d = PxV3Distance(pi, pj);
                CdxModelPair *pair = CdxSpaceGetModelPair(balls[i], balls[j]);
                const int count = pair ? SbxModelPairGetContactCount(pair) : 0;
                // Balls within a hair of touching may or may not report their contact.
                if (fabs(d - 2 * r) > 0.01) {
                    ASSERT_EQ(count, d < 2 * r ? 1 : 0) << round << ": " << i << "," << j;
                }
                if (!count) continue;
                ++overlaps;
                RbdContactID c = SbxModelPairGetContacts(pair);
                PxVector3 normal, p0, p1, oneToZero;
                RbdContactGetNormal(c, normal);
                RbdBodyGetPosition(RbdConstraintGetBody(c, 0), p0);
                RbdBodyGetPosition(RbdConstraintGetBody(c, 1), p1);
                PxV3Sub(oneToZero, p0, p1);
                EXPECT_NEAR(PxV3Dot(normal, oneToZero), d, 1e-9);
                EXPECT_NEAR(RbdContactGetPenetration(c), 2 * r - d, 1e-9);
            }
        EXPECT_EQ(RbdWorldGetTotalConstraints(world), overlaps);
    }
}

// A composite's contacts take the material of the element touched, on
// whichever side of the pair the composite is.
TEST_F(BridgeContacts, CompositeElementsLendTheirMaterialsToTheirContacts)
{
    useScript();
    CdxModelID b = dropped(sphere(0.5), 0.0, 0.0, 0.0);
    CdxModelSetMaterialID(b, 2);
    RbdContactParamsSetFriction(SbxBridgeGetContactParams(bridge, 1, 2), 3.0);
    RbdContactParamsSetSoftness(SbxBridgeGetContactParams(bridge, 3, 2), 0.01);
    CdxModelID elements[2] = {CdxModelCreate(sphere(0.2)), CdxModelCreate(sphere(0.2))};
    CdxModelSetMaterialID(elements[0], 1);
    CdxModelSetMaterialID(elements[1], 3);
    CdxModelID composite = own(SbxCompositeModelAndBodyCreate(universe, 2, 1000.0));
    for (CdxModelID element : elements) {
        CdxModelSetTransformPtr(element, newPose(0, 0, 0));
        ASSERT_TRUE(CdxCompositeModelAddElement(composite, element, newPose(0, 0, 0)));
    }
    ASSERT_EQ(SbxCompositeModelAndBodyBuild(universe, composite), 1);
    for (bool second : {false, true}) {
        // The pair test registered the other way round puts the composite second.
        if (second) useScript(CdxSphereGetTypeId(), CdxCompositeGetTypeId());
        CdxModelPair *pair = second ? makePair(b, composite) : makePair(composite, b);
        ASSERT_EQ(pair->model2 == composite, second);
        std::vector<CdxContact> contacts;
        for (CdxModelID element : elements) {
            const intptr_t e = reinterpret_cast<intptr_t>(element);
            contacts.push_back(scriptContact(0, 0, 0, 0, second ? 0 : e, second ? e : 0));
        }
        gScript.contacts = contacts;
        run(pair, CdxModelPairContainerAddHello);
        std::vector<RbdContactID> made = listOf(SbxModelPairGetContacts(pair));
        ASSERT_EQ(made.size(), 2u) << second;
        EXPECT_TRUE(same(RbdContactGetParams(made[0]), SbxBridgeGetContactParams(bridge, 1, 2)));
        EXPECT_TRUE(same(RbdContactGetParams(made[1]), SbxBridgeGetContactParams(bridge, 3, 2)));
        run(pair, CdxModelPairContainerAddGoodbye);
    }
    SbxModelDestroy(universe, composite);
    forget(composite);
    for (CdxModelID element : elements) CdxModelDestroy(element);
}

// Wheel contacts rub along the rolling direction (here y x z = +x),
// whichever side the wheel is on; the chassis' contacts do not.
TEST_F(BridgeContacts, ContactsOfACarWheelRubAlongItsRollingDirection)
{
    useScript();
    CdxModelID chassis = dropped(sphere(0.5), 0.0, 1.0, 0.0);
    CdxModelID wheel = dropped(sphere(0.5), 0.0, 0.0, 0.0);
    CdxModelID ground = dropped(sphere(0.5), 0.0, -1.0, 0.0);
    RbdConstraintID axle = RbdCarWheelCreate(world);
    RbdConstraintSetBodies(axle, CdxModelGetBody(chassis), CdxModelGetBody(wheel));
    RbdCarWheelSetSteeringAxis(axle, 0.0, 1.0, 0.0);
    RbdCarWheelSetHingeAxis(axle, 0.0, 0.0, 1.0);
    RbdConstraintEnable(axle);
    RbdContactParamsSetType(SbxBridgeGetContactParams(bridge, 0, 0), 1);
    gScript.contacts = {scriptContact(0, -0.5, 0, 0), scriptContact(0.1, -0.5, 0, 0)};
    for (CdxModelPair *pair : {makePair(wheel, ground), makePair(ground, wheel), makePair(chassis, ground)}) {
        run(pair, CdxModelPairContainerAddHello);
        const bool onWheel = pair->model1 == wheel || pair->model2 == wheel;
        for (RbdContactID c : listOf(SbxModelPairGetContacts(pair))) {
            PxVector3 direction;
            RbdContactGetDirection(c, direction);
            const bool rubs = RbdContactParamsGetOptions(RbdContactGetParams(c)) & RBD_CONTACT_DIRECTION;
            EXPECT_EQ(rubs, onWheel);
            if (onWheel) {
                EXPECT_NEAR(direction[0], 1.0, 1e-12);
            }
        }
        run(pair, CdxModelPairContainerAddGoodbye);
    }
}

// In safe-time mode the real sphere test limits both bodies of a closing
// pair to its time of impact ((3 - 1) / 2 = 1 s), never lengthens a
// limit, and leaves a parting pair alone.
TEST_F(BridgeContacts, InSafeTimeModeAClosingPairLimitsBothBodiesToItsTimeOfImpact)
{
    CdxModelID left = dropped(sphere(0.5), 0.0, 10.0, 0.0);
    CdxModelID right = dropped(sphere(0.5), 3.0, 10.0, 0.0);
    CdxModelID far = dropped(sphere(0.5), 10.0, 10.0, 0.0);
    RbdBodySetLinearVelocity(CdxModelGetBody(left), 1.0, 0.0, 0.0);
    RbdBodySetLinearVelocity(CdxModelGetBody(right), -1.0, 0.0, 0.0);
    RbdBodySetLinearVelocity(CdxModelGetBody(far), 1.0, 0.0, 0.0);
    CdxModelPair *closing = makePair(left, right);
    RbdWorldSetTimeStep(world, 2.0);
    run(closing, CdxModelPairContainerAddHello);
    EXPECT_EQ(RbdBodyGetSafeTime(CdxModelGetBody(left)), DBL_MAX) << "safe-time mode is off";
    RbdWorldSetSafeTimeMode(world, 1);
    run(closing, CdxModelPairContainerAddStaying);
    run(makePair(right, far), CdxModelPairContainerAddHello);
    EXPECT_NEAR(RbdBodyGetSafeTime(CdxModelGetBody(left)), 1.0, 1e-12);
    EXPECT_NEAR(RbdBodyGetSafeTime(CdxModelGetBody(right)), 1.0, 1e-12);
    EXPECT_EQ(RbdBodyGetSafeTime(CdxModelGetBody(far)), DBL_MAX);
}

// A new bridge answers body, sensor and PS pairs from both orders; ids
// made from a template meet every id as the template does, and the table
// grows keeping its entries where they were.
TEST_F(BridgeContacts, ResponseIdsFromTemplatesMeetEveryIdAsTheirTemplates)
{
    struct Entry {
        int id1, id2;
        SbxResponseStartFn start;
        SbxResponseFn response;
    };
    const Entry entries[] = {{0, 0, SbxResponseStart_Body_Body, SbxResponse_Body_Body},
                             {1, 0, SbxResponseStart_Sensor_Body, nullptr},
                             {1, 1, SbxResponseStart_Sensor_Sensor, nullptr},
                             {2, 1, SbxResponseStart_Sensor_PS, nullptr},
                             {2, 2, nullptr, nullptr}};
    for (const Entry &e : entries)
        for (SbxResponse *r :
             {SbxBridgeGetResponse(bridge, e.id1, e.id2), SbxBridgeGetResponse(bridge, e.id2, e.id1)}) {
            EXPECT_EQ(SbxResponseGetStartFn(r), e.start) << e.id1 << e.id2;
            EXPECT_EQ(SbxResponseGetResponseFn(r), e.response) << e.id1 << e.id2;
            EXPECT_EQ(SbxResponseGetEndFn(r) != nullptr, e.response != nullptr) << e.id1 << e.id2;
        }
    const SbxResponseStartFn customStart = [](SbxBridgeID, CdxModelPair *, CdxSpaceID, RbdWorldID, SbxResponse *) {};
    const CdxRequest wide = {9, 1};
    ASSERT_EQ(SbxBridgeRegisterResponse(bridge, 2, 1, customStart, nullptr, nullptr, &wide, nullptr), 1);
    SbxResponse *registered = SbxBridgeGetResponse(bridge, 1, 2);
    int inactive = 0;
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, onInactive, nullptr);
    SbxBridgeSetIntersectInactiveCB(bridge, 0, 0, onInactive, &inactive);
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), 1) << "replacing is not adding";
    // Templates: body, sensor, the body copy, a fresh id, and body again.
    for (int t : {int{SbxBodyResponseID}, int{SbxSensorResponseID}, 3, -1, int{SbxBodyResponseID}}) {
        const int id = t < 0 ? SbxBridgeGetNewResponseID(bridge) : SbxBridgeGetNewResponseIDFromTemplateID(bridge, t);
        ASSERT_EQ(id, SbxBridgeGetResponseIDsUsed(bridge) - 1);
        for (int other = 0; other <= id; ++other) {
            SbxResponse *made = SbxBridgeGetResponse(bridge, id, other);
            SbxResponse *from = t < 0 ? nullptr : SbxBridgeGetResponse(bridge, t, other == id ? t : other);
            EXPECT_EQ(SbxResponseGetStartFn(made), from ? SbxResponseGetStartFn(from) : nullptr) << id << other;
            EXPECT_EQ(SbxResponseGetRequest(made)->contactMaxCount,
                      from ? SbxResponseGetRequest(from)->contactMaxCount : 4);
            EXPECT_NE(made, from) << "a copy";
        }
    }
    for (int i = 0; i < 8; ++i)
        for (int j = i; j < 8; ++j) inactive += SbxBridgeGetIntersectInactiveCB(bridge, i, j, nullptr) != nullptr;
    EXPECT_EQ(inactive, 10) << "body and its three copies meet each other and themselves with it";
    EXPECT_EQ(SbxBridgeGetInactiveCallbackCount(bridge), inactive);
    EXPECT_EQ(SbxBridgeGetResponse(bridge, 2, 1), registered) << "entries keep their addresses";
    EXPECT_EQ(SbxResponseGetRequest(registered)->contactMaxCount, 9);
    EXPECT_EQ(SbxBridgeGetNewResponseIDFromTemplateID(bridge, 9), -1) << "not handed out";
    // Material ids are handed out up to the count; then 0 says none is left.
    for (int k = 1; k < 4; ++k) EXPECT_EQ(SbxBridgeGetNewMaterial(bridge), k);
    EXPECT_EQ(SbxBridgeGetNewMaterial(bridge), 0) << "all used";
    EXPECT_EQ(SbxBridgeGetResponse(bridge, 8, 0), nullptr);
}

struct Nested {
    SbxBridgeID bridge;
    CdxSpaceID space;
    RbdWorldID world;
};

// Each refused call of the bridge or the universe gives its empty answer,
// makes nothing and says why in one warning (starting with the text given).
// A running bridge warns once and goes on: a material outside the table is
// read as material 0, a contact buffer smaller than a request takes what
// fits, and a walk started from the bridge's own callback is ignored.
TEST_F(BridgeContacts, RefusalsGiveTheEmptyAnswerAndWarnOnceWithTheirMessage)
{
    CdxModelID upper = dropped(sphere(0.5), 0.0, 0.9, 0.0), lower = dropped(box(2.0, 0.2, 2.0), 0.0, 0.35, 0.0);
    RbdContactParamsSetType(SbxBridgeGetContactParams(bridge, 0, 0), 1);
    Nested nested = {bridge, space, world};
    const SbxIntersectPairCB walkAgain = [](CdxIntersectResult *, RbdContactID, void *data) {
        Nested *n = static_cast<Nested *>(data);
        SbxBridgeUpdateTransitions(n->bridge, n->space, n->world);
    };
    // Parts and touches again for two steps: one contact, of material 0.
    auto touches = [&] {
        for (PxReal y : {9.0, 0.9, 0.9}) {
            RbdBodySetPosition(CdxModelGetBody(upper), 0.0, y, 0.0);
            CdxSpaceUpdateAll(space);
            SbxBridgeUpdateContacts(bridge, space, world);
        }
        RbdContactID c = SbxModelPairGetContacts(CdxSpaceGetModelPair(upper, lower));
        return listOf(c).size() == 1 && RbdContactParamsGetType(RbdContactGetParams(c)) == 1;
    };
    PxMatrix4 *pose = newPose(0.0, 0.0, 0.0), *sheared = newPose(0.0, 0.0, 0.0);
    (*sheared)[0][1] = 0.5;
    CdxGeometryID cube = box(1.0, 1.0, 1.0);
    CdxModelID fixed = fixedAt(cube, 20.0, 0.0, 0.0);
    const auto badSizes = [](SbxUniverseSizes sizes) { return [sizes] { return !SbxUniverseCreate(sizes); }; };
    const std::pair<std::function<bool()>, const char *> cases[] = {
        {badSizes({10, 10, 5, 10, 10, 1}),
         "SbxUniverseCreate: bad sizes (10 bodies, 10 constraints, 5 geometry types"},
        {badSizes({10, 10, 7, 65537, 10, 1}), "SbxUniverseCreate: bad sizes ("},
        {badSizes({-1, 10, 7, 10, 10, 1}), "SbxUniverseCreate: bad sizes ("},
        {[&] { return SbxUniverseStep(universe, NAN), true; }, "SbxUniverseStep: the step nan must be > 0"},
        {[&] { return SbxUniverseStep(universe, 0.0), true; }, "SbxUniverseStep: the step 0 must be > 0"},
        {[] { return SbxUniverseStep(nullptr, 0.01), true; }, "SbxUniverseStep: null universe.\n"},
        {[&] { return !SbxModelAndBodyCreate(universe, cube, -1.0); }, "SbxModelAndBodyCreate: a body of density -1"},
        {[&] { return !SbxModelAndBodyCreate(universe, nullptr, 1.0); }, "SbxModelAndBodyCreate: "},
        {[] { return !SbxModelIsFrozen(nullptr); }, "SbxModelIsFrozen: "},
        {[] { return !SbxBridgeGetContactParams(nullptr, 0, 0); }, "SbxBridgeGetContactParams: null bridge.\n"},
        {[] { return !SbxBridgeGetResponse(nullptr, 0, 0); }, "SbxBridgeGetResponse: null bridge.\n"},
        {[&] { return SbxBridgeUpdateContacts(nullptr, space, world), true; },
         "SbxBridgeUpdateContacts: null bridge.\n"},
        {[&] { return CdxModelSetBody(fixed, CdxModelGetBody(upper)), !CdxModelGetBody(fixed); },
         "CdxModelSetBody: the body already has a model"},
        {[&] { return CdxModelDynamicsReset(fixed), true; }, "Resetting dynamics on CdxModel with no dynamics.\n"},
        {[&] { return SbxUniverseSetStepMethod(universe, 2), SbxUniverseGetStepMethod(universe) == 0; },
         "SbxUniverseSetStepMethod: unknown step method 2"},
        {[&] { return !SbxModelAndBodyCreate(universe, cube, 0.0); },
         "SbxModelAndBodyCreate: a body of density 0 on this geometry has no positive mass"},
        {[&] { return !SbxModelAndBodyCreate(universe, cube, INFINITY); },
         "SbxModelAndBodyCreate: a body of density inf"},
        {[&] { return !SbxFixedModelCreate(universe, cube, nullptr); }, "SbxFixedModelCreate: null transform.\n"},
        {[&] { return !SbxKinematicModelCreate(universe, cube, sheared, nullptr, nullptr); },
         "SbxKinematicModelCreate: the transform is not a rotation"},
        {[&] { return !SbxSensorCompositeModelCreate(universe, cube, pose); },
         "SbxSensorCompositeModelCreate: the geometry is not a composite.\n"},
        {[] { return SbxBridgeCreate(0) == nullptr; },
         "SbxBridgeCreate: the material count must be at least 1 (0).\n"},
        {[&] { return SbxBridgeSetModelPairBufferSize(bridge, 1) == 0; },
         "SbxBridgeSetModelPairBufferSize: the size must be at least 2 (1).\n"},
        {[&] { return SbxBridgeSetContactBufferSize(bridge, 0) == 0; },
         "SbxBridgeSetContactBufferSize: the size must be at least 1 (0).\n"},
        {[] { return SbxBridgeGetNewMaterial(nullptr) == 0; }, "SbxBridgeGetNewMaterial: null bridge.\n"},
        {[] { return SbxBridgeGetNewResponseID(nullptr) == -1; }, "SbxBridgeGetNewResponseID: null bridge.\n"},
        {[&] { return SbxBridgeUpdateContacts(bridge, nullptr, world), true; },
         "SbxBridgeUpdateContacts: null space.\n"},
        {[&] { return CdxModelSetMaterialID(upper, 9), touches(); },
         "SbxBridge: material id 9 is outside the table of 4 materials; material 0 is used.\n"},
        {[&] { return SbxBridgeSetContactBufferSize(bridge, 2), touches(); },
         "SbxBridgeUpdateContacts: a pair may report 4 contacts but the contact buffer holds 2; enlarge it with "
         "SbxBridgeSetContactBufferSize.\n"},
        {[&] { return SbxBridgeSetIntersectNewCB(bridge, 0, 0, walkAgain, &nested), touches(); },
         "SbxBridgeUpdateTransitions: called from a callback of the bridge's own walk; ignored.\n"},
    };
    for (const auto &c : cases) {
        Warnings warnings;
        EXPECT_TRUE(c.first()) << c.second;
        ASSERT_EQ(warnings.warnings.size(), 1u) << c.second;
        EXPECT_EQ(warnings.warnings[0].rfind(c.second, 0), 0u) << warnings.warnings[0];
        CdxModelSetMaterialID(upper, 0);
        SbxBridgeSetContactBufferSize(bridge, 500);
        SbxBridgeSetIntersectNewCB(bridge, 0, 0, nullptr, nullptr);
    }
    EXPECT_EQ(SbxBridgeGetModelPairBufferSize(bridge), 256) << "refused sizes are not taken";
    EXPECT_EQ(SbxUniverseGetLiveCount(), 1);
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 2);
    EXPECT_EQ(CdxSpaceGetModelCount(space), 3);
}

// With matching by place, a pair's contacts continue from step to step by
// where they touch: a box resting off-centre (or turned) on a fixed box,
// whose collision results are shuffled before the bridge sees them, keeps
// each corner that stays on the record (and so the force) that corner had
// in the last step.
struct Corner {
    RbdContactID record;
    PxVector3 position;
    PxVector3 force; // on body 0 in the last step (N)
};

std::vector<Corner> chainOf(RbdContactID head)
{
    std::vector<Corner> all;
    for (RbdContactID c = head; c; c = RbdContactGetNext(c)) {
        Corner s;
        s.record = c;
        RbdContactGetPosition(c, s.position);
        RbdConstraintGetForce(c, 0, s.force);
        all.push_back(s);
    }
    return all;
}

// What the shuffling response checked.
struct Watch {
    std::mt19937 rng{11};
    bool checking = false;
    int corners = 0;     // corners checked
    PxReal spread = 0.0; // largest difference of two corners' normal forces (N)
    PxReal weight = 0.0; // of the top box (N)
};

// Shuffles the collision contacts, lets the bridge's own response make the
// dynamics contacts, and checks each against the pair's contacts before.
void shuffledResponse(SbxBridgeID bridge, CdxModelPair *pair, CdxIntersectResult *result, CdxSpaceID space,
                      RbdWorldID world, void *user)
{
    Watch &watch = *static_cast<Watch *>(user);
    std::shuffle(result->contacts, result->contacts + result->contactCount, watch.rng);
    const std::vector<Corner> before = chainOf(SbxModelPairGetContacts(pair));
    SbxResponse_Body_Body(bridge, pair, result, space, world, nullptr);
    if (!watch.checking) return;
    const std::vector<Corner> after = chainOf(SbxModelPairGetContacts(pair));
    for (const Corner &now : after) {
        // The corner of the last step at this place, if it stayed (the box
        // is at rest: a corner moves by far less than a millimetre a step,
        // while the contacts a turned box's face is reduced to may move to
        // other corners of the face's outline).
        const Corner *last = nullptr;
        for (const Corner &s : before) {
            PxVector3 gap;
            PxV3Sub(gap, now.position, s.position);
            if (PxV3Length(gap) < 1e-3) last = &s;
        }
        if (!last) continue;
        EXPECT_EQ(now.record, last->record) << "the corner continues on its record";
        for (int k = 0; k < 3; ++k) EXPECT_EQ(now.force[k], last->force[k]);
        ++watch.corners;
    }
    for (const Corner &a : before)
        for (const Corner &b : before) watch.spread = std::max(watch.spread, fabs(a.force[2] - b.force[2]));
}

struct Placement {
    PxReal x, y; // offset of the top box from the bottom one (m)
    PxReal turn; // about the vertical (rad)
};

class ContactContinuity : public UniverseFixture, public ::testing::WithParamInterface<Placement> {
protected:
    ContactContinuity() : UniverseFixture({8, 64, 7, 64, 512, 2}) {}
};

TEST_P(ContactContinuity, CornersKeepTheirRecordsWhileTheResultsAreShuffled)
{
    const Placement p = GetParam();
    Watch watch;
    RbdWorldSetAutoDisable(world, 0); // a sleeping pair is not intersected
    SbxBridgeID bridge = SbxUniverseGetBridge(universe);
    SbxBridgeSetContactMatching(bridge, 1);
    SbxBridgeRegisterResponse(bridge, SbxBodyResponseID, SbxBodyResponseID, SbxResponseStart_Body_Body,
                              shuffledResponse, SbxResponseEnd_Body_Body, nullptr, &watch);
    fixedAt(keep(CdxBoxCreate(1.0, 1.0, 1.0)), 0.0, 0.0, 0.5);
    CdxModelID top = dropped(keep(CdxBoxCreate(1.0, 1.0, 1.0)), p.x, p.y, 1.5, 100.0);
    RbdBodyID body = CdxModelGetBody(top);
    PxQuaternion q = {cos(p.turn / 2), 0.0, 0.0, sin(p.turn / 2)};
    RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
    watch.weight = 9.81 * RbdBodyGetMass(body);
    steps(100);
    ASSERT_LT(speed(top), 1e-3) << "the box has settled";
    watch.checking = true;
    steps(50);
    EXPECT_GE(watch.corners, 50 * 2) << "corners stayed";
    // The corners carry different forces, so that a corner on another's
    // record would be seen.
    EXPECT_GT(watch.spread, 0.05 * watch.weight);
}

INSTANTIATE_TEST_SUITE_P(OffCentreAndTurned, ContactContinuity,
                         ::testing::Values(Placement{0.2, 0.0, 0.0}, Placement{0.15, -0.25, 0.0},
                                           Placement{0.1, 0.1, 0.5}));

} // namespace
