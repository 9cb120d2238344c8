// A resting box keeps its contacts between collision tests while it barely
// moves: they must be the ones a fresh test finds, and a motion past either
// bound must be tested afresh. The bounds: turn 1e-5 rad, shift 1e-5 of the
// cube's radius; for small cubes at least 5 um (a thousandth of the default
// contact tolerance) and the turn that moves a corner by 5 um, up to 3e-5.
#include <gtest/gtest.h>
#include <math.h>
#include <random>
#include <vector>
#include <kelmar/Cdx.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

namespace {

const PxReal kTurn = 3e-5; // rad, the largest turn bound

struct KeepCase {
    bool onPlane;       // the floor: a plane, else a fixed box
    PxReal edge;        // of the cube, m
    PxReal turn, shift; // of the motion: rad about the centre, m sinking sideways
    bool upright;       // turned about the vertical through the centre: corners move least
    bool kept;
};

class ContactKeep : public ::testing::TestWithParam<KeepCase> {};

void collect(RbdConstraintID c, void *all)
{
    static_cast<std::vector<RbdContactID> *>(all)->push_back(c);
}

// What a fresh test of a against b finds now, beside the contacts the step
// left on body.
struct FreshAndKept {
    CdxContact fresh[16];
    int freshCount = 0;
    std::vector<RbdContactID> kept;
};

void testAfresh(CdxModelID a, CdxModelID b, RbdBodyID body, FreshAndKept &out)
{
    CdxModelPair pair;
    CdxModelPairReset(&pair, a, b);
    CdxHello(&pair);
    CdxIntersectResult result = {nullptr, out.fresh, 16, 0, 0, {0, 0, 0}, nullptr};
    CdxIntersect(&pair, &result);
    out.freshCount = result.contactCount;
    RbdBodyForAllConstraints(body, collect, &out.kept);
}

TEST_P(ContactKeep, KeptContactsAreTheFreshOnesAndLargeMotionsTestAfresh)
{
    const KeepCase c = GetParam();
    std::mt19937 random(7);
    std::uniform_real_distribution<PxReal> unit(-1.0, 1.0);
    for (int trial = 0; trial < 8; ++trial) {
        SbxUniverseID universe = SbxUniverseCreate({8, 64, 7, 16, 64, 2});
        CdxSpaceID space = SbxUniverseGetSpace(universe);
        PxMatrix4 ground;
        PxM4Identity(ground);
        ground[3][2] = c.onPlane ? 0.0 : -0.5;
        CdxGeometryID cube = CdxBoxCreate(c.edge, c.edge, c.edge),
                      floor = c.onPlane ? CdxPlaneCreate() : CdxBoxCreate(3, 3, 1);
        CdxModelID lower = SbxFixedModelCreate(universe, floor, &ground);
        CdxModelID upper = SbxModelAndBodyCreate(universe, cube, 1.0);
        RbdBodyID body = CdxModelGetBody(upper);
        const PxReal yaw = 0.7 * unit(random);
        RbdBodySetPosition(body, 0.1, -0.2, 0.5 * c.edge - 0.001); // 1 mm deep
        RbdBodySetQuaternion(body, cos(yaw / 2), 0.0, 0.0, sin(yaw / 2));
        auto update = [&] {
            CdxSpaceUpdateAll(space);
            SbxBridgeUpdateContacts(SbxUniverseGetBridge(universe), space, SbxUniverseGetWorld(universe));
        };
        update();
        // A random turn and a sinking shift, so that every penetration changes.
        PxVector3 axis = {unit(random), unit(random), unit(random)}, shift = {unit(random), unit(random), -1.0}, p;
        if (c.upright) PxV3Set(axis, 0.0, 0.0, 1.0);
        PxV3Normalize(axis);
        PxV3Normalize(shift);
        PxQuaternion q;
        RbdBodyGetQuaternion(body, q);
        PxQuaternionFiniteRotation(q, axis, c.turn);
        RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
        RbdBodyGetPosition(body, p);
        PxV3AddScaled(p, p, shift, c.shift);
        RbdBodySetPosition(body, p[0], p[1], p[2]);
        update();

        FreshAndKept found;
        testAfresh(upper, lower, body, found);
        const CdxContact *expected = found.fresh;
        const std::vector<RbdContactID> &now = found.kept;
        ASSERT_EQ(found.freshCount, 4);
        ASSERT_EQ(now.size(), 4u);
        for (RbdContactID contact : now) {
            PxVector3 at, normal;
            RbdContactGetPosition(contact, at);
            RbdContactGetNormal(contact, normal);
            const PxReal depth = RbdContactGetPenetration(contact);
            EXPECT_EQ(RbdContactGetFoundPenetration(contact) != depth, c.kept) << "trial " << trial;
            const CdxContact *e = std::min_element(
                expected, expected + 4, [&](const CdxContact &a, const CdxContact &b) {
                    return PxV3Distance(a.position, at) < PxV3Distance(b.position, at);
                });
            // A kept contact stays where it was found: the corners moved by
            // no more than the turn about the centre and the shift.
            EXPECT_LE(PxV3Distance(e->position, at), c.kept ? c.turn * c.edge + c.shift + 1e-12 : 1e-12);
            EXPECT_NEAR(depth, -e->separation, c.kept ? 1e-9 : 1e-12);
            EXPECT_GT(PxV3Dot(normal, e->normal), 1.0 - kTurn * kTurn);
        }
        SbxModelDestroy(universe, upper);
        SbxModelDestroy(universe, lower);
        CdxGeometryDestroy(cube);
        CdxGeometryDestroy(floor);
        SbxUniverseDestroy(universe);
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

} // namespace

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
    SbxUniverseID universe = SbxUniverseCreate({32, 256, 7, 64, 256, 2});
    CdxSpaceID space = SbxUniverseGetSpace(universe);
    PxMatrix4 ground;
    PxM4Identity(ground);
    CdxGeometryID plane = CdxPlaneCreate();
    CdxModelID floor = SbxFixedModelCreate(universe, plane, &ground);
    std::vector<CdxGeometryID> cubes;
    std::vector<CdxModelID> models;
    for (int k = 0; k < kCubes; ++k) {
        const PxReal edge = 0.2 + 0.02 * (k / 2);
        cubes.push_back(CdxBoxCreate(edge, edge, edge));
        models.push_back(SbxModelAndBodyCreate(universe, cubes.back(), 1.0));
        RbdBodySetPosition(CdxModelGetBody(models.back()), 1.0 * k, 0.0, 0.5 * edge - 0.001);
    }
    auto update = [&] {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(SbxUniverseGetBridge(universe), space, SbxUniverseGetWorld(universe));
    };
    update();
    const PxVector3 up = {0.0, 0.0, 1.0};
    for (int k = 0; k < kCubes; ++k) {
        RbdBodyID body = CdxModelGetBody(models[k]);
        const PxReal radius = 0.5 * sqrt(3.0) * (0.2 + 0.02 * (k / 2)), bound = 5e-6 / radius;
        PxQuaternion q;
        RbdBodyGetQuaternion(body, q);
        PxQuaternionFiniteRotation(q, up, (k % 2 ? 1.05 : 0.95) * bound);
        RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
        PxVector3 p;
        RbdBodyGetPosition(body, p);
        RbdBodySetPosition(body, p[0], p[1], p[2] - 1e-7);
    }
    update();
    for (int k = 0; k < kCubes; ++k) {
        std::vector<RbdContactID> now;
        RbdBodyForAllConstraints(CdxModelGetBody(models[k]), collect, &now);
        ASSERT_EQ(now.size(), 4u) << "cube " << k;
        for (RbdContactID contact : now)
            EXPECT_EQ(RbdContactGetFoundPenetration(contact) != RbdContactGetPenetration(contact), k % 2 == 0)
                << "cube " << k;
    }
    for (CdxModelID model : models) SbxModelDestroy(universe, model);
    SbxModelDestroy(universe, floor);
    for (CdxGeometryID cube : cubes) CdxGeometryDestroy(cube);
    CdxGeometryDestroy(plane);
    SbxUniverseDestroy(universe);
}

// A material callback set while a resting pair keeps its contacts must see
// the pair's next collisions: the pair is tested afresh from then on.
enum class MaterialCallback { Intersect, PerPair, PerContact };

class ContactKeepCallbacks : public ::testing::TestWithParam<MaterialCallback> {};

void countIntersect(CdxIntersectResult *, void *calls)
{
    ++*static_cast<int *>(calls);
}

int countPair(CdxIntersectResult *, RbdContactID, void *calls)
{
    ++*static_cast<int *>(calls);
    return 1;
}

int countContact(CdxIntersectResult *, CdxContact *, RbdContactID, void *calls)
{
    ++*static_cast<int *>(calls);
    return 1;
}

TEST_P(ContactKeepCallbacks, ACallbackSetLaterSeesTheNextCollision)
{
    SbxUniverseID universe = SbxUniverseCreate({8, 64, 7, 16, 64, 2});
    SbxBridgeID bridge = SbxUniverseGetBridge(universe);
    CdxSpaceID space = SbxUniverseGetSpace(universe);
    PxMatrix4 ground;
    PxM4Identity(ground);
    CdxGeometryID cube = CdxBoxCreate(0.2, 0.2, 0.2), plane = CdxPlaneCreate();
    CdxModelID floor = SbxFixedModelCreate(universe, plane, &ground);
    CdxModelID box = SbxModelAndBodyCreate(universe, cube, 1.0);
    RbdBodyID body = CdxModelGetBody(box);
    RbdBodySetPosition(body, 0.0, 0.0, 0.099);
    auto update = [&] {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(bridge, space, SbxUniverseGetWorld(universe));
    };
    auto sink = [&] { // 0.1 um: kept contacts' depths differ from the found ones
        PxVector3 p;
        RbdBodyGetPosition(body, p);
        RbdBodySetPosition(body, p[0], p[1], p[2] - 1e-7);
    };
    auto kept = [&] {
        std::vector<RbdContactID> now;
        RbdBodyForAllConstraints(body, collect, &now);
        return !now.empty() && RbdContactGetFoundPenetration(now[0]) != RbdContactGetPenetration(now[0]);
    };
    update();
    sink();
    update();
    ASSERT_TRUE(kept());
    int calls = 0;
    const int m = CdxModelGetMaterialID(box), n = CdxModelGetMaterialID(floor);
    switch (GetParam()) {
    case MaterialCallback::Intersect: SbxBridgeSetIntersectCB(bridge, m, n, countIntersect, &calls); break;
    case MaterialCallback::PerPair: SbxBridgeSetPerPairCB(bridge, m, n, countPair, &calls); break;
    case MaterialCallback::PerContact: SbxBridgeSetPerContactCB(bridge, m, n, countContact, &calls); break;
    }
    for (int step = 1; step <= 2; ++step) { // and every one after
        const int before = calls;
        sink();
        update();
        EXPECT_GT(calls, before) << "step " << step;
    }
    SbxModelDestroy(universe, box);
    SbxModelDestroy(universe, floor);
    CdxGeometryDestroy(cube);
    CdxGeometryDestroy(plane);
    SbxUniverseDestroy(universe);
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
        SbxUniverseID universe = SbxUniverseCreate({8, 64, 7, 16, 64, 2});
        CdxSpaceID space = SbxUniverseGetSpace(universe);
        CdxGeometryID cylinder = CdxCylinderCreate(radius, 2 * half), end = CdxSphereCreate(radius),
                      sphere = CdxSphereCreate(ballRadius);
        CdxModelID parts[3] = {CdxModelCreate(cylinder), CdxModelCreate(end), CdxModelCreate(end)};
        PxMatrix4 placed[3], relative[3];
        CdxModelID capsule = SbxCompositeModelAndBodyCreate(universe, 3, 1000.0);
        for (int k = 0; k < 3; ++k) {
            PxM4Identity(placed[k]);
            PxM4Identity(relative[k]);
            relative[k][3][2] = k == 0 ? 0.0 : k == 1 ? -half : half;
            CdxModelSetTransformPtr(parts[k], &placed[k]);
            ASSERT_TRUE(CdxCompositeModelAddElement(capsule, parts[k], &relative[k]));
        }
        ASSERT_EQ(SbxCompositeModelAndBodyBuild(universe, capsule), 1);
        if (c.partsOwnMaterial)
            for (CdxModelID part : parts) CdxModelSetMaterialID(part, 1);
        SbxBridgeID bridge = SbxUniverseGetBridge(universe);
        ActiveCalls seen;
        SbxBridgeSetIntersectActiveCB(bridge, SbxBodyResponseID, SbxBodyResponseID, countActive, &seen);
        ASSERT_EQ(SbxBridgeSetCallbacksOnKeptContacts(bridge, SbxBodyResponseID, SbxBodyResponseID, 1), 1);
        CdxModelID ball = SbxModelAndBodyCreate(universe, sphere, 1000.0);
        RbdBodyID body = CdxModelGetBody(ball), link = CdxModelGetBody(capsule);
        // 1 mm deep, the ball beside the cylinder or over the end at a
        // random bearing.
        const PxReal bearing = 3.0 * unit(random), reach = radius + ballRadius - 0.001;
        if (c.onEnd)
            RbdBodySetPosition(body, 0.3 * reach * cos(bearing), 0.3 * reach * sin(bearing),
                               half + sqrt(0.91) * reach);
        else
            RbdBodySetPosition(body, reach * cos(bearing), reach * sin(bearing), 0.1 * unit(random));
        auto update = [&] {
            CdxSpaceUpdateAll(space);
            SbxBridgeUpdateContacts(SbxUniverseGetBridge(universe), space, SbxUniverseGetWorld(universe));
        };
        update();
        // Both turned by 2e-4 rad about a random axis through the ball's
        // centre (a rigid motion of the pair), the ball by 0.01 rad more
        // about its centre, and moved by the shift.
        PxVector3 axis = {unit(random), unit(random), unit(random)},
                  spin = {unit(random), unit(random), unit(random)},
                  shift = {unit(random), unit(random), unit(random)}, centre, p;
        PxV3Normalize(axis);
        PxV3Normalize(spin);
        PxV3Normalize(shift);
        RbdBodyGetPosition(body, centre);
        PxQuaternion q;
        RbdBodyGetQuaternion(link, q);
        PxQuaternionFiniteRotation(q, axis, 2e-4);
        RbdBodySetQuaternion(link, q[0], q[1], q[2], q[3]);
        RbdBodyGetPosition(link, p); // its origin turned about the ball's centre
        PxVector3 arm, turned;
        PxV3Sub(arm, p, centre);
        PxV3Cross(turned, axis, arm);
        PxV3AddScaled(p, p, turned, 2e-4);
        RbdBodySetPosition(link, p[0], p[1], p[2]);
        RbdBodyGetQuaternion(body, q);
        PxQuaternionFiniteRotation(q, axis, 2e-4);
        PxQuaternionFiniteRotation(q, spin, 0.01);
        RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
        PxV3AddScaled(p, centre, shift, c.shift);
        RbdBodySetPosition(body, p[0], p[1], p[2]);
        update();

        FreshAndKept now;
        testAfresh(ball, capsule, body, now);
        const CdxContact *expected = now.fresh;
        ASSERT_EQ(now.freshCount, 1);
        ASSERT_EQ(now.kept.size(), 1u);
        RbdContactID contact = now.kept[0];
        PxVector3 at, normal;
        RbdContactGetPosition(contact, at);
        RbdContactGetNormal(contact, normal);
        // The dynamics normal points from body 1 to body 0; the fresh one is
        // compared turned towards the ball if the ball is body 0.
        PxVector3 out;
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
        SbxModelDestroy(universe, ball);
        SbxModelDestroy(universe, capsule);
        for (CdxModelID part : parts) CdxModelDestroy(part);
        for (CdxGeometryID g : {cylinder, end, sphere}) CdxGeometryDestroy(g);
        SbxUniverseDestroy(universe);
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
        SbxUniverseID universe = SbxUniverseCreate({8, 64, 7, 16, 64, 2});
        CdxSpaceID space = SbxUniverseGetSpace(universe);
        PxMatrix4 ground;
        PxM4Identity(ground);
        CdxGeometryID cube = CdxBoxCreate(0.2, 0.2, 0.2), plane = CdxPlaneCreate();
        CdxModelID floor = SbxFixedModelCreate(universe, plane, &ground);
        CdxModelID box = SbxModelAndBodyCreate(universe, cube, 1.0);
        RbdBodyID body = CdxModelGetBody(box);
        RbdBodySetPosition(body, 0.0, 0.0, 0.099);
        RbdBodySetQuaternion(body, cos(0.2), 0.0, 0.0, sin(0.2));
        auto update = [&] {
            CdxSpaceUpdateAll(space);
            SbxBridgeUpdateContacts(SbxUniverseGetBridge(universe), space, SbxUniverseGetWorld(universe));
        };
        update();
        std::vector<RbdContactID> now;
        RbdBodyForAllConstraints(body, collect, &now);
        ASSERT_EQ(now.size(), 4u);
        PxVector3 normal;
        RbdContactGetNormal(now[tilted], normal);
        PxVector3 lean = {0.6, 0.8, 0.0};
        PxV3AddScaled(normal, normal, lean, 1e-3);
        RbdContactSetNormal(now[tilted], normal[0], normal[1], normal[2]);
        RbdContactRecordFound(now[tilted]);
        PxVector3 p;
        RbdBodyGetPosition(body, p);
        RbdBodySetPosition(body, p[0], p[1], p[2] - 1e-7); // 0.1 um deeper: kept, with new depths
        update();
        for (int k = 0; k < 4; ++k) {
            RbdContactID contact = now[k];
            PxVector3 n0, n1, own, kept, point0, point1, d;
            RbdContactGetCarried(contact, 0, n0, n1);
            PxV3Add(own, n0, n1);
            PxV3Normalize(own);
            RbdContactGetNormal(contact, kept);
            RbdContactGetCarried(contact, 3, point0, point1);
            PxV3Sub(d, point0, point1);
            const PxReal depth = RbdContactGetPenetration(contact);
            EXPECT_NE(depth, RbdContactGetFoundPenetration(contact)) << "tilted " << tilted << ", contact " << k;
            EXPECT_GT(PxV3Dot(kept, own), 1.0 - 1e-12) << "tilted " << tilted << ", contact " << k;
            EXPECT_NEAR(depth, RbdContactGetFoundPenetration(contact) - PxV3Dot(own, d), 1e-15)
                << "tilted " << tilted << ", contact " << k;
            EXPECT_EQ(fabs(own[2]) < 1.0 - 1e-8, k == tilted) << "tilted " << tilted << ", contact " << k;
        }
        SbxModelDestroy(universe, box);
        SbxModelDestroy(universe, floor);
        CdxGeometryDestroy(cube);
        CdxGeometryDestroy(plane);
        SbxUniverseDestroy(universe);
    }
}
