// Solids the host makes itself: a box, sphere or cylinder built in the
// scene it binds to and taken out again when it unbinds.
#include "objects/DfxObject.h"

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/PxVector.h>
#include <kelmar/Solid.h>
#include <kelmar/Universe.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxScene.h"

namespace kelmar {

DfxSolidSelf::DfxSolidSelf(const char *name, const char *sceneName, DfxUnit *unit, int material, bool frozen)
    : DfxSolid(name, sceneName, unit), material_(material), frozen_(frozen)
{
    PxM4Identity(pose_);
}

DfxSolidSelf::~DfxSolidSelf()
{
    Retire();
}

bool DfxSolidSelf::NewScene(DfxScene *scene)
{
    destroy();
    scene_ = nullptr;
    if (!scene) return true;
    if (!Build(scene)) return false;
    scene_ = scene;
    return true;
}

// The solid keeps the pose it had and the material it was given last.
void DfxSolidSelf::destroy()
{
    if (solid_) {
        if (Universe *universe = solid_->GetUniverse()) {
            if (universe->GetMarkedSolid() == solid_) universe->SetMarkedSolid(nullptr);
            universe->EndPicking();
        }
        PxM4Copy(pose_, solid_->GetTM());
        placed_ = true;
        if (material_ >= 0) material_ = solid_->GetMaterial();
        if (solid_->scene) solid_->scene->RemoveObject(static_cast<Object *>(solid_));
        delete solid_;
        solid_ = nullptr;
    }
    delete primitive_;
    primitive_ = nullptr;
    if (geometry_) CdxGeometryDestroy(geometry_);
    geometry_ = nullptr;
}

bool DfxSolidSelf::Build(DfxScene *scene)
{
    geometry_ = create();
    auto *solid = new Solid;
    if (placed_) solid->SetInitialTM(pose_);
    const int material = material_ < 0 ? 0 : material_;
    const bool made = geometry_ && solid->CreateFromGeometry(scene, geometry_, frozen_, false, material, -1.0, 0.0,
                                                             nullptr, !frozen_, nullptr);
    if (!made || scene->InsertObject(Name(), solid)) {
        delete solid;
        if (geometry_) CdxGeometryDestroy(geometry_);
        if (!made && !geometry_) // its sizes were refused, with the toolkit's reason before this
            scene->Error(0, "The geometry of solid '%s' was refused. Solid not created.\n", Name());
        else
            scene->Error(0, "Couldn't allocate memory for solid.\nObject not created, increase pool size!\n");
        geometry_ = nullptr;
        return false;
    }
    float color[4];
    Graphics::GetDefaultColor(color);
    if (material_ >= 0) scene->GetUniverse()->GetMaterialColor(material_, color);
    primitive_ = Scene::CreateGraphicsPrimFromGeometry(geometry_);
    if (primitive_) solid->SetGraphics(new Graphics(primitive_, color, solid->GetTM()));
    CdxModelSetName(solid->GetModel(), solid->GetName());
    solid_ = solid;
    return true;
}

DfxBox::DfxBox(const char *name, const char *sceneName, DfxUnit *unit, const double size[3], int material,
               bool frozen)
    : DfxSolidSelf(name, sceneName, unit, material, frozen), size_{size[0], size[1], size[2]}
{
}

DfxBox::~DfxBox()
{
    Retire();
}

CdxGeometryID DfxBox::create() const
{
    return CdxBoxCreate(size_[0], size_[1], size_[2]);
}

DfxSphere::DfxSphere(const char *name, const char *sceneName, DfxUnit *unit, double radius, int material, bool frozen)
    : DfxSolidSelf(name, sceneName, unit, material, frozen), radius_(radius)
{
}

DfxSphere::~DfxSphere()
{
    Retire();
}

CdxGeometryID DfxSphere::create() const
{
    return CdxSphereCreate(radius_);
}

DfxCylinder::DfxCylinder(const char *name, const char *sceneName, DfxUnit *unit, double radius, double height,
                         int material, bool frozen)
    : DfxSolidSelf(name, sceneName, unit, material, frozen), radius_(radius), height_(height)
{
}

DfxCylinder::~DfxCylinder()
{
    Retire();
}

CdxGeometryID DfxCylinder::create() const
{
    return CdxCylinderCreate(radius_, height_);
}

} // namespace kelmar
