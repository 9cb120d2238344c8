// Building scenes by code.
#include <kelmar/SceneBuilder.h>

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/PxVector.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>
#include <kelmar/Universe.h>

namespace kelmar {

Solid *AddSolid(Scene *scene, CdxGeometryID geometry, const SolidSpec &spec)
{
    if (!scene || !geometry || scene->InsertGeometry("", geometry)) return nullptr;
    Solid *solid = new Solid;
    if (spec.pose) solid->SetInitialTM(spec.pose);
    const bool created = spec.fixed ? solid->CreateFixed(scene, geometry, spec.material)
                                    : solid->CreateFromGeometry(scene, geometry, spec.frozen, false, spec.material,
                                                                spec.density, spec.mass, nullptr,
                                                                spec.enabled && !spec.frozen, nullptr);
    if (!created) {
        delete solid;
        return nullptr;
    }
    if (scene->InsertObject(spec.name, solid)) {
        delete solid;
        return nullptr;
    }
    float color[4] = {1, 1, 1, 1};
    if (const Universe *universe = scene->GetUniverse()) universe->GetMaterialColor(solid->GetMaterial(), color);
    GraphicsPrimitive *primitive = Scene::CreateGraphicsPrimFromGeometry(geometry);
    if (primitive && !scene->InsertGP("", primitive))
        solid->SetGraphics(new Graphics(primitive, color, solid->GetTM()));
    CdxModelSetName(solid->GetModel(), solid->GetName());
    return solid;
}

Solid *AddBox(Scene *scene, double dx, double dy, double dz, const SolidSpec &spec)
{
    return AddSolid(scene, CdxBoxCreate(dx, dy, dz), spec);
}

Solid *AddSphere(Scene *scene, double radius, const SolidSpec &spec)
{
    return AddSolid(scene, CdxSphereCreate(radius), spec);
}

Solid *AddCylinder(Scene *scene, double radius, double height, const SolidSpec &spec)
{
    return AddSolid(scene, CdxCylinderCreate(radius, height), spec);
}

Solid *AddGround(Scene *scene, int material, const double (*pose)[4])
{
    SolidSpec spec;
    spec.name = "ground";
    spec.material = material;
    spec.pose = pose;
    spec.fixed = true;
    return AddSolid(scene, CdxPlaneCreate(), spec);
}

} // namespace kelmar
