// The example scenes: what the grasp scene holds after loading, the
// objects each on their own material, the bowl's mesh, and a status that
// carries the whole state into a fresh universe.

#include <cstring>

#include <kelmar/CdxTriangleMesh.h>

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

// The grasp scene, as a host loads it.
struct GraspScene : Hosted {
    GraspScene() : Hosted(ExamplePath("grasp_ball.px"), 1000) {}
};

// The ball rests on the table; six objects have six materials, the ceramic
// one on the renamed material 5; the fingers are rubber; the meshes and
// the composite have the volumes of their shapes.
TEST(Examples, TheGraspSceneLoadsWithoutErrorsAndEveryObjectHasItsOwnMaterial)
{
    GraspScene g;
    EXPECT_EQ(g.scene.GetLoadErrorCount(), 0);
    double p[3];
    g.scene.LookupSolid("objects.ball", false)->GetPosition(p);
    EXPECT_NEAR(p[0], 30, 1e-12);
    EXPECT_NEAR(p[2], 70.01 + 4, 1e-12); // resting on the table top at z = 70
    EXPECT_NE(g.scene.LookupSolid("table", false), nullptr);
    EXPECT_NE(g.scene.LookupSolid("arm.flange", false), nullptr);
    EXPECT_EQ(g.scene.LookupSolid("arm.hand.finger1_distal", false)->GetMaterial(),
              g.universe.GetMaterialId("rubber"));
    int used[8] = {0};
    for (const char *name : {"ball", "can", "box", "bowl", "pyramid", "dumbbell"}) {
        const kelmar::Solid *solid = g.scene.LookupSolid((std::string("objects.") + name).c_str(), false);
        ASSERT_NE(solid, nullptr) << name;
        ASSERT_GE(solid->GetMaterial(), 0);
        ++used[solid->GetMaterial()];
        EXPECT_GT(RbdBodyGetMass(solid->GetBody()), 0) << name;
    }
    for (int m = 0; m < 7; ++m) EXPECT_LE(used[m], 1) << g.universe.GetMaterialName(m);
    EXPECT_EQ(g.scene.LookupSolid("objects.ball", false)->GetMaterial(), g.universe.GetMaterialId("rubber"));
    EXPECT_EQ(g.universe.GetMaterialId("ceramic"), 5);
    EXPECT_EQ(g.scene.LookupSolid("objects.bowl", false)->GetMaterial(), 5);
    // The bowl is a mesh of 9984 triangles; the pyramid (a square base of
    // half-diagonal 4, 6 high) weighs its density times b h / 3.
    const kelmar::Solid *bowl = g.scene.LookupSolid("objects.bowl", false);
    EXPECT_EQ(CdxTriangleMeshGetTriangleCount(CdxModelGetGeometry(bowl->GetModel())), 9984);
    const kelmar::Solid *pyramid = g.scene.LookupSolid("objects.pyramid", false);
    EXPECT_NEAR(RbdBodyGetMass(pyramid->GetBody()), 0.0078 * (2 * 4 * 4) * 6 / 3, 1e-12);
    // The dumbbell: two spheres and a bar in one composite of glass.
    const auto *dumbbell = dynamic_cast<const kelmar::Composite *>(g.scene.LookupSolid("objects.dumbbell", false));
    ASSERT_NE(dumbbell, nullptr);
    EXPECT_EQ(dumbbell->GetNumParts(), 3);
    const double spheres = 2 * 4.0 / 3 * M_PI * 1.5 * 1.5 * 1.5, bar = M_PI * 0.6 * 0.6 * 8;
    EXPECT_NEAR(RbdBodyGetMass(dumbbell->GetBody()), 0.0025 * (spheres + bar), 1e-9);
}

double HorizontalDistance(const kelmar::Solid *a, const kelmar::Solid *b)
{
    double p[3], q[3];
    a->GetPosition(p);
    b->GetPosition(q);
    return std::hypot(p[0] - q[0], p[1] - q[1]);
}

// The palm's position in the flange's frame (cm).
void PalmOnFlange(const kelmar::Solid *palm, const kelmar::Solid *flange, double out[3])
{
    double world[3], inverse[4][4];
    palm->GetPosition(world);
    std::memcpy(inverse, flange->GetTM(), sizeof inverse);
    PxMatrix4TMInvert(inverse);
    kelmar::ConvertPosition(inverse, world, out);
}

// The flange's frame is the product of the waist's file transform (on the
// table, 70 cm up) and the five DH frames of arm6.px; after 100 steps of the
// arm holding still every joint still reads zero and the hand hangs where
// it was put; driven to 0.3, each finger curls towards the hand's axis.
TEST(Examples, TheArmHoldsTheHandAtItsFlange)
{
    GraspScene g;
    const double h = M_PI / 2;
    double frame[4][4] = {{0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 75, 1}}, step[4][4];
    const double params[5][4] = {{15, 0, 0, -h}, {0, -h, 30, 0}, {0, 0, 0, -h}, {30, 0, 0, h}, {0, -h, 0, h}};
    for (const auto &p : params) {
        DH(step, p[0], p[1], p[2], p[3]);
        Times(frame, step, frame);
    }
    double flange[4][4];
    g.scene.LookupJoint("arm.flange_roll", false)->GetTM(1, flange);
    EXPECT_LT(MaxDifference(flange, frame), 1e-9);

    const kelmar::Solid *palm = g.scene.LookupSolid("arm.hand.palm", false);
    const kelmar::Solid *flangeSolid = g.scene.LookupSolid("arm.flange", false);
    double before[3], after[3];
    PalmOnFlange(palm, flangeSolid, before);
    g.Run(100);
    PalmOnFlange(palm, flangeSolid, after);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(after[k], before[k], 1e-3);
    flangeSolid->GetPosition(after);
    EXPECT_NEAR(after[2], 70 + 46, 0.05); // the arm sags by less than half a millimetre
    int joints = 0;
    g.scene.ForEachJoint([&](const char *name, kelmar::Joint *joint) {
        if (!joint->GetLimit()) return;
        ++joints;
        EXPECT_NEAR(joint->GetLimit()->GetPosition(), 0, 2e-3) << name; // undriven fingertips sag about 1 mrad
    });
    EXPECT_EQ(joints, 6 + 9);

    double open[3];
    for (int f = 0; f < 3; ++f)
        open[f] = HorizontalDistance(
            g.scene.LookupSolid(("arm.hand.finger" + std::to_string(f + 1) + "_distal").c_str()), palm);
    for (int i = 0; i < 100; ++i) {
        for (int f = 1; f <= 3; ++f)
            g.scene.LookupJoint(("arm.hand.finger" + std::to_string(f)).c_str())->GetLimit()->SetValueOpt(0.3, 1);
        g.universe.step();
    }
    for (int f = 0; f < 3; ++f) {
        const std::string finger = "arm.hand.finger" + std::to_string(f + 1);
        EXPECT_NEAR(g.scene.LookupJoint(finger.c_str())->GetLimit()->GetPosition(), 0.3, 1e-2) << finger;
        EXPECT_LT(HorizontalDistance(g.scene.LookupSolid((finger + "_distal").c_str()), palm), open[f] - 3) << finger;
    }
}

} // namespace
