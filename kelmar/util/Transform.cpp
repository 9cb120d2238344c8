// Transform helpers on row-vector TMs.
#include <kelmar/Transform.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>

namespace kelmar {

void NormalizeTM(double tm[4][4])
{
    PxV3Normalize(tm[0]);
    PxV3AddScaled(tm[1], tm[1], tm[0], -PxV3Dot(tm[1], tm[0]));
    PxV3Normalize(tm[1]);
    PxV3Cross(tm[2], tm[0], tm[1]);
    tm[0][3] = tm[1][3] = tm[2][3] = 0.0;
    tm[3][3] = 1.0;
}

void NormalizeQuaternion(double q[4])
{
    const double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (norm <= 0.0) {
        q[0] = 1.0;
        q[1] = q[2] = q[3] = 0.0;
        return;
    }
    for (int i = 0; i < 4; ++i) q[i] /= norm;
}

void CompoundTM(double out[4][4], const double a[4][4], const double b[4][4])
{
    PxMatrix4TMCompound(out, a, b);
}

void FrameInBody(double local[4][4], const double world[4][4], const double body[4][4])
{
    double inverse[4][4];
    PxM4Copy(inverse, body);
    PxMatrix4TMInvert(inverse);
    PxMatrix4TMCompound(local, inverse, world); // world applied to the body's inverse: inverse o world
}

void TMFromQuaternion(double tm[4][4], const double q[4], const double *position)
{
    double unit[4] = {q[0], q[1], q[2], q[3]};
    NormalizeQuaternion(unit);
    PxM4Identity(tm);
    double rotation[3][3];
    PxQuaternionToMatrix3(rotation, unit);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) tm[i][j] = rotation[i][j];
    if (position) PxV3Copy(tm[3], position);
}

bool IsRigidTM(const double tm[4][4], double tolerance)
{
    return PxMatrix4IsTM(tm, tolerance) != 0;
}

void ConvertVector(const double (*tm)[4], const double *v, double *out)
{
    if (tm)
        PxV3MulTMDir(out, v, tm);
    else
        PxV3Copy(out, v);
}

void ConvertPosition(const double (*tm)[4], const double *p, double *out)
{
    if (tm)
        PxV3MulTM(out, p, tm);
    else
        PxV3Copy(out, p);
}

// Status files must restore a state exactly, so reals are written with as
// many digits as it takes to read back the same double, and no more.
const char *FormatReal(double value, char *buffer)
{
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buffer, 32, "%.*g", digits, value);
        if (std::strtod(buffer, nullptr) == value) break;
    }
    return buffer;
}

} // namespace kelmar
