// The pinhole camera of the simulated cameras, as OpenGL matrices. A camera
// pose is a transform (rows 0..2 the camera's axes, row 3 its position,
// cm): the camera looks along its third axis (row 2) with its second axis
// (row 1) up, so its first axis (row 0) points to the image's LEFT. The
// view angle is the vertical one: f = (height / 2) / tan(angle / 2) pixels.
#ifndef KELMAR_CAMERAMATH_H
#define KELMAR_CAMERAMATH_H

namespace kelmar {

// World to eye coordinates, column-major (for glLoadMatrixd).
void CameraViewMatrix(const double pose[4][4], double view[16]);
// Perspective projection with the real aspect ratio width / height,
// column-major; near and far clipping distances in cm.
void CameraProjectionMatrix(double viewAngleDegrees, double aspect, double nearPlane, double farPlane,
                            double projection[16]);
// Focal length in pixels of an image height pixels high.
double CameraFocalLength(double viewAngleDegrees, int height);
// Where a world point appears: column from the left and row from the
// bottom, in pixels (the centre of pixel (i, j) is (i + 0.5, j + 0.5)).
// False when the point is not in front of the camera.
bool CameraProject(const double pose[4][4], double viewAngleDegrees, int width, int height, const double *point,
                   double pixel[2]);

} // namespace kelmar

#endif
