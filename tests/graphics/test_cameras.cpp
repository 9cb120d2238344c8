// Scene cameras: attached cameras follow their solid, a camera never paints
// itself, pictures and planes agree window by window, bad requests fail
// with their reason, status round trips, drawing leaves the simulation
// alone, and each context keeps its own cache.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>

#include <kelmar/CameraMath.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/GLBackend.h>
#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>
#include <kelmar/OffscreenContext.h>
#include <kelmar/RbdWorld.h>

#include "GraphicsTestSupport.h"

namespace {

using graphicstest::Picture;
using graphicstest::Take;

// The carrier moves 10 cm along +x: the camera's pose is its relative pose
// compounded with the carrier's, and the target's image moves f 10 / Z
// pixels to the left.
TEST(Cameras, AttachedCameraFollowsItsSolid)
{
    graphicstest::World world;
    const double origin[3] = {0, 0, 0}, above[3] = {0, 0, 70}, offset[3] = {0, 0, -2}, moved[3] = {10, 0, 70};
    const float hidden[4] = {1, 1, 1, 0};
    world.Box(4, 4, 4, origin);
    kelmar::Solid *carrier = world.Box(1, 1, 1, above, hidden);
    double relative[4][4], before[2], after[2];
    graphicstest::LookDownZ(relative, offset);
    kelmar::KelmarCamera *camera = world.Camera("cam", 200, 150, relative);
    EXPECT_FALSE(camera->AttachTo("nothing"));
    ASSERT_TRUE(camera->AttachTo(world.scene.GetName(carrier)));
    ASSERT_TRUE(Take(*camera).Centre(before));
    carrier->SetPosition(moved);
    const double(*tm)[4] = camera->GetCurrentTM();
    EXPECT_EQ(std::vector<double>(tm[2], tm[4]), std::vector<double>({0, 0, -1, 0, 10, 0, 68, 1}));
    ASSERT_TRUE(Take(*camera).Centre(after));
    EXPECT_NEAR(after[0] - before[0], -kelmar::CameraFocalLength(30, 150) * 10 / (68 - 2), 1.0);
}

// Camera a looks at nothing: its own cone would fill its picture. Camera b
// looks at a from the side and sees the cone; hiding a removes it.
TEST(Cameras, ACameraNeverPaintsItself)
{
    graphicstest::World world;
    double pose[4][4], centre[2];
    const double at[3] = {0, 0, 0}, side[4][4] = {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {-40, 0, -2.5, 1}};
    graphicstest::LookDownZ(pose, at);
    kelmar::KelmarCamera *a = world.Camera("a", 64, 64, pose), *b = world.Camera("b", 64, 64, side);
    EXPECT_FALSE(Take(*a).Centre(centre));
    EXPECT_TRUE(Take(*b).Centre(centre));
    a->SetVisible(false);
    EXPECT_FALSE(Take(*b).Centre(centre));
}

// A window of the picture is that block of the whole picture; the planes
// are its channels; a window of no rows leaves the buffer as it was.
TEST(Cameras, WindowsAndPlanesAgreeWithTheWholePicture)
{
    graphicstest::World world;
    const float colour[4] = {0.3f, 0.2f, 0.1f, 1};
    const double at[3] = {3, -2, 0}, eye[3] = {0, 0, 40};
    world.Sphere(6, at, colour);
    kelmar::VirtualCamera camera(120, 90, &world.universe);
    double pose[4][4];
    graphicstest::LookDownZ(pose, eye);
    const Picture whole = Take(camera, pose);
    const int x = 30, y = 20, w = 50, h = 40;
    std::vector<unsigned char> rgb, planes[3], expected, channel[3];
    ASSERT_TRUE(camera.GetImage1(pose, rgb, x, y, w, h));
    ASSERT_TRUE(camera.GetImage3(pose, planes[0], planes[1], planes[2], x, y, w, h));
    for (int k = 0; k < w * h; ++k)
        for (int c = 0; c < 3; ++c) {
            expected.push_back(whole.At(x + k % w, y + k / w)[c]);
            channel[c].push_back(expected.back());
        }
    EXPECT_EQ(rgb, expected);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(planes[c], channel[c]) << "plane " << c;
    EXPECT_GT(w * h - std::count(channel[0].begin(), channel[0].end(), 0), 100);
    std::vector<unsigned char> untouched(5, 7);
    ASSERT_TRUE(camera.GetImage1(pose, untouched, 0, 0, 120, 0));
    EXPECT_EQ(untouched, std::vector<unsigned char>(5, 7));
}

// Every refused request names its reason, and leaves the camera working.
TEST(Cameras, BadRequestsFailWithTheirReason)
{
    int maxWidth = 0, maxHeight = 0;
    ASSERT_TRUE(kelmar::OffscreenContext::MaxSize(&maxWidth, &maxHeight, nullptr));
    const std::string limit = " is outside what an off-screen surface allows (1 x 1 to " + std::to_string(maxWidth) +
                              " x " + std::to_string(maxHeight) + " pixels)";
    graphicstest::World world;
    kelmar::VirtualCamera camera(40, 30, &world.universe), huge(maxWidth * 2, 10, &world.universe);
    double pose[4][4];
    const double eye[3] = {0, 0, 10};
    graphicstest::LookDownZ(pose, eye);
    std::vector<unsigned char> rgb;
    const struct {
        std::function<bool()> call;
        std::string message;
    } cases[] = {
        {[&] { return camera.GetImage1(pose, rgb, 30, 0, 11, 10); },
         "image window 11 x 10 at (30, 0) is outside the picture of 40 x 30"},
        {[&] { return camera.GetImage1(pose, rgb, -1, 0); },
         "image window 41 x 30 at (-1, 0) is outside the picture of 40 x 30"},
        {[&] { return camera.SetSize(0, 10); }, "image size 0 x 10" + limit},
        {[&] { return camera.SetSize(maxWidth + 1, 10); },
         "image size " + std::to_string(maxWidth + 1) + " x 10" + limit},
    };
    for (const auto &c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(c.call());
        EXPECT_EQ(camera.GetError(), c.message);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Camera: " + c.message + "\n");
        EXPECT_TRUE(camera.GetImage1(pose, rgb)) << c.message;
        EXPECT_EQ(rgb.size(), 40u * 30 * 3);
    }
    testing::internal::CaptureStderr();
    EXPECT_FALSE(huge.GetImage1(pose, rgb));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(huge.GetError(), "image size " + std::to_string(maxWidth * 2) + " x 10" + limit);
}

// Saved and loaded through the scene's status file, cameras and heads come
// back as they were (reset in between).
TEST(Cameras, StatusRoundTrips)
{
    graphicstest::World world;
    auto *camera = new kelmar::KelmarCamera(&world.scene, 32, 32);
    auto *head = new kelmar::KelmarCamHead(&world.scene);
    world.scene.InsertObject("cam", camera);
    world.scene.InsertObject("head", head);
    double pose[4][4], identity[4][4];
    const double q[4] = {0.9, 0.1, -0.3, 0.2}, at[3] = {1.5, -2.25, 7};
    kelmar::TMFromQuaternion(pose, q, at);
    PxM4Identity(identity);
    const float grey[3] = {0.25f, 0.5f, 0.75f}, joints[4] = {10, -20, 3.5f, 4.25f}, zero[4] = {0, 0, 0, 0};
    const std::string path = graphicstest::TempPath("status.xml");
    for (bool save : {true, false}) { // set and save, then reset and load
        camera->SetRelTM(save ? pose : identity);
        camera->SetViewAngle(save ? 42.5f : 30);
        camera->SetBackground(save ? grey : zero);
        camera->SetVisible(!save);
        head->SetHeadTM(save ? pose : identity);
        head->SetJoints(save ? joints : zero);
        head->SetViewAngles(save ? 12 : 45, save ? 50 : 45);
        FILE *file = std::fopen(path.c_str(), save ? "w" : "r");
        save ? world.scene.saveStatus(file) : (void)world.scene.loadStatus(file);
        std::fclose(file);
    }
    std::remove(path.c_str());
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(camera->GetRelTM()[i / 4][i % 4], pose[i / 4][i % 4]);
        EXPECT_EQ(head->GetHeadTM()[i / 4][i % 4], pose[i / 4][i % 4]);
    }
    float background[3], back[4];
    camera->GetBackground(background);
    head->GetJoints(back);
    EXPECT_EQ(camera->GetViewAngle(), 42.5f);
    EXPECT_EQ(std::vector<float>(background, background + 3), std::vector<float>(grey, grey + 3));
    EXPECT_FALSE(camera->IsVisible());
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(back[i], joints[i], 1e-4);
    EXPECT_EQ(head->GetLeftViewAngle() * 100 + head->GetRightViewAngle(), 1250);
}

