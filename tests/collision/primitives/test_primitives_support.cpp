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

} // namespace

CdxGeometryID Solid::Create() const
{
    switch (kind) {
    case Sphere: return CdxSphereCreate(r);
    case Box: return CdxBoxCreate(2 * half[0], 2 * half[1], 2 * half[2]);
    case Plane: return CdxPlaneCreate();
    case Cylinder: return CdxCylinderCreate(r, 2 * hh);
    case Cone: return CdxConeCreate(zt - zb, rb, rt);
    }
    return nullptr;
}

double Solid::Sd(const Vec &p, const Pose &pose) const
{
    switch (kind) {
    case Sphere: return SdSphere(p, pose, r);
    case Box: return SdBox(p, pose, half);
    case Plane: return SdPlane(p, pose);
    case Cylinder: return SdCylinder(p, pose, r, hh);
    case Cone: return SdCone(p, pose, rb, zb, rt, zt);
    }
    return 0;
}

std::vector<Vec> Solid::Surface(const Pose &pose, double spacing) const
{
    switch (kind) {
    case Box: return BoxSurface(pose, half, spacing);
    case Cylinder: return ConeSurface(pose, r, -hh, r, hh, spacing);
    case Cone: return ConeSurface(pose, rb, zb, rt, zt, spacing);
    case Sphere: return ConeSurface(pose, r, 0, r, 0, spacing);
    case Plane: break;
    }
    return {};
}

Vec Solid::Support(const Pose &pose, const Vec &d) const
{
    Vec local = pose.ToLocal(Add(pose.Origin(), d));
    auto sgn = [](double x) { return x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0); };
    auto rim = [&](double radius, double z) {
        double rho = std::hypot(local[0], local[1]);
        Vec p = {0, 0, z};
        if (rho > 0) p = {radius * local[0] / rho, radius * local[1] / rho, z};
        return p;
    };
    Vec p;
    switch (kind) {
    case Sphere: p = Mul(local, r / Norm(local)); break;
    case Box: p = {sgn(local[0]) * half[0], sgn(local[1]) * half[1], sgn(local[2]) * half[2]}; break;
    case Cylinder: p = rim(r, sgn(local[2]) * hh); break;
    case Cone: {
        Vec base = rim(rb, zb), top = rim(rt, zt);
        p = Dot(base, local) >= Dot(top, local) ? base : top;
        break;
    }
    case Plane: p = {0, 0, 0}; break;
    }
    return pose.ToWorld(p);
}

bool Solid::Mass(double *volume, Vec *inertia) const
{
    const double h = zt - zb;
    switch (kind) {
    case Sphere: *volume = 4.0 / 3.0 * M_PI * r * r * r, *inertia = {0.4 * r * r, 0.4 * r * r, 0.4 * r * r}; break;
    case Box: {
        const Vec sq = {half[0] * half[0], half[1] * half[1], half[2] * half[2]};
        *volume = 8 * half[0] * half[1] * half[2],
        *inertia = {(sq[1] + sq[2]) / 3, (sq[0] + sq[2]) / 3, (sq[0] + sq[1]) / 3};
        break;
    }
    case Plane: *volume = 1, *inertia = {1, 1, 1}; break;
    case Cylinder: {
        const double across = r * r / 4 + hh * hh / 3;
        *volume = 2 * M_PI * r * r * hh, *inertia = {across, across, r * r / 2};
        break;
    }
    case Cone: // pointed: the centroid a quarter of the height up
        if (rt > 0) return false;
        *volume = M_PI * rb * rb * h / 3;
        *inertia = {0.15 * rb * rb + 0.0375 * h * h, 0.15 * rb * rb + 0.0375 * h * h, 0.3 * rb * rb};
        break;
    }
    return true;
}

Solid MakeSphere(double r)
{
    Solid s{Solid::Sphere};
    s.r = r;
    return s;
}
Solid MakeBox(const Vec &half)
{
    Solid s{Solid::Box};
    s.half = half;
    return s;
}
Solid MakePlane()
{
    return Solid{Solid::Plane};
}
Solid MakeCylinder(double r, double hh)
{
    Solid s{Solid::Cylinder};
    s.r = r;
    s.hh = hh;
    return s;
}
Solid MakeCone(double height, double rb, double rt)
{
    Solid s{Solid::Cone};
    s.rb = rb, s.rt = rt, s.zb = -0.25 * height, s.zt = 0.75 * height;
    return s;
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
