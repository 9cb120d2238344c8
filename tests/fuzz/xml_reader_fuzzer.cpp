// libFuzzer target for the XML reader. Each input is read as a document
// through a handler table that reaches every value parser, element
// functions that recurse, skip or fail, variables, both error handlers and
// the embedded-element reader. Any crash, hang, leak or out-of-bounds access
// is a failure; reader error codes are expected.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "kelmar/Px.h"

namespace {

struct Fields {
    int i;
    unsigned int u;
    int ia[3];
    unsigned int ua[3];
    PxReal r;
    double d;
    float f;
    PxReal ra[3];
    double da[4];
    float fa[2];
    char s[16];
    char sa[3][8];
    float color[4];
    float color3[4];
};

int handleNested(PxXMLElement *element);

int skipMe(PxXMLElement *)
{
    return PX_XML_SKIP_ELEMENT;
}

// Fails without reading its content, so the parent meets it.
int failEarly(PxXMLElement *)
{
    return PX_XML_BAD_VALUE;
}

int checkPost(void *userData, PxXMLElement *child, void *)
{
    const Fields *fields = static_cast<const Fields *>(userData);
    return fields->i < 0 && child->attributes ? PX_XML_BAD_VALUE : PX_XML_OK;
}

PxXMLHandler nestedTable[] = {
    PX_XML_VALUE_POST("I", PxXMLParseInt, offsetof(Fields, i), 1, checkPost),
    PX_XML_VALUE("U", PxXMLParseUInt, offsetof(Fields, u), 1),
    PX_XML_VALUE("IA", PxXMLParseIntArray, offsetof(Fields, ia), 3),
    PX_XML_VALUE("UA", PxXMLParseUIntArray, offsetof(Fields, ua), 3),
    PX_XML_VALUE("R", PxXMLParsePxReal, offsetof(Fields, r), 1),
    PX_XML_VALUE("D", PxXMLParseDouble, offsetof(Fields, d), 1),
    PX_XML_VALUE("F", PxXMLParseFloat, offsetof(Fields, f), 1),
    PX_XML_VALUE("RA", PxXMLParsePxRealArray, offsetof(Fields, ra), 3),
    PX_XML_VALUE("DA", PxXMLParseDoubleArray, offsetof(Fields, da), 4),
    PX_XML_VALUE("FA", PxXMLParseFloatArray, offsetof(Fields, fa), 2),
    PX_XML_VALUE("S", PxXMLParseString, offsetof(Fields, s), sizeof(Fields::s)),
    PX_XML_STRINGS("SA", offsetof(Fields, sa), 3, 8),
    PX_XML_VALUE("C", PxXMLParseColor, offsetof(Fields, color), 4),
    PX_XML_VALUE("C3", PxXMLParseColor, offsetof(Fields, color3), 3),
    PX_XML_ELEMENT("N", handleNested),
    PX_XML_ELEMENT("K", skipMe),
    PX_XML_ELEMENT("B", failEarly),
    PX_XML_END,
};

int handleNested(PxXMLElement *element)
{
    Fields fields;
    memset(&fields, 0, sizeof fields);
    // Each level has its own table state, as the callers' tables do.
    PxXMLHandler table[sizeof nestedTable / sizeof nestedTable[0]];
    memcpy(table, nestedTable, sizeof table);
    return PxXMLElementProcess(element, table, &fields);
}

// Top level: the nested table, plus a value entry with nowhere to store.
PxXMLHandler rootTable[] = {
    PX_XML_ELEMENT("PX", handleNested),
    PX_XML_ELEMENT("N", handleNested),
    PX_XML_VALUE("V", PxXMLParsePxReal, 0, 1),
    PX_XML_END,
};

int lookupColor(const char *name, float rgba[4])
{
    if (strcmp(name, "red") == 0) {
        rgba[0] = 1.0f;
        rgba[1] = rgba[2] = 0.0f;
        return 1;
    }
    if (strcmp(name, "bright") == 0) { // a lookup that returns out-of-range values
        rgba[0] = rgba[1] = rgba[2] = 2.0f;
        return 1;
    }
    return 0;
}

void readDocument(FILE *file, uint8_t flags)
{
    PxStream *stream = PxStreamCreate(file);
    if (!stream) return;
    PxXMLInput *input = PxXMLInputCreate(stream);
    if (input) {
        PxXMLErrorCollection collection;
        PxXMLErrorCollectionInit(&collection, 64);
        collection.fileName = "fuzz.px";
        if (flags & 1)
            PxXMLInputSetErrorHandler(input, PxXMLCummulatingErrorHandler, &collection);
        else
            PxXMLInputSetErrorHandler(input, PxXMLDefaultErrorHandler, 0);
        PxXMLInputSetVariable(input, "x", "1.5");
        PxXMLInputSetVariable(input, "zero", "0");
        PxXMLInputSetVariable(input, "word", "red");
        PxXMLInputSetVariable(input, "long_one", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20");
        PxXMLHandler table[sizeof rootTable / sizeof rootTable[0]];
        memcpy(table, rootTable, sizeof table);
        PxXMLInputProcess(input, table);
        PxXMLInputDestroy(input);
        PxXMLErrorCollectionTerm(&collection);
    }
    PxStreamDestroy(stream);
}

void readEmbedded(FILE *file)
{
    PxStream *stream = PxStreamCreate(file);
    if (!stream) return;
    PxXMLElement *element = CreateParser(stream, "PX");
    if (element) {
        PxXMLInputSetErrorHandler(element->input, PxXMLDefaultErrorHandler, 0);
        handleNested(element);
        DestroyParser(element);
    }
    PxStreamDestroy(stream);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    PxXMLSetColorLookup(lookupColor);
    // Embedded-element refusals and I/O notes would flood the fuzzer's log.
    PxWarningLevel = -1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) return 0;
    // The first byte selects the options; the rest is the document.
    uint8_t flags = data[0];
    FILE *file = fmemopen(const_cast<uint8_t *>(data + 1), size - 1, "r");
    if (!file) return 0;
    if (flags & 2) {
        readEmbedded(file);
    } else {
        readDocument(file, flags);
    }
    fclose(file);
    return 0;
}
