// Script entries of the free functions: vectors between frames, the
// quaternion, Euler-angle and transform conversions, and lines and arrows
// drawn at once (inside a drawing pass, through the graphics backend).
// Quaternions are w, x, y, z; Euler angles are as the toolkit's matrices
// take them.
#include <cmath>
#include <cstring>

#include <kelmar/Graphics.h>
#include <kelmar/PxMath.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>

#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

const double kIdentity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

// v from the frame from into the frame to (world for null); as a position
// (rotation and translation) or a direction (rotation only).
void Convert(const double from[4][4], const double to[4][4], bool position, const double v[3], double out[3])
{
    double world[3], inverse[4][4];
    std::memcpy(inverse, to, sizeof inverse);
    PxMatrix4TMInvert(inverse);
    if (position) {
        ConvertPosition(from, v, world);
        ConvertPosition(inverse, world, out);
    } else {
        ConvertVector(from, v, world);
        ConvertVector(inverse, world, out);
    }
}

void FrameOf(KelmarCall *c, int k, const char *label, double tm[4][4])
{
    if (!OptionalReals(c, k, label, 16, &tm[0][0])) std::memcpy(tm, kIdentity, sizeof kIdentity);
}

void ConvertBetweenTMs(KelmarCall *c)
{
    const char *label = "TM:ConvertVector";
    double v[3], from[4][4], to[4][4], out[3];
    Reals(c, 0, label, 3, v);
    FrameOf(c, 2, label, from);
    FrameOf(c, 3, label, to);
    Convert(from, to, Int(c, 4, label) != 0, v, out);
    PutReals(c, 1, label, out, 3);
}

const double (*SolidFrame(KelmarCall *c, int k, const char *label))[4]
{
    auto *solid = static_cast<DfxSolid *>(Object(c, k, label));
    return solid ? solid->Require()->GetTM() : kIdentity;
}

void ConvertBetweenSolids(KelmarCall *c)
{
    const char *label = "Solid:ConvertVector";
    double v[3], out[3];
    Reals(c, 0, label, 3, v);
    Convert(SolidFrame(c, 2, label), SolidFrame(c, 3, label), Int(c, 4, label) != 0, v, out);
    PutReals(c, 1, label, out, 3);
}

void QuaternionMake(KelmarCall *c)
{
    const char *label = "vx:QuaternionMake";
    double axis[3];
    Reals(c, 1, label, 3, axis);
    const double half = Real(c, 2, label) / 2,
                 length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    const double s = length > 0 ? std::sin(half) / length : 0;
    const double q[4] = {std::cos(half), axis[0] * s, axis[1] * s, axis[2] * s};
    PutReals(c, 0, label, q, 4);
}

// r = q p (Hamilton product: p turned first, then q).
void QuaternionProduct(KelmarCall *c)
{
    const char *label = "vx:QuaternionProduct";
    double q[4], p[4];
    Reals(c, 1, label, 4, q);
    Reals(c, 2, label, 4, p);
    const double r[4] = {
        q[0] * p[0] - q[1] * p[1] - q[2] * p[2] - q[3] * p[3], q[0] * p[1] + q[1] * p[0] + q[2] * p[3] - q[3] * p[2],
        q[0] * p[2] - q[1] * p[3] + q[2] * p[0] + q[3] * p[1], q[0] * p[3] + q[1] * p[2] - q[2] * p[1] + q[3] * p[0]};
    PutReals(c, 0, label, r, 4);
}

void QuaternionFromTM(KelmarCall *c)
{
    const char *label = "vx:QuaternionFromTM";
    double tm[4][4], q[4];
    Transform(c, 1, label, tm);
    PxQuaternionFromTM(q, tm);
    PutReals(c, 0, label, q, 4);
}

void QuaternionFromEuler(KelmarCall *c)
{
    const char *label = "vx:QuaternionFromEuler";
    double euler[3], tm[4][4], q[4];
    const double origin[3] = {0, 0, 0};
    Reals(c, 1, label, 3, euler);
    TMFromEulerAndPos(tm, euler, origin);
    PxQuaternionFromTM(q, tm);
    PutReals(c, 0, label, q, 4);
}

void EulerFromQuaternion(KelmarCall *c)
{
    const char *label = "vx:EulerFromQuaternion";
    double q[4], tm[4][4], euler[3], position[3];
    const double origin[3] = {0, 0, 0};
    Reals(c, 1, label, 4, q);
    TMFromQuaternion(tm, q, origin);
    EulerAndPosFromTM(tm, euler, position);
    PutReals(c, 0, label, euler, 3);
}

// A direction of any length, as a unit vector.
void Direction(KelmarCall *c, int k, const char *label, double v[3])
{
    Reals(c, k, label, 3, v);
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0) prog_throw(kHostExceptionIds[kBadArgValue], "%s: a zero vector has no direction\n", label);
    for (int i = 0; i < 3; ++i) v[i] /= length;
}

// The shortest turn that takes the direction of vector1 onto vector2's.
void QuaternionForRotation(KelmarCall *c)
{
    const char *label = "vx:QuaternionForRotation";
    double a[3], b[3], q[4];
    Direction(c, 1, label, a);
    Direction(c, 2, label, b);
    PxQuaternionForRotation(q, a, b);
    PutReals(c, 0, label, q, 4);
}

