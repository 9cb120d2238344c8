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

        CdxModelPair pair; // what a fresh test finds now
        CdxModelPairReset(&pair, upper, lower);
        CdxHello(&pair);
        CdxContact expected[16];
        CdxIntersectResult result = {nullptr, expected, 16, 0, 0, {0, 0, 0}, nullptr};
        CdxIntersect(&pair, &result);
        std::vector<RbdContactID> now;
        RbdBodyForAllConstraints(body, collect, &now);
        ASSERT_EQ(result.contactCount, 4);
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
