// Passes and colours read back: translucent objects blend over what the
// opaque pass drew, back faces show green, the universe's drawing options
// and decorations (mark colour, pick line, contacts, inertia) reach the
// picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <kelmar/CameraMath.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/RbdWorld.h>

#include "GraphicsTestSupport.h"

namespace {

using graphicstest::Picture;

const double kEye[3] = {0, 0, 60};

// The fixed-function lighting of a face turned to the camera: emission
// 0.1 c, ambient c under the global 0.2 and the light's 1, diffuse 0.7 c
// and specular 0.3 c at full strength: 2.3 c, clamped.
double Lit(double c)
{
    return std::min(1.0, 2.3 * c);
}

Picture Look(graphicstest::World &world, int size = 160)
{
    return world.Look(kEye, size, size);
}

// A half-transparent plate before an opaque wall blends to alpha x lit
// plate + (1 - alpha) x lit wall, whatever order the two were registered
// in; behind the wall it does not show (depth-tested against the opaque pass).
TEST(Passes, TranslucentPlateBlendsOverTheOpaqueWallAndHidesBehindIt)
{
    const float plate[4] = {0.3f, 0.1f, 0.2f, 0.5f}, wall[4] = {0.1f, 0.3f, 0.05f, 1};
    const double front[3] = {0, 0, 10}, back[3] = {0, 0, 0}, behind[3] = {0, 0, -5};
    for (int order = 0; order < 3; ++order) {
        graphicstest::World world;
        if (order == 0) world.Box(10, 10, 1, front, plate);
        world.Box(30, 30, 1, back, wall);
        if (order > 0) world.Box(10, 10, 1, order == 1 ? front : behind, plate);
        const Picture picture = Look(world);
        for (int k = 0; k < 3; ++k) {
            const double expected = order < 2 ? 0.5 * Lit(plate[k]) + 0.5 * Lit(wall[k]) : Lit(wall[k]);
            EXPECT_NEAR(picture.At(80, 80)[k], 255 * expected, 2) << "order " << order << ", channel " << k;
            EXPECT_NEAR(picture.At(5, 80)[k], 255 * Lit(wall[k]), 2) << "order " << order << ", channel " << k;
        }
    }
}

// From inside a box every face is seen from behind: green, unless back
// faces are culled, and then nothing is drawn; in wireframe a box seen from
// outside keeps its edges and loses its faces.
TEST(Passes, BackFacesCullingAndWireframe)
{
    graphicstest::World inside, outside;
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1};
    const double centre[3] = {0, 0, 0};
    inside.Box(200, 200, 200, kEye, grey);
    EXPECT_EQ(Look(inside, 64).Count(0, 255, 0), 64 * 64);
    inside.universe.AddOptions(kelmar::Universe::kCullBackFaces);
    EXPECT_EQ(Look(inside, 64).Count(0, 0, 0), 64 * 64);
    outside.Box(10, 10, 10, centre, grey);
    const int filled = 160 * 160 - Look(outside).Count(0, 0, 0);
    outside.universe.AddOptions(kelmar::Universe::kWireframe);
    const Picture wire = Look(outside);
    const int edges = 160 * 160 - wire.Count(0, 0, 0);
    EXPECT_GT(edges, 0);
    EXPECT_LT(edges, filled / 5);
    EXPECT_TRUE(wire.IsBackground(80, 80));
}

// The marked solid turns green; the pick line shows in its own colour
// (unlit) while picking.
TEST(Passes, MarkAndPickLineShowInThePicture)
{
    graphicstest::World world;
    const double from[3] = {0, 0, 50}, to[3] = {0, 0, -50};
    const double away[3] = {15, 0, 50}, awayTo[3] = {15, 0, -50};
    kelmar::Solid *ball = kelmar::AddSphere(&world.scene, 5, kelmar::SolidSpec()); // free: it can be picked
    ball->GetGraphics()->SetColor(graphicstest::kWhite);
    world.universe.SetMarkedSolid(ball);
    EXPECT_GT(Look(world).Count(0, 255, 0), 1000);
    world.universe.SetMarkedSolid(nullptr);
    EXPECT_EQ(Look(world).Count(0, 255, 0), 0);
    ASSERT_TRUE(world.universe.BeginPicking(from, to));
    world.universe.DoPicking(away, awayTo);
    EXPECT_GT(Look(world).Count(255, 128, 128, 1), 10);
    world.universe.EndPicking();
    EXPECT_EQ(Look(world).Count(255, 128, 128, 1), 0);
}

// A ball resting on the floor, both invisible: with its contact option the
// contact mark appears around the contact point, with its inertia option
// the translucent purple ellipsoid (0.6, 0, 0.6, 0.8 over black) appears,
// and without either the picture stays empty.
TEST(Passes, ContactsAndInertiaAreDrawnOnRequest)
{
    graphicstest::World world;
    RbdWorldSetGravity(world.universe.GetWorld(), 0, 0, -981);
    kelmar::SolidSpec frozen, desc;
    frozen.frozen = true;
    kelmar::Solid *floor = kelmar::AddSolid(&world.scene, CdxPlaneCreate(), frozen);
    double pose[4][4], centre[2], pixel[2];
    PxM4Identity(pose);
    pose[3][2] = 2;
    desc.pose = pose;
    kelmar::Solid *ball = kelmar::AddSphere(&world.scene, 2, desc);
    for (int i = 0; i < 20; ++i) world.universe.step();
    ASSERT_GT(std::unique_ptr<kelmar::ContactList>(ball->GetContacts(0))->entries.size(), 0u);
    const float none[4] = {1, 1, 1, 0};
    floor->GetGraphics()->SetColor(none);
    ball->GetGraphics()->SetColor(none);
    // From the side, level with the floor, looking along +y.
    const double side[4][4] = {{-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 1, 0, 0}, {0, -15, 0.5, 1}}, contact[3] = {0, 0, 0};
    kelmar::VirtualCamera camera(160, 120, &world.universe);
    int outline[4];
    EXPECT_FALSE(graphicstest::Take(camera, side).Bounds(outline));
    ball->SetOptions(kelmar::Solid::kDrawContacts);
    const Picture contacts = graphicstest::Take(camera, side);
    ASSERT_TRUE(contacts.Centre(centre) && contacts.Bounds(outline));
    ASSERT_TRUE(kelmar::CameraProject(side, 30, 160, 120, contact, pixel));
    EXPECT_NEAR(centre[0], pixel[0], 3);
    EXPECT_NEAR(outline[2], pixel[1], 2); // the mark starts at the contact point
    ball->SetOptions(kelmar::Solid::kDrawInertia);
    EXPECT_GT(graphicstest::Take(camera, side).Count(204, 0, 204, 2), 100);
}

} // namespace
