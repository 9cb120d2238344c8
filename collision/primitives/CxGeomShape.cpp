// Placed convex primitives: support points, line clipping and shrinking.
#include "primitives/CxGeomShape.h"

namespace {

void setFrame(CxShape *shape, CxShapeKind kind, const PxMatrix4 tm)
{
    shape->kind = kind;
    if (tm)
        PxM4Copy(shape->tm, tm);
    else
        PxM4Identity(shape->tm);
    PxV3Zero(shape->size);
    shape->baseZ = shape->topZ = 0.0;
}

PxReal signWithin(PxReal value, PxReal zeroLimit)
{
    if (value > zeroLimit) return 1.0;
    if (value < -zeroLimit) return -1.0;
    return 0.0;
}

// Support of a solid of revolution about local z bounded by a base rim
// (radius baseR at z = baseZ) and a top rim (topR at topZ): the farther of
// the two rim points in the direction, or the midpoint of the side line
// when both are equally far.
void rimSupport(PxReal baseR, PxReal baseZ, PxReal topR, PxReal topZ, const PxVector3 localDir, PxReal zeroLimit,
                PxVector3 out)
{
    PxReal radial = sqrt(localDir[0] * localDir[0] + localDir[1] * localDir[1]);
    PxReal ux = 0.0, uy = 0.0;
    if (radial > zeroLimit && radial > 0.0) {
        ux = localDir[0] / radial;
        uy = localDir[1] / radial;
    }
    PxReal baseReach = baseR * radial + baseZ * localDir[2];
    PxReal topReach = topR * radial + topZ * localDir[2];
    PxReal scale = fabs(baseR) + fabs(topR) + fabs(baseZ) + fabs(topZ);
    if (fabs(baseReach - topReach) <= zeroLimit * scale) {
        PxReal r = 0.5 * (baseR + topR);
        PxV3Set(out, r * ux, r * uy, 0.5 * (baseZ + topZ));
    } else if (baseReach > topReach) {
        PxV3Set(out, baseR * ux, baseR * uy, baseZ);
    } else {
        PxV3Set(out, topR * ux, topR * uy, topZ);
    }
}

void localSupport(const CxShape *shape, const PxVector3 localDir, PxReal zeroLimit, PxVector3 out)
{
    PxV3Zero(out);
    switch (shape->kind) {
    case CxShapeSphere: PxV3Scale(out, localDir, shape->size[0]); break;
    case CxShapeBox:
        for (int i = 0; i < 3; ++i) out[i] = signWithin(localDir[i], zeroLimit) * shape->size[i];
        break;
    case CxShapeCylinder: {
        PxReal radial = sqrt(localDir[0] * localDir[0] + localDir[1] * localDir[1]);
        PxReal scale = (radial > zeroLimit && radial > 0.0) ? shape->size[0] / radial : 0.0;
        PxV3Set(out, localDir[0] * scale, localDir[1] * scale, signWithin(localDir[2], zeroLimit) * shape->size[1]);
        break;
    }
    case CxShapeCone:
        rimSupport(shape->size[0], shape->baseZ, shape->size[1], shape->topZ, localDir, zeroLimit, out);
        break;
    case CxShapeTriangle: break; // triangles are handled in the working frame
    }
}

// Points this far outside (relative to the solid's size) still count as
// inside, so that a corner or rim point computed with rounding is not lost
// by a line that runs nearly along a face.
const PxReal kClipSlack = 1e-12;

// Slab [lo, hi] on one coordinate of the line p + s u, intersected into
// [s0, s1].
int clipSlab(PxReal p, PxReal u, PxReal lo, PxReal hi, PxReal *s0, PxReal *s1)
{
    PxReal slack = kClipSlack * (hi - lo);
    lo -= slack;
    hi += slack;
    if (u == 0.0) return p >= lo && p <= hi;
    PxReal a = (lo - p) / u, b = (hi - p) / u;
    if (a > b) {
        PxReal swap = a;
        a = b;
        b = swap;
    }
    if (a > *s0) *s0 = a;
    if (b < *s1) *s1 = b;
    return *s0 <= *s1;
}

// Disc condition x^2 + y^2 <= (alpha + beta z)^2 of a line, intersected
// into [s0, s1]; within the z slab of a cone this set is one interval.
int clipRadial(const PxVector3 p, const PxVector3 u, PxReal alpha, PxReal beta, PxReal *s0, PxReal *s1)
{
    alpha *= 1.0 + kClipSlack;
    beta *= 1.0 + kClipSlack;
    PxReal rp = alpha + beta * p[2], ru = beta * u[2];
    PxReal a = u[0] * u[0] + u[1] * u[1] - ru * ru;
    PxReal b = 2.0 * (p[0] * u[0] + p[1] * u[1] - rp * ru);
    PxReal c = p[0] * p[0] + p[1] * p[1] - rp * rp;
    PxReal scale = u[0] * u[0] + u[1] * u[1] + ru * ru;
    if (fabs(a) <= 1e-14 * scale) {
        // Linear in s: b s + c <= 0.
        if (b == 0.0) return c <= 0.0 && *s0 <= *s1;
        PxReal root = -c / b;
        if (b > 0.0) {
            if (root < *s1) *s1 = root;
        } else if (root > *s0) {
            *s0 = root;
        }
        return *s0 <= *s1;
    }
    if (a > 0.0) {
        PxReal r0, r1;
        if (!CxSolveQuadraticInterval(a, b, c, &r0, &r1)) return 0;
        if (r0 > *s0) *s0 = r0;
        if (r1 < *s1) *s1 = r1;
        return *s0 <= *s1;
    }
    // a < 0: the set is outside the roots (both nappes of a double cone);
    // keep the part that overlaps the current interval.
    PxReal r0, r1;
    if (!CxSolveQuadraticInterval(-a, -b, -c, &r0, &r1)) return *s0 <= *s1;
    PxReal lowEnd = (r0 < *s1) ? r0 : *s1;    // part (-inf, r0]
    PxReal highStart = (r1 > *s0) ? r1 : *s0; // part [r1, inf)
    PxReal lowLength = lowEnd - *s0, highLength = *s1 - highStart;
    if (lowLength < 0.0 && highLength < 0.0) return 0;
    if (lowLength >= highLength)
        *s1 = lowEnd;
    else
        *s0 = highStart;
    return 1;
}

int triangleLineClip(const CxShape *shape, const PxVector3 p, const PxVector3 u, PxReal *s0, PxReal *s1)
{
    const PxReal *n = shape->normal;
    PxReal denom = PxV3Dot(u, n);
    if (denom == 0.0) return 0;
    PxVector3 toA, q;
    PxV3Sub(toA, shape->vertex[0], p);
    PxReal s = PxV3Dot(toA, n) / denom;
    PxV3AddScaled(q, p, u, s);
    for (int i = 0; i < 3; ++i) {
        PxVector3 edge, toQ, side;
        PxV3Sub(edge, shape->vertex[(i + 1) % 3], shape->vertex[i]);
        PxV3Sub(toQ, q, shape->vertex[i]);
        PxV3Cross(side, edge, toQ);
        // A small negative allowance keeps points on an edge inside.
        if (PxV3Dot(side, n) < -1e-12 * PxV3LengthSquared(edge)) return 0;
    }
    *s0 = *s1 = s;
    return 1;
}

} // namespace

