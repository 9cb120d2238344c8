// The vtkViewer unit in the stand-in's renderer (an off-screen window,
// which still needs an X display: these tests skip without one). The
// universe's solids show in the picture, the unit's removal takes the viewer
// out, and a program connected after "Simulation|Step" is what the style
// steps when the keys pause and step (what each key does is tried on the
// viewer alone, tests/viewer; the script class from Python,
// tests/python/test_viewer.py).
#include <vector>

#include <vtkCommand.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkUnsignedCharArray.h>

#include <dfx/render.h>

#include "DisplayCheck.h"
#include "HostTestSupport.h"
#include "VtkRenderHost.h"
#include "vtk/DfxKelmarViewer.h"

namespace {

class ViewerUnit : public hosttest::HostTest {
public:
    static const int kWidth = 160, kHeight = 120; // px
    void SetUp() override
    {
        if (!kelmar::DisplayAvailable()) GTEST_SKIP() << "no X display (run under xvfb-run)";
        HostTest::SetUp();
        ASSERT_TRUE(dfx::AddRenderIcon());
        render = Make("render", "view", {"160", "120", "1"});
        ASSERT_NE(nullptr, render);
        Blocks();
    }
    void TearDown() override
    {
        if (program) HostTest::TearDown(); // not when skipped
    }
    kelmar::VtkRenderHost *Host() const
    {
        return static_cast<kelmar::VtkRenderHost *>(static_cast<kelmar::RenderHost *>(dfx_unit_data(render)));
    }
    kelmar::DfxUniverse *Universe() { return Object<kelmar::DfxUniverse>("universe"); }
    int Props() const { return Host()->GetRenderer()->GetViewProps()->GetNumberOfItems(); }
    // Pixels that are not the viewer's grey background, of a picture of the whole scene.
    int Drawn()
    {
        Host()->GetRenderer()->ResetCamera();
        Host()->GetWindow()->Render();
        vtkNew<vtkUnsignedCharArray> data;
        Host()->GetWindow()->GetPixelData(0, 0, kWidth - 1, kHeight - 1, 0, data, 0);
        int drawn = 0;
        for (vtkIdType i = 0; i < data->GetNumberOfValues(); i += 3)
            drawn += std::abs(data->GetValue(i) - 229) + std::abs(data->GetValue(i + 1) - 229) > 6;
        return drawn;
    }
    void Key(char key)
    {
        vtkRenderWindowInteractor *interactor = Host()->GetInteractor();
        interactor->SetKeyEventInformation(0, 0, key, 0, nullptr);
        interactor->InvokeEvent(vtkCommand::CharEvent);
    }
    kelmar::vtkInteractorStyleKelmar *Style()
    {
        return kelmar::vtkInteractorStyleKelmar::SafeDownCast(Host()->GetCurrentInteractorStyle());
    }

    DfxUnit *render = nullptr;
};

TEST_F(ViewerUnit, TheUniversesSolidsShowUntilTheUnitIsRemoved)
{
    DfxUnit *viewer = Make("vtkViewer", "viewer", {"universe", "view"});
    ASSERT_EQ(1, Props());
    EXPECT_GT(Drawn(), kWidth * kHeight / 50); // the floor, blocks and arm cover a good part
    EXPECT_NE(nullptr, Style());
    dfx::DeleteUnit(viewer);
    EXPECT_EQ(0, Props());
    EXPECT_EQ(nullptr, Style()); // the renderer's own style again
    EXPECT_EQ(0, Drawn());       // the grey it was given, and nothing on it
}

TEST_F(ViewerUnit, AProgramConnectedAfterTheStepMethodIsWhatTheStyleSteps)
{
    DfxUnit *viewer = Make("vtkViewer", "viewer", {"universe", "view"});
    vtkRenderWindowInteractor *interactor = Host()->GetInteractor();
    interactor->InvokeEvent(vtkCommand::EnterEvent);
    EXPECT_FALSE(Style()->IsStepping()); // nothing connected: no timer
    interactor->InvokeEvent(vtkCommand::LeaveEvent);
    // The connected program resets the universe, so a step that runs it
    // cannot be mistaken for the universe stepping itself.
    dfx::SetSuccessor(At("viewer.Simulation|Step"), At("universe.reset"));
    ASSERT_TRUE(dfx::Execute(viewer));
    interactor->InvokeEvent(vtkCommand::EnterEvent);
    EXPECT_TRUE(Style()->IsStepping());
    interactor->InvokeEvent(vtkCommand::LeaveEvent);
    EXPECT_FALSE(Style()->IsStepping());
    Universe()->step();
    ASSERT_GT(Universe()->time, 0);
    Key('p');
    Key('s');
    EXPECT_EQ(0, Universe()->time);
}

TEST_F(ViewerUnit, ARendererThatGoesTakesItsViewerOut)
{
    DfxUnit *viewer = Make("vtkViewer", "viewer", {"universe", "view"});
    auto *prop = static_cast<kelmar::vtkViewer *>(Host()->GetRenderer()->GetViewProps()->GetItemAsObject(0));
    ASSERT_NE(nullptr, prop);
    dfx::DeleteUnit(render);
    EXPECT_EQ(nullptr, prop->GetRender());
    EXPECT_TRUE(dfx::Execute(viewer)); // finds no renderer now, and says nothing
}

} // namespace
