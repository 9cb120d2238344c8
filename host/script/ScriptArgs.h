// What every entry function of the script interface uses: its arguments
// read from the call record (arrays checked against the length they must
// have, floats widened to reals), its results written back (narrowed), and
// the object behind the call.
#ifndef KELMAR_HOST_SCRIPTARGS_H
#define KELMAR_HOST_SCRIPTARGS_H

#include "script/ScriptCall.h"

namespace kelmar {
namespace script {

using Entry = void (*)(KelmarCall *call);
struct NamedEntry {
    const char *name; // the declared name: prefix and method
    Entry entry;
};

template <class T> T *Self(KelmarCall *c)
{
    return static_cast<T *>(c->self);
}

// ---- Arguments (k: 0-based; label: "Class:Method" for messages) ----
int Int(KelmarCall *c, int k, const char *label);
double Real(KelmarCall *c, int k, const char *label);
// A text, or null for an omitted one.
const char *Text(KelmarCall *c, int k, const char *label);
// The object of an interface class argument, or null.
void *Object(KelmarCall *c, int k, const char *label);
// A C function argument, or null for an omitted one.
KelmarFunction Function(KelmarCall *c, int k, const char *label);
// n floats as reals: "badarg:array:dim" unless the array has length n.
void Reals(KelmarCall *c, int k, const char *label, int n, double *out);
// The same, false for an omitted (NULL) array.
bool OptionalReals(KelmarCall *c, int k, const char *label, int n, double *out);
// n ints.
void Ints(KelmarCall *c, int k, const char *label, int n, int *out);
// A rigid transform (16 floats, rows of a 4x4 matrix): "badarg:value" otherwise.
void Transform(KelmarCall *c, int k, const char *label, double tm[4][4]);

// ---- Array results: the caller's array (length checked) or one allocated ----
float *OutFloats(KelmarCall *c, int k, const char *label, int n);
int *OutInts(KelmarCall *c, int k, const char *label, int n);
unsigned char *OutBytes(KelmarCall *c, int k, const char *label, int n);
void PutReals(KelmarCall *c, int k, const char *label, const double *values, int n);
void PutTransform(KelmarCall *c, int k, const char *label, const double tm[4][4]);

// ---- Results ----
void ReturnInt(KelmarCall *c, int value);
void ReturnFloat(KelmarCall *c, double value);
// The text must outlive the call (a static buffer or the object's own).
void ReturnText(KelmarCall *c, const char *text);
// A new object of interface class cls, owned by the caller from now on.
void ReturnObject(KelmarCall *c, void *object, const char *cls);
// floats in the entry's static result cell: valid until its next call.
void ReturnCell(KelmarCall *c, float *cell, int n);

} // namespace script
} // namespace kelmar

#endif
