// The model-body link: a model that reads its pose and velocities from a
// body, the body's pointer back to it, the world callbacks that freeze and
// wake the model with the body, and mass properties from the geometry.
#include "SbxUniverseRecord.h"

#include <math.h>

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxMessage.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdWorld.h>

namespace {

// A centre-of-mass frame this close to the identity is the reference frame.
const PxReal kComIdentityTolerance = 0.0001;

// The body hands out read-only views of its pose and velocities; a model
// keeps writable pointers to them (moving a model writes through them).
PxMatrix4 *TransformOf(RbdBodyID body)
{
    return reinterpret_cast<PxMatrix4 *>(const_cast<PxReal(*)[4]>(RbdBodyGetTransformPtr(body)));
}

PxReal *LinearVelocityOf(RbdBodyID body)
{
    return const_cast<PxReal *>(RbdBodyGetLinearVelocityPtr(body));
}

PxReal *AngularVelocityOf(RbdBodyID body)
{
    return const_cast<PxReal *>(RbdBodyGetAngularVelocityPtr(body));
}

void Link(CdxModelID model, RbdBodyID body)
{
    RbdBodySetModel(body, model);
    CdxModelSetReferenceTransformPtr(model, TransformOf(body));
    CdxModelSetLinearVelocityPtr(model, LinearVelocityOf(body));
    CdxModelSetAngularVelocityPtr(model, AngularVelocityOf(body));
    CdxModelSetResponseID(model, SbxBodyResponseID);
    CdxModelSetBodyData(model, body);
}

// Clears every pointer of the model into the body and the body's pointer
// back, whichever of them are set.
void Unlink(CdxModelID model, RbdBodyID body)
{
    if (CdxModelGetReferenceTransformPtr(model) == TransformOf(body))
        CdxModelSetReferenceTransformPtr(model, nullptr);
    if (CdxModelGetLinearVelocityPtr(model) == LinearVelocityOf(body)) CdxModelSetLinearVelocityPtr(model, nullptr);
    if (CdxModelGetAngularVelocityPtr(model) == AngularVelocityOf(body))
        CdxModelSetAngularVelocityPtr(model, nullptr);
    if (RbdBodyGetModel(body) == model) RbdBodySetModel(body, nullptr);
    CdxModelSetBodyData(model, nullptr);
}

bool DensityIsValid(CdxModelID model, PxReal density)
{
    // Zero is allowed for composites only: their elements bring their own.
    const bool valid = isfinite(density) && (density > 0.0 || (density == 0.0 && CdxModelIsComposite(model)));
    if (!valid)
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
                  "SbxAutoSetMassProperties: the density %g must be > 0 (0 only for composites).\n", density);
    return valid;
}

} // namespace

void SbxCompositeSpreadDensity(CdxGeometryID composite, PxReal density)
{
    const int count = CdxCompositeGeometryGetElementCount(composite);
    for (int k = 0; k < count; ++k) {
        CdxModelID element = CdxCompositeGeometryGetModel(composite, k);
        CdxModelSetDensity(element, density);
        if (CdxModelIsComposite(element)) SbxCompositeSpreadDensity(CdxModelGetGeometry(element), density);
    }
}

extern "C" {

void FreezeModelFromBody(RbdBodyID body)
{
    CdxModelID model = static_cast<CdxModelID>(RbdBodyGetModel(body));
    if (model) CdxSpaceFreezeModel(model);
}

void UnfreezeModelFromBody(RbdBodyID body)
{
    CdxModelID model = static_cast<CdxModelID>(RbdBodyGetModel(body));
    if (model) CdxSpaceUnfreezeModel(model);
}

void SbxSetWorldHandlers(RbdWorldID world)
{
    if (!SbxCheckArgument(world, "SbxSetWorldHandlers", "world")) return;
    RbdWorldSetBodyDisabledCallback(world, FreezeModelFromBody);
    RbdWorldSetBodyEnabledCallback(world, UnfreezeModelFromBody);
}

void CdxModelSetBody(CdxModelID model, RbdBodyID body)
{
    const char *function = "CdxModelSetBody";
    if (!SbxCheckArgument(model, function, "model")) return;
    if (CdxModelGetParent(model)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
                  "%s: the model is an element of a composite and follows the composite.\n", function);
        return;
    }
    RbdBodyID old = static_cast<RbdBodyID>(CdxModelGetBodyData(model));
    if (body && body == old) return;
    if (body && RbdBodyGetModel(body) && RbdBodyGetModel(body) != model) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the body already has a model; unlink that one first.\n", function);
        return;
    }
    if (old) Unlink(model, old);
    if (body) Link(model, body);
}

RbdBodyID CdxModelGetBody(CdxModelID model)
{
    if (!model || CdxModelGetParent(model)) return nullptr;
    return static_cast<RbdBodyID>(CdxModelGetBodyData(model));
}

void CdxModelDynamicsReset(CdxModelID model)
{
    RbdBodyID body = CdxModelGetBody(model);
    if (!body) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "Resetting dynamics on CdxModel with no dynamics.\n");
        return;
    }
    PxMatrix4 origin;
    PxM4Identity(origin);
    SbxModelSetTransform(model, origin);
    RbdBodySetLinearVelocity(body, 0.0, 0.0, 0.0);
    RbdBodySetAngularVelocity(body, 0.0, 0.0, 0.0);
}

int SbxAutoSetMassProperties(RbdBodyID body, CdxModelID model, PxReal density)
{
    const char *function = "SbxAutoSetMassProperties";
    if (!SbxCheckArgument(body, function, "body") || !SbxCheckArgument(model, function, "model")) return 0;
    if (!DensityIsValid(model, density)) return 0;
    CdxModelSetDensity(model, density);
    if (CdxModelIsComposite(model) && density > 0.0) SbxCompositeSpreadDensity(CdxModelGetGeometry(model), density);

    PxMatrix4 comFrame;
    PxMatrix3 inertia;
    PxReal volume = 0.0, mass = 0.0;
    if (!CdxModelGetMassProperties(model, comFrame, inertia, &volume, &mass) || !(mass > 0.0)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the model's geometry has no mass properties.\n", function);
        return 0;
    }
    // A composite's tensor comes per unit mass; the body wants kg m^2.
    if (CdxModelIsComposite(model))
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) inertia[i][j] *= mass;
    RbdBodySetMass(body, mass);
    RbdBodySetInertiaTensor(body, inertia);

    // A frame left from earlier mass properties must not outlive them.
    PxMatrix4 current;
    RbdBodyGetCenterOfMassRelativeTransform(body, current);
    if (!PxMatrix4IsIdentity(comFrame, kComIdentityTolerance) || !PxMatrix4IsIdentity(current, kComIdentityTolerance))
        RbdBodySetCenterOfMassRelativeTransform(body, comFrame);
    return 1;
}

} // extern "C"
