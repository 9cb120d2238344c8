// A resting box keeps its contacts between collision tests while it barely
// moves: they must be the ones a fresh test finds, and a motion past either
// bound must be tested afresh. The bounds: turn 1e-5 rad, shift 1e-5 of the
// cube's radius; for small cubes at least 5 um (a thousandth of the default
// contact tolerance) and the turn that moves a corner by 5 um, up to 3e-5.
#include <gtest/gtest.h>
#include <math.h>
#include <algorithm>
#include <random>
#include <string>
#include <vector>
#include <kelmar/Cdx.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

namespace {

const PxReal kTurn = 3e-5; // rad, the largest turn bound

// A universe, the models and geometries made in it (destroyed with it),
// and one step's update of the collision results and the contacts.
struct Scene {
    explicit Scene(const SbxUniverseSizes &sizes = {8, 64, 7, 16, 64, 2}) : universe(SbxUniverseCreate(sizes)) {}
    ~Scene()
    {
        for (CdxModelID model : models) SbxModelDestroy(universe, model);
        for (CdxModelID part : parts) CdxModelDestroy(part);
        for (CdxGeometryID geometry : geometries) CdxGeometryDestroy(geometry);
        SbxUniverseDestroy(universe);
    }
    CdxGeometryID keep(CdxGeometryID geometry) { return geometries.push_back(geometry), geometry; }
    CdxModelID own(CdxModelID model) { return models.push_back(model), model; }
    // The plane z = 0, else a fixed 3 x 3 x 1 box whose top is z = 0.
    CdxModelID floor(bool plane)
    {
        PxM4Identity(ground);
        ground[3][2] = plane ? 0.0 : -0.5;
        return own(SbxFixedModelCreate(universe, keep(plane ? CdxPlaneCreate() : CdxBoxCreate(3, 3, 1)), &ground));
    }
    // A cube of 1 kg/m^3 with its centre at (x, y, z).
    CdxModelID cube(PxReal edge, PxReal x, PxReal y, PxReal z)
    {
        CdxModelID model = own(SbxModelAndBodyCreate(universe, keep(CdxBoxCreate(edge, edge, edge)), 1.0));
        RbdBodySetPosition(CdxModelGetBody(model), x, y, z);
        return model;
    }
    void update()
    {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(bridge, space, SbxUniverseGetWorld(universe));
    }

