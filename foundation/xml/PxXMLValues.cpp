// Value parsers for strings, integers and reals: each reads the element
// text and stores the result in the caller's structure.
#include <errno.h>
#include <float.h>
#include <limits.h>
#include <locale.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "xml/PxXMLValueText.h"

using pxxml::report;

namespace pxxml {

int beginValue(PxXMLInput *input, PxXMLHandler *entry, void *userData, char *text, char **out, char **value)
{
    if (!input) return PX_XML_LIMIT;
    if (!entry || !userData) {
        report(input, PX_XML_ERROR, PX_XML_LIMIT, "Nowhere to put parsed data!\n");
        return PX_XML_LIMIT;
    }
    *out = static_cast<char *>(userData) + entry->offset;
    int code = readToNextTag(input, text, PX_XML_TEXT_SIZE);
    *value = dropspace(text);
    return code;
}

const char *skipBlanks(const char *p)
{
    while (isBlank(static_cast<unsigned char>(*p))) ++p;
    return p;
}

const char *nextValue(const char *p)
{
    const char *q = skipBlanks(p);
    if (*q == ',') {
        q = skipBlanks(q + 1);
        return *q == '\0' || *q == ',' ? 0 : q;
    }
    if (q == p && *q != '\0') return 0; // glued to the value before
    return q;
}

static bool scanLong(const char *p, char **end, long long low, long long high, long long *value)
{
    errno = 0;
    *value = strtoll(p, end, 0);
    return *end != p && errno != ERANGE && *value >= low && *value <= high;
}

bool scanInt(const char *p, char **end, int *value)
{
    long long v;
    if (!scanLong(p, end, INT_MIN, INT_MAX, &v)) return false;
    *value = static_cast<int>(v);
    return true;
}

bool scanUInt(const char *p, char **end, unsigned int *value)
{
    long long v;
    if (!scanLong(p, end, 0, UINT_MAX, &v)) return false;
    *value = static_cast<unsigned int>(v);
    return true;
}

// Numbers in files use '.' whatever locale the host has set.
static locale_t cLocale()
{
    static locale_t locale = newlocale(LC_ALL_MASK, "C", 0);
    return locale;
}

// A degree sign after a value (Latin-1 0xB0, or its UTF-8 form C2 B0, after
// optional blanks); returns the position after it, or null.
static const char *degreeSign(const char *p)
{
    const unsigned char *q = reinterpret_cast<const unsigned char *>(skipBlanks(p));
    if (q[0] == 0xB0) return reinterpret_cast<const char *>(q + 1);
    if (q[0] == 0xC2 && q[1] == 0xB0) return reinterpret_cast<const char *>(q + 2);
    return 0;
}

bool scanDouble(const char *p, char **end, double *value)
{
    locale_t locale = cLocale();
    double v = locale ? strtod_l(p, end, locale) : strtod(p, end);
    if (*end == p || !std::isfinite(v)) return false;
    if (const char *afterDegree = degreeSign(*end)) {
        v *= 0.017453292519943295;
        *end = const_cast<char *>(afterDegree);
    }
    *value = v;
    return true;
}

bool scanFloat(const char *p, char **end, float *value)
{
    double v;
    if (!scanDouble(p, end, &v) || fabs(v) > FLT_MAX) return false;
    *value = static_cast<float>(v);
    return true;
}

} // namespace pxxml

namespace {

template <typename T, typename Scan>
int parseSingle(PxXMLInput *input, PxXMLHandler *entry, void *userData, const char *expected, Scan scan)
{
    char text[PX_XML_TEXT_SIZE];
    char *out, *value;
    int code = pxxml::beginValue(input, entry, userData, text, &out, &value);
    if (code != PX_XML_OK) return code;
    T result;
    char *end;
    if (!scan(value, &end, &result)) return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, expected, value);
    if (*pxxml::skipBlanks(end) != '\0')
        return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "found garbage after data\n");
    memcpy(out, &result, sizeof result);
    return PX_XML_OK;
}

// The messages of one array parser; extra is null for a parser that
// ignores values beyond its count.
struct ArrayMessages {
    const char *count;
    const char *invalid;
    const char *extra;
};

template <typename T, typename Scan>
int parseArray(PxXMLInput *input, PxXMLHandler *entry, void *userData, const ArrayMessages &messages, Scan scan)
{
    if (entry && entry->count <= 0) userData = 0; // no room for any value
    char text[PX_XML_TEXT_SIZE];
    char *out, *values;
    int code = pxxml::beginValue(input, entry, userData, text, &out, &values);
    if (code != PX_XML_OK) return code;
    int found;
    switch (pxxml::scanValues<T>(values, entry->count, out, &found, scan, messages.extra != nullptr)) {
    case pxxml::kScanComplete: return PX_XML_OK;
    case pxxml::kScanShort: return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, messages.count, entry->count, found);
    case pxxml::kScanExtra: return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, messages.extra, entry->count);
    default: return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, messages.invalid);
    }
}

