// Pieces of the triangle-mesh tests: a running library with the primitive
// and mesh types and pairs, and meshes of known shapes whose vertices the
// test owns.
#ifndef KELMAR_TESTS_COLLISION_TEST_MESH_SUPPORT_H
#define KELMAR_TESTS_COLLISION_TEST_MESH_SUPPORT_H

#include <kelmar/CdxTriangleMesh.h>

#include "collision/test_pair_support.h"

#include <array>
#include <deque>
#include <vector>

namespace meshtest {

// A mesh with the vertex storage it points into. Vertices never move in
// memory once the mesh is made (the mesh keeps pointers to them).
struct Mesh {
    std::deque<Vec> vertices;
    std::vector<std::array<int, 3>> triangles;
    CdxGeometryID geometry = nullptr;
    int options = 0;
    int obbStartDepth = 0;
    int capacity = 0;      // 0: the number of triangles
    double minArea = -1.0; // below 0: the library's default

    int Vertex(const Vec &p);
    void Triangle(int a, int b, int c) { triangles.push_back({a, b, c}); }
    // Creates and builds the geometry; every triangle must be taken.
    CdxGeometryID Build();
};

// Closed meshes with outward normals.
void AddBox(Mesh *mesh, const Vec &half, int divisions, const Vec &centre = {0, 0, 0});
void AddIcosphere(Mesh *mesh, double radius, int subdivisions);
void AddTetrahedron(Mesh *mesh, const Vec &a, const Vec &b, const Vec &c, const Vec &d);
// An open square floor in the plane z = height, normals up, divided n x n.
void AddFloor(Mesh *mesh, double half, int divisions, double height);

// The library running with the primitive types, the mesh type, the
// composite type and their pairs; warnings and fatal errors are collected (a fatal error returns).
class MeshTest : public PairTest {
protected:
    MeshTest() : PairTest(kWarnings | kFatals) {}
    void SetUp() override;
    void TearDown() override;

    Mesh &NewMesh();

private:
    std::deque<Mesh> meshes_;
    int savedWarningLevel_ = 0;
};

bool AllFinite(const std::vector<CdxContact> &contacts, const Vec &normal);

} // namespace meshtest

#endif
