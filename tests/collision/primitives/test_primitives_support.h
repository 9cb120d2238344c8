// Pieces of the primitive pair tests: a running library with the primitive
// types and pairs, and exact signed distances written independently of the
// library (the truth the pair tests are checked against).
#ifndef KELMAR_TESTS_COLLISION_TEST_PRIMITIVES_SUPPORT_H
#define KELMAR_TESTS_COLLISION_TEST_PRIMITIVES_SUPPORT_H

#include "collision/test_pair_support.h"

// A primitive solid described independently of the library: its kind and
// dimensions, signed distance (negative inside), evenly spread surface
// points, support point and, where there is a closed form, its volume and
// inertia per unit mass about the centroid.
struct Solid {
    enum Kind { Sphere, Box, Plane, Cylinder, Cone } kind;
    Vec half = {0, 0, 0};                  // box
    double r = 0, hh = 0;                  // sphere / cylinder radius, cylinder half-height
    double rb = 0, zb = 0, rt = 0, zt = 0; // cone: base radius at local z = zb, top radius at zt

    CdxGeometryID Create() const;
    double Sd(const Vec &p, const Pose &pose) const;
    // A sphere gives a great circle only; a plane nothing.
    std::vector<Vec> Surface(const Pose &pose, double spacing) const;
    Vec Support(const Pose &pose, const Vec &d) const;
    // False for a cut cone, which has no closed form here. A plane, having
    // no finite mass, reports a unit volume and unit inertia.
    bool Mass(double *volume, Vec *inertia) const;
};
Solid MakeSphere(double r);
Solid MakeBox(const Vec &half);
Solid MakePlane();
Solid MakeCylinder(double r, double hh);
Solid MakeCone(double height, double rb, double rt);

// The library running with the six primitive types and their pairs;
// warnings are collected.
class PrimitiveTest : public PairTest {
protected:
    PrimitiveTest() : PairTest(kWarnings) {}
    void SetUp() override;
    void TearDown() override;

    // A model of geometry (which the fixture destroys) placed at a pose
    // kept alive by the fixture.
    CdxModelID Place(CdxGeometryID geometry, const Pose &pose);
};

#endif
