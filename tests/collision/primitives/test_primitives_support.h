// Pieces of the primitive pair tests: a running library with the primitive
// types and pairs, and exact signed distances written independently of the
// library (the truth the pair tests are checked against).
#ifndef KELMAR_TESTS_COLLISION_TEST_PRIMITIVES_SUPPORT_H
#define KELMAR_TESTS_COLLISION_TEST_PRIMITIVES_SUPPORT_H

#include "collision/test_pair_support.h"

// Exact signed distances (negative inside) in world coordinates.
double SdSphere(const Vec &p, const Pose &pose, double r);
double SdBox(const Vec &p, const Pose &pose, const Vec &half);
double SdPlane(const Vec &p, const Pose &pose);
double SdCylinder(const Vec &p, const Pose &pose, double r, double halfHeight);
// Cone: base radius rb at local z = zb, top radius rt at zt.
double SdCone(const Vec &p, const Pose &pose, double rb, double zb, double rt, double zt);

// Evenly spread surface points (world) of a box, cylinder or cone, with
// roughly the given spacing.
std::vector<Vec> BoxSurface(const Pose &pose, const Vec &half, double spacing);
std::vector<Vec> CylinderSurface(const Pose &pose, double r, double halfHeight, double spacing);
std::vector<Vec> ConeSurface(const Pose &pose, double rb, double zb, double rt, double zt, double spacing);

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
