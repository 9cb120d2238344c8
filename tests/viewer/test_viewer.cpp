// The viewer on the grasp scene, driven by synthetic events: the pick ray
// through a pixel, Ctrl-drag, every key of the table, timer stepping, and
// what is drawn where VTK's camera math puts it. The scene is shown in an
// off-screen VTK window, which still needs an X display: without one each
// test skips.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkMath.h>
#include <vtkNew.h>
#include <vtkPropCollection.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkUnsignedCharArray.h>

#include <kelmar/GraphicsSetup.h>
#include <kelmar/PxStream.h>
#include <kelmar/kelmar.h>

#include "CameraViewport.h"
#include "DisplayCheck.h"
#include "PickRay.h"
#include "VtkRenderHost.h"
#include "vtkViewer.h"

namespace {

struct ViewedScene : testing::Test {
    static const int kWidth = 800, kHeight = 600; // px
    void SetUp() override
    {
        if (!kelmar::DisplayAvailable()) GTEST_SKIP() << "no X display (run under xvfb-run)";
        kelmar::PreferCompatibilityContext();
        kelmar::InstallGraphics();
        PxFileSearchPathAdd(KELMAR_EXAMPLES_DIR);
        universe.reset(new kelmar::Universe(1000, 1000, 1000, 20000));
        scene.reset(new kelmar::Scene(KELMAR_EXAMPLES_DIR "/grasp_ball.px"));
        universe->AddScene(scene.get());
        ASSERT_EQ(scene->GetLoadErrorCount(), 0);
        host.reset(new kelmar::VtkRenderHost(kWidth, kHeight, true));
        viewer->SetUniverse(universe.get());
        viewer->SetRender(host.get());
        viewer->GetStyle()->SetHelpStream(stderr);
        interactor = host->GetInteractor();
        camera = host->GetRenderer()->GetActiveCamera();
    }
    void TearDown() override
    {
        if (!host) return;
        viewer->SetRender(nullptr);
        host.reset();
        universe->DelScene(scene.get());
    }

    kelmar::Solid *Ball() const { return scene->LookupSolid("objects.ball", false); }
    // Looks from eye at target (cm), z up.
    void Look(const double eye[3], const double target[3], bool parallel = false)
    {
        camera->SetPosition(eye[0], eye[1], eye[2]);
        camera->SetFocalPoint(target[0], target[1], target[2]);
        camera->SetViewUp(0, 0, 1);
        camera->SetViewAngle(30);
        camera->SetParallelProjection(parallel);
        camera->SetParallelScale(20);
        camera->SetClippingRange(10, 400);
        host->GetWindow()->Render();
    }
    // Looks at the ball from 60 cm in front, 10 cm above; the pointer on its centre's pixel.
    std::vector<int> LookAtTheBall()
    {
        const double *c = Ball()->GetTM()[3];
        const double eye[3] = {c[0], c[1] - 60, c[2] + 10};
        Look(eye, c);
        const std::vector<double> d = ToDisplay(c);
        interactor->SetEventInformation(int(d[0]), int(d[1]));
        return {int(d[0]), int(d[1])};
    }
    // The display position (px) of a world point.
    std::vector<double> ToDisplay(const double world[3])
    {
        vtkRenderer *renderer = host->GetRenderer();
        renderer->SetWorldPoint(world[0], world[1], world[2], 1);
        renderer->WorldToDisplay();
        return {renderer->GetDisplayPoint()[0], renderer->GetDisplayPoint()[1]};
    }
    // A left-button event (press, move, release) at x, y.
    void Mouse(unsigned long event, int x, int y, bool ctrl = true)
    {
        interactor->SetEventInformation(x, y, ctrl ? 1 : 0, 0);
        interactor->InvokeEvent(event);
    }
    // Ctrl with a letter sends the control character, as X does.
    void Key(char key, bool ctrl = false)
    {
        interactor->SetKeyEventInformation(ctrl ? 1 : 0, 0, ctrl ? static_cast<char>(key & 0x1f) : key, 0, nullptr);
        interactor->InvokeEvent(vtkCommand::KeyPressEvent);
        interactor->InvokeEvent(vtkCommand::CharEvent);
    }
    // The window's pixels, RGB, rows bottom-up, and the RGB of the one at display (x, y).
    std::vector<unsigned char> Pixels()
    {
        host->GetWindow()->Render();
        vtkNew<vtkUnsignedCharArray> data;
        host->GetWindow()->GetPixelData(0, 0, kWidth - 1, kHeight - 1, 0, data, 0);
        return std::vector<unsigned char>(data->GetPointer(0), data->GetPointer(0) + 3 * kWidth * kHeight);
    }
    static std::vector<int> Pixel(const std::vector<unsigned char> &pixels, double x, double y)
    {
        const unsigned char *p = &pixels[3 * (size_t(y) * kWidth + size_t(x))];
        return {p[0], p[1], p[2]};
    }

