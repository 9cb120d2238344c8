#include "test_primitives_support.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace {

std::vector<std::string> *gWarnings = nullptr;

void CaptureWarning(int, const char *format, va_list args)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    if (gWarnings) gWarnings->push_back(text);
}

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

}  // namespace

Vec Pose::ToWorld(const Vec &local) const
{
    Vec out = Origin();
    for (int i = 0; i < 3; ++i) out = Add(out, Mul(Axis(i), local[i]));
    return out;
}

Vec Pose::ToLocal(const Vec &world) const
{
    Vec d = Sub(world, Origin());
    return {Dot(d, Axis(0)), Dot(d, Axis(1)), Dot(d, Axis(2))};
}

void Pose::SetOrigin(const Vec &p)
{
    for (int k = 0; k < 3; ++k) tm[3][k] = p[k];
}

Pose Identity()
{
    Pose pose;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) pose.tm[i][j] = i == j ? 1.0 : 0.0;
    return pose;
}

Pose Translation(double x, double y, double z)
{
    Pose pose = Identity();
    pose.SetOrigin({x, y, z});
    return pose;
}

// Rodrigues: axis e_i turned by angle about k.
Pose AxisAngle(const Vec &axis, double angle, const Vec &origin)
{
    Pose pose = Identity();
    Vec k = Mul(axis, 1.0 / Norm(axis));
    double c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < 3; ++i) {
        Vec e = {0.0, 0.0, 0.0};
        e[i] = 1.0;
        Vec turned = Add(Add(Mul(e, c), Mul(Cross(k, e), s)), Mul(k, Dot(k, e) * (1.0 - c)));
        for (int j = 0; j < 3; ++j) pose.tm[i][j] = turned[j];
    }
    pose.SetOrigin(origin);
    return pose;
}

Vec Random::UnitVector()
{
    for (;;) {
        Vec v = InBox(1.0);
        double n = Norm(v);
        if (n > 0.1 && n <= 1.0) return Mul(v, 1.0 / n);
    }
}

Pose Random::RandomPose(const Vec &origin)
{
    std::normal_distribution<double> normal(0.0, 1.0);
    double w = normal(engine_), x = normal(engine_), y = normal(engine_), z = normal(engine_);
    double n = std::sqrt(w * w + x * x + y * y + z * z);
    w /= n, x /= n, y /= n, z /= n;
    // Rows: the images of the unit axes under the rotation q.
    const double m[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y)},
                            {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x)},
                            {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y)}};
    Pose pose = Identity();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) pose.tm[i][j] = m[i][j];
    pose.SetOrigin(origin);
    return pose;
}

double SdSphere(const Vec &p, const Pose &pose, double r) { return Norm(Sub(p, pose.Origin())) - r; }

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

double SdPlane(const Vec &p, const Pose &pose) { return Dot(Sub(p, pose.Origin()), pose.Axis(2)); }

double SdCylinder(const Vec &p, const Pose &pose, double r, double halfHeight)
{
    Vec q = pose.ToLocal(p);
    return SdHalfRect(std::hypot(q[0], q[1]), q[2], r, -halfHeight, halfHeight);
}

double SdCone(const Vec &p, const Pose &pose, double rb, double zb, double rt, double zt)
{
    Vec q = pose.ToLocal(p);
    double rho = std::hypot(q[0], q[1]), z = q[2];
    double d = std::min({SegmentDistance2D(rho, z, 0.0, zb, rb, zb),
                         SegmentDistance2D(rho, z, rb, zb, rt, zt),
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

std::vector<Vec> ConeSurface(const Pose &pose, double rb, double zb, double rt, double zt,
                             double spacing)
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
    gWarnings = &warnings;
    savedWarning_ = PxSetWarningHandler(CaptureWarning);
    ASSERT_EQ(1, CdxInit(8, 16));
    CdxPrimitivesRegisterTypes();
    CdxPrimitivesRegisterInteractions();
}

void PrimitiveTest::TearDown()
{
    for (auto &entry : placed_) CdxModelDestroy(entry.first);
    for (CdxGeometryID geometry : geometries_) CdxGeometryDestroy(geometry);
    CdxTerm();
    PxSetWarningHandler(savedWarning_);
    gWarnings = nullptr;
}

CdxModelID PrimitiveTest::Place(CdxGeometryID geometry, const Pose &pose)
{
    poses_.push_back(pose);
    CdxModelID model = CdxModelCreate(geometry);
    CdxModelSetTransformPtr(model, &poses_.back().tm);
    placed_.push_back({model, &poses_.back()});
    if (std::find(geometries_.begin(), geometries_.end(), geometry) == geometries_.end())
        geometries_.push_back(geometry);
    return model;
}

Pose &PrimitiveTest::PoseOf(CdxModelID model)
{
    for (auto &entry : placed_)
        if (entry.first == model) return *entry.second;
    ADD_FAILURE() << "model not placed by the fixture";
    return poses_.front();
}

void PrimitiveTest::Move(CdxModelID model, const Pose &pose) { PoseOf(model) = pose; }

int PrimitiveTest::Intersect(CdxModelID model1, CdxModelID model2,
                             std::vector<CdxContact> *contacts, Vec *normal,
                             const CdxRequest *request, int capacity, CdxModelPair *pairOut)
{
    CdxModelPair pair;
    CdxModelPairReset(&pair, model1, model2);
    CdxHello(&pair);
    CdxModelPairSetRequestPtr(&pair, const_cast<CdxRequest *>(request));
    std::vector<CdxContact> buffer(capacity > 0 ? capacity : 1);
    CdxIntersectResult result = {};
    result.contacts = capacity > 0 ? buffer.data() : nullptr;
    result.contactCapacity = capacity;
    CdxIntersect(&pair, &result);
    CdxGoodbye(&pair);
    if (contacts) contacts->assign(buffer.begin(), buffer.begin() + result.contactCount);
    if (normal) *normal = ToVec(result.normal);
    if (pairOut) *pairOut = pair;
    return result.touch;
}

double Deepest(const std::vector<CdxContact> &contacts)
{
    double deepest = std::numeric_limits<double>::infinity();
    for (const CdxContact &c : contacts) deepest = std::min(deepest, c.separation);
    return deepest;
}
