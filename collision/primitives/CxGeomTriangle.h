// Primitive against one triangle: the sphere, box and cylinder tests of
// the triangle list (usable by any triangle container). A triangle is a
// face of zero thickness: either side can be touched, and the contact
// normal points from the triangle towards the primitive. Private to the
// collision library.
#ifndef KELMAR_COLLISION_CXGEOMTRIANGLE_H
#define KELMAR_COLLISION_CXGEOMTRIANGLE_H

#include <kelmar/CdxTypes.h>

#include "primitives/CxGeomShape.h"

// Sphere (centre, radius) against a triangle shape: 1 and one contact
// (dims: sphere 3, the triangle's vertex 0, edge 1 or face 2) when within
// eps, else 0.
int CxSphereTriangleContact(const PxVector3 centre, PxReal radius, const CxShape *triangle, PxReal eps,
                            CdxContact *contact);

// Box or cylinder shape against a triangle shape: 1 when within eps, with
// the pair normal and up to capacity contact candidates appended at
// contacts[*count] (count advanced).
int CxConvexTriangleContacts(const CxShape *shape, const CxShape *triangle, PxReal eps, PxVector3 normal,
                             CdxContact *contacts, int capacity, int *count);

#endif
