// Helpers shared by the model functions: making a model on a geometry,
// placing it in its space, and the checks of transforms and membership.
#include "SbxUniverseRecord.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxMessage.h>
#include <kelmar/RbdBody.h>

namespace {

// Rows of a rigid transform may be this far from orthonormal.
const PxReal kTransformTolerance = 1e-5;

bool IsComposite(CdxGeometryID geometry)
{
    const CdxGeometryTypeID composite = CdxCompositeGetTypeId();
    return composite >= 0 && CdxGeometryGetTypeId(geometry) == composite;
}

} // namespace

CdxModelID SbxModelCreateOn(CdxGeometryID geometry, const char *function)
{
    if (!CdxGeometryIsValid(geometry)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the geometry is null or of no registered type.\n", function);
        return nullptr;
    }
    CdxModelID model = IsComposite(geometry) ? CdxCompositeModelCreateFromCompositeGeometry(geometry)
                                             : CdxModelCreate(geometry);
    if (!model) PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: no memory for the model.\n", function);
    return model;
}

void SbxModelPlace(CdxModelID model)
{
    if (!CdxModelGetSpace(model)) return;
    const int frozen = CdxSpaceModelIsFrozen(model);
    if (frozen) CdxSpaceUnfreezeModel(model);
    CdxSpaceUpdateModel(model);
    if (frozen) CdxSpaceFreezeModel(model);
}

bool SbxCheckTransform(const PxReal (*transform)[4], const char *function)
{
    if (!SbxCheckArgument(transform, function, "transform")) return false;
    if (PxMatrix4IsTM(transform, kTransformTolerance)) return true;
    PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL,
              "%s: the transform is not a rotation with a translation (orthonormal axes, last column "
              "0, 0, 0, 1).\n",
              function);
    return false;
}

bool SbxCheckModelOfUniverse(const SbxUniverse *universe, CdxModelID model, const char *function)
{
    if (!SbxCheckUniverse(universe, function) || !SbxCheckArgument(model, function, "model")) return false;
    const CdxSpaceID space = CdxModelGetSpace(model);
    const RbdBodyID body = CdxModelGetBody(model);
    if ((!space || space == universe->space) && (!body || RbdBodyGetWorld(body) == universe->world)) return true;
    PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "%s: the model belongs to another universe.\n", function);
    return false;
}
