#include "test_mesh_support.h"

#include <map>

namespace meshtest {

namespace {

// Two triangles per cell of an (n + 1) x (n + 1) grid of vertex indices,
// turning from the first grid direction to the second.
void AddGridTriangles(Mesh *mesh, const std::vector<int> &grid, int n)
{
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            int a = grid[i * (n + 1) + j], b = grid[(i + 1) * (n + 1) + j];
            int c = grid[(i + 1) * (n + 1) + j + 1], d = grid[i * (n + 1) + j + 1];
            mesh->Triangle(a, b, c);
            mesh->Triangle(a, c, d);
        }
}

} // namespace

int Mesh::Vertex(const Vec &p)
{
    vertices.push_back(p);
    return (int)vertices.size() - 1;
}

CdxGeometryID Mesh::Build()
{
    geometry = CdxTriangleMeshCreateWithOptions(capacity > 0 ? capacity : (int)triangles.size(), &options);
    CdxTriangleMeshSetOBBStartDepth(geometry, obbStartDepth);
    if (minArea >= 0.0) CdxTriangleMeshSetMinAreaThreshold(geometry, minArea);
    for (const auto &t : triangles)
        EXPECT_EQ(1, CdxTriangleMeshAddTriangle(geometry, vertices[t[0]].data(), vertices[t[1]].data(),
                                                vertices[t[2]].data()));
    EXPECT_EQ(1, CdxTriangleMeshBuild(geometry));
    return geometry;
}

void AddBox(Mesh *mesh, const Vec &half, int n, const Vec &centre)
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
                    Vec p = centre;
                    p[axis] += side * half[axis];
                    p[u] += half[u] * (2.0 * i / n - 1.0);
                    p[v] += half[v] * (2.0 * j / n - 1.0);
                    grid[i * (n + 1) + j] = mesh->Vertex(p);
                }
            AddGridTriangles(mesh, grid, n);
        }
}

void AddIcosphere(Mesh *mesh, double radius, int subdivisions)
{
    const double t = (1.0 + std::sqrt(5.0)) / 2.0;
    std::vector<Vec> points = {{-1, t, 0},  {1, t, 0},  {-1, -t, 0}, {1, -t, 0}, {0, -1, t},  {0, 1, t},
                               {0, -1, -t}, {0, 1, -t}, {t, 0, -1},  {t, 0, 1},  {-t, 0, -1}, {-t, 0, 1}};
    std::vector<std::array<int, 3>> faces = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                             {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                             {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                             {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
    for (Vec &p : points) p = Mul(p, 1.0 / Norm(p));
    for (int level = 0; level < subdivisions; ++level) {
        std::map<std::pair<int, int>, int> middles;
        auto middle = [&](int a, int b) {
            auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto found = middles.find(key);
            if (found != middles.end()) return found->second;
            Vec m = Add(points[a], points[b]);
            points.push_back(Mul(m, 1.0 / Norm(m)));
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
    for (const Vec &p : points) mesh->Vertex(Mul(p, radius));
    for (const auto &f : faces) mesh->Triangle(base + f[0], base + f[1], base + f[2]);
}

void AddTetrahedron(Mesh *mesh, const Vec &a, const Vec &b, const Vec &c, const Vec &d)
{
    int ia = mesh->Vertex(a), ib = mesh->Vertex(b), ic = mesh->Vertex(c), id = mesh->Vertex(d);
    // Orient so that d lies behind face abc.
    if (Dot(Cross(Sub(b, a), Sub(c, a)), Sub(d, a)) > 0.0) std::swap(ib, ic);
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
            grid[i * (n + 1) + j] = mesh->Vertex({half * (2.0 * i / n - 1.0), half * (2.0 * j / n - 1.0), height});
    AddGridTriangles(mesh, grid, n);
}

void MeshTest::SetUp()
{
    savedWarningLevel_ = PxWarningLevel;
    PxWarningLevel = 3;
    ASSERT_EQ(1, CdxInit(8, 16));
    CdxPrimitivesRegisterTypes();
    ASSERT_EQ(6, CdxTriangleMeshRegisterType());
    CdxPrimitivesRegisterInteractions();
    CdxTriangleMeshRegisterInteractions();
    CdxCompositeRegisterType();
    CdxCompositeGenericRegisterInteractions();
}

void MeshTest::TearDown()
{
    DestroyPlaced();
    for (Mesh &mesh : meshes_)
        if (mesh.geometry) CdxGeometryDestroy(mesh.geometry);
    CdxTerm();
    PxWarningLevel = savedWarningLevel_;
}

Mesh &MeshTest::NewMesh()
{
    meshes_.emplace_back();
    return meshes_.back();
}

bool AllFinite(const std::vector<CdxContact> &contacts, const Vec &normal)
{
    bool finite = std::isfinite(normal[0]) && std::isfinite(normal[1]) && std::isfinite(normal[2]);
    for (const CdxContact &c : contacts)
        for (int k = 0; k < 3; ++k)
            finite = finite && std::isfinite(c.position[k]) && std::isfinite(c.normal[k]) &&
                     std::isfinite(c.separation);
    return finite;
}

} // namespace meshtest
