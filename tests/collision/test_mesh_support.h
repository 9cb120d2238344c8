// Shared pieces of the triangle-mesh tests: a running library with the
// primitive and mesh types and pairs, meshes of known shapes whose
// vertices the test owns, poses, and a pair runner.
#ifndef KELMAR_TESTS_COLLISION_TEST_MESH_SUPPORT_H
#define KELMAR_TESTS_COLLISION_TEST_MESH_SUPPORT_H

#include <kelmar/Cdx.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/PxMessage.h>
#include <kelmar/PxVector.h>

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace meshtest {

using V3 = std::array<double, 3>;

inline V3 Plus(const V3 &a, const V3 &b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline V3 Minus(const V3 &a, const V3 &b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline V3 Times(const V3 &a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double DotV(const V3 &a, const V3 &b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline double Length(const V3 &a) { return std::sqrt(DotV(a, a)); }
inline V3 CrossV(const V3 &a, const V3 &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline V3 AsV3(const PxReal *p) { return {p[0], p[1], p[2]}; }

// A transform the test owns (rows 0..2 the axes, row 3 the origin).
struct Frame {
    PxMatrix4 tm;
    V3 Apply(const V3 &local) const;      // local point to world
    V3 Rotate(const V3 &local) const;     // local direction to world
};
Frame At(double x, double y, double z);
// Rotation by angle about a unit axis, then the origin.
Frame Turned(const V3 &axis, double angle, const V3 &origin);

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    double Uniform(double lo, double hi)
    {
        return std::uniform_real_distribution<double>(lo, hi)(engine_);
    }
    V3 InBox(double half) { return {Uniform(-half, half), Uniform(-half, half), Uniform(-half, half)}; }
    V3 Direction();
    Frame Pose(const V3 &origin);  // uniformly random rotation at origin

private:
    std::mt19937 engine_;
};

// A mesh with the vertex storage it points into. Vertices never move in
// memory once the mesh is made (the mesh keeps pointers to them).
struct Mesh {
    std::deque<V3> vertices;
    std::vector<std::array<int, 3>> triangles;
    CdxGeometryID geometry = nullptr;
    int options = 0;
    int obbStartDepth = 0;
    int capacity = 0;  // 0: the number of triangles

    int Vertex(const V3 &p);
    void Triangle(int a, int b, int c) { triangles.push_back({a, b, c}); }
    // Creates and builds the geometry; the added count must be all.
    CdxGeometryID Build();
};

// Closed meshes with outward normals.
void AddBox(Mesh *mesh, const V3 &half, int divisions, const V3 &centre = {0, 0, 0});
void AddIcosphere(Mesh *mesh, double radius, int subdivisions);
void AddTetrahedron(Mesh *mesh, const V3 &a, const V3 &b, const V3 &c, const V3 &d);
// An open square floor in the plane z = height, normals up, divided n x n.
void AddFloor(Mesh *mesh, double half, int divisions, double height);

// The library running with the primitive types, the mesh type and their
// pairs; warnings and fatal errors are captured (a fatal error returns).
class MeshTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Mesh &NewMesh();
    CdxModelID Place(CdxGeometryID geometry, const Frame &frame);
    Frame &FrameOf(CdxModelID model);
    void Move(CdxModelID model, const Frame &frame) { FrameOf(model) = frame; }
    // The pair (model1, model2) after hello; touch returned, contacts and
    // normal filled. request null: the pair type's own default.
    int Intersect(CdxModelID model1, CdxModelID model2, std::vector<CdxContact> *contacts,
                  V3 *normal = nullptr, const CdxRequest *request = nullptr, int capacity = 64);
    // Geometries made outside NewMesh that the fixture destroys.
    void Own(CdxGeometryID geometry) { geometries_.push_back(geometry); }

    std::vector<std::string> warnings;
    std::vector<std::string> fatals;

private:
    std::deque<Mesh> meshes_;
    std::deque<Frame> frames_;
    std::vector<std::pair<CdxModelID, Frame *>> placed_;
    std::vector<CdxGeometryID> geometries_;
    PxMessageHandler savedWarning_ = nullptr;
    PxMessageHandler savedFatal_ = nullptr;
    int savedWarningLevel_ = 0;
};

double Deepest(const std::vector<CdxContact> &contacts);
bool AllFinite(const std::vector<CdxContact> &contacts, const V3 &normal);

}  // namespace meshtest

#endif
