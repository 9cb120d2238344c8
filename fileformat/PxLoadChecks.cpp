// Values checked where they enter: value parsers that read like
// PxfParseReals and then hold the values to what the toolkit can simulate.
// A value outside that is refused with a message naming its element and
// position; the record keeps what it held (the default), and the entry
// counts as not given (PxfBadEntry settles it), so a world or constraint
// keeps its previous value.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <kelmar/Rbd.h>

#include "PxFileInternal.h"

namespace {

// What a check says about values: null when they may stand, else why not.
typedef const char *(*Check)(const PxReal *values, int count);

// Null when every value passes ok, else why.
const char *each(const PxReal *v, int n, bool (*ok)(PxReal), const char *why)
{
    for (int i = 0; i < n; ++i)
        if (!ok(v[i])) return why;
    return nullptr;
}

const char *finite(const PxReal *v, int n)
{
    return each(
        v, n, [](PxReal x) { return isfinite(x) != 0; }, "it must be finite");
}

const char *positive(const PxReal *v, int n)
{
    return each(
        v, n, [](PxReal x) { return x > 0.0 && isfinite(x); }, "it must be finite and > 0");
}

// Bounds and forces may be the largest double ("no bound").
const char *nonNegative(const PxReal *v, int n)
{
    return each(
        v, n, [](PxReal x) { return x >= 0.0; }, "it must be >= 0");
}

const char *unit(const PxReal *v, int n)
{
    return each(
        v, n, [](PxReal x) { return x >= 0.0 && x <= 1.0; }, "it must be from 0 to 1");
}

const char *mass(const PxReal *v, int)
{
    if (v[0] >= RBD_MASS_MIN && v[0] <= RBD_MASS_MAX) return nullptr;
    return "a mass must be from 1e-06 to 1e+06 kg";
}

// MOI holds [0][0], [1][0], [2][0], [1][1], [2][1], [2][2].
const char *inertia(const PxReal *v, int)
{
    const PxMatrix3 tensor = {{v[0], v[1], v[2]}, {v[1], v[3], v[4]}, {v[2], v[4], v[5]}};
    return RbdInertiaTensorProblem(tensor);
}

const char *length(const PxReal *v, int n)
{
    return each(
        v, n, [](PxReal x) { return x >= PXF_SHORTEST_LENGTH && x <= PXF_LONGEST_LENGTH; },
        "a length must be from 1e-06 to 1e+06");
}

const char *magnitude(const PxReal *v, int n)
{
    return each(
        v, n, [](PxReal x) { return fabs(x) <= PXF_LARGEST_MAGNITUDE; }, "its components must be within +-1e+09");
}

const char *axis(const PxReal *v, int n)
{
    PxReal squared = 0.0;
    for (int i = 0; i < n; ++i) squared += v[i] * v[i];
    return squared > 0.0 && isfinite(squared) ? nullptr : "an axis must not be zero";
}

// Reads the values, then checks them: a refused value is reported at the
// element and the bytes it overwrote are put back.
int parseChecked(PxXMLInput *input, PxXMLHandler *entry, void *userData, Check check)
{
    if (!userData || !entry || entry->count < 1 || entry->count > 16) return PxfParseReals(input, entry, userData);
    PxReal *values = reinterpret_cast<PxReal *>(static_cast<char *>(userData) + entry->offset);
    PxReal saved[16];
    memcpy(saved, values, sizeof(PxReal) * static_cast<size_t>(entry->count));
    const int code = PxfParseReals(input, entry, userData);
    if (code != PX_XML_OK) return code;
    const char *why = check(values, entry->count);
    if (!why) return PX_XML_OK;
    char shown[160];
    int n = 0;
    for (int i = 0; i < entry->count && n < static_cast<int>(sizeof shown) - 16; ++i)
        n += snprintf(shown + n, sizeof shown - static_cast<size_t>(n), i ? ",%g" : "%g", values[i]);
    memcpy(values, saved, sizeof(PxReal) * static_cast<size_t>(entry->count));
    PxLoadContext *context = static_cast<PxLoadContext *>(input->userData);
    const PxfPosition at = {input->line, input->column};
    PXF_NOTICE(context, at, "<%s> %s is refused: %s. The previous value is kept.\n", entry->name, shown, why);
    return PXF_REFUSED;
}

} // namespace

int PxfParseFinite(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, finite);
}
int PxfParsePositive(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, positive);
}
int PxfParseNonNegative(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, nonNegative);
}
int PxfParseUnit(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, unit);
}
int PxfParseMass(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, mass);
}
int PxfParseInertia(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, inertia);
}
int PxfParseLength(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, length);
}
int PxfParseMagnitude(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, magnitude);
}
int PxfParseAxis(PxXMLInput *i, PxXMLHandler *e, void *u)
{
    return parseChecked(i, e, u, axis);
}
