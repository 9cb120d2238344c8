// Saving a program writes it as a script (see Script.cpp): its units with
// their creation values, method dialogs, connections, successors and cycle,
// and after each unit the data its save hook writes, as a payload that
// the unit's load hook reads back.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "StandIn.h"

namespace dfx {

namespace {

// A unit's path from program: names, "#i" for unnamed units, method labels.
std::string RelativePath(const DfxUnit *unit, const DfxUnit *program)
{
    std::string path;
    for (const DfxUnit *u = unit; u && u != program; u = u->parent) {
        if (u->kind == Kind::kGroup) continue;
        std::string part = u->kind == Kind::kMethod ? u->label : u->name;
        if (part.empty() && u->parent) {
            const auto &siblings = u->parent->children;
            for (size_t i = 0; i < siblings.size(); ++i)
                if (siblings[i] == u) part = "#" + std::to_string(i);
        }
        path = path.empty() ? part : part + "." + path;
    }
    return path;
}

bool Inside(const DfxUnit *unit, const DfxUnit *program)
{
    for (const DfxUnit *u = unit; u; u = u->parent)
        if (u == program) return true;
    return false;
}

void Methods(std::vector<const DfxUnit *> &out, const DfxUnit *unit)
{
    for (const DfxUnit *child : unit->children) {
        if (child->kind == Kind::kMethod) out.push_back(child);
        Methods(out, child);
    }
}

bool WritePayload(std::ostream &out, DfxUnit *unit, const std::string &path)
{
    char *buffer = nullptr;
    size_t size = 0;
    FILE *file = open_memstream(&buffer, &size);
    if (!file) return false;
    const bool ok = AtBoundary(unit, "save", [&] { unit->hooks.save(file, unit); });
    std::fclose(file);
    if (ok) {
        out << "payload " << Quote(path) << " " << size << "\n";
        out.write(buffer, static_cast<std::streamsize>(size));
        out << "\n";
    }
    std::free(buffer);
    return ok;
}

bool WriteUnit(std::ostream &out, DfxUnit *unit, const DfxUnit *program)
{
    const std::string path = RelativePath(unit, program);
    out << "unit " << Quote(unit->label) << " " << (unit->name.empty() ? "-" : Quote(unit->name));
    for (const std::string &value : unit->created) out << " " << Quote(value);
    out << "\n";
    std::vector<const DfxUnit *> methods;
    Methods(methods, unit);
    for (const DfxUnit *method : methods) {
        if (method->dialog.values.empty()) continue;
        out << "dialog " << Quote(RelativePath(method, program));
        for (const auto &field : method->dialog.values)
            for (const std::string &value : field) out << " " << Quote(value);
        out << "\n";
    }
    return !unit->hooks.save || WritePayload(out, unit, path);
}

void WireUnit(std::ostream &out, const DfxUnit *unit, const DfxUnit *program)
{
    for (const Port *in : unit->inputs) {
        if (!in->source || !Inside(in->source, program)) continue;
        const Port *source = in->source->outputs[static_cast<size_t>(in->sourcePort)];
        out << "connect " << Quote(RelativePath(in->source, program) + "." + source->name) << " "
            << Quote(RelativePath(unit, program) + "." + in->name) << "\n";
    }
    for (const DfxUnit *next : unit->successors)
        if (Inside(next, program))
            out << "successor " << Quote(RelativePath(unit, program)) << " " << Quote(RelativePath(next, program))
                << "\n";
    for (const DfxUnit *child : unit->children)
        if (child->kind != Kind::kProgram) WireUnit(out, child, program);
}

bool WriteProgram(std::ostream &out, DfxUnit *program)
{
    out << "program " << Quote(program->name.empty() ? "program" : program->name) << "\n";
    bool ok = true;
    for (DfxUnit *child : program->children)
        ok = (child->kind == Kind::kProgram ? WriteProgram(out, child) : WriteUnit(out, child, program)) && ok;
    for (const DfxUnit *child : program->children)
        if (child->kind == Kind::kUnit) WireUnit(out, child, program);
    for (const DfxUnit *unit : program->cycle)
        if (Inside(unit, program)) out << "do " << Quote(RelativePath(unit, program)) << "\n";
    out << "end\n";
    return ok;
}

} // namespace

bool SaveProgram(DfxUnit *program, const std::string &path)
{
    if (!IsLive(program) || program->kind != Kind::kProgram) return false;
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        Emit(DFX_ERROR, "cannot write " + path + "\n");
        return false;
    }
    out << "# saved by " << dfx_version_text << "\n";
    const bool ok = WriteProgram(out, program);
    return ok && static_cast<bool>(out);
}

DfxUnit *LoadProgram(DfxUnit *parent, const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Emit(DFX_ERROR, "cannot read " + path + "\n");
        return nullptr;
    }
    ScriptContext context;
    context.program = parent ? parent : Root();
    context.file = path;
    const size_t before = context.program->children.size();
    const bool ok = RunScript(in, context);
    const auto &children = context.program->children;
    return ok && children.size() > before ? children.back() : nullptr;
}

} // namespace dfx
