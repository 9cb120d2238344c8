// Transforms, 3x3 matrices and quaternions. A transform (TM) stores the
// frame's axes as the rows of its rotation block R and the translation t in
// row 3; points are row vectors, p' = p R + t. The quaternion of a TM is the
// standard one of the column-vector matrix R^T.
#include "kelmar/PxMath.h"

#include <cmath>
#include <cstring>

#include "kelmar/PxMemory.h"
#include "kelmar/PxVector.h"

namespace {

// Below this absolute determinant a 3x3 matrix counts as singular.
constexpr PxReal kSingularDeterminant = 1e-12;
// |cos b| at or below this means gimbal lock in the Euler extraction.
constexpr PxReal kGimbalLockCosine = 1e-14;
// Guards the division when normalising an angular velocity.
constexpr PxReal kAxisEpsilon = 1e-14;
// Parallel or antiparallel test of PxQuaternionForRotation.
constexpr PxReal kParallelTolerance = 1e-14;
// Slerp falls back to linear interpolation when 1 - cos(angle) is this small.
constexpr PxReal kSlerpLinearThreshold = 0.05;

void SetTMColumn3(PxMatrix4 m)
{
    m[0][3] = m[1][3] = m[2][3] = 0.0;
    m[3][3] = 1.0;
}

// Two reals of a row side by side: each lane is computed as it would be on
// its own, operation for operation, so the results are the scalar ones.
typedef double Lanes __attribute__((vector_size(16)));

Lanes LoadLanes(const PxReal *p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

void StoreLanes(PxReal *p, Lanes v)
{
    std::memcpy(p, &v, sizeof v);
}

// The product of PxMatrix4TMCompound into out, which must be neither a nor
// b: the compiler then need not reload the inputs after every store, and
// the result goes straight to its place instead of through a copy. Each row
// of out is b's row times a's rows, two columns at a time; column 3 takes
// products of a's column 3 that SetTMColumn3 then overwrites.
void CompoundInto(PxReal (*__restrict out)[4], const PxReal (*__restrict a)[4], const PxReal (*__restrict b)[4])
{
    Lanes rows[3][2];
    for (int k = 0; k < 3; ++k) {
        rows[k][0] = LoadLanes(a[k]);
        rows[k][1] = LoadLanes(a[k] + 2);
    }
    for (int i = 0; i < 4; ++i) {
        const Lanes b0 = {b[i][0], b[i][0]}, b1 = {b[i][1], b[i][1]}, b2 = {b[i][2], b[i][2]};
        for (int h = 0; h < 2; ++h) {
            Lanes v = b0 * rows[0][h] + b1 * rows[1][h] + b2 * rows[2][h];
            if (i == 3) v += LoadLanes(a[3] + 2 * h);
            StoreLanes(out[i] + 2 * h, v);
        }
    }
    SetTMColumn3(out);
}

// Rotation block of a o b^-1: Rb^T Ra.
void RotationInverseSecond(PxMatrix3 r, const PxMatrix4 a, const PxMatrix4 b)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = b[0][i] * a[0][j] + b[1][i] * a[1][j] + b[2][i] * a[2][j];
}

PxReal Determinant3(const PxMatrix3 m)
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// One element against its expected value: both below tol, or a relative
// difference below tol.
bool ElementMatches(PxReal actual, PxReal expected, PxReal tol)
{
    if (std::fabs(actual) < tol) return std::fabs(expected) < tol;
    return std::fabs((expected - actual) / actual) < tol;
}

void EulerFromRotation(const PxReal m[3][3], PxVector3 angles)
{
    const PxReal sinB = m[0][2] > 1.0 ? 1.0 : (m[0][2] < -1.0 ? -1.0 : m[0][2]);
    const PxReal b = std::asin(sinB);
    if (std::fabs(std::cos(b)) > kGimbalLockCosine) {
        angles[0] = std::atan2(-m[1][2], m[2][2]);
        angles[2] = std::atan2(-m[0][1], m[0][0]);
    } else {
        // a and c turn about the same axis: all of it is put in c.
        angles[0] = 0.0;
        angles[2] = std::atan2(m[1][0], m[1][1]);
    }
    angles[1] = b;
}

// Unit vector perpendicular to a (a need not be normalised).
void Perpendicular(PxVector3 axis, const PxVector3 a)
{
    PxVector3 n;
    PxV3Copy(n, a);
    if (PxV3Normalize(n) == 0.0) PxV3Set(n, 1.0, 0.0, 0.0);
    if (n[2] < 0.5)
        PxV3Set(axis, -n[1], n[0], 0.0);
    else
        PxV3Set(axis, -n[2], 0.0, n[0]);
    if (PxV3Normalize(axis) == 0.0) PxV3Set(axis, 1.0, 0.0, 0.0);
}

} // namespace

