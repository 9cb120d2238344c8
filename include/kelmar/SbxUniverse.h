/* The simulation universe: one dynamics world, one collision space and one
 * bridge, stepped in the right order, and the models that go with them.
 *
 * A scene is built and run like this:
 *
 *   SbxUniverseSizes sizes = {100, 400, 8, 100, 1000, 4};
 *   SbxUniverseID u = SbxUniverseCreate(sizes);
 *   RbdWorldSetGravity(SbxUniverseGetWorld(u), 0, 0, -9.81);
 *
 *   PxMatrix4 groundPose;                      (identity: the plane z = 0)
 *   CdxGeometryID plane = CdxPlaneCreate();
 *   CdxModelID ground = SbxFixedModelCreate(u, plane, &groundPose);
 *
 *   CdxGeometryID box = CdxBoxCreate(1, 1, 1);
 *   CdxModelID crate = SbxModelAndBodyCreate(u, box, 500);   (kg/m^3)
 *   RbdBodySetPosition(CdxModelGetBody(crate), 0, 0, 2);
 *
 *   for (...) SbxUniverseStep(u, 0.01);
 *
 *   SbxModelDestroy(u, crate);  SbxFixedModelDestroy(u, ground);
 *   CdxGeometryDestroy(box);    CdxGeometryDestroy(plane);
 *   SbxUniverseDestroy(u);
 *
 * Model-body link. A model with a body reads its transform and velocities
 * straight from the body, and the body keeps a pointer back to the model.
 * The universe's world freezes a model in the space while its body sleeps
 * or is frozen, and wakes it with the body.
 *
 * Models without bodies read a transform (and velocities) owned by the
 * caller, which must live as long as the model:
 *   fixed      never moves; frozen in the space from the start;
 *   kinematic  moved by the caller; pushes bodies but is not pushed;
 *   sensor     response id 1: reports through the bridge's sensor
 *              callbacks and never makes contacts.
 *
 * Geometries stay the caller's (destroy them before the last universe,
 * which stops the collision library), except a composite geometry, which
 * is freed with its model; the elements of a composite stay the caller's.
 *
 * Every function refuses null handles and bad values with a level-3
 * warning and a null or 0 result. */
#ifndef KELMAR_SBXUNIVERSE_H
#define KELMAR_SBXUNIVERSE_H

#include "CdxTypes.h"
#include "RbdTypes.h"
#include "SbxResponse.h"

PX_EXTERN_C_BEGIN

typedef struct SbxUniverse *SbxUniverseID;

/* Capacities of a universe, in this order. */
typedef struct SbxUniverseSizes {
    int32_t bodies;        /* dynamic bodies, >= 0 (the world grows past it) */
    int32_t constraints;   /* dynamic constraints and contacts, >= 0 (grows too) */
    int32_t geometryTypes; /* collision geometry types: >= 6 for the primitives,
                              one more for composites, one more again
                              for triangle meshes */
    int32_t models;        /* collision models of the space, 1..65536 (fixed) */
    int32_t modelPairs;    /* pairs of models whose boxes overlap at one time,
                              >= 2 (fixed) */
    int32_t materials;     /* >= 1 */
} SbxUniverseSizes;

/* How SbxUniverseStep finds contacts. */
enum {
    SbxUniverseStepPlain = 0, /* boxes at the current poses */
    SbxUniverseStepPath = 1   /* boxes swept over the step, and islands that
                                 would meet within it take shorter steps */
};

/* ---- Universe ---- */

/* A world (auto-disable on, gravity 0), a space over all three axes and a
 * bridge with a model-pair buffer of sizes.modelPairs. The collision
 * library, shared by all universes, is started by the first one and grown
 * in place by every later one that is larger, so that it has room for
 * sizes.geometryTypes types and for the models of every universe alive
 * (the models alive stay where they are). The primitives are registered,
 * composites when there is room for one more type, and triangle meshes
 * when there is room for two more (meshes then take the type after the
 * primitives and composites the next, so that composites meet meshes too;
 * meshes that come later still meet composites). The last universe
 * destroyed stops the library it started, unless models live in it. Types
 * someone registered before are left as they are. Null for bad sizes or
 * when memory is short. */
SbxUniverseID SbxUniverseCreate(SbxUniverseSizes sizes);
/* The box function of a universe's space: the model's box grown on every
 * side by a thousandth of its largest extent, so that bodies resting on
 * each other keep their pair (and their contacts) when the solver lifts one
 * by a hair, instead of losing it and falling freely for a step. Spaces
 * made for the bridge by other means can use it too (CdxSpaceSetAABBFn). */
int SbxModelGetTouchingAABB(CdxModelID model, PxVector3 min, PxVector3 max, PxReal time);
/* Destroys the world (with its bodies and contacts), the space and the
 * bridge. Destroy the models first. */
void SbxUniverseDestroy(SbxUniverseID universe);
/* Number of universes alive in the process. */
int SbxUniverseGetLiveCount(void);

/* One step of h seconds (> 0): the space is updated and the bridge makes
 * the contacts of the current poses (profile section "Collision"), then the
 * world steps (section "Dynamics"). Both halves read one RbdStepInfo: h,
 * and safe-time mode for the path step method. */
