// BODY of a SOLID: the body's initial state. Lengths are multiplied by the
// scene scale s, masses and forces by s^3, torques by s^4 and moments of
// inertia by s^5 (a body scaled by s keeps its density).
#include <cstring>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>

#include "LoadSolid.h"

namespace kelmar {

int LoadSolidBody(PxXMLElement *element)
{
    SolidRecord *record = static_cast<SolidRecord *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
    BodyValues &b = record->body;
    PxXMLHandler handlers[] = {PX_XML_VALUE("ENABLED", PxXMLParseUInt, offsetof(BodyValues, enabled), 1),
                               PX_XML_VALUE("MASS", PxXMLParseDouble, offsetof(BodyValues, mass), 1),
                               PX_XML_VALUE("MOI", PxXMLParseDoubleArray, offsetof(BodyValues, moi), 6),
                               PX_XML_VALUE("COM", PxXMLParseDoubleArray, offsetof(BodyValues, com), 3),
                               PX_XML_VALUE("FORCE", PxXMLParseDoubleArray, offsetof(BodyValues, force), 3),
                               PX_XML_VALUE("TORQUE", PxXMLParseDoubleArray, offsetof(BodyValues, torque), 3),
                               PX_XML_VALUE("VEL", PxXMLParseDoubleArray, offsetof(BodyValues, vel), 3),
                               PX_XML_VALUE("ANGVEL", PxXMLParseDoubleArray, offsetof(BodyValues, angvel), 3),
                               PX_XML_VALUE("DAMP", PxXMLParseDoubleArray, offsetof(BodyValues, damp), 2),
                               PX_XML_VALUE("FASTSPIN", PxXMLParseDoubleArray, offsetof(BodyValues, fastSpin), 3),
                               PX_XML_END};
    static_assert(sizeof handlers <= sizeof b.handlers, "BODY handler table");
    const int result = PxXMLElementProcess(element, handlers, &b);
    std::memcpy(b.handlers, handlers, sizeof handlers);
    b.read = true;
    return result;
}

namespace {

// A direction given in the solid's frame, in world coordinates, times factor.
void World(const Solid &solid, const double *local, double factor, double out[3])
{
    PxV3MulTMDir(out, local, solid.GetTM());
    PxV3Scale(out, out, factor);
}

} // namespace

void ApplyBody(Solid &solid, const Scene &scene, const BodyValues &b)
{
    RbdBodyID body = solid.GetBody();
    if (!body || !b.read) return;
    const PxXMLHandler *h = b.handlers;
    const double s = scene.GetScale(), s3 = s * s * s;
    double v[3];
    if (Given(h, "DAMP")) {
        RbdBodySetLinearVelocityDamping(body, b.damp[0] * s3);
        RbdBodySetAngularVelocityDamping(body, b.damp[1] * s3 * s * s);
    }
    if (!(scene.options & Scene::kIgnoreVelocities) && Given(h, "VEL")) {
        World(solid, b.vel, s, v);
        RbdBodySetLinearVelocity(body, v[0], v[1], v[2]);
    }
    if (!(scene.options & Scene::kIgnoreVelocities) && Given(h, "ANGVEL")) {
        World(solid, b.angvel, 1, v);
        RbdBodySetAngularVelocity(body, v[0], v[1], v[2]);
    }
    if (Given(h, "FASTSPIN")) {
        World(solid, b.fastSpin, 1, v);
        RbdBodySetFastSpinAxis(body, v[0], v[1], v[2]);
    }
    if (!(scene.options & Scene::kIgnoreForces) && Given(h, "FORCE")) {
        World(solid, b.force, s3, v);
        RbdBodyAddForce(body, v[0], v[1], v[2]);
    }
    if (!(scene.options & Scene::kIgnoreForces) && Given(h, "TORQUE")) {
        World(solid, b.torque, s3 * s, v);
        RbdBodyAddTorque(body, v[0], v[1], v[2]);
    }
}

} // namespace kelmar