// Both are transforms (column 3 is 0, 0, 0, 1), so only the affine part is
// multiplied: R = Rb Ra, t = tb Ra + ta. The terms left out are the zero
// products of b's column 3 with a's translation, and the unit one of row 3.
// This runs for every composite element on every step.
void PxMatrix4TMCompound(PxMatrix4 out, const PxMatrix4 a, const PxMatrix4 b)
{
    if (out != a && out != b) {
        CompoundInto(out, a, b);
        return;
    }
    PxMatrix4 product;
    CompoundInto(product, a, b);
    PxM4Copy(out, product);
}

// Rout = Rb^T Ra, tout = ta - tb Rout.
void PxMatrix4TMCompoundInverseSecond(PxMatrix4 out, const PxMatrix4 a, const PxMatrix4 b)
{
    PxMatrix3 r;
    RotationInverseSecond(r, a, b);
    PxVector3 t;
    for (int j = 0; j < 3; ++j) t[j] = a[3][j] - (b[3][0] * r[0][j] + b[3][1] * r[1][j] + b[3][2] * r[2][j]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
    for (int j = 0; j < 3; ++j) out[3][j] = t[j];
    SetTMColumn3(out);
}

void PxMatrix4TMCompoundRotationInverseSecond(PxMatrix4 out, const PxMatrix4 a, const PxMatrix4 b)
{
    PxMatrix3 r;
    RotationInverseSecond(r, a, b);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = r[i][j];
    SetTMColumn3(out);
}

// R becomes R^T; t becomes -(t R^T), using R from before the call.
void PxMatrix4TMInvert(PxMatrix4 tm)
{
    PxVector3 t;
    for (int k = 0; k < 3; ++k) t[k] = -(tm[3][0] * tm[k][0] + tm[3][1] * tm[k][1] + tm[3][2] * tm[k][2]);
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j) {
            const PxReal swap = tm[i][j];
            tm[i][j] = tm[j][i];
            tm[j][i] = swap;
        }
    for (int k = 0; k < 3; ++k) tm[3][k] = t[k];
}

void PxMatrix4TMGetEulerAngles(const PxMatrix4 tm, PxVector3 angles)
{
    PxMatrix3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = tm[i][j];
    EulerFromRotation(r, angles);
}

// The increment D is the Rodrigues matrix of the rotation by h|w| about w
// (column-vector form). Every axis row of tm is carried through it, which
// turns the frame about w in the parent frame: row i of out = D (row i)^T,
// the same motion PxQuaternionFiniteRotation gives the TM's quaternion.
void PxMatrix4TMUpdateFromVelocities(PxMatrix4 out, PxReal tolerance, PxReal h, const PxVector3 v, const PxVector3 w,
                                     const PxMatrix4 tm)
{
    PxMatrix4 result;
    PxM4Copy(result, tm);
    for (int j = 0; j < 3; ++j) result[3][j] = tm[3][j] + h * v[j];
    const PxReal n = PxV3Length(w);
    if (h >= tolerance && n >= tolerance) {
        const PxReal theta = h * n;
        const PxReal c1 = (1.0 - std::cos(theta)) / (n * n);
        const PxReal s1 = std::sin(theta) / n;
        PxMatrix3 d;
        d[0][0] = 1.0 - (w[1] * w[1] + w[2] * w[2]) * c1;
        d[1][1] = 1.0 - (w[0] * w[0] + w[2] * w[2]) * c1;
        d[2][2] = 1.0 - (w[0] * w[0] + w[1] * w[1]) * c1;
        d[0][1] = w[0] * w[1] * c1 - w[2] * s1;
        d[1][0] = w[0] * w[1] * c1 + w[2] * s1;
        d[0][2] = w[0] * w[2] * c1 + w[1] * s1;
        d[2][0] = w[0] * w[2] * c1 - w[1] * s1;
        d[1][2] = w[1] * w[2] * c1 - w[0] * s1;
        d[2][1] = w[1] * w[2] * c1 + w[0] * s1;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) result[i][j] = d[j][0] * tm[i][0] + d[j][1] * tm[i][1] + d[j][2] * tm[i][2];
    }
    SetTMColumn3(result);
    PxM4Copy(out, result);
}

