/* Small inline vector and 3x3 helpers shared by the toolkit libraries.
 * Conventions: vectors are rows; a point p goes to the parent frame as
 * p R + t (PxV3MulM3), a parent vector comes back as p R^T (PxV3MulM3T). */
#ifndef KELMAR_PXVECTOR_H
#define KELMAR_PXVECTOR_H

#include <math.h>
#include "PxTypes.h"

#ifdef __cplusplus
#define PX_INLINE inline
#else
#define PX_INLINE static inline
#endif

PX_INLINE void PxV3Set(PxVector3 out, PxReal x, PxReal y, PxReal z)
{
    out[0] = x;
    out[1] = y;
    out[2] = z;
}
PX_INLINE void PxV3Copy(PxVector3 out, const PxVector3 a)
{
    out[0] = a[0];
    out[1] = a[1];
    out[2] = a[2];
}
PX_INLINE void PxV3Zero(PxVector3 out)
{
    out[0] = out[1] = out[2] = 0.0;
}
PX_INLINE void PxV3Add(PxVector3 out, const PxVector3 a, const PxVector3 b)
{
    out[0] = a[0] + b[0];
    out[1] = a[1] + b[1];
    out[2] = a[2] + b[2];
}
PX_INLINE void PxV3Sub(PxVector3 out, const PxVector3 a, const PxVector3 b)
{
    out[0] = a[0] - b[0];
    out[1] = a[1] - b[1];
    out[2] = a[2] - b[2];
}
PX_INLINE void PxV3Scale(PxVector3 out, const PxVector3 a, PxReal s)
{
    out[0] = a[0] * s;
    out[1] = a[1] * s;
    out[2] = a[2] * s;
}
/* out = a + s b */
PX_INLINE void PxV3AddScaled(PxVector3 out, const PxVector3 a, const PxVector3 b, PxReal s)
{
    out[0] = a[0] + s * b[0];
    out[1] = a[1] + s * b[1];
    out[2] = a[2] + s * b[2];
}
PX_INLINE PxReal PxV3Dot(const PxVector3 a, const PxVector3 b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
PX_INLINE PxReal PxV3LengthSquared(const PxVector3 a)
{
    return PxV3Dot(a, a);
}
PX_INLINE PxReal PxV3Length(const PxVector3 a)
{
    return sqrt(PxV3Dot(a, a));
}
PX_INLINE PxReal PxV3Distance(const PxVector3 a, const PxVector3 b)
{
    PxReal d0 = a[0] - b[0], d1 = a[1] - b[1], d2 = a[2] - b[2];
    return sqrt(d0 * d0 + d1 * d1 + d2 * d2);
}
/* out = a x b; out may alias a or b. */
PX_INLINE void PxV3Cross(PxVector3 out, const PxVector3 a, const PxVector3 b)
{
    PxReal x = a[1] * b[2] - a[2] * b[1];
    PxReal y = a[2] * b[0] - a[0] * b[2];
    PxReal z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}
/* Normalises in place; returns the old length (a zero vector is left zero). */
PX_INLINE PxReal PxV3Normalize(PxVector3 a)
{
    PxReal len = PxV3Length(a);
    if (len > 0.0) {
        a[0] /= len;
        a[1] /= len;
        a[2] /= len;
    }
    return len;
}
/* out = a M (row vector times matrix); out may alias a. */
PX_INLINE void PxV3MulM3(PxVector3 out, const PxVector3 a, const PxReal m[3][3])
{
    PxReal x = a[0] * m[0][0] + a[1] * m[1][0] + a[2] * m[2][0];
    PxReal y = a[0] * m[0][1] + a[1] * m[1][1] + a[2] * m[2][1];
    PxReal z = a[0] * m[0][2] + a[1] * m[1][2] + a[2] * m[2][2];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}
/* out = a M^T; out may alias a. */
PX_INLINE void PxV3MulM3T(PxVector3 out, const PxVector3 a, const PxReal m[3][3])
{
    PxReal x = PxV3Dot(a, m[0]), y = PxV3Dot(a, m[1]), z = PxV3Dot(a, m[2]);
    out[0] = x;
    out[1] = y;
    out[2] = z;
}
/* Direction through the rotation block of a TM: out = a R. */
PX_INLINE void PxV3MulTMDir(PxVector3 out, const PxVector3 a, const PxReal tm[4][4])
{
    PxReal x = a[0] * tm[0][0] + a[1] * tm[1][0] + a[2] * tm[2][0];
    PxReal y = a[0] * tm[0][1] + a[1] * tm[1][1] + a[2] * tm[2][1];
    PxReal z = a[0] * tm[0][2] + a[1] * tm[1][2] + a[2] * tm[2][2];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}
/* Point through a TM: out = a R + t. */
PX_INLINE void PxV3MulTM(PxVector3 out, const PxVector3 a, const PxReal tm[4][4])
{
    PxV3MulTMDir(out, a, tm);
    out[0] += tm[3][0];
    out[1] += tm[3][1];
    out[2] += tm[3][2];
}
/* Parent direction into the TM's frame: out = a R^T. */
PX_INLINE void PxV3MulTMDirInverse(PxVector3 out, const PxVector3 a, const PxReal tm[4][4])
{
    PxReal x = PxV3Dot(a, tm[0]), y = PxV3Dot(a, tm[1]), z = PxV3Dot(a, tm[2]);
    out[0] = x;
    out[1] = y;
    out[2] = z;
}
/* Parent point into the TM's frame: out = (a - t) R^T. */
PX_INLINE void PxV3MulTMInverse(PxVector3 out, const PxVector3 a, const PxReal tm[4][4])
{
    PxVector3 d;
    d[0] = a[0] - tm[3][0];
    d[1] = a[1] - tm[3][1];
    d[2] = a[2] - tm[3][2];
    PxV3MulTMDirInverse(out, d, tm);
}
PX_INLINE void PxM3Identity(PxReal m[3][3])
{
    int i, j;
    for (i = 0; i < 3; ++i)
        for (j = 0; j < 3; ++j) m[i][j] = (i == j) ? 1.0 : 0.0;
}
/* out = a b; out may not alias. */
PX_INLINE void PxM3Mul(PxReal out[3][3], const PxReal a[3][3], const PxReal b[3][3])
{
    int i, j;
    for (i = 0; i < 3; ++i)
        for (j = 0; j < 3; ++j) out[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
}
PX_INLINE void PxM3Transpose(PxReal out[3][3], const PxReal a[3][3])
{
    int i, j;
    for (i = 0; i < 3; ++i)
        for (j = 0; j < 3; ++j) out[i][j] = a[j][i];
}
PX_INLINE void PxM4Identity(PxReal m[4][4])
{
    int i, j;
    for (i = 0; i < 4; ++i)
        for (j = 0; j < 4; ++j) m[i][j] = (i == j) ? 1.0 : 0.0;
}
PX_INLINE void PxM4Copy(PxReal out[4][4], const PxReal a[4][4])
{
    int i, j;
    for (i = 0; i < 4; ++i)
        for (j = 0; j < 4; ++j) out[i][j] = a[i][j];
}

#endif
