// Helpers of the unit functions.
#include "progaux/UnitSupport.h"

#include <cstring>

#include "progaux/HostTypes.h"

namespace kelmar {

bool CheckHost(DfxUnit *host)
{
    if (dfx_unit_is_program(host)) return true;
    dfx_warning("%S: illegal host unit!", host);
    return false;
}

bool HasChildNamed(DfxUnit *host, const char *name)
{
    for (int i = 0; i < dfx_unit_child_count(host); ++i)
        if (std::strcmp(dfx_unit_name(dfx_unit_child(host, i)), name) == 0) return true;
    return false;
}

std::string DefaultName(DfxUnit *host, const DfxDialog *dialog, const char *label)
{
    const char *given = dfx_dialog_unit_name(dialog);
    if (given && *given) return given;
    return HasChildNamed(host, label) ? std::string() : std::string(label);
}

const DfxType *TypeNamed(const char *name)
{
    if (std::strcmp(name, "vx.SolidRef") == 0) return SolidRefType();
    if (std::strcmp(name, "vx.ContactList") == 0) return ContactListType();
    if (std::strcmp(name, "vx.Contact") == 0) return ContactType();
    return dfx_type(name);
}

DfxUnit *AddMethod(DfxUnit *unit, const char *path, DfxExecFn exec, const char *dialog, const PortSpec *inputs,
                   const PortSpec *outputs)
{
    DfxUnit *method = dfx_unit_add_method(unit, path, exec, dialog);
    for (const PortSpec *p = inputs; p && p->name; ++p) dfx_unit_add_input(method, p->name, TypeNamed(p->type));
    for (const PortSpec *p = outputs; p && p->name; ++p) dfx_unit_add_output(method, p->name, TypeNamed(p->type));
    return method;
}

std::string MethodLabel(DfxUnit *method)
{
    DfxUnit *owner = dfx_unit_owner(method);
    return std::string(dfx_unit_label(owner)) + ":" + (method == owner ? "exec" : dfx_unit_label(method));
}

void ToReals(const float *from, double *to, int n)
{
    for (int i = 0; i < n; ++i) to[i] = from[i];
}

void ToFloats(const double *from, float *to, int n)
{
    for (int i = 0; i < n; ++i) to[i] = static_cast<float>(from[i]);
}

} // namespace kelmar
