// The viewer's keys: each one's effect on the universe, on a solid or on
// the camera, the resets compared with the scene as loaded, the printed
// key list, and VTK's exit keys swallowed.
#include <cmath>
#include <cstdio>
#include <string>

#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>

#include "ViewerTestSupport.h"

namespace {

using viewertest::ViewedScene;

struct Pose {
    double p[3];
};

Pose PoseOf(const kelmar::Solid *solid)
{
    Pose pose;
    solid->GetPosition(pose.p);
    return pose;
}

double Distance(const Pose &a, const Pose &b)
{
    return std::sqrt(std::pow(a.p[0] - b.p[0], 2) + std::pow(a.p[1] - b.p[1], 2) + std::pow(a.p[2] - b.p[2], 2));
}

// In pause, 's' makes exactly one step and leaves the options as they were.
TEST_F(ViewedScene, SInPauseStepsOnceAndKeepsTheOptions)
{
    Key('p');
    const unsigned int options = universe->GetOptions();
    ASSERT_TRUE(options & kelmar::Universe::kPause);
    const double t = universe->time;
    Key('s');
    EXPECT_DOUBLE_EQ(universe->time, t + universe->timeStep);
    EXPECT_EQ(universe->GetOptions(), options);
    universe->step(); // paused: nothing
    EXPECT_DOUBLE_EQ(universe->time, t + universe->timeStep);
}

TEST_F(ViewedScene, KeysToggleTheirUniverseOptionsAndTheCamera)
{
    const struct {
        char key;
        unsigned int option;
    } toggles[] = {{'p', kelmar::Universe::kPause},
                   {'g', kelmar::Universe::kShowGraphics},
                   {'G', kelmar::Universe::kShowTextures}};
    for (const auto &t : toggles) {
        const unsigned int before = universe->GetOptions();
        Key(t.key);
        EXPECT_EQ(universe->GetOptions(), before ^ t.option) << t.key;
        Key(t.key);
        EXPECT_EQ(universe->GetOptions(), before) << t.key;
    }
    vtkCamera *camera = host->GetRenderer()->GetActiveCamera();
    const int parallel = camera->GetParallelProjection();
    Key('o');
    EXPECT_NE(camera->GetParallelProjection(), parallel);
    // 'r' aims the camera at the middle of everything drawn (the viewer's bounds).
    const double eye[3] = {500, 500, 500}, away[3] = {400, 400, 400};
    Look(eye, away);
    Key('r');
    double focal[3];
    camera->GetFocalPoint(focal);
    const double *b = viewer->GetBounds();
    for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(focal[axis], 0.5 * (b[2 * axis] + b[2 * axis + 1]), 1e-6);
}

// 'f', 'c', 'm' toggle the drawing options of the solid under the
// pointer; 'M' marks it, and over nothing unmarks.
TEST_F(ViewedScene, SolidKeysActOnTheSolidUnderThePointer)
{
    double centre[3], display[2];
    Ball()->GetPosition(centre);
    const double eye[3] = {centre[0], centre[1] - 60, centre[2] + 10};
    Look(eye, centre);
    ToDisplay(centre, display);
    interactor->SetEventInformation(static_cast<int>(display[0]), static_cast<int>(display[1]));
    const struct {
        char key;
        unsigned int option;
    } toggles[] = {
        {'f', kelmar::Solid::kDrawForces}, {'c', kelmar::Solid::kDrawContacts}, {'m', kelmar::Solid::kDrawInertia}};
    for (const auto &t : toggles) {
        const unsigned int before = Ball()->GetOptions();
        interactor->SetEventInformation(static_cast<int>(display[0]), static_cast<int>(display[1]));
        Key(t.key);
        EXPECT_EQ(Ball()->GetOptions(), before ^ t.option) << t.key;
    }
    interactor->SetEventInformation(static_cast<int>(display[0]), static_cast<int>(display[1]));
    Key('M');
    EXPECT_EQ(universe->GetMarkedSolid(), Ball());
    interactor->SetEventInformation(5, kHeight - 5); // sky
    Key('M');
    EXPECT_EQ(universe->GetMarkedSolid(), nullptr);
}

// The resets against the scene as loaded: the ball is moved and its
// drawing options changed, then 'l' keeps the options (the parameters
// saved across the reload) and puts the ball back; Ctrl-L keeps the ball
// where it is and restores the options; Ctrl-R restores both.
TEST_F(ViewedScene, ResetKeysRestoreWhatTheyDoNotKeep)
{
    const Pose loaded = PoseOf(Ball());
    const unsigned int loadedOptions = Ball()->GetOptions();
    const double moved[3] = {loaded.p[0] + 10, loaded.p[1] - 5, loaded.p[2] + 3};
    const unsigned int changed = loadedOptions ^ kelmar::Solid::kDrawForces;
    auto disturb = [&] {
        Ball()->SetPosition(moved);
        Ball()->SetOptions(changed);
    };
    const struct {
        char key;
        bool ctrl, posesKept, optionsKept;
    } cases[] = {{'l', false, false, true}, {'l', true, true, false}, {'r', true, false, false}};
    for (const auto &c : cases) {
        disturb();
        Key(c.key, c.ctrl);
        const std::string what = std::string(c.ctrl ? "Ctrl-" : "") + c.key;
        const Pose now = PoseOf(Ball()); // looked up again: a reset makes the solids anew
        EXPECT_LT(Distance(now, c.posesKept ? Pose{{moved[0], moved[1], moved[2]}} : loaded), 0.05) << what;
        EXPECT_EQ(Ball()->GetOptions(), c.optionsKept ? changed : loadedOptions) << what;
    }
}

TEST_F(ViewedScene, HPrintsTheKeyListAndQOrEDoNotExit)
{
    char *text = nullptr;
    size_t size = 0;
    FILE *help = open_memstream(&text, &size);
    viewer->GetStyle()->SetHelpStream(help);
    Key('h');
    viewer->GetStyle()->SetHelpStream(stderr);
    std::fclose(help);
    EXPECT_EQ(std::string(text, size), "*** list of keys definitions in Universe::draw ***\n"
                                       "g - toggle extra graphics\n"
                                       "G - toggle textures\n"
                                       "p - toggle pause\n"
                                       "s - do one simulation step\n"
                                       "r - reset camera to include whole scene\n"
                                       "f - toggle visualization of forces for selected solid\n"
                                       "c - toggle visualization of contacts (with friction cones)\n"
                                       "m - toggle visualization of center of mass\n"
                                       "M - mark selected solid\n"
                                       "\n"
                                       "C-r - reset universe with all its scenes\n"
                                       "l   - reset object's parameters only\n"
                                       "C-l - reset object's dynamic status (position, speed) only\n");
    free(text);

    int exits = 0;
    vtkNew<vtkCallbackCommand> onExit;
    onExit->SetClientData(&exits);
    onExit->SetCallback([](vtkObject *, unsigned long, void *count, void *) { ++*static_cast<int *>(count); });
    interactor->AddObserver(vtkCommand::ExitEvent, onExit);
    for (char key : {'q', 'e', 'Q', 'E'}) Key(key);
    EXPECT_EQ(exits, 0);
}

// With a step callback the style steps on its timer, unless paused; the
// pointer entering and leaving the window starts and stops the timer.
TEST_F(ViewedScene, TheTimerStepsThroughTheCallbackUnlessPaused)
{
    int calls = 0;
    viewer->GetStyle()->SetStepCallback([](void *count) { ++*static_cast<int *>(count); }, &calls);
    viewer->GetStyle()->StartStepping(5);
    ASSERT_TRUE(viewer->GetStyle()->IsStepping());
    // The timer's event as the interactor sends it.
    auto tick = [&] {
        int id = viewer->GetStyle()->GetStepTimerId();
        interactor->InvokeEvent(vtkCommand::TimerEvent, &id);
    };
    tick();
    EXPECT_EQ(calls, 1);
    viewer->GetStyle()->SetStepsPerTick(3);
    tick();
    EXPECT_EQ(calls, 4);
    viewer->GetStyle()->SetStepsPerTick(1);
    Key('p');
    tick();
    EXPECT_EQ(calls, 4);
    viewer->GetStyle()->SetStepsPerTick(5);
    Key('s'); // exactly one step by hand, through the callback as well
    EXPECT_EQ(calls, 5);
    // The pointer leaving the window stops the timer, entering starts it.
    interactor->InvokeEvent(vtkCommand::LeaveEvent);
    EXPECT_FALSE(viewer->GetStyle()->IsStepping());
    interactor->InvokeEvent(vtkCommand::EnterEvent);
    EXPECT_TRUE(viewer->GetStyle()->IsStepping());
    viewer->GetStyle()->SetStepWhilePointerOutside(true);
    interactor->InvokeEvent(vtkCommand::LeaveEvent);
    EXPECT_TRUE(viewer->GetStyle()->IsStepping());
    viewer->GetStyle()->StopStepping();
}

} // namespace
