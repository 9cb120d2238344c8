// The example scenes: what the grasp scene holds after loading, the
// objects each on their own material, the bowl's mesh, and a status that
// carries the whole state into a fresh universe.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include <kelmar/CdxModel.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/RbdBody.h>

#include "loader/LoaderTestSupport.h"

namespace {

using kelmartest::ExamplePath;

// A universe with the grasp scene loaded by Scene::load, as a host loads it.
struct GraspScene {
    GraspScene() : scene(ExamplePath("grasp_ball.px").c_str()) { universe.AddScene(&scene); }
    ~GraspScene() { universe.DelScene(&scene); }
    kelmar::Universe universe{1000, 1000, 1000, 20000};
    kelmartest::RecordingScene scene;
};

std::string StatusText(const kelmar::Universe &universe, const kelmar::Scene &scene)
{
    FILE *file = std::tmpfile();
    universe.saveStatus(file);
    scene.saveStatus(file);
    std::rewind(file);
    std::string text;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
    std::fclose(file);
    return text;
}

void Restore(GraspScene &g, const std::string &status)
{
    FILE *file = std::tmpfile();
    std::fputs(status.c_str(), file);
    std::rewind(file);
    EXPECT_EQ(g.universe.loadStatus(file), PX_XML_OK);
    EXPECT_EQ(g.scene.loadStatus(file), PX_XML_OK);
    std::fclose(file);
}

TEST(Examples, TheGraspSceneLoadsWithoutErrors)
{
    GraspScene g;
    EXPECT_EQ(g.scene.GetLoadErrorCount(), 0);
    const kelmar::Solid *ball = g.scene.LookupSolid("objects.ball", false);
    ASSERT_NE(ball, nullptr);
    double p[3];
    ball->GetPosition(p);
    EXPECT_NEAR(p[0], 30, 1e-12);
    EXPECT_NEAR(p[2], 70.01 + 4, 1e-12); // resting on the table top at z = 70
    EXPECT_EQ(ball->GetMaterial(), g.universe.GetMaterialId("rubber"));
    EXPECT_NE(g.scene.LookupSolid("table", false), nullptr);
    EXPECT_NE(g.scene.LookupSolid("arm.flange", false), nullptr);
    EXPECT_NE(g.scene.LookupSolid("arm.hand.finger1_distal", false), nullptr);
    EXPECT_EQ(g.scene.LookupSolid("arm.hand.finger1_distal", false)->GetMaterial(),
              g.universe.GetMaterialId("rubber"));
}

// Six objects, six materials; the ceramic one is the renamed material 5.
TEST(Examples, EveryObjectHasItsOwnMaterial)
{
    GraspScene g;
    int used[8] = {0};
    for (const char *name : {"ball", "can", "box", "bowl", "pyramid", "dumbbell"}) {
        const kelmar::Solid *solid = g.scene.LookupSolid((std::string("objects.") + name).c_str(), false);
        ASSERT_NE(solid, nullptr) << name;
        ASSERT_GE(solid->GetMaterial(), 0);
        ++used[solid->GetMaterial()];
        EXPECT_GT(RbdBodyGetMass(solid->GetBody()), 0) << name;
    }
    for (int m = 0; m < 7; ++m) EXPECT_LE(used[m], 1) << g.universe.GetMaterialName(m);
    EXPECT_EQ(g.universe.GetMaterialId("ceramic"), 5);
    EXPECT_EQ(g.scene.LookupSolid("objects.bowl", false)->GetMaterial(), 5);
}

// The bowl is a closed mesh of 9984 triangles with the mass of its wall;
// the pyramid a closed mesh with the volume of a pyramid (b h / 3).
TEST(Examples, TheMeshesAreClosedAndHaveTheirVolumes)
{
    GraspScene g;
    const kelmar::Solid *bowl = g.scene.LookupSolid("objects.bowl", false);
    CdxGeometryID mesh = CdxModelGetGeometry(bowl->GetModel());
    EXPECT_EQ(CdxTriangleMeshGetTriangleCount(mesh), 9984);
    EXPECT_TRUE(CdxTriangleMeshIsClosed(mesh));
    const kelmar::Solid *pyramid = g.scene.LookupSolid("objects.pyramid", false);
    CdxGeometryID frustum = CdxModelGetGeometry(pyramid->GetModel());
    EXPECT_TRUE(CdxTriangleMeshIsClosed(frustum));
    PxMatrix4 frame;
    PxMatrix3 inertia;
    double volume = 0;
    ASSERT_TRUE(CdxTriangleMeshGetMassProperties(frustum, frame, inertia, &volume));
    const double base = 2 * 4 * 4; // a square of half-diagonal 4
    EXPECT_NEAR(volume, base * 6 / 3, 1e-9);
    EXPECT_NEAR(frame[3][2], -3 + 6 / 4.0, 1e-9); // a quarter of the height above the base
    EXPECT_NEAR(RbdBodyGetMass(pyramid->GetBody()), 0.0078 * volume, 1e-12);
}

// The dumbbell: two spheres and a bar in one composite of glass.
TEST(Examples, TheDumbbellIsOneCompositeOfThreeParts)
{
    GraspScene g;
    const auto *dumbbell = dynamic_cast<const kelmar::Composite *>(g.scene.LookupSolid("objects.dumbbell", false));
    ASSERT_NE(dumbbell, nullptr);
    EXPECT_EQ(dumbbell->GetNumParts(), 3);
    const double spheres = 2 * 4.0 / 3 * M_PI * 1.5 * 1.5 * 1.5, bar = M_PI * 0.6 * 0.6 * 8;
    EXPECT_NEAR(RbdBodyGetMass(dumbbell->GetBody()), 0.0025 * (spheres + bar), 1e-9);
}

// Load and save; load the file into a fresh universe and restore the
// status: the status text is the same.
TEST(Examples, AStatusCarriesTheLoadedSceneIntoAFreshUniverse)
{
    GraspScene first;
    const std::string saved = StatusText(first.universe, first.scene);
    GraspScene second;
    Restore(second, saved);
    EXPECT_EQ(StatusText(second.universe, second.scene), saved);
}

// After steps: the restored poses and velocities are the saved ones, and
// from the first restore on the text no longer changes.
TEST(Examples, AStatusCarriesASteppedSceneIntoAFreshUniverse)
{
    GraspScene first;
    for (int i = 0; i < 20; ++i) first.universe.step();
    const std::string saved = StatusText(first.universe, first.scene);
    GraspScene second, third;
    Restore(second, saved);
    const std::string again = StatusText(second.universe, second.scene);
    Restore(third, again);
    EXPECT_EQ(StatusText(third.universe, third.scene), again);
    first.scene.ForEachObject([&](const char *name, kelmar::Object *object) {
        const auto *a = dynamic_cast<const kelmar::Solid *>(object);
        const kelmar::Solid *b = second.scene.LookupSolid(name, false);
        ASSERT_TRUE(a && b) << name;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) EXPECT_NEAR(a->GetTM()[i][j], b->GetTM()[i][j], 1e-12) << name;
        if (!a->GetBody()) return;
        PxVector3 va, vb;
        RbdBodyGetLinearVelocity(a->GetBody(), va);
        RbdBodyGetLinearVelocity(b->GetBody(), vb);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(va[k], vb[k]) << name;
    });
}

} // namespace
