// A resting box pair keeps its contacts between collision tests while its
// bodies barely move: the kept contacts must be the ones a fresh test finds,
// and a larger motion must bring a fresh test.
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

const SbxUniverseSizes kSizes = {8, 64, 7, 16, 64, 2};

struct KeepCase {
    const char *name;
    bool onPlane;       // the lower model: a plane, else a fixed box
    PxReal turn, shift; // of the motion, in the keeping bounds (both below 1: kept)
    bool upright;       // turned about the vertical through the centre: the corners move least
    bool kept;
};

std::ostream &operator<<(std::ostream &out, const KeepCase &c)
{
    return out << c.name;
}

void collectContact(RbdConstraintID c, void *arg)
{
    if (RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT) static_cast<std::vector<RbdContactID> *>(arg)->push_back(c);
}

class ContactKeep : public ::testing::TestWithParam<KeepCase> {
protected:
    void SetUp() override
    {
        universe = SbxUniverseCreate(kSizes);
        ASSERT_NE(universe, nullptr);
        world = SbxUniverseGetWorld(universe);
        space = SbxUniverseGetSpace(universe);
        PxM4Identity(ground);
        cube = floor = nullptr;
        lower = upper = nullptr;
    }
    void TearDown() override
    {
        if (upper) SbxModelDestroy(universe, upper);
        if (lower) SbxModelDestroy(universe, lower);
        if (cube) CdxGeometryDestroy(cube);
        if (floor) CdxGeometryDestroy(floor);
        SbxUniverseDestroy(universe);
    }
    // A 1 m cube turned by yaw about z, resting 1 mm deep on the lower model.
    void build(bool onPlane, PxReal yaw)
    {
        cube = CdxBoxCreate(1.0, 1.0, 1.0);
        floor = onPlane ? CdxPlaneCreate() : CdxBoxCreate(3.0, 3.0, 1.0);
        if (!onPlane) ground[3][2] = -0.5;
        lower = SbxFixedModelCreate(universe, floor, &ground);
        upper = SbxModelAndBodyCreate(universe, cube, 1.0);
        body = CdxModelGetBody(upper);
        RbdBodySetPosition(body, 0.1, -0.2, 0.499);
        RbdBodySetQuaternion(body, cos(yaw / 2), 0.0, 0.0, sin(yaw / 2));
        update();
    }
    void update()
    {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(SbxUniverseGetBridge(universe), space, world);
    }
    std::vector<RbdContactID> contacts() const
    {
        std::vector<RbdContactID> all;
        RbdBodyForAllConstraints(body, collectContact, &all);
        return all;
    }
    // What a collision test of the two models finds now, on a pair of its own.
    std::vector<CdxContact> fresh()
    {
        CdxModelPair pair;
        CdxModelPairReset(&pair, upper, lower);
        CdxHello(&pair);
        std::vector<CdxContact> found(16);
        CdxIntersectResult result = {};
        result.contacts = found.data();
        result.contactCapacity = static_cast<int>(found.size());
        CdxIntersect(&pair, &result);
        found.resize(static_cast<size_t>(result.contactCount));
        return found;
    }

    SbxUniverseID universe = nullptr;
    RbdWorldID world = nullptr;
    CdxSpaceID space = nullptr;
    CdxGeometryID cube = nullptr, floor = nullptr;
    CdxModelID lower = nullptr, upper = nullptr;
    RbdBodyID body = nullptr;
    PxMatrix4 ground;
};

// The bounds the bridge keeps contacts within: a turn of 1e-4 rad, a shift
// of 1e-4 of the cube's bounding radius.
const PxReal kTurn = 1e-4, kShift = 1e-4 * sqrt(3.0) / 2.0;

TEST_P(ContactKeep, KeptContactsAreTheFreshOnesAndLargeMotionsTestAfresh)
{
    const KeepCase c = GetParam();
    std::mt19937 random(7);
    std::uniform_real_distribution<PxReal> unit(-1.0, 1.0);
    for (int trial = 0; trial < 8; ++trial) {
        SCOPED_TRACE(trial);
        build(c.onPlane, 0.7 * unit(random));
        ASSERT_EQ(contacts().size(), 4u);
        // A random turn and shift, each at most its scale times its bound; the
        // shift sinks the cube, so that every penetration changes.
        PxVector3 axis = {unit(random), unit(random), unit(random)}, shift = {unit(random), unit(random), -1.0};
        if (c.upright) PxV3Set(axis, 0.0, 0.0, 1.0);
        PxV3Normalize(axis);
        PxV3Normalize(shift);
        PxQuaternion q;
        RbdBodyGetQuaternion(body, q);
        PxQuaternionFiniteRotation(q, axis, 0.5 * c.turn * kTurn);
        RbdBodySetQuaternion(body, q[0], q[1], q[2], q[3]);
        PxVector3 p;
        RbdBodyGetPosition(body, p);
        PxV3AddScaled(p, p, shift, 0.3 * c.shift * kShift);
        RbdBodySetPosition(body, p[0], p[1], p[2]);
        update();

        const std::vector<CdxContact> expected = fresh();
        const std::vector<RbdContactID> now = contacts();
        ASSERT_EQ(now.size(), expected.size());
        // A kept contact sits within the motion of a fresh one; a fresh test
        // gives them back exactly.
        const PxReal reach = c.kept ? 2.0 * (kShift + kTurn) : 1e-12;
        for (RbdContactID contact : now) {
            PxVector3 at, normal;
            RbdContactGetPosition(contact, at);
            RbdContactGetNormal(contact, normal);
            const PxReal depth = RbdContactGetPenetration(contact);
            EXPECT_EQ(RbdContactGetFoundPenetration(contact) != depth, c.kept) << "kept, not found afresh";
            const CdxContact *nearest = nullptr;
            for (const CdxContact &e : expected)
                if (!nearest || PxV3Distance(e.position, at) < PxV3Distance(nearest->position, at)) nearest = &e;
            EXPECT_LT(PxV3Distance(nearest->position, at), reach);
            EXPECT_NEAR(depth, -nearest->separation, c.kept ? 1e-9 : 1e-12);
            EXPECT_GT(PxV3Dot(normal, nearest->normal), 1.0 - kTurn * kTurn);
        }
        TearDown();
        SetUp();
    }
}

INSTANTIATE_TEST_SUITE_P(RestingBoxes, ContactKeep,
                         ::testing::Values(KeepCase{"OnPlaneSmall", true, 0.9, 0.9, false, true},
                                           KeepCase{"OnBoxSmall", false, 0.9, 0.9, false, true},
                                           KeepCase{"OnPlaneTurned", true, 3.0, 0.0, false, false},
                                           // 1.1e-4 rad moves the corners by 0.78e-4 m, within
                                           // the shift bound: only the turn bound sees it.
                                           KeepCase{"OnBoxTurnedUpright", false, 2.2, 0.01, true, false},
                                           KeepCase{"OnPlaneShifted", true, 0.0, 5.0, false, false},
                                           KeepCase{"OnBoxShifted", false, 0.0, 5.0, false, false}),
                         [](const ::testing::TestParamInfo<KeepCase> &info) { return info.param.name; });

} // namespace
