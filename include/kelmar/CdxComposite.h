/* Composite geometries and models: several element models, each placed by
 * a fixed relative transform in the composite's frame, so that one rigid
 * body can carry a compound shape.
 *
 * An element is an ordinary model whose relative transform is its
 * placement, whose parent is the composite model and whose reference
 * frame is the composite model's transform. Its own transform pointer
 * (set by the caller) receives its world placement. Elements may be
 * composite themselves. Elements stay owned by the caller; a model belongs
 * to at most one composite.
 *
 * The pair functions place the elements only when the composite's
 * transform has changed since they were last placed (the model's update
 * and CdxCompositeGeometryUpdateTransform always place them; a space's box
 * update does not, where the box turns from the composite's frame, so
 * read an element's transform after CdxModelUpdate). A placement
 * changed in place takes effect at the next of those, or at
 * CdxCompositeGeometryRebuild, which the bounding radius needs anyway.
 *
 * A composite model's box (CdxModelGetAABB, which its space asks for) is
 * its elements' boxes at their placements united in its own frame, then
 * turned with the model: it holds every element, but may be larger than
 * their boxes where they stand (those of an empty composite or of one with
 * composite elements are united where they stand). The box in the
 * composite's frame is found again after adding or removing an element
 * and after CdxCompositeGeometryRebuild: rebuild after resizing an element
 * or changing a placement in place. */
#ifndef KELMAR_CDXCOMPOSITE_H
#define KELMAR_CDXCOMPOSITE_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* Registers the type "CdxComposite" (once per CdxInit) and returns its
 * number; composites cannot be created before. */
CdxGeometryTypeID CdxCompositeRegisterType(void);
CdxGeometryTypeID CdxCompositeGetTypeId(void); /* -1 before registration */

/* Composite geometry with room for maxElements (>= 0); null when the type
 * is not registered or memory is short. */
CdxGeometryID CdxCompositeGeometryCreate(int maxElements);
/* Appends the element with its placement (not owned). Returns 0 and adds
 * nothing when the composite is full, the element has no transform
 * pointer to receive its placement, or is already an element. */
int CdxCompositeGeometryAddElement(CdxGeometryID geometry, CdxModelID element, PxMatrix4 *relativeTransform);
/* Removes element index, keeping the order of the others; clears its
 * relative transform. 0 for an index out of range. */
int CdxCompositeGeometryRemoveElement(CdxGeometryID geometry, int index);
int CdxCompositeGeometryGetElement(CdxGeometryID geometry, int index, CdxModelID *element,
                                   PxMatrix4 **relativeTransform);
CdxModelID CdxCompositeGeometryGetModel(CdxGeometryID geometry, int index);
int CdxCompositeGeometryGetElementCount(CdxGeometryID geometry);
int CdxCompositeGeometryGetElementMaxCount(CdxGeometryID geometry);
/* Bounding radius about the composite origin: the largest over elements of
 * |relative translation + element sphere centre| + element sphere radius
 * (0 without elements). Adding and removing keep it current. */
void CdxCompositeGeometryBuild(CdxGeometryID geometry);
void CdxCompositeGeometryRebuild(CdxGeometryID geometry);
PxReal CdxCompositeGeometryGetBSphereRadius(CdxGeometryID geometry);
/* Releases every element (parent and placement cleared); count 0. */
void CdxCompositeGeometryDecompose(CdxGeometryID geometry);
/* Places every element: element transform = transform o relative,
 * recursing into composite elements. A null transform is the identity. */
void CdxCompositeGeometryUpdateTransform(CdxGeometryID geometry, const PxMatrix4 transform);
/* Frees the composite record (elements are released, not destroyed). */
void CdxCompositeDestroy(CdxGeometryID geometry);

/* Centre-of-mass frame (identity rotation), inertia about the centre of
 * mass divided by the total mass, total volume and total mass of the
 * elements (each element's mass is its density x volume). An empty
 * composite reports a solid sphere of its bounding radius r: inertia
 * 0.4 r^2, volume and mass 4/3 pi r^3. Returns 0 when the geometry is not
 * composite or the total mass is not positive. */
int16_t CdxCompositeGetMassPropertiesAndMass(CdxGeometryID geometry, PxMatrix4 comTransform, PxMatrix3 inertia,
                                             PxReal *volume, PxReal *mass);

/* A model on a new composite geometry; null on failure. */
CdxModelID CdxCompositeModelCreate(int maxElements);
/* A model on an existing composite geometry, adopting its elements. */
CdxModelID CdxCompositeModelCreateFromCompositeGeometry(CdxGeometryID geometry);
/* Makes element part of the model; 0 as for the geometry. */
int CdxCompositeModelAddElement(CdxModelID model, CdxModelID element, PxMatrix4 *relativeTransform);
int CdxCompositeModelRemoveElement(CdxModelID model, int index);
/* The update function of composite models: places the elements. */
void CdxCompositeModelUpdateTransform(CdxModelID model);
void CdxCompositeModelBuild(CdxModelID model);
/* Places the elements once more, then releases them. */
void CdxCompositeModelDecompose(CdxModelID model);
/* Frees the composite geometry and returns the model to the pool. */
void CdxCompositeModelDestroy(CdxModelID model);
CdxModelID CdxCompositeModelGetElement(CdxModelID model, int index);
int CdxCompositeModelGetElementCount(CdxModelID model);
int CdxCompositeModelGetElementMaxCount(CdxModelID model);
PxMatrix4 *CdxCompositeModelGetElementRelativeTransformPtr(CdxModelID model, int index);
int CdxModelIsComposite(CdxModelID model);

/* Pair function of (composite, anything): the composite is model 1. Tests
 * every element against model 2, merges the contacts (element1 = the
 * element model, element2 = model 2's sub-element), averages the normals
 * and reduces the contacts to the pair's budget. */
int CdxCompositeGenericIntersect(CdxModelPair *pair, CdxIntersectResult *result);
/* Smallest lower and upper bound over the elements' approximate distances;
 * element1 is the element that gave the lower bound. */
int CdxCompositeGenericApproximateDistance(CdxModelPair *pair, const CdxDistanceRequest *request,
                                           CdxDistanceResult *result);
/* Nearest element hit (result element = the element, or the element hit
 * inside a composite element). The filtered form skips elements the
 * filter rejects. */
int CdxCompositeLineSegment(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result);
int CdxCompositeLineSegmentFiltered(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxModelFilterFn filter,
                                    void *filterData, CdxLineSegResult *result);

/* Registers the composite intersect for (composite, t) for every type t
 * registered so far, and the composite line-segment function. */
void CdxCompositeGenericRegisterInteractions(void);
void CdxCompositeLineSegRegisterInteraction(void);
/* Registers the composite approximate distance likewise. */
void CdxCompositeGenericRegisterDistance(void);

PX_EXTERN_C_END

#endif
