#include "test_mesh_support.h"

#include <cstdarg>
#include <cstdio>
#include <limits>
#include <map>

namespace meshtest {

namespace {

std::vector<std::string> *gWarnings = nullptr;
std::vector<std::string> *gFatals = nullptr;

std::string Format(const char *format, va_list args)
{
    char text[2048];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

void CaptureWarning(int, const char *format, va_list args)
{
    if (gWarnings) gWarnings->push_back(Format(format, args));
}

void CaptureFatal(int, const char *format, va_list args)
{
    if (gFatals) gFatals->push_back(Format(format, args));
}

}  // namespace

V3 Frame::Apply(const V3 &local) const
{
    PxVector3 in = {local[0], local[1], local[2]}, out;
    PxV3MulTM(out, in, tm);
    return AsV3(out);
}

V3 Frame::Rotate(const V3 &local) const
{
    PxVector3 in = {local[0], local[1], local[2]}, out;
    PxV3MulTMDir(out, in, tm);
    return AsV3(out);
}

Frame At(double x, double y, double z)
{
    Frame f;
    PxM4Identity(f.tm);
    PxV3Set(f.tm[3], x, y, z);
    return f;
}

Frame Turned(const V3 &axis, double angle, const V3 &origin)
{
    Frame f = At(origin[0], origin[1], origin[2]);
    V3 k = Times(axis, 1.0 / Length(axis));
    double c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < 3; ++i) {
        V3 e = {0, 0, 0};
        e[i] = 1.0;
        V3 turned = Plus(Plus(Times(e, c), Times(CrossV(k, e), s)), Times(k, DotV(k, e) * (1.0 - c)));
        for (int j = 0; j < 3; ++j) f.tm[i][j] = turned[j];
    }
    return f;
}

V3 Random::Direction()
{
    for (;;) {
        V3 v = InBox(1.0);
        double n = Length(v);
        if (n > 0.1 && n <= 1.0) return Times(v, 1.0 / n);
    }
}

Frame Random::Pose(const V3 &origin) { return Turned(Direction(), Uniform(0.0, 2.0 * M_PI), origin); }

int Mesh::Vertex(const V3 &p)
{
    vertices.push_back(p);
    return (int)vertices.size() - 1;
}

CdxGeometryID Mesh::Build()
{
    geometry = CdxTriangleMeshCreateWithOptions(capacity > 0 ? capacity : (int)triangles.size(),
                                                &options);
    CdxTriangleMeshSetOBBStartDepth(geometry, obbStartDepth);
    for (const auto &t : triangles)
        CdxTriangleMeshAddTriangle(geometry, vertices[t[0]].data(), vertices[t[1]].data(),
                                   vertices[t[2]].data());
    CdxTriangleMeshBuild(geometry);
    return geometry;
}

void AddBox(Mesh *mesh, const V3 &half, int n, const V3 &centre)
{
    // Each face is a grid of (n + 1)^2 corners spanned by two in-face axes
    // u, v with u x v the outward normal.
    for (int axis = 0; axis < 3; ++axis)
        for (int side = -1; side <= 1; side += 2) {
            int u = (axis + 1) % 3, v = (axis + 2) % 3;
            if (side < 0) std::swap(u, v);
            std::vector<int> grid((n + 1) * (n + 1));
            for (int i = 0; i <= n; ++i)
                for (int j = 0; j <= n; ++j) {
                    V3 p = centre;
                    p[axis] += side * half[axis];
                    p[u] += half[u] * (2.0 * i / n - 1.0);
                    p[v] += half[v] * (2.0 * j / n - 1.0);
                    grid[i * (n + 1) + j] = mesh->Vertex(p);
                }
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    int a = grid[i * (n + 1) + j], b = grid[(i + 1) * (n + 1) + j];
                    int c = grid[(i + 1) * (n + 1) + j + 1], d = grid[i * (n + 1) + j + 1];
                    mesh->Triangle(a, b, c);
                    mesh->Triangle(a, c, d);
                }
        }
}