void TMFromEulerAndPosition(KelmarCall *c)
{
    const char *label = "vx:TMFromEulerAndPos";
    double euler[3], position[3], tm[4][4];
    Reals(c, 1, label, 3, euler);
    Reals(c, 2, label, 3, position);
    TMFromEulerAndPos(tm, euler, position);
    PutTransform(c, 0, label, tm);
}

void EulerAndPositionFromTM(KelmarCall *c)
{
    const char *label = "vx:EulerAndPosFromTM";
    double tm[4][4], euler[3], position[3];
    Transform(c, 0, label, tm);
    EulerAndPosFromTM(tm, euler, position);
    PutReals(c, 1, label, euler, 3);
    PutReals(c, 2, label, position, 3);
}

// ---- Immediate drawing: points in the base frame (world without one) ----
const float kDefaultInk[4] = {0, 0, 0, 1}; // without a colour: opaque black

void Ink(KelmarCall *c, int k, const char *label, float rgba[4])
{
    double given[4];
    const bool has = OptionalReals(c, k, label, 4, given);
    for (int i = 0; i < 4; ++i) rgba[i] = has ? static_cast<float>(given[i]) : kDefaultInk[i];
}

// The base frame, or null for the world (the drawing helpers' convention).
const double (*BaseFrame(KelmarCall *c, int k, const char *label, double tm[4][4]))[4]
{
    return OptionalReals(c, k, label, 16, &tm[0][0]) ? tm : nullptr;
}

void DrawLineEntry(KelmarCall *c)
{
    const char *label = "vx:DrawLine";
    double from[3], to[3], base[4][4], a[3], b[3];
    float rgba[4];
    Reals(c, 0, label, 3, from);
    Reals(c, 1, label, 3, to);
    Ink(c, 2, label, rgba);
    const double(*frame)[4] = BaseFrame(c, 3, label, base);
    ConvertPosition(frame, from, a);
    ConvertPosition(frame, to, b);
    DrawLine(a, b, rgba);
}

// A frame at p whose x axis is the unit vector x (y and z complete it).
void FrameAlong(const double x[3], const double p[3], double tm[4][4])
{
    const double helper[3] = {std::fabs(x[0]) < 0.9 ? 1.0 : 0.0, std::fabs(x[0]) < 0.9 ? 0.0 : 1.0, 0};
    double y[3] = {helper[1] * x[2] - helper[2] * x[1], helper[2] * x[0] - helper[0] * x[2],
                   helper[0] * x[1] - helper[1] * x[0]};
    const double ny = std::sqrt(y[0] * y[0] + y[1] * y[1] + y[2] * y[2]);
    for (double &v : y) v /= ny;
    const double z[3] = {x[1] * y[2] - x[2] * y[1], x[2] * y[0] - x[0] * y[2], x[0] * y[1] - x[1] * y[0]};
    for (int i = 0; i < 3; ++i) tm[0][i] = x[i], tm[1][i] = y[i], tm[2][i] = z[i], tm[3][i] = p[i];
    tm[0][3] = tm[1][3] = tm[2][3] = 0;
    tm[3][3] = 1;
}

// An arrow from pFrom along pDir (its length the vector's); a zero vector draws nothing.
void DrawArrowEntry(KelmarCall *c)
{
    const char *label = "vx:DrawArrow";
    double from[3], dir[3], base[4][4], local[4][4], world[4][4];
    float rgba[4];
    Reals(c, 0, label, 3, from);
    Reals(c, 1, label, 3, dir);
    Ink(c, 2, label, rgba);
    const double(*frame)[4] = BaseFrame(c, 3, label, base);
    const double width = Real(c, 4, label);
    const double length = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
    if (length == 0) return;
    for (double &v : dir) v /= length;
    FrameAlong(dir, from, local);
    // Row vectors: a point p of the arrow's frame is p local base in the world.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            world[i][j] = 0;
            for (int k = 0; k < 4; ++k) world[i][j] += local[i][k] * (frame ? frame[k][j] : kIdentity[k][j]);
        }
    DrawArrow(world, length, width, rgba);
}

const NamedEntry kEntries[] = {
    {"Solid_ConvertVector", ConvertBetweenSolids},
    {"TM_ConvertVector", ConvertBetweenTMs},
    {"vx_QuaternionMake", QuaternionMake},
    {"vx_QuaternionProduct", QuaternionProduct},
    {"vx_QuaternionFromTM", QuaternionFromTM},
    {"vx_QuaternionFromEuler", QuaternionFromEuler},
    {"vx_EulerFromQuaternion", EulerFromQuaternion},
    {"vx_QuaternionForRotation", QuaternionForRotation},
    {"vx_TMFromEulerAndPos", TMFromEulerAndPosition},
    {"vx_EulerAndPosFromTM", EulerAndPositionFromTM},
    {"vx_DrawArrow", DrawArrowEntry},
    {"vx_DrawLine", DrawLineEntry},
};

} // namespace

EntryList FreeFunctionEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