    std::unique_ptr<kelmar::Universe> universe;
    std::unique_ptr<kelmar::Scene> scene;
    std::unique_ptr<kelmar::VtkRenderHost> host;
    vtkNew<kelmar::vtkViewer> viewer;
    vtkRenderWindowInteractor *interactor = nullptr;
    vtkCamera *camera = nullptr;
};

// A viewer let go of before its window (kelmar-view failing on an unknown
// camera): the renderer holds the last reference, and the window, closing,
// takes the viewer out without using it after it is gone.
TEST_F(ViewedScene, AViewerLetGoOfBeforeItsWindowLeavesWithTheWindow)
{
    {
        vtkNew<kelmar::vtkViewer> second;
        second->SetUniverse(universe.get());
        second->SetRender(host.get());
    }
    EXPECT_EQ(host->GetRenderer()->GetViewProps()->GetNumberOfItems(), 2) << "both viewers";
    host.reset();
    EXPECT_EQ(viewer->GetRender(), nullptr);
    universe->DelScene(scene.get());
}

// For both projections, a point on the ball's surface facing the camera
// (turned off the line of sight, so that the ray misses the centre): the
// ray through its pixel hits the ball there (within 1 mm), its ends lie on
// the near and far clipping planes, and it runs from the eye (perspective)
// or along the view (parallel). (The style's own ray, through the event
// position, is what the Ctrl-drag below grabs the ball with.)
TEST_F(ViewedScene, ThePickRayThroughAPixelHitsTheBallWhereItWasProjected)
{
    for (bool parallel : {false, true}) {
        SCOPED_TRACE(parallel ? "parallel" : "perspective");
        const double *c = Ball()->GetTM()[3];
        double point[3], start[3], end[3], hit[3], range[2], d[3], off[3];
        const double eye[3] = {c[0] + 20, c[1] - 35, c[2] + 25};
        Look(eye, c, parallel);
        const double r = std::sqrt(2250.0), out[3] = {20 + 0.6 * r, -35, 25 + 0.5 * r}; // r: the eye's distance
        for (int i = 0; i < 3; ++i) point[i] = c[i] + 4 * out[i] / vtkMath::Norm(out);  // cm: the ball's radius
        const std::vector<double> display = ToDisplay(point);
        ASSERT_TRUE(kelmar::PickRay(host->GetRenderer(), display[0], display[1], start, end));
        EXPECT_EQ(universe->PickSolid(start, end, hit), Ball());
        EXPECT_LT(std::sqrt(vtkMath::Distance2BetweenPoints(hit, point)), 0.1);
        const double *position = camera->GetPosition(), *n = camera->GetDirectionOfProjection();
        camera->GetClippingRange(range);
        EXPECT_NEAR(vtkMath::Dot(start, n) - vtkMath::Dot(position, n), range[0], 1e-6);
        EXPECT_NEAR(vtkMath::Dot(end, n) - vtkMath::Dot(position, n), range[1], 1e-6);
        for (int i = 0; i < 3; ++i) d[i] = end[i] - start[i], point[i] = parallel ? n[i] : position[i] - start[i];
        vtkMath::Normalize(d);
        vtkMath::Cross(d, point, off);
        EXPECT_LT(vtkMath::Norm(off), 1e-6);
    }
}

// A plain press on the ball grabs nothing. Ctrl and the left button on it,
// then 200 px up (about 11 cm at the ball) in 30 moves and held for 70
// more, the simulation stepping with every move (0.5 s for the picking
// spring, 5 rad/s): the ball rises; release ends picking. Over empty space
// (level with the arm's top, the upper left corner) nothing is grabbed and
// the camera style turns the view.
TEST_F(ViewedScene, ACtrlDragLiftsTheBallAndADragOverNothingTurnsTheCamera)
{
    const std::vector<int> p = LookAtTheBall();
    const double startZ = Ball()->GetTM()[3][2];
    double before[3], after[3], up[3];
    Mouse(vtkCommand::LeftButtonPressEvent, p[0], p[1], false);
    EXPECT_FALSE(universe->IsPicking());
    Mouse(vtkCommand::LeftButtonReleaseEvent, p[0], p[1], false);
    Mouse(vtkCommand::LeftButtonPressEvent, p[0], p[1]);
    ASSERT_TRUE(universe->IsPicking());
    EXPECT_EQ(viewer->GetStyle()->GetKelmarState(), kelmar::vtkInteractorStyleKelmar::kDragging);
    for (int i = 1; i <= 100; ++i) Mouse(vtkCommand::MouseMoveEvent, p[0], p[1] + std::min(i, 30) * 20 / 3);
    Mouse(vtkCommand::LeftButtonReleaseEvent, p[0], p[1] + 200);
    EXPECT_FALSE(universe->IsPicking());
    EXPECT_EQ(viewer->GetStyle()->GetKelmarState(), 0);
    EXPECT_GT(Ball()->GetTM()[3][2] - startZ, 3.0) << "the ball rose " << Ball()->GetTM()[3][2] - startZ << " cm";

    const double eye[3] = {30, -60, 120}, target[3] = {30, 0, 120};
    Look(eye, target);
    camera->GetPosition(before);
    Mouse(vtkCommand::LeftButtonPressEvent, 20, kHeight - 20);
    EXPECT_FALSE(universe->IsPicking());
    for (int i = 1; i <= 20; ++i) Mouse(vtkCommand::MouseMoveEvent, 20 + 5 * i, kHeight - 20);
    Mouse(vtkCommand::LeftButtonReleaseEvent, 120, kHeight - 20);
    camera->GetPosition(after);
    camera->GetViewUp(up);
    EXPECT_GT(std::sqrt(vtkMath::Distance2BetweenPoints(before, after)) + std::fabs(up[2] - 1), 1e-3);
}

// With the pointer on the ball, each toggle key pressed twice flips its
// option of the universe, of the solid under the pointer or of the camera
// (the projection), and back; 'M' marks the solid under the pointer and
// over nothing unmarks; 's' in pause makes exactly one step and leaves the
// options as they were; 'r' aims the camera at the middle of everything
// drawn (the viewer's bounds); 'h' prints the key list; 'q' and 'e' do not
// exit.
TEST_F(ViewedScene, KeysDoWhatTheTableSays)
{
    int exits = 0;
    vtkNew<vtkCallbackCommand> onExit;
    onExit->SetClientData(&exits);
    onExit->SetCallback([](vtkObject *, unsigned long, void *count, void *) { ++*static_cast<int *>(count); });
    interactor->AddObserver(vtkCommand::ExitEvent, onExit);
    LookAtTheBall();
    const char keys[] = "pgGfcmo"; // the universe's options, the ball's, the camera's projection
    const unsigned int flags[] = {kelmar::Universe::kPause,
                                  kelmar::Universe::kShowGraphics,
                                  kelmar::Universe::kShowTextures,
                                  kelmar::Solid::kDrawForces,
                                  kelmar::Solid::kDrawContacts,
                                  kelmar::Solid::kDrawInertia,
                                  1};
    for (int k = 0; k < 7; ++k) {
        auto options = [&] {
            return k < 3 ? universe->GetOptions() : k < 6 ? Ball()->GetOptions() : camera->GetParallelProjection();
        };
        const unsigned int before = options();
        Key(keys[k]);
        EXPECT_EQ(options(), before ^ flags[k]) << keys[k];
        Key(keys[k]);
        EXPECT_EQ(options(), before) << keys[k];
    }
    Key('M');
    EXPECT_EQ(universe->GetMarkedSolid(), Ball());
    interactor->SetEventInformation(5, kHeight - 5); // sky
    Key('M');
    EXPECT_EQ(universe->GetMarkedSolid(), nullptr);
    Key('p');
    const unsigned int options = universe->GetOptions();
    const double t = universe->time;
    Key('s');
    universe->step(); // paused: nothing
    EXPECT_DOUBLE_EQ(universe->time, t + universe->timeStep);
    EXPECT_EQ(universe->GetOptions(), options);
    EXPECT_TRUE(options & kelmar::Universe::kPause);
    const double eye[3] = {500, 500, 500}, away[3] = {400, 400, 400};
    Look(eye, away);
    Key('r');
    const double *focal = camera->GetFocalPoint();
    const double *b = viewer->GetBounds();
    for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(focal[axis], 0.5 * (b[2 * axis] + b[2 * axis + 1]), 1e-6);
    testing::internal::CaptureStderr(); // the help stream
    Key('h');
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "*** list of keys definitions in Universe::draw ***\ng - toggle extra graphics\nG - toggle textures\n"
              "p - toggle pause\ns - do one simulation step\nr - reset camera to include whole scene\n"
              "f - toggle visualization of forces for selected solid\n"
              "c - toggle visualization of contacts (with friction cones)\n"
              "m - toggle visualization of center of mass\nM - mark selected solid\n\n"
              "C-r - reset universe with all its scenes\nl   - reset object's parameters only\n"
              "C-l - reset object's dynamic status (position, speed) only\n");
    for (char key : {'q', 'e', 'Q', 'E'}) Key(key);
    EXPECT_EQ(exits, 0);
}

