// The unit tree: a root, program units holding units, units holding their
// method sub-units (grouped by the part of their path before ':'). Units
// are looked after in one registry, so that a stale pointer is recognised.
#include <algorithm>
#include <set>

#include "StandIn.h"

namespace dfx {

namespace {

std::set<const DfxUnit *> &Live()
{
    static std::set<const DfxUnit *> live;
    return live;
}

void Erase(std::vector<DfxUnit *> &list, const DfxUnit *unit)
{
    list.erase(std::remove(list.begin(), list.end(), unit), list.end());
}

// Everything that points at a unit about to go: connections into other
// units, cycles and successors.
void Unlink(const DfxUnit *unit)
{
    for (const DfxUnit *c : Live()) {
        DfxUnit *other = const_cast<DfxUnit *>(c);
        for (Port *input : other->inputs)
            if (input->source == unit) input->source = nullptr;
        Erase(other->cycle, unit);
        Erase(other->successors, unit);
    }
}

} // namespace

DfxUnit *Root()
{
    static DfxUnit *root = [] {
        DfxUnit *unit = new DfxUnit;
        unit->kind = Kind::kRoot;
        unit->label = "root";
        Live().insert(unit);
        return unit;
    }();
    return root;
}

bool IsLive(const DfxUnit *unit)
{
    return unit && Live().count(unit) > 0;
}

void Register(DfxUnit *unit)
{
    Live().insert(unit);
    NoteCreated(unit);
}

DfxUnit *ProgramOf(DfxUnit *unit)
{
    while (unit && unit->kind != Kind::kProgram && unit->kind != Kind::kRoot) unit = unit->parent;
    return unit;
}

// A unit's own remove hook runs first, while its sub-units still exist;
// a program's units go newest first.
void Destroy(DfxUnit *unit)
{
    if (!IsLive(unit) || unit->kind == Kind::kRoot) return;
    if (unit->kind == Kind::kUnit && unit->hooks.remove) {
        DfxRemoveFn remove = unit->hooks.remove;
        unit->hooks.remove = nullptr;
        remove(unit);
    }
    while (!unit->children.empty()) Destroy(unit->children.back());
    Unlink(unit);
    if (unit->parent) Erase(unit->parent->children, unit);
    Live().erase(unit);
    NoteDestroyed(unit);
    for (Port *port : unit->inputs) delete port;
    for (Port *port : unit->outputs) delete port;
    delete unit;
}

int UnitCount()
{
    return static_cast<int>(Live().size()) - 1; // the root is no unit of anyone's
}

} // namespace dfx

using dfx::Kind;

extern "C" {

DfxUnit *dfx_unit_new(DfxUnit *host, const char *label, const char *name, const DfxUnitHooks *hooks, void *data)
{
    dfx::CountHostCall();
    if (!dfx_unit_is_program(host)) prog_throw("badarg:unit", "%S: not a program unit\n", host);
    DfxUnit *unit = new DfxUnit;
    unit->label = label ? label : "";
    unit->name = name ? name : "";
    unit->parent = host;
    if (hooks) unit->hooks = *hooks;
    unit->data = data;
    host->children.push_back(unit);
    dfx::Register(unit);
    return unit;
}

void dfx_unit_delete(DfxUnit *unit)
{
    dfx::CountHostCall();
    if (!dfx::IsLive(unit) || unit->kind != Kind::kUnit) prog_throw("badarg:unit", "%S: no unit to delete\n", unit);
    dfx::Destroy(unit);
}

int dfx_is_unit(const DfxUnit *unit)
{
    return dfx::IsLive(unit);
}

int dfx_unit_is_program(const DfxUnit *unit)
{
    return dfx::IsLive(unit) && (unit->kind == Kind::kProgram || unit->kind == Kind::kRoot);
}

DfxUnit *dfx_unit_root(void)
{
    return dfx::Root();
}

DfxUnit *dfx_unit_parent(const DfxUnit *unit)
{
    return dfx::IsLive(unit) ? unit->parent : nullptr;
}

int dfx_unit_child_count(const DfxUnit *unit)
{
    return dfx::IsLive(unit) ? static_cast<int>(unit->children.size()) : 0;
}

DfxUnit *dfx_unit_child(const DfxUnit *unit, int index)
{
    if (!dfx::IsLive(unit) || index < 0 || static_cast<size_t>(index) >= unit->children.size()) return nullptr;
    return unit->children[static_cast<size_t>(index)];
}

const char *dfx_unit_name(const DfxUnit *unit)
{
    return dfx::IsLive(unit) ? unit->name.c_str() : "";
}

const char *dfx_unit_label(const DfxUnit *unit)
{
    return dfx::IsLive(unit) ? unit->label.c_str() : "";
}

void dfx_unit_set_name(DfxUnit *unit, const char *name)
{
    dfx::CountHostCall();
    if (!dfx::IsLive(unit) || unit->kind == Kind::kRoot) prog_throw("badarg:unit", "%S: cannot be named\n", unit);
    const std::string given = name ? name : "";
    if (given == unit->name) return;
    unit->name = given;
    if (unit->kind == Kind::kUnit && unit->hooks.ctrl) unit->hooks.ctrl(DFX_CTRL_CHANGED, unit);
}

void *dfx_unit_data(const DfxUnit *unit)
{
    const DfxUnit *owner = dfx_unit_owner(unit);
    return owner ? owner->data : nullptr;
}

DfxUnit *dfx_unit_owner(const DfxUnit *unit)
{
    if (!dfx::IsLive(unit)) return nullptr;
    while (unit->kind == Kind::kMethod || unit->kind == Kind::kGroup) unit = unit->parent;
    return const_cast<DfxUnit *>(unit);
}

} // extern "C"
