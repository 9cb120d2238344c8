// A pair of composites found apart is not tested again while its models
// have moved by less than half the gap found: the pair must still have
// contacts on every update on which two of its parts, tested on their own,
// touch, however the models close in.
#include <gtest/gtest.h>
#include <math.h>
#include <random>
#include <kelmar/Cdx.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

namespace {

void countContact(RbdConstraintID c, void *count)
{
    *static_cast<int *>(count) += RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT;
}

// Capsules (a cylinder and two end balls) A and B stand upright in a
// universe, B off A diagonally, where their boxes overlap while they stand
// 2.4 cm apart beyond the contact tolerances.
struct TwoCapsules {
    SbxUniverseID universe = SbxUniverseCreate({8, 64, 7, 16, 64, 2});
    CdxSpaceID space = SbxUniverseGetSpace(universe);
    CdxGeometryID cylinder = CdxCylinderCreate(0.05, 0.8), end = CdxSphereCreate(0.05);
    CdxModelID capsules[2], parts[2][3];
    PxMatrix4 placed[2][3], relative[2][3];
    RbdBodyID moving;

    TwoCapsules()
    {
        for (int c = 0; c < 2; ++c) {
            capsules[c] = SbxCompositeModelAndBodyCreate(universe, 3, 1000.0);
            for (int k = 0; k < 3; ++k) {
                parts[c][k] = CdxModelCreate(k == 0 ? cylinder : end);
                PxM4Identity(relative[c][k]);
                relative[c][k][3][2] = k == 0 ? 0.0 : k == 1 ? -0.4 : 0.4;
                CdxModelSetTransformPtr(parts[c][k], &placed[c][k]);
                EXPECT_TRUE(CdxCompositeModelAddElement(capsules[c], parts[c][k], &relative[c][k]));
            }
            EXPECT_EQ(SbxCompositeModelAndBodyBuild(universe, capsules[c]), 1);
        }
        moving = CdxModelGetBody(capsules[1]);
        RbdBodySetPosition(moving, 0.095, 0.095, 0.0);
    }
    ~TwoCapsules()
    {
        for (int c = 0; c < 2; ++c) {
            SbxModelDestroy(universe, capsules[c]);
            for (CdxModelID part : parts[c]) CdxModelDestroy(part);
        }
        CdxGeometryDestroy(cylinder);
        CdxGeometryDestroy(end);
        SbxUniverseDestroy(universe);
        EXPECT_FALSE(CdxIsInitialized());
    }

    // Updates the contacts; whether B has any.
    int Update()
    {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(SbxUniverseGetBridge(universe), space, SbxUniverseGetWorld(universe));
        int contacts = 0;
        RbdBodyForAllConstraints(moving, countContact, &contacts);
        return contacts > 0;
    }

    // Whether a part of A touches one of B, each pair tested on its own
    // (the parts are in no space: no composite test is involved).
    int PartsTouch()
    {
        for (int c = 0; c < 2; ++c) CdxModelUpdate(capsules[c]);
        int touch = 0;
        for (int i = 0; i < 9; ++i) {
            CdxModelPair pair;
            CdxModelPairReset(&pair, parts[0][i / 3], parts[1][i % 3]);
            CdxHello(&pair);
            CdxIntersectResult result = {};
            CdxIntersect(&pair, &result);
            CdxGoodbye(&pair);
            touch |= result.touch;
        }
        return touch;
    }
};

struct Approach {
    const char *name;
    PxReal turn;  // rad per update about B's centre
    PxReal shift; // m per update towards A
};

class ApartSkip : public ::testing::TestWithParam<Approach> {};

// B closes in by turning about a level axis through its centre (an end
// swings towards A, its origin stays), by moving towards A, or both, in
// steps far below the gap, with some wobble.
TEST_P(ApartSkip, EveryTouchIsFoundOnTheUpdateThePartsTouch)
{
    const Approach a = GetParam();
    std::mt19937 random(3);
    std::uniform_real_distribution<PxReal> unit(-1.0, 1.0);
    TwoCapsules scene;
    const PxVector3 level = {sqrt(0.5), -sqrt(0.5), 0.0};
    int touched = 0, apart = 0;
    PxReal angle = 0.0;
    for (int update = 0; touched < 20 && update < 5000; ++update) {
        const int contacts = scene.Update(), touch = scene.PartsTouch();
        ASSERT_EQ(touch, contacts) << a.name << ", update " << update;
        touched += touch;
        apart += 1 - touch;
        angle += a.turn * (1.0 + 0.5 * unit(random));
        PxQuaternion q = {1.0, 0.0, 0.0, 0.0};
        PxQuaternionFiniteRotation(q, level, angle);
        RbdBodySetQuaternion(scene.moving, q[0], q[1], q[2], q[3]);
        PxVector3 p;
        RbdBodyGetPosition(scene.moving, p);
        const PxReal step = a.shift * sqrt(0.5) * (1.0 + 0.5 * unit(random)), wobble = 1e-5;
        RbdBodySetPosition(scene.moving, p[0] - step + wobble * unit(random), p[1] - step + wobble * unit(random),
                           p[2] + wobble * unit(random));
    }
    EXPECT_EQ(touched, 20) << a.name;
    EXPECT_GT(apart, 100) << a.name << ": closed in too fast to tell";
}

INSTANTIATE_TEST_SUITE_P(Capsules, ApartSkip,
                         ::testing::Values(Approach{"turning", 2e-4, 0.0}, Approach{"moving", 0.0, 1e-4},
                                           Approach{"both", 1e-4, 5e-5}),
                         [](const ::testing::TestParamInfo<Approach> &info) { return info.param.name; });

// Nothing moves, but an end ball of each grows across the gap: resized in
// place with the composites rebuilt after, or without (the pair test reads
// the parts as they are), or given a larger ball's geometry. The pair
// found apart on the updates before touches on the next.
TEST(ApartSkipRecord, EndsGrownTouchOnTheNextUpdate)
{
    const struct {
        const char *name;
        bool replaced, rebuilt;
    } edits[] = {{"resized and rebuilt", false, true}, {"resized in place", false, false}, {"replaced", true, false}};
    for (const auto &edit : edits) {
        TwoCapsules scene;
        CdxGeometryID larger = CdxSphereCreate(0.1);
        for (int update = 0; update < 3; ++update) ASSERT_EQ(0, scene.Update()) << update;
        if (!edit.replaced) CdxSphereSetRadius(scene.end, 0.1);
        for (int c = 0; c < 2; ++c) {
            if (edit.replaced) CdxModelSetGeometry(scene.parts[c][1], larger);
            if (edit.rebuilt) CdxCompositeGeometryRebuild(CdxModelGetGeometry(scene.capsules[c]));
        }
        ASSERT_EQ(1, scene.PartsTouch()) << edit.name;
        EXPECT_EQ(1, scene.Update()) << edit.name;
        for (int c = 0; c < 2; ++c) CdxModelSetGeometry(scene.parts[c][1], scene.end);
        CdxGeometryDestroy(larger);
    }
}

} // namespace
