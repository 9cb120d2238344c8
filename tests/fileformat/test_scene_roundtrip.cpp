// A scene with every joint type, limits, motors, composites, a mesh and
// materials, saved, loaded into a fresh universe and saved again: the two
// files are the same, and both universes move the same way.
#include <math.h>

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/PxVector.h>

#include "SceneTestSupport.h"

using namespace scenetest;

namespace {

const PxReal kStep = 0.01;
const int kSteps = 100;

struct RoundTrip : testing::Test {
    CollisionLibrary library;
    Messages messages;
    std::string dir = makeTempDir();
    Scene scene;
    SbxUniverseID copy = nullptr;
    PxLoadContext *loaded = nullptr;
    PxSaveContext *names = nullptr;

    void SetUp() override
    {
        scene.universe = makeUniverse();
        buildScene(&scene);
        names = PxSaveContextCreate();
        nameScene(names, scene);
    }
    void TearDown() override
    {
        if (loaded) PxLoadContextDestroyObjects(loaded);
        PxLoadContextDestroy(loaded);
        if (copy) SbxUniverseDestroy(copy);
        PxSaveContextDestroy(names);
        destroyScene(&scene);
        SbxUniverseDestroy(scene.universe);
    }
    std::string saveOriginal(const std::string &path)
    {
        PxStream *stream = PxStreamOpen(path.c_str(), PX_MODE_WRITE);
        EXPECT_EQ(SbxSave(names, stream), 1);
        PxStreamClose(stream);
        return readFile(path);
    }
};

TEST_F(RoundTrip, SavingTheLoadedSceneGivesTheSameFile)
{
    const std::string first = saveOriginal(dir + "first.px");
    copy = makeUniverse();
    loaded = SbxUniverseLoadFile(copy, (dir + "first.px").c_str(), 0);
    ASSERT_NE(loaded, nullptr) << messages.all();
    const std::string second = saveUniverse(copy, dir + "second.px", loaded);
    EXPECT_EQ(first, second);
    for (const char *element : {"<BSJOINT>",
                                "<HINGE>",
                                "<PRISMATIC>",
                                "<CARWHEEL>",
                                "<FIXEDPATH>",
                                "<RPROJOINT>",
                                "<UNIVERSAL>",
                                "<LINEAR1>",
                                "<LINEAR2>",
                                "<ANGULAR3>",
                                "<SPRING>",
                                "<CONELIMIT>",
                                "<LIMIT>",
                                "<POWERED>1</POWERED>",
                                "<LOCKED>1</LOCKED>",
                                "<TRIANGLE_MESH>",
                                "<COMPOSITE>",
                                "<COMPOSITE_GEOMETRY>",
                                "<ELEMENTS>",
                                "<CYLINDER>",
                                "<SPHERE>",
                                "<PLANE>",
                                "<NO_INTERACTION>",
                                "<MATERIAL_TABLE size=\"4\">",
                                "<FRICTION_MODEL1>SCALED_BOX</FRICTION_MODEL1>"})
        EXPECT_NE(first.find(element), std::string::npos) << element;
}

TEST_F(RoundTrip, LoadedSceneMovesLikeTheOriginalForAHundredSteps)
{
    saveOriginal(dir + "scene.px");
    copy = makeUniverse();
    loaded = SbxUniverseLoadFile(copy, (dir + "scene.px").c_str(), 0);
    ASSERT_NE(loaded, nullptr) << messages.all();
    std::vector<const PxSaveEntry *> bodies;
    std::vector<std::array<PxReal, 3>> starts;
    PxHashIterator it;
    PxHashInitIterator(&it, PxSaveContextGetHash(names));
    while (const PxSaveEntry *entry = static_cast<const PxSaveEntry *>(PxHashGetDatum(&it))) {
        if (entry->kind != PX_KIND_BODY) continue;
        std::array<PxReal, 3> start;
        RbdBodyGetPosition(static_cast<RbdBodyID>(entry->object), start.data());
        bodies.push_back(entry);
        starts.push_back(start);
    }
    for (int i = 0; i < kSteps; ++i) {
        SbxUniverseStep(scene.universe, kStep);
        SbxUniverseStep(copy, kStep);
    }
    int moved = 0;
    for (size_t i = 0; i < bodies.size(); ++i) {
        RbdBodyID twin = RbdBodyLookup(loaded, bodies[i]->id);
        ASSERT_NE(twin, nullptr) << bodies[i]->id;
        PxVector3 a, b;
        RbdBodyGetPosition(static_cast<RbdBodyID>(bodies[i]->object), a);
        RbdBodyGetPosition(twin, b);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], 1e-5) << bodies[i]->id << " axis " << k;
        const PxVector3 travel = {a[0] - starts[i][0], a[1] - starts[i][1], a[2] - starts[i][2]};
        if (PxV3Length(travel) > 0.01) ++moved;
    }
    EXPECT_EQ(bodies.size(), 17u);
    // The comparison means something only when the scene moves.
    EXPECT_GE(moved, 8);
}

} // namespace