int PxMatrix4IsIdentity(const PxMatrix4 m, PxReal tol)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!ElementMatches(m[i][j], i == j ? 1.0 : 0.0, tol)) return 0;
    return 1;
}

int PxMatrix4IsTM(const PxMatrix4 tm, PxReal tol)
{
    if (!(std::fabs(tm[3][3] - 1.0) < tol)) return 0;
    for (int i = 0; i < 3; ++i)
        if (!(std::fabs(tm[i][3]) < tol)) return 0;
    PxMatrix3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) r[i][j] = tm[i][j];
    return PxMatrix3IsValidOrientationMatrix(r, tol);
}

// Inverse = adjugate / determinant, by cofactors.
int PxMatrix3Invert(PxMatrix3 m)
{
    const PxReal det = Determinant3(m);
    if (!(std::fabs(det) >= kSingularDeterminant)) return 0;
    const PxReal s = 1.0 / det;
    PxMatrix3 inverse;
    inverse[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) * s;
    inverse[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * s;
    inverse[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * s;
    inverse[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) * s;
    inverse[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * s;
    inverse[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * s;
    inverse[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) * s;
    inverse[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * s;
    inverse[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * s;
    std::memcpy(m, inverse, sizeof inverse);
    return 1;
}

// Symmetric input: the inverse is symmetric too, so six cofactors suffice.
// The fourth element of each row is set to 0.
void PxMatrix3InvertTo3x4(const PxMatrix3 m, PxReal row0[4], PxReal row1[4], PxReal row2[4])
{
    const PxReal c00 = m[1][1] * m[2][2] - m[1][2] * m[1][2];
    const PxReal c01 = m[0][2] * m[1][2] - m[0][1] * m[2][2];
    const PxReal c02 = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    const PxReal c11 = m[0][0] * m[2][2] - m[0][2] * m[0][2];
    const PxReal c12 = m[0][2] * m[0][1] - m[0][0] * m[1][2];
    const PxReal c22 = m[0][0] * m[1][1] - m[0][1] * m[0][1];
    const PxReal s = 1.0 / (m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02);
    row0[0] = c00 * s;
    row0[1] = c01 * s;
    row0[2] = c02 * s;
    row0[3] = 0.0;
    row1[0] = c01 * s;
    row1[1] = c11 * s;
    row1[2] = c12 * s;
    row1[3] = 0.0;
    row2[0] = c02 * s;
    row2[1] = c12 * s;
    row2[2] = c22 * s;
    row2[3] = 0.0;
}

void PxMatrix3MakeRotationX(PxMatrix3 m, PxReal angle)
{
    const PxReal c = std::cos(angle), s = std::sin(angle);
    m[0][0] = 1.0;
    m[0][1] = 0.0;
    m[0][2] = 0.0;
    m[1][0] = 0.0;
    m[1][1] = c;
    m[1][2] = -s;
    m[2][0] = 0.0;
    m[2][1] = s;
    m[2][2] = c;
}

void PxMatrix3MakeRotationY(PxMatrix3 m, PxReal angle)
{
    const PxReal c = std::cos(angle), s = std::sin(angle);
    m[0][0] = c;
    m[0][1] = 0.0;
    m[0][2] = -s;
    m[1][0] = 0.0;
    m[1][1] = 1.0;
    m[1][2] = 0.0;
    m[2][0] = s;
    m[2][1] = 0.0;
    m[2][2] = c;
}

void PxMatrix3MakeRotationZ(PxMatrix3 m, PxReal angle)
{
    const PxReal c = std::cos(angle), s = std::sin(angle);
    m[0][0] = c;
    m[0][1] = -s;
    m[0][2] = 0.0;
    m[1][0] = s;
    m[1][1] = c;
    m[1][2] = 0.0;
    m[2][0] = 0.0;
    m[2][1] = 0.0;
    m[2][2] = 1.0;
}

void PxMatrix3FromEulerAngles(PxMatrix3 m, PxReal a, PxReal b, PxReal c)
{
    const PxReal ca = std::cos(a), sa = std::sin(a);
    const PxReal cb = std::cos(b), sb = std::sin(b);
    const PxReal cc = std::cos(c), sc = std::sin(c);
    m[0][0] = cb * cc;
    m[0][1] = -cb * sc;
    m[0][2] = sb;
    m[1][0] = ca * sc + sa * sb * cc;
    m[1][1] = ca * cc - sa * sb * sc;
    m[1][2] = -sa * cb;
    m[2][0] = sa * sc - ca * sb * cc;
    m[2][1] = ca * sb * sc + sa * cc;
    m[2][2] = ca * cb;
}

void PxMatrix3GetEulerAngles(const PxMatrix3 m, PxVector3 angles)
{
    EulerFromRotation(m, angles);
}

int PxMatrix3IsIdentity(const PxMatrix3 m, PxReal tol)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (!ElementMatches(m[i][j], i == j ? 1.0 : 0.0, tol)) return 0;
    return 1;
}

int PxMatrix3IsValidOrientationMatrix(const PxMatrix3 m, PxReal tol)
{
    // m m^T is symmetric, so its lower triangle decides.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j <= i; ++j)
            if (!ElementMatches(PxV3Dot(m[i], m[j]), i == j ? 1.0 : 0.0, tol)) return 0;
    return std::fabs(Determinant3(m) - 1.0) < tol;
}

// Trace method; without a positive trace the largest diagonal element
// (earlier index on ties) keeps the square root away from zero.
void PxQuaternionFromTM(PxQuaternion q, const PxMatrix4 tm)
{
    const PxReal trace = tm[0][0] + tm[1][1] + tm[2][2];
    if (trace > 0.0) {
        const PxReal s = std::sqrt(trace + 1.0);
        const PxReal k = 0.5 / s;
        q[0] = 0.5 * s;
        q[1] = (tm[1][2] - tm[2][1]) * k;
        q[2] = (tm[2][0] - tm[0][2]) * k;
        q[3] = (tm[0][1] - tm[1][0]) * k;
        return;
    }
    int i = 0;
    if (tm[1][1] > tm[0][0]) i = 1;
    if (tm[2][2] > tm[i][i]) i = 2;
    const int j = (i + 1) % 3;
    const int k = (j + 1) % 3;
    const PxReal s = std::sqrt(tm[i][i] - tm[j][j] - tm[k][k] + 1.0);
    const PxReal f = 0.5 / s;
    q[0] = (tm[j][k] - tm[k][j]) * f;
    q[1 + i] = 0.5 * s;
    q[1 + j] = (tm[i][j] + tm[j][i]) * f;
    q[1 + k] = (tm[i][k] + tm[k][i]) * f;
}

// Rows of the TM rotation of q: the transpose of the standard matrix. A
// quaternion that is not of unit length is normalised on the way (2/|q|^2);
// the zero quaternion gives the identity.
void PxQuaternionToMatrix3(PxMatrix3 m, const PxQuaternion q)
{
    const PxReal w = q[0], x = q[1], y = q[2], z = q[3];
    const PxReal norm2 = w * w + x * x + y * y + z * z;
    if (norm2 == 0.0) {
        PxM3Identity(m);
        return;
    }
    const PxReal s = 2.0 / norm2;
    m[0][0] = 1.0 - s * (y * y + z * z);
    m[0][1] = s * (x * y + w * z);
    m[0][2] = s * (x * z - w * y);
    m[1][0] = s * (x * y - w * z);
    m[1][1] = 1.0 - s * (x * x + z * z);
    m[1][2] = s * (y * z + w * x);
    m[2][0] = s * (x * z + w * y);
    m[2][1] = s * (y * z - w * x);
    m[2][2] = 1.0 - s * (x * x + y * y);
}

// q <- (c, s u) * q with u = w/(|w| + eps), angle |w| h.
void PxQuaternionFiniteRotation(PxQuaternion q, const PxVector3 w, PxReal h)
{
    const PxReal n = PxV3Length(w);
    const PxReal halfAngle = 0.5 * n * h;
    const PxReal s = std::sin(halfAngle), c = std::cos(halfAngle);
    PxVector3 u, v, uxv;
    PxV3Scale(u, w, 1.0 / (n + kAxisEpsilon));
    PxV3Set(v, q[1], q[2], q[3]);
    PxV3Cross(uxv, u, v);
    const PxReal w0 = q[0];
    q[0] = c * w0 - s * PxV3Dot(u, v);
    for (int i = 0; i < 3; ++i) q[1 + i] = c * v[i] + s * w0 * u[i] + s * uxv[i];
}

void PxQuaternionForRotation(PxQuaternion q, const PxVector3 a, const PxVector3 b)
{
    const PxReal d = PxV3Dot(a, b);
    PxVector3 axis;
    if (std::fabs(d - 1.0) < kParallelTolerance || std::fabs(d + 1.0) < kParallelTolerance) {
        Perpendicular(axis, a);
    } else {
        PxV3Cross(axis, a, b);
        if (PxV3Normalize(axis) == 0.0) PxV3Set(axis, 1.0, 0.0, 0.0);
    }
    // For unit a and b, cos(angle / 2) = |a + b| / 2 and sin(angle / 2) =
    // |a - b| / 2. Taken from d instead, a half turn's cosine is the square
    // root of d's round-off (1e-8 where it should be 0).
    PxVector3 sum, difference;
    PxV3Add(sum, a, b);
    PxV3Sub(difference, a, b);
    const PxReal cosHalf = 0.5 * PxV3Length(sum);
    const PxReal sinHalf = 0.5 * PxV3Length(difference);
    q[0] = cosHalf;
    for (int i = 0; i < 3; ++i) q[1 + i] = axis[i] * sinHalf;
}

void PxQuaternionSlerp(PxQuaternion out, const PxQuaternion q0, const PxQuaternion q1, PxReal t)
{
    PxReal d = q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3];
    // The shorter way round: q and -q are the same rotation.
    PxReal sign = 1.0;
    if (d < 0.0) {
        sign = -1.0;
        d = -d;
    }
    PxReal k0 = 1.0 - t, k1 = t;
    if (1.0 - d > kSlerpLinearThreshold) {
        const PxReal theta = std::acos(d);
        const PxReal sinTheta = std::sin(theta);
        k0 = std::sin((1.0 - t) * theta) / sinTheta;
        k1 = std::sin(t * theta) / sinTheta;
    }
    PxQuaternion result;
    for (int i = 0; i < 4; ++i) result[i] = q0[i] * k0 + sign * q1[i] * k1;
    std::memcpy(out, result, sizeof result);
}

// Packed upper triangle, row-major: entry (i, j), i <= j, of a side-N table
// sits at index i N + j - i (i + 1) / 2.
void *PxSymUpperDiagonalResize(int newN, int oldN, int elementSize, void *old)
{
    if (newN < 1 || oldN < 0 || elementSize < 1 || (old == nullptr && oldN > 0)) return nullptr;
    const size_t entries = static_cast<size_t>(newN) * (static_cast<size_t>(newN) + 1) / 2;
    const size_t bytesPerEntry = static_cast<size_t>(elementSize);
    char *table = static_cast<char *>(PxMemoryAPI.createZeroed(entries * bytesPerEntry));
    if (table == nullptr) return nullptr;
    const size_t copied = static_cast<size_t>(oldN < newN ? oldN : newN);
    const char *source = static_cast<const char *>(old);
    for (size_t i = 0; i < copied; ++i)
        for (size_t j = i; j < copied; ++j) {
            const size_t from = i * static_cast<size_t>(oldN) + j - i * (i + 1) / 2;
            const size_t to = i * static_cast<size_t>(newN) + j - i * (i + 1) / 2;
            std::memcpy(table + to * bytesPerEntry, source + from * bytesPerEntry, bytesPerEntry);
        }
    PxMemoryAPI.destroy(old);
    return table;
}

// h in degrees, s and v in [0, 1]; six sectors of 60 degrees.
void PxHSVtoRGB(float h, float s, float v, float rgb[3])
{
    if (s == 0.0f) {
        rgb[0] = rgb[1] = rgb[2] = v;
        return;
    }
    const float sectorValue = std::floor(h / 60.0f);
    const float f = h / 60.0f - sectorValue;
    const float p = v * (1.0f - s);
    const float q = v * (1.0f - s * f);
    const float t = v * (1.0f - s * (1.0f - f));
    const int sector = sectorValue >= 0.0f && sectorValue < 6.0f ? static_cast<int>(sectorValue) : 5;
    switch (sector) {
    case 0:
        rgb[0] = v;
        rgb[1] = t;
        rgb[2] = p;
        break;
    case 1:
        rgb[0] = q;
        rgb[1] = v;
        rgb[2] = p;
        break;
    case 2:
        rgb[0] = p;
        rgb[1] = v;
        rgb[2] = t;
        break;
    case 3:
        rgb[0] = p;
        rgb[1] = q;
        rgb[2] = v;
        break;
    case 4:
        rgb[0] = t;
        rgb[1] = p;
        rgb[2] = v;
        break;
    default:
        rgb[0] = v;
        rgb[1] = p;
        rgb[2] = q;
        break;
    }
}
