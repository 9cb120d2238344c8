// The coordinate units: a point (input "point") carried through a
// transform (input "tm", 16 floats in rows) as a position, translation
// included. local_to_world: p R + t, from the transform's frame to the
// world; world_to_local: (p - t) R^T, back.
#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "progaux/UnitSupport.h"
#include "units/Units.h"

namespace kelmar {

namespace {

// The transform and point of a unit, checked and widened.
void Inputs(DfxUnit *unit, double tm[4][4], double p[3])
{
    const std::string label = MethodLabel(unit);
    int nTM = 0, nPoint = 0;
    const float *t = dfx_in_floats(unit, 0, &nTM);
    RequireDim(label.c_str(), 0, nTM, 16);
    const float *q = dfx_in_floats(unit, 1, &nPoint);
    RequireDim(label.c_str(), 1, nPoint, 3);
    for (int i = 0; i < 16; ++i) tm[i / 4][i % 4] = t[i];
    ToReals(q, p, 3);
}

void LocalToWorld(DfxUnit *unit)
{
    double tm[4][4], p[3], out[3];
    Inputs(unit, tm, p);
    for (int j = 0; j < 3; ++j) out[j] = p[0] * tm[0][j] + p[1] * tm[1][j] + p[2] * tm[2][j] + tm[3][j];
    ToFloats(out, dfx_out_floats(unit, 0, 3), 3);
}

void WorldToLocal(DfxUnit *unit)
{
    double tm[4][4], p[3], out[3];
    Inputs(unit, tm, p);
    const double d[3] = {p[0] - tm[3][0], p[1] - tm[3][1], p[2] - tm[3][2]};
    for (int i = 0; i < 3; ++i) out[i] = d[0] * tm[i][0] + d[1] * tm[i][1] + d[2] * tm[i][2];
    ToFloats(out, dfx_out_floats(unit, 0, 3), 3);
}

DfxUnit *ConvertUnit(DfxUnit *host, const char *label, const DfxDialog *dialog, DfxExecFn exec)
{
    if (!CheckHost(host)) return nullptr;
    const DfxUnitHooks hooks = {exec, nullptr, nullptr, nullptr, nullptr};
    DfxUnit *unit = dfx_unit_new(host, label, dfx_dialog_unit_name(dialog), &hooks, nullptr);
    dfx_unit_add_input(unit, "tm", dfx_type("float"));
    dfx_unit_add_input(unit, "point", dfx_type("float"));
    dfx_unit_add_output(unit, "point", dfx_type("float"));
    return unit;
}

} // namespace

} // namespace kelmar

extern "C" {

DfxUnit *_fun1_world_to_local(DfxUnit *host, const DfxDialog *dialog)
{
    return kelmar::ConvertUnit(host, "world_to_local", dialog, kelmar::WorldToLocal);
}

DfxUnit *_fun1_local_to_world(DfxUnit *host, const DfxDialog *dialog)
{
    return kelmar::ConvertUnit(host, "local_to_world", dialog, kelmar::LocalToWorld);
}

} // extern "C"
