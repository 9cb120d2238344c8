// The viewer's tests: the grasp scene in a universe, shown by a viewer in
// an off-screen VTK window (which still needs an X display; without one
// each test skips), and the synthetic events a user's mouse and keys
// would send.
#ifndef KELMAR_TESTS_VIEWERTESTSUPPORT_H
#define KELMAR_TESTS_VIEWERTESTSUPPORT_H

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkNew.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkUnsignedCharArray.h>

#include <kelmar/GraphicsSetup.h>
#include <kelmar/PxStream.h>
#include <kelmar/kelmar.h>

#include "DisplayCheck.h"
#include "VtkRenderHost.h"
#include "vtkViewer.h"

namespace viewertest {

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

} // namespace viewertest

#endif
