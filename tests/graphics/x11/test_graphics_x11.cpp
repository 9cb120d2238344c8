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

namespace {

const int kSize = 64;
const float white[4] = {1, 1, 1, 1};

int LitPixels(const std::vector<unsigned char> &rgb)
{
    int lit = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) lit += rgb[i] > 0;
    return lit;
}

// Draws the universe as a viewer's render would, and reads it back.
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
    std::vector<unsigned char> rgb(kSize * kSize * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return LitPixels(rgb);
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
    kelmar::Universe universe;
    kelmar::Scene scene;
    universe.AddScene(&scene);
    kelmar::SolidSpec desc;
    desc.fixed = true;
    kelmar::AddSphere(&scene, 5, desc);
    kelmar::GraphicsPrimitive *extra = kelmar::GraphicsPrimitive::Cylinder(1, 4);
    auto *graphics = new kelmar::Graphics(extra, white);
    scene.InsertGP("extra", extra);
    scene.InsertGraphics("extra", graphics);
    const double pose[4][4] = {{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {0, 0, 60, 1}};
    const int seen = ViewerPicture(universe, pose);
    EXPECT_GT(seen, 100);
    auto camera = std::make_unique<kelmar::VirtualCamera>(kSize, kSize, &universe);
    std::vector<unsigned char> rgb;
    ASSERT_TRUE(camera->GetImage1(pose, rgb)) << camera->GetError();
    EXPECT_EQ(glXGetCurrentContext(), viewer);
    EXPECT_EQ(LitPixels(rgb), seen);
    EXPECT_EQ(ViewerPicture(universe, pose), seen);
    kelmar::GLBackend &backend = kelmar::GLBackend::Instance();
    void *key = camera->GetContext()->key();
    auto counts = [&] { return std::vector<int>({backend.ListCount(viewer), backend.ListCount(key)}); };
    EXPECT_EQ(counts(), std::vector<int>({2, 2}));
    scene.RemoveGraphics(graphics); // a deleted shape leaves both caches
    scene.RemoveGP("extra");
    delete graphics;
    delete extra;
    EXPECT_EQ(counts(), std::vector<int>({1, 1}));
    camera.reset(); // a deleted camera takes its context's cache along
    EXPECT_EQ(counts(), std::vector<int>({1, 0}));
    EXPECT_EQ(ViewerPicture(universe, pose), seen); // the cylinder lay inside the ball

    backend.ForgetContext(viewer);
    universe.DelScene(&scene);
    glXMakeContextCurrent(display, None, None, nullptr);
    glXDestroyContext(display, viewer);
    glXDestroyPbuffer(display, pbuffer);
    XCloseDisplay(display);
}

} // namespace
