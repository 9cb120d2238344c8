// The mesh's connectivity: corners are matched into vertices by their
// coordinates (so triangles that carry separate copies of equal corners
// still meet), each triangle edge learns the triangle across it, each
// vertex the vertices it is joined to, and the mesh whether it is closed
// (every edge shared by exactly two triangles running it in opposite
// directions).
#include "mesh/CxTriangleMeshRecord.h"

#include <kelmar/PxMemory.h>

#include <algorithm>
#include <stdint.h>

namespace {

struct DirectedEdge {
    uint64_t key; // smaller vertex number in the high half, larger in the low
    int forward;  // 1 when the triangle runs from the smaller to the larger
    int slot;     // 3 x triangle + edge
};

bool coordinatesLess(const PxReal *a, const PxReal *b)
{
    if (a[0] != b[0]) return a[0] < b[0];
    if (a[1] != b[1]) return a[1] < b[1];
    return a[2] < b[2];
}

bool coordinatesEqual(const PxReal *a, const PxReal *b)
{
    return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

int *newInts(size_t count)
{
    return static_cast<int *>(PxMemoryAPI.create(sizeof(int) * count));
}

// Numbers every corner by its distinct coordinates; returns the count of
// distinct vertices and one corner of each.
int numberVertices(const CxTriangleMesh *mesh, int *sorted, CxMeshTopology *topology)
{
    int n = 3 * mesh->triangleCount;
    for (int k = 0; k < n; ++k) sorted[k] = k;
    auto position = [mesh](int corner) { return CxMeshVertex(mesh, corner / 3, corner % 3); };
    std::sort(sorted, sorted + n, [&](int a, int b) { return coordinatesLess(position(a), position(b)); });
    int number = -1;
    for (int k = 0; k < n; ++k) {
        if (k == 0 || !coordinatesEqual(position(sorted[k - 1]), position(sorted[k])))
            topology->vertexCorner[++number] = sorted[k];
        topology->cornerVertex[sorted[k]] = number;
    }
    return number + 1;
}

// Returns 0 when an edge joins a vertex to itself (the mesh cannot be
// closed then).
int collectEdges(const CxTriangleMesh *mesh, const int *vertexOf, DirectedEdge *edges)
{
    int proper = 1;
    for (int t = 0; t < mesh->triangleCount; ++t)
        for (int e = 0; e < 3; ++e) {
            uint32_t from = (uint32_t)vertexOf[3 * t + e], to = (uint32_t)vertexOf[3 * t + (e + 1) % 3];
            if (from == to) proper = 0;
            uint32_t lo = from < to ? from : to, hi = from < to ? to : from;
            edges[3 * t + e] = {((uint64_t)lo << 32) | hi, from < to ? 1 : 0, 3 * t + e};
        }
    return proper;
}

// Sorts the edges into runs of equal ends; an edge shared by exactly two
// triangles makes them neighbours. Returns 1 when every run is such a pair
// running opposite ways.
int pairEdges(DirectedEdge *edges, int n, int *neighbours)
{
    std::sort(edges, edges + n, [](const DirectedEdge &a, const DirectedEdge &b) { return a.key < b.key; });
    int closed = 1;
    for (int k = 0; k < n;) {
        int run = 1;
        while (k + run < n && edges[k + run].key == edges[k].key) ++run;
        if (run == 2) {
            neighbours[edges[k].slot] = edges[k + 1].slot / 3;
            neighbours[edges[k + 1].slot] = edges[k].slot / 3;
            if (edges[k].forward == edges[k + 1].forward) closed = 0;
        } else {
            closed = 0;
        }
        k += run;
    }
    return closed;
}

// The vertices joined to each vertex by a triangle edge, in one array
// indexed by ringStart.
int buildRings(const CxTriangleMesh *mesh, CxMeshTopology *topology)
{
    int v = topology->vertexCount, n = 3 * mesh->triangleCount;
    topology->ringStart = newInts((size_t)v + 1);
    topology->ring = newInts(2 * (size_t)n);
    if (!topology->ringStart || !topology->ring) return 0;
    for (int k = 0; k <= v; ++k) topology->ringStart[k] = 0;
    const int *vertexOf = topology->cornerVertex;
    for (int k = 0; k < n; ++k) {
        ++topology->ringStart[vertexOf[k] + 1];
        ++topology->ringStart[vertexOf[k - k % 3 + (k + 1) % 3] + 1];
    }
    for (int k = 0; k < v; ++k) topology->ringStart[k + 1] += topology->ringStart[k];
    int *fill = newInts((size_t)v);
    if (!fill) return 0;
    for (int k = 0; k < v; ++k) fill[k] = topology->ringStart[k];
    for (int k = 0; k < n; ++k) {
        int from = vertexOf[k], to = vertexOf[k - k % 3 + (k + 1) % 3];
        topology->ring[fill[from]++] = to;
        topology->ring[fill[to]++] = from;
    }
    PxMemoryAPI.destroy(fill);
    return 1;
}

} // namespace

void CxTriangleMeshFreeTopology(CxMeshTopology *topology)
{
    PxMemoryAPI.destroy(topology->neighbours);
    PxMemoryAPI.destroy(topology->cornerVertex);
    PxMemoryAPI.destroy(topology->vertexCorner);
    PxMemoryAPI.destroy(topology->ringStart);
    PxMemoryAPI.destroy(topology->ring);
    *topology = CxMeshTopology();
}

int CxTriangleMeshBuildTopology(const CxTriangleMesh *mesh, CxMeshTopology *topology)
{
    CxTriangleMeshFreeTopology(topology);
    size_t n = 3 * (size_t)mesh->triangleCount;
    topology->neighbours = newInts(n);
    topology->cornerVertex = newInts(n);
    topology->vertexCorner = newInts(n);
    int *sorted = newInts(n);
    DirectedEdge *edges = static_cast<DirectedEdge *>(PxMemoryAPI.create(sizeof(DirectedEdge) * n));
    int ok = topology->neighbours && topology->cornerVertex && topology->vertexCorner && sorted && edges;
    int closed = 0;
    if (ok) {
        for (size_t k = 0; k < n; ++k) topology->neighbours[k] = -1;
        topology->vertexCount = numberVertices(mesh, sorted, topology);
        int proper = collectEdges(mesh, topology->cornerVertex, edges);
        closed = pairEdges(edges, (int)n, topology->neighbours) && proper;
        ok = buildRings(mesh, topology);
    }
    PxMemoryAPI.destroy(sorted);
    PxMemoryAPI.destroy(edges);
    if (!ok) {
        CxTriangleMeshFreeTopology(topology);
        return -1;
    }
    return closed;
}
