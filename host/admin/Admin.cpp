// Registration: the four lists and the name rules.
#include "admin/DfxKelmarAdmin.h"

#include <algorithm>
#include <cstring>

#include "objects/DfxObject.h"
#include "objects/DfxScene.h"
#include "objects/DfxUniverse.h"

namespace kelmar {

namespace {

template <class T> bool Remove(std::list<T *> &list, T *item)
{
    const auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

} // namespace

DfxKelmarAdmin &TheAdmin()
{
    static DfxKelmarAdmin admin;
    return admin;
}

DfxUnit *ProgramOf(DfxUnit *unit)
{
    while (unit && !dfx_unit_is_program(unit)) unit = dfx_unit_parent(unit);
    return unit;
}

bool DfxKelmarAdmin::CheckName(const char *name, const char *kind, bool allowEmpty)
{
    if (name && std::strchr(name, ':')) {
        dfx_warning("DfxKelmarAdmin: name for %s must not contain ':'\n", kind);
        return false;
    }
    if (!allowEmpty && (!name || !*name)) {
        dfx_warning("DfxKelmarAdmin: empty name for %s not allowed\n", kind);
        return false;
    }
    return true;
}

// Two of a kind may share a name only in different program units.
bool DfxKelmarAdmin::Clashes(const DfxUniverse *universe, const char *name) const
{
    if (!*name) return false;
    for (const DfxUniverse *other : universes_)
        if (other != universe && std::strcmp(other->Name(), name) == 0 &&
            ProgramOf(other->GetUnit()) == ProgramOf(universe->GetUnit()))
            return true;
    return false;
}

bool DfxKelmarAdmin::Clashes(const DfxScene *scene, const char *name) const
{
    if (!*name) return false;
    for (const DfxScene *other : scenes_)
        if (other != scene && std::strcmp(other->Name(), name) == 0 &&
            ProgramOf(other->GetUnit()) == ProgramOf(scene->GetUnit()))
            return true;
    return false;
}

// A universe takes in the scenes and consumers waiting for its name; the
// first one installs the 3-D view's handlers.
bool DfxKelmarAdmin::Register(DfxUniverse *universe)
{
    if (!universe || universe->registered_) {
        dfx_error("DfxKelmarAdmin: attempt to register invalid DfxUniverse!\n");
        return false;
    }
    if (!CheckName(universe->Name(), "universe", true)) universe->name_.clear();
    if (Clashes(universe, universe->Name())) {
        dfx_error("universe with name '%s' already exists\n", universe->Name());
        return false;
    }
    universes_.push_front(universe);
    ++numUniverses_;
    universe->registered_ = true;
    InstallViewHandlers();
    ResolveScenes(universe);
    ResolveConsumers(universe);
    return true;
}

// Its scenes and consumers let go of it and look for another of the name.
void DfxKelmarAdmin::UnRegister(DfxUniverse *universe)
{
    if (!universe || !universe->registered_) return;
    UnResolveConsumers(universe);
    UnResolveScenes(universe);
    Remove(universes_, universe);
    --numUniverses_;
    universe->registered_ = false;
    for (DfxScene *scene : std::list<DfxScene *>(scenes_)) AddToUniverse(scene);
    for (DfxUniverse *other : universes_) ResolveConsumers(other);
}

// A scene whose name has ':' registers without a name.
bool DfxKelmarAdmin::Register(DfxScene *scene)
{
    if (!scene || scene->registered_) {
        dfx_error("DfxKelmarAdmin: attempt to register invalid DfxScene!\n");
        return false;
    }
    if (!CheckName(scene->Name(), "scene", true)) scene->name_.clear();
    if (!*scene->UniverseName()) {
        dfx_warning("scene refers to empty universe name, not registered\n");
        return false;
    }
    if (Clashes(scene, scene->Name())) {
        dfx_error("scene with name '%s' already exists\n", scene->Name());
        return false;
    }
    scenes_.push_front(scene);
    ++numScenes_;
    scene->registered_ = true;
    AddToUniverse(scene);
    return true;
}

void DfxKelmarAdmin::UnRegister(DfxScene *scene)
{
    if (!scene || !scene->registered_) return;
    TakeOut(scene);
    poses_.erase(scene);
    Remove(scenes_, scene);
    --numScenes_;
    scene->registered_ = false;
}

bool DfxKelmarAdmin::Register(DfxObject *object, DfxScene *scene)
{
    if (!object || IsRegistered(object)) {
        dfx_error("DfxKelmarAdmin: attempt to register invalid DfxObject!\n");
        return false;
    }
    if (scene && !*object->SceneName()) object->SetSceneName(scene->Name());
    objects_.push_front(object);
    ++numObjects_;
    DfxScene *target = scene ? scene : FindScene(object->SceneName(), object->GetUnit());
    if (target) ResolveObject(object, target);
    return true;
}

void DfxKelmarAdmin::UnRegister(DfxObject *object)
{
    if (!IsRegistered(object)) return;
    UnResolveObject(object);
    Remove(objects_, object);
    --numObjects_;
}

bool DfxKelmarAdmin::Register(DfxUniverseConsumer *consumer, const char *universeName, DfxUnit *unit)
{
    if (!consumer) return false;
    UnRegister(consumer);
    consumers_.push_front({consumer, universeName ? universeName : "", unit, nullptr});
    ++numConsumers_;
    for (DfxUniverse *universe : universes_) ResolveConsumers(universe);
    return true;
}

void DfxKelmarAdmin::UnRegister(DfxUniverseConsumer *consumer)
{
    for (auto it = consumers_.begin(); it != consumers_.end(); ++it) {
        if (it->consumer != consumer) continue;
        consumers_.erase(it);
        --numConsumers_;
        return;
    }
}

bool DfxKelmarAdmin::IsRegistered(const DfxObject *object) const
{
    return object && std::find(objects_.begin(), objects_.end(), object) != objects_.end();
}

int DfxKelmarAdmin::NumBoundObjects() const
{
    return static_cast<int>(
        std::count_if(objects_.begin(), objects_.end(), [](const DfxObject *o) { return o->IsBound(); }));
}

DfxUniverseConsumer::~DfxUniverseConsumer()
{
    TheAdmin().UnRegister(this);
}

} // namespace kelmar
