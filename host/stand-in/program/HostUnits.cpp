// The host's own units that programs need beside a module's: "value", a
// float array written as text in its dialog ("0 0 -981"), put on its
// output "value" when it is made and whenever it runs.
#include <cstdlib>

#include "StandIn.h"

namespace dfx {

namespace {

const char kValueDialog[] = " value %n %0:1::40t%lnumbers %n";

void PutValues(DfxUnit *unit, const std::string &text)
{
    std::vector<float> numbers;
    const char *p = text.c_str();
    for (char *end = nullptr;; p = end) {
        const float f = std::strtof(p, &end);
        if (end == p) break;
        numbers.push_back(f);
    }
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == ',') ++p;
    if (*p) prog_throw("badarg:value", "%S: '%s' is not a list of numbers\n", unit, text.c_str());
    float *out = dfx_out_floats(unit, 0, static_cast<int>(numbers.size()));
    for (size_t i = 0; i < numbers.size(); ++i) out[i] = numbers[i];
}

void RunValue(DfxUnit *unit)
{
    PutValues(unit, dfx_dialog_text(dfx_unit_dialog(unit), 0));
}

DfxUnit *MakeValue(DfxUnit *host, const DfxDialog *dialog)
{
    const DfxUnitHooks hooks = {RunValue, nullptr, nullptr, nullptr, nullptr};
    DfxUnit *unit = dfx_unit_new(host, "value", dfx_dialog_unit_name(dialog), &hooks, nullptr);
    dfx_unit_add_output(unit, "value", dfx_type("float"));
    PutValues(unit, dfx_dialog_text(dialog, 0));
    return unit;
}

const char kButtons[] = " %[%0:1:0:10d %l`Cancel%d%l`Ok%]%H ";
const DfxIconDef kValue = {MakeValue, nullptr, kValueDialog, kButtons, "value", ""};

} // namespace

void AddHostIcons(std::vector<Icon> &icons)
{
    icons.push_back({"host", "value", &kValue, nullptr});
}

} // namespace dfx