// The resets against the scene as loaded, after moving the ball and
// changing its drawing options: 'l' keeps the options (the parameters
// saved across the reload) and puts the ball back; Ctrl-L keeps the ball
// where it is and restores the options; Ctrl-R restores both.
TEST_F(ViewedScene, ResetKeysRestoreWhatTheyDoNotKeep)
{
    double loaded[3], moved[3], now[3];
    Ball()->GetPosition(loaded);
    for (int i = 0; i < 3; ++i) moved[i] = loaded[i] + 3 + i;
    const unsigned int loadedOptions = Ball()->GetOptions(), changed = loadedOptions ^ kelmar::Solid::kDrawForces;
    const struct {
        char key;
        bool ctrl, posesKept, optionsKept;
    } cases[] = {{'l', false, false, true}, {'l', true, true, false}, {'r', true, false, false}};
    for (const auto &c : cases) {
        Ball()->SetPosition(moved);
        Ball()->SetOptions(changed);
        Key(c.key, c.ctrl);
        Ball()->GetPosition(now); // looked up again: a reset makes the solids anew
        EXPECT_LT(std::sqrt(vtkMath::Distance2BetweenPoints(now, c.posesKept ? moved : loaded)), 0.05) << c.key;
        EXPECT_EQ(Ball()->GetOptions(), c.optionsKept ? changed : loadedOptions) << c.key << c.ctrl;
    }
}

