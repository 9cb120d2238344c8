// A pair of composites found apart is not tested again while its models
// have moved by less than half the gap found: it must still find every
// touch on the update a fresh test finds it, however the models close in.
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

const PxReal kRadius = 0.05, kHalf = 0.4;

struct Capsule {
    CdxModelID model;
    CdxModelID parts[3];
    PxMatrix4 placed[3], relative[3];
};

// A cylinder with a ball on either end, on its own body.
void MakeCapsule(SbxUniverseID universe, CdxGeometryID cylinder, CdxGeometryID end, Capsule &c)
{
    c.model = SbxCompositeModelAndBodyCreate(universe, 3, 1000.0);
    for (int k = 0; k < 3; ++k) {
        c.parts[k] = CdxModelCreate(k == 0 ? cylinder : end);
        PxM4Identity(c.placed[k]);
        PxM4Identity(c.relative[k]);
        c.relative[k][3][2] = k == 0 ? 0.0 : k == 1 ? -kHalf : kHalf;
        CdxModelSetTransformPtr(c.parts[k], &c.placed[k]);
        ASSERT_TRUE(CdxCompositeModelAddElement(c.model, c.parts[k], &c.relative[k]));
    }
    ASSERT_EQ(SbxCompositeModelAndBodyBuild(universe, c.model), 1);
}

void countContact(RbdConstraintID c, void *count)
{
    if (RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT) ++*static_cast<int *>(count);
}

int FreshTouch(CdxModelID a, CdxModelID b)
{
    CdxContact contacts[16];
    CdxModelPair pair;
    CdxModelPairReset(&pair, a, b);
    CdxHello(&pair);
    CdxIntersectResult result = {nullptr, contacts, 16, 0, 0, {0, 0, 0}, nullptr};
    CdxIntersect(&pair, &result);
    return result.touch;
}

struct Approach {
    const char *name;
    PxReal turn;  // rad per update about the moving capsule's centre
    PxReal shift; // m per update towards the other capsule
};

class ApartSkip : public ::testing::TestWithParam<Approach> {};

// Capsules A and B stand upright, B off A diagonally in the ground plane,
// where their boxes overlap while they stand 2.4 cm apart beyond the contact
// tolerances. B closes in by turning about a level axis through its centre
// (an end swings towards A while its origin stays), by moving towards A, or
// both, in steps far below the gap and with a little random wobble. On
// every update B has contacts exactly when a fresh test of the two finds a
// touch; the run goes on until they have touched for a while.
TEST_P(ApartSkip, EveryTouchIsFoundOnTheUpdateAFreshTestFindsIt)
{
    const Approach a = GetParam();
    std::mt19937 random(3);
    std::uniform_real_distribution<PxReal> unit(-1.0, 1.0);
    SbxUniverseID universe = SbxUniverseCreate({8, 64, 7, 16, 64, 2});
    CdxSpaceID space = SbxUniverseGetSpace(universe);
    CdxGeometryID cylinder = CdxCylinderCreate(kRadius, 2 * kHalf), end = CdxSphereCreate(kRadius);
    Capsule capsules[2];
    for (Capsule &c : capsules) MakeCapsule(universe, cylinder, end, c);
    RbdBodyID moving = CdxModelGetBody(capsules[1].model);
    RbdBodySetPosition(moving, 0.095, 0.095, 0.0);
    const PxReal across = sqrt(0.5);
    const PxVector3 level = {across, -across, 0.0};
    int touchedUpdates = 0, updates = 0, apartUpdates = 0;
    PxReal angle = 0.0;
    while (touchedUpdates < 20 && updates < 5000) {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(SbxUniverseGetBridge(universe), space, SbxUniverseGetWorld(universe));
        int contacts = 0;
        RbdBodyForAllConstraints(moving, countContact, &contacts);
        const int fresh = FreshTouch(capsules[0].model, capsules[1].model);
        ASSERT_EQ(fresh, contacts > 0 ? 1 : 0) << a.name << ", update " << updates;
        touchedUpdates += fresh;
        apartUpdates += 1 - fresh;
        ++updates;
        angle += a.turn * (1.0 + 0.5 * unit(random));
        PxQuaternion q = {1.0, 0.0, 0.0, 0.0};
        PxQuaternionFiniteRotation(q, level, angle);
        RbdBodySetQuaternion(moving, q[0], q[1], q[2], q[3]);
        PxVector3 p;
        RbdBodyGetPosition(moving, p);
        const PxReal step = a.shift * across * (1.0 + 0.5 * unit(random));
        RbdBodySetPosition(moving, p[0] - step + 1e-5 * unit(random), p[1] - step + 1e-5 * unit(random),
                           p[2] + 1e-5 * unit(random));
    }
    EXPECT_EQ(touchedUpdates, 20) << a.name;
    EXPECT_GT(apartUpdates, 100) << a.name << ": closed in too fast to tell";
    for (Capsule &c : capsules) {
        SbxModelDestroy(universe, c.model);
        for (CdxModelID part : c.parts) CdxModelDestroy(part);
    }
    CdxGeometryDestroy(cylinder);
    CdxGeometryDestroy(end);
    SbxUniverseDestroy(universe);
}

INSTANTIATE_TEST_SUITE_P(Capsules, ApartSkip,
                         ::testing::Values(Approach{"turning", 2e-4, 0.0}, Approach{"moving", 0.0, 1e-4},
                                           Approach{"both", 1e-4, 5e-5}),
                         [](const ::testing::TestParamInfo<Approach> &info) { return info.param.name; });

} // namespace
