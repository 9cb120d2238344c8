#include "TestFolder.h"

#include <cstdio>
#include <memory>

namespace standintest {

int Counter::alive = 0;

namespace {

const char kCounterDialog[] =
    " counter %n %0:1:1:6i%lstep %n %0:2:0.5,2:6f%lscale %n colour: %0:1:0:8c%lred|green|blue "
    "%n %0:1::20s%lnote %n";

void Count(DfxUnit *unit)
{
    auto *counter = static_cast<Counter *>(dfx_unit_data(unit));
    counter->count += counter->step;
    dfx_out_int(unit, 0, counter->count);
}

void SaveCounter(FILE *file, DfxUnit *unit)
{
    std::fprintf(file, "count %d\n", static_cast<Counter *>(dfx_unit_data(unit))->count);
}

void LoadCounter(FILE *file, DfxUnit *unit)
{
    if (std::fscanf(file, "count %d", &static_cast<Counter *>(dfx_unit_data(unit))->count) != 1)
        prog_throw("test:load", "%S: no count\n", unit);
}

void RemoveCounter(DfxUnit *unit)
{
    delete static_cast<Counter *>(dfx_unit_data(unit));
}

DfxUnit *MakeCounter(DfxUnit *host, const DfxDialog *d)
{
    std::unique_ptr<Counter> counter(new Counter);
    counter->step = dfx_dialog_int(d, 0, 0);
    counter->scale[0] = dfx_dialog_float(d, 1, 0);
    counter->scale[1] = dfx_dialog_float(d, 1, 1);
    counter->colour = dfx_dialog_int(d, 2, 0);
    counter->note = dfx_dialog_text(d, 3);
    const DfxUnitHooks hooks = {Count, nullptr, SaveCounter, LoadCounter, RemoveCounter};
    DfxUnit *unit = dfx_unit_new(host, "counter", dfx_dialog_unit_name(d), &hooks, counter.get());
    counter.release();
    dfx_unit_add_input(unit, "in", dfx_type("float"));
    dfx_unit_add_output(unit, "count", dfx_type("int"));
    return unit;
}

DfxUnit *MakeThrower(DfxUnit *host, const DfxDialog *d)
{
    const DfxUnitHooks hooks = {};
    DfxUnit *unit = dfx_unit_new(host, "thrower", dfx_dialog_unit_name(d), &hooks, nullptr);
    prog_throw("test:thrown", "%S: made and thrown\n", unit);
}

void Call(DfxUnit *unit)
{
    dfx_out_int(unit, 0, dfx_execute_successor(unit));
}

DfxUnit *MakeCaller(DfxUnit *host, const DfxDialog *d)
{
    const DfxUnitHooks hooks = {Call, nullptr, nullptr, nullptr, nullptr};
    DfxUnit *unit = dfx_unit_new(host, "caller", dfx_dialog_unit_name(d), &hooks, nullptr);
    dfx_unit_add_output(unit, "calls", dfx_type("int"));
    return unit;
}

void Raise(DfxUnit *unit)
{
    prog_throw("test:raised", "%S: raised %d\n", unit, 42);
}

DfxUnit *MakeRaiser(DfxUnit *host, const DfxDialog *d)
{
    const DfxUnitHooks hooks = {Raise, nullptr, nullptr, nullptr, nullptr};
    return dfx_unit_new(host, "raiser", dfx_dialog_unit_name(d), &hooks, nullptr);
}

const char kButtons[] = " %[%0:1:0:10d %l`Cancel%d%l`Ok%]%H ";
const DfxIconDef kCounter = {MakeCounter, nullptr, kCounterDialog, kButtons, "counter", "test"};
const DfxIconDef kThrower = {MakeThrower, nullptr, "", kButtons, "thrower", "test"};
const DfxIconDef kCaller = {MakeCaller, nullptr, "", kButtons, "caller", "test"};
const DfxIconDef kRaiser = {MakeRaiser, nullptr, "", kButtons, "raiser", "test"};
const DfxIconEntry kIcons[] = {{"test", "counter", &kCounter},
                               {"test", "thrower", &kThrower},
                               {"test", "caller", &kCaller},
                               {"test", "raiser", &kRaiser},
                               {"", "", nullptr}};
const DfxFolder kFolder = {"test", kIcons};
const DfxVersionRecord kVersion = {dfx_version_text, dfx_version_text};

} // namespace

void AddTestFolder()
{
    static const bool added = dfx::AddFolder(&kVersion, &kFolder, "test");
    (void)added;
}

} // namespace standintest
