// The records a SOLID element is read into, shared by the files that read
// its BODY, PART and GRAPHICS children.
#ifndef KELMAR_LOADER_LOADSOLID_H
#define KELMAR_LOADER_LOADSOLID_H

#include <string>
#include <vector>

#include "LoadElements.h"

namespace kelmar {

class Graphics;
class Scene;
class Solid;

const int kSolidTextSize = 256;

// BODY: initial body state (file units; scaled when applied).
struct BodyValues {
    unsigned int enabled;
    double mass;     // kg
    double moi[6];   // kg cm^2: Ixx, Ixy, Ixz, Iyy, Iyz, Izz
    double com[3];   // cm
    double force[3]; // kg cm/s^2
    double torque[3];
    double vel[3];    // cm/s
    double angvel[3]; // rad/s
    double damp[2];   // linear, angular
    double fastSpin[3];
    PxXMLHandler handlers[12]; // the table as read, for Given
    bool read;
};

// The appearance given by a GRAPHICS child of a solid or a part.
struct AppearanceValues {
    char primitive[kSolidTextSize];
    char texture[kSolidTextSize];
    float color[4];
    TransformSpec transform;
    PxXMLHandler handlers[10];
    bool read;
};

// A PART element as read.
struct PartValues {
    char geometry[kSolidTextSize], material[kSolidTextSize], texture[kSolidTextSize], primitive[kSolidTextSize];
    double density;
    float color[4];
    unsigned int noGraphics, noCollision;
    TransformSpec transform;
    AppearanceValues appearance;
    PxXMLHandler handlers[20];
    PxXMLHandler transformHandlers[8];
    bool hasTransformElement;
};

// One PART of a composite, ready to be added.
struct PartRecord {
    CdxGeometryID geometry;
    Graphics *graphics; // relative to the composite; its base is set after the build
    bool excluded;
    double relTM[4][4];
    int material;
    double density;
};

struct SolidValues {
    char id[kSolidTextSize], material[kSolidTextSize], geometry[kSolidTextSize];
    char texture[kSolidTextSize], primitive[kSolidTextSize];
    double density;
    float color[4];
    unsigned int frozen, dynamic, noCollision, interactable, drawContacts;
    int collisionType;
    TransformSpec transform;
};

// What the children of a SOLID element fill (the input's user data while
// the element is read).
struct SolidRecord {
    SolidValues values;
    BodyValues body;
    AppearanceValues appearance;
    std::vector<PartValues> parts;
};

int LoadSolidBody(PxXMLElement *element);
int LoadAppearance(PxXMLElement *element);
int LoadSolidPart(PxXMLElement *element);
// Velocities, damping, fast spin and forces of BODY on a created solid.
void ApplyBody(Solid &solid, const Scene &scene, const BodyValues &body);

} // namespace kelmar

#endif
