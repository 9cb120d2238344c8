// Two geometry types made for the tests, so that the framework can be
// exercised without the library's own primitives:
//  - "TestBox": a box of half-extents; its pair test with another box
//    treats both as axis-aligned (it reads only the translations);
//  - "TestBall": a sphere; the pair is registered as (box, ball) only, so a
//    (ball, box) pair must be exchanged by hello.
#ifndef KELMAR_TESTS_COLLISION_CDXTESTSHAPES_H
#define KELMAR_TESTS_COLLISION_CDXTESTSHAPES_H

#include <kelmar/Cdx.h>

struct TestShapeCounters {
    int hello;
    int goodbye;
    int boxBoxCalls;
    int destroyed;
};
extern TestShapeCounters gTestShapeCounters;

// Registers both types and their pair functions: (box, box) with hello,
// goodbye, intersect, safe time and distance; (box, ball) with intersect.
void TestShapesRegister();
CdxGeometryTypeID TestBoxTypeId();
CdxGeometryTypeID TestBallTypeId();

CdxGeometryID TestBoxCreate(PxReal hx, PxReal hy, PxReal hz);
CdxGeometryID TestBallCreate(PxReal radius);

// Identity rotation at (x, y, z).
void TestTranslation(PxMatrix4 tm, PxReal x, PxReal y, PxReal z);
// Rotation by angle about the z axis at (x, y, z).
void TestRotationZ(PxMatrix4 tm, PxReal angle, PxReal x, PxReal y, PxReal z);

#endif
