// A pair of composites found apart is not tested again while its models
// have moved by less than half the gap found: every touch must still be
// found on the update a fresh test finds it, however the models close in.
#include <gtest/gtest.h>
#include <math.h>
#include <random>
#include <kelmar/Cdx.h>
#include <kelmar/PxMath.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

namespace {

struct Approach {
    const char *name;
    PxReal turn;  // rad per update about the moving capsule's centre
    PxReal shift; // m per update towards the other capsule
};

class ApartSkip : public ::testing::TestWithParam<Approach> {};

void countContact(RbdConstraintID c, void *count)
{
    *static_cast<int *>(count) += RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT;
}

// Capsules (a cylinder and two end balls) A and B stand upright, B off A
// diagonally, where their boxes overlap while they stand 2.4 cm apart
// beyond the contact tolerances. B closes in by turning about a level axis
// through its centre (an end swings towards A, its origin stays), by moving
// towards A, or both, in steps far below the gap, with some wobble. On
// every update B has contacts exactly when a fresh test finds a touch.
TEST_P(ApartSkip, EveryTouchIsFoundOnTheUpdateAFreshTestFindsIt)
{
    const Approach a = GetParam();
    std::mt19937 random(3);
    std::uniform_real_distribution<PxReal> unit(-1.0, 1.0);
    SbxUniverseID universe = SbxUniverseCreate({8, 64, 7, 16, 64, 2});
    CdxSpaceID space = SbxUniverseGetSpace(universe);
    CdxGeometryID cylinder = CdxCylinderCreate(0.05, 0.8), end = CdxSphereCreate(0.05);
    CdxModelID capsules[2], parts[2][3];
    PxMatrix4 placed[2][3], relative[2][3];
    for (int c = 0; c < 2; ++c) {
        capsules[c] = SbxCompositeModelAndBodyCreate(universe, 3, 1000.0);
        for (int k = 0; k < 3; ++k) {
            parts[c][k] = CdxModelCreate(k == 0 ? cylinder : end);
            PxM4Identity(relative[c][k]);
            relative[c][k][3][2] = k == 0 ? 0.0 : k == 1 ? -0.4 : 0.4;
            CdxModelSetTransformPtr(parts[c][k], &placed[c][k]);
            ASSERT_TRUE(CdxCompositeModelAddElement(capsules[c], parts[c][k], &relative[c][k]));
        }
        ASSERT_EQ(SbxCompositeModelAndBodyBuild(universe, capsules[c]), 1);
    }
    RbdBodyID moving = CdxModelGetBody(capsules[1]);
    RbdBodySetPosition(moving, 0.095, 0.095, 0.0);
    const PxVector3 level = {sqrt(0.5), -sqrt(0.5), 0.0};
    int touched = 0, apart = 0;
    PxReal angle = 0.0;
    for (int update = 0; touched < 20 && update < 5000; ++update) {
        CdxSpaceUpdateAll(space);
        SbxBridgeUpdateContacts(SbxUniverseGetBridge(universe), space, SbxUniverseGetWorld(universe));
        int contacts = 0;
        RbdBodyForAllConstraints(moving, countContact, &contacts);
        CdxModelPair pair;
        CdxModelPairReset(&pair, capsules[0], capsules[1]);
        CdxHello(&pair);
        CdxIntersectResult fresh = {};
        CdxIntersect(&pair, &fresh);
        ASSERT_EQ(fresh.touch, contacts > 0 ? 1 : 0) << a.name << ", update " << update;
        touched += fresh.touch;
        apart += 1 - fresh.touch;
        angle += a.turn * (1.0 + 0.5 * unit(random));
        PxQuaternion q = {1.0, 0.0, 0.0, 0.0};
        PxQuaternionFiniteRotation(q, level, angle);
        RbdBodySetQuaternion(moving, q[0], q[1], q[2], q[3]);
        PxVector3 p;
        RbdBodyGetPosition(moving, p);
        const PxReal step = a.shift * sqrt(0.5) * (1.0 + 0.5 * unit(random)), wobble = 1e-5;
        RbdBodySetPosition(moving, p[0] - step + wobble * unit(random), p[1] - step + wobble * unit(random),
                           p[2] + wobble * unit(random));
    }
    EXPECT_EQ(touched, 20) << a.name;
    EXPECT_GT(apart, 100) << a.name << ": closed in too fast to tell";
    SbxUniverseDestroy(universe);
}

INSTANTIATE_TEST_SUITE_P(Capsules, ApartSkip,
                         ::testing::Values(Approach{"turning", 2e-4, 0.0}, Approach{"moving", 0.0, 1e-4},
                                           Approach{"both", 1e-4, 5e-5}),
                         [](const ::testing::TestParamInfo<Approach> &info) { return info.param.name; });

} // namespace
