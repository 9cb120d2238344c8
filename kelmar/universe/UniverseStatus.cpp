// The UNIVERSE status element: world parameters, options and time step.
// Materials and material pairs are read by UniverseMaterialStatus.cpp.
#include <kelmar/Universe.h>

#include <cmath>
#include <cstddef>

#include <kelmar/PxVector.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Transform.h>

#include "UniverseStatusElements.h"
#include "loader/LoadElements.h"

namespace kelmar {

namespace {

struct WorldValues {
    double gravity[3];
    double epsilon, gamma;
    double velocity, angularVelocity, acceleration, angularAcceleration;
    unsigned int aliveWindow, averagingWindow;
    double restSpeed;
    unsigned int options;
    double timeStep;
};

void WriteReal(const char *tag, PxStream *stream, double value)
{
    char text[32];
    PxXMLWrite(tag, stream, "%s", FormatReal(value, text));
}

// Gravity given in a scene file turns with the scene's placement.
void ApplyGravity(RbdWorldID world, const double g[3], const PxXMLInput *input)
{
    const Scene *scene = GetScene(input);
    double turned[3];
    ConvertVector(scene ? scene->GetPlacement() : nullptr, g, turned);
    RbdWorldSetGravity(world, turned[0], turned[1], turned[2]);
}

} // namespace

void Universe::saveStatus(PxStream *stream) const
{
    char x[32], y[32], z[32];
    PxVector3 g;
    RbdWorldGetGravity(world_, g);
    PxXMLWrite("GRAVITY", stream, "%s, %s, %s", FormatReal(g[0], x), FormatReal(g[1], y), FormatReal(g[2], z));
    WriteReal("EPSILON", stream, RbdWorldGetEpsilon(world_));
    WriteReal("GAMMA", stream, RbdWorldGetGamma(world_));
    WriteReal("VEL_THRESH", stream, RbdWorldGetAutoDisableVelocityThreshold(world_));
    WriteReal("ANGVEL_THRESH", stream, RbdWorldGetAutoDisableAngularVelocityThreshold(world_));
    WriteReal("ACC_THRESH", stream, RbdWorldGetAutoDisableAccelerationThreshold(world_));
    WriteReal("ANGACC_THRESH", stream, RbdWorldGetAutoDisableAngularAccelerationThreshold(world_));
    PxXMLWrite("ALIVE_WINDOW", stream, "%d", static_cast<int>(RbdWorldGetAutoDisableAliveWindow(world_)));
    PxXMLWrite("AVERAGING_WINDOW", stream, "%d", static_cast<int>(RbdWorldGetAutoDisableAveragingWindow(world_)));
    WriteReal("REST_SPEED", stream, RbdWorldGetAutoDisableRestSpeed(world_));
    PxXMLWrite("OPTIONS", stream, "%u", options_);
    WriteReal("TIMESTEP", stream, timeStep);
    for (int i = 0; i < numMaterials_; ++i) SaveMaterialStatus(*this, i, stream);
    for (int i = 0; i < numMaterials_; ++i)
        for (int j = i; j < numMaterials_; ++j) SaveMaterialPairStatus(*this, i, j, stream);
}

int Universe::loadStatus(PxXMLElement *element)
{
    WorldValues v = {};
    PxXMLHandler handlers[] = {
        PX_XML_VALUE("GRAVITY", PxXMLParseDoubleArray, offsetof(WorldValues, gravity), 3),
        PX_XML_VALUE("EPSILON", PxXMLParseDouble, offsetof(WorldValues, epsilon), 1),
        PX_XML_VALUE("GAMMA", PxXMLParseDouble, offsetof(WorldValues, gamma), 1),
        PX_XML_VALUE("VEL_THRESH", PxXMLParseDouble, offsetof(WorldValues, velocity), 1),
        PX_XML_VALUE("ANGVEL_THRESH", PxXMLParseDouble, offsetof(WorldValues, angularVelocity), 1),
        PX_XML_VALUE("ACC_THRESH", PxXMLParseDouble, offsetof(WorldValues, acceleration), 1),
        PX_XML_VALUE("ANGACC_THRESH", PxXMLParseDouble, offsetof(WorldValues, angularAcceleration), 1),
        PX_XML_VALUE("ALIVE_WINDOW", PxXMLParseUInt, offsetof(WorldValues, aliveWindow), 1),
        PX_XML_VALUE("AVERAGING_WINDOW", PxXMLParseUInt, offsetof(WorldValues, averagingWindow), 1),
        PX_XML_VALUE("REST_SPEED", PxXMLParseDouble, offsetof(WorldValues, restSpeed), 1),
        PX_XML_VALUE("OPTIONS", PxXMLParseUInt, offsetof(WorldValues, options), 1),
        PX_XML_VALUE("TIMESTEP", PxXMLParseDouble, offsetof(WorldValues, timeStep), 1),
        PX_XML_ELEMENT("MATERIAL", LoadMaterialStatus),
        PX_XML_ELEMENT("MATERIALPAIR", LoadMaterialPairStatus),
        PX_XML_END};
    const int result = ProcessFor(this, element, handlers, &v);
    if (Given(handlers, "GRAVITY")) ApplyGravity(world_, v.gravity, PxXMLElementGetInput(element));
    if (Given(handlers, "EPSILON")) RbdWorldSetEpsilon(world_, v.epsilon);
    if (Given(handlers, "GAMMA")) RbdWorldSetGamma(world_, v.gamma);
    if (Given(handlers, "VEL_THRESH")) RbdWorldSetAutoDisableVelocityThreshold(world_, v.velocity);
    if (Given(handlers, "ANGVEL_THRESH")) RbdWorldSetAutoDisableAngularVelocityThreshold(world_, v.angularVelocity);
    if (Given(handlers, "ACC_THRESH")) RbdWorldSetAutoDisableAccelerationThreshold(world_, v.acceleration);
    if (Given(handlers, "ANGACC_THRESH"))
        RbdWorldSetAutoDisableAngularAccelerationThreshold(world_, v.angularAcceleration);
    if (Given(handlers, "ALIVE_WINDOW"))
        RbdWorldSetAutoDisableAliveWindow(world_, static_cast<int32_t>(v.aliveWindow));
    if (Given(handlers, "AVERAGING_WINDOW"))
        RbdWorldSetAutoDisableAveragingWindow(world_, static_cast<int32_t>(v.averagingWindow));
    if (Given(handlers, "REST_SPEED")) RbdWorldSetAutoDisableRestSpeed(world_, v.restSpeed);
    if (Given(handlers, "OPTIONS")) SetOptions(v.options);
    // The world refuses a step that is not positive, at every step: such a
    // value is refused here once, where it was given.
    if (Given(handlers, "TIMESTEP") && v.timeStep > 0 && std::isfinite(v.timeStep))
        timeStep = v.timeStep;
    else if (Given(handlers, "TIMESTEP"))
        LoadWarning(PxXMLElementGetInput(element), "Time step %g is not positive, ignored.\n", v.timeStep);
    return result;
}

void Universe::saveStatus(FILE *file) const
{
    PxStream *stream = PxStreamCreate(file);
    PxXMLWriteStartTag("UNIVERSE", stream);
    saveStatus(stream);
    PxXMLWriteEndTag("UNIVERSE", stream);
    PxStreamDestroy(stream);
}

int Universe::loadStatus(FILE *file)
{
    PxStream *stream = PxStreamCreate(file);
    PxXMLElement *element = CreateParser(stream, "UNIVERSE");
    int result = PX_XML_STRUCTURE_ERROR;
    if (element) {
        result = loadStatus(element);
        DestroyParser(element);
    }
    PxStreamDestroy(stream);
    return result;
}

} // namespace kelmar
