// Arguments and results of the entry functions.
#include "script/ScriptArgs.h"

#include <cmath>

#include <dfx/dfx.h>

#include "progaux/HostErrors.h"

namespace kelmar {
namespace script {

namespace {

const char kWrongKind[] = "%s: argument #%d must be %s\n";

KelmarArg &Arg(KelmarCall *c, int k, const char *label, const char *what)
{
    if (k >= c->argc) prog_throw(kHostExceptionIds[kBadArgValue], kWrongKind, label, k, what);
    return c->args[k];
}

// An array argument of length n, or null for an omitted one.
void *Array(KelmarCall *c, int k, const char *label, int n, int kind)
{
    KelmarArg &a = Arg(c, k, label, "an array");
    if (a.kind == KELMAR_NONE) return nullptr;
    RequireDim(label, k, a.kind == kind && a.data ? a.count : 0, n);
    return a.data;
}

// Where n results go: the caller's array of length n, or one allocated for
// them; an omitted (NULL) array has no room for them.
void *Out(KelmarCall *c, int k, const char *label, int n, int kind, int size)
{
    KelmarArg &a = Arg(c, k, label, "an array");
    if (a.kind != KELMAR_OUT) {
        void *data = Array(c, k, label, n, kind);
        if (!data) RequireDim(label, k, 0, n);
        return data;
    }
    a.data = c->allocate ? c->allocate(c, k, n, size) : nullptr;
    if (!a.data) prog_throw(kHostExceptionIds[kBadOpArray], "%s: no room for %d results\n", label, n);
    a.kind = kind;
    a.count = n;
    return a.data;
}

// No float of an argument is NaN (an infinity may be a legitimate bound).
void RequireNumbers(const char *label, int k, const float *values, int n)
{
    for (int i = 0; i < n; ++i)
        if (std::isnan(values[i]))
            prog_throw(kHostExceptionIds[kBadArgValue], "%s: element %d of array arg #%d is not a number\n", label, i,
                       k);
}

} // namespace

int Int(KelmarCall *c, int k, const char *label)
{
    const KelmarArg &a = Arg(c, k, label, "an int");
    if (a.kind != KELMAR_INT) prog_throw(kHostExceptionIds[kBadArgValue], kWrongKind, label, k, "an int");
    return a.i;
}

double Real(KelmarCall *c, int k, const char *label)
{
    const KelmarArg &a = Arg(c, k, label, "a float");
    if (a.kind == KELMAR_INT) return a.i;
    if (a.kind != KELMAR_FLOAT) prog_throw(kHostExceptionIds[kBadArgValue], kWrongKind, label, k, "a float");
    if (std::isnan(a.f)) prog_throw(kHostExceptionIds[kBadArgValue], "%s: argument #%d is not a number\n", label, k);
    return a.f;
}

const char *Text(KelmarCall *c, int k, const char *label)
{
    const KelmarArg &a = Arg(c, k, label, "a text");
    if (a.kind == KELMAR_NONE) return nullptr;
    if (a.kind != KELMAR_TEXT) prog_throw(kHostExceptionIds[kBadArgValue], kWrongKind, label, k, "a text");
    return a.text;
}

void *Object(KelmarCall *c, int k, const char *label)
{
    const KelmarArg &a = Arg(c, k, label, "an object");
    if (a.kind == KELMAR_NONE) return nullptr;
    if (a.kind != KELMAR_OBJECT) prog_throw(kHostExceptionIds[kBadArgObject], kWrongKind, label, k, "an object");
    return a.object;
}

KelmarFunction Function(KelmarCall *c, int k, const char *label)
{
    const KelmarArg &a = Arg(c, k, label, "a function");
    if (a.kind == KELMAR_NONE) return nullptr;
    if (a.kind != KELMAR_FUNCTION) prog_throw(kHostExceptionIds[kBadArgValue], kWrongKind, label, k, "a function");
    return a.function;
}

void Reals(KelmarCall *c, int k, const char *label, int n, double *out)
{
    if (!OptionalReals(c, k, label, n, out)) RequireDim(label, k, 0, n);
}

bool OptionalReals(KelmarCall *c, int k, const char *label, int n, double *out)
{
    const auto *from = static_cast<const float *>(Array(c, k, label, n, KELMAR_FLOATS));
    RequireNumbers(label, k, from, from ? n : 0);
    for (int i = 0; from && i < n; ++i) out[i] = from[i];
    return from != nullptr;
}

void Ints(KelmarCall *c, int k, const char *label, int n, int *out)
{
    const auto *from = static_cast<const int *>(Array(c, k, label, n, KELMAR_INTS));
    if (!from) RequireDim(label, k, 0, n);
    for (int i = 0; i < n; ++i) out[i] = from[i];
}

void Transform(KelmarCall *c, int k, const char *label, double tm[4][4])
{
    const auto *from = static_cast<const float *>(Array(c, k, label, 16, KELMAR_FLOATS));
    if (!from) RequireDim(label, k, 0, 16);
    RequireNumbers(label, k, from, 16);
    RequireTM(label, from, tm);
}

float *OutFloats(KelmarCall *c, int k, const char *label, int n)
{
    return static_cast<float *>(Out(c, k, label, n, KELMAR_FLOATS, sizeof(float)));
}

int *OutInts(KelmarCall *c, int k, const char *label, int n)
{
    return static_cast<int *>(Out(c, k, label, n, KELMAR_INTS, sizeof(int)));
}

unsigned char *OutBytes(KelmarCall *c, int k, const char *label, int n)
{
    return static_cast<unsigned char *>(Out(c, k, label, n, KELMAR_BYTES, 1));
}

void PutReals(KelmarCall *c, int k, const char *label, const double *values, int n)
{
    float *to = OutFloats(c, k, label, n);
    for (int i = 0; i < n; ++i) to[i] = static_cast<float>(values[i]);
}

void PutTransform(KelmarCall *c, int k, const char *label, const double tm[4][4])
{
    PutReals(c, k, label, &tm[0][0], 16);
    c->args[k].shape[0] = 4;
    c->args[k].shape[1] = 4;
}

void ReturnInt(KelmarCall *c, int value)
{
    c->result.kind = KELMAR_INT;
    c->result.i = value;
}

void ReturnFloat(KelmarCall *c, double value)
{
    c->result.kind = KELMAR_FLOAT;
    c->result.f = static_cast<float>(value);
}

void ReturnText(KelmarCall *c, const char *text)
{
    c->result.kind = text ? KELMAR_TEXT : KELMAR_NONE;
    c->result.text = text;
}

void ReturnObject(KelmarCall *c, void *object, const char *cls)
{
    c->result.kind = object ? KELMAR_OBJECT : KELMAR_NONE;
    c->result.object = object;
    c->result.text = cls;
}

void ReturnCell(KelmarCall *c, float *cell, int n)
{
    c->result.kind = KELMAR_FLOATS;
    c->result.data = cell;
    c->result.count = n;
}

} // namespace script
} // namespace kelmar
