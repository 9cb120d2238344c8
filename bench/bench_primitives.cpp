// Primitive pair tests: time per intersection for every pair type, with
// the two models touching (slightly penetrating, tilted so that contacts
// are made) and apart (near, but beyond the tolerance).
#include <kelmar/Cdx.h>
#include <kelmar/PxVector.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

enum Shape { Sphere, Box, Plane, Cylinder, Cone, List };

// A floor of two triangles under the list's origin, handed out on every call.
PxReal gCorners[4][3] = {{-2, -2, 0}, {2, -2, 0}, {2, 2, 0}, {-2, 2, 0}};
PxReal gNormal[3] = {0, 0, 1};
CdxUserTriangle gTriangles[2] = {{{gCorners[0], gCorners[1], gCorners[2]}, gNormal},
                                 {{gCorners[0], gCorners[2], gCorners[3]}, gNormal}};

int FloorCallback(CdxModelPair *, const PxVector3, PxReal)
{
    return 2;
}

CdxGeometryID Create(Shape shape)
{
    switch (shape) {
    case Sphere: return CdxSphereCreate(0.5);
    case Box: return CdxBoxCreate(1.0, 0.8, 0.6);
    case Plane: return CdxPlaneCreate();
    case Cylinder: return CdxCylinderCreate(0.4, 1.0);
    case Cone: return CdxConeCreatePointed(1.2, 0.5);
    case List: {
        CdxGeometryID list = CdxTriangleListCreate(4, 4, 0.1, FloorCallback);
        CdxTriangleListSetList(list, gTriangles, 2, nullptr);
        return list;
    }
    }
    return nullptr;
}

// A rotation about a fixed skew axis by angle, at height z.
void Tilted(PxMatrix4 tm, double angle, double z)
{
    const double k[3] = {0.48, 0.6, 0.64}; // unit
    double c = std::cos(angle), s = std::sin(angle);
    for (int i = 0; i < 3; ++i) {
        double e[3] = {0, 0, 0};
        e[i] = 1.0;
        double kxe[3] = {k[1] * e[2] - k[2] * e[1], k[2] * e[0] - k[0] * e[2], k[0] * e[1] - k[1] * e[0]};
        double ke = k[i];
        for (int j = 0; j < 3; ++j) tm[i][j] = e[j] * c + kxe[j] * s + k[j] * ke * (1 - c);
        tm[i][3] = 0.0;
    }
    tm[3][0] = 0.0;
    tm[3][1] = 0.0;
    tm[3][2] = z;
    tm[3][3] = 1.0;
}

// Model 1 tilted at the origin, model 2 below it: 0.02 deeper than the
// height where they start to touch (found by bisection on the touch flag
// with zero tolerances), or 0.05 below it with the usual tolerances.
void RunPair(benchmark::State &state, Shape first, Shape second)
{
    CdxInit(8, 8);
    CdxPrimitivesRegisterTypes();
    CdxPrimitivesRegisterInteractions();
    CdxGeometryID g1 = Create(first), g2 = Create(second);
    PxMatrix4 tm1, tm2;
    Tilted(tm1, 0.3, 0.0);
    Tilted(tm2, second == Plane || second == List ? 0.0 : -0.2, 0.0);
    CdxModelID m1 = CdxModelCreate(g1), m2 = CdxModelCreate(g2);
    CdxModelSetTransformPtr(m1, &tm1);
    CdxModelSetTransformPtr(m2, &tm2);
    CdxModelSetContactTolerance(m1, 0.0);
    CdxModelSetContactTolerance(m2, 0.0);
    CdxModelPair pair;
    CdxModelPairReset(&pair, m1, m2);
    CdxHello(&pair);
    std::vector<CdxContact> contacts(16);
    CdxIntersectResult result = {};
    result.contacts = contacts.data();
    result.contactCapacity = (int)contacts.size();
    double apart = -4.0, overlapping = 0.0;
    for (int step = 0; step < 60; ++step) {
        tm2[3][2] = 0.5 * (apart + overlapping);
        CdxIntersect(&pair, &result);
        (result.touch ? overlapping : apart) = tm2[3][2];
    }
    bool touching = state.range(0) == 1;
    tm2[3][2] = touching ? overlapping + 0.02 : apart - 0.05;
    CdxModelSetContactTolerance(m1, 0.005);
    CdxModelSetContactTolerance(m2, 0.005);
    CdxIntersect(&pair, &result);
    if ((result.touch != 0) != touching) state.SkipWithError("the pose does not give the wanted touch");
    int contactCount = result.contactCount;
    for (auto _ : state) {
        CdxIntersect(&pair, &result);
        benchmark::DoNotOptimize(result.contactCount);
    }
    state.SetLabel(touching ? "touching" : "apart");
    state.counters["contacts"] = contactCount;
    CdxGoodbye(&pair);
    CdxModelDestroy(m1);
    CdxModelDestroy(m2);
    CdxGeometryDestroy(g1);
    CdxGeometryDestroy(g2);
    CdxTerm();
}

#define PAIR(name, a, b)                                                                                             \
    void name(benchmark::State &state)                                                                               \
    {                                                                                                                \
        RunPair(state, a, b);                                                                                        \
    }                                                                                                                \
    BENCHMARK(name)->Arg(1)->Arg(0)

PAIR(SphereSphere, Sphere, Sphere);
PAIR(SpherePlane, Sphere, Plane);
PAIR(BoxSphere, Box, Sphere);
PAIR(BoxBox, Box, Box);
PAIR(BoxPlane, Box, Plane);
PAIR(ConePlane, Cone, Plane);
PAIR(ConeSphere, Cone, Sphere);
PAIR(ConeBox, Cone, Box);
PAIR(ConeCone, Cone, Cone);
PAIR(BoxCylinder, Box, Cylinder);
PAIR(CylinderPlane, Cylinder, Plane);
PAIR(CylinderSphere, Cylinder, Sphere);
PAIR(CylinderCylinder, Cylinder, Cylinder);
PAIR(ConeCylinder, Cone, Cylinder);
PAIR(SphereTriangleList, Sphere, List);
PAIR(BoxTriangleList, Box, List);
PAIR(CylinderTriangleList, Cylinder, List);

} // namespace

BENCHMARK_MAIN();
