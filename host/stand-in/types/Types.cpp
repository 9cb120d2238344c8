// The host's data types: four built in, the rest declared by modules with
// the functions that copy, free and describe their values.
#include <cstring>
#include <map>
#include <memory>

#include "StandIn.h"

namespace dfx {

namespace {

std::map<std::string, std::unique_ptr<DfxType>> &Types()
{
    static std::map<std::string, std::unique_ptr<DfxType>> types;
    if (types.empty()) {
        const std::pair<const char *, char> builtins[] = {
            {"int", 'i'}, {"float", 'f'}, {"text", 't'}, {"bytes", 'b'}};
        for (const auto &b : builtins) {
            auto type = std::make_unique<DfxType>();
            type->name = b.first;
            type->builtin = b.second;
            types[b.first] = std::move(type);
        }
    }
    return types;
}

} // namespace

const DfxType *BuiltinType(char kind)
{
    for (const auto &entry : Types())
        if (entry.second->builtin == kind) return entry.second.get();
    return nullptr;
}

} // namespace dfx

extern "C" {

// Declaring a type again (a module loaded anew) replaces its functions; the
// built-in types cannot be redeclared.
const DfxType *dfx_typedef(const char *name, DfxCopyFn copy, DfxFreeFn free, DfxDescribeFn describe)
{
    dfx::CountHostCall();
    if (!name || !*name) prog_throw("badarg:type", "dfx_typedef: a type needs a name\n");
    std::unique_ptr<DfxType> &type = dfx::Types()[name];
    if (type && type->builtin) prog_throw("badarg:type", "dfx_typedef: '%s' is a built-in type\n", name);
    if (!type) type = std::make_unique<DfxType>();
    type->name = name;
    type->copy = copy;
    type->free = free;
    type->describe = describe;
    return type.get();
}

const DfxType *dfx_type(const char *name)
{
    if (!name) return nullptr;
    auto it = dfx::Types().find(name);
    return it == dfx::Types().end() ? nullptr : it->second.get();
}

const char *dfx_type_name(const DfxType *type)
{
    return type ? type->name.c_str() : "";
}

} // extern "C"