void CxShapeSetSphere(CxShape *shape, const PxMatrix4 tm, PxReal radius)
{
    setFrame(shape, CxShapeSphere, tm);
    shape->size[0] = radius;
}

void CxShapeSetBox(CxShape *shape, const PxMatrix4 tm, const PxVector3 halfExtents)
{
    setFrame(shape, CxShapeBox, tm);
    PxV3Copy(shape->size, halfExtents);
}

void CxShapeSetCylinder(CxShape *shape, const PxMatrix4 tm, PxReal radius, PxReal halfHeight)
{
    setFrame(shape, CxShapeCylinder, tm);
    shape->size[0] = radius;
    shape->size[1] = halfHeight;
}

void CxShapeSetCone(CxShape *shape, const PxMatrix4 tm, PxReal baseRadius, PxReal topRadius, PxReal baseZ,
                    PxReal topZ)
{
    setFrame(shape, CxShapeCone, tm);
    shape->size[0] = baseRadius;
    shape->size[1] = topRadius;
    shape->baseZ = baseZ;
    shape->topZ = topZ;
}

void CxShapeSetTriangle(CxShape *shape, const PxVector3 a, const PxVector3 b, const PxVector3 c, const PxReal *normal)
{
    setFrame(shape, CxShapeTriangle, nullptr);
    PxV3Copy(shape->vertex[0], a);
    PxV3Copy(shape->vertex[1], b);
    PxV3Copy(shape->vertex[2], c);
    if (normal) {
        PxV3Copy(shape->normal, normal);
    } else {
        PxVector3 ab, bc;
        PxV3Sub(ab, b, a);
        PxV3Sub(bc, c, b);
        PxV3Cross(shape->normal, ab, bc);
        if (PxV3Normalize(shape->normal) == 0.0) PxV3Set(shape->normal, 1.0, 0.0, 0.0);
    }
}