// Two worlds stepped alike, one photographed every step by a camera and a
// head: their poses stay identical to the last bit.
TEST(Cameras, DrawingNeverChangesTheSimulation)
{
    auto build = [](graphicstest::World &w) {
        RbdWorldSetGravity(w.universe.GetWorld(), 0, 0, -981);
        kelmar::SolidSpec desc;
        desc.frozen = true;
        kelmar::AddSolid(&w.scene, CdxPlaneCreate(), desc);
        std::vector<kelmar::Solid *> solids;
        for (int i = 0; i < 4; ++i) {
            double pose[4][4];
            const double q[4] = {1, 0.1 * i, 0.2, 0}, at[3] = {3.0 * i - 4, 0.5 * i, 3 + 4.0 * i};
            kelmar::TMFromQuaternion(pose, q, at);
            desc = kelmar::SolidSpec();
            desc.pose = pose;
            solids.push_back(i % 2 ? kelmar::AddSphere(&w.scene, 1.5, desc)
                                   : kelmar::AddBox(&w.scene, 3, 2, 2, desc));
            solids.back()->SetOptions(kelmar::Solid::kDrawContacts | kelmar::Solid::kDrawInertia);
        }
        return solids;
    };
    graphicstest::World plain, seen;
    std::vector<kelmar::Solid *> a = build(plain), b = build(seen);
    double pose[4][4];
    const double eye[3] = {0, 0, 50}, target[3] = {0, 0, 5};
    graphicstest::LookDownZ(pose, eye);
    kelmar::KelmarCamera *camera = seen.Camera("cam", 80, 60, pose);
    camera->AttachTo(seen.scene.GetName(b[0]));
    auto *head = new kelmar::KelmarCamHead(&seen.scene);
    seen.scene.InsertObject("head", head);
    head->SetImageSize(80, 60);
    std::vector<unsigned char> rgb, right;
    for (int step = 0; step < 60; ++step) {
        plain.universe.step();
        seen.universe.step();
        ASSERT_TRUE(camera->GetImage1(rgb));
        head->SetFixPoint(target);
        ASSERT_TRUE(head->GetStereoImg(rgb, right));
    }
    for (size_t i = 0; i < a.size(); ++i)
        for (int k = 0; k < 16; ++k) EXPECT_EQ(a[i]->GetTM()[k / 4][k % 4], b[i]->GetTM()[k / 4][k % 4]) << i;
}

