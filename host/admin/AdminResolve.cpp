// Binding and unbinding: scenes into universes, objects to scenes,
// consumers to universes.
#include "admin/DfxKelmarAdmin.h"

#include <cstring>

#include "objects/DfxObject.h"
#include "objects/DfxScene.h"
#include "objects/DfxUniverse.h"

namespace kelmar {

namespace {

// The universe part of a scene's universe name: after the last ':'.
const char *UniversePart(const char *name)
{
    const char *colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

} // namespace

// A scene not yet in a universe goes into the one it names (loading its
// file), and the objects waiting for it are bound.
bool DfxKelmarAdmin::AddToUniverse(DfxScene *scene)
{
    if (scene->GetUniverse()) return false;
    DfxUniverse *universe = FindUniverse(scene->UniverseName(), scene->GetUnit());
    if (!universe) return false;
    universe->AddScene(scene);
    ResolveSceneObjects(scene);
    return true;
}

// Its objects unbound, then out of its universe.
void DfxKelmarAdmin::TakeOut(DfxScene *scene)
{
    UnResolveSceneObjects(scene);
    if (Universe *universe = scene->GetUniverse()) universe->DelScene(scene);
}

void DfxKelmarAdmin::ResolveScenes(DfxUniverse *universe)
{
    for (DfxScene *scene : std::list<DfxScene *>(scenes_)) {
        if (scene->GetUniverse() || std::strcmp(UniversePart(scene->UniverseName()), universe->Name()) != 0) continue;
        if (FindUniverse(scene->UniverseName(), scene->GetUnit()) == universe) AddToUniverse(scene);
    }
}

void DfxKelmarAdmin::ResolveSceneObjects(DfxScene *scene)
{
    if (!scene->GetUniverse()) return;
    for (DfxObject *object : std::list<DfxObject *>(objects_))
        if (!object->IsBound() && FindScene(object->SceneName(), object->GetUnit()) == scene)
            ResolveObject(object, scene);
}

// An object binds to a loaded scene only; a refusal leaves it unbound.
bool DfxKelmarAdmin::ResolveObject(DfxObject *object, DfxScene *scene)
{
    if (!object || !scene || !scene->GetUniverse() || object->IsBound()) return false;
    return object->NewScene(scene);
}

void DfxKelmarAdmin::ResolveConsumers(DfxUniverse *universe)
{
    for (Consumer &c : consumers_) {
        if (c.universe || FindUniverse(c.universeName.c_str(), c.unit) != universe) continue;
        c.universe = universe;
        c.consumer->SetUniverse(universe);
    }
}

void DfxKelmarAdmin::UnResolveScenes(DfxUniverse *universe)
{
    for (DfxScene *scene : std::list<DfxScene *>(scenes_))
        if (scene->GetUniverse() == universe) TakeOut(scene);
}

void DfxKelmarAdmin::UnResolveSceneObjects(DfxScene *scene)
{
    for (DfxObject *object : std::list<DfxObject *>(objects_))
        if (object->GetScene() == scene) object->NewScene(nullptr);
}

void DfxKelmarAdmin::UnResolveObject(DfxObject *object)
{
    if (object && object->IsBound()) object->NewScene(nullptr);
}

void DfxKelmarAdmin::UnResolveConsumers(DfxUniverse *universe)
{
    for (Consumer &c : consumers_) {
        if (c.universe != universe) continue;
        c.universe = nullptr;
        c.consumer->SetUniverse(nullptr);
    }
}

// Every unbound object whose scene is loaded.
void DfxKelmarAdmin::BindWaitingObjects()
{
    for (DfxObject *object : std::list<DfxObject *>(objects_)) {
        if (object->IsBound()) continue;
        DfxScene *scene = FindScene(object->SceneName(), object->GetUnit());
        if (scene) ResolveObject(object, scene);
    }
}

} // namespace kelmar
