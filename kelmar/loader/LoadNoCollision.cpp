// NOCOLLISION: collisions switched off between every solid of one group
// and every solid of another ("a b, c d": a and b each with c and d), and
// between the adjacent links of the robots it names or defines.
#include <sstream>
#include <string>
#include <vector>

#include <kelmar/CdxSpace.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>

#include "LoadElements.h"
#include "LoadJoints.h"

namespace kelmar {

namespace {

const int kGroupSize = PX_XML_TEXT_SIZE;

struct PairValues {
    char groups[2][kGroupSize];
    Scene *scene;
    PxXMLInput *input;
};

// The collision models of a group of names (blanks, tabs or newlines apart).
std::vector<CdxModelID> ModelsOf(PairValues &v, const char *group)
{
    std::vector<CdxModelID> models;
    std::istringstream names(group);
    std::string name;
    while (names >> name) {
        const Solid *solid = v.scene->LookupSolid(name.c_str());
        if (!solid)
            LoadWarning(v.input, "Solid '%s' of no-collision-pair is not defined yet, ignoring\n", name.c_str());
        else if (solid->GetModel())
            models.push_back(solid->GetModel());
    }
    return models;
}

int DisablePairs(void *userData, PxXMLElement *, void *)
{
    PairValues &v = *static_cast<PairValues *>(userData);
    const std::vector<CdxModelID> first = ModelsOf(v, v.groups[0]);
    const std::vector<CdxModelID> second = ModelsOf(v, v.groups[1]);
    for (CdxModelID a : first)
        for (CdxModelID b : second)
            if (a != b) CdxSpaceDisablePair(a, b);
    return PX_XML_OK;
}

} // namespace

int LoadNoCollision(PxXMLElement *element)
{
    PairValues v = {};
    v.scene = GetScene(element);
    v.input = PxXMLElementGetInput(element);
    PxXMLHandler handlers[] = {{"SOLIDS", PX_XML_VALUE_HANDLER,
                                reinterpret_cast<PxXMLFunction>(PxXMLParseStringArray), offsetof(PairValues, groups),
                                2, kGroupSize, 0, 0, v.scene ? DisablePairs : nullptr},
                               PX_XML_END};
    return PxXMLElementProcess(element, handlers, &v);
}

} // namespace kelmar
