// Shared pieces of the collision tests: vector arithmetic and poses written
// independently of the library, seeded random numbers and poses, primitive
// solids described exactly (signed distance, surface samples, support
// point, mass), triangle meshes of known shapes, and one fixture that runs
// the library, owns the models, poses, geometries and spaces a test makes,
// and collects the library's messages.
#ifndef KELMAR_TESTS_COLLISION_COLLISION_SUPPORT_H
#define KELMAR_TESTS_COLLISION_COLLISION_SUPPORT_H

#include <kelmar/Cdx.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <cmath>
#include <deque>
#include <limits>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/MessageLog.h"

using Vec = std::array<double, 3>;

inline Vec Add(const Vec &a, const Vec &b)
{
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
inline Vec Sub(const Vec &a, const Vec &b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
inline Vec Mul(const Vec &a, double s)
{
    return {a[0] * s, a[1] * s, a[2] * s};
}
inline double Dot(const Vec &a, const Vec &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
inline double Norm(const Vec &a)
{
    return std::sqrt(Dot(a, a));
}
inline Vec Cross(const Vec &a, const Vec &b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline Vec ToVec(const PxReal *p)
{
    return {p[0], p[1], p[2]};
}

// A pose the test owns: rows 0..2 the local axes, row 3 the origin.
struct Pose {
    PxMatrix4 tm;
    Vec Axis(int i) const { return {tm[i][0], tm[i][1], tm[i][2]}; }
    Vec Origin() const { return {tm[3][0], tm[3][1], tm[3][2]}; }
    Vec ToWorldDirection(const Vec &local) const;
    Vec ToWorld(const Vec &local) const { return Add(ToWorldDirection(local), Origin()); }
    Vec ToLocal(const Vec &world) const;
    void SetOrigin(const Vec &p);
};

Pose Identity();
Pose Translation(double x, double y, double z);
// Rotation by angle about an axis, then translation.
Pose AxisAngle(const Vec &axis, double angle, const Vec &origin);
// Writes the pose into a matrix the test keeps.
inline void SetPose(PxMatrix4 tm, const Pose &pose)
{
    PxM4Copy(tm, pose.tm);
}

// Seeded random numbers and poses.
class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    double Uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine_); }
    Vec InBox(double half) { return {Uniform(-half, half), Uniform(-half, half), Uniform(-half, half)}; }
    Vec UnitVector();
    // A uniformly random rotation (from a random unit quaternion) at origin.
    Pose RandomPose(const Vec &origin);
    // A turn by a random angle about a random axis at origin.
    Pose TurnedPose(const Vec &origin) { return AxisAngle(UnitVector(), Uniform(0.0, 2.0 * M_PI), origin); }

private:
    std::mt19937 engine_;
};

// The deepest separation of a contact list (+infinity when empty).
double Deepest(const std::vector<CdxContact> &contacts);
bool AllFinite(const std::vector<CdxContact> &contacts, const Vec &normal);
// The pair's normal turned to point from b towards a, whatever order
// hello chose.
inline Vec NormalFromBToA(CdxModelID a, const CdxModelPair &pair, const Vec &normal)
{
    return pair.model1 == a ? normal : Mul(normal, -1.0);
}

// A primitive solid described independently of the library: its kind and
// dimensions, signed distance (negative inside), evenly spread surface
// points (a sphere gives a great circle, a plane nothing), support point
// and its volume, centroid and inertia per unit mass about the centroid (a
// cone's by integration along its axis; a plane reports unit values).
struct Solid {
    enum Kind { Sphere, Box, Plane, Cylinder, Cone } kind;
    Vec half = {0, 0, 0};                  // box
    double r = 0, hh = 0;                  // sphere / cylinder radius, cylinder half-height
    double rb = 0, zb = 0, rt = 0, zt = 0; // cone: base radius at local z = zb, top radius at zt

    CdxGeometryID Create() const;
    double Sd(const Vec &p, const Pose &pose) const;
    std::vector<Vec> Surface(const Pose &pose, double spacing) const;
    Vec Support(const Pose &pose, const Vec &d) const;
    void Mass(double *volume, Vec *centroid, Vec *inertia) const;
};
inline Solid MakeSphere(double r)
{
    return {Solid::Sphere, {}, r};
}
inline Solid MakeBox(const Vec &half)
{
    return {Solid::Box, half};
}
inline Solid MakePlane()
{
    return {Solid::Plane};
}
inline Solid MakeCylinder(double r, double hh)
{
    return {Solid::Cylinder, {}, r, hh};
}
// Its centroid at the origin when pointed: the base a quarter of the height below.
inline Solid MakeCone(double height, double rb, double rt)
{
    return {Solid::Cone, {}, 0, 0, rb, -0.25 * height, rt, 0.75 * height};
}

// A triangle mesh with the vertex storage it points into (a deque: the
// mesh keeps pointers to the vertices, which never move).
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
// Closed meshes with outward normals, and an open square floor in the
// plane z = height, normals up, divided n x n.
void AddBox(Mesh *mesh, const Vec &half, int divisions, const Vec &centre = {0, 0, 0});
void AddIcosphere(Mesh *mesh, double radius, int subdivisions);
void AddTetrahedron(Mesh *mesh, const Vec &a, const Vec &b, const Vec &c, const Vec &d);
void AddFloor(Mesh *mesh, double half, int divisions, double height);

// Unordered pair of models, lower address first.
using ModelPairKey = std::pair<CdxModelID, CdxModelID>;
ModelPairKey PairKey(CdxModelID a, CdxModelID b);
inline ModelPairKey PairKey(const CdxModelPair *pair)
{
    return PairKey(pair->model1, pair->model2);
}
// The models of a space in the order its model iterator walks them.
std::vector<CdxModelID> ModelsIn(CdxSpaceID space);
// What a holds and b does not, and what either holds.
template <class T> std::set<T> Minus(const std::set<T> &a, const std::set<T> &b)
{
    std::set<T> out;
    for (const T &x : a)
        if (!b.count(x)) out.insert(x);
    return out;
}
template <class T> std::set<T> Union(std::set<T> a, const std::set<T> &b)
{
    a.insert(b.begin(), b.end());
    return a;
}

// One update's report, by section; records maps every listed pair to its
// record.
struct Transitions {
    std::set<ModelPairKey> hello, staying, goodbye, frozen;
    std::vector<ModelPairKey> helloInOrder, stayingInOrder; // in the lists' order
    std::map<ModelPairKey, CdxModelPair *> records;
    int calls = 0; // fill calls needed
};

// Hellos, goodbyes and intersection calls of the box-box pair.
struct BoxBoxCounts {
    int hello, goodbye, intersectCalls;
};
extern BoxBoxCounts gBoxBoxCounts;

// The running library. Spheres, boxes and planes (types 0 to 2, the box
// pair counting its calls in gBoxBoxCounts), composites (3) and their line
// segments, warnings and information collected; or, for solids, the six
// primitive types, triangle meshes (6) and composites, with warnings and
// fatal errors collected (a fatal error returns).
class CdxTest : public ::testing::Test, protected testsupport::MessageLog {
protected:
    enum Setup { kSpheresBoxesPlanes, kAllSolids };
    explicit CdxTest(Setup setup = kSpheresBoxesPlanes)
        : MessageLog(setup == kAllSolids ? kWarnings | kFatals : kWarnings | kInfos), setup_(setup)
    {
    }
    static const int kTypeCapacity = 8;
    static const int kModelCapacity = 16;
    void SetUp() override;
    void TearDown() override;

    // Models whose geometry the fixture destroys; Place's pose and
    // velocities are the fixture's, Model's transform the caller's.
    CdxModelID Model(CdxGeometryID geometry, PxMatrix4 *transform);
    CdxModelID Place(CdxGeometryID geometry, const Pose &pose = Identity());
    // Shorthands: a box of half extents (1, 1, 1 by default) or the given
    // geometry, a box, a ball and the solid below z = height at a point.
    CdxModelID At(PxReal x, PxReal y, PxReal z, CdxGeometryID geometry = nullptr);
    CdxModelID Box(PxReal hx, PxReal hy, PxReal hz, PxReal x, PxReal y, PxReal z)
    {
        return At(x, y, z, CdxBoxCreate(2 * hx, 2 * hy, 2 * hz));
    }
    CdxModelID Ball(PxReal radius, PxReal x, PxReal y, PxReal z) { return At(x, y, z, CdxSphereCreate(radius)); }
    CdxModelID Plane(PxReal height) { return At(0, 0, height, CdxPlaneCreate()); }
    // A composite model at (x, y, z); make it before its elements.
    CdxModelID Composite(int maxElements, PxReal x, PxReal y, PxReal z);
    Pose &PoseOf(CdxModelID model);
    void Move(CdxModelID model, const Pose &pose) { PoseOf(model) = pose; }
    void MoveTo(CdxModelID model, PxReal x, PxReal y, PxReal z) { PoseOf(model).SetOrigin({x, y, z}); }
    PxReal (*Transform(CdxModelID model))[4] { return *CdxModelGetTransformPtr(model); }
    void Drive(CdxModelID model, PxReal vx, PxReal vy, PxReal vz);
    // A geometry the fixture destroys once, however often it is given.
    CdxGeometryID Own(CdxGeometryID geometry);
    Mesh &NewMesh();

    // A pair of a and b that has said hello; the fixture keeps it.
    CdxModelPair *Pair(CdxModelID a, CdxModelID b);
    static CdxIntersectResult ResultOn(CdxContact *contacts, int capacity)
    {
        CdxIntersectResult result = {};
        result.contacts = contacts;
        result.contactCapacity = capacity;
        return result;
    }
    // Hello, intersect and goodbye on a fresh pair (model1, model2) with
    // the given request (null: the pair type's own default) and contact
    // capacity. Returns touch; contacts and normal in the out-parameters.
    int Intersect(CdxModelID model1, CdxModelID model2, std::vector<CdxContact> *contacts, Vec *normal = nullptr,
                  const CdxRequest *request = nullptr, int capacity = 64, CdxModelPair *pairOut = nullptr);

    // A space removed and destroyed at tear-down.
    CdxSpaceID Space(int axisMask, int maxModels, int maxPairs);
    // Ends the bracket, reads everything with containers of containerSize,
    // and opens the next bracket.
    Transitions Step(CdxSpaceID space, int containerSize = 64, bool includeFrozen = true);
    // Reads without touching the bracket; after each fill call, during
    // gives the number of calls so far and the iterator.
    Transitions Read(CdxSpaceID space, int containerSize, bool includeFrozen,
                     const std::function<void(int, const CdxSpacePairIterator &)> &during = nullptr);

private:
    struct Kept {
        Pose pose;
        PxVector3 linear, angular;
    };
    Setup setup_;
    int savedWarningLevel_ = 0;
    std::deque<Kept> kept_;
    std::deque<CdxModelPair> pairs_;
    std::deque<Mesh> meshes_;
    std::vector<CdxModelID> models_;
    std::vector<CdxGeometryID> geometries_;
    std::vector<CdxSpaceID> spaces_;
};

// The primitive and mesh tests run on solids.
class PrimitiveTest : public CdxTest {
protected:
    PrimitiveTest() : CdxTest(kAllSolids) {}
};
using MeshTest = PrimitiveTest;
using SpaceTest = CdxTest;

#endif
