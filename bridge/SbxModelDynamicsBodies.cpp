// Models with bodies: a model and a body made together, linked, given the
// mass properties of the geometry, enabled and put in the space.
#include "SbxUniverseRecord.h"

#include <math.h>

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/PxMessage.h>
#include <kelmar/RbdBody.h>

namespace {

// A built triangle mesh that does not enclose a solid.
bool IsOpenMesh(CdxGeometryID geometry)
{
    const CdxGeometryTypeID mesh = CdxTriangleMeshGetTypeId();
    return mesh >= 0 && CdxGeometryGetTypeId(geometry) == mesh && CdxTriangleMeshIsBuilt(geometry) &&
           !CdxTriangleMeshIsClosed(geometry);
}

// Whether a body on geometry at density gets a positive mass. Checked
// before anything is made: a model on a caller's composite geometry could
// not be taken back without freeing that geometry.
bool HasMass(CdxGeometryID geometry, PxReal density, const char *function)
{
    PxMatrix4 comFrame;
    PxMatrix3 inertia;
    PxReal volume = 0.0, mass = 0.0;
    bool positive;
    const CdxGeometryTypeID composite = CdxCompositeGetTypeId();
    if (composite >= 0 && CdxGeometryGetTypeId(geometry) == composite) {
        // Density 0 keeps the elements' own densities.
        const bool valid = isfinite(density) && density >= 0.0;
        if (valid && density > 0.0) SbxCompositeSpreadDensity(geometry, density);
        positive = valid && CdxCompositeGetMassPropertiesAndMass(geometry, comFrame, inertia, &volume, &mass);
    } else {
        positive = isfinite(density) && density > 0.0 &&
                   CdxGeometryGetMassProperties(geometry, comFrame, inertia, &volume) && volume > 0.0;
        if (!positive && isfinite(density) && density > 0.0 && IsOpenMesh(geometry)) {
            PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
                      "%s: the triangle mesh is not closed (every edge shared by two triangles running "
                      "opposite ways), so it encloses no volume and a body on it has no mass.\n",
                      function);
            return false;
        }
    }
    if (!positive)
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
                  "%s: a body of density %g on this geometry has no positive mass (density must be > 0, "
                  "0 only for composites whose elements have their own).\n",
                  function, density);
    return positive;
}

RbdBodyID CreateBody(SbxUniverse *universe, const char *function)
{
    RbdBodyID body = RbdBodyCreate(universe->world);
    if (!body) PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: no room for the body.\n", function);
    return body;
}

// Links, inserts and enables (the body's enabled callback then finds its
// model in the space).
bool Activate(SbxUniverse *universe, CdxModelID model, RbdBodyID body, const char *function)
{
    CdxModelSetBody(model, body);
    if (!CdxSpaceInsertModel(universe->space, model)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the model cannot join the space.\n", function);
        return false;
    }
    RbdBodyEnable(body);
    return true;
}

} // namespace

extern "C" {

CdxModelID SbxModelAndBodyCreate(SbxUniverseID universe, CdxGeometryID geometry, PxReal density)
{
    const char *function = "SbxModelAndBodyCreate";
    if (!SbxCheckUniverse(universe, function)) return nullptr;
    if (!CdxGeometryIsValid(geometry)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the geometry is null or of no registered type.\n", function);
        return nullptr;
    }
    if (!HasMass(geometry, density, function)) return nullptr;
    RbdBodyID body = CreateBody(universe, function);
    if (!body) return nullptr;
    CdxModelID model = SbxModelCreateOn(geometry, function);
    if (!model) {
        RbdBodyDestroy(body);
        return nullptr;
    }
    if (!SbxAutoSetMassProperties(body, model, density) || !Activate(universe, model, body, function)) {
        RbdBodyDestroy(body);
        CdxModelDestroy(model);
        return nullptr;
    }
    return model;
}

CdxModelID SbxCompositeModelAndBodyCreate(SbxUniverseID universe, int elementCount, PxReal density)
{
    const char *function = "SbxCompositeModelAndBodyCreate";
    if (!SbxCheckUniverse(universe, function)) return nullptr;
    if (elementCount < 0 || !(density >= 0.0) || !isfinite(density)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: bad element count %d or density %g (both must be >= 0).\n",
                  function, elementCount, density);
        return nullptr;
    }
    if (CdxCompositeGetTypeId() < 0) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
                  "%s: composites are not registered; create a universe with room for one more "
                  "geometry type than the primitives.\n",
                  function);
        return nullptr;
    }
    RbdBodyID body = CreateBody(universe, function);
    if (!body) return nullptr;
    CdxModelID model = CdxCompositeModelCreate(elementCount);
    if (!model) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: no memory for the composite model.\n", function);
        RbdBodyDestroy(body);
        return nullptr;
    }
    CdxModelSetDensity(model, density);
    CdxModelSetBody(model, body);
    return model;
}

int SbxCompositeModelAndBodyBuild(SbxUniverseID universe, CdxModelID model)
{
    const char *function = "SbxCompositeModelAndBodyBuild";
    if (!SbxCheckModelOfUniverse(universe, model, function)) return 0;
    RbdBodyID body = CdxModelGetBody(model);
    if (!CdxModelIsComposite(model) || !body || CdxModelGetSpace(model)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
                  "%s: the model is not a composite from SbxCompositeModelAndBodyCreate waiting to be "
                  "built.\n",
                  function);
        return 0;
    }
    CdxCompositeModelBuild(model);
    if (!SbxAutoSetMassProperties(body, model, CdxModelGetDensity(model))) return 0;
    return Activate(universe, model, body, function) ? 1 : 0;
}

} // extern "C"
