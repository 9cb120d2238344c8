// A host universe: resets through the administrator, both drawing passes
// for the host, and the count of steps that outdates contact lists.
#include "objects/DfxUniverse.h"

#include <kelmar/Graphics.h>
#include <kelmar/Scene.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxScene.h"

namespace kelmar {

namespace {

long gGeneration = 0;

} // namespace

long SimulationGeneration()
{
    return gGeneration;
}

void NextSimulationGeneration()
{
    ++gGeneration;
}

DfxUniverse::DfxUniverse(const char *name, int nBodies, int nConstraints, int nModels, int nModelPairs, DfxUnit *unit)
    : Universe(nBodies, nConstraints, nModels, nModelPairs), name_(name ? name : ""), unit_(unit)
{
    TheAdmin().Register(this);
}

DfxUniverse::~DfxUniverse()
{
    TheAdmin().UnRegister(this);
    NextSimulationGeneration();
}

void DfxUniverse::reset()
{
    if (registered_)
        TheAdmin().Reset(this);
    else
        Universe::reset();
    NextSimulationGeneration();
}

void DfxUniverse::draw(unsigned int flags)
{
    if (flags) return Universe::draw(flags);
    Universe::draw(kDrawOpaquePass);
    Universe::draw(kDrawTranslucentPass);
}

void DfxUniverse::ResetScenesWithRestore(unsigned int flags)
{
    for (Scene *scene : std::list<Scene *>(GetScenes())) {
        auto *host = dynamic_cast<DfxScene *>(scene);
        if (host)
            TheAdmin().Reset(host, flags);
        else {
            scene->saveStatusToTmp(flags);
            scene->create(this);
            scene->loadStatusFromTmp();
        }
    }
    NextSimulationGeneration();
}

void DfxUniverse::Step()
{
    step();
    NextSimulationGeneration();
}

} // namespace kelmar