// Two cameras, two contexts: each records the shapes once; a deleted shape
// leaves both caches, a deleted camera takes its context's cache along.
TEST(Cameras, EachContextKeepsItsOwnCache)
{
    graphicstest::World world;
    const double left[3] = {-5, 0, 0}, right[3] = {5, 0, 0}, eye[3] = {0, 0, 50};
    world.Sphere(3, left);
    world.Box(4, 4, 4, right);
    kelmar::GraphicsPrimitive *extra = kelmar::GraphicsPrimitive::Cylinder(1, 4);
    world.scene.InsertGP("extra", extra);
    world.scene.InsertGraphics("extra", new kelmar::Graphics(extra, graphicstest::kWhite));
    double pose[4][4];
    graphicstest::LookDownZ(pose, eye);
    auto first = std::make_unique<kelmar::VirtualCamera>(64, 64, &world.universe);
    auto second = std::make_unique<kelmar::VirtualCamera>(32, 32, &world.universe);
    std::vector<unsigned char> rgb;
    for (int round = 0; round < 3; ++round) ASSERT_TRUE(first->GetImage1(pose, rgb) && second->GetImage1(pose, rgb));
    kelmar::GLBackend &backend = kelmar::GLBackend::Instance();
    void *keys[2] = {first->GetContext()->key(), second->GetContext()->key()};
    ASSERT_NE(keys[0], keys[1]);
    for (void *key : keys) EXPECT_EQ(backend.ListCount(key), 3);
    kelmar::Graphics *graphics = world.scene.LookupGraphics("extra");
    world.scene.RemoveGraphics(graphics);
    world.scene.RemoveGP("extra");
    delete graphics;
    delete extra;
    for (void *key : keys) EXPECT_EQ(backend.ListCount(key), 2);
    ASSERT_TRUE(first->GetImage1(pose, rgb));
    first.reset();
    EXPECT_EQ(backend.ListCount(keys[0]), 0);
    EXPECT_EQ(backend.ListCount(keys[1]), 2);
}

} // namespace
