// Finding universes and scenes by name, the host's way: level by level up
// the unit tree from the unit that asks.
#include "admin/DfxKelmarAdmin.h"

#include <cstring>

#include "objects/DfxScene.h"
#include "objects/DfxUniverse.h"

namespace kelmar {

namespace {

DfxUnit *NamedChild(DfxUnit *level, const std::string &name)
{
    for (int i = 0; i < dfx_unit_child_count(level); ++i) {
        DfxUnit *child = dfx_unit_child(level, i);
        if (name == dfx_unit_name(child)) return child;
    }
    return nullptr;
}

} // namespace

template <class T> T *DfxKelmarAdmin::OfUnit(const std::list<T *> &list, const DfxUnit *unit) const
{
    for (T *item : list)
        if (item->GetUnit() == unit) return item;
    return nullptr;
}

// The named units of one level with the label first, then the program
// units below it.
template <class T>
T *DfxKelmarAdmin::SearchLevel(const std::list<T *> &list, const char *label, const char *name, DfxUnit *level,
                               bool searchProgUnits)
{
    for (int i = 0; i < dfx_unit_child_count(level); ++i) {
        DfxUnit *child = dfx_unit_child(level, i);
        if (std::strcmp(dfx_unit_name(child), name) != 0 || std::strcmp(dfx_unit_label(child), label) != 0) continue;
        T *item = OfUnit(list, child);
        if (item && std::strcmp(item->Name(), name) == 0) return item;
        // A unit without a registered universe is being deleted (or failed
        // to make one): passed over in silence.
        if (item && std::strcmp(label, "universe") == 0)
            dfx_warning("DfxKelmarAdmin: named universe unit (%s) with invalid universe!\n", name);
    }
    for (int i = 0; searchProgUnits && i < dfx_unit_child_count(level); ++i) {
        DfxUnit *child = dfx_unit_child(level, i);
        T *found = dfx_unit_is_program(child) ? SearchLevel(list, label, name, child, true) : nullptr;
        if (found) return found;
    }
    return nullptr;
}

// Those made without a unit (by scripts) are found by name alone, and
// look through the whole tree themselves.
template <class T>
T *DfxKelmarAdmin::Find(const std::list<T *> &list, const char *label, const char *name, DfxUnit *unit, int depth,
                        bool searchProgUnits)
{
    if (!name || !*name) return nullptr;
    const char *colon = std::strchr(name, ':');
    const std::string outer = colon ? std::string(name, colon) : std::string();
    if (!unit)
        for (T *item : list)
            if (!item->GetUnit() && std::strcmp(item->Name(), name) == 0) return item;
    DfxUnit *root = dfx_unit_root();
    for (DfxUnit *level = unit ? ProgramOf(unit) : root; level && depth > 0; --depth) {
        DfxUnit *inside = colon ? NamedChild(level, outer) : nullptr;
        T *found = nullptr;
        if (!colon)
            found = SearchLevel(list, label, name, level, searchProgUnits);
        else if (inside && dfx_unit_is_program(inside))
            found = SearchLevel(list, label, colon + 1, inside, searchProgUnits);
        if (found || inside || level == root) return found;
        level = dfx_unit_parent(level);
    }
    return nullptr;
}

DfxUniverse *DfxKelmarAdmin::FindUniverse(const char *name, DfxUnit *unit, int depth, bool searchProgUnits)
{
    return Find(universes_, "universe", name, unit, depth, searchProgUnits);
}

DfxScene *DfxKelmarAdmin::FindScene(const char *name, DfxUnit *unit, int depth, bool searchProgUnits)
{
    return Find(scenes_, "scene", name, unit, depth, searchProgUnits);
}

DfxUniverse *DfxKelmarAdmin::FindProgUnitUniverse(const char *name, DfxUnit *program)
{
    for (DfxUniverse *universe : universes_)
        if (std::strcmp(universe->Name(), name ? name : "") == 0 && ProgramOf(universe->GetUnit()) == program)
            return universe;
    return nullptr;
}

DfxScene *DfxKelmarAdmin::FindProgUnitScene(const char *name, DfxUnit *program)
{
    for (DfxScene *scene : scenes_)
        if (std::strcmp(scene->Name(), name ? name : "") == 0 && ProgramOf(scene->GetUnit()) == program) return scene;
    return nullptr;
}

} // namespace kelmar
