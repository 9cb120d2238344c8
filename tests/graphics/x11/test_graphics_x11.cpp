// A viewer's GLX context (an X pbuffer here) beside a camera's EGL context:
// the backend draws the same picture in both, each with its own cache (a
// deleted shape leaves both, a deleted camera takes its own along), and a
// camera picture taken while the viewer's context is current puts it back.
// Needs an X server (run under Xvfb); skipped without one.
#include <gtest/gtest.h>

#include <memory>

#include <GL/gl.h>
#include <GL/glx.h>

#include <kelmar/CameraMath.h>
#include <kelmar/GLBackend.h>
#include <kelmar/OffscreenContext.h>
#include <kelmar/VirtualCamera.h>
#include <kelmar/kelmar.h>

#include "../GraphicsTestSupport.h"

namespace {

const int kSize = 64;

// Draws the universe as a viewer's render would, and counts the lit pixels.
int ViewerPicture(kelmar::Universe &universe, const double pose[4][4])
{
    double projection[16], view[16];
    kelmar::CameraProjectionMatrix(30, 1, 1, 1000, projection);
    kelmar::CameraViewMatrix(pose, view);
    glViewport(0, 0, kSize, kSize);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(view);
    for (GLenum feature : {GL_LIGHTING, GL_LIGHT0, GL_DEPTH_TEST}) glEnable(feature);
    universe.draw(kelmar::kDrawOpaquePass);
    universe.draw(kelmar::kDrawTranslucentPass);
    graphicstest::Picture picture{kSize, kSize, std::vector<unsigned char>(kSize * kSize * 3)};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, picture.rgb.data());
    return kSize * kSize - picture.Count(0, 0, 0);
}

TEST(ViewerAndCameras, BothContextsDrawWithTheirOwnCaches)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) GTEST_SKIP() << "no X server";
    const int attributes[] = {GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT, GLX_DEPTH_SIZE, 24, None};
    const int size[] = {GLX_PBUFFER_WIDTH, kSize, GLX_PBUFFER_HEIGHT, kSize, None};
    int count = 0;
    GLXFBConfig *configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
    ASSERT_TRUE(configs && count > 0);
    GLXPbuffer pbuffer = glXCreatePbuffer(display, configs[0], size);
    GLXContext viewer = glXCreateNewContext(display, configs[0], GLX_RGBA_TYPE, nullptr, True);
    XFree(configs);
    ASSERT_TRUE(glXMakeContextCurrent(display, pbuffer, pbuffer, viewer));

    kelmar::GLBackend::Install();
    graphicstest::World world;
    const double origin[3] = {0, 0, 0};
    world.Sphere(5, origin);
    kelmar::GraphicsPrimitive *extra = kelmar::GraphicsPrimitive::Cylinder(1, 4);
    auto *graphics = new kelmar::Graphics(extra, graphicstest::kWhite);
    world.scene.InsertGP("extra", extra);
    world.scene.InsertGraphics("extra", graphics);
    const double pose[4][4] = {{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {0, 0, 60, 1}};
    const int seen = ViewerPicture(world.universe, pose);
    EXPECT_GT(seen, 100);
    auto camera = std::make_unique<kelmar::VirtualCamera>(kSize, kSize, &world.universe);
    EXPECT_EQ(kSize * kSize - graphicstest::Take(*camera, pose).Count(0, 0, 0), seen);
    EXPECT_EQ(glXGetCurrentContext(), viewer);
    EXPECT_EQ(ViewerPicture(world.universe, pose), seen);
    kelmar::GLBackend &backend = kelmar::GLBackend::Instance();
    void *key = camera->GetContext()->key();
    auto counts = [&] { return std::vector<int>({backend.ListCount(viewer), backend.ListCount(key)}); };
    EXPECT_EQ(counts(), std::vector<int>({2, 2}));
    world.scene.RemoveGraphics(graphics); // a deleted shape leaves both caches
    world.scene.RemoveGP("extra");
    delete graphics;
    delete extra;
    EXPECT_EQ(counts(), std::vector<int>({1, 1}));
    camera.reset(); // a deleted camera takes its context's cache along
    EXPECT_EQ(counts(), std::vector<int>({1, 0}));
    EXPECT_EQ(ViewerPicture(world.universe, pose), seen); // the cylinder lay inside the ball

    backend.ForgetContext(viewer);
    glXMakeContextCurrent(display, None, None, nullptr);
    glXDestroyContext(display, viewer);
    glXDestroyPbuffer(display, pbuffer);
    XCloseDisplay(display);
}

} // namespace
