#include "test_primitives_support.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Signed distance to the rectangle [0, w] x [lo, hi] seen from (x, y) with
// x >= 0, where the edge x = 0 is the axis (not a boundary).
double SdHalfRect(double x, double y, double w, double lo, double hi)
{
    double dx = x - w, dy = std::max(lo - y, y - hi);
    double ox = std::max(dx, 0.0), oy = std::max(dy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(dx, dy), 0.0);
}

double SegmentDistance2D(double px, double py, double ax, double ay, double bx, double by)
{
    double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0.0;
    double qx = ax + t * dx - px, qy = ay + t * dy - py;
    return std::sqrt(qx * qx + qy * qy);
}

void Ring(const Pose &pose, double r, double z, double spacing, std::vector<Vec> *out)
{
    int n = std::max(8, (int)std::ceil(2.0 * M_PI * r / spacing));
    for (int k = 0; k < n; ++k) {
        double a = 2.0 * M_PI * k / n;
        out->push_back(pose.ToWorld({r * std::cos(a), r * std::sin(a), z}));
    }
}

void Disc(const Pose &pose, double r, double z, double spacing, std::vector<Vec> *out)
{
    out->push_back(pose.ToWorld({0.0, 0.0, z}));
    int rings = std::max(1, (int)std::ceil(r / spacing));
    for (int i = 1; i <= rings; ++i) Ring(pose, r * i / rings, z, spacing, out);
}

} // namespace

double SdSphere(const Vec &p, const Pose &pose, double r)
{
    return Norm(Sub(p, pose.Origin())) - r;
}

double SdBox(const Vec &p, const Pose &pose, const Vec &half)
{
    Vec q = pose.ToLocal(p);
    double outside2 = 0.0, inside = -std::numeric_limits<double>::infinity();
    for (int k = 0; k < 3; ++k) {
        double d = std::fabs(q[k]) - half[k];
        if (d > 0.0) outside2 += d * d;
        inside = std::max(inside, d);
    }
    return outside2 > 0.0 ? std::sqrt(outside2) : inside;
}

double SdPlane(const Vec &p, const Pose &pose)
{
    return Dot(Sub(p, pose.Origin()), pose.Axis(2));
}

double SdCylinder(const Vec &p, const Pose &pose, double r, double halfHeight)
{
    Vec q = pose.ToLocal(p);
    return SdHalfRect(std::hypot(q[0], q[1]), q[2], r, -halfHeight, halfHeight);
}

double SdCone(const Vec &p, const Pose &pose, double rb, double zb, double rt, double zt)
{
    Vec q = pose.ToLocal(p);
    double rho = std::hypot(q[0], q[1]), z = q[2];
    double d = std::min({SegmentDistance2D(rho, z, 0.0, zb, rb, zb), SegmentDistance2D(rho, z, rb, zb, rt, zt),
                         SegmentDistance2D(rho, z, rt, zt, 0.0, zt)});
    bool inside = z >= zb && z <= zt && rho <= rb + (rt - rb) * (z - zb) / (zt - zb);
    return inside ? -d : d;
}

std::vector<Vec> BoxSurface(const Pose &pose, const Vec &half, double spacing)
{
    std::vector<Vec> out;
    for (int axis = 0; axis < 3; ++axis) {
        int u = (axis + 1) % 3, v = (axis + 2) % 3;
        int nu = std::max(1, (int)std::ceil(2.0 * half[u] / spacing));
        int nv = std::max(1, (int)std::ceil(2.0 * half[v] / spacing));
        for (int side = -1; side <= 1; side += 2)
            for (int i = 0; i <= nu; ++i)
                for (int j = 0; j <= nv; ++j) {
                    Vec local;
                    local[axis] = side * half[axis];
                    local[u] = -half[u] + 2.0 * half[u] * i / nu;
                    local[v] = -half[v] + 2.0 * half[v] * j / nv;
                    out.push_back(pose.ToWorld(local));
                }
    }
    return out;
}

std::vector<Vec> CylinderSurface(const Pose &pose, double r, double halfHeight, double spacing)
{
    return ConeSurface(pose, r, -halfHeight, r, halfHeight, spacing);
}

std::vector<Vec> ConeSurface(const Pose &pose, double rb, double zb, double rt, double zt, double spacing)
{
    std::vector<Vec> out;
    int levels = std::max(1, (int)std::ceil((zt - zb) / spacing));
    for (int i = 0; i <= levels; ++i) {
        double z = zb + (zt - zb) * i / levels;
        double r = rb + (rt - rb) * i / levels;
        if (r > 0.0) Ring(pose, r, z, spacing, &out);
    }
    Disc(pose, rb, zb, spacing, &out);
    if (rt > 0.0)
        Disc(pose, rt, zt, spacing, &out);
    else
        out.push_back(pose.ToWorld({0.0, 0.0, zt}));
    return out;
}

void PrimitiveTest::SetUp()
{
    ASSERT_EQ(1, CdxInit(8, 16));
    CdxPrimitivesRegisterTypes();
    CdxPrimitivesRegisterInteractions();
}

void PrimitiveTest::TearDown()
{
    DestroyPlaced();
    CdxTerm();
}

CdxModelID PrimitiveTest::Place(CdxGeometryID geometry, const Pose &pose)
{
    Own(geometry);
    return PairTest::Place(geometry, pose);
}
