// Universe life: the world, the space and the bridge, and the process-wide
// count of universes that keeps the collision library running and large
// enough for all of them.
#include "SbxUniverseRecord.h"

#include <math.h>

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxFrame.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxInteractionTable.h>
#include <kelmar/CdxInteractions.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/SbxBridge.h>

namespace {

// Largest type capacity and model count the collision library accepts.
const int kMaxGeometryTypes = 32767;
const int kMaxModels = 65536;

// The collision library is shared by every universe of the process (its
// type registry and model pool are process-wide): these count what the
// universes alive ask of it.
struct LiveUniverses {
    int count;
    int models;   // sum of their model counts
    bool started; // a universe started the library (else someone else runs it)
};
LiveUniverses gLive = {0, 0, false};

bool SizesAreValid(const SbxUniverseSizes &sizes)
{
    const char *problem = nullptr;
    if (sizes.bodies < 0 || sizes.constraints < 0)
        problem = "body and constraint counts must be >= 0";
    else if (sizes.geometryTypes < CdxPrimitivesGetTypeCount() || sizes.geometryTypes > kMaxGeometryTypes)
        problem = "the geometry type count must leave room for the primitives (6..32767)";
    else if (sizes.models < 1 || sizes.models > kMaxModels)
        problem = "the model count must be 1..65536";
    else if (sizes.modelPairs < 2)
        problem = "the model pair count must be >= 2";
    else if (sizes.materials < 1)
        problem = "the material count must be >= 1";
    if (!problem) return true;
    PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
              "SbxUniverseCreate: bad sizes (%d bodies, %d constraints, %d geometry types, %d models, "
              "%d model pairs, %d materials): %s.\n",
              sizes.bodies, sizes.constraints, sizes.geometryTypes, sizes.models, sizes.modelPairs, sizes.materials,
              problem);
    return false;
}

// Composites when the registry has room for one more type; the composite
// pair and line-segment functions then cover every type registered before.
void RegisterComposites()
{
    if (CdxCompositeGetTypeId() >= 0) return;
    if (CdxGeometryGetRegisteredTypeCount() >= CdxGetGeometryTypeCapacity()) return;
    CdxCompositeRegisterType();
    CdxCompositeGenericRegisterInteractions();
    CdxCompositeLineSegRegisterInteraction();
}

// Triangle meshes when the registry has room for them and still for
// composites, which keep the first place after the primitives. Meshes go
// before composites so that the composite pair functions cover them too; a
// mesh type that comes after the composites (a larger universe grew the
// registry) gets its composite pair here.
void RegisterMeshes()
{
    if (CdxTriangleMeshGetTypeId() >= 0) return;
    const CdxGeometryTypeID composite = CdxCompositeGetTypeId();
    const int room = composite >= 0 ? 1 : 2;
    if (CdxGeometryGetRegisteredTypeCount() + room > CdxGetGeometryTypeCapacity()) return;
    const CdxGeometryTypeID mesh = CdxTriangleMeshRegisterType();
    CdxTriangleMeshRegisterInteractions();
    if (composite < 0 || mesh < 0) return;
    CdxInteractions interactions;
    CdxInteractionsInit(&interactions);
    interactions.intersectFn = CdxCompositeGenericIntersect;
    CdxInteractionTableSetElement(composite, mesh, &interactions, nullptr);
}

// Run by CdxTerm, whoever calls it: a library a universe started and left
// to another's models may be stopped by the program, which may then start
// its own; that one is not the universes' to stop.
void ForgetStartedLibrary()
{
    gLive.started = false;
}

// Starts the collision library, or grows the running one in place for a
// universe larger than the ones before: room for the models of every
// universe alive, and for the universe's type count. Stopping and starting
// it again would free the models of the universes alive.
bool GrowCollisionLibrary(const SbxUniverseSizes &sizes)
{
    const int models = gLive.models + sizes.models;
    if (!CdxIsInitialized()) {
        if (!CdxInit(sizes.geometryTypes, models)) return false;
        gLive.started = true;
        // Short of memory for the action, only the last universe clears the flag.
        CdxRegisterTermAction(ForgetStartedLibrary);
    } else if (!CdxReserveGeometryTypes(sizes.geometryTypes) || !CdxReserveModels(models)) {
        return false;
    }
    gLive.models = models;
    return true;
}

// Registers the primitive types and pairs when nobody did, then meshes and
// composites when the registry has room for them. Pairs are registered only
// together with their types, so that pair functions a program replaced stay
// replaced when a further universe is made.
void RegisterTypes()
{
    if (CdxSphereGetTypeId() < 0) {
        CdxPrimitivesRegisterTypes();
        CdxPrimitivesRegisterInteractions();
    }
    RegisterMeshes();
    RegisterComposites();
}

// The last universe stops the library it started, unless models of someone
// else's (a robot-layer universe) still live in it.
void Uncount(const SbxUniverseSizes &sizes)
{
    --gLive.count;
    gLive.models -= sizes.models;
    if (gLive.count > 0 || !gLive.started) return;
    gLive.models = 0;
    if (CdxGetModelCount() > 0) return;
    CdxTerm();
    gLive.started = false;
}

