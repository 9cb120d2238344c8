// Frames per second of the viewer on the grasp scene while it steps: one
// simulation step and one rendered frame of a 1024 x 768 window at a time,
// as kelmar-view's timer does (make bench, under Xvfb without a display).
// Argument: the number of frames (default 300).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <vtkCamera.h>
#include <vtkNew.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

#include <kelmar/GraphicsSetup.h>
#include <kelmar/PxStream.h>
#include <kelmar/kelmar.h>

#include "DisplayCheck.h"
#include "VtkRenderHost.h"
#include "vtkViewer.h"

int main(int argc, char **argv)
{
    if (!kelmar::DisplayAvailable()) {
        std::printf("bench_viewer: no X display, skipped (run under xvfb-run)\n");
        return 0;
    }
    kelmar::PreferCompatibilityContext();
    kelmar::InstallGraphics();
    PxFileSearchPathAdd(KELMAR_EXAMPLES);
    kelmar::Universe universe(1000, 1000, 1000, 20000);
    kelmar::Scene scene((std::string(KELMAR_EXAMPLES) + "/grasp_ball.px").c_str());
    universe.AddScene(&scene);
    kelmar::VtkRenderHost host(1024, 768, false);
    vtkNew<kelmar::vtkViewer> viewer;
    viewer->SetUniverse(&universe);
    viewer->SetRender(&host);
    host.GetRenderer()->GetActiveCamera()->SetPosition(0.6, -1, 0.55);
    host.GetRenderer()->ResetCamera();
    for (int i = 0; i < 10; ++i) host.GetWindow()->Render(); // display lists made, caches warm
    const int frames = argc > 1 ? std::atoi(argv[1]) : 300;  // frames measured
    using Clock = std::chrono::steady_clock;
    double stepping = 0, rendering = 0; // s
    for (int i = 0; i < frames; ++i) {
        const auto t0 = Clock::now();
        universe.step();
        const auto t1 = Clock::now();
        host.GetWindow()->Render();
        stepping += std::chrono::duration<double>(t1 - t0).count();
        rendering += std::chrono::duration<double>(Clock::now() - t1).count();
    }
    const double seconds = stepping + rendering;
    std::printf("bench_viewer: grasp_ball.px, %d frames of 1024 x 768 with a step each in %.2f s: %.1f frames/s "
                "(%.1f ms a step, %.1f ms a frame)%s\n",
                frames, seconds, frames / seconds, 1e3 * stepping / frames, 1e3 * rendering / frames,
                viewer->DrewLastFrame() ? "" : " (NOT DRAWN: core profile)");
    viewer->SetRender(nullptr);
    universe.DelScene(&scene);
    return 0;
}