void CxShapeSupportLimit(const CxShape *shape, const PxVector3 dir, PxReal zeroLimit, PxVector3 out)
{
    if (shape->kind == CxShapeTriangle) {
        int best = 0;
        PxReal bestReach = PxV3Dot(shape->vertex[0], dir);
        for (int i = 1; i < 3; ++i) {
            PxReal reach = PxV3Dot(shape->vertex[i], dir);
            if (reach > bestReach) {
                bestReach = reach;
                best = i;
            }
        }
        PxV3Copy(out, shape->vertex[best]);
        return;
    }
    PxVector3 local, point;
    PxV3MulTMDirInverse(local, dir, shape->tm);
    PxV3Normalize(local);
    localSupport(shape, local, zeroLimit, point);
    PxV3MulTM(out, point, shape->tm);
}

void CxShapeSupport(const CxShape *shape, const PxVector3 dir, PxVector3 out)
{
    CxShapeSupportLimit(shape, dir, 0.0, out);
}

void CxShapeProject(const CxShape *shape, const PxVector3 axis, PxReal *lo, PxReal *hi)
{
    PxVector3 up, down, negated;
    PxV3Scale(negated, axis, -1.0);
    CxShapeSupport(shape, axis, up);
    CxShapeSupport(shape, negated, down);
    *lo = PxV3Dot(down, axis);
    *hi = PxV3Dot(up, axis);
}

int CxSolveQuadraticInterval(PxReal a, PxReal b, PxReal c, PxReal *s0, PxReal *s1)
{
    PxReal disc = b * b - 4.0 * a * c;
    if (disc < 0.0) return 0;
    // The cancellation-free pair of roots: q = -(b + sign(b) sqrt(disc)) / 2.
    PxReal root = sqrt(disc);
    PxReal q = -0.5 * (b + (b >= 0.0 ? root : -root));
    PxReal r0, r1;
    if (q == 0.0) {
        r0 = r1 = 0.0;
    } else {
        r0 = q / a;
        r1 = c / q;
    }
    *s0 = r0 < r1 ? r0 : r1;
    *s1 = r0 < r1 ? r1 : r0;
    return 1;
}

