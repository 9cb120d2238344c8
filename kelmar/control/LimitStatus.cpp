// The LIMIT element: a limit's stops, bounds, controller, coordinate and
// drive state. Reading changes only what the element gives. Reals are
// written so that they read back exactly.
#include <kelmar/Limit.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <kelmar/Controller.h>
#include <kelmar/Joint.h>
#include <kelmar/Scene.h>
#include <kelmar/Transform.h>

#include "loader/LoadElements.h"

namespace kelmar {

namespace {

const int kParamsSize = 1024;

struct LimitValues {
    unsigned int active, lock;
    double loStop, upStop, stops[2];
    double loStiff, upStiff, stiffs[2];
    double loDamp, upDamp, damps[2];
    double loRest, upRest, rests[2];
    double maxForce, maxSpeed, lockForce;
    double offset, position, goalSpeed;
};

struct ControllerValues {
    char params[kParamsSize];
};

// One parameter of a single stop: the tag of its own, else its half of the pair tag.
void ApplyPair(const PxXMLHandler *h, const char *lo, const char *up, const char *pair, double loValue,
               double upValue, const double both[2], void (*set)(RbdSingleLimit *, PxReal), RbdLimit *limit)
{
    if (Given(h, pair)) {
        set(&limit->lower, both[0]);
        set(&limit->upper, both[1]);
    }
    if (Given(h, lo)) set(&limit->lower, loValue);
    if (Given(h, up)) set(&limit->upper, upValue);
}

// A force or speed bound is a size: a negative one is refused.
bool Bound(const PxXMLHandler *h, const char *tag, double value, PxXMLElement *element)
{
    if (!Given(h, tag)) return false;
    if (value >= 0) return true;
    LoadWarning(PxXMLElementGetInput(element), "Negative <%s> %g, ignored.\n", tag, value);
    return false;
}

void WriteReal(const char *tag, PxStream *stream, double value)
{
    char text[32];
    PxXMLWrite(tag, stream, "%s", FormatReal(value, text));
}

// "a, b, c": the numbers given; the others keep the values in params.
void ParseParams(const char *text, std::vector<double> &params)
{
    const char *p = text;
    for (size_t i = 0; i < params.size() && *p; ++i) {
        char *end = nullptr;
        const double value = std::strtod(p, &end);
        if (end != p) params[i] = value;
        p = std::strchr(end, ',');
        if (!p) break;
        ++p;
    }
}

} // namespace

int Limit::Handle_Limit(PxXMLElement *element)
{
    Limit *limit = static_cast<Limit *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
    return limit ? limit->loadStatus(element) : PX_XML_SKIP_ELEMENT;
}

// An unknown type is reported and its element skipped; a known one
// replaces the controller unless it is of that type already, so that
// parameters not given keep their values.
int Limit::Handle_Controller(PxXMLElement *element)
{
    PxXMLInput *input = PxXMLElementGetInput(element);
    Limit *limit = static_cast<Limit *>(PxXMLInputGetUserData(input));
    const char *type = element->attributes ? element->attributes : "";
    Controller *fresh = CreateController(type);
    if (!fresh) {
        input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "Unknown controller type, ignored.\n");
        return PX_XML_SKIP_ELEMENT;
    }
    if (!limit) {
        delete fresh;
        return PX_XML_SKIP_ELEMENT;
    }
    const char *current = limit->GetControllerType();
    if (current && std::strcmp(current, type) == 0)
        delete fresh;
    else
        limit->SetController(fresh);
    ControllerValues v = {};
    PxXMLHandler handlers[] = {
        PX_XML_VALUE("PARAMS", PxXMLParseString, offsetof(ControllerValues, params), kParamsSize), PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (Given(handlers, "PARAMS") && limit->controller->NumParams() > 0) {
        std::vector<double> params(static_cast<size_t>(limit->controller->NumParams()));
        limit->controller->GetParams(params.data());
        ParseParams(v.params, params);
        limit->controller->SetParams(params.data());
    }
    return result;
}

int Limit::loadStatus(PxXMLElement *element)
{
    LimitValues v = {};
    PxXMLHandler h[] = {PX_XML_VALUE("ACTIVE", PxXMLParseUInt, offsetof(LimitValues, active), 1),
                        PX_XML_VALUE("LOCK", PxXMLParseUInt, offsetof(LimitValues, lock), 1),
                        PX_XML_VALUE("LO_STOP", PxXMLParseDouble, offsetof(LimitValues, loStop), 1),
                        PX_XML_VALUE("UP_STOP", PxXMLParseDouble, offsetof(LimitValues, upStop), 1),
                        PX_XML_VALUE("STOPS", PxXMLParseDoubleArray, offsetof(LimitValues, stops), 2),
                        PX_XML_VALUE("LO_STIFF", PxXMLParseDouble, offsetof(LimitValues, loStiff), 1),
                        PX_XML_VALUE("UP_STIFF", PxXMLParseDouble, offsetof(LimitValues, upStiff), 1),
                        PX_XML_VALUE("STIFFS", PxXMLParseDoubleArray, offsetof(LimitValues, stiffs), 2),
                        PX_XML_VALUE("LO_DAMP", PxXMLParseDouble, offsetof(LimitValues, loDamp), 1),
                        PX_XML_VALUE("UP_DAMP", PxXMLParseDouble, offsetof(LimitValues, upDamp), 1),
                        PX_XML_VALUE("DAMPS", PxXMLParseDoubleArray, offsetof(LimitValues, damps), 2),
                        PX_XML_VALUE("LO_REST", PxXMLParseDouble, offsetof(LimitValues, loRest), 1),
                        PX_XML_VALUE("UP_REST", PxXMLParseDouble, offsetof(LimitValues, upRest), 1),
                        PX_XML_VALUE("RESTS", PxXMLParseDoubleArray, offsetof(LimitValues, rests), 2),
                        PX_XML_VALUE("MAXFORCE", PxXMLParseDouble, offsetof(LimitValues, maxForce), 1),
                        PX_XML_VALUE("MAXSPEED", PxXMLParseDouble, offsetof(LimitValues, maxSpeed), 1),
                        PX_XML_VALUE("LOCKFORCE", PxXMLParseDouble, offsetof(LimitValues, lockForce), 1),
                        PX_XML_VALUE("OFFSET", PxXMLParseDouble, offsetof(LimitValues, offset), 1),
                        PX_XML_VALUE("POSITION", PxXMLParseDouble, offsetof(LimitValues, position), 1),
                        PX_XML_VALUE("GOALSPEED", PxXMLParseDouble, offsetof(LimitValues, goalSpeed), 1),
                        PX_XML_ELEMENT("CONTROLLER", Handle_Controller),
                        PX_XML_END};
    const int result = ProcessFor(this, element, h, &v);

    const double stops[2] = {limit->lower.stop, limit->upper.stop};
    ApplyPair(h, "LO_STOP", "UP_STOP", "STOPS", v.loStop, v.upStop, v.stops, RbdSingleLimitSetStop, limit);
    if (limit->lower.stop > limit->upper.stop) {
        LoadWarning(PxXMLElementGetInput(element), "Stops reversed (lower %g above upper %g), ignored.\n",
                    limit->lower.stop, limit->upper.stop);
        RbdSingleLimitSetStop(&limit->lower, stops[0]);
        RbdSingleLimitSetStop(&limit->upper, stops[1]);
    }
    ApplyPair(h, "LO_STIFF", "UP_STIFF", "STIFFS", v.loStiff, v.upStiff, v.stiffs, RbdSingleLimitSetStiffness, limit);
    ApplyPair(h, "LO_DAMP", "UP_DAMP", "DAMPS", v.loDamp, v.upDamp, v.damps, RbdSingleLimitSetDamping, limit);
    ApplyPair(h, "LO_REST", "UP_REST", "RESTS", v.loRest, v.upRest, v.rests, RbdSingleLimitSetRestitution, limit);
    if (Bound(h, "MAXFORCE", v.maxForce, element)) maxForce = v.maxForce;
    if (Bound(h, "MAXSPEED", v.maxSpeed, element)) maxSpeed = v.maxSpeed;
    if (Bound(h, "LOCKFORCE", v.lockForce, element)) lockForce = v.lockForce;
    if (Given(h, "OFFSET")) limit->positionOffset = v.offset;
    if (Given(h, "POSITION")) {
        // The raw coordinate as it was measured; unwrapping goes on from it.
        limit->rawPosition = limit->previousPosition = v.position;
        limit->offsetInitialised = 1;
    }
    valid = 0;
    if (Given(h, "GOALSPEED")) {
        SetSpeed(v.goalSpeed);
    } else if (Given(h, "LOCK") && (v.lock & 0x01)) {
        UpToDate();
        LockHere();
        autoLocked = (v.lock & 0x02) != 0;
    }
    return result;
}

void Limit::saveStatus(PxStream *stream) const
{
    const Scene *scene = joint_ ? joint_->scene : nullptr;
    const unsigned int options = scene ? scene->options : Scene::kStatusPose | Scene::kStatusAppearance;
    PxXMLIndent();
    PxXMLWriteStartTag("LIMIT", stream);
    if (options & Scene::kStatusAppearance) {
        WriteReal("LO_STOP", stream, limit->lower.stop);
        WriteReal("UP_STOP", stream, limit->upper.stop);
        WriteReal("LO_STIFF", stream, limit->lower.stiffness);
        WriteReal("UP_STIFF", stream, limit->upper.stiffness);
        WriteReal("LO_DAMP", stream, limit->lower.damping);
        WriteReal("UP_DAMP", stream, limit->upper.damping);
        WriteReal("LO_REST", stream, limit->lower.restitution);
        WriteReal("UP_REST", stream, limit->upper.restitution);
        WriteReal("MAXFORCE", stream, maxForce);
        WriteReal("LOCKFORCE", stream, lockForce);
        WriteReal("MAXSPEED", stream, maxSpeed);
        SaveController(stream);
    }
    if (options & Scene::kStatusPose) {
        WriteReal("OFFSET", stream, limit->positionOffset);
        if (limit->offsetInitialised) WriteReal("POSITION", stream, limit->rawPosition);
    }
    if ((options & (Scene::kStatusPose | Scene::kStatusAppearance)) && limit->motorized &&
        limit->motorDesiredVelocity != 0.0)
        WriteReal("GOALSPEED", stream, limit->motorDesiredVelocity);
    if ((options & Scene::kStatusPose) && limit->locked)
        PxXMLWrite("LOCK", stream, "%u", 1u | (autoLocked ? 2u : 0u));
    PxXMLWriteEndTag("LIMIT", stream);
    PxXMLDeIndent();
}

void Limit::SaveController(PxStream *stream) const
{
    const char *type = controller->TypeName();
    if (!type) return;
    std::vector<double> params(static_cast<size_t>(controller->NumParams()));
    if (!params.empty()) controller->GetParams(params.data());
    std::string text;
    char number[32];
    for (size_t i = 0; i < params.size(); ++i) text += (i ? ", " : "") + std::string(FormatReal(params[i], number));
    PxXMLIndent();
    PxXMLWriteStartTagAttrib("CONTROLLER", stream, "%s", type);
    PxXMLWrite("PARAMS", stream, "%s", text.c_str());
    PxXMLWriteEndTag("CONTROLLER", stream);
    PxXMLDeIndent();
}

} // namespace kelmar
