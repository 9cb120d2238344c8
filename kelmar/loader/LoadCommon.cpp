// What the element handlers share: messages, element text, default names,
// materials and densities.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

#include <kelmar/PxStream.h>

#include <kelmar/Scene.h>
#include <kelmar/Universe.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

// The handler formats again, so the finished text goes through "%s".
void Report(PxXMLInput *input, int severity, const char *format, va_list args)
{
    char text[PX_XML_ERROR_STRING_SIZE];
    std::vsnprintf(text, sizeof text, format, args);
    input->errorHandler(input, severity, severity == PX_XML_ERROR ? PX_XML_BAD_VALUE : PX_XML_OK, "%s", text);
}

} // namespace

void LoadError(PxXMLInput *input, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    Report(input, PX_XML_ERROR, format, args);
    va_end(args);
}

void LoadWarning(PxXMLInput *input, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    Report(input, PX_XML_WARNING, format, args);
    va_end(args);
}

bool Given(const PxXMLHandler *handlers, const char *tag)
{
    return PxXMLHandlerWasCalled(handlers, tag) && PxXMLHandlerGetError(handlers, tag) == PX_XML_OK;
}

int ProcessFor(void *owner, PxXMLElement *element, PxXMLHandler *handlers, void *values)
{
    PxXMLInput *input = PxXMLElementGetInput(element);
    void *previous = PxXMLInputGetUserData(input);
    PxXMLInputSetUserData(input, owner);
    const int result = PxXMLElementProcess(element, handlers, values);
    PxXMLInputSetUserData(input, previous);
    return result;
}

std::string ReadElementText(PxXMLElement *element)
{
    char text[PX_XML_TEXT_SIZE];
    if (readToNextTag(PxXMLElementGetInput(element), text, sizeof text) != PX_XML_OK) return "";
    return dropspace(text);
}

bool IsRegularFile(const char *name)
{
    const char *located = PxGetFileLocation(name);
    struct stat info;
    return located && stat(located, &info) == 0 && S_ISREG(info.st_mode);
}

void SetDefaultID(char *id, const char *text, size_t size)
{
    if (!text || !*text || size == 0) return;
    std::snprintf(id, size, "%s", text);
}

namespace {

// A material index written as a whole decimal number within the table, else -1.
int MaterialIndex(const Universe &universe, const char *text)
{
    char *end = nullptr;
    const long index = std::strtol(text, &end, 10);
    const bool whole = end != text && *end == '\0';
    return whole && index >= 0 && index < universe.GetNumMaterials() ? static_cast<int>(index) : -1;
}

} // namespace

void CheckDensityAndMaterial(const PxXMLHandler *handlers, PxXMLInput *input, Scene *scene, const char *id,
                             double &density, double defaultDensity, int &material, const char *materialText,
                             int defaultMaterial)
{
    if (Given(handlers, "DENSITY") && density <= 0) {
        LoadWarning(input, "Invalid density specified for solid '%s'. Using default value.\n", id);
        density = defaultDensity;
    }
    material = defaultMaterial;
    if (!materialText || !*materialText) return;
    const Universe *universe = scene ? scene->GetUniverse() : nullptr;
    const int byName = universe ? universe->GetMaterialId(materialText) : -1;
    const int index = byName >= 0 || !universe ? byName : MaterialIndex(*universe, materialText);
    if (index >= 0)
        material = index;
    else
        LoadWarning(input, "Unknown material '%s' for solid '%s', using default material\n", materialText, id);
}

} // namespace kelmar
