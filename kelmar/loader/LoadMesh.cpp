// Triangle-mesh geometries of scene files: PYRAMID frusta and meshes read
// from OBJ files. Each mesh owns a vertex array of its own, freed by the
// mesh's destroy callback.
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/PxMessage.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

void FreeVertices(CdxGeometryID, void *data)
{
    delete[] static_cast<PxReal *>(data);
}

// A built mesh over vertices (3 reals each) and triangles (3 indices each);
// triangles with a repeated corner are left out.
CdxGeometryID BuildMesh(const std::vector<PxReal> &vertices, const std::vector<int> &triangles)
{
    CdxGeometryID mesh = CdxTriangleMeshCreate(static_cast<int>(triangles.size() / 3));
    if (!mesh) return nullptr;
    PxReal *owned = new PxReal[vertices.size()];
    std::copy(vertices.begin(), vertices.end(), owned);
    CdxTriangleMeshSetVertexArray(mesh, owned, static_cast<int>(vertices.size() / 3));
    CdxTriangleMeshSetDestroyCallback(mesh, FreeVertices, owned);
    for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
        const int a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
        if (a == b || b == c || a == c) continue;
        CdxTriangleMeshAddTriangle(mesh, owned + 3 * a, owned + 3 * b, owned + 3 * c);
    }
    if (!CdxTriangleMeshBuild(mesh)) {
        CdxTriangleMeshDestroy(mesh);
        return nullptr;
    }
    return mesh;
}

void AddVertex(std::vector<PxReal> &vertices, double x, double y, double z)
{
    vertices.insert(vertices.end(), {x, y, z});
}

void AddTriangle(std::vector<int> &triangles, int a, int b, int c)
{
    triangles.insert(triangles.end(), {a, b, c});
}

// The OBJ reader reports a malformed line as a fatal error; while a scene
// loads, that must end the mesh, not the process.
void KeepRunning(int, const char *, va_list)
{
}

// Vertices closer than eps fall into one cell of an eps grid and are merged.
int MergedIndex(std::map<std::tuple<long, long, long>, int> &cells, const PxReal *p, double eps, int index)
{
    const auto cell = std::make_tuple(std::lround(p[0] / eps), std::lround(p[1] / eps), std::lround(p[2] / eps));
    return cells.emplace(cell, index).first->second;
}

} // namespace

CdxGeometryID MakePyramid(double radius, double topRadius, double height, int faces)
{
    if (faces < 3 || radius <= 0 || topRadius < 0 || height <= 0) return nullptr;
    std::vector<PxReal> v;
    std::vector<int> t;
    const bool apex = topRadius <= 0;
    for (int i = 0; i < faces; ++i) {
        const double angle = 2 * M_PI * i / faces;
        AddVertex(v, radius * std::cos(angle), radius * std::sin(angle), -height / 2);
        if (!apex) AddVertex(v, topRadius * std::cos(angle), topRadius * std::sin(angle), height / 2);
    }
    const int stride = apex ? 1 : 2;
    const int bottom = faces * stride, top = bottom + 1;
    AddVertex(v, 0, 0, -height / 2);
    AddVertex(v, 0, 0, height / 2);
    for (int i = 0; i < faces; ++i) {
        const int b0 = stride * i, b1 = stride * ((i + 1) % faces);
        AddTriangle(t, bottom, b1, b0);
        if (apex) {
            AddTriangle(t, b0, b1, top);
            continue;
        }
        AddTriangle(t, b0, b1, b1 + 1);
        AddTriangle(t, b0, b1 + 1, b0 + 1);
        AddTriangle(t, top, b0 + 1, b1 + 1);
    }
    return BuildMesh(v, t);
}

CdxGeometryID MakeMeshFromObj(const char *file, double scale, bool flip, bool merge, double eps)
{
    PxMessageHandler previous = PxSetFatalErrorHandler(KeepRunning);
    CdxGeometryID read = CdxuTriangleMeshCreateFromObj(file);
    PxSetFatalErrorHandler(previous);
    if (!read) return nullptr;
    // Unchanged, the mesh as read is kept (and its tree is not built twice).
    if (scale == 1.0 && !flip && !(merge && eps > 0)) return read;
    int count = 0;
    const PxReal *base = CdxTriangleMeshGetVertexArray(read, &count);
    std::vector<PxReal> vertices(base, base + 3 * count);
    for (PxReal &x : vertices) x *= scale;
    std::vector<int> remap(static_cast<size_t>(count));
    std::map<std::tuple<long, long, long>, int> cells;
    for (int i = 0; i < count; ++i)
        remap[static_cast<size_t>(i)] = merge && eps > 0 ? MergedIndex(cells, &vertices[3 * i], eps, i) : i;
    std::vector<int> triangles;
    for (int k = 0; k < CdxTriangleMeshGetTriangleCount(read); ++k) {
        PxReal *corner[3];
        CdxTriangleMeshGetTriangleVertexPtrs(read, k, &corner[0], &corner[1], &corner[2]);
        int index[3];
        for (int c = 0; c < 3; ++c) index[c] = remap[static_cast<size_t>((corner[c] - base) / 3)];
        AddTriangle(triangles, index[0], flip ? index[2] : index[1], flip ? index[1] : index[2]);
    }
    CdxTriangleMeshDestroy(read);
    return BuildMesh(vertices, triangles);
}

} // namespace kelmar
