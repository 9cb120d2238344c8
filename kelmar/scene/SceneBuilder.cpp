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

Solid *AddSolid(Scene *scene, CdxGeometryID geometry, const SolidSpec &desc)
{
    if (!scene || !geometry || scene->InsertGeometry("", geometry)) return nullptr;
    Solid *solid = new Solid;
    if (desc.pose) solid->SetInitialTM(desc.pose);
    const bool created = desc.fixed ? solid->CreateFixed(scene, geometry, desc.material)
                                    : solid->CreateFromGeometry(scene, geometry, desc.frozen, false, desc.material,
                                                                desc.density, desc.mass, nullptr,
                                                                desc.enabled && !desc.frozen, nullptr);
    if (!created) {
        delete solid;
        return nullptr;
    }
    if (scene->InsertObject(desc.name, solid)) {
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

Solid *AddBox(Scene *scene, double dx, double dy, double dz, const SolidSpec &desc)
{
    return AddSolid(scene, CdxBoxCreate(dx, dy, dz), desc);
}

Solid *AddSphere(Scene *scene, double radius, const SolidSpec &desc)
{
    return AddSolid(scene, CdxSphereCreate(radius), desc);
}

Solid *AddCylinder(Scene *scene, double radius, double height, const SolidSpec &desc)
{
    return AddSolid(scene, CdxCylinderCreate(radius, height), desc);
}

Solid *AddGround(Scene *scene, int material, const double (*pose)[4])
{
    SolidSpec desc;
    desc.name = "ground";
    desc.material = material;
    desc.pose = pose;
    desc.fixed = true;
    return AddSolid(scene, CdxPlaneCreate(), desc);
}

} // namespace kelmar
