// The stand-in's own records: units with their ports, values and dialogs.
#ifndef DFX_STANDIN_PRIVATE_H
#define DFX_STANDIN_PRIVATE_H

#include <cstdarg>
#include <string>
#include <vector>

#include <dfx/dfx.h>
#include <dfx/standin.h>

struct DfxType {
    std::string name;
    DfxCopyFn copy = nullptr;
    DfxFreeFn free = nullptr;
    DfxDescribeFn describe = nullptr;
    char builtin = 0; // 'i' int, 'f' float, 't' text, 'b' bytes; 0 for declared types
};

struct DfxDialog {
    std::string unitName;
    std::vector<dfx::DialogField> fields;
    std::vector<std::vector<std::string>> values; // per field, count entries
};

struct DfxIconCanvas {
    std::string caption;
    std::vector<std::string> shapes;
};

namespace dfx {

// One value of a port: numbers, text, bytes or an object of a declared type.
struct Value {
    Value() = default;
    ~Value() { Clear(); }
    Value(const Value &) = delete;
    Value &operator=(const Value &) = delete;
    void Clear();

    const DfxType *type = nullptr;
    std::vector<float> numbers;
    std::string text;
    std::vector<unsigned char> bytes;
    void *object = nullptr;
    bool owned = false;
};

struct Port {
    std::string name;
    const DfxType *type = nullptr;
    Value value;
    DfxUnit *source = nullptr; // inputs: the connected unit and output
    int sourcePort = -1;
    std::vector<float> scratch; // inputs: numbers converted from another type
};

enum class Kind { kRoot, kProgram, kUnit, kGroup, kMethod };

} // namespace dfx

struct DfxUnit {
    dfx::Kind kind = dfx::Kind::kUnit;
    std::string label, name;
    DfxUnit *parent = nullptr;
    std::vector<DfxUnit *> children; // program: its units; unit or group: its methods and groups
    DfxUnitHooks hooks = {};
    void *data = nullptr;
    std::vector<dfx::Port *> inputs, outputs;
    DfxDialog dialog;                 // creation values, or a method's dialog
    std::vector<std::string> created; // the values the unit was created with
    std::vector<DfxUnit *> successors;
    std::vector<DfxUnit *> cycle; // programs: executed in order by RunCycles
};

namespace dfx {

// Counts a host call for fault injection; throws when it is the chosen one.
void CountHostCall();
// Runs call at the boundary: host exceptions are caught and recorded, and
// units made during a call that failed are removed again. True when the
// call returned normally.
template <class F> bool AtBoundary(DfxUnit *unit, const char *what, F call);
bool Boundary(DfxUnit *unit, const char *what, void (*call)(void *), void *data);

template <class F> bool AtBoundary(DfxUnit *unit, const char *what, F call)
{
    return Boundary(
        unit, what, [](void *f) { (*static_cast<F *>(f))(); }, &call);
}

// Formatting with %S.
std::string FormatV(const char *format, va_list args);
void Emit(int level, const std::string &text);

// The unit registry.
bool IsLive(const DfxUnit *unit);
DfxUnit *Root();
DfxUnit *ProgramOf(DfxUnit *unit);
void Register(DfxUnit *unit);
// Removes a unit (remove hook first, sub-units after) without a boundary.
void Destroy(DfxUnit *unit);
// A unit's own execution, without a boundary (its caller has one).
void Run(DfxUnit *unit);
// Units made since the outermost boundary began (for rolling back).
void NoteCreated(DfxUnit *unit);
void NoteDestroyed(DfxUnit *unit);

// Dialog values from given ones; false (and why) for a value that does not fit.
bool FillDialog(DfxDialog &dialog, const std::vector<std::string> &given, std::string &why);
const DfxType *BuiltinType(char kind);
// The host's own units ("value").
void AddHostIcons(std::vector<Icon> &icons);
std::string Quote(const std::string &token);

} // namespace dfx

#endif
