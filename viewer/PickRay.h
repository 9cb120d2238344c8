// The ray through a display position of a renderer: through the point
// of the camera's focal plane under that position, from the camera's
// position (a perspective camera) or along its direction of projection
// (a parallel one), cut off at the near and far clipping planes.
#ifndef KELMAR_VIEWER_PICKRAY_H
#define KELMAR_VIEWER_PICKRAY_H

class vtkRenderer;

namespace kelmar {

// x, y: display pixels (origin bottom left); start, end: world (cm).
// False for a degenerate direction or a point at infinity.
bool PickRay(vtkRenderer *renderer, double x, double y, double start[3], double end[3]);

} // namespace kelmar

#endif
