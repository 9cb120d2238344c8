// The two error handlers of the XML reader: one that prints each message at
// once, one that collects the messages of a whole load into one text.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "kelmar/PxMemory.h"
#include "xml/PxXMLInternal.h"

namespace {

const int kDefaultGrowth = 1024;

const char *severityName(int severity)
{
    return severity == PX_XML_WARNING ? "Warning" : "Error";
}

void formatInto(PxXMLInput *input, const char *format, va_list args)
{
    vsnprintf(input->errorString, sizeof input->errorString, format, args);
}

// Appends text to the collection, growing it by whole growth steps.
// Returns 0 (text unchanged) when memory runs out.
int append(PxXMLErrorCollection *c, const char *text)
{
    size_t n = strlen(text);
    size_t needed = static_cast<size_t>(c->length) + n + 1;
    if (needed > static_cast<size_t>(c->capacity)) {
        size_t growth = c->growth > 0 ? static_cast<size_t>(c->growth) : kDefaultGrowth;
        size_t capacity = static_cast<size_t>(c->capacity);
        capacity += (needed - capacity + growth - 1) / growth * growth;
        if (capacity > 0x3fffffff) return 0;
        char *grown = static_cast<char *>(c->text ? PxMemoryAPI.resize(c->text, capacity)
                                                  : PxMemoryAPI.create(capacity));
        if (!grown) return 0;
        c->text = grown;
        c->capacity = static_cast<int>(capacity);
    }
    memcpy(c->text + c->length, text, n + 1);
    c->length += static_cast<int>(n);
    return 1;
}

int recordFileName(PxXMLErrorCollection *c)
{
    if (!c->fileName) return 1;
    if (c->recordedFileName && strcmp(c->recordedFileName, c->fileName) == 0) return 1;
    size_t n = strlen(c->fileName) + 1;
    char *copy = static_cast<char *>(PxMemoryAPI.create(n));
    if (!copy) return 0;
    memcpy(copy, c->fileName, n);
    if (c->recordedFileName) PxMemoryAPI.destroy(c->recordedFileName);
    c->recordedFileName = copy;
    return append(c, "in file \"") && append(c, copy) && append(c, "\":\n");
}

} // namespace

int PxXMLDefaultErrorHandler(PxXMLInput *input, int severity, int code, const char *format, ...)
{
    if (!input || !format) return code;
    va_list args;
    va_start(args, format);
    formatInto(input, format, args);
    va_end(args);
    FILE *out = static_cast<FILE *>(input->errorHandlerData);
    if (!out) return code;
    if (severity == PX_XML_PLAIN)
        fputs(input->errorString, out);
    else
        fprintf(out, "%s in line %d, pos %d: %s", severityName(severity), input->line, input->column,
                input->errorString);
    return code;
}

void PxXMLErrorCollectionInit(PxXMLErrorCollection *collection, int growth)
{
    if (!collection) return;
    memset(collection, 0, sizeof *collection);
    collection->growth = growth > 0 ? growth : kDefaultGrowth;
}

void PxXMLErrorCollectionTerm(PxXMLErrorCollection *collection)
{
    if (!collection) return;
    if (collection->text) PxMemoryAPI.destroy(collection->text);
    if (collection->recordedFileName) PxMemoryAPI.destroy(collection->recordedFileName);
    int growth = collection->growth;
    memset(collection, 0, sizeof *collection);
    collection->growth = growth;
}

int PxXMLCummulatingErrorHandler(PxXMLInput *input, int severity, int code, const char *format, ...)
{
    if (!input || !format) return code;
    va_list args;
    va_start(args, format);
    formatInto(input, format, args);
    va_end(args);
    PxXMLErrorCollection *c = static_cast<PxXMLErrorCollection *>(input->errorHandlerData);
    if (!c || !recordFileName(c)) return code;
    if (severity != PX_XML_PLAIN) {
        char prefix[64];
        snprintf(prefix, sizeof prefix, "   %s in line %d, pos %d: ", severityName(severity), input->line,
                 input->column);
        if (!append(c, prefix)) return code;
    }
    append(c, input->errorString);
    return code;
}
