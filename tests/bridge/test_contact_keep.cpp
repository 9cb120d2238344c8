// A resting box keeps its contacts between collision tests while it barely
// moves: they must be the ones a fresh test finds, and a motion past either
// bound (turn 1e-5 rad, shift 1e-5 of the cube's radius) must be tested afresh.
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

const PxReal kTurn = 1e-5, kShift = 1e-5 * sqrt(3.0) / 2.0;

struct KeepCase {
    bool onPlane;       // the floor: a plane, else a fixed box
    PxReal turn, shift; // of the motion, in bounds
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
        CdxGeometryID cube = CdxBoxCreate(1, 1, 1), floor = c.onPlane ? CdxPlaneCreate() : CdxBoxCreate(3, 3, 1);
        CdxModelID lower = SbxFixedModelCreate(universe, floor, &ground);
        CdxModelID upper = SbxModelAndBodyCreate(universe, cube, 1.0);
        RbdBodyID body = CdxModelGetBody(upper);
        const PxReal yaw = 0.7 * unit(random);
        RbdBodySetPosition(body, 0.1, -0.2, 0.499); // 1 mm deep
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
        PxQuaternionFiniteRotation(q, axis, 0.5 * c.turn * kTurn);
        RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
        RbdBodyGetPosition(body, p);
        PxV3AddScaled(p, p, shift, 0.3 * c.shift * kShift);
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
            EXPECT_LT(PxV3Distance(e->position, at), c.kept ? 2.0 * (kShift + kTurn) : 1e-12);
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

// 1.1e-5 rad upright moves the corners by 0.78e-5 m, within the shift
// bound: only the turn bound sees it.
INSTANTIATE_TEST_SUITE_P(
    RestingBoxes, ContactKeep,
    ::testing::Values(KeepCase{true, 0.9, 0.9, false, true}, KeepCase{false, 0.9, 0.9, false, true},
                      KeepCase{true, 3.0, 0.0, false, false}, KeepCase{false, 2.2, 0.01, true, false},
                      KeepCase{true, 0.0, 5.0, false, false}, KeepCase{false, 0.0, 5.0, false, false}));

} // namespace
