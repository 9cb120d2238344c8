// The example scene shipped in examples/scenes loads whole into a universe
// and runs: the crate settles on the floor and the pendulum swings within
// its stops. The fuzzer's other scene seeds (the example is one too) fail
// and leave the universe empty.
#include <math.h>

#include <string>

#include <gtest/gtest.h>

#include "SceneTestSupport.h"

using namespace scenetest;

TEST(ExampleScene, PendulumAndBoxesRunsAndTheFailingSeedsLeaveNothingBehind)
{
    const std::string example = KELMAR_EXAMPLE_SCENES "pendulum_and_boxes.px";
    for (const std::string &file : {example, std::string(KELMAR_SCENE_CORPUS "xml/scene_imports.px"),
                                    std::string(KELMAR_SCENE_CORPUS "scene/bad_references.px")}) {
        SceneFiles files;
        RbdWorldID world = SbxUniverseGetWorld(files.universe);
        CdxSpaceID space = SbxUniverseGetSpace(files.universe);
        PxLoadContext *scene = SbxUniverseLoadFile(files.universe, file.c_str(), 0);
        if (file != example) {
            EXPECT_EQ(scene, nullptr) << file;
            EXPECT_EQ(RbdWorldGetTotalBodies(world), 0) << file;
            EXPECT_EQ(RbdWorldGetTotalConstraints(world), 0) << file;
            EXPECT_EQ(CdxSpaceGetModelCount(space), 0) << file;
            continue;
        }
        ASSERT_NE(scene, nullptr) << files.messages.all();
        EXPECT_EQ(RbdWorldGetTotalBodies(world), 6);
        EXPECT_EQ(CdxSpaceGetModelCount(space), 4);
        CdxModelID pair = CdxModelLookup(scene, "pair");
        ASSERT_NE(pair, nullptr);
        EXPECT_EQ(CdxCompositeModelGetElementCount(pair), 2);
        const PxReal step = RbdWorldGetTimeStep(world);
        EXPECT_DOUBLE_EQ(step, 0.01);
        for (int i = 0; i < 200; ++i) SbxUniverseStep(files.universe, step);
        PxVector3 crate;
        RbdBodyGetPosition(RbdBodyLookup(scene, "crate"), crate);
        EXPECT_NEAR(crate[2], 0.25, 0.01); // half its height above the floor
        const PxReal angle = RbdLimitGetPosition(RbdConstraintGetLimit(RbdConstraintLookup(scene, "shoulder")));
        EXPECT_GT(angle, -0.55);
        EXPECT_LT(angle, 0.85);
        PxLoadContextDestroyObjects(scene);
        PxLoadContextDestroy(scene);
    }
}
