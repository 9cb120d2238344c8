// MATERIAL and MATERIALPAIR status elements. Every refusal is reported
// through the input's error handler and leaves the previous setting.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Transform.h>
#include <kelmar/Universe.h>

#include "UniverseStatusElements.h"
#include "loader/LoadElements.h"

namespace kelmar {

namespace {

const int kTextSize = 256;

Universe &UniverseOf(PxXMLElement *element)
{
    return *static_cast<Universe *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
}

bool Called(const PxXMLHandler *handlers, const char *tag)
{
    return PxXMLHandlerWasCalled(handlers, tag) != 0;
}

template <class... Args> void Report(PxXMLInput *input, int severity, const char *format, Args... args)
{
    input->errorHandler(input, severity, PX_XML_BAD_VALUE, format, args...);
}

std::string Trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// ---- MATERIAL ----

struct MaterialValues {
    int num;
    char id[kTextSize];
    double density;
    float color[4];
};

// The material an element names: by NUM (renamed to a given ID), else by ID.
int MaterialOfElement(Universe &u, PxXMLInput *input, const PxXMLHandler *handlers, const MaterialValues &v)
{
    if (Given(handlers, "NUM")) {
        if (v.num < 0 || v.num >= u.GetNumMaterials()) {
            Report(input, PX_XML_ERROR, "Material number %d ignored because it is out of range (0..%d)\n", v.num,
                   u.GetNumMaterials() - 1);
            return -1;
        }
        if (v.id[0]) u.SetMaterialName(v.num, v.id);
        return v.num;
    }
    if (!v.id[0]) {
        Report(input, PX_XML_ERROR, "Material properties ignored because no <ID> specified\n.");
        return -1;
    }
    const int index = u.GetMaterialId(v.id);
    if (index < 0) Report(input, PX_XML_ERROR, "Material name '%s' unknown, material stuff ignored\n", v.id);
    return index;
}

// ---- MATERIALPAIR ----

struct PairValues {
    char ids[2][kTextSize];
    double restitution, softness, minSpeed;
    double mu[2];     // static, dynamic
    double forces[2]; // primary, secondary (kg cm/s^2)
};

// A material by name, else by decimal index within the table; -1 otherwise.
int MaterialReference(const Universe &u, const char *reference)
{
    const int byName = u.GetMaterialId(reference);
    if (byName >= 0) return byName;
    char *end = nullptr;
    const long index = std::strtol(reference, &end, 10);
    if (end == reference || *end != '\0' || index < 0 || index >= u.GetNumMaterials()) return -1;
    return static_cast<int>(index);
}

// The two references from IDS or, without it, from the attribute text.
bool PairReferences(const PxXMLElement *element, const PxXMLHandler *handlers, PairValues &v)
{
    if (Given(handlers, "IDS")) return true;
    if (Called(handlers, "IDS") || !element->attributes) return false;
    const std::string text = element->attributes;
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    const std::string first = Trimmed(text.substr(0, comma)), second = Trimmed(text.substr(comma + 1));
    if (first.empty() || second.empty() || first.size() >= kTextSize || second.size() >= kTextSize) return false;
    std::strcpy(v.ids[0], first.c_str());
    std::strcpy(v.ids[1], second.c_str());
    return true;
}

// Restitution, softness and threshold go straight into the pair's record:
// they do not decide whether the pair has friction.
void ApplyPairValues(Universe &u, int a, int b, const PxXMLHandler *handlers, const PairValues &v,
                     const char *&message)
{
    RbdContactParams *params = u.GetContactParameters(a, b);
    if (Called(handlers, "RESTITUTION")) {
        if (v.restitution >= 0 && v.restitution <= 1)
            params->restitution = v.restitution, params->options |= RBD_CONTACT_RESTITUTION;
        else
            message = "Invalid restitution ignored";
    }
    if (Called(handlers, "SOFTNESS")) {
        if (v.softness >= 0 && v.softness <= 1)
            params->softness = v.softness, params->options |= RBD_CONTACT_SOFTNESS;
        else
            message = "Invalid softness ignored";
    }
    if (Called(handlers, "MINSPEED")) {
        if (v.minSpeed >= 0)
            params->restitutionThreshold = v.minSpeed;
        else
            message = "Invalid velocity threshold ignored";
    }
}

void ApplyPairForces(Universe &u, int a, int b, const PxXMLHandler *handlers, const PairValues &v, double cube,
                     const char *&message)
{
    if (!Called(handlers, "FORCE") && !Called(handlers, "FORCES")) return;
    const bool secondGiven = Called(handlers, "FORCES") && v.forces[1] != -1.0;
    const double first = v.forces[0] * cube;
    const double second = secondGiven ? v.forces[1] * cube : first;
    if (first < 0) {
        message = "Invalid friction force ignored";
        return;
    }
    u.SetContactParameter(a, b, kPrimaryFrictionForce, first);
    if (second >= 0) u.SetContactParameter(a, b, kSecondaryFrictionForce, second);
}

void ApplyPairCoefficients(Universe &u, int a, int b, const PxXMLHandler *handlers, const PairValues &v,
                           const char *&message)
{
    const bool both = Called(handlers, "MU") || Called(handlers, "FRICTION");
    if (both || Called(handlers, "STATIC_MU") || Called(handlers, "STATIC_FRICTION")) {
        if (v.mu[0] >= 0)
            u.SetContactParameter(a, b, kStaticFriction, v.mu[0]);
        else
            message = "Invalid static friction coefficient";
    }
    if (both || Called(handlers, "DYNAMIC_MU") || Called(handlers, "DYNAMIC_FRICTION")) {
        if (v.mu[1] >= 0)
            u.SetContactParameter(a, b, kDynamicFriction, v.mu[1]);
        else
            message = "Invalid dynamic friction coefficient";
    }
}

bool ReadsNamedFile(const PxXMLInput *input)
{
    return input->stream && input->stream->name && std::strcmp(input->stream->name, "file pointer") != 0;
}

} // namespace

void SaveMaterialStatus(const Universe &u, int index, PxStream *stream)
{
    float c[4];
    u.GetMaterialColor(index, c);
    PxXMLIndent();
    PxXMLWriteStartTag("MATERIAL", stream);
    PxXMLWrite("NUM", stream, "%i", index);
    PxXMLWrite("ID", stream, "%s", u.GetMaterialName(index));
    PxXMLWrite("DENSITY", stream, "%g", static_cast<double>(static_cast<float>(u.GetMaterialDensity(index))));
    PxXMLWrite("COLOR", stream, "%g, %g, %g, %g", c[0], c[1], c[2], c[3]);
    PxXMLWriteEndTag("MATERIAL", stream);
    PxXMLDeIndent();
}

void SaveMaterialPairStatus(const Universe &u, int a, int b, PxStream *stream)
{
    char x[32], y[32];
    PxXMLIndent();
    PxXMLWriteStartTag("MATERIALPAIR", stream);
    PxXMLWrite("IDS", stream, "%i, %i", a, b);
    PxXMLWrite("RESTITUTION", stream, "%s", FormatReal(u.GetContactParameter(a, b, kRestitution), x));
    PxXMLWrite("SOFTNESS", stream, "%s", FormatReal(u.GetContactParameter(a, b, kSoftness), x));
    PxXMLWrite("MINSPEED", stream, "%s", FormatReal(u.GetContactParameter(a, b, kRestitutionThreshold), x));
    PxXMLWrite("MU", stream, "%s, %s", FormatReal(u.GetContactParameter(a, b, kStaticFriction), x),
               FormatReal(u.GetContactParameter(a, b, kDynamicFriction), y));
    PxXMLWrite("FORCES", stream, "%s, %s", FormatReal(u.GetContactParameter(a, b, kPrimaryFrictionForce), x),
               FormatReal(u.GetContactParameter(a, b, kSecondaryFrictionForce), y));
    PxXMLWriteEndTag("MATERIALPAIR", stream);
    PxXMLDeIndent();
}

int LoadMaterialStatus(PxXMLElement *element)
{
    Universe &u = UniverseOf(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    MaterialValues v = {};
    if (element->attributes) std::strncpy(v.id, element->attributes, kTextSize - 1);
    PxXMLHandler handlers[] = {PX_XML_VALUE("NUM", PxXMLParseInt, offsetof(MaterialValues, num), 1),
                               PX_XML_VALUE("ID", PxXMLParseString, offsetof(MaterialValues, id), kTextSize),
                               PX_XML_VALUE("DENSITY", PxXMLParseDouble, offsetof(MaterialValues, density), 1),
                               PX_XML_VALUE("COLOR", PxXMLParseColor, offsetof(MaterialValues, color), 4),
                               PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    const int index = MaterialOfElement(u, input, handlers, v);
    if (index < 0) return result;
    if (Given(handlers, "DENSITY")) {
        if (v.density < 0) {
            Report(input, PX_XML_ERROR, "Density %4.3f of material '%s' invalid and ignored.\n", v.density,
                   u.GetMaterialName(index));
            return result;
        }
        u.SetMaterialDensity(index, v.density);
    }
    if (Given(handlers, "COLOR")) u.SetMaterialColor(index, v.color);
    return result;
}

int LoadMaterialPairStatus(PxXMLElement *element)
{
    Universe &u = UniverseOf(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    PairValues v = {};
    v.mu[0] = v.mu[1] = v.forces[0] = v.forces[1] = -1.0;
    PxXMLHandler handlers[] = {
        PX_XML_STRINGS("IDS", offsetof(PairValues, ids), 2, kTextSize),
        PX_XML_VALUE("RESTITUTION", PxXMLParseDouble, offsetof(PairValues, restitution), 1),
        PX_XML_VALUE("SOFTNESS", PxXMLParseDouble, offsetof(PairValues, softness), 1),
        PX_XML_VALUE("MINSPEED", PxXMLParseDouble, offsetof(PairValues, minSpeed), 1),
        PX_XML_VALUE("MU", PxXMLParseDoubleArray, offsetof(PairValues, mu), 2),
        PX_XML_VALUE("STATIC_MU", PxXMLParseDouble, offsetof(PairValues, mu), 1),
        PX_XML_VALUE("DYNAMIC_MU", PxXMLParseDouble, offsetof(PairValues, mu) + sizeof(double), 1),
        PX_XML_VALUE("FRICTION", PxXMLParseDoubleArray, offsetof(PairValues, mu), 2),
        PX_XML_VALUE("STATIC_FRICTION", PxXMLParseDouble, offsetof(PairValues, mu), 1),
        PX_XML_VALUE("DYNAMIC_FRICTION", PxXMLParseDouble, offsetof(PairValues, mu) + sizeof(double), 1),
        PX_XML_VALUE("FORCE", PxXMLParseDouble, offsetof(PairValues, forces), 1),
        PX_XML_VALUE("FORCES", PxXMLParseDoubleArray, offsetof(PairValues, forces), 2),
        PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (!PairReferences(element, handlers, v)) {
        Report(input, PX_XML_ERROR, "Material properties ignored because no <IDS> specified\n.");
        return result;
    }
    const int a = MaterialReference(u, v.ids[0]), b = MaterialReference(u, v.ids[1]);
    if (a < 0 || b < 0) {
        Report(input, PX_XML_ERROR, "Unknown material '%s', material properties ignored.\n",
               a < 0 ? v.ids[0] : v.ids[1]);
        return result;
    }
    const Scene *scene = GetScene(input);
    const double scale = scene ? scene->GetScale() : 1.0;
    const char *message = nullptr;
    ApplyPairValues(u, a, b, handlers, v, message);
    ApplyPairForces(u, a, b, handlers, v, scale * scale * scale, message);
    ApplyPairCoefficients(u, a, b, handlers, v, message);
    const bool deprecated = Called(handlers, "STATIC_FRICTION") || Called(handlers, "DYNAMIC_FRICTION") ||
                            Called(handlers, "FRICTION");
    if (deprecated && ReadsNamedFile(input))
        message = "Deprecated use of <STATIC|DYNAMIC_FRICTION>. Use <STATIC|DYNAMIC_MU instead.\n";
    if (message) Report(input, PX_XML_WARNING, "%s for material pair %s, %s\n", message, v.ids[0], v.ids[1]);
    return result;
}

} // namespace kelmar
