// With d the ray's unit direction and n the direction of projection, a
// point at distance c in front of the camera along n lies at c / (d . n)
// along d; in parallel projection d = n and the ray starts from the
// focal-plane point moved back to the camera's plane.
#include "PickRay.h"

#include <vtkCamera.h>
#include <vtkMath.h>
#include <vtkRenderer.h>

namespace kelmar {

namespace {

const double kTiny = 1e-12;

// The world point on the focal plane under (x, y); false at infinity.
bool FocalPlanePoint(vtkRenderer *renderer, double x, double y, double point[3])
{
    vtkCamera *camera = renderer->GetActiveCamera();
    double focal[4] = {0, 0, 0, 1}, world[4];
    camera->GetFocalPoint(focal);
    renderer->SetWorldPoint(focal);
    renderer->WorldToDisplay();
    const double depth = renderer->GetDisplayPoint()[2];
    renderer->SetDisplayPoint(x, y, depth);
    renderer->DisplayToWorld();
    renderer->GetWorldPoint(world);
    if (world[3] == 0) return false;
    for (int i = 0; i < 3; ++i) point[i] = world[i] / world[3];
    return true;
}

} // namespace

bool PickRay(vtkRenderer *renderer, double x, double y, double start[3], double end[3])
{
    vtkCamera *camera = renderer ? renderer->GetActiveCamera() : nullptr;
    double point[3], position[3], n[3], d[3], range[2];
    if (!camera || !FocalPlanePoint(renderer, x, y, point)) return false;
    camera->GetPosition(position);
    camera->GetDirectionOfProjection(n);
    camera->GetClippingRange(range);
    const bool parallel = camera->GetParallelProjection() != 0;
    for (int i = 0; i < 3; ++i) d[i] = parallel ? n[i] : point[i] - position[i];
    if (vtkMath::Normalize(d) < kTiny) return false;
    const double cosine = vtkMath::Dot(d, n);
    if (cosine < kTiny) return false;
    double origin[3];
    const double depth = parallel ? vtkMath::Dot(point, n) - vtkMath::Dot(position, n) : 0;
    for (int i = 0; i < 3; ++i) origin[i] = parallel ? point[i] - depth * n[i] : position[i];
    for (int i = 0; i < 3; ++i) {
        start[i] = origin[i] + range[0] / cosine * d[i];
        end[i] = origin[i] + range[1] / cosine * d[i];
    }
    return true;
}

} // namespace kelmar
