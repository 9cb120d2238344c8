// Cameras on a machine where no OpenGL context can be had (here: EGL finds
// no driver vendor): every picture call fails with the reason, buffers stay
// as they were, and nothing crashes; the head's geometry still works.
#include <gtest/gtest.h>

#include <cstdlib>

#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>
#include <kelmar/OffscreenContext.h>
#include <kelmar/kelmar.h>

#include "../GraphicsTestSupport.h"

namespace {

TEST(NoContext, CameraCallsFailWithTheReason)
{
    setenv("__EGL_VENDOR_LIBRARY_FILENAMES", "/nonexistent/vendor.json", 1); // before the process's first EGL call
    graphicstest::World world;
    kelmar::Scene &scene = world.scene;
    auto *camera = new kelmar::KelmarCamera(&scene, 64, 48);
    auto *head = new kelmar::KelmarCamHead(&scene);
    scene.InsertObject("cam", camera);
    scene.InsertObject("head", head);
    std::string why;
    EXPECT_EQ(kelmar::OffscreenContext::Create(10, 10, &why), nullptr);
    EXPECT_EQ(why.rfind("no OpenGL context for cameras: ", 0), 0u) << why;
    std::vector<unsigned char> rgb(3, 9), r, g, b, right;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(camera->GetImage1(rgb));
    EXPECT_FALSE(camera->GetImage3(r, g, b));
    EXPECT_FALSE(head->GetStereoImg(rgb, right));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "Camera: " + why + "\n" + "Camera: " + why + "\n") << said; // once per camera
    EXPECT_EQ(camera->GetError(), why);
    EXPECT_EQ(rgb, std::vector<unsigned char>(3, 9));
    EXPECT_TRUE(r.empty() && right.empty());
    EXPECT_TRUE(head->SetImageSize(320, 240)); // kept for later
    const double p[3] = {5, 10, 80};
    EXPECT_TRUE(head->SetFixPoint(p));
    world.universe.draw(kelmar::kDrawOpaquePass); // no context current: nothing happens
}

} // namespace