const char *const kTooLong = "string data greater than max of %d\n";
const ArrayMessages kIntMessages = {"expected %d ints, found %d\n", "int array data invalid\n", nullptr};
const ArrayMessages kRealMessages = {"expected %d PxReals, found %d\n", "PxReal array data invalid\n", nullptr};

// Copies the trimmed piece [begin, end) into a slot of size bytes.
bool storeString(const char *begin, const char *end, char *slot, int size)
{
    while (begin < end && pxxml::isBlank(static_cast<unsigned char>(*begin))) ++begin;
    while (end > begin && pxxml::isBlank(static_cast<unsigned char>(end[-1]))) --end;
    size_t n = static_cast<size_t>(end - begin);
    if (n >= static_cast<size_t>(size)) return false;
    memcpy(slot, begin, n);
    slot[n] = '\0';
    return true;
}

} // namespace

int PxXMLParseString(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    if (entry && entry->count <= 0) userData = 0;
    char text[PX_XML_TEXT_SIZE];
    char *out, *value;
    int code = pxxml::beginValue(input, entry, userData, text, &out, &value);
    if (code != PX_XML_OK) return code;
    if (!storeString(value, value + strlen(value), out, entry->count))
        return report(input, PX_XML_ERROR, PX_XML_LIMIT, kTooLong, entry->count - 1);
    return PX_XML_OK;
}

namespace {

// Splits the text at ',' into count trimmed strings; with exact, a further
// piece is refused.
int parseStrings(PxXMLInput *input, PxXMLHandler *entry, void *userData, bool exact)
{
    if (entry && (entry->count <= 0 || entry->elementSize <= 0)) userData = 0;
    char text[PX_XML_TEXT_SIZE];
    char *out, *value;
    int code = pxxml::beginValue(input, entry, userData, text, &out, &value);
    if (code != PX_XML_OK) return code;
    int found = 0;
    const char *piece = value;
    while (*value && found < entry->count) {
        const char *comma = strchr(piece, ',');
        const char *end = comma ? comma : piece + strlen(piece);
        char *slot = out + static_cast<size_t>(found) * static_cast<size_t>(entry->elementSize);
        if (!storeString(piece, end, slot, entry->elementSize))
            return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, kTooLong, entry->elementSize - 1);
        ++found;
        piece = comma ? comma + 1 : nullptr;
        if (!comma) break;
    }
    if (found < entry->count)
        return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "expected %d strings, found %d\n", entry->count, found);
    if (exact && piece)
        return report(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "expected %d strings, found more\n", entry->count);
    return PX_XML_OK;
}

} // namespace

int PxXMLParseStringArray(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseStrings(input, entry, userData, false);
}

int PxXMLParseStringArrayExact(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseStrings(input, entry, userData, true);
}

int PxXMLParseInt(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseSingle<int>(input, entry, userData, "expected int, found %s\n", pxxml::scanInt);
}

int PxXMLParseUInt(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseSingle<unsigned int>(input, entry, userData, "expected unsigned int, found %s\n", pxxml::scanUInt);
}

int PxXMLParseIntArray(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseArray<int>(input, entry, userData, kIntMessages, pxxml::scanInt);
}

int PxXMLParseIntArrayExact(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    const ArrayMessages exact = {kIntMessages.count, kIntMessages.invalid, "expected %d ints, found more\n"};
    return parseArray<int>(input, entry, userData, exact, pxxml::scanInt);
}

int PxXMLParseUIntArray(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    const ArrayMessages messages = {"expected %d ints, found %d\n", "unsigned int array data invalid\n", nullptr};
    return parseArray<unsigned int>(input, entry, userData, messages, pxxml::scanUInt);
}

int PxXMLParsePxReal(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseSingle<PxReal>(input, entry, userData, "Expected PxReal, found %s\n", pxxml::scanDouble);
}

int PxXMLParseDouble(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseSingle<double>(input, entry, userData, "Expected double, found %s\n", pxxml::scanDouble);
}

int PxXMLParseFloat(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseSingle<float>(input, entry, userData, "Expected float, found %s\n", pxxml::scanFloat);
}

int PxXMLParsePxRealArray(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    return parseArray<PxReal>(input, entry, userData, kRealMessages, pxxml::scanDouble);
}

int PxXMLParsePxRealArrayExact(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    const ArrayMessages exact = {kRealMessages.count, kRealMessages.invalid, "expected %d PxReals, found more\n"};
    return parseArray<PxReal>(input, entry, userData, exact, pxxml::scanDouble);
}

int PxXMLParseDoubleArray(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    const ArrayMessages messages = {"expected %d doubles, found %d\n", "double array data invalid\n", nullptr};
    return parseArray<double>(input, entry, userData, messages, pxxml::scanDouble);
}

int PxXMLParseFloatArray(PxXMLInput *input, PxXMLHandler *entry, void *userData)
{
    const ArrayMessages messages = {"expected %d floats, found %d\n", "float array data invalid\n", nullptr};
    return parseArray<float>(input, entry, userData, messages, pxxml::scanFloat);
}
