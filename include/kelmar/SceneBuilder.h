// Building scenes by code: geometries, solids and fixed ground in one call
// each. Every solid gets a graphics object of its geometry in the material
// colour. Lengths in cm, densities in kg/cm^3; pose null: the identity.
#ifndef KELMAR_SCENEBUILDER_H
#define KELMAR_SCENEBUILDER_H

#include <kelmar/CdxTypes.h>

namespace kelmar {

class Scene;
class Solid;

struct SolidSpec {
    const char *name = ""; // empty: a generated name
    int material = 0;
    double density = -1; // < 0: the material's
    double mass = 0;     // > 0 replaces the mass (kg)
    const double (*pose)[4] = nullptr;
    bool fixed = false; // no body: the solid never moves by itself
    bool frozen = false;
    bool enabled = true;
};

// Registers geometry under name (scene-owned) and makes a solid on it.
Solid *AddSolid(Scene *scene, CdxGeometryID geometry, const SolidSpec &desc);
Solid *AddBox(Scene *scene, double dx, double dy, double dz, const SolidSpec &desc);
Solid *AddSphere(Scene *scene, double radius, const SolidSpec &desc);
Solid *AddCylinder(Scene *scene, double radius, double height, const SolidSpec &desc);
// A fixed plane z = 0 of the pose's frame (solid below).
Solid *AddGround(Scene *scene, int material, const double (*pose)[4] = nullptr);

} // namespace kelmar

#endif
