#include "ViewerTestSupport.h"

#include <string>

#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkUnsignedCharArray.h>

#include <kelmar/GraphicsSetup.h>
#include <kelmar/PxStream.h>

#include "DisplayCheck.h"

namespace viewertest {

void ViewedScene::SetUp()
{
    KELMAR_NEED_DISPLAY();
    kelmar::PreferCompatibilityContext();
    kelmar::InstallGraphics();
    PxFileSearchPathAdd(KELMAR_EXAMPLES_DIR);
    universe.reset(new kelmar::Universe(1000, 1000, 1000, 20000));
    scene.reset(new kelmar::Scene((std::string(KELMAR_EXAMPLES_DIR) + "/grasp_ball.px").c_str()));
    universe->AddScene(scene.get());
    ASSERT_EQ(scene->GetLoadErrorCount(), 0);
    host.reset(new kelmar::VtkRenderHost(kWidth, kHeight, true));
    viewer->SetUniverse(universe.get());
    viewer->SetRender(host.get());
    viewer->GetStyle()->SetHelpStream(stderr);
    interactor = host->GetInteractor();
}

void ViewedScene::TearDown()
{
    if (!host) return;
    viewer->SetRender(nullptr);
    host.reset();
    universe->DelScene(scene.get());
}

void ViewedScene::Look(const double eye[3], const double target[3], bool parallel)
{
    vtkCamera *camera = host->GetRenderer()->GetActiveCamera();
    camera->SetPosition(eye[0], eye[1], eye[2]);
    camera->SetFocalPoint(target[0], target[1], target[2]);
    camera->SetViewUp(0, 0, 1);
    camera->SetViewAngle(30);
    camera->SetParallelProjection(parallel);
    camera->SetParallelScale(20);
    camera->SetClippingRange(10, 400);
    host->GetWindow()->Render();
}

void ViewedScene::ToDisplay(const double world[3], double display[2])
{
    vtkRenderer *renderer = host->GetRenderer();
    renderer->SetWorldPoint(world[0], world[1], world[2], 1);
    renderer->WorldToDisplay();
    display[0] = renderer->GetDisplayPoint()[0];
    display[1] = renderer->GetDisplayPoint()[1];
}

void ViewedScene::Press(int x, int y, bool ctrl)
{
    interactor->SetEventInformation(x, y, ctrl ? 1 : 0, 0);
    interactor->InvokeEvent(vtkCommand::LeftButtonPressEvent);
}

void ViewedScene::Move(int x, int y, bool ctrl)
{
    interactor->SetEventInformation(x, y, ctrl ? 1 : 0, 0);
    interactor->InvokeEvent(vtkCommand::MouseMoveEvent);
}

void ViewedScene::Release(int x, int y, bool ctrl)
{
    interactor->SetEventInformation(x, y, ctrl ? 1 : 0, 0);
    interactor->InvokeEvent(vtkCommand::LeftButtonReleaseEvent);
}

// Ctrl with a letter sends the control character, as X does.
void ViewedScene::Key(char key, bool ctrl)
{
    const char code = ctrl ? static_cast<char>(key & 0x1f) : key;
    interactor->SetKeyEventInformation(ctrl ? 1 : 0, 0, code, 0, nullptr);
    interactor->InvokeEvent(vtkCommand::KeyPressEvent);
    interactor->InvokeEvent(vtkCommand::CharEvent);
}

std::vector<unsigned char> ViewedScene::Pixels()
{
    host->GetWindow()->Render();
    vtkNew<vtkUnsignedCharArray> data;
    host->GetWindow()->GetPixelData(0, 0, kWidth - 1, kHeight - 1, 0, data, 0);
    const auto *p = data->GetPointer(0);
    return std::vector<unsigned char>(p, p + 3 * kWidth * kHeight);
}

} // namespace viewertest
