// The example scene shipped in examples/scenes loads whole into a universe
// and runs: the crate settles on the floor and the pendulum swings within
// its stops.
#include <math.h>

#include <string>

#include <gtest/gtest.h>

#include "SceneTestSupport.h"

using namespace scenetest;

TEST(ExampleScene, PendulumAndBoxesLoadsAndTheCrateComesToRestOnTheFloor)
{
    CollisionLibrary library;
    Messages messages;
    SbxUniverseID universe = makeUniverse();
    PxLoadContext *scene = SbxUniverseLoadFile(universe, KELMAR_EXAMPLE_SCENES "pendulum_and_boxes.px", 0);
    ASSERT_NE(scene, nullptr) << messages.all();
    EXPECT_EQ(RbdWorldGetTotalBodies(SbxUniverseGetWorld(universe)), 6);
    EXPECT_EQ(CdxSpaceGetModelCount(SbxUniverseGetSpace(universe)), 4);
    CdxModelID pair = CdxModelLookup(scene, "pair");
    ASSERT_NE(pair, nullptr);
    EXPECT_EQ(CdxCompositeModelGetElementCount(pair), 2);
    const PxReal step = RbdWorldGetTimeStep(SbxUniverseGetWorld(universe));
    EXPECT_DOUBLE_EQ(step, 0.01);
    for (int i = 0; i < 200; ++i) SbxUniverseStep(universe, step);
    PxVector3 crate;
    RbdBodyGetPosition(RbdBodyLookup(scene, "crate"), crate);
    EXPECT_NEAR(crate[2], 0.25, 0.01); // half its height above the floor
    const PxReal angle = RbdLimitGetPosition(RbdConstraintGetLimit(RbdConstraintLookup(scene, "shoulder")));
    EXPECT_GT(angle, -0.55);
    EXPECT_LT(angle, 0.85);
    PxLoadContextDestroyObjects(scene);
    PxLoadContextDestroy(scene);
    SbxUniverseDestroy(universe);
}

// The fuzzer's scene seeds: each loads whole or leaves the universe empty.
TEST(ExampleScene, EverySceneSeedLoadsWholeOrLeavesNothingBehind)
{
    const char *const seeds[] = {"scene_pendulum_and_boxes.px", "scene_imports.px", "scene_bad_references.px"};
    const bool good[] = {true, false, false};
    for (int i = 0; i < 3; ++i) {
        CollisionLibrary library;
        Messages messages;
        SbxUniverseID universe = makeUniverse();
        PxLoadContext *scene = SbxUniverseLoadFile(universe, (std::string(KELMAR_SCENE_CORPUS) + seeds[i]).c_str(),
                                                   0);
        EXPECT_EQ(scene != nullptr, good[i]) << seeds[i] << "\n" << messages.all();
        if (!scene) {
            EXPECT_EQ(RbdWorldGetTotalBodies(SbxUniverseGetWorld(universe)), 0) << seeds[i];
            EXPECT_EQ(RbdWorldGetTotalConstraints(SbxUniverseGetWorld(universe)), 0) << seeds[i];
            EXPECT_EQ(CdxSpaceGetModelCount(SbxUniverseGetSpace(universe)), 0) << seeds[i];
        }
        PxLoadContextDestroyObjects(scene);
        PxLoadContextDestroy(scene);
        SbxUniverseDestroy(universe);
    }
}
