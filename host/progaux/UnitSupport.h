// What every unit function needs: checking the host unit, the default
// unit name, method sub-units with their ports, and the object behind a
// unit.
#ifndef KELMAR_HOST_UNITSUPPORT_H
#define KELMAR_HOST_UNITSUPPORT_H

#include <string>

#include <dfx/dfx.h>

namespace kelmar {

// A unit is made in a program unit only: "%S: illegal host unit!" otherwise.
bool CheckHost(DfxUnit *host);
// The name the user gave, else label when no unit of the program has that
// name yet, else none.
std::string DefaultName(DfxUnit *host, const DfxDialog *dialog, const char *label);
bool HasChildNamed(DfxUnit *host, const char *name);

struct PortSpec {
    const char *name;
    const char *type; // "int", "float", "text", "bytes" or a declared type
};
// A method sub-unit with its inputs and outputs (null-terminated lists).
DfxUnit *AddMethod(DfxUnit *unit, const char *path, DfxExecFn exec, const char *dialog, const PortSpec *inputs,
                   const PortSpec *outputs);
const DfxType *TypeNamed(const char *name);

// "label:method" of a method sub-unit for messages ("robot:SetJoints"),
// "label:exec" for the unit itself.
std::string MethodLabel(DfxUnit *method);

template <class T> T *DataOf(DfxUnit *unit)
{
    return static_cast<T *>(dfx_unit_data(unit));
}

// Copies n floats of an input into reals.
void ToReals(const float *from, double *to, int n);
void ToFloats(const double *from, float *to, int n);

} // namespace kelmar

#endif
