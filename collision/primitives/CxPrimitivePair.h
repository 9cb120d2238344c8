// Shared steps of the primitive pair functions: reading the pair, the
// contact budget, writing contacts and building working-frame shapes from
// models. Private to the collision library.
#ifndef KELMAR_COLLISION_CXPRIMITIVEPAIR_H
#define KELMAR_COLLISION_CXPRIMITIVEPAIR_H

#include "framework/CdxModelRecord.h"
#include "primitives/CxGeomConvexPair.h"
#include "primitives/CxGeomShape.h"
#include "primitives/CxPrimitiveRecords.h"

struct CxPair {
    CdxModel *model1;
    CdxModel *model2;
    const PxReal (*tm1)[4]; // world transforms; the identity for a model without one
    const PxReal (*tm2)[4];
    PxReal eps; // summed contact tolerances
};

// Reads the pair; stores it in the result, which starts with no contacts.
// Returns 0 for a pair without both models.
int CxPairBegin(CdxModelPair *pair, CdxIntersectResult *result, CxPair *out);

// min(request contactMaxCount, result capacity) with the pair's request or
// else typeDefault.
int CxPairBudget(const CdxModelPair *pair, const CdxIntersectResult *result, const CdxRequest *typeDefault);

// No touch: no contacts; returns 0.
int CxPairNoTouch(CdxIntersectResult *result);

void CxContactSet(CdxContact *contact, const PxVector3 position, const PxVector3 normal, PxReal separation, int dims);

// The one-contact ending: the result normal, and the contact when the
// budget allows one. Returns 1 (touch).
int CxPairSingleContact(CdxModelPair *pair, CdxIntersectResult *result, const CdxRequest *typeDefault,
                        const PxVector3 position, const PxVector3 normal, PxReal separation, int dims);

// Plane pairs, in the plane's frame (normal +z): the part of the segment
// origin + s step (s in [lo, hi]) with z <= 0. Appends both ends of that
// part when bothEnds, otherwise only the ends where it crosses the plane;
// returns the new count.
int CxAddPartBelowPlane(const PxVector3 origin, const PxVector3 step, PxReal lo, PxReal hi, int bothEnds,
                        PxVector3 *points, int count);

// Plane pairs: the candidate points (plane frame) lower than keepBelow
// (0.01 x the separation, for a shape that is well into the plane) become
// contacts at their world positions with the plane's normal, written to
// candidates (room for count) and reduced into the result. Returns 1 (touch).
int CxPlanePairContacts(const CxPair *p, const PxVector3 *points, int count, PxReal keepBelow, int dims,
                        CdxContact *candidates, CdxIntersectResult *result, const CdxRequest *typeDefault);

// A convex shape in world coordinates for a sphere, box, cylinder or cone
// model (a triangle list as its box); 0 for other geometries.
int CxShapeFromModel(const CdxModel *model, CxShape *shape);

// Intersect of two convex shapes through the generic machinery: the
// separation over the candidate axes (and GJK), contacts from the feature
// points, reduced to the budget. Returns touch.
int CxConvexPairIntersect(CdxIntersectResult *result, const CxShape *shape1, const CxShape *shape2,
                          const PxVector3 *axes, int axisCount, PxReal eps, const CdxRequest *typeDefault);

// The identity transform, for models and planes without one.
extern const PxMatrix4 gCxIdentityTM;

#endif