int CxShapeLineClip(const CxShape *shape, const PxVector3 p, const PxVector3 u, PxReal *s0, PxReal *s1)
{
    if (shape->kind == CxShapeTriangle) return triangleLineClip(shape, p, u, s0, s1);
    PxVector3 lp, lu;
    PxV3MulTMInverse(lp, p, shape->tm);
    PxV3MulTMDirInverse(lu, u, shape->tm);
    *s0 = -HUGE_VAL;
    *s1 = HUGE_VAL;
    const PxReal *size = shape->size;
    switch (shape->kind) {
    case CxShapeSphere: {
        PxReal a = PxV3Dot(lu, lu), b = 2.0 * PxV3Dot(lp, lu);
        PxReal c = PxV3Dot(lp, lp) - size[0] * size[0];
        if (a == 0.0) return c <= 0.0;
        return CxSolveQuadraticInterval(a, b, c, s0, s1);
    }
    case CxShapeBox:
        for (int i = 0; i < 3; ++i)
            if (!clipSlab(lp[i], lu[i], -size[i], size[i], s0, s1)) return 0;
        return 1;
    case CxShapeCylinder:
        if (!clipSlab(lp[2], lu[2], -size[1], size[1], s0, s1)) return 0;
        return clipRadial(lp, lu, size[0], 0.0, s0, s1);
    case CxShapeCone: {
        if (!clipSlab(lp[2], lu[2], shape->baseZ, shape->topZ, s0, s1)) return 0;
        PxReal height = shape->topZ - shape->baseZ;
        PxReal beta = height > 0.0 ? (size[1] - size[0]) / height : 0.0;
        PxReal alpha = size[0] - beta * shape->baseZ;
        return clipRadial(lp, lu, alpha, beta, s0, s1);
    }
    case CxShapeTriangle: break;
    }
    return 0;
}

int CxShapeSegmentFirstHit(const CxShape *shape, const PxVector3 p0, const PxVector3 p1, PxReal *t)
{
    PxVector3 u;
    PxV3Sub(u, p1, p0);
    PxReal s0, s1;
    if (!CxShapeLineClip(shape, p0, u, &s0, &s1)) return 0;
    PxReal s = s0 >= 0.0 ? s0 : s1;
    if (s < 0.0 || s > 1.0) return 0;
    *t = s;
    return 1;
}

void CxShapeShrink(const CxShape *shape, PxReal delta, CxShape *out)
{
    *out = *shape;
    PxReal *size = out->size;
    switch (shape->kind) {
    case CxShapeSphere: size[0] = fmax(0.0, size[0] - delta); break;
    case CxShapeBox:
        for (int i = 0; i < 3; ++i) size[i] = fmax(0.0, size[i] - delta);
        break;
    case CxShapeCylinder:
        size[0] = fmax(0.0, size[0] - delta);
        size[1] = fmax(0.0, size[1] - delta);
        break;
    case CxShapeCone: {
        size[0] = fmax(0.0, size[0] - delta);
        size[1] = fmax(0.0, size[1] - delta);
        PxReal middle = 0.5 * (shape->baseZ + shape->topZ);
        out->baseZ = fmin(middle, shape->baseZ + delta);
        out->topZ = fmax(middle, shape->topZ - delta);
        break;
    }
    case CxShapeTriangle: break;
    }
}

PxReal CxShapeSize(const CxShape *shape)
{
    switch (shape->kind) {
    case CxShapeSphere: return shape->size[0];
    case CxShapeBox: return fmax(shape->size[0], fmax(shape->size[1], shape->size[2]));
    case CxShapeCylinder: return fmax(shape->size[0], shape->size[1]);
    case CxShapeCone: return fmax(fmax(shape->size[0], shape->size[1]), 0.5 * (shape->topZ - shape->baseZ));
    case CxShapeTriangle: {
        PxReal longest = 0.0;
        for (int i = 0; i < 3; ++i)
            longest = fmax(longest, PxV3Distance(shape->vertex[i], shape->vertex[(i + 1) % 3]));
        return 0.5 * longest;
    }
    }
    return 0.0;
}
