// Renaming, resetting and rebuilding scenes with their states kept, and
// the host units behind registered items.
#include "admin/DfxKelmarAdmin.h"

#include <cstring>

#include <kelmar/Scene.h>
#include <kelmar/Solid.h>

#include "objects/DfxObject.h"
#include "objects/DfxScene.h"
#include "objects/DfxUniverse.h"

namespace kelmar {

namespace {

// A marked or dragged solid of the scene would not survive its rebuild.
void ForgetPickingIn(Scene *scene)
{
    Universe *universe = scene->GetUniverse();
    if (!universe) return;
    const Solid *marked = universe->GetMarkedSolid();
    if (marked && marked->scene == scene) universe->SetMarkedSolid(nullptr);
    universe->EndPicking();
}

const unsigned int kSaveAll = 48;

} // namespace

void DfxKelmarAdmin::KeepPoses(DfxScene *scene)
{
    auto &poses = poses_[scene];
    poses.clear();
    scene->ForEachObject([&](const char *name, Object *object) {
        const auto *solid = dynamic_cast<const Solid *>(object);
        if (!solid || !solid->GetTM()) return;
        const double(*tm)[4] = solid->GetTM();
        poses[name].assign(&tm[0][0], &tm[0][0] + 16);
    });
}

void DfxKelmarAdmin::RestorePoses(DfxScene *scene)
{
    const auto kept = poses_.find(scene);
    if (kept == poses_.end()) return;
    for (const auto &pose : kept->second) {
        Solid *solid = scene->LookupSolid(pose.first.c_str(), false);
        double tm[4][4];
        for (int i = 0; i < 16; ++i) tm[i / 4][i % 4] = pose.second[static_cast<size_t>(i)];
        if (solid) solid->SetTM(tm);
    }
    poses_.erase(kept);
}

void DfxKelmarAdmin::SaveToTmp(DfxScene *scene, unsigned int flags)
{
    scene->saveStatusToTmp(flags);
    if (flags & Scene::kStatusPose)
        KeepPoses(scene);
    else
        poses_.erase(scene);
}

void DfxKelmarAdmin::LoadFromTmp(DfxScene *scene)
{
    scene->loadStatusFromTmp();
    RestorePoses(scene);
}

bool DfxKelmarAdmin::Rename(DfxScene *scene, const char *name)
{
    if (!scene || !scene->registered_) {
        dfx_error("DfxKelmarAdmin: attempt to rename unregistered scene!\n");
        return false;
    }
    if (!CheckName(name, "scene", false)) return false;
    if (Clashes(scene, name)) {
        dfx_error("scene with name '%s' already exists\n", name);
        return false;
    }
    UnResolveSceneObjects(scene);
    scene->name_ = name;
    ResolveSceneObjects(scene);
    return true;
}

bool DfxKelmarAdmin::Rename(DfxUniverse *universe, const char *name)
{
    if (!universe || !universe->registered_) {
        dfx_error("DfxKelmarAdmin: attempt to rename unregistered universe!\n");
        return false;
    }
    if (!CheckName(name, "universe", false)) return false;
    if (Clashes(universe, name)) {
        dfx_error("universe with name '%s' already exists\n", name);
        return false;
    }
    universe->name_ = name;
    // Those bound by the old name let go and look again, as when it goes.
    for (DfxScene *scene : std::list<DfxScene *>(scenes_))
        if (scene->GetUniverse() == universe && FindUniverse(scene->UniverseName(), scene->GetUnit()) != universe) {
            TakeOut(scene);
            AddToUniverse(scene);
        }
    for (Consumer &c : consumers_)
        if (c.universe == universe && FindUniverse(c.universeName.c_str(), c.unit) != universe) {
            c.universe = nullptr;
            c.consumer->SetUniverse(nullptr);
        }
    ResolveScenes(universe);
    for (DfxUniverse *any : universes_) ResolveConsumers(any);
    return true;
}

void DfxKelmarAdmin::Reset(DfxUniverse *universe)
{
    if (!universe || !universe->registered_) return;
    UnResolveScenes(universe);
    universe->ResetWorld();
    ResolveScenes(universe);
    NextSimulationGeneration();
}

// The status is saved with the host's own solids in the scene, so that
// they get theirs back after the rebuild too.
void DfxKelmarAdmin::Reset(DfxScene *scene, unsigned int flags)
{
    Universe *universe = scene ? scene->GetUniverse() : nullptr;
    if (!universe) return;
    ForgetPickingIn(scene);
    SaveToTmp(scene, flags);
    UnResolveSceneObjects(scene);
    scene->create(universe);
    ResolveSceneObjects(scene);
    LoadFromTmp(scene);
    NextSimulationGeneration();
}

void DfxKelmarAdmin::SetHostUnit(DfxUniverse *universe, DfxUnit *unit)
{
    if (universe) universe->unit_ = unit;
}

void DfxKelmarAdmin::SetHostUnit(DfxScene *scene, DfxUnit *unit)
{
    if (scene) scene->unit_ = unit;
}

void DfxKelmarAdmin::SetHostUnit(DfxObject *object, DfxUnit *unit)
{
    if (object) object->SetUnit(unit);
}

void DfxKelmarAdmin::ChangeProgUnitHosts(DfxUnit *oldUnit, DfxUnit *newUnit)
{
    for (DfxUniverse *universe : universes_)
        if (universe->unit_ == oldUnit) universe->unit_ = newUnit;
    for (DfxScene *scene : scenes_)
        if (scene->unit_ == oldUnit) scene->unit_ = newUnit;
    for (DfxObject *object : objects_)
        if (object->GetUnit() == oldUnit) object->SetUnit(newUnit);
    for (Consumer &c : consumers_)
        if (c.unit == oldUnit) c.unit = newUnit;
}

void DfxKelmarAdmin::DestroyAllScenes()
{
    for (DfxScene *scene : std::list<DfxScene *>(scenes_)) {
        if (!scene->GetUniverse()) continue;
        ForgetPickingIn(scene);
        SaveToTmp(scene, kSaveAll);
        TakeOut(scene);
    }
    NextSimulationGeneration();
}

// Scenes back into their universes (the objects bound with them), then
// their states, then whatever object still waits.
void DfxKelmarAdmin::RecreateAllScenes()
{
    for (DfxScene *scene : std::list<DfxScene *>(scenes_)) AddToUniverse(scene);
    for (DfxScene *scene : scenes_)
        if (scene->GetUniverse()) LoadFromTmp(scene);
    BindWaitingObjects();
    NextSimulationGeneration();
}

void DfxKelmarAdmin::SaveAllScenes()
{
    for (DfxScene *scene : scenes_)
        if (scene->GetUniverse()) SaveToTmp(scene, kSaveAll);
}

void DfxKelmarAdmin::LoadAllScenes()
{
    for (DfxScene *scene : scenes_)
        if (scene->GetUniverse()) LoadFromTmp(scene);
    NextSimulationGeneration();
}

void DfxKelmarAdmin::ShowUnresolvedObjects()
{
    dfx_diagnostics(DFX_INFO, "unresolved objects: ");
    for (DfxObject *object : objects_)
        if (!object->IsBound())
            dfx_diagnostics(DFX_INFO, "  \"%s\" in scene \"%s\"\n", object->Name(), object->SceneName());
}

void DfxKelmarAdmin::ShowUnresolvedScenes()
{
    dfx_diagnostics(DFX_INFO, "unresolved scenes: ");
    for (DfxScene *scene : scenes_)
        if (!scene->GetUniverse())
            dfx_diagnostics(DFX_INFO, "  \"%s\" in universe \"%s\"\n", scene->Name(), scene->UniverseName());
}

} // namespace kelmar