    SbxUniverseID universe;
    CdxSpaceID space = SbxUniverseGetSpace(universe);
    SbxBridgeID bridge = SbxUniverseGetBridge(universe);
    PxMatrix4 ground;
    std::vector<CdxModelID> models, parts;
    std::vector<CdxGeometryID> geometries;
};

void collect(RbdConstraintID c, void *all)
{
    static_cast<std::vector<RbdContactID> *>(all)->push_back(c);
}

std::vector<RbdContactID> contactsOf(RbdBodyID body)
{
    std::vector<RbdContactID> all;
    RbdBodyForAllConstraints(body, collect, &all);
    return all;
}

// A kept contact's depth follows the motion; a fresh one's is the found one.
bool kept(RbdContactID c)
{
    return RbdContactGetFoundPenetration(c) != RbdContactGetPenetration(c);
}

void turn(RbdBodyID body, const PxVector3 axis, PxReal angle)
{
    PxQuaternion q;
    RbdBodyGetQuaternion(body, q);
    PxQuaternionFiniteRotation(q, axis, angle);
    RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
}

void moveBy(RbdBodyID body, const PxVector3 direction, PxReal distance)
{
    PxVector3 p;
    RbdBodyGetPosition(body, p);
    PxV3AddScaled(p, p, direction, distance);
    RbdBodySetPosition(body, p[0], p[1], p[2]);
}

const PxVector3 kUp = {0.0, 0.0, 1.0};

// What a fresh test of a against b finds now.
int testAfresh(CdxModelID a, CdxModelID b, CdxContact (&fresh)[16])
{
    CdxModelPair pair;
    CdxModelPairReset(&pair, a, b);
    CdxHello(&pair);
    CdxIntersectResult result = {nullptr, fresh, 16, 0, 0, {0, 0, 0}, nullptr};
    CdxIntersect(&pair, &result);
    return result.contactCount;
}

struct KeepCase {
    bool onPlane;       // the floor: a plane, else a fixed box
    PxReal edge;        // of the cube, m
    PxReal turn, shift; // of the motion: rad about the centre, m sinking sideways
    bool upright;       // turned about the vertical through the centre: corners move least
    bool kept;
};

class ContactKeep : public ::testing::TestWithParam<KeepCase> {};

TEST_P(ContactKeep, KeptContactsAreTheFreshOnesAndLargeMotionsTestAfresh)
{
    const KeepCase c = GetParam();
    std::mt19937 random(7);
    std::uniform_real_distribution<PxReal> unit(-1.0, 1.0);
    for (int trial = 0; trial < 8; ++trial) {
        Scene s;
        CdxModelID lower = s.floor(c.onPlane);
        CdxModelID upper = s.cube(c.edge, 0.1, -0.2, 0.5 * c.edge - 0.001); // 1 mm deep
        RbdBodyID body = CdxModelGetBody(upper);
        const PxReal yaw = 0.7 * unit(random);
        RbdBodySetQuaternion(body, cos(yaw / 2), 0.0, 0.0, sin(yaw / 2));
        s.update();
        // A random turn and a sinking shift, so that every penetration changes.
        PxVector3 axis = {unit(random), unit(random), unit(random)}, shift = {unit(random), unit(random), -1.0};
        if (c.upright) PxV3Copy(axis, kUp);
        PxV3Normalize(axis);
        PxV3Normalize(shift);
        turn(body, axis, c.turn);
        moveBy(body, shift, c.shift);
        s.update();

        CdxContact expected[16];
        ASSERT_EQ(testAfresh(upper, lower, expected), 4);
        const std::vector<RbdContactID> now = contactsOf(body);
        ASSERT_EQ(now.size(), 4u);
        for (RbdContactID contact : now) {
            PxVector3 at, normal;
            RbdContactGetPosition(contact, at);
            RbdContactGetNormal(contact, normal);
            EXPECT_EQ(kept(contact), c.kept) << "trial " << trial;
            const CdxContact *e = std::min_element(
                expected, expected + 4, [&](const CdxContact &a, const CdxContact &b) {
                    return PxV3Distance(a.position, at) < PxV3Distance(b.position, at);
                });
            // A kept contact stays where it was found: the corners moved by
            // no more than the turn about the centre and the shift.
            EXPECT_LE(PxV3Distance(e->position, at), c.kept ? c.turn * c.edge + c.shift + 1e-12 : 1e-12);
            EXPECT_NEAR(RbdContactGetPenetration(contact), -e->separation, c.kept ? 1e-9 : 1e-12);
            EXPECT_GT(PxV3Dot(normal, e->normal), 1.0 - kTurn * kTurn);
        }
    }
}

// The 1 m cube's bounds are 1e-5 rad and 8.7 um; the 0.2 m cube's the
// floors, 5 um and 2.9e-5 rad (its 1e-5 of the size is 1.7 um). Turned
// upright, the cubes' bottom corners (0.71 and 0.14 m out) move by less
// than the shift bound: only the turn bound sees 1.1e-5 and 3.3e-5 rad. The
// 0.1 m cube's floor turn (5.8e-5 rad) is held to 3e-5.
// Each case also sinks a little, so that a kept depth differs from the
// depth found.
INSTANTIATE_TEST_SUITE_P(
    RestingBoxes, ContactKeep,
    ::testing::Values(KeepCase{true, 1.0, 4e-6, 4e-6, false, true}, KeepCase{false, 1.0, 4e-6, 4e-6, false, true},
                      KeepCase{true, 1.0, 3.5e-5, 1e-7, false, false}, KeepCase{true, 1.0, 0.0, 9.5e-6, false, false},
                      KeepCase{false, 1.0, 0.0, 9.5e-6, false, false}, KeepCase{true, 0.2, 2.7e-5, 1e-7, true, true},
                      KeepCase{false, 0.2, 3.3e-5, 1e-7, true, false}, KeepCase{true, 0.2, 0.0, 4.5e-6, false, true},
                      KeepCase{false, 0.2, 0.0, 4.5e-6, false, true}, KeepCase{true, 0.2, 0.0, 6e-6, false, false},
                      KeepCase{false, 0.2, 1e-5, 2e-6, false, true}, KeepCase{false, 1.0, 1.1e-5, 1e-7, true, false},
                      KeepCase{true, 0.1, 3.5e-5, 1e-7, true, false}));

// Cubes of sixteen sizes, two of each, rest on one plane in one universe:
// each pair's turn bound is its own (5 um over the cube's radius, 1.1e-5
// to 2.9e-5 rad here), and there are more set-ups than the bridge keeps
// bounds for. The first cube of a size turns upright by just under its
// bound, the second by just over (their corners move less than the 5 um
// shift bound), and both sink 0.1 um: the first keeps its contacts, the
// second is tested afresh, whatever the other sizes' bounds.
TEST(ContactKeepSetUps, EachPairMovesAgainstItsOwnBounds)
{
    const int kCubes = 32;
    Scene s({32, 256, 7, 64, 256, 2});
    s.floor(true);
    std::vector<RbdBodyID> bodies;
    for (int k = 0; k < kCubes; ++k) {
        const PxReal edge = 0.2 + 0.02 * (k / 2);
        bodies.push_back(CdxModelGetBody(s.cube(edge, 1.0 * k, 0.0, 0.5 * edge - 0.001)));
    }
    s.update();
    for (int k = 0; k < kCubes; ++k) {
        const PxReal radius = 0.5 * sqrt(3.0) * (0.2 + 0.02 * (k / 2)), bound = 5e-6 / radius;
        turn(bodies[k], kUp, (k % 2 ? 1.05 : 0.95) * bound);
        moveBy(bodies[k], kUp, -1e-7);
    }
    s.update();
    for (int k = 0; k < kCubes; ++k) {
        const std::vector<RbdContactID> now = contactsOf(bodies[k]);
        ASSERT_EQ(now.size(), 4u) << "cube " << k;
        for (RbdContactID contact : now) EXPECT_EQ(kept(contact), k % 2 == 0) << "cube " << k;
    }
}

// A 0.2 m cube resting 1 mm deep on the plane z = 0 (turned by yaw about
// the vertical), its contacts found.
RbdBodyID restingCube(Scene &s, PxReal yaw = 0.0)
{
    s.floor(true);
    RbdBodyID body = CdxModelGetBody(s.cube(0.2, 0.0, 0.0, 0.099));
    RbdBodySetQuaternion(body, cos(yaw / 2), 0.0, 0.0, sin(yaw / 2));
    s.update();
    return body;
}

// A box resized in place keeps its geometry's address: its contacts must
// still be the fresh test's next step, both when it shrinks off the plane
// (none) and when it grows into it (1 mm + 5 cm deep).
TEST(ContactKeepSetUps, ABoxResizedInPlaceIsTestedAfresh)
{
    for (const PxReal height : {0.1, 0.3}) {
        Scene s;
        RbdBodyID body = restingCube(s);
        moveBy(body, kUp, -1e-7); // kept from here on while nothing else changes
        s.update();
        ASSERT_TRUE(!contactsOf(body).empty() && kept(contactsOf(body)[0]));
        CdxBoxSetDimensions(s.geometries[1], 0.2, 0.2, height);
        s.update();
        CdxContact fresh[16];
        const int count = testAfresh(s.models[1], s.models[0], fresh);
        const std::vector<RbdContactID> now = contactsOf(body);
        ASSERT_EQ(now.size(), static_cast<size_t>(count)) << "height " << height;
        for (int k = 0; k < count; ++k)
            EXPECT_NEAR(RbdContactGetPenetration(now[k]), -fresh[0].separation, 1e-12) << "height " << height;
    }
}

// A ball held 1 mm deep against a capsule's side (a finger's link: a
// cylinder along z and two end spheres) keeps its contact; then a part is
// edited in place, which neither model's own fields show. The next step's
// contacts must be a fresh test's all the same.
enum class PartEdit { GrowCylinder, GrowEnds, MoveCylinder, RemoveCylinder, AddPart };

class ContactKeepParts : public ::testing::TestWithParam<PartEdit> {};

TEST_P(ContactKeepParts, APartEditedInPlaceIsTestedAfresh)
{
    Scene s;
    PxMatrix4 placed[4], relative[4];
    CdxGeometryID cylinder = s.keep(CdxCylinderCreate(0.05, 0.4)), end = s.keep(CdxSphereCreate(0.05));
    CdxModelID capsule = s.own(SbxCompositeModelAndBodyCreate(s.universe, 4, 1000.0));
    for (int k = 0; k < 4; ++k) {
        s.parts.push_back(CdxModelCreate(k == 0 ? cylinder : end));
        PxM4Identity(placed[k]);
        PxM4Identity(relative[k]);
        relative[k][3][2] = k == 0 ? 0.0 : k == 1 ? -0.2 : 0.2;
        CdxModelSetTransformPtr(s.parts[k], &placed[k]);
        ASSERT_TRUE(k == 3 || CdxCompositeModelAddElement(capsule, s.parts[k], &relative[k]));
    }
    ASSERT_EQ(SbxCompositeModelAndBodyBuild(s.universe, capsule), 1);
    CdxModelID ball = s.own(SbxModelAndBodyCreate(s.universe, s.keep(CdxSphereCreate(0.1)), 1000.0));
    RbdBodyID body = CdxModelGetBody(ball);
    RbdBodySetPosition(body, 0.149, 0.0, 0.0);
    s.update();
    const PxVector3 inwards = {-1.0, 0.0, 0.0};
    moveBy(body, inwards, 1e-7); // kept from here on while nothing else changes
    s.update();
    ASSERT_EQ(contactsOf(body).size(), 1u);
    ASSERT_TRUE(kept(contactsOf(body)[0]));
    switch (GetParam()) {
    case PartEdit::GrowCylinder: CdxCylinderSetRadius(cylinder, 0.06); break; // 11 mm deep
    case PartEdit::GrowEnds: CdxSphereSetRadius(end, 0.17); break;            // and the ends 2 cm
    case PartEdit::MoveCylinder:                                              // 6 mm deep
        relative[0][3][0] = 0.005;
        CdxCompositeGeometryRebuild(CdxModelGetGeometry(capsule));
        break;
    case PartEdit::RemoveCylinder: ASSERT_TRUE(CdxCompositeModelRemoveElement(capsule, 0)); break; // apart
    case PartEdit::AddPart:                                                                        // 2 cm deep
        relative[3][3][0] = 0.03, relative[3][3][2] = 0.05;
        ASSERT_TRUE(CdxCompositeModelAddElement(capsule, s.parts[3], &relative[3]));
        break;
    }
    s.update();
    CdxContact fresh[16];
    const int count = testAfresh(ball, capsule, fresh);
    std::vector<PxReal> expected, now;
    for (int k = 0; k < count; ++k) expected.push_back(-fresh[k].separation);
    for (RbdContactID contact : contactsOf(body)) now.push_back(RbdContactGetPenetration(contact));
    std::sort(expected.begin(), expected.end());
    std::sort(now.begin(), now.end());
    ASSERT_EQ(now.size(), expected.size());
    for (size_t k = 0; k < now.size(); ++k) EXPECT_NEAR(now[k], expected[k], 1e-12) << "contact " << k;
}

INSTANTIATE_TEST_SUITE_P(BallOnCapsule, ContactKeepParts,
                         ::testing::Values(PartEdit::GrowCylinder, PartEdit::GrowEnds, PartEdit::MoveCylinder,
                                           PartEdit::RemoveCylinder, PartEdit::AddPart));

// A material callback set while a resting pair keeps its contacts must see
// the pair's next collisions: the pair is tested afresh from then on.
enum class MaterialCallback { Intersect, PerPair, PerContact };

class ContactKeepCallbacks : public ::testing::TestWithParam<MaterialCallback> {};

TEST_P(ContactKeepCallbacks, ACallbackSetLaterSeesTheNextCollision)
{
    int calls = 0;
    Scene s;
    RbdBodyID body = restingCube(s);
    auto sinkAndUpdate = [&] { // 0.1 um: kept contacts' depths differ from the found ones
        moveBy(body, kUp, -1e-7);
        s.update();
    };
    sinkAndUpdate();
    ASSERT_TRUE(!contactsOf(body).empty() && kept(contactsOf(body)[0]));
    const int m = CdxModelGetMaterialID(s.models[1]), n = CdxModelGetMaterialID(s.models[0]);
    switch (GetParam()) {
    case MaterialCallback::Intersect:
        SbxBridgeSetIntersectCB(
            s.bridge, m, n, [](CdxIntersectResult *, void *c) { ++*static_cast<int *>(c); }, &calls);
        break;
    case MaterialCallback::PerPair:
        SbxBridgeSetPerPairCB(
            s.bridge, m, n, [](CdxIntersectResult *, RbdContactID, void *c) { return ++*static_cast<int *>(c), 1; },
            &calls);
        break;
    case MaterialCallback::PerContact:
        SbxBridgeSetPerContactCB(
            s.bridge, m, n,
            [](CdxIntersectResult *, CdxContact *, RbdContactID, void *c) { return ++*static_cast<int *>(c), 1; },
            &calls);
        break;
    }
    for (int step = 1; step <= 2; ++step) { // and every one after
        const int before = calls;
        sinkAndUpdate();
        EXPECT_GT(calls, before) << "step " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(MaterialCallbacks, ContactKeepCallbacks,
                         ::testing::Values(MaterialCallback::Intersect, MaterialCallback::PerPair,
                                           MaterialCallback::PerContact));

// A ball against a capsule (a composite of a cylinder along z and two end
// spheres, as a finger's link): the ball's own turn must not move its kept
// contact (a fresh test finds it on the line of centres whatever the turn),
// so a ball turned by 0.01 rad about its centre and moved by less than the
// 5 um shift bound keeps its contact, which must be the fresh one: on the
// line of centres, at the fresh depth. Moved past the bound it is tested
// afresh. The capsule is turned with it, as a link turns the ball about.
// The response has an active callback that may run on kept contacts: it
// must see the pair each step, with no collision contacts when kept. The
// capsule's parts may have a material of their own, which a kept contact
// could not tell: such a pair is tested afresh.
struct RoundCase {
    bool onEnd;   // touching the capsule's end sphere, else its cylinder
    PxReal shift; // of the ball relative to the capsule, m
    bool partsOwnMaterial;
    bool kept;
};

struct ActiveCalls {
    int calls = 0, withoutContacts = 0;
};

void countActive(CdxIntersectResult *result, RbdContactID contacts, void *seen)
{
    ActiveCalls *s = static_cast<ActiveCalls *>(seen);
    ++s->calls;
    s->withoutContacts += result->contactCount == 0 && result->touch && contacts;
}

class RoundContactKeep : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundContactKeep, ABallsTurnLeavesItsKeptContactOnTheLineOfCentres)
{
    const RoundCase c = GetParam();
    const PxReal radius = 0.05, half = 0.2, ballRadius = 0.1;
    std::mt19937 random(11);
    std::uniform_real_distribution<PxReal> unit(-1.0, 1.0);
    for (int trial = 0; trial < 8; ++trial) {
        PxMatrix4 placed[3], relative[3];
        ActiveCalls seen;
        Scene s;
        CdxGeometryID cylinder = s.keep(CdxCylinderCreate(radius, 2 * half)), end = s.keep(CdxSphereCreate(radius));
        CdxModelID capsule = s.own(SbxCompositeModelAndBodyCreate(s.universe, 3, 1000.0));
        for (int k = 0; k < 3; ++k) {
            s.parts.push_back(CdxModelCreate(k == 0 ? cylinder : end));
            PxM4Identity(placed[k]);
            PxM4Identity(relative[k]);
            relative[k][3][2] = k == 0 ? 0.0 : k == 1 ? -half : half;
            CdxModelSetTransformPtr(s.parts[k], &placed[k]);
            ASSERT_TRUE(CdxCompositeModelAddElement(capsule, s.parts[k], &relative[k]));
        }
        ASSERT_EQ(SbxCompositeModelAndBodyBuild(s.universe, capsule), 1);
        if (c.partsOwnMaterial)
            for (CdxModelID part : s.parts) CdxModelSetMaterialID(part, 1);
        SbxBridgeSetIntersectActiveCB(s.bridge, SbxBodyResponseID, SbxBodyResponseID, countActive, &seen);
        ASSERT_EQ(SbxBridgeSetCallbacksOnKeptContacts(s.bridge, SbxBodyResponseID, SbxBodyResponseID, 1), 1);
        CdxModelID ball = s.own(SbxModelAndBodyCreate(s.universe, s.keep(CdxSphereCreate(ballRadius)), 1000.0));
        RbdBodyID body = CdxModelGetBody(ball), link = CdxModelGetBody(capsule);
        // 1 mm deep, the ball beside the cylinder or over the end at a
        // random bearing.
        const PxReal bearing = 3.0 * unit(random), reach = radius + ballRadius - 0.001;
        if (c.onEnd)
            RbdBodySetPosition(body, 0.3 * reach * cos(bearing), 0.3 * reach * sin(bearing),
                               half + sqrt(0.91) * reach);
        else
            RbdBodySetPosition(body, reach * cos(bearing), reach * sin(bearing), 0.1 * unit(random));
        s.update();
        // Both turned by 2e-4 rad about a random axis through the ball's
        // centre (a rigid motion of the pair), the ball by 0.01 rad more
        // about its centre, and moved by the shift.
        PxVector3 axis = {unit(random), unit(random), unit(random)},
                  spin = {unit(random), unit(random), unit(random)},
                  shift = {unit(random), unit(random), unit(random)}, centre, arm, turned;
        PxV3Normalize(axis);
        PxV3Normalize(spin);
        PxV3Normalize(shift);
        RbdBodyGetPosition(body, centre);
        turn(link, axis, 2e-4);
        RbdBodyGetPosition(link, arm); // its origin turned about the ball's centre
        PxV3Sub(arm, arm, centre);
        PxV3Cross(turned, axis, arm);
        moveBy(link, turned, 2e-4);
        turn(body, axis, 2e-4);
        turn(body, spin, 0.01);
        moveBy(body, shift, c.shift);
        s.update();

        CdxContact expected[16];
        ASSERT_EQ(testAfresh(ball, capsule, expected), 1);
        const std::vector<RbdContactID> now = contactsOf(body);
        ASSERT_EQ(now.size(), 1u);
        RbdContactID contact = now[0];
        PxVector3 at, normal, out;
        RbdContactGetPosition(contact, at);
        RbdContactGetNormal(contact, normal);
        // The dynamics normal points from body 1 to body 0; the fresh one is
        // compared turned towards the ball if the ball is body 0.
        RbdBodyGetPosition(body, out);
        PxV3Sub(out, out, expected[0].position);
        const PxReal towardsBall = (RbdConstraintGetBody(contact, 0) == body) ==
                                           (PxV3Dot(out, expected[0].normal) > 0)
                                       ? 1.0
                                       : -1.0;
        // A contact never recorded (its pair may not keep) has no found depth.
        const PxReal depth = RbdContactGetPenetration(contact), found = RbdContactGetFoundPenetration(contact);
        EXPECT_EQ(found != 0.0 && found != depth, c.kept) << "trial " << trial;
        EXPECT_EQ(seen.calls, 1) << "trial " << trial; // the first update's is the new callback's
        EXPECT_EQ(seen.withoutContacts, c.kept ? 1 : 0) << "trial " << trial;
        // A kept contact moves with the ball's centre: by up to the shift
        // more than the fresh one (found midway in the overlap) moves.
        EXPECT_LT(PxV3Distance(expected[0].position, at), c.kept ? c.shift : 1e-12) << "trial " << trial;
        EXPECT_NEAR(depth, -expected[0].separation, 1e-9) << "trial " << trial;
        EXPECT_GT(towardsBall * PxV3Dot(normal, expected[0].normal), 1.0 - 1e-9) << "trial " << trial;
    }
}

// The shift bound is 5 um (a thousandth of the 5 mm contact tolerance: the
// ball's 1e-5 of its radius is less).
INSTANTIATE_TEST_SUITE_P(BallOnCapsule, RoundContactKeep,
                         ::testing::Values(RoundCase{false, 3e-6, false, true}, RoundCase{true, 3e-6, false, true},
                                           RoundCase{false, 8e-6, false, false}, RoundCase{true, 8e-6, false, false},
                                           RoundCase{false, 3e-6, true, false}));

// A pair's kept contacts share their turned normal only while they carry
// the same axes: one contact of a resting box re-recorded with a normal
// tilted by 1e-3 rad must keep its own (the mean of its normal as either
// body carries it), and its neighbours theirs, whichever contact it is.
TEST(ContactKeepAxes, AContactRecordedWithAnotherNormalKeepsItsOwn)
{
    for (int tilted = 0; tilted < 4; ++tilted) {
        Scene s;
        RbdBodyID body = restingCube(s, 0.4);
        const std::vector<RbdContactID> now = contactsOf(body);
        ASSERT_EQ(now.size(), 4u);
        PxVector3 normal;
        const PxVector3 lean = {0.6, 0.8, 0.0};
        RbdContactGetNormal(now[tilted], normal);
        PxV3AddScaled(normal, normal, lean, 1e-3);
        RbdContactSetNormal(now[tilted], normal[0], normal[1], normal[2]);
        RbdContactRecordFound(now[tilted]);
        moveBy(body, kUp, -1e-7); // 0.1 um deeper: kept, with new depths
        s.update();
        for (int k = 0; k < 4; ++k) {
            SCOPED_TRACE("tilted " + std::to_string(tilted) + ", contact " + std::to_string(k));
            RbdContactID contact = now[k];
            PxVector3 n0, n1, own, keptNormal, point0, point1, d;
            RbdContactGetCarried(contact, 0, n0, n1);
            PxV3Add(own, n0, n1);
            PxV3Normalize(own);
            RbdContactGetNormal(contact, keptNormal);
            RbdContactGetCarried(contact, 3, point0, point1);
            PxV3Sub(d, point0, point1);
            EXPECT_TRUE(kept(contact));
            EXPECT_GT(PxV3Dot(keptNormal, own), 1.0 - 1e-12);
            EXPECT_NEAR(RbdContactGetPenetration(contact), RbdContactGetFoundPenetration(contact) - PxV3Dot(own, d),
                        1e-15);
            EXPECT_EQ(fabs(own[2]) < 1.0 - 1e-8, k == tilted);
        }
    }
}

} // namespace
