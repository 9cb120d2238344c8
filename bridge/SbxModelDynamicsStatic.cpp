// Models without bodies: fixed models that never move, kinematic models
// the caller moves, and sensors that only report.
#include "SbxUniverseRecord.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMessage.h>

namespace {

// A model reading the caller's transform, in the universe's space.
CdxModelID CreateInSpace(SbxUniverse *universe, CdxGeometryID geometry, PxMatrix4 *transform, const char *function)
{
    if (!SbxCheckUniverse(universe, function) || !SbxCheckTransform(*transform, function)) return nullptr;
    CdxModelID model = SbxModelCreateOn(geometry, function);
    if (!model) return nullptr;
    CdxModelSetTransformPtr(model, transform);
    if (!CdxSpaceInsertModel(universe->space, model)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the model cannot join the space.\n", function);
        CdxModelDestroy(model);
        return nullptr;
    }
    return model;
}

} // namespace

extern "C" {

CdxModelID SbxFixedModelCreate(SbxUniverseID universe, CdxGeometryID geometry, PxMatrix4 *transform)
{
    const char *function = "SbxFixedModelCreate";
    if (!SbxCheckArgument(transform, function, "transform")) return nullptr;
    CdxModelID model = CreateInSpace(universe, geometry, transform, function);
    if (!model) return nullptr;
    // Placed once, then never updated again.
    CdxSpaceUpdateModel(model);
    CdxSpaceFreezeModel(model);
    return model;
}

CdxModelID SbxKinematicModelCreate(SbxUniverseID universe, CdxGeometryID geometry, PxMatrix4 *transform,
                                   PxReal *linearVelocity, PxReal *angularVelocity)
{
    const char *function = "SbxKinematicModelCreate";
    if (!SbxCheckArgument(transform, function, "transform")) return nullptr;
    CdxModelID model = CreateInSpace(universe, geometry, transform, function);
    if (!model) return nullptr;
    CdxModelSetLinearVelocityPtr(model, linearVelocity);
    CdxModelSetAngularVelocityPtr(model, angularVelocity);
    return model;
}

CdxModelID SbxSensorModelCreate(SbxUniverseID universe, CdxGeometryID geometry, PxMatrix4 *transform)
{
    const char *function = "SbxSensorModelCreate";
    if (!SbxCheckArgument(transform, function, "transform")) return nullptr;
    CdxModelID model = CreateInSpace(universe, geometry, transform, function);
    if (model) CdxModelSetResponseID(model, SbxSensorResponseID);
    return model;
}

CdxModelID SbxSensorCompositeModelCreate(SbxUniverseID universe, CdxGeometryID compositeGeometry,
                                         PxMatrix4 *transform)
{
    const char *function = "SbxSensorCompositeModelCreate";
    const CdxGeometryTypeID composite = CdxCompositeGetTypeId();
    if (composite < 0 || CdxGeometryGetTypeId(compositeGeometry) != composite) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the geometry is not a composite.\n", function);
        return nullptr;
    }
    if (!SbxCheckArgument(transform, function, "transform")) return nullptr;
    CdxModelID model = CreateInSpace(universe, compositeGeometry, transform, function);
    if (model) CdxModelSetResponseID(model, SbxSensorResponseID);
    return model;
}

} // extern "C"
