// Camera matrices: a look-at view (eye at row 3, looking at row 3 + row 2,
// up row 1) and a symmetric perspective frustum.
#include <kelmar/CameraMath.h>

#include <cmath>

#include <kelmar/PxVector.h>

namespace kelmar {

namespace {

const double kDegree = M_PI / 180;

// The eye frame: right s, up u, backward b (OpenGL looks along -b).
void EyeAxes(const double pose[4][4], double s[3], double u[3], double b[3])
{
    double f[3];
    PxV3Copy(f, pose[2]);
    PxV3Normalize(f);
    PxV3Cross(s, f, pose[1]);
    PxV3Normalize(s);
    PxV3Cross(u, s, f);
    PxV3Scale(b, f, -1);
}

} // namespace

void CameraViewMatrix(const double pose[4][4], double view[16])
{
    double s[3], u[3], b[3];
    EyeAxes(pose, s, u, b);
    const double *axes[3] = {s, u, b};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) view[4 * column + row] = axes[row][column];
        view[12 + row] = -PxV3Dot(axes[row], pose[3]);
        view[4 * row + 3] = 0;
    }
    view[15] = 1;
}

void CameraProjectionMatrix(double viewAngleDegrees, double aspect, double nearPlane, double farPlane,
                            double projection[16])
{
    const double f = 1 / std::tan(viewAngleDegrees * kDegree / 2);
    for (int i = 0; i < 16; ++i) projection[i] = 0;
    projection[0] = f / aspect;
    projection[5] = f;
    projection[10] = (farPlane + nearPlane) / (nearPlane - farPlane);
    projection[11] = -1;
    projection[14] = 2 * farPlane * nearPlane / (nearPlane - farPlane);
}

double CameraFocalLength(double viewAngleDegrees, int height)
{
    return height / 2.0 / std::tan(viewAngleDegrees * kDegree / 2);
}

bool CameraProject(const double pose[4][4], double viewAngleDegrees, int width, int height, const double *point,
                   double pixel[2])
{
    double s[3], u[3], b[3], d[3];
    EyeAxes(pose, s, u, b);
    PxV3Sub(d, point, pose[3]);
    const double depth = -PxV3Dot(d, b);
    if (depth <= 0) return false;
    const double f = CameraFocalLength(viewAngleDegrees, height);
    pixel[0] = width / 2.0 + f * PxV3Dot(d, s) / depth;
    pixel[1] = height / 2.0 + f * PxV3Dot(d, u) / depth;
    return true;
}

} // namespace kelmar
