// A reference to a solid a scene file made.
#include "objects/DfxObject.h"

#include <kelmar/Solid.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxScene.h"

namespace kelmar {

DfxSolidRef::~DfxSolidRef()
{
    Retire();
}

bool DfxSolidRef::NewScene(DfxScene *scene)
{
    solid_ = nullptr;
    scene_ = nullptr;
    if (!scene) return true;
    Solid *solid = dynamic_cast<Solid *>(scene->LookupObject(Name(), false));
    if (!solid) {
        scene->Warning(0, "solid '%s' not found in scene\n", Name());
        return false;
    }
    solid_ = solid;
    scene_ = scene;
    return true;
}

DfxSolidRef *DfxSolidRef::CreateFromSolid(const Solid *solid, DfxUnit *unit)
{
    auto *scene = solid ? dynamic_cast<DfxScene *>(solid->scene) : nullptr;
    if (!scene || !solid->GetName()) return nullptr;
    auto *ref = new DfxSolidRef(solid->GetName(), scene->Name(), unit);
    TheAdmin().Register(ref, scene);
    return ref;
}

} // namespace kelmar
