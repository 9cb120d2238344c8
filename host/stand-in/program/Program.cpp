// Programs as the host runs them: units created from icons and dialogs,
// connected, put in a cycle and executed, each call through the boundary.
#include <algorithm>
#include <cstdio>
#include <set>

#include "StandIn.h"

namespace dfx {

namespace {

DfxUnit *FindMethod(DfxUnit *unit, const std::string &part)
{
    for (DfxUnit *child : unit->children) {
        if (child->kind == Kind::kMethod && (child->label == part || child->name == part)) return child;
        if (child->kind == Kind::kGroup && child->label == part) return child;
        if (child->kind == Kind::kGroup)
            if (DfxUnit *found = FindMethod(child, part)) return found;
    }
    return nullptr;
}

// By name, or "#i" for the i-th unit of the program.
DfxUnit *FindChild(DfxUnit *program, const std::string &name)
{
    if (name.size() > 1 && name[0] == '#' && name.find_first_not_of("0123456789", 1) == std::string::npos) {
        const size_t index = std::stoul(name.substr(1));
        return index < program->children.size() ? program->children[index] : nullptr;
    }
    for (DfxUnit *child : program->children)
        if ((child->kind == Kind::kUnit || child->kind == Kind::kProgram) && child->name == name) return child;
    return nullptr;
}

int PortIndex(const std::vector<Port *> &ports, const std::string &name)
{
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i]->name == name) return static_cast<int>(i);
    return -1;
}

bool Numeric(const DfxType *type)
{
    return type && (type->builtin == 'i' || type->builtin == 'f');
}

void Indented(std::string &out, const DfxUnit *unit, int depth)
{
    static const char *const kKinds[] = {"root", "program", "unit", "group", "method"};
    out += std::string(static_cast<size_t>(depth) * 2, ' ') + kKinds[static_cast<int>(unit->kind)] + " " +
           unit->label + " '" + unit->name + "'";
    for (const Port *in : unit->inputs)
        out += " in:" + in->name + (in->source ? "<-" + UnitPath(in->source) : std::string());
    for (const Port *output : unit->outputs) out += " out:" + output->name;
    out += "\n";
    for (const DfxUnit *child : unit->children) Indented(out, child, depth + 1);
}

} // namespace

DfxUnit *NewProgram(DfxUnit *parent, const std::string &name)
{
    DfxUnit *program = new DfxUnit;
    program->kind = Kind::kProgram;
    program->label = "program";
    program->name = name;
    program->parent = parent ? parent : Root();
    program->parent->children.push_back(program);
    Register(program);
    return program;
}

// A creation that returns no unit leaves nothing behind either.
DfxUnit *CreateUnit(DfxUnit *program, const std::string &label, const std::string &name,
                    const std::vector<std::string> &values)
{
    const Icon *icon = FindIcon(label);
    if (!icon) {
        Emit(DFX_WARNING, "no icon '" + label + "' in the palette\n");
        return nullptr;
    }
    if (!dfx_unit_is_program(program)) {
        Emit(DFX_WARNING, UnitPath(program) + ": " + label + ": not a program unit\n");
        return nullptr;
    }
    DfxDialog dialog;
    dialog.unitName = name;
    std::string why;
    if (!ParseDialog(icon->def->dialog, dialog.fields, &why) || !FillDialog(dialog, values, why)) {
        Emit(DFX_WARNING, UnitPath(program) + ": " + label + ": " + why + "\n");
        return nullptr;
    }
    const std::vector<DfxUnit *> before = program->children;
    DfxUnit *made = nullptr;
    AtBoundary(program, "create", [&] { made = icon->def->create(program, &dialog); });
    if (made && IsLive(made)) {
        made->dialog = dialog;
        made->created = values;
        return made;
    }
    const std::vector<DfxUnit *> after = program->children;
    for (DfxUnit *unit : after)
        if (std::find(before.begin(), before.end(), unit) == before.end())
            AtBoundary(program, "delete", [&] { Destroy(unit); });
    return nullptr;
}

void DeleteUnit(DfxUnit *unit)
{
    if (IsLive(unit)) AtBoundary(unit, "delete", [&] { Destroy(unit); });
}

void Control(DfxUnit *unit, int command)
{
    if (!IsLive(unit)) return;
    if (unit->kind == Kind::kProgram || unit->kind == Kind::kRoot) {
        const std::vector<DfxUnit *> children = unit->children;
        for (DfxUnit *child : children) Control(child, command);
        return;
    }
    if (unit->kind == Kind::kUnit && unit->hooks.ctrl)
        AtBoundary(unit, "ctrl", [&] { unit->hooks.ctrl(command, unit); });
}

void Rename(DfxUnit *unit, const std::string &name)
{
    if (IsLive(unit)) AtBoundary(unit, "rename", [&] { dfx_unit_set_name(unit, name.c_str()); });
}