// With a step callback the style steps on its timer (its steps per tick),
// unless paused, and 's' steps through the callback too; the pointer
// leaving the window stops the timer, entering starts it, unless asked to
// step while outside.
TEST_F(ViewedScene, TheTimerStepsThroughTheCallbackUnlessPaused)
{
    int calls = 0;
    kelmar::vtkInteractorStyleKelmar *style = viewer->GetStyle();
    style->SetStepCallback([](void *count) { ++*static_cast<int *>(count); }, &calls);
    style->StartStepping(5);
    auto tick = [&](int steps) {
        style->SetStepsPerTick(steps);
        int id = style->GetStepTimerId();
        interactor->InvokeEvent(vtkCommand::TimerEvent, &id);
        return calls;
    };
    EXPECT_EQ(tick(1), 1);
    EXPECT_EQ(tick(3), 4);
    Key('p');
    EXPECT_EQ(tick(1), 4);
    Key('s');
    EXPECT_EQ(calls, 5);
    for (int outside = 0; outside < 2; ++outside) {
        style->SetStepWhilePointerOutside(outside);
        interactor->InvokeEvent(vtkCommand::LeaveEvent);
        EXPECT_EQ(style->IsStepping(), outside == 1);
        interactor->InvokeEvent(vtkCommand::EnterEvent);
        EXPECT_TRUE(style->IsStepping());
    }
    style->StopStepping();
}