void SbxUniverseStep(SbxUniverseID universe, PxReal h);

RbdWorldID SbxUniverseGetWorld(SbxUniverseID universe);
CdxSpaceID SbxUniverseGetSpace(SbxUniverseID universe);
SbxBridgeID SbxUniverseGetBridge(SbxUniverseID universe);
/* The sizes the universe was created with (all 0 for a null universe). */
SbxUniverseSizes SbxUniverseGetSizes(SbxUniverseID universe);
/* SbxUniverseStepPlain (the default) or SbxUniverseStepPath; other values
 * are refused. */
int32_t SbxUniverseGetStepMethod(SbxUniverseID universe);
void SbxUniverseSetStepMethod(SbxUniverseID universe, int32_t method);

/* Installs FreezeModelFromBody and UnfreezeModelFromBody as the world's
 * body-disabled and body-enabled callbacks. */
void SbxSetWorldHandlers(RbdWorldID world);
/* Freeze or wake the body's model in its space; nothing for a body
 * without a model. */
void FreezeModelFromBody(RbdBodyID body);
void UnfreezeModelFromBody(RbdBodyID body);

/* ---- Models with bodies ---- */

/* A model on geometry and an enabled body at the origin whose mass,
 * inertia and centre of mass come from the geometry at density (> 0,
 * mass per volume); the model is in the universe's space. A composite
 * geometry makes a composite model (its elements get the density). Null
 * when the model or the body cannot be made. */
CdxModelID SbxModelAndBodyCreate(SbxUniverseID universe, CdxGeometryID geometry, PxReal density);
/* Mass, inertia tensor and centre-of-mass frame of body from model's
 * geometry at density. For a composite model a positive density is given
 * to every element; 0 keeps the elements' own densities. Returns 1, or 0
 * (body unchanged) for a bad density or a geometry without mass
 * properties. */
int SbxAutoSetMassProperties(RbdBodyID body, CdxModelID model, PxReal density);

/* A composite model with room for elementCount elements and a body, linked
 * but neither enabled nor in the space; density (>= 0) as for
 * SbxAutoSetMassProperties. Add the elements with
 * CdxCompositeModelAddElement, then call SbxCompositeModelAndBodyBuild. */
CdxModelID SbxCompositeModelAndBodyCreate(SbxUniverseID universe, int elementCount, PxReal density);
/* Mass properties from the elements, then the model joins the space and
 * the body is enabled. Returns 1, or 0 when the mass properties cannot be
 * computed (nothing inserted or enabled then). */
int SbxCompositeModelAndBodyBuild(SbxUniverseID universe, CdxModelID model);

/* Takes the model out of the space, ends its pairs at once (their contacts
 * are destroyed while both sides still exist), then destroys the body and
 * the model. The model must have a body. */
void SbxModelAndBodyDestroy(SbxUniverseID universe, CdxModelID model);
/* The same for any model of the universe, with or without a body. */
void SbxModelDestroy(SbxUniverseID universe, CdxModelID model);

/* ---- Models without bodies ---- */

/* A model at *transform, placed once and frozen in the space. */
CdxModelID SbxFixedModelCreate(SbxUniverseID universe, CdxGeometryID geometry, PxMatrix4 *transform);
void SbxFixedModelDestroy(SbxUniverseID universe, CdxModelID model);
/* A model at *transform moving with the caller's velocities (each may be
 * null); the caller moves it between steps. */
CdxModelID SbxKinematicModelCreate(SbxUniverseID universe, CdxGeometryID geometry, PxMatrix4 *transform,
                                   PxReal *linearVelocity, PxReal *angularVelocity);
/* Sensor models at *transform (response id 1). */
CdxModelID SbxSensorModelCreate(SbxUniverseID universe, CdxGeometryID geometry, PxMatrix4 *transform);
CdxModelID SbxSensorCompositeModelCreate(SbxUniverseID universe, CdxGeometryID compositeGeometry,
                                         PxMatrix4 *transform);

/* ---- Freezing and moving ---- */

/* Freezing holds a model where it is: its body is frozen (immovable for
 * its joints and contacts) and the space stops updating it. Unfreezing
 * wakes both. */
void SbxModelFreeze(CdxModelID model);
void SbxModelUnFreeze(CdxModelID model);
int SbxModelIsFrozen(CdxModelID model);
/* Moves the model: its body's transform, or the transform the model
 * reads. A sleeping body wakes; a model frozen in the space is placed
 * there at once. */
void SbxModelSetTransform(CdxModelID model, const PxMatrix4 transform);

/* ---- Model-body link ---- */

/* Links model and body: the model reads the body's transform and
 * velocities and answers as a body (response id 0). Null unlinks: every
 * pointer of the model into the old body is cleared. Refused for an
 * element of a composite and for a body that already has another model. */
void CdxModelSetBody(CdxModelID model, RbdBodyID body);
/* The model's body; null without one and for an element of a composite. */
RbdBodyID CdxModelGetBody(CdxModelID model);
/* Puts the model's body at the origin, unrotated and at rest. */
void CdxModelDynamicsReset(CdxModelID model);

PX_EXTERN_C_END

#endif
