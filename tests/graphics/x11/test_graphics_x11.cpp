// A viewer's GLX context (an X pbuffer here) and camera contexts side by
// side: the backend draws in both, each with its own cache, and a camera
// picture taken while the viewer's context is current puts it back.
// Needs an X server (run under Xvfb); skipped without one.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glx.h>

#include <kelmar/CameraMath.h>
#include <kelmar/GLBackend.h>
#include <kelmar/OffscreenContext.h>
#include <kelmar/PxVector.h>
#include <kelmar/VirtualCamera.h>
#include <kelmar/kelmar.h>

namespace {

const int kSize = 64;

struct GlxViewer {
    Display *display = nullptr;
    GLXContext context = nullptr;
    GLXPbuffer pbuffer = 0;
    GlxViewer()
    {
        display = XOpenDisplay(nullptr);
        if (!display) return;
        const int attributes[] = {GLX_DRAWABLE_TYPE,
                                  GLX_PBUFFER_BIT,
                                  GLX_RENDER_TYPE,
                                  GLX_RGBA_BIT,
                                  GLX_RED_SIZE,
                                  8,
                                  GLX_DEPTH_SIZE,
                                  24,
                                  None};
        int count = 0;
        GLXFBConfig *configs = glXChooseFBConfig(display, DefaultScreen(display), attributes, &count);
        if (!configs || count < 1) return;
        const int size[] = {GLX_PBUFFER_WIDTH, kSize, GLX_PBUFFER_HEIGHT, kSize, None};
        pbuffer = glXCreatePbuffer(display, configs[0], size);
        context = glXCreateNewContext(display, configs[0], GLX_RGBA_TYPE, nullptr, True);
        XFree(configs);
    }
    ~GlxViewer()
    {
        if (!display) return;
        glXMakeContextCurrent(display, None, None, nullptr);
        if (context) glXDestroyContext(display, context);
        if (pbuffer) glXDestroyPbuffer(display, pbuffer);
        XCloseDisplay(display);
    }
    bool MakeCurrent() { return glXMakeContextCurrent(display, pbuffer, pbuffer, context); }
    // The universe seen from pose, as a viewer's render would draw it.
    int LitPixels(kelmar::Universe &universe, const double pose[4][4])
    {
        double projection[16], view[16];
        kelmar::CameraProjectionMatrix(30, 1, 1, 1000, projection);
        kelmar::CameraViewMatrix(pose, view);
        glViewport(0, 0, kSize, kSize);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(projection);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(view);
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
        glEnable(GL_DEPTH_TEST);
        universe.draw(kelmar::kDrawOpaquePass);
        universe.draw(kelmar::kDrawTranslucentPass);
        std::vector<unsigned char> rgb(kSize * kSize * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kSize, kSize, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        int lit = 0;
        for (size_t i = 0; i < rgb.size(); i += 3) lit += rgb[i] > 0;
        return lit;
    }
};

TEST(ViewerAndCameras, BothContextsDrawWithTheirOwnCaches)
{
    GlxViewer viewer;
    if (!viewer.display) GTEST_SKIP() << "no X server";
    ASSERT_TRUE(viewer.context && viewer.pbuffer);
    kelmar::GLBackend::Install();
    kelmar::Universe universe;
    kelmar::Scene scene;
    universe.AddScene(&scene);
    kelmar::SolidSpec spec;
    spec.fixed = true;
    kelmar::AddSphere(&scene, 5, spec);
    double pose[4][4] = {{-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {0, 0, 60, 1}};
    ASSERT_TRUE(viewer.MakeCurrent());
    const int seen = viewer.LitPixels(universe, pose);
    EXPECT_GT(seen, 100);
    kelmar::GLBackend &backend = kelmar::GLBackend::Instance();
    EXPECT_EQ(backend.ListCount(viewer.context), 1);

    kelmar::VirtualCamera camera(kSize, kSize, &universe);
    std::vector<unsigned char> rgb;
    ASSERT_TRUE(camera.GetImage1(pose, rgb)) << camera.GetError();
    EXPECT_EQ(glXGetCurrentContext(), viewer.context); // put back
    int lit = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) lit += rgb[i] > 0;
    EXPECT_EQ(lit, seen); // the same drawing in both
    EXPECT_EQ(backend.ListCount(camera.GetContext()->key()), 1);
    EXPECT_EQ(viewer.LitPixels(universe, pose), seen);
    EXPECT_EQ(backend.ListCount(viewer.context), 1);
    backend.ForgetContext(viewer.context);
    universe.DelScene(&scene);
}

} // namespace
