// VAR and DEFAULT_VAR (variables substituted into the values that follow)
// and COLOR (the default colour of the graphics that follow).
#include <string>

#include <kelmar/Graphics.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

// The attribute text names the variable, the content is its value.
int SetVariable(PxXMLElement *element, bool overwrite)
{
    PxXMLInput *input = PxXMLElementGetInput(element);
    const std::string value = ReadElementText(element);
    const char *name = element->attributes;
    if (!name || !*name) {
        LoadError(input, "variable name not given in <VAR> definition\n");
        return PX_XML_SKIP_ELEMENT;
    }
    const bool defined = PxXMLInputGetVariable(input, name) != nullptr;
    if (defined && !overwrite) return PX_XML_SKIP_ELEMENT;
    if (defined) LoadWarning(input, "variable %s already defined, now rewritten\n", name);
    PxXMLInputSetVariable(input, name, value.c_str());
    return PX_XML_SKIP_ELEMENT;
}

} // namespace

int LoadVariable(PxXMLElement *element)
{
    return SetVariable(element, true);
}

int LoadDefaultVariable(PxXMLElement *element)
{
    return SetVariable(element, false);
}

int LoadDefaultColor(PxXMLElement *element)
{
    PxXMLInput *input = PxXMLElementGetInput(element);
    float rgba[4] = {0, 0, 0, 1};
    PxXMLHandler entry = PX_XML_VALUE("COLOR", PxXMLParseColor, 0, 4);
    const int result = PxXMLParseColor(input, &entry, rgba);
    if (result == PX_XML_OK && rgba[0] >= 0) Graphics::SetDefaultColor(rgba);
    return PX_XML_SKIP_ELEMENT;
}

} // namespace kelmar
