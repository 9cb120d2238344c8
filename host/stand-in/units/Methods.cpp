// Method sub-units and successors. A method path "Set:Gravity" puts the
// method "Gravity" into the group "Set" of its unit (made on first use).
#include "StandIn.h"

namespace dfx {

namespace {

DfxUnit *NewSubUnit(DfxUnit *parent, Kind kind, const std::string &name, const std::string &label)
{
    DfxUnit *sub = new DfxUnit;
    sub->kind = kind;
    sub->name = name;
    sub->label = label;
    sub->parent = parent;
    parent->children.push_back(sub);
    Register(sub);
    return sub;
}

DfxUnit *Group(DfxUnit *parent, const std::string &name, const std::string &label)
{
    for (DfxUnit *child : parent->children)
        if (child->kind == Kind::kGroup && child->name == name) return child;
    return NewSubUnit(parent, Kind::kGroup, name, label);
}

} // namespace

// A unit's own execution (not through a boundary: the caller has one).
void Run(DfxUnit *unit)
{
    if (IsLive(unit) && unit->hooks.exec) unit->hooks.exec(unit);
}

} // namespace dfx

using dfx::Kind;

extern "C" {

DfxUnit *dfx_unit_add_method(DfxUnit *unit, const char *path, DfxExecFn exec, const char *dialog)
{
    dfx::CountHostCall();
    if (!dfx::IsLive(unit) || unit->kind != Kind::kUnit) prog_throw("badarg:unit", "%S: methods need a unit\n", unit);
    const std::string full = path ? path : "";
    if (full.empty() || full.front() == ':' || full.back() == ':')
        prog_throw("badarg:method", "%S: bad method path '%s'\n", unit, full.c_str());
    DfxDialog parsed;
    std::string why;
    if (dialog && !dfx::ParseDialog(dialog, parsed.fields, &why))
        prog_throw("badarg:dialog", "%S: dialog of method '%s': %s\n", unit, full.c_str(), why.c_str());
    dfx::FillDialog(parsed, {}, why);
    DfxUnit *parent = unit;
    size_t start = 0;
    for (size_t colon; (colon = full.find(':', start)) != std::string::npos; start = colon + 1)
        parent = dfx::Group(parent, full.substr(start, colon - start), full.substr(0, colon));
    DfxUnit *method = dfx::NewSubUnit(parent, Kind::kMethod, full.substr(start), full);
    method->hooks.exec = exec;
    method->dialog = std::move(parsed);
    return method;
}

int dfx_execute_successor(DfxUnit *unit)
{
    dfx::CountHostCall();
    if (!dfx::IsLive(unit)) prog_throw("badarg:unit", "no such unit\n");
    const std::vector<DfxUnit *> successors = unit->successors;
    for (DfxUnit *successor : successors) dfx::Run(successor);
    return static_cast<int>(successors.size());
}

int dfx_successor_count(const DfxUnit *unit)
{
    return dfx::IsLive(unit) ? static_cast<int>(unit->successors.size()) : 0;
}

} // extern "C"