void Move(DfxUnit *unit, DfxUnit *program)
{
    if (!IsLive(unit) || unit->kind != Kind::kUnit || !dfx_unit_is_program(program)) return;
    auto &siblings = unit->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), unit), siblings.end());
    unit->parent = program;
    program->children.push_back(unit);
    if (unit->hooks.ctrl) AtBoundary(unit, "ctrl", [&] { unit->hooks.ctrl(DFX_CTRL_CHANGED, unit); });
}

DfxUnit *Find(DfxUnit *program, const std::string &path)
{
    DfxUnit *unit = program ? program : Root();
    size_t start = 0;
    for (bool first = true; unit && start <= path.size(); first = false) {
        const size_t dot = path.find('.', start);
        const std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        const bool inProgram = unit->kind == Kind::kProgram || unit->kind == Kind::kRoot;
        unit = inProgram || first ? FindChild(unit, part) : FindMethod(unit, part);
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return unit;
}

int InputPort(const DfxUnit *unit, const std::string &name)
{
    return IsLive(unit) ? PortIndex(unit->inputs, name) : -1;
}

int OutputPort(const DfxUnit *unit, const std::string &name)
{
    return IsLive(unit) ? PortIndex(unit->outputs, name) : -1;
}

bool Connect(DfxUnit *from, int output, DfxUnit *to, int input)
{
    const bool ports = IsLive(from) && IsLive(to) && output >= 0 && input >= 0 &&
                       static_cast<size_t>(output) < from->outputs.size() &&
                       static_cast<size_t>(input) < to->inputs.size();
    if (!ports) {
        Emit(DFX_WARNING, "connect: no such ports\n");
        return false;
    }
    Port *in = to->inputs[static_cast<size_t>(input)];
    const Port *out = from->outputs[static_cast<size_t>(output)];
    if (in->type != out->type && !(Numeric(in->type) && Numeric(out->type))) {
        Emit(DFX_WARNING, "connect: " + UnitPath(from) + "." + out->name + " (" + dfx_type_name(out->type) +
                              ") does not fit " + UnitPath(to) + "." + in->name + " (" + dfx_type_name(in->type) +
                              ")\n");
        return false;
    }
    in->source = from;
    in->sourcePort = output;
    return true;
}

void SetSuccessor(DfxUnit *unit, DfxUnit *successor)
{
    if (IsLive(unit) && IsLive(successor)) unit->successors.push_back(successor);
}

bool SetDialog(DfxUnit *method, const std::vector<std::string> &values)
{
    if (!IsLive(method)) return false;
    std::string why;
    DfxDialog dialog = method->dialog;
    if (!FillDialog(dialog, values, why)) {
        Emit(DFX_WARNING, UnitPath(method) + ": " + why + "\n");
        return false;
    }
    method->dialog = std::move(dialog);
    return true;
}

void AddToCycle(DfxUnit *program, DfxUnit *unit)
{
    if (dfx_unit_is_program(program) && IsLive(unit)) program->cycle.push_back(unit);
}

bool Execute(DfxUnit *unit)
{
    return IsLive(unit) && AtBoundary(unit, "exec", [&] { Run(unit); });
}

bool RunCycles(DfxUnit *program, int cycles)
{
    for (int i = 0; i < cycles && IsLive(program); ++i) {
        const std::vector<DfxUnit *> cycle = program->cycle;
        for (DfxUnit *unit : cycle)
            if (!Execute(unit)) return false;
    }
    return IsLive(program);
}

std::string OutputText(DfxUnit *unit, int output)
{
    if (!IsLive(unit) || output < 0 || static_cast<size_t>(output) >= unit->outputs.size()) return "";
    const Value &value = unit->outputs[static_cast<size_t>(output)]->value;
    std::string text;
    char number[32];
    for (float f : value.numbers) {
        std::snprintf(number, sizeof number, "%.9g", static_cast<double>(f));
        text += (text.empty() ? "" : " ") + std::string(number);
    }
    if (value.type && value.type->builtin == 't') text = value.text;
    if (value.type && value.type->builtin == 'b') text = std::to_string(value.bytes.size()) + " bytes";
    if (value.object) text = Describe(value.type, value.object);
    return text;
}

std::string Describe(const DfxType *type, const void *value)
{
    if (!type || !value) return "";
    char described[1024] = "";
    if (type->describe) AtBoundary(nullptr, "describe", [&] { type->describe(value, described, sizeof described); });
    return described[0] ? described : "<" + type->name + ">";
}

std::vector<float> OutputFloats(DfxUnit *unit, int output)
{
    if (!IsLive(unit) || output < 0 || static_cast<size_t>(output) >= unit->outputs.size()) return {};
    return unit->outputs[static_cast<size_t>(output)]->value.numbers;
}

void *OutputObject(DfxUnit *unit, int output)
{
    if (!IsLive(unit) || output < 0 || static_cast<size_t>(output) >= unit->outputs.size()) return nullptr;
    return unit->outputs[static_cast<size_t>(output)]->value.object;
}

std::string TreeText(const DfxUnit *unit)
{
    std::string out;
    Indented(out, unit ? unit : Root(), 0);
    return out;
}

} // namespace dfx