void DestroyParts(SbxUniverse *universe)
{
    if (universe->world) RbdWorldDestroy(universe->world);
    if (universe->space) CdxSpaceDestroy(universe->space);
    if (universe->counted) Uncount(universe->sizes);
    if (universe->bridge) SbxBridgeDestroy(universe->bridge);
    PxMemoryAPI.destroy(universe);
}

bool CreateParts(SbxUniverse *universe, const SbxUniverseSizes &sizes)
{
    universe->world = RbdWorldCreate(sizes.bodies, sizes.constraints);
    if (!universe->world) return false;
    RbdWorldSetAutoDisable(universe->world, 1);
    if (!GrowCollisionLibrary(sizes)) return false;
    universe->counted = true;
    ++gLive.count;
    RegisterTypes();
    universe->space = CdxSpaceAxisSortCreate(CdxAllAxes, sizes.models, sizes.modelPairs);
    if (!universe->space) return false;
    CdxSpaceSetAABBFn(universe->space, SbxModelGetTouchingAABB);
    universe->bridge = SbxBridgeCreate(sizes.materials);
    if (!universe->bridge) return false;
    if (!SbxBridgeSetModelPairBufferSize(universe->bridge, sizes.modelPairs)) return false;
    SbxSetWorldHandlers(universe->world);
    return true;
}

} // namespace

// A thousandth of the box's largest extent on every side.
static const PxReal kTouchingMargin = 1e-3;

int SbxModelGetTouchingAABB(CdxModelID model, PxVector3 min, PxVector3 max, PxReal time)
{
    if (!CdxModelGetAABB_PathCompatible(model, min, max, time)) return 0;
    const PxReal size = fmax(max[0] - min[0], fmax(max[1] - min[1], max[2] - min[2]));
    const PxReal grow = isfinite(size) ? kTouchingMargin * size : 0.0;
    for (int i = 0; i < 3; ++i) {
        min[i] -= grow;
        max[i] += grow;
    }
    return 1;
}

bool SbxCheckUniverse(const SbxUniverse *universe, const char *function)
{
    if (universe) return true;
    PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: null universe.\n", function);
    return false;
}

bool SbxCheckArgument(const void *pointer, const char *function, const char *argument)
{
    if (pointer) return true;
    PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: null %s.\n", function, argument);
    return false;
}

extern "C" {

SbxUniverseID SbxUniverseCreate(SbxUniverseSizes sizes)
{
    if (!SizesAreValid(sizes)) return nullptr;
    SbxUniverse *universe = static_cast<SbxUniverse *>(PxMemoryAPI.createZeroed(sizeof(SbxUniverse)));
    if (!universe) return nullptr;
    universe->sizes = sizes;
    universe->stepMethod = SbxUniverseStepPlain;
    if (!CreateParts(universe, sizes)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "SbxUniverseCreate: out of memory.\n");
        DestroyParts(universe);
        return nullptr;
    }
    return universe;
}

void SbxUniverseDestroy(SbxUniverseID universe)
{
    if (!SbxCheckUniverse(universe, "SbxUniverseDestroy")) return;
    const int models = CdxSpaceGetModelCount(universe->space);
    if (models > 0)
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
                  "SbxUniverseDestroy: %d models are still in the space; they lose their space and "
                  "bodies.\n",
                  models);
    DestroyParts(universe);
}

int SbxUniverseGetLiveCount(void)
{
    return gLive.count;
}

RbdWorldID SbxUniverseGetWorld(SbxUniverseID universe)
{
    return SbxCheckUniverse(universe, "SbxUniverseGetWorld") ? universe->world : nullptr;
}

CdxSpaceID SbxUniverseGetSpace(SbxUniverseID universe)
{
    return SbxCheckUniverse(universe, "SbxUniverseGetSpace") ? universe->space : nullptr;
}

SbxBridgeID SbxUniverseGetBridge(SbxUniverseID universe)
{
    return SbxCheckUniverse(universe, "SbxUniverseGetBridge") ? universe->bridge : nullptr;
}

SbxUniverseSizes SbxUniverseGetSizes(SbxUniverseID universe)
{
    SbxUniverseSizes none = {0, 0, 0, 0, 0, 0};
    return SbxCheckUniverse(universe, "SbxUniverseGetSizes") ? universe->sizes : none;
}

int32_t SbxUniverseGetStepMethod(SbxUniverseID universe)
{
    return SbxCheckUniverse(universe, "SbxUniverseGetStepMethod") ? universe->stepMethod : 0;
}

void SbxUniverseSetStepMethod(SbxUniverseID universe, int32_t method)
{
    if (!SbxCheckUniverse(universe, "SbxUniverseSetStepMethod")) return;
    if (method != SbxUniverseStepPlain && method != SbxUniverseStepPath) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
                  "SbxUniverseSetStepMethod: unknown step method %d (0 plain, 1 path); ignored.\n", method);
        return;
    }
    universe->stepMethod = method;
}

} // extern "C"
