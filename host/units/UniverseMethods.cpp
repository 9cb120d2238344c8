// Universe methods: each calls the matching kelmar::Universe operation.
#include "units/UniverseMethods.h"

#include <kelmar/RbdWorld.h>

#include "descriptor/Dialogs.h"
#include "objects/DfxObject.h"
#include "objects/DfxUniverse.h"
#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "progaux/UnitSupport.h"

namespace kelmar {

namespace {

DfxUniverse *UniverseOf(DfxUnit *method)
{
    return DataOf<DfxUniverse>(method);
}

// The world parameters that are one real each.
struct WorldReal {
    const char *name;
    void (*set)(RbdWorldID, PxReal);
    PxReal (*get)(RbdWorldID);
};

const WorldReal kWorldReals[] = {
    {"Epsilon", RbdWorldSetEpsilon, RbdWorldGetEpsilon},
    {"Gamma", RbdWorldSetGamma, RbdWorldGetGamma},
    {"MinVel", RbdWorldSetAutoDisableVelocityThreshold, RbdWorldGetAutoDisableVelocityThreshold},
    {"MinAngVel", RbdWorldSetAutoDisableAngularVelocityThreshold, RbdWorldGetAutoDisableAngularVelocityThreshold},
    {"MinAcc", RbdWorldSetAutoDisableAccelerationThreshold, RbdWorldGetAutoDisableAccelerationThreshold}};

const WorldReal &RealOf(DfxUnit *method)
{
    const std::string name = dfx_unit_name(method);
    for (const WorldReal &real : kWorldReals)
        if (name == real.name) return real;
    return kWorldReals[0];
}

void SetReal(DfxUnit *m)
{
    RealOf(m).set(UniverseOf(m)->GetWorld(), dfx_in_float(m, 0));
}

void GetReal(DfxUnit *m)
{
    dfx_out_floats(m, 0, 1)[0] = static_cast<float>(RealOf(m).get(UniverseOf(m)->GetWorld()));
}

void SetTimeStep(DfxUnit *m)
{
    UniverseOf(m)->timeStep = RequireTimeStep(MethodLabel(m).c_str(), dfx_in_float(m, 0));
}

void GetTimeStep(DfxUnit *m)
{
    dfx_out_floats(m, 0, 1)[0] = static_cast<float>(UniverseOf(m)->timeStep);
}

void GetTime(DfxUnit *m)
{
    dfx_out_floats(m, 0, 1)[0] = static_cast<float>(UniverseOf(m)->time);
}

void SetGravity(DfxUnit *m)
{
    int n = 0;
    const float *g = dfx_in_floats(m, 0, &n);
    RequireDim(MethodLabel(m).c_str(), 0, n, 3);
    RbdWorldSetGravity(UniverseOf(m)->GetWorld(), g[0], g[1], g[2]);
}

void GetGravity(DfxUnit *m)
{
    PxVector3 g;
    RbdWorldGetGravity(UniverseOf(m)->GetWorld(), g);
    ToFloats(g, dfx_out_floats(m, 0, 3), 3);
}

void SetAliveSteps(DfxUnit *m)
{
    RbdWorldSetAutoDisableAliveWindow(UniverseOf(m)->GetWorld(), dfx_in_int(m, 0));
}

void GetAliveSteps(DfxUnit *m)
{
    dfx_out_int(m, 0, RbdWorldGetAutoDisableAliveWindow(UniverseOf(m)->GetWorld()));
}

// Connected: the option bits; else the dialog's seven checkboxes.
void SetOptions(DfxUnit *m)
{
    unsigned int options = 0;
    if (dfx_in_connected(m, 0)) {
        options = static_cast<unsigned int>(dfx_in_int(m, 0));
    } else {
        const DfxDialog *dialog = dfx_unit_dialog(m);
        for (int i = 0; i < 7; ++i)
            if (dfx_dialog_int(dialog, i, 0)) options |= kOptionsDialogBits[i];
    }
    UniverseOf(m)->SetOptions(options);
}

void GetOptions(DfxUnit *m)
{
    dfx_out_int(m, 0, static_cast<int>(UniverseOf(m)->GetOptions()));
}

// A new reference to the marked solid each time; none when nothing is marked.
void GetMarked(DfxUnit *m)
{
    const Solid *marked = UniverseOf(m)->GetMarkedSolid();
    DfxSolidRef *ref = marked ? DfxSolidRef::CreateFromSolid(marked, m) : nullptr;
    dfx_out_object(m, 0, SolidRefType(), ref, 1);
}

void Step(DfxUnit *m)
{
    UniverseOf(m)->Step();
}

void Draw(DfxUnit *m)
{
    UniverseOf(m)->draw(0);
}

void Reset(DfxUnit *m)
{
    UniverseOf(m)->reset();
}

const PortSpec kReal[] = {{"value", "float"}, {nullptr, nullptr}};
const PortSpec kVector[] = {{"value", "float"}, {nullptr, nullptr}};
const PortSpec kInt[] = {{"value", "int"}, {nullptr, nullptr}};
const PortSpec kSolid[] = {{"solid", "vx.SolidRef"}, {nullptr, nullptr}};

} // namespace

void AddUniverseMethods(DfxUnit *unit)
{
    AddMethod(unit, "Set:TimeStep", SetTimeStep, kDialogSetTimeStep, kReal, nullptr);
    AddMethod(unit, "Set:Gravity", SetGravity, kDialogSetGravity, kVector, nullptr);
    for (const WorldReal &real : kWorldReals)
        AddMethod(unit, (std::string("Set:") + real.name).c_str(), SetReal, nullptr, kReal, nullptr);
    AddMethod(unit, "Set:AliveSteps", SetAliveSteps, nullptr, kInt, nullptr);
    AddMethod(unit, "Set:Options", SetOptions, kDialogSetOptions, kInt, nullptr);
    AddMethod(unit, "Get:TimeStep", GetTimeStep, nullptr, nullptr, kReal);
    AddMethod(unit, "Get:Gravity", GetGravity, nullptr, nullptr, kVector);
    for (const WorldReal &real : kWorldReals)
        AddMethod(unit, (std::string("Get:") + real.name).c_str(), GetReal, nullptr, nullptr, kReal);
    AddMethod(unit, "Get:AliveSteps", GetAliveSteps, nullptr, nullptr, kInt);
    AddMethod(unit, "Get:Options", GetOptions, nullptr, nullptr, kInt);
    AddMethod(unit, "Get:Time", GetTime, nullptr, nullptr, kReal);
    AddMethod(unit, "Get:Marked", GetMarked, nullptr, nullptr, kSolid);
    AddMethod(unit, "step", Step, nullptr, nullptr, nullptr);
    AddMethod(unit, "draw", Draw, nullptr, nullptr, nullptr);
    AddMethod(unit, "reset", Reset, nullptr, nullptr, nullptr);
}

} // namespace kelmar
