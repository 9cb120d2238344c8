// Helpers shared by the value parsers: where a value goes, the element
// text, and the scanning of numbers and separators.
#ifndef KELMAR_PXXMLVALUETEXT_H
#define KELMAR_PXXMLVALUETEXT_H

#include <string.h>

#include "xml/PxXMLInternal.h"

namespace pxxml {

// The start every value parser shares: *out the address it stores bytes
// at, *value the element text trimmed at both ends (read into text,
// PX_XML_TEXT_SIZE bytes). Returns PX_XML_OK, or the code the parser
// returns at once: PX_XML_LIMIT without input or when the entry gives no
// place to put the value (reported), else the reading's own failure.
int beginValue(PxXMLInput *input, PxXMLHandler *entry, void *userData, char *text, char **out, char **value);

const char *skipBlanks(const char *p);

// One number at p; on success end points after it (and after a degree
// sign for reals). Out-of-range and non-finite values fail.
bool scanInt(const char *p, char **end, int *value);
bool scanUInt(const char *p, char **end, unsigned int *value);
bool scanDouble(const char *p, char **end, double *value);
bool scanFloat(const char *p, char **end, float *value);

// After a value: blanks, or one ',' with optional blanks, must lead to the
// next value. Returns the start of the next value, p itself at the end of
// the text, or null when the separator is invalid.
const char *nextValue(const char *p);

// Does the value end properly at p (end of text, a blank or a ',')?
inline bool endsValue(const char *p)
{
    return *p == '\0' || *p == ',' || isBlank(static_cast<unsigned char>(*p));
}

enum ScanResult { kScanComplete, kScanShort, kScanInvalid, kScanExtra };

// Scans up to count values separated as nextValue describes, storing each
// as it is found; *found receives the number stored. With exact, more
// values after the count make the result kScanExtra.
template <typename T, typename Scan>
ScanResult scanValues(const char *text, int count, char *out, int *found, Scan scan, bool exact = false)
{
    const char *p = skipBlanks(text);
    *found = 0;
    while (*found < count) {
        if (*p == '\0') return kScanShort;
        T value;
        char *end;
        if (!scan(p, &end, &value)) return kScanInvalid;
        memcpy(out + static_cast<size_t>(*found) * sizeof(T), &value, sizeof(T));
        ++*found;
        if (*found == count) {
            if (!endsValue(end)) return kScanInvalid;
            return exact && *skipBlanks(end) != '\0' ? kScanExtra : kScanComplete;
        }
        p = nextValue(end);
        if (!p) return kScanInvalid;
    }
    return kScanComplete;
}

} // namespace pxxml

#endif
