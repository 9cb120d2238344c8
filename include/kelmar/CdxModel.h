/* Collision models: a geometry placed in the world by a transform the
 * caller owns, with optional velocities, a fixed offset (relative
 * transform) from a reference frame, and the ids the simulation uses.
 *
 * Null model handles are refused: getters return 0 or null, setters do
 * nothing. */
#ifndef KELMAR_CDXMODEL_H
#define KELMAR_CDXMODEL_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* A model from the framework's pool with every field at its initial value
 * (geometry may be null); null when the library is not running or memory
 * is exhausted. */
CdxModelID CdxModelCreate(CdxGeometryID geometry);
/* Returns the model to the pool (a composite model goes through
 * CdxCompositeModelDestroy). A model still in a space gives warning 40
 * and is removed from it first: its pairs end with a goodbye at the next
 * CdxSpaceEndChanges whose record no longer names it (that model pointer
 * is null). */
void CdxModelDestroy(CdxModelID model);

void CdxModelSetGeometry(CdxModelID model, CdxGeometryID geometry);
CdxGeometryID CdxModelGetGeometry(CdxModelID model);
/* The model's world transform (not owned). For a composite model the
 * elements follow the new pointer. */
void CdxModelSetTransformPtr(CdxModelID model, PxMatrix4 *transform);
PxMatrix4 *CdxModelGetTransformPtr(CdxModelID model);
/* Velocities (3 reals each, world, not owned; null = none): length/time
 * and rad/time. */
void CdxModelSetLinearVelocityPtr(CdxModelID model, PxReal *velocity);
PxReal *CdxModelGetLinearVelocityPtr(CdxModelID model);
void CdxModelSetAngularVelocityPtr(CdxModelID model, PxReal *velocity);
PxReal *CdxModelGetAngularVelocityPtr(CdxModelID model);
void CdxModelSetUserData(CdxModelID model, void *data);
void *CdxModelGetUserData(CdxModelID model);
void CdxModelSetName(CdxModelID model, const char *name); /* not copied */
const char *CdxModelGetName(CdxModelID model);
void CdxModelSetBodyData(CdxModelID model, void *body);
void *CdxModelGetBodyData(CdxModelID model);
void CdxModelSetMaterialID(CdxModelID model, int id);
int CdxModelGetMaterialID(CdxModelID model);
void CdxModelSetRequestID(CdxModelID model, int id);
int CdxModelGetRequestID(CdxModelID model);
void CdxModelSetResponseID(CdxModelID model, int id);
int CdxModelGetResponseID(CdxModelID model);
void CdxModelSetUpdateCallback(CdxModelID model, CdxModelUpdateFn fn);
CdxModelUpdateFn CdxModelGetUpdateCallback(CdxModelID model);
void CdxModelSetDensity(CdxModelID model, PxReal density); /* mass/volume, 1 at creation */
PxReal CdxModelGetDensity(CdxModelID model);
void CdxModelSetContactTolerance(CdxModelID model, PxReal tolerance); /* length */
PxReal CdxModelGetContactTolerance(CdxModelID model);
/* The composite model this model is an element of, else null. */
CdxModelID CdxModelGetParent(CdxModelID model);
/* The space the model is in and its number there (null and -1 outside). */
CdxSpaceID CdxModelGetSpace(CdxModelID model);
int CdxModelGetSpaceId(CdxModelID model);

/* transform = reference o relative, refreshed by the model's update. With
 * a null relative the model reads transform directly. A composite model
 * keeps its own update function. */
void CdxModelSetRelativeTransformPtrs(CdxModelID model, PxMatrix4 *relative, PxMatrix4 *reference,
                                      PxMatrix4 *transform);
void CdxModelGetRelativeTransformPtrs(CdxModelID model, PxMatrix4 **relative, PxMatrix4 **reference);
/* The update function of a model with a relative transform. */
void CdxModelCompoundTransforms(CdxModelID model);
/* The frame the model follows: the reference transform when the model has
 * a relative transform, else its transform. */
void CdxModelSetReferenceTransformPtr(CdxModelID model, PxMatrix4 *reference);
PxMatrix4 *CdxModelGetReferenceTransformPtr(CdxModelID model);
/* Runs the update function, if any. */
void CdxModelUpdate(CdxModelID model);

/* World box after the update; 1 when written, 0 for a model without
 * geometry (min and max untouched). time is ignored: the signature matches
 * the path box below so that a space can use either. */
int CdxModelGetAABB(CdxModelID model, PxVector3 min, PxVector3 max);
int CdxModelGetAABB_PathCompatible(CdxModelID model, PxVector3 min, PxVector3 max, PxReal time);
/* Box swept over the next time units: the union of the box now and the box
 * at the pose predicted from the velocities (when both are set). */
int CdxModelGetPathAABB(CdxModelID model, PxVector3 min, PxVector3 max, PxReal time);
/* The geometry's sphere with its centre moved by the model's translation
 * (not rotated). 1 when written. */
int CdxModelGetBSphere(CdxModelID model, PxVector3 centre, PxReal *radius);

/* Moves the reference frame to newTransform. With both velocity pointers
 * and timeStep > 1e-7 it first writes the velocities that make the move in
 * timeStep: linear = displacement / timeStep, angular = (2 / timeStep) x
 * the vector part of the rotation quaternion old^-1 new (shortest way).
 * Returns 0 and changes nothing for a model without a reference frame. */
int CdxModelMoveTo(CdxModelID model, const PxMatrix4 newTransform, PxReal timeStep);

/* Mass properties: centre-of-mass frame in the model's reference frame,
 * inertia tensor, volume and mass (volume x density). For a plain model
 * the inertia is the geometry's per-unit-mass tensor times the mass; for a
 * composite model it is the combined tensor divided by the total mass (the
 * form the simulation bridge hands to the body). With a relative transform
 * the tensor is turned into the reference axes and the centre carried
 * through it. Returns the geometry's status, 0 without geometry. */
int16_t CdxModelGetMassProperties(CdxModelID model, PxMatrix4 comTransform, PxMatrix3 inertia, PxReal *volume,
                                  PxReal *mass);

PX_EXTERN_C_END

#endif
