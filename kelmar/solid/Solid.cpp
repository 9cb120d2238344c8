// Solid creation and removal, material, appearance, options and freezing.
#include <kelmar/Solid.h>

#include <cstring>

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/Color.h>
#include <kelmar/Graphics.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/SbxBridge.h>
#include <kelmar/SbxUniverse.h>
#include <kelmar/Scene.h>
#include <kelmar/Universe.h>

#include "SolidMass.h"

namespace kelmar {

Solid::~Solid()
{
    RemoveFromKelmar();
    delete graphics_;
    FreeOwnTM();
}

int ClampMaterial(const Universe *universe, int material)
{
    return universe && material >= 0 && material < universe->GetNumMaterials() ? material : 0;
}

double MaterialDensity(const Universe *universe, int material)
{
    return universe ? universe->GetMaterialDensity(material) : 0.001;
}

// The body takes over the pose: the solid's own block is freed and tm
// points into the body from now on.
bool Solid::AttachBody(bool frozen, bool enabled)
{
    double identity[4][4];
    PxM4Identity(identity);
    RbdBodySetTransform(body_, ownTM_ ? ownTM_ : identity);
    FreeOwnTM();
    tm_ = const_cast<double(*)[4]>(RbdBodyGetTransformPtr(body_));
    RbdBodySetUserData(body_, this);
    if (enabled)
        RbdBodyEnable(body_);
    else
        RbdBodyDisable(body_);
    if (model_) {
        CdxSpaceInsertModel(scene->GetSpace(), model_);
        CdxModelSetBody(model_, body_);
        CdxModelSetUserData(model_, this);
    }
    if (frozen) RbdBodyFreeze(body_);
    return true;
}

bool Solid::CreateFromGeometry(const Scene *owner, CdxGeometryID geometry, bool frozen, bool noCollision,
                               int material, double density, double mass, const double *inertia, bool enabled,
                               const double *comOffset)
{
    scene = const_cast<Scene *>(owner);
    const Universe *universe = scene->GetUniverse();
    model_ = CdxModelCreate(geometry);
    if (!model_) return false;
    material = ClampMaterial(universe, material);
    CdxModelSetMaterialID(model_, material);
    if (density < 0) density = MaterialDensity(universe, material);
    CdxModelSetDensity(model_, density);
    body_ = RbdBodyCreate(scene->GetWorld());
    if (!body_) {
        CdxModelDestroy(model_);
        model_ = nullptr;
        return false;
    }
    SbxAutoSetMassProperties(body_, model_, density);
    ApplyMassOverrides(body_, mass, inertia, comOffset);
    if (noCollision) {
        CdxModelDestroy(model_);
        model_ = nullptr;
        noCollision_ = true;
    }
    return AttachBody(frozen, enabled);
}

bool Solid::CreateFixed(const Scene *owner, CdxGeometryID geometry, int material)
{
    scene = const_cast<Scene *>(owner);
    model_ = CdxModelCreate(geometry);
    if (!model_) return false;
    CdxModelSetMaterialID(model_, ClampMaterial(scene->GetUniverse(), material));
    if (!ownTM_) {
        double identity[4][4];
        PxM4Identity(identity);
        SetInitialTM(identity);
    }
    tm_ = ownTM_;
    CdxModelSetTransformPtr(model_, reinterpret_cast<PxMatrix4 *>(ownTM_));
    CdxModelSetUserData(model_, this);
    CdxSpaceInsertModel(scene->GetSpace(), model_);
    CdxSpaceUpdateModel(model_);
    CdxSpaceFreezeModel(model_);
    return true;
}

// Contacts of the model's pairs are dropped while both sides still exist;
// non-contact constraints left on the body are destroyed with a message.
void Solid::RemoveFromKelmar()
{
    if (body_) {
        SetInitialTM(tm_);
        tm_ = ownTM_;
        RbdBodyDisable(body_);
    }
    if (model_) {
        const bool inSpace = CdxSpaceRemoveModel(model_) != 0;
        if (inSpace && scene && scene->GetBridge())
            SbxBridgeUpdateTransitions(scene->GetBridge(), scene->GetSpace(), scene->GetWorld());
        if (CdxModelIsComposite(model_))
            CdxCompositeModelDestroy(model_);
        else
            CdxModelDestroy(model_);
        model_ = nullptr;
    }
    if (body_) {
        DestroyStaleConstraints(body_);
        RbdBodyDestroy(body_);
        body_ = nullptr;
    }
    scene = nullptr;
}

bool Solid::SetMaterial(int material)
{
    const Universe *universe = GetUniverse();
    if (!model_ || !universe || material < 0 || material >= universe->GetNumMaterials()) return false;
    CdxModelSetMaterialID(model_, material);
    for (int i = 0; CdxModelIsComposite(model_) && i < CdxCompositeModelGetElementCount(model_); ++i)
        CdxModelSetMaterialID(CdxCompositeModelGetElement(model_, i), material);
    const double old = CdxModelGetDensity(model_);
    const double density = universe->GetMaterialDensity(material);
    if (body_ && old > 0 && density > 0) {
        // Mass and inertia scale together by new density / old density.
        ScaleMassAndInertia(body_, density / old);
        CdxModelSetDensity(model_, density);
    }
    return true;
}

bool Solid::SetMaterial(const char *name)
{
    const Universe *universe = GetUniverse();
    return universe ? SetMaterial(universe->GetMaterialId(name)) : false;
}

int Solid::GetMaterial() const
{
    return model_ ? CdxModelGetMaterialID(model_) : 0;
}

void Solid::SetColor(const char *colorName, float alpha)
{
    float rgba[4];
    if (!FindColor(colorName, rgba)) Graphics::GetDefaultColor(rgba);
    rgba[3] = alpha;
    if (graphics_) graphics_->SetColor(rgba);
}

void Solid::SetGraphics(Graphics *graphics)
{
    if (graphics_ != graphics) delete graphics_;
    graphics_ = graphics;
}

void Solid::Freeze()
{
    if (body_) {
        RbdBodyFreeze(body_);
        return;
    }
    if (model_ && CdxModelGetSpace(model_)) {
        CdxSpaceUnfreezeModel(model_);
        CdxSpaceUpdateModel(model_);
        CdxSpaceFreezeModel(model_);
    }
}

void Solid::UnFreeze()
{
    if (body_)
        RbdBodyUnFreeze(body_);
    else if (model_ && CdxModelGetSpace(model_))
        CdxSpaceUnfreezeModel(model_);
}

void Solid::SetOptions(unsigned int options)
{
    const unsigned int old = options_;
    options_ = options;
    OptionsChanged(old, options_);
}

void Solid::AddOptions(unsigned int options)
{
    SetOptions(options_ | options);
}

void Solid::ClearOptions(unsigned int options)
{
    SetOptions(options_ & ~options);
}

void Solid::ToggleOptions(unsigned int options)
{
    SetOptions(options_ ^ options);
}

// A solid that shows its contacts, forces or inertia turns half transparent.
void Solid::OptionsChanged(unsigned int oldOptions, unsigned int newOptions)
{
    const unsigned int shown = kDrawContacts | kDrawForces | kDrawInertia;
    if (!(oldOptions & shown) && (newOptions & shown)) ToggleTransparency(true);
    if ((oldOptions & shown) && !(newOptions & shown)) ToggleTransparency(false);
}

void Solid::ToggleTransparency(bool on)
{
    if (!graphics_) return;
    float rgba[4];
    graphics_->GetColor(rgba);
    rgba[3] = on ? rgba[3] * 0.5f : rgba[3] * 2.0f;
    graphics_->SetColor(rgba);
}

void Solid::Update()
{
    cacheValid_ = 0;
}

bool Solid::IsVisible() const
{
    return graphics_ && graphics_->IsVisible();
}

bool Solid::IsInteractable() const
{
    return IsVisible() && (options_ & kInteractable);
}

} // namespace kelmar
