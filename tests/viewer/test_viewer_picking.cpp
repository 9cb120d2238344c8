// Picking through the viewer: the ray through a pixel, checked against
// points projected by VTK's own camera math and against the ball's
// sphere; Ctrl-drag pulling the ball up; a drag that grabs nothing.
#include <algorithm>
#include <cmath>

#include <vtkCamera.h>
#include <vtkMath.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>

#include "PickRay.h"
#include "ViewerTestSupport.h"

namespace {

using viewertest::ViewedScene;

// A point of the ball's surface facing a camera at eye: the centre moved
// by the radius towards eye, then turned off the line of sight by a
// little, so that the ray does not run through the centre.
void FacingPoint(const double centre[3], const double eye[3], double point[3])
{
    double towards[3] = {eye[0] - centre[0], eye[1] - centre[1], eye[2] - centre[2]};
    vtkMath::Normalize(towards);
    const double side[3] = {0.6, 0, 0.5};
    double n[3];
    for (int i = 0; i < 3; ++i) n[i] = towards[i] + side[i];
    vtkMath::Normalize(n);
    for (int i = 0; i < 3; ++i) point[i] = centre[i] + 4 * n[i]; // cm: the ball's radius
}

// For both projections: the ray through the pixel of a point on the ball
// hits the ball there (within 1 mm), its ends lie on the clipping planes,
// and it runs from the eye (perspective) or along the view (parallel).
TEST_F(ViewedScene, ThePickRayThroughAPixelHitsTheBallWhereItWasProjected)
{
    for (bool parallel : {false, true}) {
        double centre[3], point[3], display[2], start[3], end[3], hit[3];
        Ball()->GetPosition(centre);
        const double eye[3] = {centre[0] + 20, centre[1] - 35, centre[2] + 25};
        Look(eye, centre, parallel);
        FacingPoint(centre, eye, point);
        ToDisplay(point, display);
        ASSERT_TRUE(kelmar::PickRay(host->GetRenderer(), display[0], display[1], start, end)) << parallel;
        EXPECT_EQ(universe->PickSolid(start, end, hit), Ball()) << parallel;
        EXPECT_LT(std::sqrt(vtkMath::Distance2BetweenPoints(hit, point)), 0.1) << parallel;

        vtkCamera *camera = host->GetRenderer()->GetActiveCamera();
        double position[3], n[3], range[2];
        camera->GetPosition(position);
        camera->GetDirectionOfProjection(n);
        camera->GetClippingRange(range);
        const double nearDepth = vtkMath::Dot(start, n) - vtkMath::Dot(position, n);
        const double farDepth = vtkMath::Dot(end, n) - vtkMath::Dot(position, n);
        EXPECT_NEAR(nearDepth, range[0], 1e-6) << parallel;
        EXPECT_NEAR(farDepth, range[1], 1e-6) << parallel;
        // Perspective rays leave from the eye; parallel ones run along the view.
        double d[3] = {end[0] - start[0], end[1] - start[1], end[2] - start[2]}, toEye[3], off[3];
        vtkMath::Normalize(d);
        for (int i = 0; i < 3; ++i) toEye[i] = parallel ? n[i] : position[i] - start[i];
        vtkMath::Cross(d, toEye, off);
        EXPECT_LT(vtkMath::Norm(off), 1e-6) << parallel;
        // The style's ray is the one through the event position.
        double styleStart[3], styleEnd[3];
        interactor->SetEventInformation(static_cast<int>(display[0]), static_cast<int>(display[1]));
        ASSERT_TRUE(viewer->GetStyle()->GetPickRay(styleStart, styleEnd));
        ASSERT_TRUE(kelmar::PickRay(host->GetRenderer(), static_cast<int>(display[0]), static_cast<int>(display[1]),
                                    start, end));
        for (int i = 0; i < 3; ++i) EXPECT_DOUBLE_EQ(styleStart[i], start[i]);
    }
}

// Ctrl and the left button on the ball, then moves upwards: the ball
// follows (the simulation steps with every move); release ends picking.
TEST_F(ViewedScene, ACtrlDragLiftsTheBall)
{
    double centre[3], display[2], startZ;
    Ball()->GetPosition(centre);
    startZ = centre[2];
    const double eye[3] = {centre[0], centre[1] - 60, centre[2] + 10};
    Look(eye, centre);
    ToDisplay(centre, display);
    const int x = static_cast<int>(display[0]), y = static_cast<int>(display[1]);
    Press(x, y, true);
    ASSERT_TRUE(universe->IsPicking());
    EXPECT_EQ(viewer->GetStyle()->GetKelmarState(), kelmar::vtkInteractorStyleKelmar::kDragging);
    // 200 px up (about 11 cm at the ball) in 30 moves, then held for 70
    // more: 0.5 s of simulation for the picking spring (5 rad/s) to pull.
    for (int i = 1; i <= 100; ++i) Move(x, y + std::min(i, 30) * 20 / 3, true);
    Release(x, y + 200, true);
    EXPECT_FALSE(universe->IsPicking());
    EXPECT_EQ(viewer->GetStyle()->GetKelmarState(), 0);
    Ball()->GetPosition(centre);
    EXPECT_GT(centre[2] - startZ, 3.0) << "the ball rose " << centre[2] - startZ << " cm";
}

// Over empty space nothing is grabbed: the camera style turns the view.
TEST_F(ViewedScene, ADragOverNothingTurnsTheCamera)
{
    const double eye[3] = {30, -60, 120}, target[3] = {30, 0, 120};
    Look(eye, target); // level with the arm's top: the upper left corner is empty
    double before[3], after[3];
    host->GetRenderer()->GetActiveCamera()->GetPosition(before);
    Press(20, kHeight - 20, true);
    EXPECT_FALSE(universe->IsPicking());
    for (int i = 1; i <= 20; ++i) Move(20 + 5 * i, kHeight - 20, true);
    Release(120, kHeight - 20, true);
    host->GetRenderer()->GetActiveCamera()->GetPosition(after);
    double viewUp[3];
    host->GetRenderer()->GetActiveCamera()->GetViewUp(viewUp);
    EXPECT_GT(std::sqrt(vtkMath::Distance2BetweenPoints(before, after)) + std::fabs(viewUp[2] - 1), 1e-3)
        << "the camera did not move";
}

} // namespace
