// Freezing and moving models, with or without bodies, so that the space
// and the world agree about what moves.
#include "SbxUniverseRecord.h"

#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMessage.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>

extern "C" {

void SbxModelFreeze(CdxModelID model)
{
    if (!SbxCheckArgument(model, "SbxModelFreeze", "model")) return;
    // Bounds at the pose it is frozen in.
    if (CdxModelGetSpace(model)) {
        CdxSpaceUnfreezeModel(model);
        CdxSpaceUpdateModel(model);
    }
    RbdBodyID body = CdxModelGetBody(model);
    if (body) RbdBodyFreeze(body);
    // The body's disabled callback does this too, but not for a body that
    // was already asleep.
    CdxSpaceFreezeModel(model);
}

void SbxModelUnFreeze(CdxModelID model)
{
    if (!SbxCheckArgument(model, "SbxModelUnFreeze", "model")) return;
    RbdBodyID body = CdxModelGetBody(model);
    if (body) RbdBodyUnFreeze(body);
    CdxSpaceUnfreezeModel(model);
}

int SbxModelIsFrozen(CdxModelID model)
{
    if (!SbxCheckArgument(model, "SbxModelIsFrozen", "model")) return 0;
    RbdBodyID body = CdxModelGetBody(model);
    return body ? RbdBodyIsFrozen(body) : CdxSpaceModelIsFrozen(model);
}

void SbxModelSetTransform(CdxModelID model, const PxMatrix4 transform)
{
    const char *function = "SbxModelSetTransform";
    if (!SbxCheckArgument(model, function, "model") || !SbxCheckTransform(transform, function)) return;
    RbdBodyID body = CdxModelGetBody(model);
    if (body) {
        RbdBodySetTransform(body, transform);
        // A sleeping body moves on from its new place (a frozen one stays).
        RbdBodyEnable(body);
    } else {
        PxMatrix4 *target = CdxModelGetReferenceTransformPtr(model);
        if (!SbxCheckArgument(target, function, "model transform")) return;
        PxM4Copy(*target, transform);
        CdxModelUpdate(model);
    }
    SbxModelPlace(model);
}

} // extern "C"
