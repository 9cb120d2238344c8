// kelmar-view: a window on a scene description file, stepped on a timer,
// with the viewer's mouse and keys; optionally a grasp controller and a
// phase file (as kelmar-run runs them) and a scene camera's live picture.
// Without a display it says so and exits with status 2.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include <vtkCallbackCommand.h>
#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkNew.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>

#include <vtkUnsignedCharArray.h>

#include <kelmar/GraphicsSetup.h>
#include <kelmar/Image.h>
#include <kelmar/PxStream.h>
#include <kelmar/kelmar.h>

#include "CameraViewport.h"
#include "DisplayCheck.h"
#include "RunGrasp.h"
#include "RunPhases.h"
#include "RunSceneFile.h"
#include "ViewOptions.h"
#include "ViewerOverlay.h"
#include "VtkRenderHost.h"
#include "vtkViewer.h"

namespace {

using Clock = std::chrono::steady_clock;

// What one timer tick does: the phases' joint targets, the grasp
// controller and a universe step; and the status line before each frame.
struct Demo {
    kelmar::Universe *universe = nullptr;
    std::unique_ptr<krun::Schedule> schedule;
    std::unique_ptr<krun::GraspRun> grasp;
    kelmar::ViewerOverlay overlay;
    kelmar::CameraViewport camera;
    bool showCamera = false;
    int stepsPerFrame = 1;
    long steps = 0;
    Clock::time_point start = Clock::now();

    void Step()
    {
        const int step = static_cast<int>(steps);
        if (schedule) schedule->drive(step);
        const bool grasping = grasp && (!schedule || schedule->grasping(step));
        if (grasping) grasp->before();
        universe->step();
        if (grasping) grasp->after(step, universe->time);
        ++steps;
        if (showCamera && steps % stepsPerFrame == 0) camera.Refresh();
    }
    void Frame()
    {
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        overlay.Update(universe->time, steps, wall, (universe->GetOptions() & kelmar::Universe::kPause) != 0);
    }
    static void StepCallback(void *self) { static_cast<Demo *>(self)->Step(); }
    static void FrameCallback(vtkObject *, unsigned long, void *self, void *) { static_cast<Demo *>(self)->Frame(); }
};

int failed(const std::string &what)
{
    std::fprintf(stderr, "kelmar-view: %s\n", what.c_str());
    return 1;
}

void searchBesideScene(const std::string &scene)
{
    const size_t slash = scene.rfind('/');
    PxFileSearchPathAdd(slash == std::string::npos ? "." : scene.substr(0, slash).c_str());
}

// From in front of the scene, a little to the right and above.
void frameScene(vtkRenderer *renderer)
{
    vtkCamera *camera = renderer->GetActiveCamera();
    camera->SetFocalPoint(0, 0, 0);
    camera->SetPosition(0.6, -1, 0.55);
    camera->SetViewUp(0, 0, 1);
    renderer->ResetCamera();
    camera->Dolly(1.4);
    renderer->ResetCameraClippingRange();
}

// The window's pixels as a PNG.
bool saveScreenshot(vtkRenderWindow *window, const std::string &file, std::string &error)
{
    window->Render();
    const int *size = window->GetSize();
    vtkNew<vtkUnsignedCharArray> pixels;
    window->GetPixelData(0, 0, size[0] - 1, size[1] - 1, 0, pixels, 0);
    return kelmar::SavePNG(file.c_str(), pixels->GetPointer(0), size[0], size[1], true, &error);
}

} // namespace