void AddIcosphere(Mesh *mesh, double radius, int subdivisions)
{
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<V3> points = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                              {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                              {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
    std::vector<std::array<int, 3>> faces = {
        {0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
        {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
        {3, 8, 9},  {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
    for (V3 &p : points) p = Times(p, 1.0 / Length(p));
    for (int level = 0; level < subdivisions; ++level) {
        std::map<std::pair<int, int>, int> middles;
        auto middle = [&](int a, int b) {
            auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto found = middles.find(key);
            if (found != middles.end()) return found->second;
            V3 m = Plus(points[a], points[b]);
            points.push_back(Times(m, 1.0 / Length(m)));
            return middles[key] = (int)points.size() - 1;
        };
        std::vector<std::array<int, 3>> finer;
        for (const auto &f : faces) {
            int ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
            finer.push_back({f[0], ab, ca});
            finer.push_back({f[1], bc, ab});
            finer.push_back({f[2], ca, bc});
            finer.push_back({ab, bc, ca});
        }
        faces = finer;
    }
    int base = (int)mesh->vertices.size();
    for (const V3 &p : points) mesh->Vertex(Times(p, radius));
    for (const auto &f : faces) mesh->Triangle(base + f[0], base + f[1], base + f[2]);
}

void AddTetrahedron(Mesh *mesh, const V3 &a, const V3 &b, const V3 &c, const V3 &d)
{
    int ia = mesh->Vertex(a), ib = mesh->Vertex(b), ic = mesh->Vertex(c), id = mesh->Vertex(d);
    // Orient so that d lies behind face abc.
    if (DotV(CrossV(Minus(b, a), Minus(c, a)), Minus(d, a)) > 0.0) std::swap(ib, ic);
    mesh->Triangle(ia, ib, ic);
    mesh->Triangle(ia, id, ib);
    mesh->Triangle(ib, id, ic);
    mesh->Triangle(ic, id, ia);
}

void AddFloor(Mesh *mesh, double half, int n, double height)
{
    std::vector<int> grid((n + 1) * (n + 1));
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j)
            grid[i * (n + 1) + j] =
                mesh->Vertex({half * (2.0 * i / n - 1.0), half * (2.0 * j / n - 1.0), height});
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            int a = grid[i * (n + 1) + j], b = grid[(i + 1) * (n + 1) + j];
            int c = grid[(i + 1) * (n + 1) + j + 1], d = grid[i * (n + 1) + j + 1];
            mesh->Triangle(a, b, c);
            mesh->Triangle(a, c, d);
        }
}

void MeshTest::SetUp()
{
    gWarnings = &warnings;
    gFatals = &fatals;
    savedWarning_ = PxSetWarningHandler(CaptureWarning);
    savedFatal_ = PxSetFatalErrorHandler(CaptureFatal);
    savedWarningLevel_ = PxWarningLevel;
    PxWarningLevel = 3;
    ASSERT_EQ(1, CdxInit(8, 16));
    CdxPrimitivesRegisterTypes();
    ASSERT_EQ(6, CdxTriangleMeshRegisterType());
    CdxPrimitivesRegisterInteractions();
    CdxTriangleMeshRegisterInteractions();
}

void MeshTest::TearDown()
{
    for (auto &placed : placed_) CdxModelDestroy(placed.first);
    for (Mesh &mesh : meshes_)
        if (mesh.geometry) CdxGeometryDestroy(mesh.geometry);
    for (CdxGeometryID geometry : geometries_) CdxGeometryDestroy(geometry);
    CdxTerm();
    PxSetWarningHandler(savedWarning_);
    PxSetFatalErrorHandler(savedFatal_);
    PxWarningLevel = savedWarningLevel_;
    gWarnings = gFatals = nullptr;
}

Mesh &MeshTest::NewMesh()
{
    meshes_.emplace_back();
    return meshes_.back();
}

CdxModelID MeshTest::Place(CdxGeometryID geometry, const Frame &frame)
{
    frames_.push_back(frame);
    CdxModelID model = CdxModelCreate(geometry);
    CdxModelSetTransformPtr(model, &frames_.back().tm);
    placed_.push_back({model, &frames_.back()});
    return model;
}

Frame &MeshTest::FrameOf(CdxModelID model)
{
    for (auto &placed : placed_)
        if (placed.first == model) return *placed.second;
    ADD_FAILURE() << "model not placed by the fixture";
    return frames_.front();
}

int MeshTest::Intersect(CdxModelID model1, CdxModelID model2, std::vector<CdxContact> *contacts,
                        V3 *normal, const CdxRequest *request, int capacity)
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
    if (normal) *normal = AsV3(result.normal);
    return result.touch;
}

double Deepest(const std::vector<CdxContact> &contacts)
{
    double deepest = std::numeric_limits<double>::infinity();
    for (const CdxContact &c : contacts) deepest = std::min(deepest, c.separation);
    return deepest;
}

bool AllFinite(const std::vector<CdxContact> &contacts, const V3 &normal)
{
    bool finite = std::isfinite(normal[0]) && std::isfinite(normal[1]) && std::isfinite(normal[2]);
    for (const CdxContact &c : contacts)
        for (int k = 0; k < 3; ++k)
            finite = finite && std::isfinite(c.position[k]) && std::isfinite(c.normal[k]) &&
                     std::isfinite(c.separation);
    return finite;
}

}  // namespace meshtest
