// What the viewer shows: the grasp scene where VTK's camera math puts it
// (pixels of known colours at the projections of the ball, the table and
// the arm), nothing without a universe, and the hand-over between two
// renderers.
#include <vtkCamera.h>
#include <vtkInteractorObserver.h>
#include <vtkInteractorStyleTrackballCamera.h>
#include <vtkRenderer.h>

#include "CameraViewport.h"
#include "ViewerTestSupport.h"

namespace {

using viewertest::ViewedScene;

struct Rgb {
    int r, g, b;
};

Rgb PixelAt(const std::vector<unsigned char> &pixels, const double display[2])
{
    const size_t x = static_cast<size_t>(display[0]), y = static_cast<size_t>(display[1]);
    const size_t i = 3 * (y * ViewedScene::kWidth + x);
    return {pixels[i], pixels[i + 1], pixels[i + 2]};
}

// The ball is red, the table top orange-brown (its material's colour
// lit), the background the viewer's grey.
TEST_F(ViewedScene, TheSceneIsDrawnWhereTheCameraPutsIt)
{
    const double eye[3] = {30, -110, 130}, target[3] = {25, 0, 80};
    Look(eye, target);
    const std::vector<unsigned char> pixels = Pixels();
    ASSERT_TRUE(viewer->DrewLastFrame()) << "the window's context cannot draw legacy OpenGL";
    double ball[3], display[2];
    Ball()->GetPosition(ball);
    ToDisplay(ball, display);
    const Rgb red = PixelAt(pixels, display);
    EXPECT_GT(red.r, 120) << red.r << " " << red.g << " " << red.b;
    EXPECT_LT(red.g, red.r / 3);
    EXPECT_LT(red.b, red.r / 3);

    const double tableTop[3] = {60, -30, 70}; // front right of the table top, no object there
    ToDisplay(tableTop, display);
    const Rgb table = PixelAt(pixels, display);
    EXPECT_FALSE(table.r == table.g && table.g == table.b) << "grey where the table should be";

    const double sky[2] = {5, kHeight - 5};
    const Rgb grey = PixelAt(pixels, sky);
    EXPECT_NEAR(grey.r, 230, 2); // 0.9 of 255
    EXPECT_EQ(grey.r, grey.g);
    EXPECT_EQ(grey.g, grey.b);
}

TEST_F(ViewedScene, WithoutAUniverseNothingIsDrawnAndTheBoundsAreEmpty)
{
    double *bounds = viewer->GetBounds();
    ASSERT_NE(bounds, nullptr);
    for (int axis = 0; axis < 3; ++axis) // a cube about the universe's centre
        EXPECT_NEAR(bounds[2 * axis + 1] - bounds[2 * axis], bounds[1] - bounds[0], 1e-9);
    viewer->SetUniverse(nullptr);
    EXPECT_EQ(viewer->GetBounds(), nullptr);
    const std::vector<unsigned char> pixels = Pixels();
    EXPECT_FALSE(viewer->DrewLastFrame());
    for (size_t i = 0; i < pixels.size(); ++i)
        if (pixels[i] != pixels[0]) FAIL() << "a pixel other than the background at " << i / 3;
    viewer->SetUniverse(universe.get());
}

// Moving to another renderer gives the old one its style back (none) and
// the new one the viewer's style and a grey background.
TEST_F(ViewedScene, MovingToAnotherRendererHandsTheStyleOver)
{
    EXPECT_EQ(host->GetCurrentInteractorStyle(), viewer->GetStyle());
    kelmar::VtkRenderHost other(160, 120, true);
    other.GetRenderer()->SetBackground(0, 0, 0);
    viewer->SetRender(&other);
    EXPECT_EQ(host->GetCurrentInteractorStyle(), nullptr);
    EXPECT_EQ(host->GetRenderer()->GetViewProps()->GetNumberOfItems(), 0);
    EXPECT_EQ(other.GetCurrentInteractorStyle(), viewer->GetStyle());
    double background[3];
    other.GetRenderer()->GetBackground(background);
    EXPECT_DOUBLE_EQ(background[0], 0.9);
    EXPECT_DOUBLE_EQ(background[2], 0.9);
    viewer->SetRender(host.get());
}

// The scene camera "demo" in the upper right corner: its own background
// (0.2, 0.2, 0.25) there, the viewer's grey below it; an unknown camera
// is refused by name.
TEST_F(ViewedScene, ACameraViewportShowsTheCamerasPicture)
{
    kelmar::CameraViewport missing;
    EXPECT_FALSE(missing.Open(universe.get(), "nobody", host->GetWindow()));
    EXPECT_EQ(missing.GetError(), "no camera named 'nobody' in the scene");
    kelmar::CameraViewport camera;
    ASSERT_TRUE(camera.Open(universe.get(), "demo", host->GetWindow()));
    ASSERT_TRUE(camera.Refresh()) << camera.GetError();
    const std::vector<unsigned char> pixels = Pixels();
    const double corner[2] = {kWidth - 40, kHeight - 12}, below[2] = {kWidth - 40, 0.6 * kHeight};
    const Rgb dark = PixelAt(pixels, corner), grey = PixelAt(pixels, below);
    EXPECT_NEAR(dark.r, 51, 2);
    EXPECT_NEAR(dark.b, 64, 2);
    EXPECT_NEAR(grey.r, 230, 2);
}

} // namespace