// The ball red, the table top (front right, no object there) its lit
// material colour, the background the viewer's grey (0.9); without a
// universe only the background is drawn. The scene camera "demo" shows in
// the upper right corner (its own background 0.2, 0.2, 0.25); an unknown
// camera is refused by name. Moving to another renderer gives the old one
// its style back (none) and the new one the viewer's style and grey.
TEST_F(ViewedScene, TheSceneIsDrawnWhereTheCameraPutsIt)
{
    const double eye[3] = {30, -110, 130}, target[3] = {25, 0, 80}, tableTop[3] = {60, -30, 70};
    Look(eye, target);
    std::vector<unsigned char> pixels = Pixels();
    ASSERT_TRUE(viewer->DrewLastFrame()) << "the window's context cannot draw legacy OpenGL";
    const std::vector<double> at = ToDisplay(Ball()->GetTM()[3]), table = ToDisplay(tableTop);
    const std::vector<int> red = Pixel(pixels, at[0], at[1]), wood = Pixel(pixels, table[0], table[1]);
    EXPECT_TRUE(red[0] > 120 && red[1] < red[0] / 3 && red[2] < red[0] / 3) << red[0] << " " << red[1];
    EXPECT_FALSE(wood[0] == wood[1] && wood[1] == wood[2]) << "grey where the table should be";
    EXPECT_EQ(Pixel(pixels, 5, kHeight - 5), std::vector<int>(3, 230));
    viewer->SetUniverse(nullptr);
    EXPECT_EQ(viewer->GetBounds(), nullptr);
    pixels = Pixels();
    EXPECT_FALSE(viewer->DrewLastFrame());
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), pixels[0]), long(pixels.size())) << "more than the background";
    viewer->SetUniverse(universe.get());
    kelmar::CameraViewport missing, demo;
    EXPECT_FALSE(missing.Open(universe.get(), "nobody", host->GetWindow()));
    EXPECT_EQ(missing.GetError(), "no camera named 'nobody' in the scene");
    ASSERT_TRUE(demo.Open(universe.get(), "demo", host->GetWindow()) && demo.Refresh()) << demo.GetError();
    EXPECT_EQ(Pixel(Pixels(), kWidth - 40, kHeight - 12), std::vector<int>({51, 51, 64}));
    kelmar::VtkRenderHost other(160, 120, true);
    viewer->SetRender(&other);
    EXPECT_EQ(host->GetCurrentInteractorStyle(), nullptr);
    EXPECT_EQ(host->GetRenderer()->GetViewProps()->GetNumberOfItems(), 0);
    EXPECT_EQ(other.GetCurrentInteractorStyle(), viewer->GetStyle());
    EXPECT_EQ(std::vector<double>(other.GetRenderer()->GetBackground(), other.GetRenderer()->GetBackground() + 3),
              std::vector<double>(3, 0.9));
    viewer->SetRender(host.get());
}

} // namespace