int main(int argc, char **argv)
{
    kview::Options o;
    const std::string problem = kview::parseOptions(argc, argv, o);
    if (!problem.empty() || o.help) {
        std::fprintf(problem.empty() ? stdout : stderr, "%s%s%s%s",
                     problem.empty() ? "" : "kelmar-view: ", problem.c_str(), problem.empty() ? "" : "\n\n",
                     kview::usageText().c_str());
        return problem.empty() ? 0 : 2;
    }
    if (!kelmar::DisplayAvailable()) {
        std::fprintf(stderr,
                     "kelmar-view: no display to open a window on (DISPLAY is '%s'); "
                     "`make run` runs the demo headless\n",
                     getenv("DISPLAY") ? getenv("DISPLAY") : "");
        return 2;
    }
    kelmar::PreferCompatibilityContext();
    searchBesideScene(o.scene);
    kelmar::InstallGraphics();
    kelmar::Universe universe(1000, 1000, 1000, 20000);
    kelmar::Scene scene(o.scene.c_str());
    universe.AddScene(&scene);
    const krun::SceneInUniverse added{universe, scene};
    const std::string otherKind = krun::toolkitFileProblem(scene, o.scene);
    if (!otherKind.empty()) return failed(otherKind);
    if (scene.GetLoadErrorCount() > 0) return failed("'" + o.scene + "' did not load");

    Demo demo;
    demo.universe = &universe;
    std::string bindProblem;
    if (!o.phases.empty()) {
        std::vector<krun::Phase> phases;
        const std::string phaseProblem = krun::readPhases(o.phases, phases);
        if (!phaseProblem.empty()) return failed(phaseProblem);
        demo.schedule.reset(new krun::Schedule(scene, phases, universe.timeStep, bindProblem));
    }
    if (bindProblem.empty() && !o.grasp.empty()) {
        krun::Options runOptions;
        runOptions.grasp = o.grasp;
        demo.grasp.reset(new krun::GraspRun(scene, runOptions, bindProblem));
    }
    if (!bindProblem.empty()) return failed(bindProblem);

    kelmar::VtkRenderHost host(1024, 768, !o.screenshot.empty());
    host.GetWindow()->SetWindowName(("kelmar-view " + o.scene).c_str());
    vtkNew<kelmar::vtkViewer> viewer;
    viewer->SetUniverse(&universe);
    viewer->SetRender(&host);
    host.GetRenderer()->AddActor2D(demo.overlay.GetActor());
    frameScene(host.GetRenderer());
    if (!o.camera.empty() && !demo.camera.Open(&universe, o.camera, host.GetWindow()))
        return failed(demo.camera.GetError());
    demo.showCamera = !o.camera.empty();
    vtkNew<vtkCallbackCommand> frame;
    frame->SetCallback(&Demo::FrameCallback);
    frame->SetClientData(&demo);
    host.GetWindow()->AddObserver(vtkCommand::StartEvent, frame);

    kelmar::vtkInteractorStyleKelmar *style = viewer->GetStyle();
    style->SetStepCallback(&Demo::StepCallback, &demo);
    style->SetStepWhilePointerOutside(true);
    // 20 ms of simulated time a frame: real time at 50 frames per second.
    demo.stepsPerFrame = std::max(1, static_cast<int>(std::lround(0.02 / universe.timeStep)));
    style->SetStepsPerTick(demo.stepsPerFrame);
    if (!o.screenshot.empty()) {
        for (int i = 0; i < o.steps; ++i) demo.Step();
        std::string error;
        if (demo.showCamera) demo.camera.Refresh();
        const bool saved = saveScreenshot(host.GetWindow(), o.screenshot, error);
        viewer->SetRender(nullptr);
        universe.DelScene(&scene);
        return saved ? 0 : failed("cannot write '" + o.screenshot + "': " + error);
    }
    host.GetInteractor()->Initialize();
    style->StartStepping(10);
    if (demo.showCamera) demo.camera.Refresh();
    host.GetWindow()->Render();
    host.GetInteractor()->Start();

    style->StopStepping();
    viewer->SetRender(nullptr);
    if (demo.grasp) std::printf("%s\n", krun::verdictLine(demo.grasp->verdict()).c_str());
    universe.DelScene(&scene);
    return 0;
}
