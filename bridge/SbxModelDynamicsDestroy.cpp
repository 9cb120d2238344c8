// Destroying models of a universe: the model leaves the space and its pairs
// end at once, so that their contacts are destroyed while both sides still
// exist; only then do the body and the model go.
#include "SbxUniverseRecord.h"

#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMessage.h>
#include <kelmar/RbdBody.h>
#include <kelmar/SbxBridge.h>

namespace {

void Destroy(SbxUniverse *universe, CdxModelID model)
{
    RbdBodyID body = CdxModelGetBody(model);
    if (body) RbdBodyDisable(body);
    if (CdxModelGetSpace(model)) {
        CdxSpaceRemoveModel(model);
        SbxBridgeUpdateTransitions(universe->bridge, universe->space, universe->world);
    }
    if (body) {
        CdxModelSetBody(model, nullptr);
        RbdBodyDestroy(body);
    }
    CdxModelDestroy(model);
}

} // namespace

extern "C" {

void SbxModelAndBodyDestroy(SbxUniverseID universe, CdxModelID model)
{
    const char *function = "SbxModelAndBodyDestroy";
    if (!SbxCheckModelOfUniverse(universe, model, function)) return;
    if (!CdxModelGetBody(model)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the model has no body; use SbxModelDestroy.\n", function);
        return;
    }
    Destroy(universe, model);
}

void SbxModelDestroy(SbxUniverseID universe, CdxModelID model)
{
    if (SbxCheckModelOfUniverse(universe, model, "SbxModelDestroy")) Destroy(universe, model);
}

void SbxFixedModelDestroy(SbxUniverseID universe, CdxModelID model)
{
    const char *function = "SbxFixedModelDestroy";
    if (!SbxCheckModelOfUniverse(universe, model, function)) return;
    if (CdxModelGetBody(model)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the model has a body; use SbxModelAndBodyDestroy.\n", function);
        return;
    }
    Destroy(universe, model);
}

} // extern "C"
