/* Start and stop of the collision library, its process-wide settings and
 * the default request. */
#ifndef KELMAR_CDXFRAME_H
#define KELMAR_CDXFRAME_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* Starts the library: the type registry for geometryTypeCapacity types
 * (1..32767), a model pool whose first block holds modelCapacity models
 * (>= 1, grows when used up), the default request {4, 0}, an empty
 * interaction table, and no hello callback. Returns 1, or 0 when the
 * library is already running, a capacity is out of range or memory is
 * short (nothing is left allocated then). */
int CdxInit(int geometryTypeCapacity, int modelCapacity);

/* Stops the library: frees the registry, the model pool and the interaction
 * table, then runs the term actions newest first. All models, geometries
 * and spaces must be gone. Does nothing when the library is not running. */
void CdxTerm(void);

/* Makes room for modelCapacity models in all (live ones included) without
 * moving any, so that a running library serves more models without being
 * stopped. 1, or 0 when the library is not running or memory is short. */
int CdxReserveModels(int modelCapacity);
/* Models the library has room for without allocating (0 when stopped). */
int CdxGetModelCapacity(void);
/* Models alive (created and not destroyed); 0 when stopped. */
int CdxGetModelCount(void);

/* Makes room for geometryTypeCapacity types (1..32767) in the registry and
 * the interaction table, every registered type keeping its number and every
 * pair its functions, so that a running library takes more types without
 * being stopped. 1 (also when there is room already), or 0 when the library
 * is not running, the capacity is out of range or memory is short. */
int CdxReserveGeometryTypes(int geometryTypeCapacity);
/* Types the registry has room for (0 when stopped). */
int CdxGetGeometryTypeCapacity(void);

/* 1 between CdxInit and CdxTerm. */
int CdxIsInitialized(void);

typedef void (*CdxTermAction)(void);
/* Runs action at the next CdxTerm (newest first). 0 when not running. */
int CdxRegisterTermAction(CdxTermAction action);

/* Contact tolerance given to new models (length). Starts at the
 * single-precision 0.005 widened to double. */
PxReal CdxModelGetDefaultContactTolerance(void);
void CdxModelSetDefaultContactTolerance(PxReal tolerance);

/* The toolkit version text, null when the library is not running. */
const char *CdxGetVersionString(void);

/* Six-real box (x-min, x-max, y-min, y-max, z-min, z-max) to two corners. */
void CdxConvertBounds(const PxReal bounds[6], PxVector3 min, PxVector3 max);

/* Requests: CdxRequestInit sets {4, 0}. */
void CdxRequestInit(CdxRequest *request);
void CdxRequestCopy(const CdxRequest *from, CdxRequest *to);
/* Resets the library's own default request to {4, 0}. */
void CdxRequestDefaultInit(void);
/* The library's own default request: the one new pairs point at unless
 * their space names another (CdxSpaceSetDefaultRequestPtr), and the one
 * pair tests fall back on for a pair without request. */
CdxRequest *CdxGetDefaultRequestPtr(void);

PX_EXTERN_C_END

#endif
