// The host side of the stand-in: what the host itself does with modules
// and units. Tests, kelmar-host and the Python front end drive the module
// through these; the module never includes this header.
#ifndef DFX_STANDIN_H
#define DFX_STANDIN_H

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include <dfx/dfx.h>

namespace dfx {

// ---- Diagnostics ----
struct Diagnostic {
    int level;
    std::string text;
};
// Where diagnostics go; an empty sink prints them (info on standard output,
// warnings and errors on standard error). Returns the previous sink.
using Sink = std::function<void(int level, const std::string &text)>;
Sink SetDiagnosticsSink(Sink sink);
// Collects the diagnostics of its lifetime instead of printing them.
class CaptureDiagnostics {
public:
    CaptureDiagnostics();
    ~CaptureDiagnostics();
    CaptureDiagnostics(const CaptureDiagnostics &) = delete;
    CaptureDiagnostics &operator=(const CaptureDiagnostics &) = delete;
    const std::vector<Diagnostic> &All() const { return all_; }
    // The texts of one level, in order.
    std::vector<std::string> Texts(int level) const;
    // Every text of every level joined.
    std::string Joined() const;
    void Clear() { all_.clear(); }

private:
    std::vector<Diagnostic> all_;
    Sink previous_;
};
// The host's printf with %S (a DfxUnit*, written as its path).
std::string Format(const char *format, ...);
std::string UnitPath(const DfxUnit *unit);

// ---- Exceptions ----
// What prog_throw raises; caught only at the boundary of a host call.
struct HostException {
    std::string id;
    std::string text;
};
// The last exception a boundary caught: id, text, the unit and what the
// host was doing ("create", "exec", "ctrl", ...). Empty id: none since Clear.
struct CaughtException {
    std::string id, text, unit, call;
};
const CaughtException &LastException();
void ClearLastException();
// Fault injection: the nth counted host call from now on (unit building,
// ports, values, successors, types) raises "test:fault" once; 0 disarms.
void InjectFault(int n);
// Counted host calls since the process started.
long HostCallCount();

// ---- Files and modules ----
void AddSearchPath(const std::string &directory);
void ClearSearchPath();
void AddModulePath(const std::string &directory);
void ClearModulePath();
// A module opened by dfx_dlopen under this name, or null.
void *OpenModule(const std::string &name);

// A loaded module's descriptor: its version record checked, its folder's
// icons in the palette. False with an error message otherwise.
bool LoadModule(const std::string &file);
// The same for a module linked into the host itself: its version record
// and folder as the module exports them.
bool AddFolder(const DfxVersionRecord *version, const DfxFolder *folder, const std::string &module);
// Closes every module loaded (no unit of theirs may be left).
void UnloadModules();
struct Icon {
    std::string folder, label;
    const DfxIconDef *def;
    void *module; // the module's handle
};
// The host's own icons (folder "host": "value") and those of the modules.
const std::vector<Icon> &Palette();
const Icon *FindIcon(const std::string &label);
// The caption and glyph an icon draws, as text.
std::string DrawIcon(const Icon &icon);

// ---- Dialog texts ----
struct DialogField {
    char type; // b i f s F D c t m
    int count; // values the field holds
    std::vector<std::string> defaults;
    std::string label; // choices for 'c', the filter for 'F'
};
// The value fields of a dialog text; false (and why) for a malformed one.
bool ParseDialog(const char *text, std::vector<DialogField> &fields, std::string *why = nullptr);

// ---- Units and programs ----
// A program unit under parent (the root for null).
DfxUnit *NewProgram(DfxUnit *parent, const std::string &name);
// Creates a unit from its icon label and dialog values, as the host does
// when a user drops an icon and fills its dialog: values fill the fields in
// order ("-" or a missing value keeps the default; a field of n numbers
// takes n values). Null, with the reason as a warning, on failure.
DfxUnit *CreateUnit(DfxUnit *program, const std::string &label, const std::string &name,
                    const std::vector<std::string> &values);
// Removes a unit through the boundary.
void DeleteUnit(DfxUnit *unit);
// Sends a control command (through the boundary); DFX_CTRL_RESET and
// DFX_CTRL_INIT go to every unit of a program.
void Control(DfxUnit *unit, int command);
// Renames a unit (DFX_CTRL_CHANGED follows) or moves it to another program.
void Rename(DfxUnit *unit, const std::string &name);
void Move(DfxUnit *unit, DfxUnit *program);
// A unit or method sub-unit by path from a program: "arm", "arm.step",
// "universe.Set:Gravity". Null when there is none.
DfxUnit *Find(DfxUnit *program, const std::string &path);
// Port numbers by name; -1 when there is none.
int InputPort(const DfxUnit *unit, const std::string &name);
int OutputPort(const DfxUnit *unit, const std::string &name);
bool Connect(DfxUnit *from, int output, DfxUnit *to, int input);
void SetSuccessor(DfxUnit *unit, DfxUnit *successor);
// A method's dialog values (as CreateUnit takes them).
bool SetDialog(DfxUnit *method, const std::vector<std::string> &values);
// Adds a unit to the program's cycle; RunCycles executes the cycle n times
// and stops at the first exception (false).
void AddToCycle(DfxUnit *program, DfxUnit *unit);
bool Execute(DfxUnit *unit);
bool RunCycles(DfxUnit *program, int cycles);
// An output's value in text ("3", "0 0 -981", a type's description).
std::string OutputText(DfxUnit *unit, int output);
// A value of a declared type described by the type's own function.
std::string Describe(const DfxType *type, const void *value);
// Output values read back as numbers (ints and floats).
std::vector<float> OutputFloats(DfxUnit *unit, int output);
void *OutputObject(DfxUnit *unit, int output);
// Live units of the whole tree, and the tree as indented text (names,
// labels, ports, sub-units), for checks that nothing was left behind.
int UnitCount();
std::string TreeText(const DfxUnit *unit = nullptr);

// ---- Saving and loading ----
// Writes the program as a script (units, names, dialogs, connections,
// cycle) with every unit's save-hook data; LoadProgram reads it back into
// a new program unit under parent.
bool SaveProgram(DfxUnit *program, const std::string &path);
DfxUnit *LoadProgram(DfxUnit *parent, const std::string &path);

// ---- Scripts (the text form of programs) ----
struct ScriptContext {
    DfxUnit *program = nullptr;  // where units go
    std::ostream *out = nullptr; // "print" writes here
    std::string file = "script"; // for messages
    std::string directory;       // relative payload and file names
    int line = 0;
    bool failed = false;
};
// Runs the script's lines; false (with messages naming file and line) at
// the first line that fails.
bool RunScript(std::istream &in, ScriptContext &context);

} // namespace dfx

#endif
